// The first directory of a TIFF file as kvhost reads it for itself: the values of the tags it
// needs, read straight from the file in its byte order, every offset checked against its size.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "host/wic.h"

// COUNT bytes of the stream from OFFSET; fewer past its end, none when it cannot be read.
[[nodiscard]] std::vector<std::uint8_t> ReadStreamAt(IStream& stream, std::uint64_t offset,
                                                     std::uint32_t count);

// A number of SIZE bytes at AT of BYTES in a TIFF file's byte order; 0 past their end.
[[nodiscard]] std::uint32_t TiffNumber(const std::vector<std::uint8_t>& bytes, std::size_t at,
                                       int size, bool bigEndian) noexcept;

// A classic TIFF file's header: its byte order and where its first directory is; nothing for
// any other file.
struct TiffHeader {
    bool bigEndian;
    std::uint32_t firstDirectory;
};
[[nodiscard]] std::optional<TiffHeader> ReadTiffHeader(IStream& stream);

// The pages of a TIFF file: its chain of directories, followed as far as it stays inside the
// file and does not go round; 1 for any other file.
[[nodiscard]] std::uint32_t TiffPageCount(IStream& stream);

class TiffDirectory {
   public:
    // The first directory of the TIFF file in STREAM; Valid() is false when the file is no
    // TIFF or is cut before its directory ends.
    explicit TiffDirectory(IStream& stream);

    [[nodiscard]] bool Valid() const noexcept { return valid; }
    // The first value of a tag of shorts or longs; nothing when absent.
    [[nodiscard]] std::optional<std::uint32_t> Number(std::uint16_t tag) const;
    // The values of a tag of bytes (or undefined bytes), at most MAX_BYTES; empty when absent,
    // longer, or outside the file.
    [[nodiscard]] std::vector<std::uint8_t> Bytes(std::uint16_t tag, std::uint32_t maxBytes) const;

   private:
    struct Entry {
        std::uint16_t type;
        std::uint32_t count;
        std::uint32_t value;  // the value field: the values in place, or their offset
        std::uint64_t fieldAt;
    };
    [[nodiscard]] std::uint32_t Get(const std::vector<std::uint8_t>& bytes, std::size_t at,
                                    int size) const noexcept;

    IStream& stream;
    bool bigEndian = false;
    bool valid = false;
    std::map<std::uint16_t, Entry> entries;
};

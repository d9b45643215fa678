// TIFF writing: uncompressed 8-bit RGB, or RGBA when some pixel is not opaque, in strips, with
// the photograph's ICC profile, XMP and EXIF as the format's own tags. The file is laid out
// before it is written: header, the small values, the EXIF block, the strips, then the directory.
#include "host/tiff_writer.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "host/host_error.h"
#include "host/text_encoding.h"

namespace {

constexpr std::uint16_t kShort = 3;
constexpr std::uint16_t kLong = 4;
constexpr std::uint16_t kByte = 1;
constexpr std::uint16_t kUndefined = 7;
constexpr std::uint64_t kStripBytes = 1 << 20;

// Numbers into bytes in the file's byte order.
class Bytes {
   public:
    explicit Bytes(bool bigEndianOrder) : bigEndian(bigEndianOrder) {}
    void Put(std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i) {
            data.push_back(
                static_cast<std::uint8_t>(value >> (8 * (bigEndian ? size - 1 - i : i))));
        }
    }
    void Raw(const std::uint8_t* bytes, std::size_t count) {
        data.insert(data.end(), bytes, bytes + count);
    }
    void Align() {
        if (data.size() % 2 != 0) data.push_back(0);
    }
    [[nodiscard]] TiffEntry Entry(std::uint16_t tag, std::uint16_t type, std::uint32_t count,
                                  std::uint32_t value) const {
        // One short sits in the first half of the field; anything else fills it.
        Bytes field(bigEndian);
        field.Put(value, type == kShort && count == 1 ? 2 : 4);
        TiffEntry entry{tag, type, count, {}};
        std::copy(field.data.begin(), field.data.end(), entry.field);
        return entry;
    }

    bool bigEndian;
    std::vector<std::uint8_t> data;
};

void Write(IStream& stream, const std::vector<std::uint8_t>& bytes, const std::string& what) {
    ULONG written = 0;
    const HRESULT result = stream.Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    if (FAILED(result) || written != bytes.size())
        CheckResult(FAILED(result) ? result : E_FAIL, what);
}

// Where everything goes, and the directory's entries.
struct Layout {
    std::uint32_t stripRows;
    std::uint32_t strips;
    std::uint64_t rowBytes;
    std::vector<std::uint8_t> head;  // from offset 0 to the first strip
    std::vector<TiffEntry> entries;
};

Layout LayOut(const RgbaImage& image, int channels, const PhotoMetadata& metadata,
              const std::string& path) {
    Layout layout{};
    layout.rowBytes =
        static_cast<std::uint64_t>(image.width) * static_cast<std::uint64_t>(channels);
    layout.stripRows = static_cast<std::uint32_t>(std::clamp<std::uint64_t>(
        kStripBytes / layout.rowBytes, 1, static_cast<std::uint64_t>(image.height)));
    layout.strips =
        (static_cast<std::uint32_t>(image.height) + layout.stripRows - 1) / layout.stripRows;
    // An EXIF block decides the byte order, so that its values are copied as they are.
    Bytes head(!metadata.exif.empty() && metadata.exif[0] == 'M');
    head.Raw(reinterpret_cast<const std::uint8_t*>(head.bigEndian ? "MM\0*" : "II*\0"), 4);
    head.Put(0, 4);  // the directory's offset, known at the end
    const auto place = [&head](const std::uint8_t* bytes, std::size_t count) {
        const auto at = static_cast<std::uint32_t>(head.data.size());
        head.Raw(bytes, count);
        head.Align();
        return at;
    };
    std::vector<TiffEntry>& entries = layout.entries;
    const auto bitsAt = static_cast<std::uint32_t>(head.data.size());
    for (int c = 0; c < channels; ++c) head.Put(8, 2);
    if (!metadata.icc.empty()) {
        entries.push_back(head.Entry(34675, kUndefined,
                                     static_cast<std::uint32_t>(metadata.icc.size()),
                                     place(metadata.icc.data(), metadata.icc.size())));
    }
    if (!metadata.xmp.empty()) {
        entries.push_back(
            head.Entry(700, kByte, static_cast<std::uint32_t>(metadata.xmp.size()),
                       place(reinterpret_cast<const std::uint8_t*>(metadata.xmp.data()),
                             metadata.xmp.size())));
    }
    if (!metadata.exif.empty()) {
        const auto at = static_cast<std::uint32_t>(head.data.size());
        if (const std::optional<PlacedExif> placed = PlaceExifInTiff(metadata.exif, at)) {
            place(placed->block.data(), placed->block.size());
            entries.insert(entries.end(), placed->firstDirectory.begin(),
                           placed->firstDirectory.end());
        } else {
            PrintWarning(Quoted(path) + ": the EXIF block is damaged and is left out");
        }
    }
    // The strips' offsets and sizes, then the strips themselves.
    const std::uint64_t fullStrip = layout.rowBytes * layout.stripRows;
    const std::uint64_t lastStrip =
        layout.rowBytes * (static_cast<std::uint64_t>(image.height) -
                           std::uint64_t{layout.stripRows} * (layout.strips - 1));
    const std::uint64_t arrays = layout.strips > 1 ? 8ull * layout.strips : 0;
    const std::uint64_t firstStrip = head.data.size() + arrays;
    const std::uint64_t end =
        firstStrip + layout.rowBytes * static_cast<std::uint64_t>(image.height);
    if (end + (entries.size() + 16) * 12 + 6 > UINT32_MAX) {
        throw HostError("cannot write " + Quoted(path) + ": too large for a TIFF file (4 GiB)");
    }
    std::uint32_t offsets = static_cast<std::uint32_t>(firstStrip);
    std::uint32_t sizes = static_cast<std::uint32_t>(lastStrip);
    if (layout.strips > 1) {
        offsets = static_cast<std::uint32_t>(head.data.size());
        for (std::uint32_t s = 0; s < layout.strips; ++s) {
            head.Put(static_cast<std::uint32_t>(firstStrip + fullStrip * s), 4);
        }
        sizes = static_cast<std::uint32_t>(head.data.size());
        for (std::uint32_t s = 0; s < layout.strips; ++s) {
            head.Put(static_cast<std::uint32_t>(s + 1 < layout.strips ? fullStrip : lastStrip), 4);
        }
    }
    const auto channelCount = static_cast<std::uint32_t>(channels);
    entries.push_back(head.Entry(256, kLong, 1, static_cast<std::uint32_t>(image.width)));
    entries.push_back(head.Entry(257, kLong, 1, static_cast<std::uint32_t>(image.height)));
    entries.push_back(head.Entry(258, kShort, channelCount, bitsAt));
    entries.push_back(head.Entry(259, kShort, 1, 1));  // no compression
    entries.push_back(head.Entry(262, kShort, 1, 2));  // RGB
    entries.push_back(head.Entry(273, kLong, layout.strips, offsets));
    entries.push_back(head.Entry(274, kShort, 1, 1));  // upright
    entries.push_back(head.Entry(277, kShort, 1, channelCount));
    entries.push_back(head.Entry(278, kLong, 1, layout.stripRows));
    entries.push_back(head.Entry(279, kLong, layout.strips, sizes));
    entries.push_back(head.Entry(284, kShort, 1, 1));                     // samples interleaved
    if (channels == 4) entries.push_back(head.Entry(338, kShort, 1, 2));  // unassociated alpha
    std::stable_sort(entries.begin(), entries.end(),
                     [](const TiffEntry& a, const TiffEntry& b) { return a.tag < b.tag; });
    // The directory goes after the strips, on a word.
    const std::uint64_t directory = end + end % 2;
    Bytes offset(head.bigEndian);
    offset.Put(static_cast<std::uint32_t>(directory), 4);
    std::copy(offset.data.begin(), offset.data.end(), head.data.begin() + 4);
    layout.head = std::move(head.data);
    return layout;
}

}  // namespace

void WriteTiff(IStream& stream, const RgbaImage& image, const PhotoMetadata& metadata,
               const std::string& path) {
    const std::string what = "cannot encode " + Quoted(path);
    const int channels = IsOpaque(image) ? 3 : 4;
    const Layout layout = LayOut(image, channels, metadata, path);
    Write(stream, layout.head, what);
    const auto width = static_cast<std::size_t>(image.width);
    std::vector<std::uint8_t> strip;
    for (std::uint32_t top = 0; top < static_cast<std::uint32_t>(image.height);
         top += layout.stripRows) {
        const std::uint32_t rows =
            std::min(layout.stripRows, static_cast<std::uint32_t>(image.height) - top);
        strip.resize(static_cast<std::size_t>(layout.rowBytes) * rows);
        const Pixel32* pixel = image.pixels.data() + width * top;
        for (std::uint8_t *out = strip.data(), *last = strip.data() + strip.size(); out < last;
             ++pixel) {
            *out++ = static_cast<std::uint8_t>(Channel(*pixel, 2));
            *out++ = static_cast<std::uint8_t>(Channel(*pixel, 1));
            *out++ = static_cast<std::uint8_t>(Channel(*pixel, 0));
            if (channels == 4) *out++ = static_cast<std::uint8_t>(*pixel >> 24);
        }
        Write(stream, strip, what);
    }
    Bytes tail(layout.head[0] == 'M');
    // The directory starts on a word.
    if ((layout.head.size() + layout.rowBytes * static_cast<std::uint64_t>(image.height)) % 2 !=
        0) {
        tail.data.push_back(0);
    }
    tail.Put(static_cast<std::uint32_t>(layout.entries.size()), 2);
    for (const TiffEntry& entry : layout.entries) {
        tail.Put(entry.tag, 2);
        tail.Put(entry.type, 2);
        tail.Put(entry.count, 4);
        tail.Raw(entry.field, 4);
    }
    tail.Put(0, 4);  // no next directory
    Write(stream, tail.data, what);
}

// A JPEG file's XMP gathered from its segments and split into them again.
#include "imageio/jpeg_xmp.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

#include "imageio/codecs.h"
#include "imageio/md5.h"
#include "imageio/xmp_packet.h"

namespace imageio {
namespace {

constexpr std::size_t kGuidBytes = 32;
constexpr std::size_t kPortionHeader = sizeof kXmpExtensionSignature + kGuidBytes + 8;
constexpr std::size_t kMostSegmentBytes = 65533;  // after the marker and its length
constexpr std::size_t kMostPortionBytes = kMostSegmentBytes - kPortionHeader;

struct Portion {
    std::uint32_t offset;
    const std::uint8_t* data;
    std::size_t size;
};

// The portions of GUID, sorted by offset; fault set when their full lengths disagree.
std::vector<Portion> PortionsOf(const std::vector<ByteView>& extensions, const std::string& guid,
                                std::uint32_t& fullLength, std::string& fault) {
    std::vector<Portion> portions;
    for (const ByteView& segment : extensions) {
        if (segment.size < kPortionHeader) continue;
        const std::uint8_t* header = segment.data + sizeof kXmpExtensionSignature;
        if (std::memcmp(header, guid.data(), kGuidBytes) != 0) continue;
        const std::uint32_t length = BigEndian32(header + kGuidBytes);
        if (!portions.empty() && length != fullLength)
            fault = "its portions disagree on its length";
        fullLength = length;
        portions.push_back({BigEndian32(header + kGuidBytes + 4), segment.data + kPortionHeader,
                            segment.size - kPortionHeader});
    }
    std::stable_sort(portions.begin(), portions.end(),
                     [](const Portion& a, const Portion& b) { return a.offset < b.offset; });
    return portions;
}

// The extended packet of GUID, or the fault that leaves it out.
std::optional<std::string> ExtendedPacket(const std::vector<ByteView>& extensions,
                                          const std::string& guid, std::string& fault) {
    if (guid.size() != kGuidBytes) {
        fault = "the GUID naming it is not 32 digits";
        return std::nullopt;
    }
    std::uint32_t fullLength = 0;
    const std::vector<Portion> portions = PortionsOf(extensions, guid, fullLength, fault);
    if (!fault.empty()) return std::nullopt;
    if (portions.empty()) {
        fault = "none of it is in the file";
        return std::nullopt;
    }
    std::string packet;
    for (const Portion& portion : portions) {
        // A portion sent twice is the same bytes at the same offset.
        const bool repeated =
            portion.offset <= packet.size() && portion.size <= packet.size() - portion.offset &&
            packet.compare(portion.offset, portion.size,
                           reinterpret_cast<const char*>(portion.data), portion.size) == 0;
        if (repeated) continue;
        if (portion.offset != packet.size() || portion.size > fullLength - packet.size()) {
            fault = "its portions overlap, leave a gap or overrun its length";
            return std::nullopt;
        }
        packet.append(reinterpret_cast<const char*>(portion.data), portion.size);
    }
    if (packet.size() != fullLength) {
        fault = "its last portion is missing";
        return std::nullopt;
    }
    std::string upperGuid = guid;
    for (char& c : upperGuid) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (Md5Hex(packet) != upperGuid) {
        fault = "its MD5 digest is not the GUID naming it";
        return std::nullopt;
    }
    return packet;
}

std::vector<std::uint8_t> Segment(const char* signature, std::size_t signatureSize,
                                  const std::string& data) {
    std::vector<std::uint8_t> segment(signature, signature + signatureSize);
    segment.insert(segment.end(), data.begin(), data.end());
    return segment;
}

void PutBigEndian32(std::vector<std::uint8_t>& out, std::size_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

}  // namespace

JpegXmp XmpFromSegments(const std::string& standard, const std::vector<ByteView>& extensions) {
    JpegXmp found;
    const std::string guid = ExtendedXmpGuid(standard);
    if (guid.empty()) {
        found.xmp = standard;
        return found;
    }
    const std::optional<std::string> extended = ExtendedPacket(extensions, guid, found.fault);
    std::optional<std::string> merged;
    if (extended) {
        merged = MergeExtendedXmp(standard, *extended);
        if (!merged) found.fault = "it or the standard packet has no rdf:RDF element";
    }
    found.xmp = merged ? std::move(*merged) : WithoutExtendedNote(standard);
    return found;
}

std::vector<std::vector<std::uint8_t>> XmpSegments(const std::string& xmp) {
    if (xmp.size() <= kMostStandardXmpBytes)
        return {Segment(kXmpSignature, sizeof kXmpSignature, xmp)};
    const std::optional<SplitXmp> split = SplitExtendedXmp(xmp, kMostStandardXmpBytes);
    if (!split) return {};
    std::vector<std::vector<std::uint8_t>> segments = {
        Segment(kXmpSignature, sizeof kXmpSignature, split->standard)};
    const std::string& extended = split->extended;
    for (std::size_t offset = 0; offset < extended.size(); offset += kMostPortionBytes) {
        std::vector<std::uint8_t> segment =
            Segment(kXmpExtensionSignature, sizeof kXmpExtensionSignature, split->guid);
        PutBigEndian32(segment, extended.size());
        PutBigEndian32(segment, offset);
        const std::size_t size = std::min(kMostPortionBytes, extended.size() - offset);
        segment.insert(segment.end(), extended.begin() + static_cast<std::ptrdiff_t>(offset),
                       extended.begin() + static_cast<std::ptrdiff_t>(offset + size));
        segments.push_back(std::move(segment));
    }
    return segments;
}

}  // namespace imageio

// The byte order of 16-bit samples that the imaging component's TIFF decoder hands over for a
// big-endian file. The component promises the machine's order; some versions give the file's.
#include "host/tiff_byte_order.h"

#include <array>
#include <vector>

#include "host/wic.h"

namespace {

// A one-pixel, 16-bit grey, uncompressed big-endian TIFF whose sample is 0x0102.
std::vector<BYTE> ProbeFile() {
    std::vector<BYTE> file = {'M', 'M', 0, 42, 0, 0, 0, 8};
    const auto put16 = [&file](unsigned value) {
        file.push_back(static_cast<BYTE>(value >> 8));
        file.push_back(static_cast<BYTE>(value));
    };
    const auto put32 = [&](unsigned value) {
        put16(value >> 16);
        put16(value & 0xFFFF);
    };
    struct Entry {
        unsigned tag;
        unsigned type;  // 3 SHORT, 4 LONG
        unsigned value;
    };
    constexpr unsigned kEntries = 9;
    constexpr unsigned kDataAt = 8 + 2 + kEntries * 12 + 4;
    const std::array<Entry, kEntries> entries = {{
        {256, 3, 1},        // width
        {257, 3, 1},        // height
        {258, 3, 16},       // bits per sample
        {259, 3, 1},        // no compression
        {262, 3, 1},        // black is zero
        {273, 4, kDataAt},  // the strip's offset
        {277, 3, 1},        // samples per pixel
        {278, 3, 1},        // rows per strip
        {279, 4, 2},        // the strip's bytes
    }};
    put16(kEntries);
    for (const Entry& entry : entries) {
        put16(entry.tag);
        put16(entry.type);
        put32(1);
        if (entry.type == 3) {
            put16(entry.value);  // a short sits in the first half of the value field
            put16(0);
        } else {
            put32(entry.value);
        }
    }
    put32(0);  // no next directory
    put16(0x0102);
    return file;
}

bool ProbeKeepsBigEndian() {
    std::vector<BYTE> file = ProbeFile();
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    WICPixelFormatGUID format{};
    BYTE sample[2] = {};
    const bool decoded =
        SUCCEEDED(ImagingFactory().CreateStream(&stream)) &&
        SUCCEEDED(stream->InitializeFromMemory(file.data(), static_cast<DWORD>(file.size()))) &&
        SUCCEEDED(ImagingFactory().CreateDecoderFromStream(
            stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(frame->GetPixelFormat(&format)) &&
        format == GUID_WICPixelFormat16bppGray &&
        SUCCEEDED(frame->CopyPixels(nullptr, 2, 2, sample));
    // A decoder that cannot read the probe is taken at its word.
    return decoded && sample[0] == 0x01 && sample[1] == 0x02;
}

}  // namespace

bool IsBigEndianTiff(const std::uint8_t* bytes, std::size_t count) noexcept {
    return count >= 4 && bytes[0] == 'M' && bytes[1] == 'M' && bytes[2] == 0 &&
           (bytes[3] == 42 || bytes[3] == 43);
}

bool DecoderKeepsBigEndianSamples() {
    static const bool keeps = ProbeKeepsBigEndian();
    return keeps;
}

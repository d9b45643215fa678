// Image files of every layout, made with the libraries themselves.
#include "imageio/test_files.h"

#include <png.h>

#include <stdexcept>

#include "imageio/tiff_memory.h"

namespace imageio {
namespace {

int PngColourType(const Samples& samples) {
    if (!samples.palette.empty()) return PNG_COLOR_TYPE_PALETTE;
    static constexpr int kTypes[4] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA,
                                      PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA};
    return kTypes[samples.channels - 1];
}

// The bytes of a row as both formats store them: 16-bit values in the machine's order for
// libtiff, big-endian for libpng.
std::vector<std::uint8_t> RowBytes(const Samples& samples, std::uint32_t y, bool bigEndian) {
    const std::size_t count =
        std::size_t{samples.width} * static_cast<std::size_t>(samples.channels);
    std::vector<std::uint8_t> row;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t value = samples.values[count * y + i];
        if (samples.bits == 8) {
            row.push_back(static_cast<std::uint8_t>(value));
        } else {
            const auto high = static_cast<std::uint8_t>(value >> 8);
            const auto low = static_cast<std::uint8_t>(value);
            row.push_back(bigEndian ? high : low);
            row.push_back(bigEndian ? low : high);
        }
    }
    return row;
}

void AppendPng(png_structp png, png_bytep data, png_size_t size) {
    auto& out = *static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out.insert(out.end(), data, data + size);
}

}  // namespace

std::vector<std::uint8_t> PngFile(const Samples& samples, bool interlaced) {
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, AppendPng, nullptr);
    png_set_IHDR(png, info, samples.width, samples.height, samples.bits, PngColourType(samples),
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
                 PNG_FILTER_TYPE_BASE);
    std::vector<png_color> colours;
    std::vector<png_byte> alphas;
    for (std::size_t i = 0; i + 2 < samples.palette.size(); i += 3) {
        colours.push_back({static_cast<png_byte>(samples.palette[i] >> 8),
                           static_cast<png_byte>(samples.palette[i + 1] >> 8),
                           static_cast<png_byte>(samples.palette[i + 2] >> 8)});
        alphas.push_back(i == 0 ? 0 : 255);  // the first entry transparent
    }
    if (!colours.empty()) {
        png_set_PLTE(png, info, colours.data(), static_cast<int>(colours.size()));
        png_set_tRNS(png, info, alphas.data(), static_cast<int>(alphas.size()), nullptr);
    }
    png_write_info(png, info);
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass) {
        for (std::uint32_t y = 0; y < samples.height; ++y) {
            std::vector<std::uint8_t> row = RowBytes(samples, y, /*bigEndian=*/true);
            png_write_row(png, row.data());
        }
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<std::uint8_t> TiffFileOf(const Samples& samples, const TiffOptions& options) {
    TiffFile file(options.bigEndian);
    TIFF* tiff = file.Get();
    const bool palette = !samples.palette.empty();
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, samples.width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, samples.height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, samples.bits);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples.channels);
    TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, options.sampleFormat);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC,
                 palette                ? PHOTOMETRIC_PALETTE
                 : samples.channels < 3 ? PHOTOMETRIC_MINISBLACK
                                        : PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, options.compression);
    if (samples.channels == 2 || samples.channels == 4) {
        const std::uint16_t extra =
            options.associated ? EXTRASAMPLE_ASSOCALPHA : EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    std::vector<std::uint16_t> map[3];
    if (palette) {
        for (std::size_t c = 0; c < 3; ++c) {
            map[c].assign(256, 0);
            for (std::size_t i = 0; 3 * i + c < samples.palette.size(); ++i) {
                map[c][i] = samples.palette[3 * i + c];
            }
        }
        TIFFSetField(tiff, TIFFTAG_COLORMAP, map[0].data(), map[1].data(), map[2].data());
    }
    if (options.tiled) {
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16);
        const std::size_t pixel = static_cast<std::size_t>(samples.channels * samples.bits / 8);
        std::vector<std::uint8_t> tile(16 * 16 * pixel);
        for (std::uint32_t y = 0; y < samples.height && y < 16; ++y) {
            const std::vector<std::uint8_t> row = RowBytes(samples, y, /*bigEndian=*/false);
            std::copy(row.begin(), row.end(),
                      tile.begin() + static_cast<std::ptrdiff_t>(16 * pixel * y));
        }
        if (samples.width > 16 || samples.height > 16) throw std::logic_error("one tile only");
        TIFFWriteTile(tiff, tile.data(), 0, 0, 0, 0);
    } else {
        for (std::uint32_t y = 0; y < samples.height; ++y) {
            std::vector<std::uint8_t> row = RowBytes(samples, y, /*bigEndian=*/false);
            TIFFWriteScanline(tiff, row.data(), y, 0);
        }
    }
    return file.Finish();
}

std::vector<std::uint8_t> BmpFile(std::int32_t width, std::int32_t height, int bits,
                                  int compression, const std::vector<std::uint8_t>& palette,
                                  const std::vector<std::uint8_t>& pixels) {
    std::vector<std::uint8_t> b;
    const auto put = [&b](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    };
    const auto offset = static_cast<std::uint32_t>(54 + palette.size());
    b = {'B', 'M'};
    put(offset + static_cast<std::uint32_t>(pixels.size()), 4);
    put(0, 4);
    put(offset, 4);
    put(40, 4);
    put(static_cast<std::uint32_t>(width), 4);
    put(static_cast<std::uint32_t>(height), 4);
    put(1, 2);
    put(static_cast<std::uint32_t>(bits), 2);
    put(static_cast<std::uint32_t>(compression), 4);
    put(static_cast<std::uint32_t>(pixels.size()), 4);
    put(2835, 4);
    put(2835, 4);
    put(static_cast<std::uint32_t>(palette.size() / 4), 4);
    put(0, 4);
    b.insert(b.end(), palette.begin(), palette.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

ExifTestEntry ExifValues(std::uint16_t tag, std::uint16_t type, std::uint32_t count,
                         std::vector<std::uint32_t> numbers, int bytesEach) {
    ExifTestEntry entry{tag, type, count, {}, -1};
    for (const std::uint32_t number : numbers) {
        for (int i = 0; i < bytesEach; ++i) {
            entry.values.push_back(static_cast<std::uint8_t>(number >> (8 * i)));
        }
    }
    return entry;
}

ExifTestEntry ExifText(std::uint16_t tag, const std::string& text) {
    ExifTestEntry entry{tag, 2, static_cast<std::uint32_t>(text.size() + 1), {}, -1};
    entry.values.assign(text.begin(), text.end());
    entry.values.push_back(0);
    return entry;
}

std::vector<std::uint8_t> ExifBlockOf(const std::vector<ExifTestDirectory>& directories,
                                      const std::vector<std::uint8_t>& trailing) {
    std::vector<std::uint8_t> b = {'I', 'I', 42, 0};
    const auto put = [&b](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    std::vector<std::uint32_t> at;  // where each directory starts
    std::uint32_t end = 8;
    for (const ExifTestDirectory& directory : directories) {
        at.push_back(end);
        end += 2 + 12 * static_cast<std::uint32_t>(directory.entries.size()) + 4;
    }
    put(8, 4);
    for (const ExifTestDirectory& directory : directories) {
        put(static_cast<std::uint32_t>(directory.entries.size()), 2);
        for (const ExifTestEntry& entry : directory.entries) {
            put(entry.tag, 2);
            put(entry.type, 2);
            put(entry.count, 4);
            if (entry.link >= 0) {
                put(at[static_cast<std::size_t>(entry.link)], 4);
            } else if (entry.values.size() <= 4) {
                for (std::size_t i = 0; i < 4; ++i) {
                    b.push_back(i < entry.values.size() ? entry.values[i] : 0);
                }
            } else {
                put(end, 4);
                end += static_cast<std::uint32_t>(entry.values.size());
            }
        }
        put(directory.next >= 0 ? at[static_cast<std::size_t>(directory.next)] : 0, 4);
    }
    for (const ExifTestDirectory& directory : directories) {
        for (const ExifTestEntry& entry : directory.entries) {
            if (entry.link < 0 && entry.values.size() > 4) {
                b.insert(b.end(), entry.values.begin(), entry.values.end());
            }
        }
    }
    b.insert(b.end(), trailing.begin(), trailing.end());
    return b;
}

std::vector<std::uint8_t> CameraExif(std::uint16_t orientation) {
    // The first directory, the EXIF one and the GPS one, then their values: the maker (6 bytes),
    // the exposure (8), the time (20), the latitude (24).
    const ExifTestEntry exifLink{0x8769, 4, 1, {}, 1};
    const ExifTestEntry gpsLink{0x8825, 4, 1, {}, 2};
    return ExifBlockOf({
        {{ExifText(0x010F, "Maker"), ExifValues(0x0112, 3, 1, {orientation}, 2), exifLink,
          gpsLink}},
        {{ExifValues(0x829A, 5, 1, {1, 250}, 4),                 // ExposureTime
          ExifText(0x9003, "2024:05:01 10:20:30")}},             // DateTimeOriginal
        {{ExifValues(0x0002, 5, 3, {48, 1, 51, 1, 30, 1}, 4)}},  // GPSLatitude
    });
}

}  // namespace imageio

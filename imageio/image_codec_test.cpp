// Tests of the codecs in memory: every layout a format stores read into the same pixels, every
// format written and read back with its metadata, and the plain reasons for files that cannot
// be read.
#include "imageio/image_codec.h"

#include <gtest/gtest.h>

#include <tiffio.h>

#include <fstream>
#include <iterator>

#include "imageio/test_files.h"
#include "imageio/tiff_memory.h"

namespace imageio {
namespace {

const SizeCheck kAnySize = [](std::uint64_t, std::uint64_t) {};

Decoded Read(const std::vector<std::uint8_t>& file) {
    return Decode({file.data(), file.size()}, kAnySize);
}

// 16-bit samples whose rounding to 8 bits is known: 128 rounds down to 0, 129 up to 1, 32896 is
// 128, and the ends stay ends.
constexpr std::uint16_t kWide[6] = {0, 128, 129, 32896, 65535, 257 * 200};
constexpr std::uint8_t kRounded[6] = {0, 0, 1, 128, 255, 200};

// A 3 × 2 picture of the six values: one channel, or channels of the values in turn.
Samples SixValues(int channels, int bits) {
    Samples samples{3, 2, channels, bits, {}, {}};
    for (std::size_t i = 0; i < 6 * static_cast<std::size_t>(channels); ++i) {
        const std::uint16_t wide = kWide[(i / static_cast<std::size_t>(channels) + i) % 6];
        samples.values.push_back(
            bits == 8 ? kRounded[(i / static_cast<std::size_t>(channels) + i) % 6] : wide);
    }
    return samples;
}

// The BGRA pixels SixValues(channels, ...) reads as.
std::vector<Pixel32> SixPixels(int channels) {
    std::vector<Pixel32> pixels;
    for (std::size_t p = 0; p < 6; ++p) {
        const auto value = [&](std::size_t c) {
            return kRounded[(p + p * static_cast<std::size_t>(channels) + c) % 6];
        };
        const bool grey = channels < 3;
        const std::uint8_t alpha = channels == 2 ? value(1) : channels == 4 ? value(3) : 255;
        pixels.push_back(grey ? PackPixel(value(0), value(0), value(0), alpha)
                              : PackPixel(value(0), value(1), value(2), alpha));
    }
    return pixels;
}

TEST(ImageCodec, EveryStoredLayoutReadsAsTheSamePixels) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
        int channels;
    };
    std::vector<Case> cases = {
        {"PNG grey 8", PngFile(SixValues(1, 8)), 1},
        {"PNG grey and alpha 16", PngFile(SixValues(2, 16)), 2},
        {"PNG RGB 16 interlaced", PngFile(SixValues(3, 16), /*interlaced=*/true), 3},
        {"PNG RGBA 8", PngFile(SixValues(4, 8)), 4},
        {"PNG RGBA 16", PngFile(SixValues(4, 16)), 4},
        {"TIFF grey 16 little-endian", TiffFileOf(SixValues(1, 16), {}), 1},
        {"TIFF grey 16 big-endian", TiffFileOf(SixValues(1, 16), {true}), 1},
        {"TIFF RGB 16 big-endian LZW", TiffFileOf(SixValues(3, 16), {true, COMPRESSION_LZW}), 3},
        {"TIFF RGBA 8 PackBits", TiffFileOf(SixValues(4, 8), {false, COMPRESSION_PACKBITS}), 4},
        {"TIFF RGBA 16 big-endian Deflate tiled",
         TiffFileOf(SixValues(4, 16), {true, COMPRESSION_ADOBE_DEFLATE, /*tiled=*/true}), 4},
    };
    // Natively; kvhost's libtiff is built without them.
    if (TIFFIsCODECConfigured(COMPRESSION_ZSTD) != 0) {
        cases.push_back({"TIFF grey and alpha 8 ZSTD",
                         TiffFileOf(SixValues(2, 8), {false, COMPRESSION_ZSTD}), 2});
    }
    if (TIFFIsCODECConfigured(COMPRESSION_LZMA) != 0) {
        cases.push_back({"TIFF RGB 8 LZMA", TiffFileOf(SixValues(3, 8), {true, COMPRESSION_LZMA}), 3});
    }
    for (const auto& c : cases) {
        const Decoded decoded = Read(c.file);
        EXPECT_EQ(decoded.image.width, 3) << c.name;
        EXPECT_EQ(decoded.image.pixels, SixPixels(c.channels)) << c.name;
    }
}

TEST(ImageCodec, EveryBuildDecodesTheCommonTiffCompressions) {
    for (const int scheme : {COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE, COMPRESSION_PACKBITS,
                             COMPRESSION_JPEG, COMPRESSION_OJPEG}) {
        EXPECT_NE(TIFFIsCODECConfigured(static_cast<std::uint16_t>(scheme)), 0) << scheme;
    }
}

TEST(ImageCodec, EveryBmpVariantReadsAsTheSamePixels) {
    // A 3 × 2 picture, top row blue, red, red; bottom row red, blue, blue: palette entries 1 and 2.
    const std::vector<std::uint8_t> palette = {0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 0};
    const Pixel32 blue = PackPixel(0, 0, 255, 255);
    const Pixel32 red = PackPixel(255, 0, 0, 255);
    const std::vector<Pixel32> expected = {blue, red, red, red, blue, blue};
    const struct {
        const char* name;
        std::vector<std::uint8_t> file;
    } cases[] = {
        {"8-bit", BmpFile(3, 2, 8, 0, palette, {2, 1, 1, 0, 1, 2, 2, 0})},
        {"8-bit top-down", BmpFile(3, -2, 8, 0, palette, {1, 2, 2, 0, 2, 1, 1, 0})},
        // Indices 0 and 1 of the palette shifted by one entry.
        {"1-bit", BmpFile(3, 2, 1, 0, {palette.begin() + 4, palette.end()},
                          {0b10000000, 0, 0, 0, 0b01100000, 0, 0, 0})},
        // A run of 1, a run of 2, end of line; a literal run of 3, end of picture.
        {"RLE8", BmpFile(3, 2, 8, 1, palette, {1, 2, 2, 1, 0, 0, 0, 3, 1, 2, 2, 0, 0, 1})},
        // Nibbles: a literal run of 3; end of line; a run of 1, a run of 2; the end.
        {"RLE4", BmpFile(3, 2, 4, 2, palette, {0, 3, 0x21, 0x10, 0, 0, 1, 0x11, 2, 0x22, 0, 1})},
        {"32-bit", BmpFile(3, 2, 32, 0, {}, {0,   0, 255, 0, 255, 0, 0,   0, 255, 0, 0,   0,
                                             255, 0, 0,   0, 0,   0, 255, 0, 0,   0, 255, 0})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Read(c.file).image.pixels, expected) << c.name;
    }
}

TEST(ImageCodec, PalettesAndPremultipliedAlphaReadAsColours) {
    // Entry 0 transparent (PNG's tRNS), 1 red, 2 a grey of 16-bit 32896.
    Samples indexed{3, 1, 1, 8, {2, 1, 0}, {0, 0, 0, 65535, 0, 0, 32896, 32896, 32896}};
    const std::vector<Pixel32> png = {PackPixel(128, 128, 128, 255), PackPixel(255, 0, 0, 255),
                                      PackPixel(0, 0, 0, 0)};
    EXPECT_EQ(Read(PngFile(indexed)).image.pixels, png);
    std::vector<Pixel32> tiff = png;
    tiff[2] = PackPixel(0, 0, 0, 255);  // a TIFF palette has no transparency
    EXPECT_EQ(Read(TiffFileOf(indexed, {})).image.pixels, tiff);
    // A premultiplied 100 under alpha 200 is 128.
    Samples premultiplied{1, 1, 4, 8, {100, 0, 200, 200}, {}};
    EXPECT_EQ(Read(TiffFileOf(premultiplied, {false, 1, false, /*associated=*/true})).image.pixels,
              std::vector<Pixel32>{PackPixel(128, 0, 255, 200)});
}

// A picture with every kind of pixel: opaque colours, half and fully transparent ones.
RgbaImage Pattern(bool withAlpha) {
    RgbaImage image{4, 3, {}, {}};
    for (std::uint32_t i = 0; i < 12; ++i) {
        const auto alpha = static_cast<std::uint8_t>(withAlpha ? (i * 97) % 256 : 255);
        image.pixels.push_back(PackPixel(static_cast<std::uint8_t>(i * 20),
                                         static_cast<std::uint8_t>(255 - i * 7),
                                         static_cast<std::uint8_t>(i * i), alpha));
    }
    return image;
}

TEST(ImageCodec, EveryFormatWritesWhatItReadsBack) {
    for (const Codec& codec : Codecs()) {
        if (codec.write == nullptr) continue;
        for (const bool withAlpha : {false, true}) {
            const RgbaImage image = Pattern(withAlpha);
            const Encoded encoded = EncodeFor(codec.format, image, {/*jpegQuality=*/100});
            const Decoded decoded = Read(encoded.bytes);
            ASSERT_EQ(&*CodecOfBytes({encoded.bytes.data(), encoded.bytes.size()}), &codec);
            for (std::size_t i = 0; i < image.pixels.size(); ++i) {
                const Pixel32 expected =
                    codec.keepsAlpha ? image.pixels[i] : image.pixels[i] | kAlphaMask;
                const Pixel32 got = decoded.image.pixels[i];
                for (int c = 0; c < 4; ++c) {
                    // JPEG at quality 100 keeps every channel within a few levels.
                    const int tolerance = codec.format == Format::kJpeg ? 6 : 0;
                    EXPECT_NEAR(Channel(got, c), Channel(expected, c), tolerance)
                        << codec.name << " alpha " << withAlpha << " pixel " << i;
                }
            }
        }
    }
}

// A display profile as libpng checks it: its size, class, colour spaces, signature, the D50
// illuminant and one tag, whose 56 bytes at 144 are noise (libpng skips an iCCP chunk that
// compresses to less than 92 bytes).
std::vector<std::uint8_t> IccProfile() {
    std::vector<std::uint8_t> icc(200, 0);
    icc[3] = 200;
    std::copy_n("mntrRGB XYZ ", 12, icc.begin() + 12);
    std::copy_n("acsp", 4, icc.begin() + 36);
    const std::uint8_t d50[12] = {0, 0, 0xF6, 0xD6, 0, 1, 0, 0, 0, 0, 0xD3, 0x2D};
    std::copy_n(d50, 12, icc.begin() + 68);
    const std::uint8_t tags[16] = {0, 0, 0, 1, 'w', 't', 'p', 't', 0, 0, 0, 144, 0, 0, 0, 56};
    std::copy_n(tags, 16, icc.begin() + 128);
    for (std::size_t i = 144; i < icc.size(); ++i)
        icc[i] = static_cast<std::uint8_t>(i * i * 37 % 251);
    return icc;
}

TEST(ImageCodec, MetadataGoesInAndComesOutWhereTheFormatCarriesIt) {
    RgbaImage image = Pattern(false);
    image.metadata.exif = CameraExif(/*orientation=*/1);
    image.metadata.xmp = "<x:xmpmeta xmlns:x='adobe:ns:meta/'/>";
    image.metadata.icc = IccProfile();
    for (const Codec& codec : Codecs()) {
        if (codec.write == nullptr) continue;
        const Encoded encoded = EncodeFor(codec.format, image, {});
        const PhotoMetadata read = Read(encoded.bytes).image.metadata;
        const bool carried = codec.metadata != 0;
        EXPECT_EQ(read.icc, carried ? image.metadata.icc : std::vector<std::uint8_t>())
            << codec.name;
        EXPECT_EQ(read.xmp, carried ? image.metadata.xmp : "") << codec.name;
        EXPECT_EQ(encoded.warnings.size(), carried ? 0u : 1u) << codec.name;
        if (codec.format == Format::kJpeg) {
            // With what a JPEG file's block must hold: its three directories copied to its end,
            // 4 + 6 + 1 entries added (102 + 102 + 30 bytes), and two resolutions (16 bytes).
            EXPECT_EQ(read.exif.size(), image.metadata.exif.size() + 250) << codec.name;
        } else if (codec.format != Format::kTiff && carried) {
            EXPECT_EQ(read.exif.size(), image.metadata.exif.size()) << codec.name;
        }
    }
}

TEST(ImageCodec, TiffCarriesTheExifAsItsOwnDirectories) {
    RgbaImage image = Pattern(false);
    image.metadata.exif = CameraExif(/*orientation=*/6);
    const Encoded encoded = EncodeFor(Format::kTiff, image, {});
    TiffFile file({encoded.bytes.data(), encoded.bytes.size()});
    char* maker = nullptr;
    ASSERT_TRUE(TIFFGetField(file.Get(), TIFFTAG_MAKE, &maker));
    EXPECT_STREQ(maker, "Maker");
    std::uint64_t exifAt = 0;
    std::uint64_t gpsAt = 0;
    ASSERT_TRUE(TIFFGetField(file.Get(), TIFFTAG_EXIFIFD, &exifAt));
    ASSERT_TRUE(TIFFGetField(file.Get(), TIFFTAG_GPSIFD, &gpsAt));
    ASSERT_TRUE(TIFFReadEXIFDirectory(file.Get(), exifAt));
    float exposure = 0;
    char* taken = nullptr;
    ASSERT_TRUE(TIFFGetField(file.Get(), EXIFTAG_EXPOSURETIME, &exposure));
    EXPECT_FLOAT_EQ(exposure, 1.0f / 250);
    ASSERT_TRUE(TIFFGetField(file.Get(), EXIFTAG_DATETIMEORIGINAL, &taken));
    EXPECT_STREQ(taken, "2024:05:01 10:20:30");
    ASSERT_TRUE(TIFFReadGPSDirectory(file.Get(), gpsAt));
    double* latitude = nullptr;
    ASSERT_TRUE(TIFFGetField(file.Get(), GPSTAG_LATITUDE, &latitude));
    EXPECT_DOUBLE_EQ(latitude[1], 51);
}

TEST(ImageCodec, OrientationTurnsThePictureUpright) {
    RgbaImage image = Pattern(false);
    image.metadata.exif = CameraExif(/*orientation=*/6);  // turned a quarter clockwise to view
    image.metadata.orientation = 6;
    for (const Format format : {Format::kJpeg, Format::kPng}) {
        const Encoded stored = CodecOf(format).write(image, image.metadata, {});
        const Decoded upright = DecodeUpright({stored.bytes.data(), stored.bytes.size()}, kAnySize);
        EXPECT_EQ(upright.image.width, 3);
        EXPECT_EQ(upright.image.height, 4);
        EXPECT_EQ(upright.image.metadata.orientation, 1);
    }
}

#if IMAGEIO_PHONE_FORMATS
TEST(ImageCodec, HeicReadsUprightWithItsExif) {
    // The fuzz seed coded by libheif's HEVC encoder at its best quality: 64 × 48, the left half
    // red and the right half blue, with CameraExif(6), whose orientation counts for nothing in a
    // HEIF file.
    std::ifstream file(TRAPEZOID_SOURCE_DIR "/fuzz/corpus/image_decode/written.heic",
                       std::ios::binary);
    const std::vector<std::uint8_t> heic{std::istreambuf_iterator<char>(file), {}};
    const Decoded decoded = DecodeUpright({heic.data(), heic.size()}, kAnySize);
    ASSERT_EQ(decoded.image.width, 64);
    EXPECT_EQ(decoded.image.height, 48);
    EXPECT_EQ(decoded.image.metadata.exif, CameraExif(6));
    EXPECT_NEAR(Channel(decoded.image.pixels[64 * 24 + 8], 2), 250, 12);   // red on the left
    EXPECT_NEAR(Channel(decoded.image.pixels[64 * 24 + 56], 0), 250, 12);  // blue on the right
}
#endif

// PNG with a chunk header put after its IHDR chunk (8 + 25 bytes).
std::vector<std::uint8_t> PngWithChunkHeader(std::vector<std::uint8_t> png,
                                             std::initializer_list<std::uint8_t> header) {
    png.insert(png.begin() + 33, header);
    return png;
}

TEST(ImageCodec, FilesThatCannotBeReadSayWhy) {
    const std::vector<std::uint8_t> png = PngFile(SixValues(3, 8));
    const std::vector<std::uint8_t> jpeg = EncodeFor(Format::kJpeg, Pattern(false), {}).bytes;
    const struct {
        std::vector<std::uint8_t> file;
        const char* reason;
    } cases[] = {
        {{'B', 'M'}, "the file is too short to be an image (2 bytes)"},
        {std::vector<std::uint8_t>(40, 'x'),
#if IMAGEIO_PHONE_FORMATS
         "not an image of a format read here (PNG, JPEG, TIFF, BMP, WebP, HEIF)"},
#else
         "not an image of a format read here (PNG, JPEG, TIFF, BMP)"},
#endif
        {{png.begin(), png.end() - 30}, "the PNG file is damaged or cut short"},
        // An eXIf chunk after the header whose length claims 2 GiB: refused before libpng
        // allocates its buffer.
        {PngWithChunkHeader(png, {0x7F, 0xFF, 0xFF, 0xF0, 'e', 'X', 'I', 'f'}),
         "the PNG file is damaged or cut short"},
        {{jpeg.begin(), jpeg.begin() + 200}, "the file is damaged or cut short"},
        {TiffFileOf(SixValues(1, 16), {false, 1, false, false, /*sampleFormat=*/3}),
         "a TIFF of floating-point samples is not supported"},
        {{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         "the BMP file is damaged or cut short"},
    };
    for (const auto& c : cases) {
        try {
            (void)Read(c.file);
            ADD_FAILURE() << c.reason;
        } catch (const ImageError& error) {
            EXPECT_STREQ(error.what(), c.reason);
        }
    }
}

TEST(ImageCodec, TheSizeIsCheckedBeforeAnyPixel) {
    struct Refused {};
    const SizeCheck refuse = [](std::uint64_t width, std::uint64_t height) {
        if (width == 4 && height == 3) throw Refused{};
    };
    for (const Codec& codec : Codecs()) {
        if (codec.write == nullptr) continue;
        const Encoded encoded = EncodeFor(codec.format, Pattern(false), {});
        EXPECT_THROW((void)Decode({encoded.bytes.data(), encoded.bytes.size()}, refuse), Refused)
            << codec.name;
    }
}

TEST(ImageCodec, CodecsAreFoundByExtensionAndName) {
    EXPECT_EQ(CodecOfPath("a/b.JPEG")->format, Format::kJpeg);
    EXPECT_EQ(CodecOfPath("x.tiff")->format, Format::kTiff);
    EXPECT_EQ(CodecOfPath("dir.png/x"), nullptr);
    EXPECT_EQ(CodecOfName("tif")->format, Format::kTiff);
    EXPECT_EQ(CodecOfName("Png")->format, Format::kPng);
    EXPECT_EQ(CodecOfName(".png"), nullptr);
#if IMAGEIO_PHONE_FORMATS
    EXPECT_EQ(CodecOfName("WEBP")->format, Format::kWebp);
#endif
    EXPECT_EQ(CodecOfName("gif"), nullptr);
}

}  // namespace
}  // namespace imageio

// Tests of a photograph's orientation and EXIF block as kvhost carries them: the eight
// orientations turn a marked picture as a viewer shows it, and the block is made fit for the
// upright result, every offset checked.
#include "imageio/photo_metadata.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "imageio/exif_block.h"
#include "imageio/orientation.h"
#include "imageio/test_files.h"

namespace {

// A little-endian EXIF block: the orientation in the first directory at 8, a link to an EXIF
// directory at 38 with the pixel dimensions, and a second directory at 68 whose thumbnail, at 98,
// ends the block.
std::vector<std::uint8_t> ExifWithThumbnail(std::uint16_t orientation) {
    using imageio::ExifValues;
    return imageio::ExifBlockOf(
        {
            {{ExifValues(0x0112, 3, 1, {orientation}, 2), {0x8769, 4, 1, {}, 1}}, /*next=*/2},
            {{ExifValues(0xA002, 3, 1, {4000}, 2), ExifValues(0xA003, 4, 1, {3000}, 4)}},
            {{ExifValues(0x0201, 4, 1, {98}, 4), ExifValues(0x0202, 4, 1, {6}, 4)}},
        },
        /*trailing=*/{0xFF, 0xD8, 1, 2, 0xFF, 0xD9});
}

std::uint32_t Read32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

TEST(PhotoMetadata, EightOrientationsShowTheMarkWhereAViewerDoes) {
    // A 3 x 2 picture, the mark (9) in its stored top-left corner; where a viewer shows it.
    RgbaImage stored{3, 2, {9, 1, 2, 3, 4, 5}, {}};
    const struct {
        int orientation;
        std::int32_t width;
        std::vector<Pixel32> shown;
    } cases[] = {
        {1, 3, {9, 1, 2, 3, 4, 5}}, {2, 3, {2, 1, 9, 5, 4, 3}}, {3, 3, {5, 4, 3, 2, 1, 9}},
        {4, 3, {3, 4, 5, 9, 1, 2}}, {5, 2, {9, 3, 1, 4, 2, 5}}, {6, 2, {3, 9, 4, 1, 5, 2}},
        {7, 2, {5, 2, 4, 1, 3, 9}}, {8, 2, {2, 5, 1, 4, 9, 3}}, {0, 3, {9, 1, 2, 3, 4, 5}},
    };
    for (const auto& c : cases) {
        const RgbaImage shown = Upright(stored, c.orientation);
        EXPECT_EQ(shown.width, c.width) << c.orientation;
        EXPECT_EQ(shown.height, 6 / c.width) << c.orientation;
        EXPECT_EQ(shown.pixels, c.shown) << c.orientation;
    }
}

TEST(PhotoMetadata, ExifMadeFitForTheUprightResult) {
    const std::vector<std::uint8_t> camera = ExifWithThumbnail(6);
    EXPECT_EQ(ExifOrientation(camera), 6);
    const std::optional<std::vector<std::uint8_t>> result = ExifForResult(camera, 3000, 70000);
    ASSERT_TRUE(result);
    EXPECT_EQ(ExifOrientation(*result), 1);
    EXPECT_EQ(result->size(), 98u) << "the thumbnail cut off";
    EXPECT_EQ(Read32(*result, 8 + 2 + 24), 0u) << "the second directory unlinked";
    EXPECT_EQ((*result)[38 + 2 + 8] | (*result)[38 + 2 + 9] << 8, 3000) << "width, a short";
    EXPECT_EQ((*result)[38 + 2 + 12 + 2], 4) << "height past 65535 takes a long";
    EXPECT_EQ(Read32(*result, 38 + 2 + 12 + 8), 70000u);
}

// The lens read from the EXIF directory: a 35-mm focal length of 0 says it is unknown.
TEST(PhotoMetadata, FocalLengthIn35mmFromTheExifDirectory) {
    const auto withFocal = [](std::uint8_t focal) {
        std::vector<std::uint8_t> b = ExifWithThumbnail(1);
        const std::size_t entry = 38 + 2 + 12;  // the EXIF directory's second entry
        b[entry] = 0x05;
        b[entry + 1] = 0xA4;
        b[entry + 2] = 3;  // a short
        b[entry + 8] = focal;
        b[entry + 9] = 0;
        return b;
    };
    EXPECT_EQ(ExifFocalIn35mm(withFocal(50)), 50);
    EXPECT_EQ(ExifFocalIn35mm(withFocal(0)), std::nullopt);
    EXPECT_EQ(ExifFocalIn35mm(ExifWithThumbnail(1)), std::nullopt);
    std::vector<std::uint8_t> farExif = withFocal(50);
    farExif[8 + 2 + 12 + 8] = 0xF0;
    EXPECT_EQ(ExifFocalIn35mm(farExif), std::nullopt);
}

TEST(PhotoMetadata, DamagedBlocksAreRefusedWithoutReadingOutside) {
    const std::vector<std::uint8_t> camera = ExifWithThumbnail(3);
    std::vector<std::uint8_t> farFirst = camera;
    farFirst[4] = 0xF0;  // the first directory far outside
    std::vector<std::uint8_t> farExif = camera;
    farExif[8 + 2 + 12 + 8] = 0xF0;  // the EXIF directory outside
    const struct {
        std::vector<std::uint8_t> block;
        std::optional<int> orientation;
    } cases[] = {
        {{}, std::nullopt},
        {{'I', 'I', 42}, std::nullopt},
        {{'X', 'X', 42, 0, 8, 0, 0, 0}, std::nullopt},
        {std::vector<std::uint8_t>(camera.begin(), camera.begin() + 20), std::nullopt},
        {farFirst, std::nullopt},
        {farExif, 3},  // the orientation is there; the block cannot be carried
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExifOrientation(c.block), c.orientation) << c.block.size();
        EXPECT_FALSE(ExifForResult(c.block, 1, 1)) << c.block.size();
    }
}

// Every check of the one validator, each on ExifWithThumbnail with one thing broken: the block is
// refused with the reason said, and nothing outside it is read.
TEST(PhotoMetadata, EveryBrokenBlockIsRefusedWithItsReason) {
    const auto broken = [](std::size_t at, std::uint32_t value, int bytesLong = 4) {
        std::vector<std::uint8_t> b = ExifWithThumbnail(6);
        imageio::PutNumber(b, /*bigEndian=*/false, at, bytesLong, value);
        return b;
    };
    constexpr std::size_t kFirstEntry = 8 + 2;       // the orientation
    constexpr std::size_t kLink = kFirstEntry + 12;  // to the EXIF directory at 38
    constexpr std::size_t kExifEntry = 38 + 2;       // the width
    const struct {
        const char* name;
        std::vector<std::uint8_t> block;
        std::string problem;
    } cases[] = {
        {"sound", ExifWithThumbnail(6), ""},
        {"no header", broken(2, 43, 2), "it has no TIFF header"},
        {"count 2^31", broken(kFirstEntry + 4, 0x80000000u), "an entry counts 2147483648 values"},
        {"count x size past 32 bits", broken(kExifEntry + 12 + 4, 0x7FFFFFFFu),
         "an entry's values take more than 4 GiB"},
        {"values outside", broken(kExifEntry + 4, 3), "an entry's values lie outside it"},
        {"unknown type", broken(kExifEntry + 2, 99, 2), "an entry has the unknown type 99"},
        {"first directory outside", broken(4, 5000), "its first directory lies outside it"},
        {"EXIF directory outside", broken(kLink + 8, 5000), "its EXIF directory lies outside it"},
        {"EXIF link back to the first", broken(kLink + 8, 8),
         "its EXIF directory leads back into a directory already read"},
        {"second directory the first again", broken(kLink + 12, 8),
         "its second directory leads back into a directory already read"},
        {"link of two values", broken(kLink + 4, 2),
         "its link to the EXIF directory is not one offset"},
        {"thumbnail outside", broken(68 + 2 + 8, 200), "its thumbnail lies outside it"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(imageio::ExifProblem(c.block), c.problem) << c.name;
        EXPECT_EQ(ExifForResult(c.block, 1, 1).has_value(), c.problem.empty()) << c.name;
    }
}

// Orientation twice in the first directory: the first counts, and both are written upright.
TEST(PhotoMetadata, EveryOrientationEntryIsMadeUpright) {
    std::vector<std::uint8_t> twice = ExifWithThumbnail(6);
    imageio::PutNumber(twice, false, 8 + 2 + 12, 2, 0x0112);  // the EXIF link becomes orientation 3
    imageio::PutNumber(twice, false, 8 + 2 + 12 + 2, 2, 3);
    imageio::PutNumber(twice, false, 8 + 2 + 12 + 4, 4, 1);
    imageio::PutNumber(twice, false, 8 + 2 + 12 + 8, 4, 3);
    EXPECT_EQ(ExifOrientation(twice), 6);
    const std::optional<std::vector<std::uint8_t>> result = ExifForResult(twice, 1, 1);
    ASSERT_TRUE(result);
    EXPECT_EQ((*result)[8 + 2 + 8], 1);
    EXPECT_EQ((*result)[8 + 2 + 12 + 8], 1);
}

}  // namespace

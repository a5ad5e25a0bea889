// MAT files written from a model's textures: exact bytes, names, replacement, failures and
// damaged textures.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/model.h"
#include "support/scratch_dir.h"
#include "textures/colour_map.h"
#include "textures/mat_file.h"
#include "textures/mat_writer.h"
#include "textures/quantise.h"

namespace kesh {
namespace {

using test::CurrentDir;
using test::FileExists;
using test::ListDir;
using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

void SetEntry(ColourMap& map, int i, uint8_t r, uint8_t g, uint8_t b) {
    map.entries[3 * i] = r;
    map.entries[3 * i + 1] = g;
    map.entries[3 * i + 2] = b;
}

// Entry i is (i, 0, 0): a palette entry (j, 0, 0) maps to j, or to 32 for j below 32.
ColourMap RedRamp() {
    ColourMap map;
    for (int i = 0; i < 256; ++i)
        SetEntry(map, i, static_cast<uint8_t>(i), 0, 0);
    return map;
}

// Palette entry j is (j, 0, 0).
Texture RampTexture(int32_t width, int32_t height, std::vector<uint8_t> pixels) {
    Texture texture;
    texture.width = width;
    texture.height = height;
    texture.dataSize = static_cast<int32_t>(pixels.size());
    texture.pixels = std::move(pixels);
    for (int j = 0; j < 256; ++j)
        texture.palette[3 * j] = static_cast<uint8_t>(j);
    return texture;
}

void PutWord(std::vector<uint8_t>& bytes, uint32_t word) {
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<uint8_t>(word >> shift));
}

// The header written out field by field.
std::vector<uint8_t> ExpectedHeader(uint32_t width, uint32_t height) {
    std::vector<uint8_t> bytes = {'M', 'A', 'T', ' '};
    for (uint32_t word : {50u, 2u, 1u, 1u, 0u, 8u})
        PutWord(bytes, word);
    for (int i = 0; i < 12; ++i)
        PutWord(bytes, 0);
    PutWord(bytes, 8);
    PutWord(bytes, 0);
    for (int i = 0; i < 4; ++i)
        PutWord(bytes, 0x3F800000u);
    PutWord(bytes, 0);
    PutWord(bytes, 0);
    PutWord(bytes, 0xBFF78482u);
    PutWord(bytes, 0);
    PutWord(bytes, width);
    PutWord(bytes, height);
    for (int i = 0; i < 3; ++i)
        PutWord(bytes, 0);
    PutWord(bytes, 1);
    return bytes;
}

uint32_t WordAt(const std::vector<uint8_t>& bytes, size_t offset) {
    uint32_t word = 0;
    for (int k = 3; k >= 0; --k)
        word = word << 8 | bytes.at(offset + k);
    return word;
}

class MatWriterTest : public ::testing::Test {
  protected:
    ScratchDir dir;
    CurrentDir here{dir.path()};
    ColourMap map = RedRamp();
};

TEST_F(MatWriterTest, WritesTheExactFile) {
    OptModel model;
    model.textures.push_back(RampTexture(2, 2, {0, 40, 200, 255}));
    EXPECT_TRUE(model.WriteMATs(map, "C:\\ships\\shuttle.3do").empty());

    std::vector<uint8_t> expected = ExpectedHeader(2, 2);
    ASSERT_EQ(expected.size(), 140u);
    expected.insert(expected.end(), {32, 40, 200, 255});
    EXPECT_EQ(ReadFileBytes("shut_00000.mat"), expected);
    EXPECT_EQ(ListDir(dir.path()), std::vector<std::string>{"shut_00000.mat"});
}

TEST_F(MatWriterTest, MatHeaderIsTheFixedLayout) {
    auto header = MatHeader(300, 7);
    EXPECT_EQ(std::vector<uint8_t>(header.begin(), header.end()), ExpectedHeader(300, 7));
}

TEST_F(MatWriterTest, NamesOneFilePerTextureInTheCurrentDirectory) {
    OptModel model;
    model.textures.push_back(RampTexture(1, 1, {50}));
    model.textures.push_back(RampTexture(1, 1, {60}));
    ScratchDir elsewhere;
    std::string outputPath = elsewhere / "shuttle.3do";
    EXPECT_TRUE(model.WriteMATs(map, outputPath.c_str()).empty());
    EXPECT_EQ(ListDir(dir.path()), (std::vector<std::string>{"shut_00000.mat", "shut_00001.mat"}));
    EXPECT_TRUE(ListDir(elsewhere.path()).empty());
    EXPECT_EQ(ReadFileBytes("shut_00001.mat").back(), 60);

    OptModel shortName;
    shortName.textures.push_back(RampTexture(1, 1, {50}));
    EXPECT_TRUE(shortName.WriteMATs(map, "a.3do").empty());
    EXPECT_TRUE(FileExists("a.3d_00000.mat"));
}

TEST_F(MatWriterTest, AModelWithoutTexturesWritesNothing) {
    OptModel model;
    EXPECT_TRUE(model.WriteMATs(map, "shuttle.3do").empty());
    EXPECT_TRUE(ListDir(dir.path()).empty());
}

TEST_F(MatWriterTest, OutputsSharingTheirFirstFourCharactersReplaceEachOthersFiles) {
    OptModel first;
    first.textures.push_back(RampTexture(1, 1, {100}));
    first.textures.push_back(RampTexture(1, 1, {101}));
    OptModel second;
    second.textures.push_back(RampTexture(2, 1, {200, 201}));
    EXPECT_TRUE(first.WriteMATs(map, "shuttle.3do").empty());
    EXPECT_TRUE(second.WriteMATs(map, "shut2.3do").empty());

    std::vector<uint8_t> replaced = ReadFileBytes("shut_00000.mat");
    ASSERT_EQ(replaced.size(), 142u);
    EXPECT_EQ(WordAt(replaced, 116), 2u);
    EXPECT_EQ(replaced[140], 200);
    EXPECT_EQ(ReadFileBytes("shut_00001.mat").back(), 101);  // the second had no texture 1
}

TEST_F(MatWriterTest, SizesFollowWidthTimesHeight) {
    std::vector<uint8_t> pixels(256 * 128);
    for (size_t k = 0; k < pixels.size(); ++k)
        pixels[k] = static_cast<uint8_t>(k * 13);
    OptModel model;
    model.textures.push_back(RampTexture(256, 128, pixels));
    model.textures.push_back(RampTexture(0, 0, {}));
    model.textures.push_back(RampTexture(0, 9, {1, 2, 3}));
    EXPECT_TRUE(model.WriteMATs(map, "ship.3do").empty());

    std::vector<uint8_t> large = ReadFileBytes("ship_00000.mat");
    ASSERT_EQ(large.size(), 140u + 256 * 128);
    EXPECT_EQ(std::vector<uint8_t>(large.begin() + 116, large.begin() + 124),
              (std::vector<uint8_t>{0, 1, 0, 0, 128, 0, 0, 0}));
    for (size_t k = 0; k < pixels.size(); ++k) {
        ASSERT_EQ(large[140 + k], std::max<uint8_t>(pixels[k], 32)) << k;
    }
    EXPECT_EQ(ReadFileBytes("ship_00001.mat"), ExpectedHeader(0, 0));
    EXPECT_EQ(ReadFileBytes("ship_00002.mat"), ExpectedHeader(0, 9));
}

TEST_F(MatWriterTest, PixelsGoThroughThePalettesRemapTable) {
    // Palette entry j is the colour of map entry 32 + (j * 37) % 224, and every map entry
    // from 32 on has a colour of its own, so each pixel lands on a known entry.
    ColourMap distinct;
    for (int i = 0; i < 256; ++i) {
        SetEntry(distinct, i, static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                 static_cast<uint8_t>(i * 7));
    }
    Texture texture;
    texture.width = 16;
    texture.height = 16;
    for (int j = 0; j < 256; ++j) {
        for (int c = 0; c < 3; ++c) {
            texture.palette[3 * j + c] = distinct.entries[3 * (32 + (j * 37) % 224) + c];
        }
        texture.pixels.push_back(static_cast<uint8_t>(j * 5 + 3));
    }
    // Bytes beyond width x height (mip-maps) are not part of the image.
    texture.pixels.insert(texture.pixels.end(), 64, 9);
    OptModel model;
    model.textures.push_back(texture);
    EXPECT_TRUE(model.WriteMATs(distinct, "ship.3do").empty());

    std::vector<uint8_t> bytes = ReadFileBytes("ship_00000.mat");
    ASSERT_EQ(bytes.size(), 140u + 256);
    for (int k = 0; k < 256; ++k) {
        int p = texture.pixels[k];
        ASSERT_EQ(bytes[140 + k], 32 + (p * 37) % 224) << k;
    }
}

TEST_F(MatWriterTest, DitheringDiffusesTheImageAndIsOnlyDoneWhenAskedFor) {
    // Map entries from 32 on are reds in steps of 8; the texture is a flat red of 101, between
    // the map's 96 (entry 44) and 104 (entry 45).
    ColourMap coarse;
    for (int i = 32; i < 256; ++i)
        SetEntry(coarse, i, static_cast<uint8_t>(std::min(255, (i - 32) * 8)), 0, 0);
    OptModel model;
    model.textures.push_back(RampTexture(16, 4, std::vector<uint8_t>(64, 101)));

    EXPECT_TRUE(model.WriteMATs(coarse, "plain.3do").empty());
    const std::vector<uint8_t> plain = ReadFileBytes("plai_00000.mat");
    ASSERT_EQ(plain.size(), 140u + 64);
    EXPECT_EQ(std::vector<uint8_t>(plain.begin(), plain.begin() + 140), ExpectedHeader(16, 4));
    EXPECT_EQ(std::vector<uint8_t>(plain.begin() + 140, plain.end()), std::vector<uint8_t>(64, 45));
    EXPECT_EQ(QuantiseTexture(model.textures[0], coarse, false),
              std::vector<uint8_t>(plain.begin() + 140, plain.end()));

    EXPECT_TRUE(model.WriteMATs(coarse, "dith.3do", {}, true).empty());
    const std::vector<uint8_t> dithered = ReadFileBytes("dith_00000.mat");
    ASSERT_EQ(dithered.size(), 140u + 64);
    EXPECT_EQ(std::vector<uint8_t>(dithered.begin(), dithered.begin() + 140),
              ExpectedHeader(16, 4));
    const std::vector<uint8_t> image(dithered.begin() + 140, dithered.end());
    EXPECT_EQ(image, QuantiseTexture(model.textures[0], coarse, true));
    double mean = 0;
    for (uint8_t index : image) {
        ASSERT_TRUE(index == 44 || index == 45) << int{index};
        mean += coarse.entries[3 * size_t{index}] / 64.0;
    }
    EXPECT_NEAR(mean, 101.0, 0.5);
}

TEST_F(MatWriterTest, AFileThatCannotBeCreatedIsReportedAndTheOthersAreWritten) {
    ASSERT_EQ(mkdir("ship_00001.mat", 0755), 0);
    OptModel model;
    for (uint8_t p : {40, 41, 42})
        model.textures.push_back(RampTexture(1, 1, {p}));
    std::vector<OutputFailure> failures = model.WriteMATs(map, "ship.3do");

    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].path, "ship_00001.mat");
    EXPECT_EQ(failures[0].result.failure, Failure::CannotCreate);
    EXPECT_EQ(ReadFileBytes("ship_00000.mat").back(), 40);
    EXPECT_EQ(ReadFileBytes("ship_00002.mat").back(), 42);
    // No temporary or partial file is left beside them.
    EXPECT_EQ(ListDir(dir.path()),
              (std::vector<std::string>{"ship_00000.mat", "ship_00001.mat", "ship_00002.mat"}));
}

TEST_F(MatWriterTest, AReadOnlyFileIsNotReplaced) {
    WriteFileBytes("ship_00000.mat", {1, 2, 3});
    ASSERT_EQ(chmod("ship_00000.mat", 0444), 0);
    OptModel model;
    model.textures.push_back(RampTexture(1, 1, {40}));
    std::vector<OutputFailure> failures = model.WriteMATs(map, "ship.3do");
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].result.failure, Failure::CannotCreate);
    EXPECT_EQ(ReadFileBytes("ship_00000.mat"), (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(MatWriterTest, MissingPixelsReadAsPaletteIndexZero) {
    ColourMap distinct = RedRamp();
    Texture shortTexture = RampTexture(4, 4, {100, 101, 102, 103, 104, 105, 106, 107, 108, 109});
    // Palette entry 0 matches map entry 77, so padding is easy to see.
    shortTexture.palette[0] = 77;
    Texture empty = shortTexture;
    empty.pixels.clear();
    OptModel model;
    model.textures = {shortTexture, empty};
    EXPECT_TRUE(model.WriteMATs(distinct, "ship.3do").empty());

    std::vector<uint8_t> expected = ExpectedHeader(4, 4);
    for (uint8_t p : {100, 101, 102, 103, 104, 105, 106, 107, 108, 109})
        expected.push_back(p);
    expected.insert(expected.end(), 6, 77);
    EXPECT_EQ(ReadFileBytes("ship_00000.mat"), expected);

    std::vector<uint8_t> padded = ExpectedHeader(4, 4);
    padded.insert(padded.end(), 16, 77);
    EXPECT_EQ(ReadFileBytes("ship_00001.mat"), padded);
}

TEST_F(MatWriterTest, ImpossibleSizesWriteTheHeaderAlone) {
    OptModel model;
    model.textures.push_back(RampTexture(-3, 4, {1, 2, 3}));
    model.textures.push_back(RampTexture(4, -1, {1, 2, 3}));
    model.textures.push_back(RampTexture(65536, 65536, {1, 2, 3}));  // the product overflows
    model.textures.push_back(RampTexture(50000, 50000, {}));         // beyond a 32-bit file size
    model.textures.push_back(RampTexture(5000, 5000, {1}));          // mostly padding
    EXPECT_TRUE(model.WriteMATs(map, "ship.3do").empty());

    EXPECT_EQ(ReadFileBytes("ship_00000.mat"), ExpectedHeader(uint32_t(-3), 4));
    EXPECT_EQ(ReadFileBytes("ship_00001.mat"), ExpectedHeader(4, uint32_t(-1)));
    EXPECT_EQ(ReadFileBytes("ship_00002.mat"), ExpectedHeader(65536, 65536));
    EXPECT_EQ(ReadFileBytes("ship_00003.mat"), ExpectedHeader(50000, 50000));
    EXPECT_EQ(ReadFileBytes("ship_00004.mat"), ExpectedHeader(5000, 5000));
}

TEST_F(MatWriterTest, PaddingOfAllTexturesTogetherStaysWithinOneImagesLimit) {
    OptModel model;
    model.textures.push_back(RampTexture(4096, 4096, {1, 2, 3}));  // all but 3 of the limit
    model.textures.push_back(RampTexture(2, 2, {1, 2, 3}));        // 1 missing: still padded
    model.textures.push_back(RampTexture(4, 4, {}));               // 16 missing: header alone
    model.textures.push_back(RampTexture(2, 2, {1, 2, 3, 4}));     // whole: written in full
    EXPECT_TRUE(model.WriteMATs(map, "ship.3do").empty());

    EXPECT_EQ(ReadFileBytes("ship_00000.mat").size(), 140u + 4096 * 4096);
    EXPECT_EQ(ReadFileBytes("ship_00001.mat").size(), 144u);
    EXPECT_EQ(ReadFileBytes("ship_00002.mat"), ExpectedHeader(4, 4));
    EXPECT_EQ(ReadFileBytes("ship_00003.mat").size(), 144u);
}

TEST(MatImagePixels, PadsShortImagesOnlyUpToTheLimit) {
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(MatImageBytes(1, kMax - 140), kMax - 140);
    EXPECT_EQ(MatImageBytes(1, kMax - 139), 0);
    EXPECT_EQ(MatImageBytes(-1, -1), 0);
    EXPECT_EQ(MatImageBytes(0, kMax), 0);

    Texture texture;
    texture.width = 4096;
    texture.height = 4096;
    EXPECT_EQ(MatImagePixels(texture), kMaxPaddedImagePixels);
    texture.width = 4097;
    EXPECT_EQ(MatImagePixels(texture), 0);
    texture.pixels.resize(size_t{4097} * 4096);
    EXPECT_EQ(MatImagePixels(texture), int64_t{4097} * 4096);
    texture.bytesPerPixel = 4;  // the same bytes hold a quarter as many true-colour pixels
    EXPECT_EQ(MatImagePixels(texture), 0);
}

Texture TrueColour(int32_t width, int32_t height, std::vector<uint8_t> bgra) {
    Texture texture;
    texture.width = width;
    texture.height = height;
    texture.bytesPerPixel = 4;
    texture.dataSize = static_cast<int32_t>(bgra.size());
    texture.pixels = std::move(bgra);
    return texture;
}

TEST_F(MatWriterTest, TrueColourPixelsAreMatchedOneByOneAndAlphaIsDropped) {
    ColourMap ramp = RedRamp();
    SetEntry(ramp, 250, 0, 0, 0);      // black
    SetEntry(ramp, 251, 10, 200, 30);  // a green
    OptModel model;
    // Blue, green, red, alpha per pixel; the palette plays no part.
    model.textures.push_back(
        TrueColour(2, 2, {0, 0, 90, 255, 30, 200, 10, 0, 0, 0, 90, 17, 0, 0, 0, 128}));
    // The last pixel is cut short (three of its four bytes): it reads as black.
    model.textures.push_back(
        TrueColour(2, 2, {0, 0, 90, 255, 30, 200, 10, 0, 0, 0, 120, 0, 0, 0, 0}));
    EXPECT_TRUE(model.WriteMATs(ramp, "ship.3do").empty());

    std::vector<uint8_t> expected = ExpectedHeader(2, 2);
    expected.insert(expected.end(), {90, 251, 90, 250});
    EXPECT_EQ(ReadFileBytes("ship_00000.mat"), expected);
    expected = ExpectedHeader(2, 2);
    expected.insert(expected.end(), {90, 251, 120, 250});
    EXPECT_EQ(ReadFileBytes("ship_00001.mat"), expected);
}

TEST_F(MatWriterTest, ARandomTrueColourImageMatchesTheDirectSearch) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    ColourMap randomMap;
    for (uint8_t& b : randomMap.entries)
        b = static_cast<uint8_t>(byte(random));
    // 300 x 200 pixels: more than one block of the file, colours from all over the cube.
    std::vector<uint8_t> bgra(4 * 300 * 200);
    for (uint8_t& b : bgra)
        b = static_cast<uint8_t>(byte(random));
    OptModel model;
    model.textures.push_back(TrueColour(300, 200, bgra));
    EXPECT_TRUE(model.WriteMATs(randomMap, "ship.3do").empty());

    std::vector<uint8_t> bytes = ReadFileBytes("ship_00000.mat");
    ASSERT_EQ(bytes.size(), 140u + 300 * 200);
    for (size_t k = 0; k < 300 * 200; ++k) {
        uint8_t expected = randomMap.FindNearest(bgra[4 * k + 2], bgra[4 * k + 1], bgra[4 * k]);
        ASSERT_EQ(bytes[140 + k], expected) << k;
    }
}

TEST_F(MatWriterTest, ManyMixedTexturesEachLandInTheirOwnFileAndFailAlone) {
    // 8-bit and 32-bit textures mixed, and one file in the way, so that results and failures
    // must come back to the texture they belong to.
    ColourMap ramp = RedRamp();
    OptModel model;
    for (int i = 0; i < 24; ++i) {
        if (i % 3 == 2) {
            std::vector<uint8_t> bgra(4 * 128 * 64);
            for (size_t k = 0; k < bgra.size(); k += 4)
                bgra[k + 2] = static_cast<uint8_t>(i * 7 + k / 4);
            model.textures.push_back(TrueColour(128, 64, bgra));
        } else {
            std::vector<uint8_t> pixels(128 * 128);
            for (size_t k = 0; k < pixels.size(); ++k)
                pixels[k] = static_cast<uint8_t>(i + k);
            model.textures.push_back(RampTexture(128, 128, pixels));
        }
    }
    ASSERT_EQ(mkdir("ship_00013.mat", 0755), 0);

    const std::vector<OutputFailure> failures = model.WriteMATs(ramp, "ship.3do");
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].path, "ship_00013.mat");
    EXPECT_EQ(failures[0].result.failure, Failure::CannotCreate);

    for (int i = 0; i < 24; ++i) {
        if (i == 13) continue;
        char name[32];
        std::snprintf(name, sizeof name, "ship_%05d.mat", i);
        const Texture& texture = model.textures[static_cast<size_t>(i)];
        std::vector<uint8_t> expected = ExpectedHeader(static_cast<uint32_t>(texture.width),
                                                       static_cast<uint32_t>(texture.height));
        const size_t pixels = static_cast<size_t>(texture.width) * texture.height;
        for (size_t k = 0; k < pixels; ++k) {
            // Red j maps to entry j of the ramp, or to 32 below 32.
            const uint8_t red =
                texture.bytesPerPixel == 4 ? texture.pixels[4 * k + 2] : texture.pixels[k];
            expected.push_back(red < 32 ? 32 : red);
        }
        EXPECT_EQ(ReadFileBytes(name), expected) << name;
    }
    EXPECT_EQ(ListDir(dir.path()).size(), 24u);  // no temporary is left behind
}

TEST(ReadMatImage, TakesBackAWrittenImage) {
    std::vector<uint8_t> bytes = ExpectedHeader(3, 2);
    bytes.insert(bytes.end(), {32, 33, 34, 35, 36, 37});
    MatImage image;
    ASSERT_EQ(ReadMatImage(bytes, image), MatProblem::None);
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.pixels, (std::vector<uint8_t>{32, 33, 34, 35, 36, 37}));
}

TEST(ReadMatImage, ChecksTheHeaderAgainstTheFile) {
    MatImage image;
    std::vector<uint8_t> good = ExpectedHeader(3, 2);
    good.insert(good.end(), 6, 40);

    EXPECT_EQ(ReadMatImage(std::vector<uint8_t>(good.begin(), good.begin() + 139), image),
              MatProblem::TooShort);
    std::vector<uint8_t> notMat = good;
    notMat[3] = 'X';
    EXPECT_EQ(ReadMatImage(notMat, image), MatProblem::NotMat);
    std::vector<uint8_t> sixteenBit = good;
    sixteenBit[24] = 16;
    EXPECT_EQ(ReadMatImage(sixteenBit, image), MatProblem::NotEightBit);
    EXPECT_EQ(ReadMatImage(ExpectedHeader(uint32_t(-3), 2), image), MatProblem::BadSize);
    EXPECT_EQ(ReadMatImage(ExpectedHeader(65536, 65536), image), MatProblem::BadSize);
    EXPECT_EQ(ReadMatImage(std::vector<uint8_t>(good.begin(), good.end() - 1), image),
              MatProblem::MissingPixels);
    EXPECT_EQ(ReadMatImage(ExpectedHeader(40000, 40000), image), MatProblem::MissingPixels);
    EXPECT_TRUE(image.pixels.empty());  // nothing was taken from a bad file
}

}  // namespace
}  // namespace kesh

// The preview renderer: the rasteriser's pixels, the views of a model as written, the texture
// sheet, and the dithered quantisation that the pictures show.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/model.h"
#include "reader3do/reader3do.h"
#include "render/materials.h"
#include "render/model_view.h"
#include "render/rasterizer.h"
#include "render/rgb_image.h"
#include "render/texture_sheet.h"
#include "support/scratch_dir.h"
#include "textures/colour_map.h"
#include "textures/mat_file.h"
#include "textures/quantise.h"

namespace kesh {
namespace {

const std::string kSourceDir = KESH_SOURCE_DIR;

Rgb PixelAt(const RgbImage& image, int32_t x, int32_t y) {
    const uint8_t* p = image.At(x, y);
    return {p[0], p[1], p[2]};
}

// A 2 x 2 texture: red, green on top; blue, white below.
RgbImage Checker() {
    RgbImage texture(2, 2);
    texture.pixels = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    return texture;
}

TEST(Rasterizer, MapsATextureOntoAQuadTexelForTexel) {
    RgbImage target(8, 8, {9, 9, 9});
    Rasterizer raster(target, {0, 0, 8, 8});
    const RgbImage texture = Checker();
    const RasterVertex a{0, 0, 1, 0, 0}, b{8, 0, 1, 2, 0}, c{8, 8, 1, 2, 2}, d{0, 8, 1, 0, 2};
    raster.Triangle(a, b, c, &texture, {}, 1.0f);
    raster.Triangle(a, c, d, &texture, {}, 1.0f);
    for (int32_t y = 0; y < 8; ++y) {
        for (int32_t x = 0; x < 8; ++x) {
            const uint8_t* texel = texture.At(x / 4, y / 4);
            EXPECT_EQ(PixelAt(target, x, y), (Rgb{texel[0], texel[1], texel[2]})) << x << "," << y;
        }
    }
}

TEST(Rasterizer, RepeatsTheTextureAndShadesIt) {
    RgbImage target(4, 4);
    Rasterizer raster(target, {0, 0, 4, 4});
    const RgbImage texture = Checker();
    // u and v run from 2 to 6 texels: the texture twice over, shifted by a whole repeat.
    const RasterVertex a{0, 0, 1, 2, 2}, b{4, 0, 1, 6, 2}, c{4, 4, 1, 6, 6}, d{0, 4, 1, 2, 6};
    raster.Triangle(a, b, c, &texture, {}, 0.5f);
    raster.Triangle(a, c, d, &texture, {}, 0.5f);
    EXPECT_EQ(PixelAt(target, 0, 0), (Rgb{128, 0, 0}));
    EXPECT_EQ(PixelAt(target, 1, 0), (Rgb{0, 128, 0}));
    EXPECT_EQ(PixelAt(target, 2, 0), (Rgb{128, 0, 0}));
    EXPECT_EQ(PixelAt(target, 3, 3), (Rgb{128, 128, 128}));
}

TEST(Rasterizer, TheNearerOfTwoOverlappingTrianglesWinsInEitherOrder) {
    // A red triangle over the top-left half near the viewer, in front of a blue one that
    // covers the whole picture farther away.
    const RasterVertex nearA{0, 0, 1}, nearB{6, 0, 1}, nearC{0, 6, 1};
    const RasterVertex farA{0, 0, 5}, farB{12, 0, 5}, farC{0, 12, 5};
    for (bool nearFirst : {true, false}) {
        RgbImage target(6, 6);
        Rasterizer raster(target, {0, 0, 6, 6});
        if (nearFirst) raster.Triangle(nearA, nearB, nearC, nullptr, {255, 0, 0}, 1.0f);
        raster.Triangle(farA, farB, farC, nullptr, {0, 0, 255}, 1.0f);
        if (!nearFirst) raster.Triangle(nearA, nearB, nearC, nullptr, {255, 0, 0}, 1.0f);
        for (int32_t y = 0; y < 6; ++y) {
            for (int32_t x = 0; x < 6; ++x) {
                // Pixel centres with x + y <= 5 lie in the red triangle, its edge included.
                const Rgb expected = x + y <= 5 ? Rgb{255, 0, 0} : Rgb{0, 0, 255};
                EXPECT_EQ(PixelAt(target, x, y), expected) << x << "," << y << " " << nearFirst;
            }
        }
    }
}

TEST(Rasterizer, StaysInsideItsAreaAndIgnoresCornersThatAreNotFinite) {
    RgbImage target(8, 8);
    Rasterizer raster(target, {2, 2, 4, 4});
    raster.Triangle({-1e30f, -1e30f, 0}, {1e30f, -1e30f, 0}, {0, 1e30f, 0}, nullptr,
                    {255, 255, 255}, 1.0f);
    raster.Triangle({0, 0, 0}, {NAN, 0, 0}, {0, 8, 0}, nullptr, {255, 0, 0}, 1.0f);
    for (int32_t y = 0; y < 8; ++y) {
        for (int32_t x = 0; x < 8; ++x) {
            const bool inside = x >= 2 && x < 6 && y >= 2 && y < 6;
            EXPECT_EQ(PixelAt(target, x, y), (inside ? Rgb{255, 255, 255} : Rgb{0, 0, 0}));
        }
    }
}

// One quad in the plane y = 0, seen from the front (+Y), with material 0.
Model3do QuadModel(double normalY, int32_t material) {
    Mesh3do mesh;
    mesh.vertices = {{-1, 0, -1}, {1, 0, -1}, {1, 0, 1}, {-1, 0, 1}};
    mesh.texVertices = {{0, 0}, {2, 0}, {2, 2}, {0, 2}};
    Face3do face;
    face.material = material;
    face.cornerCount = 4;
    face.vertex = {0, 1, 2, 3};
    face.texVertex = {0, 1, 2, 3};
    face.normal = {0, normalY, 0};
    mesh.faces = {face};
    Model3do model;
    model.materials = {{"q_00000.mat", 2, 2}};
    model.geometrySets = {{{mesh}}};
    model.nodes = {Node3do{}, Node3do{}};
    model.nodes[1].mesh = 0;
    return model;
}

size_t DrawnPixels(const RgbImage& image, Viewport area) {
    size_t drawn = 0;
    for (int32_t y = area.y; y < area.y + area.height; ++y)
        for (int32_t x = area.x; x < area.x + area.width; ++x)
            drawn += PixelAt(image, x, y) != kBackground;
    return drawn;
}

TEST(DrawView, DrawsOnlyFacesWhoseWrittenNormalFacesTheViewer) {
    const std::vector<RgbImage> materials = {Checker()};
    RgbImage facing(64, 64);
    DrawView(QuadModel(1, 0), 0, materials, ViewSide::Front, facing, {0, 0, 64, 64});
    // Fitted with its margin: the quad covers the middle 48 x 48 pixels.
    EXPECT_EQ(DrawnPixels(facing, {0, 0, 64, 64}), 48u * 48u);
    const Rgb centre = PixelAt(facing, 31, 31);
    EXPECT_GT(centre[0] + centre[1] + centre[2], 0);

    RgbImage away(64, 64);
    DrawView(QuadModel(-1, 0), 0, materials, ViewSide::Front, away, {0, 0, 64, 64});
    EXPECT_EQ(DrawnPixels(away, {0, 0, 64, 64}), 0u);
}

TEST(DrawView, DrawsMissingAndAbsentTexturesInPlainGreyAndSkipsBadIndices) {
    for (int32_t material : {-1, 0, 7}) {
        RgbImage picture(32, 32);
        DrawView(QuadModel(1, material), 0, {}, ViewSide::Front, picture, {0, 0, 32, 32});
        const Rgb grey = PixelAt(picture, 16, 16);
        EXPECT_EQ(grey[0], grey[1]);
        EXPECT_EQ(grey[1], grey[2]);
        EXPECT_GT(grey[0], 0);
    }
    Model3do broken = QuadModel(1, 0);
    broken.geometrySets[0].meshes[0].faces[0].vertex[2] = 4;  // beyond the four vertices
    RgbImage picture(32, 32);
    DrawView(broken, 0, {}, ViewSide::Front, picture, {0, 0, 32, 32});
    DrawView(broken, 3, {}, ViewSide::Front, picture, {0, 0, 32, 32});  // no such set
    EXPECT_EQ(DrawnPixels(picture, {0, 0, 32, 32}), 0u);
}

TEST(DrawSheet, TheSampleShowsInEveryQuarter) {
    Model3do model;
    Read3doError error;
    ASSERT_TRUE(Load3do((kSourceDir + "/tests/data/sample-blue.3do").c_str(), model, error))
        << Describe(error);
    ColourMap colourMap;
    ASSERT_TRUE(colourMap.Load((kSourceDir + "/samples/uicolorm.cmp").c_str()));
    std::vector<std::string> warnings;
    const std::vector<std::string> folders = {kSourceDir + "/tests/data/sample-mat"};
    const std::vector<RgbImage> materials = LoadMaterialImages(model, colourMap, folders, warnings);
    EXPECT_TRUE(warnings.empty());
    Model3do levels;
    ASSERT_TRUE(Load3do((kSourceDir + "/tests/data/sample.3do").c_str(), levels, error));
    for (const RgbImage& sheet :
         {DrawSheet(model, 0, materials, 256), DrawSheet(levels, 1, materials, 256)}) {
        ASSERT_EQ(sheet.width, 256);
        for (const Viewport quarter : {Viewport{0, 0, 127, 127}, Viewport{129, 0, 127, 127},
                                       Viewport{0, 129, 127, 127}, Viewport{129, 129, 127, 127}}) {
            EXPECT_GT(DrawnPixels(sheet, quarter), 300u) << quarter.x << "," << quarter.y;
        }
    }
}

TEST(LoadMaterialImages, LooksInEachFolderInTurnAndWarnsOncePerMissingFile) {
    test::ScratchDir dir;
    Model3do model;
    model.materials = {{"a_00000.mat", 2, 1}, {"a_00001.mat", 1, 1}, {"a_00002.mat", 1, 1}};
    const auto header = MatHeader(2, 1);
    std::vector<uint8_t> mat(header.size() + 2);
    std::copy(header.begin(), header.end(), mat.begin());
    mat[header.size()] = 40;
    mat[header.size() + 1] = 41;
    const std::string second = dir / "second";
    ASSERT_EQ(mkdir(second.c_str(), 0755), 0);
    test::WriteFileBytes(second + "/a_00000.mat", mat);
    test::WriteFileBytes(dir / "a_00002.mat", {'n', 'o'});
    ColourMap colourMap;
    colourMap.entries[3 * 41] = 200;
    std::vector<std::string> warnings;
    const std::vector<std::string> folders = {dir.path(), second};
    const std::vector<RgbImage> images = LoadMaterialImages(model, colourMap, folders, warnings);
    ASSERT_EQ(images.size(), 3u);
    ASSERT_EQ(images[0].width, 2);
    EXPECT_EQ(PixelAt(images[0], 1, 0), (Rgb{200, 0, 0}));
    EXPECT_TRUE(images[1].empty());
    EXPECT_TRUE(images[2].empty());
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_NE(warnings[0].find("a_00001.mat: MAT file not found"), std::string::npos);
    EXPECT_NE(warnings[1].find("a_00002.mat: too short"), std::string::npos) << warnings[1];
}

TEST(TextureSheet, PlacesEachOriginalBesideItsQuantisedPictureEnlarged) {
    std::vector<TexturePair> pairs(2);
    pairs[0].original = RgbImage(4, 2, {255, 0, 0});
    pairs[0].quantised = RgbImage(4, 2, {0, 255, 0});
    pairs[1].original = RgbImage(16, 1, {0, 0, 255});
    pairs[1].quantised = RgbImage(16, 1, {9, 9, 9});
    ASSERT_EQ(ZoomForWidth(pairs, 64), 16);
    RgbImage sheet;
    std::string error;
    ASSERT_TRUE(DrawTextureSheet(pairs, 2, 1000, sheet, error)) << error;
    // Gaps of 8 pixels: 8 + 32 + 8 + 32 + 8 wide, 8 + 4 + 8 + 2 + 8 high.
    EXPECT_EQ(sheet.width, 88);
    EXPECT_EQ(sheet.height, 30);
    EXPECT_EQ(PixelAt(sheet, 8, 8), (Rgb{255, 0, 0}));
    EXPECT_EQ(PixelAt(sheet, 15, 11), (Rgb{255, 0, 0}));
    EXPECT_EQ(PixelAt(sheet, 16, 8), kBackground);
    EXPECT_EQ(PixelAt(sheet, 48, 8), (Rgb{0, 255, 0}));
    EXPECT_EQ(PixelAt(sheet, 79, 21), (Rgb{9, 9, 9}));
    EXPECT_FALSE(DrawTextureSheet(pairs, 64, 1000, sheet, error));
    EXPECT_NE(error.find("smaller --zoom"), std::string::npos);
}

// A colour map whose entries from 32 on are greys 0, 8, 16, ... and whose entries below 32
// are exact matches that must never be chosen.
ColourMap CoarseGreys() {
    ColourMap map;
    for (int i = 0; i < 256; ++i) {
        const int grey = i < 32 ? i * 8 + 3 : std::min(255, (i - 32) * 8);
        map.entries[3 * i] = map.entries[3 * i + 1] = map.entries[3 * i + 2] =
            static_cast<uint8_t>(grey);
    }
    return map;
}

TEST(MeanColourError, ComparesPixelsOrTheColoursOfWholeBlocks) {
    // A checkerboard of +3 and -3 on every channel: far off pixel by pixel, exact in 2 x 2.
    RgbImage a(4, 3, {100, 100, 100});
    RgbImage b = a;
    for (int32_t y = 0; y < b.height; ++y)
        for (int32_t x = 0; x < b.width; ++x)
            for (int c = 0; c < 3; ++c)
                b.At(x, y)[c] = static_cast<uint8_t>((x + y) % 2 == 0 ? 103 : 97);
    EXPECT_DOUBLE_EQ(MeanColourError(a, a, 1), 0.0);
    EXPECT_NEAR(MeanColourError(a, b, 1), 3 * std::sqrt(3.0), 1e-12);
    EXPECT_DOUBLE_EQ(MeanColourError(a, b, 2), 0.0);  // the third row is no whole block
    EXPECT_DOUBLE_EQ(MeanColourError(a, b, 5), 0.0);  // no whole block at all
    EXPECT_DOUBLE_EQ(MeanColourError(a, b, 0), 0.0);
}

TEST(Dither, KeepsTheMeanColourOfASmoothGradientThatPlainMatchingBands) {
    const ColourMap map = CoarseGreys();
    const int32_t width = 64;
    const int32_t height = 8;
    std::vector<uint8_t> rgb;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                rgb.push_back(static_cast<uint8_t>(100 + x / 8));  // 100 .. 107, between 2 greys
    const std::vector<uint8_t> dithered = DitherToColourMap(rgb, width, height, map);
    ASSERT_EQ(dithered.size(), size_t{width * height});
    for (int32_t x0 = 0; x0 < width; x0 += 8) {
        double sum = 0;
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = x0; x < x0 + 8; ++x) {
                const uint8_t index = dithered[static_cast<size_t>(y * width + x)];
                ASSERT_GE(index, 32);
                sum += map.entries[3 * size_t{index}];
            }
        // Each 8 x 8 block averages to its own grey within a level, where plain matching
        // gives 96 or 104 throughout.
        EXPECT_NEAR(sum / 64, 100 + x0 / 8, 1.0) << x0;
    }
}

TEST(Dither, AColourOfTheMapStaysExactAndPlainQuantisingMatchesEachPaletteEntry) {
    const ColourMap map = CoarseGreys();
    Texture texture;
    texture.width = 3;
    texture.height = 2;
    texture.pixels = {0, 1, 1, 0, 2, 2};
    texture.palette[0] = texture.palette[1] = texture.palette[2] = 64;  // entry 40 exactly
    texture.palette[3] = texture.palette[4] = texture.palette[5] = 101;
    EXPECT_EQ(QuantiseTexture(texture, map, true)[0], 40);
    EXPECT_EQ(QuantiseTexture(texture, map, true)[3], 40);
    const std::vector<uint8_t> plain = QuantiseTexture(texture, map, false);
    // Palette entry 1 (101) is nearest to grey 104 (entry 45); entry 2 is black (entry 32).
    EXPECT_EQ(plain, (std::vector<uint8_t>{40, 45, 45, 40, 32, 32}));
}

}  // namespace
}  // namespace kesh

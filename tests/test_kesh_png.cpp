// kesh-png as a user runs it: the pictures it writes, decoded again, and its exit status.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "core/model.h"
#include "core/run.h"
#include "support/opt_builder.h"
#include "support/scratch_dir.h"
#include "textures/colour_map.h"
#include "textures/mat_file.h"

namespace kesh {
namespace {

using test::ScratchDir;

struct Result {
    int status = -1;
    std::string output;  // standard output and standard error together
};

Result RunKeshPng(const std::string& arguments) {
    const std::string command = "'" KESH_PNG_PATH "' " + arguments + " 2>&1 </dev/null";
    Result result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> chunk{};
    size_t n = 0;
    while ((n = fread(chunk.data(), 1, chunk.size(), pipe)) > 0) {
        result.output.append(chunk.data(), n);
    }
    const int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

std::string Quote(const std::string& path) {
    return "'" + path + "'";
}

struct Decoded {
    bool ok = false;
    uint32_t width = 0;
    uint32_t height = 0;
    bool hasAlpha = false;
    std::vector<uint8_t> rgba;  // always four bytes per pixel
};

Decoded DecodePng(const std::string& path) {
    Decoded decoded;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return decoded;
    decoded.hasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image.format = PNG_FORMAT_RGBA;
    decoded.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, decoded.rgba.data(), 0, nullptr)) return decoded;
    decoded.width = image.width;
    decoded.height = image.height;
    decoded.ok = true;
    return decoded;
}

// A colour map whose entry i is (i, 255 - i, i * 3).
std::vector<uint8_t> CmpFile() {
    std::vector<uint8_t> bytes(64, 0);
    for (int i = 0; i < 256; ++i) {
        bytes.push_back(static_cast<uint8_t>(i));
        bytes.push_back(static_cast<uint8_t>(255 - i));
        bytes.push_back(static_cast<uint8_t>(i * 3));
    }
    return bytes;
}

std::vector<uint8_t> MatFile(int32_t width, int32_t height, const std::vector<uint8_t>& image) {
    auto header = MatHeader(width, height);
    std::vector<uint8_t> bytes(header.size() + image.size());
    std::copy(header.begin(), header.end(), bytes.begin());
    std::copy(image.begin(), image.end(), bytes.begin() + header.size());
    return bytes;
}

TEST(KeshPngMat, ColoursTheImageThroughTheColourMap) {
    ScratchDir dir;
    test::WriteFileBytes(dir / "map.cmp", CmpFile());
    test::WriteFileBytes(dir / "a.mat", MatFile(3, 2, {32, 33, 100, 200, 254, 255}));
    Result r = RunKeshPng("mat " + Quote(dir / "a.mat") + " --colour-map " +
                          Quote(dir / "map.cmp") + " -o " + Quote(dir / "a.png"));
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output, "");

    Decoded png = DecodePng(dir / "a.png");
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.width, 3u);
    EXPECT_EQ(png.height, 2u);
    EXPECT_FALSE(png.hasAlpha);
    std::vector<uint8_t> expected;
    for (int i : {32, 33, 100, 200, 254, 255}) {
        expected.insert(expected.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                         static_cast<uint8_t>(i * 3), 255});
    }
    EXPECT_EQ(png.rgba, expected);
}

TEST(KeshPngMat, RefusesBadFilesWithAReason) {
    ScratchDir dir;
    test::WriteFileBytes(dir / "map.cmp", CmpFile());
    test::WriteFileBytes(dir / "short.mat", MatFile(4, 4, {1, 2, 3}));
    test::WriteFileBytes(dir / "text.mat", std::vector<uint8_t>(200, 'x'));
    test::WriteFileBytes(dir / "empty.mat", MatFile(0, 0, {}));
    const std::string map = " --colour-map " + Quote(dir / "map.cmp");
    const std::string out = " -o " + Quote(dir / "out.png");

    Result cut = RunKeshPng("mat " + Quote(dir / "short.mat") + map + out);
    EXPECT_EQ(cut.status, 1);
    EXPECT_NE(cut.output.find("short.mat: the file ends before the image"), std::string::npos)
        << cut.output;
    Result text = RunKeshPng("mat " + Quote(dir / "text.mat") + map + out);
    EXPECT_EQ(text.status, 1);
    EXPECT_NE(text.output.find("not a MAT file"), std::string::npos) << text.output;
    Result empty = RunKeshPng("mat " + Quote(dir / "empty.mat") + map + out);
    EXPECT_EQ(empty.status, 1);
    EXPECT_NE(empty.output.find("the image is empty"), std::string::npos) << empty.output;
    Result missing = RunKeshPng("mat " + Quote(dir / "missing.mat") + map + out);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("missing.mat: cannot open MAT file: No such file"),
              std::string::npos)
        << missing.output;
    Result noMap = RunKeshPng("mat " + Quote(dir / "short.mat") + " --colour-map " +
                              Quote(dir / "none.cmp") + out);
    EXPECT_EQ(noMap.status, 1);
    EXPECT_NE(noMap.output.find("none.cmp: cannot open colour map"), std::string::npos)
        << noMap.output;
    EXPECT_FALSE(test::FileExists(dir / "out.png"));
}

TEST(KeshPngMat, WarnsAboutAShortColourMap) {
    ScratchDir dir;
    std::vector<uint8_t> cmp = CmpFile();
    cmp.resize(100);
    test::WriteFileBytes(dir / "map.cmp", cmp);
    test::WriteFileBytes(dir / "a.mat", MatFile(1, 1, {5}));
    Result r = RunKeshPng("mat " + Quote(dir / "a.mat") + " --colour-map " +
                          Quote(dir / "map.cmp") + " -o " + Quote(dir / "a.png"));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("warning: "), std::string::npos) << r.output;
    EXPECT_TRUE(test::FileExists(dir / "a.png"));
}

TEST(KeshPng, UsageErrorsExitWithTwo) {
    EXPECT_EQ(RunKeshPng("").status, 2);
    EXPECT_EQ(RunKeshPng("mat x.mat -o y.png").status, 2);  // no colour map
    EXPECT_EQ(RunKeshPng("opt x.opt -o y.png").status, 2);  // no texture number
    EXPECT_EQ(RunKeshPng("opt x.opt --texture two -o y.png").status, 2);
    EXPECT_EQ(RunKeshPng("--help").status, 0);
}

// An 8 x 1 texture whose 8th palette is a red ramp and 16th a blue ramp.
test::TextureSpec RampTexture() {
    test::TextureSpec texture;
    texture.width = 8;
    texture.height = 1;
    texture.pixels = {0, 1, 2, 3, 4, 5, 6, 7};
    std::vector<uint16_t> reds, blues;
    for (int j = 0; j < 256; ++j) {
        reds.push_back(test::Rgb565(j * 8 % 256, 0, 0));
        blues.push_back(test::Rgb565(0, 0, j * 8 % 256));
    }
    texture.Palette(7, reds);
    texture.Palette(15, blues);
    return texture;
}

// The texture's colours as the reader takes them, as RGBA.
std::vector<uint8_t> ExpectedColours(const std::vector<uint8_t>& opt, int32_t paletteOffset) {
    OptModel model;
    model.paletteOffset = paletteOffset;
    model.LoadOptBytes(opt);
    std::vector<uint8_t> rgba;
    const Texture& texture = model.textures.at(0);
    for (uint8_t p : texture.pixels) {
        for (int c = 0; c < 3; ++c)
            rgba.push_back(texture.palette[3 * p + c]);
        rgba.push_back(255);
    }
    return rgba;
}

TEST(KeshPngOpt, ShowsAnEightBitTextureThroughTheChosenPalette) {
    ScratchDir dir;
    test::BuiltOpt opt = test::BuildOpt({.nodes = {test::TextureNode(RampTexture())}});
    test::WriteFileBytes(dir / "ship.opt", opt.bytes);

    Result xwa =
        RunKeshPng("opt " + Quote(dir / "ship.opt") + " --texture 0 -o " + Quote(dir / "x.png"));
    ASSERT_EQ(xwa.status, 0) << xwa.output;
    Result plain = RunKeshPng("opt " + Quote(dir / "ship.opt") + " --texture 0 --no-xwa -o " +
                              Quote(dir / "p.png"));
    ASSERT_EQ(plain.status, 0) << plain.output;

    Decoded x = DecodePng(dir / "x.png");
    Decoded p = DecodePng(dir / "p.png");
    ASSERT_TRUE(x.ok && p.ok);
    EXPECT_EQ(x.width, 8u);
    EXPECT_EQ(x.height, 1u);
    EXPECT_EQ(x.rgba, ExpectedColours(opt.bytes, kXwaPaletteOffset));
    EXPECT_EQ(p.rgba, ExpectedColours(opt.bytes, kPlainPaletteOffset));
    EXPECT_NE(x.rgba, p.rgba);
    EXPECT_GT(x.rgba[4 * 7], 0);      // red from the 8th palette
    EXPECT_GT(p.rgba[4 * 7 + 2], 0);  // blue from the 16th
}

TEST(KeshPngOpt, ShowsATrueColourTextureWithItsAlpha) {
    ScratchDir dir;
    test::TextureSpec texture;
    texture.width = 2;
    texture.height = 1;
    texture.pixels = {10, 20, 30, 255, 40, 50, 60, 128};  // blue, green, red, alpha
    texture.dataSize = 2;
    test::WriteFileBytes(dir / "ship.opt",
                         test::BuildOpt({.nodes = {test::TextureNode(texture)}}).bytes);
    Result r =
        RunKeshPng("opt " + Quote(dir / "ship.opt") + " --texture 0 -o " + Quote(dir / "t.png"));
    ASSERT_EQ(r.status, 0) << r.output;
    Decoded png = DecodePng(dir / "t.png");
    ASSERT_TRUE(png.ok);
    EXPECT_TRUE(png.hasAlpha);
    EXPECT_EQ(png.rgba, (std::vector<uint8_t>{30, 20, 10, 255, 60, 50, 40, 128}));
}

TEST(KeshPngOpt, NamesAMissingTexture) {
    ScratchDir dir;
    test::WriteFileBytes(dir / "ship.opt",
                         test::BuildOpt({.nodes = {test::TextureNode(RampTexture())}}).bytes);
    Result r =
        RunKeshPng("opt " + Quote(dir / "ship.opt") + " --texture 1 -o " + Quote(dir / "t.png"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("no texture 1 (the model has 1)"), std::string::npos) << r.output;
    Result none =
        RunKeshPng("opt " + Quote(dir / "none.opt") + " --texture 0 -o " + Quote(dir / "t.png"));
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.output.find("none.opt: cannot open input"), std::string::npos) << none.output;
    EXPECT_FALSE(test::FileExists(dir / "t.png"));
}

TEST(KeshPngOpt, SheetsEveryTextureBesideItsQuantisedVersion) {
    ScratchDir dir;
    const test::BuiltOpt opt =
        test::BuildOpt({.nodes = {test::TextureNode(RampTexture()), test::PlainTexture(2, 2, 3)}});
    test::WriteFileBytes(dir / "ship.opt", opt.bytes);
    test::WriteFileBytes(dir / "map.cmp", CmpFile());
    const std::string map = " --colour-map " + Quote(dir / "map.cmp");
    Result r = RunKeshPng("opt " + Quote(dir / "ship.opt") + " --all" + map + " -o " +
                          Quote(dir / "all.png"));
    ASSERT_EQ(r.status, 0) << r.output;
    Decoded png = DecodePng(dir / "all.png");
    ASSERT_TRUE(png.ok);
    // The narrowest texture (2 wide) enlarged to 64: zoom 32; rows of 8 x 1 and 2 x 2 texels
    // with gaps of 8 pixels around and between the pictures.
    EXPECT_EQ(png.width, 8u * 3 + 2 * 8 * 32);
    EXPECT_EQ(png.height, 8u * 3 + 1 * 32 + 2 * 32);
    const std::vector<uint8_t> colours = ExpectedColours(opt.bytes, kXwaPaletteOffset);
    const auto pixel = [&](uint32_t x, uint32_t y) {
        return std::vector<uint8_t>(png.rgba.begin() + 4 * (y * png.width + x),
                                    png.rgba.begin() + 4 * (y * png.width + x) + 4);
    };
    for (uint32_t t = 0; t < 8; ++t) {
        EXPECT_EQ(pixel(8 + 32 * t + 5, 8 + 5),
                  std::vector<uint8_t>(colours.begin() + 4 * t, colours.begin() + 4 * t + 4));
        // The quantised copy: the colour map entry nearest to the original, never below 32.
        const std::vector<uint8_t> quantised = pixel(8 + 256 + 8 + 32 * t + 5, 8 + 5);
        ColourMap colourMap;
        ASSERT_TRUE(colourMap.LoadBytes(CmpFile()));
        const uint8_t entry =
            colourMap.FindNearest(colours[4 * t], colours[4 * t + 1], colours[4 * t + 2]);
        EXPECT_EQ(quantised[0], entry) << t;
    }

    Result zoomed = RunKeshPng("opt " + Quote(dir / "ship.opt") + " --all --zoom 2" + map + " -o " +
                               Quote(dir / "z.png"));
    ASSERT_EQ(zoomed.status, 0) << zoomed.output;
    EXPECT_EQ(DecodePng(dir / "z.png").width, 8u * 3 + 2 * 8 * 2);
}

TEST(KeshPng, RefusesAnOutputNameThatDoesNotEndInPng) {
    ScratchDir dir;
    test::WriteFileBytes(dir / "map.cmp", CmpFile());
    test::WriteFileBytes(dir / "a.mat", MatFile(1, 1, {40}));
    for (const char* name : {"a.jpg", "a", "png", "a.png.txt"}) {
        Result r = RunKeshPng("mat " + Quote(dir / "a.mat") + " --colour-map " +
                              Quote(dir / "map.cmp") + " -o " + Quote(dir / name));
        EXPECT_EQ(r.status, 2) << name;
        EXPECT_NE(r.output.find("the output name must end in .png"), std::string::npos) << r.output;
        EXPECT_FALSE(test::FileExists(dir / name));
    }
    EXPECT_EQ(RunKeshPng("model x.3do -o x.3do").status, 2);
    EXPECT_EQ(RunKeshPng("opt x.opt --all -o x.bmp").status, 2);
    Result upper = RunKeshPng("mat " + Quote(dir / "a.mat") + " --colour-map " +
                              Quote(dir / "map.cmp") + " -o " + Quote(dir / "A.PNG"));
    EXPECT_EQ(upper.status, 0) << upper.output;
}

// The bundled sample converted with its textures in `dir`, every level of detail.
void ConvertSample(const ScratchDir& dir) {
    test::CurrentDir inside(dir.path());
    test::WriteFileBytes("sample.opt", test::ReadFileBytes(KESH_SOURCE_DIR "/samples/sample.opt"));
    RunSettings settings;
    settings.allowTextures = true;
    settings.colourMapFile = KESH_SOURCE_DIR "/samples/uicolorm.cmp";
    settings.maxGeo = -1;
    NoProgress progress;
    ASSERT_TRUE(RunConversion(settings, {"sample.opt"}, progress).allConverted());
}

// Pixels of a quarter of a square picture that differ from its top-left corner pixel.
size_t DrawnInQuarter(const Decoded& png, int quarter) {
    const uint32_t half = png.width / 2;
    const uint32_t x0 = (quarter % 2) * (half + 1);
    const uint32_t y0 = (quarter / 2) * (half + 1);
    size_t drawn = 0;
    for (uint32_t y = y0; y < y0 + half - 1; ++y) {
        for (uint32_t x = x0; x < x0 + half - 1; ++x) {
            drawn += !std::equal(png.rgba.begin() + 4 * (y * png.width + x),
                                 png.rgba.begin() + 4 * (y * png.width + x) + 4, png.rgba.begin());
        }
    }
    return drawn;
}

TEST(KeshPngModel, DrawsTheConvertedSampleFromFourSides) {
    ScratchDir dir;
    ConvertSample(dir);
    test::WriteFileBytes(dir / "uicolorm.cmp",
                         test::ReadFileBytes(KESH_SOURCE_DIR "/samples/uicolorm.cmp"));
    for (const std::string geoset : {"0", "1"}) {
        Result r = RunKeshPng("model " + Quote(dir / "sample.3do") + " --geoset " + geoset +
                              " --size 300 -o " + Quote(dir / "s.png"));
        ASSERT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(r.output, "");
        Decoded png = DecodePng(dir / "s.png");
        ASSERT_TRUE(png.ok);
        EXPECT_EQ(png.width, 300u);
        EXPECT_EQ(png.height, 300u);
        for (int quarter = 0; quarter < 4; ++quarter)
            EXPECT_GT(DrawnInQuarter(png, quarter), 200u) << geoset << " " << quarter;
    }
}

TEST(KeshPngModel, WarnsOncePerMissingMatAndStillDrawsTheModel) {
    ScratchDir dir;
    ConvertSample(dir);
    std::remove((dir / "samp_00001.mat").c_str());
    std::remove((dir / "samp_00004.mat").c_str());
    Result r =
        RunKeshPng("model " + Quote(dir / "sample.3do") + " --colour-map " +
                   Quote(KESH_SOURCE_DIR "/samples/uicolorm.cmp") + " -o " + Quote(dir / "s.png"));
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output,
              "kesh-png: warning: samp_00001.mat: MAT file not found; its faces are drawn in "
              "grey\n"
              "kesh-png: warning: samp_00004.mat: MAT file not found; its faces are drawn in "
              "grey\n");
    EXPECT_EQ(DecodePng(dir / "s.png").width, 1024u);

    // Found in --mat-dir instead.
    ScratchDir other;
    ConvertSample(other);
    Result found = RunKeshPng("model " + Quote(dir / "sample.3do") + " --colour-map " +
                              Quote(KESH_SOURCE_DIR "/samples/uicolorm.cmp") + " --mat-dir " +
                              Quote(other.path()) + " --size 64 -o " + Quote(dir / "s.png"));
    EXPECT_EQ(found.status, 0);
    EXPECT_EQ(found.output, "");
}

TEST(KeshPngModel, NamesTheLineOfAModelItCannotReadAndAMissingGeometrySet) {
    ScratchDir dir;
    ConvertSample(dir);
    std::string text = test::ReadFileText(dir / "sample.3do");
    text.replace(text.find("GEOMETRYMODE 4"), 14, "GEOMETRYMODE 5");
    test::WriteFileText(dir / "bad.3do", text);
    Result bad = RunKeshPng("model " + Quote(dir / "bad.3do") + " -o " + Quote(dir / "b.png"));
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.output.find("bad.3do: line 50: expected \"GEOMETRYMODE 4\""), std::string::npos)
        << bad.output;
    Result set =
        RunKeshPng("model " + Quote(dir / "sample.3do") + " --geoset 2 -o " + Quote(dir / "b.png"));
    EXPECT_EQ(set.status, 1);
    EXPECT_NE(set.output.find("no geometry set 2 (the model has 2)"), std::string::npos)
        << set.output;
    EXPECT_FALSE(test::FileExists(dir / "b.png"));
}

}  // namespace
}  // namespace kesh

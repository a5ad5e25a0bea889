// make_fuzz_seeds: writes the seed corpora of the fuzz harnesses, made with the project's own
// OPT writer, so that fuzzing starts from well-formed models of every node type and from the
// damaged shapes the reader must survive.
//
// Usage: make_fuzz_seeds OUTPUT_DIR
// Writes OUTPUT_DIR/opt_reader/*, OUTPUT_DIR/pipeline/*, OUTPUT_DIR/reader3do/* (3DO files the
// writer wrote from the well-formed models) and OUTPUT_DIR/fixed_point/*. A pipeline
// seed is four setting bytes (see fuzz_pipeline.cpp) followed by an OPT file; a fixed-point
// seed is a double's 8 bytes, a width byte and a decimals byte. The output is the same on
// every run.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "core/model.h"
#include "support/opt_builder.h"
#include "support/test_models.h"

namespace {

using kesh::Vec3;
using namespace kesh::test;

struct Seed {
    std::string name;
    std::vector<uint8_t> bytes;
};

std::vector<uint16_t> RampPalette() {
    std::vector<uint16_t> colours;
    for (int i = 0; i < kPaletteColours; ++i)
        colours.push_back(Rgb565(i, (i * 3) & 255, 255 - i));
    return colours;
}

NodeSpec SmallTexture(int32_t width, int32_t height) {
    TextureSpec texture;
    texture.width = width;
    texture.height = height;
    for (int32_t i = 0; i < width * height; ++i)
        texture.pixels.push_back(static_cast<uint8_t>(i * 7));
    texture.AllPalettes(RampPalette());
    return TextureNode(texture);
}

NodeSpec TrueColourTexture() {
    TextureSpec texture;
    texture.width = 2;
    texture.height = 2;
    texture.pixels = {0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 255, 9, 9, 9, 255};
    texture.pixelBytes = 16;
    return TextureNode(texture);
}

const std::vector<Vec3> kSquare = {{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 2}};
const std::vector<Uv> kSquareUv = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};

// Two meshes, two levels of detail, a switch of three textures and a texture reference.
std::vector<uint8_t> TwoLodShip() {
    NodeSpec hull = Group({
        Vertices(kSquare),
        TexCoords(kSquareUv),
        VertexNormals({{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}}),
        FaceGroup({
            Group({Switch({SmallTexture(2, 2), SmallTexture(4, 2), SmallTexture(1, 1)}),
                   Faces({Quad(0, 1, 2, 3, {0, 1, 2, 3})})}),
            Group({TextureRef("Tex00001"), Faces({Tri(0, 1, 2, {0, 1, 2})})}),
        }),
    });
    NodeSpec wing = Group({
        Vertices({{1, 1, 1}, {2, 1, 1}, {1, 2, 1}}),
        TexCoords({{0.5f, 0.5f}}),
        FaceGroup({Group({TextureRef("Tex00000"), Faces({Tri(0, 1, 2)})})}),
    });
    OptSpec layout;
    layout.offsetBase = 0x00ED0000;
    layout.nodes = {hull, wing};
    return BuildOpt(layout).bytes;
}

// An empty slot, a node of an unknown type with children and a 32-bit texture.
std::vector<uint8_t> OddNodes() {
    NodeSpec mesh = Group({
        Vertices(kSquare),
        TexCoords(kSquareUv),
        NodeOfType(22, {Vertices({{9, 9, 9}})}),
        FaceGroup({Group({TrueColourTexture(), Faces({Quad(0, 1, 2, 3, {0, 1, 2, 3})})})}),
    });
    OptSpec layout;
    layout.offsetBase = 0x100;
    layout.nodes = {EmptySlot(), mesh};
    return BuildOpt(layout).bytes;
}

// A face group that lists itself again (a cycle), and a node shared by two tables.
std::vector<uint8_t> CycleAndShare() {
    NodeSpec faces = Faces({Tri(0, 1, 2), Tri(1, 2, 3)}).Named("faces");
    NodeSpec mesh = Group({
        Vertices(kSquare),
        FaceGroup({Group({faces, LinkTo("faces")}), LinkTo("lods")}).Named("lods"),
    });
    OptSpec layout;
    layout.nodes = {mesh, LinkTo("faces")};
    return BuildOpt(layout).bytes;
}

// Faces whose indices point outside their lists, and counts that promise more than there is.
std::vector<uint8_t> LyingCounts() {
    NodeSpec mesh = Group({
        Vertices({{1, 2, 3}, {4, 5, 6}}).WithPayloadCount(1000000),
        TexCoords({{1, 1}}),
        FaceGroup({Group(
            {Faces({Quad(0, 7, -3, 1, {5, -1, 0, 2}), Tri(1, 0, 1)}).WithPayloadCount(2000000)})}),
    });
    OptSpec layout;
    layout.nodes = {mesh};
    return BuildOpt(layout).bytes;
}

// A texture that claims a large image it does not hold, and a negative one.
std::vector<uint8_t> ClaimedTextures() {
    TextureSpec huge;
    huge.width = 4096;
    huge.height = 4096;
    huge.pixels = {1, 2, 3};
    TextureSpec negative;
    negative.width = -5;
    negative.height = 3;
    negative.pixels = {4};
    NodeSpec mesh = Group({
        Vertices(kSquare),
        FaceGroup({Group({TextureNode(huge), Faces({Tri(0, 1, 2)})}),
                   Group({TextureNode(negative), Faces({Tri(1, 2, 3)})})}),
    });
    OptSpec layout;
    layout.nodes = {mesh};
    return BuildOpt(layout).bytes;
}

std::vector<uint8_t> Prefix(std::vector<uint8_t> bytes, size_t size) {
    bytes.resize(std::min(bytes.size(), size));
    return bytes;
}

// Pipeline seeds: the four setting bytes ahead of an OPT file.
std::vector<uint8_t> WithSettings(std::vector<uint8_t> settings, const std::vector<uint8_t>& opt) {
    settings.insert(settings.end(), opt.begin(), opt.end());
    return settings;
}

std::vector<uint8_t> FixedSeed(double value, uint8_t width, uint8_t decimals) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 8; ++i)
        bytes.push_back(static_cast<uint8_t>(bits >> (8 * i)));
    bytes.push_back(width);
    bytes.push_back(decimals);
    return bytes;
}

bool WriteSeed(const std::string& dir, const Seed& seed) {
    std::ofstream out(dir + "/" + seed.name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(seed.bytes.data()),
              static_cast<std::streamsize>(seed.bytes.size()));
    out.close();
    if (!out)
        std::fprintf(stderr, "make_fuzz_seeds: cannot write %s/%s\n", dir.c_str(),
                     seed.name.c_str());
    return static_cast<bool>(out);
}

// Converts `opt` and writes its 3DO file, every geometry set, as `dir`/`name`.3do.
bool Write3doSeed(const std::string& dir, const Seed& opt) {
    kesh::OptModel model;
    (void)model.LoadOptBytes(opt.bytes);
    model.ConvertGeometry(0.01f);
    const std::string path = dir + "/" + opt.name + ".3do";
    const kesh::StageResult written = model.Write3DO(path.c_str(), -1);
    if (!written) std::fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", path.c_str());
    return written.ok();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds OUTPUT_DIR\n");
        return 2;
    }
    const std::string root = argv[1];

    const std::vector<Seed> opts = {
        {"small_ship.opt", SmallShipOpt()},
        {"grid.opt", GridOpt(3, 4)},
        {"two_lod_ship.opt", TwoLodShip()},
        {"odd_nodes.opt", OddNodes()},
        {"cycle_and_share.opt", CycleAndShare()},
        {"lying_counts.opt", LyingCounts()},
        {"claimed_textures.opt", ClaimedTextures()},
        {"truncated_ship.opt", Prefix(SmallShipOpt(), 200)},
    };
    std::vector<Seed> pipeline;
    // Settings: scale selector, maxGeo, textureGroup, flags (bit 0 plain palettes, bit 1 MATs,
    // bit 2 fit to the engine).
    const std::vector<std::vector<uint8_t>> settings = {
        {0, 1, 0, 2}, {1, 0xFF, 1, 3}, {2, 2, 3, 2}, {3, 0, 0xFF, 0}};
    for (size_t i = 0; i < opts.size(); ++i) {
        pipeline.push_back(
            {std::string("p").append(std::to_string(i)).append("_").append(opts[i].name),
             WithSettings(settings[i % settings.size()], opts[i].bytes)});
    }
    // The same files fitted to the engine (bit 2), and two that fitting splits and packs.
    for (size_t i = 0; i < opts.size(); ++i) {
        pipeline.push_back(
            {std::string("f").append(std::to_string(i)).append("_").append(opts[i].name),
             WithSettings({0, 0xFF, 0, 6}, opts[i].bytes)});
    }
    pipeline.push_back({"f_long_strips.opt", WithSettings({0, 1, 0, 4}, GridOpt(2, 600))});
    pipeline.push_back({"f_many_meshes.opt", WithSettings({0, 1, 0, 4}, GridOpt(70, 2))});
    std::vector<uint8_t> truncated = TwoLodShip();
    truncated.resize(truncated.size() / 3);
    pipeline.push_back({"p_truncated.opt", WithSettings({0, 0xFF, 0, 2}, truncated)});

    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<Seed> fixed = {
        {"zero", FixedSeed(0.0, 10, 6)},
        {"negative_zero", FixedSeed(-0.0, 10, 6)},
        {"tie", FixedSeed(0.0078125, 10, 6)},
        {"negative_tiny", FixedSeed(-1e-9, 10, 6)},
        {"seventeen_digits", FixedSeed(0.1234567890123456789, 12, 4)},
        {"large", FixedSeed(1.0e25, 10, 6)},
        {"max", FixedSeed(std::numeric_limits<double>::max(), 0, 9)},
        {"subnormal", FixedSeed(std::numeric_limits<double>::denorm_min(), 3, 9)},
        {"infinity", FixedSeed(-inf, 10, 6)},
        {"nan", FixedSeed(std::nan(""), 10, 6)},
        {"radius", FixedSeed(static_cast<double>(17318.775f), 10, 6)},
    };

    bool ok = true;
    for (const Seed& seed : opts)
        ok = WriteSeed(root + "/opt_reader", seed) && ok;
    for (const Seed& seed : pipeline)
        ok = WriteSeed(root + "/pipeline", seed) && ok;
    for (const Seed& seed : fixed)
        ok = WriteSeed(root + "/fixed_point", seed) && ok;
    for (size_t i = 0; i < 3; ++i)  // the ship, the grid and the ship with two LOD levels
        ok = Write3doSeed(root + "/reader3do", opts[i]) && ok;
    ok = Write3doSeed(root + "/reader3do", {"long_strips", GridOpt(2, 600)}) && ok;
    return ok ? 0 : 1;
}

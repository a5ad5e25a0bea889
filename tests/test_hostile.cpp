// Resource bounds of one conversion on the worst inputs of at most 1 MiB that we know:
// whatever a file claims, what the conversion keeps and writes stays within a small multiple
// of the file's size. (Their time and memory are measured by bench/hostile-timing.)
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/engine_limits.h"
#include "core/model.h"
#include "core/paths.h"
#include "fit/fit.h"
#include "hostile_models.h"
#include "opt/opt_reader.h"
#include "support/opt_builder.h"
#include "support/scratch_dir.h"
#include "textures/colour_map.h"
#include "textures/mat_writer.h"
#include "writer3do/material_name.h"
#include "writer3do/writer3do.h"

namespace kesh {
namespace {

using namespace test;

constexpr const char* kOutputPath = "ship.3do";

// Bytes of 3DO text a conversion may write per byte of input, plus a fixed allowance: an
// output mesh costs about 600 bytes of text with its hierarchy node and the reader makes at
// most one per 16 bytes (at least 4096); a face costs at most about 600 bytes with its new
// vertices and takes 64 bytes of input.
constexpr uint64_t kTextBytesPerInputByte = 128;
constexpr uint64_t kTextAllowance = 4 << 20;

struct Converted {
    StageResult load;
    size_t size = 0;
    size_t meshes = 0;
    int32_t lodCount = 0;
    uint64_t faces = 0;
    uint64_t vertices = 0;
    uint64_t outputMeshes = 0;
    uint64_t textures = 0;
    uint64_t pixels = 0;
    uint64_t textBytes = 0;
    uint64_t matBytes = 0;
    size_t matFailures = 0;
};

// One conversion with every stage: all geometry sets written, MAT files into a scratch dir.
Converted Convert(const std::vector<uint8_t>& bytes) {
    Converted c;
    c.size = bytes.size();
    OptModel model;
    c.load = model.LoadOptBytes(bytes);
    model.ConvertGeometry(0.00243902f);
    c.meshes = model.meshes.size();
    c.lodCount = model.lodCount;
    for (const OptMesh& mesh : model.meshes) {
        c.faces += mesh.faces.size();
        c.vertices += mesh.vertices.size();
    }
    for (const std::vector<OptMesh>& set : model.lodMeshes)
        c.outputMeshes += set.size();
    c.textures = model.textures.size();
    for (const Texture& texture : model.textures)
        c.pixels += texture.pixels.size();

    ScratchDir dir;
    {
        CurrentDir inside(dir.path());
        ColourMap colourMap;
        c.matFailures = model.WriteMATs(colourMap, kOutputPath).size();
        for (size_t i = 0; i < model.textures.size(); ++i) {
            struct stat info {};
            const std::string name = MaterialName(BaseName(kOutputPath), static_cast<int32_t>(i));
            if (stat(name.c_str(), &info) == 0) c.matBytes += static_cast<uint64_t>(info.st_size);
        }
    }
    c.textBytes = Format3DO(model, kOutputPath, -1).size();
    if (c.textBytes != 0) (void)CheckEngineLimits(model, -1);
    return c;
}

// Parameterised by name: the cases are built only by the test that converts them.
class HostileInput : public ::testing::TestWithParam<std::string> {};

TEST_P(HostileInput, StaysWithinBoundsOfItsSize) {
    const HostileCase hostile = MakeHostileCase(GetParam());
    ASSERT_LE(hostile.bytes.size(), kHostileMaxBytes);
    const Converted c = Convert(hostile.bytes);
    const uint64_t size = c.size;

    EXPECT_TRUE(c.load.ok());
    EXPECT_EQ(c.load.damaged, hostile.damaged);
    // What the reader kept: nothing beyond what its read budget let it read.
    EXPECT_LE(c.faces * 64 + c.vertices * 12, ReadBudget(c.size));
    EXPECT_LE(c.pixels, ReadBudget(c.size));
    EXPECT_LE(c.textures * 24, ReadBudget(c.size));
    EXPECT_LE(c.meshes, NodeBudget(c.size));
    // The geometry sets: lodCount x meshes output meshes, within the LOD budget.
    EXPECT_GE(c.lodCount, 1);
    EXPECT_EQ(c.outputMeshes, static_cast<uint64_t>(c.lodCount) * c.meshes);
    if (c.lodCount > 1) {
        EXPECT_LE(c.outputMeshes, LodBudget(c.size));
    }
    // What was written.
    EXPECT_LE(c.textBytes, kTextBytesPerInputByte * size + kTextAllowance);
    EXPECT_EQ(c.matFailures, 0u);
    EXPECT_LE(c.matBytes,
              140 * c.textures + c.pixels + static_cast<uint64_t>(kMaxPaddedImagePixels));
}

// Fitting the same model: every set's meshes within the loader's limits, and no more text
// than the plain conversion's bound.
TEST_P(HostileInput, FittedToTheEngineStaysWithinItsLimitsAndBoundsOfItsSize) {
    const HostileCase hostile = MakeHostileCase(GetParam());
    OptModel model;
    model.LoadOptBytes(hostile.bytes);
    model.ConvertGeometry(0.00243902f);
    (void)FitToEngine(model, -1, kOutputPath);
    const uint64_t textBytes = Format3DO(model, kOutputPath, -1).size();
    EXPECT_LE(textBytes, kTextBytesPerInputByte * hostile.bytes.size() + kTextAllowance);
    if (textBytes == 0) return;
    EXPECT_LE(model.lodMeshes.size(), 4u);
    for (const LimitWarning& warning : CheckEngineLimits(model, -1)) {
        // Only the node count may stay beyond the limit, where simplifying could not help.
        EXPECT_EQ(warning.kind, LimitKind::HierarchyNodes) << LimitNoun(warning.kind);
    }
}

INSTANTIATE_TEST_SUITE_P(WorstCases, HostileInput, ::testing::ValuesIn(HostileCaseNames()),
                         [](const ::testing::TestParamInfo<std::string>& param) {
                             return param.param;
                         });

HostileCase Case(const std::string& name) {
    return MakeHostileCase(name);
}

TEST(HostileInputShape, LodWithinTheBudgetIsKeptAndEveryLevelWritten) {
    const Converted c = Convert(Case("lod_within_budget").bytes);
    EXPECT_EQ(c.lodCount, 50000);
    EXPECT_EQ(c.outputMeshes, 50000u);
    EXPECT_GT(c.textBytes, 50000u * 300);  // every level is a geometry set of the text
}

TEST(HostileInputShape, LodBeyondTheBudgetLeavesTheLodCountAlone) {
    const Converted c = Convert(Case("lod_beyond_budget").bytes);
    EXPECT_TRUE(c.load.damaged);
    EXPECT_EQ(c.lodCount, 1);
    EXPECT_EQ(c.outputMeshes, 1u);
}

TEST(HostileInputShape, TopLevelEntriesStopAtTheNodeBudget) {
    for (const char* name : {"many_top_level_entries", "empty_top_level"}) {
        const HostileCase hostile = Case(name);
        const Converted c = Convert(hostile.bytes);
        EXPECT_TRUE(c.load.damaged) << name;
        EXPECT_GT(c.meshes, 10000u) << name;
        EXPECT_LE(c.meshes, NodeBudget(hostile.bytes.size())) << name;
    }
}

TEST(HostileInputShape, CyclesAndDeepChainsReadAsEmptySlots) {
    EXPECT_EQ(Convert(Case("deep_chain").bytes).faces, 0u);
    const Converted cycles = Convert(Case("cycles").bytes);
    EXPECT_EQ(cycles.meshes, 2u);
}

TEST(HostileInputShape, ASharedTextureThatClaimsAHugeImageStopsAtTheTextureBudget) {
    const HostileCase hostile = Case("shared_huge_texture");
    const Converted c = Convert(hostile.bytes);
    EXPECT_TRUE(c.load.damaged);
    EXPECT_EQ(c.textures, TextureBudget(hostile.bytes.size()));
    // One padded 4096 x 4096 image at most; the other MAT files are their headers.
    EXPECT_LE(c.matBytes, 140 * c.textures + 4096u * 4096u);
}

TEST(TextureBudget, ATextureNodeListedAgainAndAgainStopsAtTheBudget) {
    std::vector<NodeSpec> children;
    TextureSpec texture;
    texture.width = 1;
    texture.height = 1;
    texture.pixels = {5};
    children.push_back(TextureNode(texture).Named("texture"));
    for (int i = 0; i < 999; ++i)
        children.push_back(LinkTo("texture"));
    children.push_back(Faces({Tri(0, 1, 2)}));
    const BuiltOpt built = BuildOpt(
        {.nodes = {Group({Vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), Group(children)})}});
    OptModel model;
    const StageResult result = model.LoadOptBytes(built.bytes);
    EXPECT_TRUE(result.damaged);
    ASSERT_EQ(model.textures.size(), TextureBudget(built.bytes.size()));
    EXPECT_EQ(model.textures.back().pixels, std::vector<uint8_t>{5});
    // The face node follows a texture node that got no texture: untextured.
    ASSERT_EQ(model.meshes[0].faces.size(), 1u);
    EXPECT_EQ(model.meshes[0].faces[0].textureIndex, -1);
}

TEST(TextureBudget, DistinctTexturesOfASoundFileAreAllKept) {
    std::vector<NodeSpec> children;
    for (int i = 0; i < 100; ++i) {
        children.push_back(PlainTexture(2, 2, static_cast<uint8_t>(i)));
        children.push_back(Faces({Tri(0, 1, 2)}));
    }
    const BuiltOpt built = BuildOpt(
        {.nodes = {Group({Vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), Group(children)})}});
    OptModel model;
    EXPECT_FALSE(model.LoadOptBytes(built.bytes).damaged);
    EXPECT_EQ(model.textures.size(), 100u);
    EXPECT_EQ(model.meshes[0].faces.back().textureIndex, 99);
}

}  // namespace
}  // namespace kesh

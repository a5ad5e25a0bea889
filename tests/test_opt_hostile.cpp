// The OPT reader on damaged and hostile files: truncation, lying counts and offsets, cycles,
// deep and shared node tables, unusable texture sizes; and the byte cursor under it.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "core/model.h"
#include "opt/byte_cursor.h"
#include "opt/opt_reader.h"
#include "support/opt_builder.h"
#include "test_opt_support.h"

namespace kesh {
namespace {

using namespace test;

constexpr int32_t kMaxInt = std::numeric_limits<int32_t>::max();

TEST(ByteCursor, ReadsLittleEndianValues) {
    const std::vector<uint8_t> bytes = {0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0xC0, 0x3F};
    ByteCursor cursor(bytes, 1000);
    EXPECT_EQ(cursor.ReadInt32(), 0x12345678);
    EXPECT_EQ(cursor.ReadFloat(), 1.5f);
    EXPECT_FALSE(cursor.failed());
    EXPECT_EQ(cursor.Remaining(), 0u);
    EXPECT_EQ(cursor.budgetLeft(), 992u);
}

TEST(ByteCursor, ReadPastTheEndFailsForGoodAndGivesZeros) {
    const std::vector<uint8_t> bytes = {1, 2, 3, 4, 5, 6};
    ByteCursor cursor(bytes, 1000);
    cursor.Seek(4);
    uint8_t out[4] = {9, 9, 9, 9};
    EXPECT_FALSE(cursor.ReadBytes(out, 4));
    EXPECT_EQ(out[0], 5);  // what the file held is supplied, the rest is zero
    EXPECT_EQ(out[1], 6);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], 0);
    EXPECT_TRUE(cursor.failed());
    cursor.Seek(0);  // no seek takes effect any more
    EXPECT_EQ(cursor.ReadInt32(), 0);
    EXPECT_EQ(cursor.Remaining(), 0u);
}

TEST(ByteCursor, SeekBeyondTheEndFailsOnlyTheNextRead) {
    const std::vector<uint8_t> bytes(8, 7);
    ByteCursor cursor(bytes, 1000);
    cursor.Seek(100);
    EXPECT_FALSE(cursor.failed());
    EXPECT_EQ(cursor.Remaining(), 0u);
    EXPECT_EQ(cursor.ReadInt32(), 0);
    EXPECT_TRUE(cursor.failed());
}

TEST(ByteCursor, NegativeSeekFails) {
    const std::vector<uint8_t> bytes(8, 7);
    ByteCursor cursor(bytes, 1000);
    cursor.Seek(-1);
    EXPECT_TRUE(cursor.failed());
    EXPECT_EQ(cursor.ReadInt32(), 0);
}

TEST(ByteCursor, ReadAvailableIsClampedWithoutFailing) {
    const std::vector<uint8_t> bytes = {1, 2, 3};
    ByteCursor cursor(bytes, 1000);
    cursor.Seek(1);
    const std::span<const uint8_t> taken = cursor.ReadAvailable(8);
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[0], 2);
    EXPECT_EQ(taken[1], 3);
    EXPECT_FALSE(cursor.failed());
}

TEST(ByteCursor, BudgetRefusesReadsBeyondIt) {
    const std::vector<uint8_t> bytes(64, 1);
    ByteCursor cursor(bytes, 6);
    EXPECT_EQ(cursor.ReadInt32(), 0x01010101);
    EXPECT_FALSE(cursor.budgetExhausted());
    EXPECT_EQ(cursor.ReadInt32(), 0);
    EXPECT_TRUE(cursor.failed());
    EXPECT_TRUE(cursor.budgetExhausted());
}

TEST(ByteCursor, TakingEntriesEndsAsReadingThemOneByOneDoes) {
    // Every mix of file end, budget end and count around a 12-byte entry: the cursor must be
    // left exactly as a loop of reads that stops at the first failure leaves it.
    const std::vector<uint8_t> bytes(100, 5);
    for (size_t start = 0; start <= 104; start += 4) {
        for (uint64_t budget : {0, 11, 12, 40, 47, 48, 200}) {
            for (size_t count : {0, 1, 3, 4, 8, 9, 20}) {
                ByteCursor looped(bytes, budget);
                ByteCursor taken(bytes, budget);
                looped.Seek(static_cast<int64_t>(start));
                taken.Seek(static_cast<int64_t>(start));
                size_t read = 0;
                for (; read < count; ++read) {
                    uint8_t entry[12];
                    if (!looped.ReadBytes(entry, sizeof entry)) break;
                }
                size_t took = 0;
                const uint8_t* first = taken.TakeEntries<12>(count, took);
                const std::string where = std::to_string(start) + " " + std::to_string(budget) +
                                          " " + std::to_string(count);
                EXPECT_EQ(took, read) << where;
                EXPECT_EQ(first, read > 0 ? bytes.data() + start : nullptr) << where;
                EXPECT_EQ(taken.failed(), looped.failed()) << where;
                EXPECT_EQ(taken.budgetExhausted(), looped.budgetExhausted()) << where;
                EXPECT_EQ(taken.budgetLeft(), looped.budgetLeft()) << where;
                EXPECT_EQ(taken.Remaining(), looped.Remaining()) << where;
            }
        }
    }
}

// A small file with a bit of everything the reader reads.
BuiltOpt SmallValidFile() {
    TextureSpec texture;
    texture.width = 4;
    texture.height = 4;
    for (uint8_t i = 0; i < 16; ++i)
        texture.pixels.push_back(i);
    texture.Palette(7, std::vector<uint16_t>(256, 0xFFFF));
    texture.paletteCount = 8;  // up to the one that is read, to keep the file small
    NodeSpec second = PlainTexture(2, 1);
    second.texture.paletteCount = 8;
    return BuildOpt(
        {.nodes = {Group({
                       Vertices({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}),
                       TexCoords({{0, 0}, {1, 1}}),
                       FaceGroup({Group({TextureNode(texture), Faces({Tri(0, 1, 2)})}),
                                  Group({TextureRef("Tex00000"), Faces({Quad(0, 1, 2, 0)})})}),
                   }),
                   EmptySlot(), Group({Switch({second})})},
         .offsetBase = 0x10});
}

TEST(OptTruncated, EveryPrefixLoadsDeterministicallyWithoutOverread) {
    const BuiltOpt opt = SmallValidFile();
    {
        Loaded whole(opt.bytes);
        ASSERT_FALSE(whole.result.damaged);
        ASSERT_EQ(whole.model.textures.size(), 2u);
    }
    for (size_t size = 0; size < opt.bytes.size(); ++size) {
        // A fresh buffer of exactly the prefix, so that any read beyond it is caught.
        const std::vector<uint8_t> prefix = opt.Prefix(size);
        Loaded first(prefix);
        Loaded second(prefix);
        ASSERT_TRUE(first.result.ok());
        ASSERT_EQ(Dump(first.model), Dump(second.model)) << size;
        ASSERT_EQ(first.model.nodes.size(), first.model.meshes.size());
        for (const Texture& texture : first.model.textures) {
            ASSERT_LE(texture.pixels.size(), prefix.size());
        }
    }
}

// Leaving the pixels in the file changes nothing else: not the model, not the damage found,
// however much of the file is there.
TEST(OptTruncated, EveryPrefixLoadsTheSameWithoutItsPixels) {
    const BuiltOpt opt = SmallValidFile();
    for (size_t size = 0; size <= opt.bytes.size(); ++size) {
        const std::vector<uint8_t> prefix = opt.Prefix(size);
        Loaded withPixels(prefix);
        OptModel without;
        without.readPixels = false;
        const StageResult result = without.LoadOptBytes(prefix);
        for (const Texture& texture : without.textures)
            ASSERT_TRUE(texture.pixels.empty()) << size;
        for (Texture& texture : withPixels.model.textures)
            texture.pixels.clear();
        ASSERT_EQ(Dump(without), Dump(withPixels.model)) << size;
        ASSERT_EQ(result.damaged, withPixels.result.damaged) << size;
    }
}

// Moves the payload of the labelled node to the end of the file, where it is `bytes`.
void PayloadAtTheEnd(BuiltOpt& opt, const std::string& label, const std::vector<uint8_t>& bytes) {
    const auto position = static_cast<int32_t>(opt.bytes.size());
    opt.bytes.insert(opt.bytes.end(), bytes.begin(), bytes.end());
    opt.Patch(opt.At(label) + 20, opt.Stored(position));
}

std::vector<uint8_t> FloatBytes(const std::vector<float>& values) {
    std::vector<uint8_t> bytes;
    for (float value : values) {
        const uint32_t bits = Bits(value);
        for (int k = 0; k < 4; ++k)
            bytes.push_back(static_cast<uint8_t>(bits >> 8 * k));
    }
    return bytes;
}

NodeSpec Marker(float x) {
    return Group({Vertices({{x, 0, 0}})});
}

TEST(OptTruncated, CutVertexListKeepsWholeEntriesAndStopsReading) {
    BuiltOpt opt = BuildOpt(
        {.nodes = {Group({Vertices({{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}).Named("v")}), Marker(9)},
         .offsetBase = 0x80});
    PayloadAtTheEnd(opt, "v", FloatBytes({1, 2, 3, 4, 5, 6, 7, 8}));  // two and a bit entries
    Loaded loaded(opt.bytes);
    EXPECT_TRUE(loaded.result.ok());
    EXPECT_TRUE(loaded.result.damaged);
    ASSERT_EQ(loaded.mesh(0).vertices.size(), 2u);
    EXPECT_EQ(loaded.mesh(0).vertices[1].z, 6.0f);
    EXPECT_TRUE(loaded.mesh(1).vertices.empty());  // nothing is read after the failed read
}

TEST(OptTruncated, CutLargeModelKeepsTheStartOfEachListInOrder) {
    std::vector<NodeSpec> meshes;
    for (int m = 0; m < 7; ++m)
        meshes.push_back(LargeMesh(m, 1000));
    const BuiltOpt opt = BuildOpt({.nodes = meshes});
    Loaded whole(opt.bytes);
    for (size_t percent : {30, 55, 80, 99}) {
        const std::vector<uint8_t> cut = opt.Prefix(opt.bytes.size() * percent / 100);
        Loaded loaded(cut);
        EXPECT_TRUE(loaded.result.damaged) << percent;
        size_t faces = 0;
        for (size_t m = 0; m < loaded.model.meshes.size(); ++m) {
            const OptMesh& part = loaded.mesh(m);
            const OptMesh& all = whole.mesh(m);
            faces += part.faces.size();
            ASSERT_LE(part.faces.size(), all.faces.size());
            ASSERT_LE(part.vertices.size(), all.vertices.size());
            for (size_t f = 0; f < part.faces.size(); ++f) {
                ASSERT_EQ(part.faces[f].vertexIndex, all.faces[f].vertexIndex) << percent;
                ASSERT_EQ(part.faces[f].lod, all.faces[f].lod);
            }
            for (size_t v = 0; v < part.vertices.size(); ++v)
                ASSERT_EQ(part.vertices[v].z, all.vertices[v].z) << percent;
        }
        EXPECT_GT(faces, 0u) << percent;
    }
}

TEST(OptHostile, CountsAreNotBelievedBeyondTheBytesLeft) {
    BuiltOpt opt =
        BuildOpt({.nodes = {Group({Vertices({{0, 0, 0}}).WithPayloadCount(kMaxInt).Named("v"),
                                   TexCoords({{1, 1}}).WithPayloadCount(kMaxInt),
                                   Faces({Tri(0, 1, 2)}).WithPayloadCount(kMaxInt)})}});
    PayloadAtTheEnd(opt, "v", FloatBytes({1, 2, 3, 4, 5, 6}));
    Loaded loaded(opt.bytes);
    EXPECT_TRUE(loaded.result.damaged);
    EXPECT_EQ(loaded.mesh().vertices.size(), 2u);
    EXPECT_LE(loaded.mesh().vertices.capacity(), opt.bytes.size() / 12 + 1);
    EXPECT_TRUE(loaded.mesh().texCoords.empty());
    EXPECT_TRUE(loaded.mesh().faces.empty());
}

TEST(OptHostile, HugeNodeAndChildCountsAreBoundedByTheFile) {
    const BuiltOpt opt = BuildOpt(
        {.nodes = {Group({Marker(1), Marker(2)}).WithChildCount(kMaxInt)}, .nodeCount = kMaxInt});
    Loaded loaded(opt.bytes);
    EXPECT_TRUE(loaded.result.ok());
    EXPECT_TRUE(loaded.result.damaged);
    EXPECT_EQ(loaded.model.nodes.size(), loaded.model.meshes.size());
    EXPECT_LE(loaded.model.nodes.size(), opt.bytes.size() / 4);
    EXPECT_LE(loaded.model.nodes.capacity(), opt.bytes.size() / 4);
    EXPECT_LE(loaded.model.nodes[0].children.size(), opt.bytes.size() / 4);
}

TEST(OptHostile, ExtremeOffsetsDoNotOverflow) {
    for (int32_t base : {std::numeric_limits<int32_t>::min(), kMaxInt}) {
        BuiltOpt opt = BuildOpt({.nodes = {Group({Marker(1), RawEntry(base)})}});
        opt.Patch(8, base);
        Loaded withBase(opt.bytes);
        EXPECT_TRUE(withBase.result.damaged);
    }
    const BuiltOpt opt =
        BuildOpt({.nodes = {Group({RawEntry(std::numeric_limits<int32_t>::min()), RawEntry(kMaxInt),
                                   Vertices({{1, 1, 1}}).WithPayloadStored(kMaxInt)})},
                  .offsetBase = -0x7FFFFFF0});
    Loaded loaded(opt.bytes);
    EXPECT_TRUE(loaded.result.damaged);
}

TEST(OptCycles, ChildListingItsOwnAncestorIsAnEmptySlot) {
    const BuiltOpt opt = BuildOpt({.nodes = {Group({Group({LinkTo("top"), Vertices({{1, 0, 0}})}),
                                                    LinkTo("top"), Vertices({{2, 0, 0}})})
                                                 .Named("top")}});
    Loaded loaded(opt.bytes);
    EXPECT_TRUE(loaded.result.ok());
    EXPECT_TRUE(loaded.result.damaged);
    const OptNode& top = loaded.model.nodes[0];
    ASSERT_EQ(top.children.size(), 3u);
    const OptNode& inner = top.children[0].children[0];
    EXPECT_EQ(inner.type, -1);
    EXPECT_EQ(inner.fileOffset, 0);
    EXPECT_TRUE(inner.children.empty());
    EXPECT_EQ(top.children[1].type, -1);
    ASSERT_EQ(loaded.mesh().vertices.size(), 2u);  // the rest of the tree is read
    EXPECT_EQ(loaded.mesh().vertices[0].x, 1.0f);
    EXPECT_EQ(loaded.mesh().vertices[1].x, 2.0f);
}

TEST(OptCycles, NodeListingItselfIsAnEmptySlot) {
    const BuiltOpt opt = BuildOpt({.nodes = {Group({LinkTo("self")}).Named("self")}});
    Loaded loaded(opt.bytes);
    EXPECT_TRUE(loaded.result.damaged);
    EXPECT_EQ(loaded.model.nodes[0].children.at(0).type, -1);
}

TEST(OptCycles, SharedNodeThatIsNoAncestorIsReadEachTime) {
    const BuiltOpt opt = BuildOpt({.nodes = {Group({LinkTo("shared"), Group({LinkTo("shared")})}),
                                             Vertices({{5, 0, 0}}).Named("shared")}});
    Loaded loaded(opt.bytes);
    EXPECT_FALSE(loaded.result.damaged);
    EXPECT_EQ(loaded.mesh(0).vertices.size(), 2u);
    EXPECT_EQ(loaded.mesh(1).vertices.size(), 1u);
}

// A chain of groups with a vertex node `depth` levels below the top-level group.
NodeSpec Chain(int depth) {
    NodeSpec node = Vertices({{1, 2, 3}});
    for (int level = 0; level < depth; ++level)
        node = Group({node});
    return node;
}

const OptNode& Deepest(const OptNode& top) {
    const OptNode* node = &top;
    while (!node->children.empty())
        node = &node->children[0];
    return *node;
}

TEST(OptDepth, NodesDownToTheDepthLimitAreRead) {
    Loaded loaded(BuildOpt({.nodes = {Chain(kMaxNodeDepth)}}).bytes);
    EXPECT_FALSE(loaded.result.damaged);
    EXPECT_EQ(loaded.mesh().vertices.size(), 1u);
    EXPECT_EQ(Deepest(loaded.model.nodes[0]).type, 3);
}

TEST(OptDepth, NodeBelowTheDepthLimitIsAnEmptySlot) {
    Loaded loaded(BuildOpt({.nodes = {Chain(kMaxNodeDepth + 1), Marker(4)}}).bytes);
    EXPECT_TRUE(loaded.result.ok());
    EXPECT_TRUE(loaded.result.damaged);
    EXPECT_TRUE(loaded.mesh(0).vertices.empty());
    EXPECT_EQ(Deepest(loaded.model.nodes[0]).type, -1);
    EXPECT_EQ(Deepest(loaded.model.nodes[0]).fileOffset, 0);
    EXPECT_EQ(loaded.mesh(1).vertices.size(), 1u);
}

size_t CountNodes(const OptNode& node) {
    size_t count = 1;
    for (const OptNode& child : node.children)
        count += CountNodes(child);
    return count;
}

TEST(OptBudget, SharedBigNodeCannotMultiplyTheWork) {
    std::vector<Vec3> points(1000, Vec3{1, 2, 3});
    std::vector<NodeSpec> links(5000, LinkTo("big"));
    const BuiltOpt opt = BuildOpt({.nodes = {Vertices(points).Named("big"), Group(links)}});
    Loaded loaded(opt.bytes);
    EXPECT_TRUE(loaded.result.ok());
    EXPECT_TRUE(loaded.result.damaged);
    EXPECT_EQ(loaded.mesh(0).vertices.size(), 1000u);
    EXPECT_GT(loaded.mesh(1).vertices.size(), 1000u);
    EXPECT_LE(loaded.mesh(1).vertices.size() * 12, ReadBudget(opt.bytes.size()));
}

TEST(OptBudget, SharedGroupsCannotGrowTheTreeExponentially) {
    // Each level lists the next twice: 2^40 paths through 40 small nodes.
    std::vector<NodeSpec> nodes;
    for (int level = 0; level < 40; ++level) {
        const std::string next = std::string("g") + std::to_string(level + 1);
        nodes.push_back(
            Group({LinkTo(next), LinkTo(next)}).Named(std::string("g") + std::to_string(level)));
    }
    nodes.push_back(Vertices({{1, 1, 1}}).Named("g40"));
    const BuiltOpt opt = BuildOpt({.nodes = nodes});
    Loaded loaded(opt.bytes);
    EXPECT_TRUE(loaded.result.damaged);
    size_t total = 0;
    for (const OptNode& node : loaded.model.nodes)
        total += CountNodes(node);
    EXPECT_LE(total, ReadBudget(opt.bytes.size()) / 4 + loaded.model.nodes.size());
}

TEST(OptBudget, SharedWideTableCannotMultiplyTheNodes) {
    std::vector<NodeSpec> slots(3000, EmptySlot());
    std::vector<NodeSpec> links(100, LinkTo("wide"));
    const BuiltOpt opt = BuildOpt({.nodes = {Group(slots).Named("wide"), Group(links)}});
    Loaded loaded(opt.bytes);
    EXPECT_TRUE(loaded.result.damaged);
    EXPECT_EQ(loaded.model.nodes[0].children.size(), 3000u);
    size_t total = 0;
    for (const OptNode& node : loaded.model.nodes)
        total += CountNodes(node);
    EXPECT_LE(total, NodeBudget(opt.bytes.size()));
}

NodeSpec FacesAtLevel(int lod) {
    std::vector<NodeSpec> levels(lod, EmptySlot());
    levels.push_back(Group({Faces({Tri(0, 1, 2)})}));
    return FaceGroup(levels);
}

TEST(OptBudget, LodCountStaysWithinItsBudget) {
    {
        Loaded loaded(BuildOpt({.nodes = {Group({FacesAtLevel(3000)})}}).bytes);
        EXPECT_FALSE(loaded.result.damaged);
        EXPECT_EQ(loaded.model.lodCount, 3001);
    }
    {
        // 5001 levels of one mesh, or 3001 levels of two, ask for too many LOD meshes.
        Loaded one(BuildOpt({.nodes = {Group({FacesAtLevel(5000)})}}).bytes);
        EXPECT_TRUE(one.result.damaged);
        EXPECT_EQ(one.model.lodCount, 1);
        EXPECT_EQ(one.mesh().faces.at(0).lod, 5000);
        Loaded two(BuildOpt({.nodes = {Group({FacesAtLevel(3000)}), Group()}}).bytes);
        EXPECT_TRUE(two.result.damaged);
        EXPECT_EQ(two.model.lodCount, 1);
    }
}

TEST(OptSound, TopLevelFaceNodeIsLevelZeroAndUntextured) {
    Loaded loaded(BuildOpt({.nodes = {PlainTexture(1, 1), Faces({Tri(0, 1, 2)})}}).bytes);
    EXPECT_FALSE(loaded.result.damaged);
    ASSERT_EQ(loaded.mesh(1).faces.size(), 1u);
    EXPECT_EQ(loaded.mesh(1).faces[0].lod, 0);
    EXPECT_EQ(loaded.mesh(1).faces[0].textureIndex, -1);
    EXPECT_EQ(loaded.model.lodCount, 1);
}

TEST(OptSound, EmptyChildTableIsNotVisited) {
    // With a positive base the empty tables' offset 0 is a negative position.
    const BuiltOpt opt = BuildOpt(
        {.nodes = {Group({Group(), FaceGroup(), Switch(), Vertices({{1, 0, 0}})}), Marker(2)},
         .offsetBase = 0x00ED0000});
    Loaded loaded(opt.bytes);
    EXPECT_FALSE(loaded.result.damaged);
    EXPECT_EQ(loaded.mesh(0).vertices.size(), 1u);
    EXPECT_EQ(loaded.mesh(1).vertices.size(), 1u);
}

TEST(OptSound, NegativeChildCountMeansNoChildren) {
    const BuiltOpt opt =
        BuildOpt({.nodes = {Group({Vertices({{1, 0, 0}})}).WithChildCount(-1), Marker(2)}});
    Loaded loaded(opt.bytes);
    EXPECT_FALSE(loaded.result.damaged);
    EXPECT_TRUE(loaded.model.nodes[0].children.empty());
    EXPECT_EQ(loaded.mesh(1).vertices.size(), 1u);
}

TEST(OptSound, TextureBeyondTheFileIsNotAdded) {
    const BuiltOpt opt = BuildOpt(
        {.nodes = {Group({PlainTexture(1, 1).WithPayloadStored(1 << 30), Faces({Tri(0, 1, 2)})})}});
    Loaded loaded(opt.bytes);
    EXPECT_TRUE(loaded.result.damaged);
    EXPECT_TRUE(loaded.model.textures.empty());
    EXPECT_EQ(loaded.model.nodes[0].children[0].textureIndex, -1);
}

TextureSpec Texture2x2() {
    TextureSpec texture;
    texture.width = 2;
    texture.height = 2;
    texture.pixels = {1, 2, 3, 4};
    texture.AllPalettes(std::vector<uint16_t>(256, 0xFFFF));
    return texture;
}

TEST(OptPixels, ByteCountOfFourPerPixelMakesATrueColourTexture) {
    TextureSpec texture = Texture2x2();
    texture.pixels.clear();
    for (uint8_t i = 0; i < 20; ++i)
        texture.pixels.push_back(i);  // a 2x2 image and a mip-map
    texture.dataSize = 4;
    Loaded loaded(BuildOpt({.nodes = {TextureNode(texture)}}).bytes);
    const Texture& read = loaded.model.textures.at(0);
    EXPECT_FALSE(loaded.result.damaged);
    EXPECT_EQ(read.bytesPerPixel, 4);
    EXPECT_EQ(read.dataSize, 16);
    EXPECT_EQ(read.pixels,
              std::vector<uint8_t>(texture.pixels.begin(), texture.pixels.begin() + 16));
    EXPECT_EQ(read.palette[0], 248);  // the palette is read as for any texture
}

TEST(OptPixels, DataSizeZeroStillReadsTheTopImage) {
    TextureSpec texture = Texture2x2();
    texture.dataSize = 0;
    Loaded loaded(BuildOpt({.nodes = {TextureNode(texture)}}).bytes);
    const Texture& read = loaded.model.textures.at(0);
    EXPECT_FALSE(loaded.result.damaged);
    EXPECT_EQ(read.bytesPerPixel, 1);
    EXPECT_EQ(read.dataSize, 4);
    EXPECT_EQ(read.pixels, (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST(OptPixels, CutPixelsKeepWhatWasThereAndTheRestIsRead) {
    BuiltOpt opt =
        BuildOpt({.nodes = {TextureNode(Texture2x2()).Named("t"), TextureNode(Texture2x2())}});
    opt.Patch(opt.PayloadAt("t") + 8, kMaxInt);
    Loaded loaded(opt.bytes);
    EXPECT_TRUE(loaded.result.ok());
    EXPECT_TRUE(loaded.result.damaged);
    ASSERT_EQ(loaded.model.textures.size(), 2u);
    const Texture& cut = loaded.model.textures[0];
    EXPECT_EQ(cut.pixels.size(), opt.bytes.size() - cut.dataPosition);
    EXPECT_EQ(cut.pixels[0], 1);
    EXPECT_EQ(loaded.model.textures[1].pixels, (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(loaded.model.textures[1].palette[0], 248);
}

TEST(OptPixels, UnusableSizesReadNoPixels) {
    const std::pair<int32_t, int32_t> sizes[] = {{-2, 2}, {2, -2}, {65536, 65536}, {kMaxInt, 2}};
    for (const auto& [width, height] : sizes) {
        TextureSpec texture = Texture2x2();
        texture.width = width;
        texture.height = height;
        Loaded loaded(BuildOpt({.nodes = {TextureNode(texture), TextureNode(Texture2x2())}}).bytes);
        EXPECT_TRUE(loaded.result.damaged) << width << "x" << height;
        ASSERT_EQ(loaded.model.textures.size(), 2u);
        EXPECT_TRUE(loaded.model.textures[0].pixels.empty());
        EXPECT_EQ(loaded.model.textures[0].dataSize, 0);
        EXPECT_EQ(loaded.model.textures[0].palette[0], 248);
        EXPECT_EQ(loaded.model.textures[1].pixels.size(), 4u);
    }
}

TEST(OptPixels, EmptyImageIsNoDamage) {
    Loaded loaded(BuildOpt({.nodes = {PlainTexture(0, 0)}}).bytes);
    EXPECT_FALSE(loaded.result.damaged);
    EXPECT_TRUE(loaded.model.textures.at(0).pixels.empty());
}

}  // namespace
}  // namespace kesh

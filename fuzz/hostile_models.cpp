#include "hostile_models.h"

#include <limits>
#include <stdexcept>
#include <utility>

#include "support/opt_builder.h"

namespace kesh::test {

namespace {

constexpr int32_t kMaxInt = std::numeric_limits<int32_t>::max();
constexpr int32_t kMinInt = std::numeric_limits<int32_t>::min();

const std::vector<Vec3> kTriangle = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};

std::vector<uint8_t> Build(std::vector<NodeSpec> nodes) {
    OptSpec layout;
    layout.nodes = std::move(nodes);
    layout.offsetBase = 0x1000;
    return BuildOpt(layout).bytes;
}

// `count` vertices, to fill a file up to the size a case needs.
NodeSpec Filler(size_t count) {
    return Vertices(std::vector<Vec3>(count, Vec3{1, 2, 3}));
}

// A group around `child`, moved in (a braced list would copy the whole subtree).
NodeSpec Around(NodeSpec child) {
    std::vector<NodeSpec> children;
    children.push_back(std::move(child));
    return Group(std::move(children));
}

std::vector<NodeSpec> Links(size_t count, const std::string& label) {
    return std::vector<NodeSpec>(count, LinkTo(label));
}

// Counts of 2^31 - 1 everywhere: top-level nodes, children, vertices, faces.
std::vector<uint8_t> HugeCounts() {
    OptSpec layout;
    layout.nodeCount = kMaxInt;
    layout.nodes = {Group({
        Filler(80000).WithPayloadCount(kMaxInt),
        FaceGroup(
            {Group({Faces({Tri(0, 1, 2)}).WithPayloadCount(kMaxInt)}).WithChildCount(kMaxInt)}),
        TexCoords({{0, 0}}).WithPayloadCount(kMaxInt),
    })};
    return BuildOpt(layout).bytes;
}

// 13000 faces with indices far outside every list, behind a face count of 2^31 - 1.
std::vector<uint8_t> WildFaceIndices() {
    std::vector<FaceSpec> faces;
    for (int32_t i = 0; i < 13000; ++i) {
        faces.push_back(
            Quad(kMaxInt - i, kMinInt + i, i * 7919, -2 - i, {kMinInt + i, kMaxInt - i, i, -5}));
    }
    return Build({Group({Vertices(kTriangle), TexCoords({{0.5f, 0.5f}}),
                         FaceGroup({Group({Faces(faces).WithPayloadCount(kMaxInt)})})})});
}

// Groups nested 500 deep (far below the reader's depth limit), faces at the bottom.
std::vector<uint8_t> DeepChain() {
    NodeSpec node = Faces({Tri(0, 1, 2)});
    for (int i = 0; i < 500; ++i)
        node = Around(std::move(node));
    return Build({Group({Vertices(kTriangle), std::move(node)})});
}

// A group whose 100000 children all name the group itself, and a pair that names each other.
std::vector<uint8_t> Cycles() {
    NodeSpec self = Group(Links(100000, "self")).Named("self");
    NodeSpec pair = Group({Group({LinkTo("a")}).Named("b")}).Named("a");
    return Build({Group({Vertices(kTriangle), std::move(self)}), std::move(pair)});
}

// One face node of 1000 faces, listed 200000 times by one face group.
std::vector<uint8_t> SharedFaceNode() {
    std::vector<NodeSpec> children = Links(200000, "faces");
    children.push_back(Group({Faces(std::vector<FaceSpec>(1000, Tri(0, 1, 2))).Named("faces")}));
    return Build({Group({Vertices(kTriangle), FaceGroup({Group(std::move(children))})})});
}

// 60 levels, each listing the level below twice: 2^60 paths to the faces at the bottom.
std::vector<uint8_t> DoublingDag() {
    NodeSpec node = Group({Faces({Tri(0, 1, 2)})}).Named("level60");
    for (int level = 59; level >= 0; --level) {
        const std::string below = "level" + std::to_string(level + 1);
        node = Around(std::move(node));
        node.children.push_back(LinkTo(below));
        node.Named("level" + std::to_string(level));
    }
    return Build({Group({Vertices(kTriangle), std::move(node)})});
}

// 40 levels, each listing the level below 1000 times (10^120 paths), each claiming 2^31 - 1
// children.
std::vector<uint8_t> QuadrillionsOfChildren() {
    NodeSpec node = Group({Faces({Tri(0, 1, 2)})}).Named("level40");
    for (int level = 39; level >= 0; --level) {
        const std::string below = "level" + std::to_string(level + 1);
        std::vector<NodeSpec> children = Links(999, below);
        children.insert(children.begin(), std::move(node));
        node = Group(std::move(children)).Named("level" + std::to_string(level));
    }
    node.WithChildCount(kMaxInt);
    return Build({Group({Vertices(kTriangle), std::move(node)})});
}

// A face group with `levels` entries, all empty but the last, which holds a triangle: its
// faces are at LOD levels - 1. `filler` vertices make up the file size.
std::vector<uint8_t> FarLod(size_t levels, size_t filler) {
    std::vector<NodeSpec> children(levels - 1, EmptySlot());
    children.push_back(Group({Faces({Tri(0, 1, 2)})}));
    return Build({Group({Vertices(kTriangle), Filler(filler), FaceGroup(std::move(children))})});
}

// 250000 top-level entries that all name one mesh.
std::vector<uint8_t> ManyTopLevelEntries() {
    std::vector<NodeSpec> nodes = Links(250000, "mesh");
    nodes.push_back(Group({Vertices(kTriangle), TexCoords({{0, 0}}),
                           FaceGroup({Group({Faces({Tri(0, 1, 2), Tri(2, 1, 0)})})})})
                        .Named("mesh"));
    return Build(std::move(nodes));
}

// 250000 empty top-level slots: each would be an empty mesh.
std::vector<uint8_t> EmptyTopLevel() {
    std::vector<NodeSpec> nodes(250000, EmptySlot());
    nodes.push_back(Group({Vertices(kTriangle), FaceGroup({Group({Faces({Tri(0, 1, 2)})})})}));
    return Build(std::move(nodes));
}

// One texture of 4096 x 4096 that holds 3 pixels, listed 60000 times before the faces.
std::vector<uint8_t> SharedHugeTexture() {
    TextureSpec texture;
    texture.width = 4096;
    texture.height = 4096;
    texture.pixels = {1, 2, 3};
    texture.paletteCount = 8;
    std::vector<NodeSpec> children;
    children.push_back(TextureNode(texture).Named("texture"));
    for (size_t i = 0; i < 60000; ++i)
        children.push_back(LinkTo("texture"));
    children.push_back(Faces({Tri(0, 1, 2)}));
    // The filler raises the node budget (which grows with the file) above the links.
    return Build(
        {Group({Vertices(kTriangle), Filler(60000), FaceGroup({Group(std::move(children))})})});
}

// Sizes no image has: negative, overflowing, and byte counts of 2^31 - 1.
std::vector<uint8_t> ImpossibleTextureSizes() {
    std::vector<NodeSpec> children;
    const std::vector<std::pair<int32_t, int32_t>> sizes = {
        {-1, 64},       {kMinInt, kMinInt}, {65536, 65536}, {kMaxInt, 2},
        {46341, 46341}, {0, kMaxInt},       {4096, 4096},   {1 << 24, 1}};
    for (const auto& [width, height] : sizes) {
        TextureSpec texture;
        texture.width = width;
        texture.height = height;
        texture.pixels = {7, 7, 7, 7};
        texture.dataSize = kMaxInt;
        texture.pixelBytes = width == 4096 ? kMaxInt : 4;
        children.push_back(TextureNode(texture));
        children.push_back(Faces({Tri(0, 1, 2)}));
    }
    return Build({Group({Vertices(kTriangle), FaceGroup({Group(std::move(children))})})});
}

}  // namespace

namespace {

struct Maker {
    const char* name;
    std::vector<uint8_t> (*make)();
    bool damaged;
};

std::vector<uint8_t> LodBeyondBudget() {
    return FarLod(240000, 0);
}
std::vector<uint8_t> LodWithinBudget() {
    return FarLod(50000, 65000);
}

constexpr Maker kMakers[] = {
    {"huge_counts", HugeCounts, true},
    {"wild_face_indices", WildFaceIndices, true},
    {"deep_chain", DeepChain, true},
    {"cycles", Cycles, true},
    {"shared_face_node", SharedFaceNode, true},
    {"doubling_dag", DoublingDag, true},
    {"quadrillions_of_children", QuadrillionsOfChildren, true},
    {"lod_beyond_budget", LodBeyondBudget, true},
    {"lod_within_budget", LodWithinBudget, false},
    {"many_top_level_entries", ManyTopLevelEntries, true},
    {"empty_top_level", EmptyTopLevel, true},
    {"shared_huge_texture", SharedHugeTexture, true},
    {"impossible_texture_sizes", ImpossibleTextureSizes, true},
};

}  // namespace

std::vector<std::string> HostileCaseNames() {
    std::vector<std::string> names;
    for (const Maker& maker : kMakers)
        names.push_back(maker.name);
    return names;
}

HostileCase MakeHostileCase(const std::string& name) {
    for (const Maker& maker : kMakers) {
        if (name == maker.name) return {maker.name, maker.make(), maker.damaged};
    }
    throw std::invalid_argument("no hostile case named " + name);
}

std::vector<HostileCase> HostileCases() {
    std::vector<HostileCase> cases;
    for (const Maker& maker : kMakers)
        cases.push_back({maker.name, maker.make(), maker.damaged});
    return cases;
}

}  // namespace kesh::test

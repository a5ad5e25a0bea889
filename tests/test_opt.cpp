// The OPT reader on well-formed files: the node tree, the geometry of each mesh, the texture
// choice of face nodes, levels of detail, texture records with palette and pixels.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "core/model.h"
#include "support/opt_builder.h"
#include "support/scratch_dir.h"
#include "support/test_models.h"
#include "test_opt_support.h"

namespace kesh {
namespace {

using namespace test;

// A mesh with one vertex, so that its presence is visible.
NodeSpec Marker(float x) {
    return Group({Vertices({{x, 0, 0}})});
}

TEST(OptHeader, OffsetBaseIsTheValueAtEightMinusEight) {
    const BuiltOpt opt = BuildOpt({.nodes = {Marker(1)}, .offsetBase = 0x00ED0000});
    Loaded loaded(opt.bytes);
    EXPECT_TRUE(loaded.result.ok());
    EXPECT_FALSE(loaded.result.damaged);
    EXPECT_EQ(loaded.model.offsetBase, 0x00ED0000);
    ASSERT_EQ(loaded.mesh().vertices.size(), 1u);
    EXPECT_EQ(loaded.mesh().vertices[0].x, 1.0f);
    EXPECT_EQ(loaded.model.nodes[0].fileOffset, 26);  // after the one-entry table at 22
}

TEST(OptHeader, NegativeOffsetBaseWorksAsWell) {
    const BuiltOpt opt = BuildOpt({.nodes = {Marker(2)}, .offsetBase = -5000});
    Loaded loaded(opt.bytes);
    EXPECT_EQ(loaded.model.offsetBase, -5000);
    ASSERT_EQ(loaded.mesh().vertices.size(), 1u);
    EXPECT_EQ(loaded.mesh().vertices[0].x, 2.0f);
}

TEST(OptTree, NodesCarryPositionsParentsAndIndices) {
    const BuiltOpt opt = BuildOpt({.nodes = {Marker(0), Group({
                                                                  Vertices({{1, 2, 3}}).Named("v"),
                                                                  Group({}).Named("g"),
                                                              })
                                                            .Named("top")}});
    Loaded loaded(opt.bytes);
    const OptModel& model = loaded.model;
    ASSERT_EQ(model.nodes.size(), 2u);
    ASSERT_EQ(model.meshes.size(), 2u);
    const OptNode& top = model.nodes[1];
    EXPECT_EQ(top.fileOffset, opt.At("top"));
    EXPECT_EQ(top.type, 0);
    EXPECT_EQ(top.parent, nullptr);
    EXPECT_EQ(top.model, &model);
    EXPECT_EQ(top.meshIndex, 1);
    EXPECT_EQ(top.siblingIndex, 1);
    ASSERT_EQ(top.children.size(), 2u);
    for (int j = 0; j < 2; ++j) {
        const OptNode& child = top.children[j];
        EXPECT_EQ(child.parent, &top);
        EXPECT_EQ(child.model, &model);
        EXPECT_EQ(child.meshIndex, 1);
        EXPECT_EQ(child.siblingIndex, j);
        EXPECT_EQ(child.textureIndex, -1);
    }
    EXPECT_EQ(top.children[0].fileOffset, opt.At("v"));
    EXPECT_EQ(top.children[0].type, 3);
    EXPECT_EQ(top.children[1].fileOffset, opt.At("g"));
    ASSERT_EQ(loaded.mesh(1).vertices.size(), 1u);
    EXPECT_EQ(loaded.mesh(1).vertices[0].z, 3.0f);
}

TEST(OptTree, EmptyTopLevelSlotKeepsTheIndicesOfTheOthers) {
    for (int32_t base : {0, 0x1000}) {
        const BuiltOpt opt =
            BuildOpt({.nodes = {Marker(1), EmptySlot(), Marker(3)}, .offsetBase = base});
        Loaded loaded(opt.bytes);
        ASSERT_EQ(loaded.model.nodes.size(), 3u);
        ASSERT_EQ(loaded.model.meshes.size(), 3u);
        EXPECT_EQ(loaded.model.nodes[1].type, -1);
        EXPECT_EQ(loaded.model.nodes[1].fileOffset, 0);
        EXPECT_TRUE(loaded.model.nodes[1].children.empty());
        EXPECT_TRUE(loaded.mesh(1).vertices.empty());
        EXPECT_EQ(loaded.model.nodes[2].meshIndex, 2);
        ASSERT_EQ(loaded.mesh(2).vertices.size(), 1u);
        EXPECT_EQ(loaded.mesh(2).vertices[0].x, 3.0f);
        EXPECT_FALSE(loaded.result.damaged);
    }
}

TEST(OptTree, UnknownTypeKeepsNoChildrenEvenWhenItListsSome) {
    const BuiltOpt opt = BuildOpt({.nodes = {Group({NodeOfType(22, {Vertices({{1, 1, 1}})}),
                                                    NodeOfType(99, {Vertices({{2, 2, 2}})})})}});
    Loaded loaded(opt.bytes);
    const OptNode& top = loaded.model.nodes[0];
    ASSERT_EQ(top.children.size(), 2u);
    EXPECT_EQ(top.children[0].type, 22);
    EXPECT_TRUE(top.children[0].children.empty());
    EXPECT_EQ(top.children[1].type, 99);
    EXPECT_TRUE(top.children[1].children.empty());
    EXPECT_TRUE(loaded.mesh().vertices.empty());
}

TEST(OptTree, NegativeTypesAreGroups) {
    const BuiltOpt opt = BuildOpt({.nodes = {NodeOfType(-3, {Vertices({{1, 1, 1}})})}});
    Loaded loaded(opt.bytes);
    EXPECT_EQ(loaded.model.nodes[0].type, -3);
    EXPECT_EQ(loaded.mesh().vertices.size(), 1u);
}

TEST(OptTree, ChildrenAreReadInDepthFirstOrder) {
    // Textures are numbered in reading order, which shows the walk's order.
    const BuiltOpt opt = BuildOpt(
        {.nodes = {
             Group({Group({PlainTexture(1, 1, 0), PlainTexture(1, 1, 1)}), PlainTexture(1, 1, 2)}),
             PlainTexture(1, 1, 3),
         }});
    Loaded loaded(opt.bytes);
    ASSERT_EQ(loaded.model.textures.size(), 4u);
    for (uint8_t i = 0; i < 4; ++i) {
        ASSERT_EQ(loaded.model.textures[i].pixels.size(), 1u);
        EXPECT_EQ(loaded.model.textures[i].pixels[0], i);
    }
    EXPECT_EQ(loaded.model.nodes[1].textureIndex, 3);
}

TEST(OptGeometry, VerticesTexCoordsAndFacesAreReadExactly) {
    const BuiltOpt opt =
        BuildOpt({.nodes = {Group({
                      Vertices({{1.5f, -2.25f, 3e-7f}, {4, 5, 6}}),
                      VertexNormals({{0, 0, 1}}),
                      TexCoords({{0.25f, 0.75f}}),
                      Faces({Tri(0, 1, 2, {3, 4, 5}), Quad(7, 8, 9, 10, {1, 2, 3, 4})}),
                  })}});
    Loaded loaded(opt.bytes);
    const OptMesh& mesh = loaded.mesh();
    ASSERT_EQ(mesh.vertices.size(), 2u);  // the vertex normals are not kept
    EXPECT_EQ(mesh.vertices[0].x, 1.5f);
    EXPECT_EQ(mesh.vertices[0].y, -2.25f);
    EXPECT_EQ(mesh.vertices[0].z, 3e-7f);
    EXPECT_EQ(mesh.vertices[1].z, 6.0f);
    ASSERT_EQ(mesh.texCoords.size(), 1u);
    EXPECT_EQ(mesh.texCoords[0].u, 0.25f);
    EXPECT_EQ(mesh.texCoords[0].v, 0.75f);
    EXPECT_TRUE(mesh.normals.empty());
    ASSERT_EQ(mesh.faces.size(), 2u);
    const OptFace& tri = mesh.faces[0];
    EXPECT_EQ(tri.vertexIndex, (std::array<int32_t, 4>{0, 1, 2, -1}));
    EXPECT_EQ(tri.texCoordIndex, (std::array<int32_t, 4>{3, 4, 5, 0}));
    EXPECT_EQ(tri.vertexCount, 3);
    EXPECT_EQ(tri.normal.x, 0.0f);
    EXPECT_EQ(tri.normal.y, 0.0f);
    EXPECT_EQ(tri.normal.z, 0.0f);
    const OptFace& quad = mesh.faces[1];
    EXPECT_EQ(quad.vertexIndex, (std::array<int32_t, 4>{7, 8, 9, 10}));
    EXPECT_EQ(quad.texCoordIndex, (std::array<int32_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(quad.vertexCount, 4);
}

TEST(OptGeometry, SecondFaceNodeAppendsAfterTheFirst) {
    const BuiltOpt opt =
        BuildOpt({.nodes = {Group({Faces({Tri(0, 1, 2)}), Faces({Tri(3, 4, 5), Tri(6, 7, 8)})})}});
    Loaded loaded(opt.bytes);
    ASSERT_EQ(loaded.mesh().faces.size(), 3u);
    EXPECT_EQ(loaded.mesh().faces[0].vertexIndex[0], 0);
    EXPECT_EQ(loaded.mesh().faces[1].vertexIndex[0], 3);
    EXPECT_EQ(loaded.mesh().faces[2].vertexIndex[0], 6);
}

TEST(OptGeometry, ALargeModelFillsEachMeshInTheOrderOfItsLists) {
    constexpr int kMeshes = 7;
    constexpr int kFacesPerLevel = 1000;  // 7 x 3000 faces of 64 bytes: over a megabyte
    std::vector<NodeSpec> meshes;
    for (int m = 0; m < kMeshes; ++m)
        meshes.push_back(LargeMesh(m, kFacesPerLevel));
    const BuiltOpt opt = BuildOpt({.nodes = meshes});
    Loaded loaded(opt.bytes);
    ASSERT_TRUE(loaded.result.ok());
    EXPECT_FALSE(loaded.result.damaged);
    EXPECT_EQ(loaded.model.lodCount, 3);
    ASSERT_EQ(loaded.model.meshes.size(), static_cast<size_t>(kMeshes));
    for (int m = 0; m < kMeshes; ++m) {
        const OptMesh& mesh = loaded.mesh(static_cast<size_t>(m));
        ASSERT_EQ(mesh.vertices.size(), 1000u);
        for (size_t i = 0; i < 1000; ++i) {
            ASSERT_EQ(mesh.vertices[i].x, static_cast<float>(m));
            ASSERT_EQ(mesh.vertices[i].y, static_cast<float>(i / 500));
            ASSERT_EQ(mesh.vertices[i].z, static_cast<float>(i % 500));
        }
        ASSERT_EQ(mesh.texCoords.size(), 300u);
        EXPECT_EQ(mesh.texCoords[299].u, static_cast<float>(m));
        EXPECT_EQ(mesh.texCoords[299].v, 299.0f);
        ASSERT_EQ(mesh.faces.size(), 3u * kFacesPerLevel);
        for (size_t f = 0; f < mesh.faces.size(); ++f) {
            const OptFace& face = mesh.faces[f];
            const int lod = static_cast<int>(f / kFacesPerLevel);
            const int i = static_cast<int>(f % kFacesPerLevel);
            ASSERT_EQ(face.vertexIndex[0], (m * 3 + lod) * 100000 + i) << m << " " << f;
            ASSERT_EQ(face.texCoordIndex[2], i);
            ASSERT_EQ(face.vertexCount, i % 2 == 0 ? 3 : 4);
            ASSERT_EQ(face.lod, lod);
            // Only the even meshes' first texture exists: the reference names none.
            ASSERT_EQ(face.textureIndex, m % 2 == 0 ? m / 2 * 3 + lod : -1) << m << " " << f;
        }
    }
}

TEST(OptGeometry, GeometryGoesToTheMeshOfTheTopLevelNode) {
    const BuiltOpt opt =
        BuildOpt({.nodes = {Marker(1), Group({FaceGroup({Group({Vertices({{7, 0, 0}})})})})}});
    Loaded loaded(opt.bytes);
    EXPECT_EQ(loaded.mesh(0).vertices.size(), 1u);
    ASSERT_EQ(loaded.mesh(1).vertices.size(), 1u);
    EXPECT_EQ(loaded.mesh(1).vertices[0].x, 7.0f);
}

TEST(OptLod, FacesTakeTheSiblingIndexOfTheirParent) {
    const BuiltOpt opt = BuildOpt({.nodes = {Group({FaceGroup({
                                       Group({Faces({Tri(0, 1, 2)})}),
                                       Group({}),
                                       Group({Faces({Tri(0, 1, 2)})}),
                                   })})}});
    Loaded loaded(opt.bytes);
    ASSERT_EQ(loaded.mesh().faces.size(), 2u);
    EXPECT_EQ(loaded.mesh().faces[0].lod, 0);
    EXPECT_EQ(loaded.mesh().faces[1].lod, 2);
    EXPECT_EQ(loaded.model.lodCount, 3);
}

TEST(OptLod, LodCountIsNeverLowered) {
    const BuiltOpt opt = BuildOpt({.nodes = {Group({Faces({Tri(0, 1, 2)})})}});
    Loaded loaded(opt.bytes);
    EXPECT_EQ(loaded.mesh().faces[0].lod, 0);  // the top-level node is sibling 0
    EXPECT_EQ(loaded.model.lodCount, 1);
}

TEST(OptFaceTexture, TakesTheTextureOfThePreviousSibling) {
    const BuiltOpt opt = BuildOpt({.nodes = {Group({
                                       PlainTexture(2, 2),
                                       Faces({Tri(0, 1, 2)}),
                                       Faces({Tri(0, 1, 2)}),  // after a face node: untextured
                                       TextureRef("Tex00000"),
                                       Faces({Tri(0, 1, 2)}),
                                   })}});
    Loaded loaded(opt.bytes);
    ASSERT_EQ(loaded.mesh().faces.size(), 3u);
    EXPECT_EQ(loaded.mesh().faces[0].textureIndex, 0);
    EXPECT_EQ(loaded.mesh().faces[1].textureIndex, -1);
    EXPECT_EQ(loaded.mesh().faces[2].textureIndex, 0);
}

TEST(OptFaceTexture, FirstChildAndVertexSiblingAreUntextured) {
    const BuiltOpt opt = BuildOpt({.nodes = {Group({
                                       Faces({Tri(0, 1, 2)}),
                                       PlainTexture(2, 2),
                                       Vertices({{0, 0, 0}}),
                                       Faces({Tri(0, 1, 2)}),
                                   })}});
    Loaded loaded(opt.bytes);
    ASSERT_EQ(loaded.mesh().faces.size(), 2u);
    EXPECT_EQ(loaded.mesh().faces[0].textureIndex, -1);
    EXPECT_EQ(loaded.mesh().faces[1].textureIndex, -1);
}

NodeSpec FourSchemes() {
    return Switch({PlainTexture(1, 1), PlainTexture(1, 1), PlainTexture(1, 1), PlainTexture(1, 1)});
}

TEST(OptFaceTexture, SwitchSuppliesTheChildOfTheTextureGroup) {
    const BuiltOpt opt = BuildOpt({.nodes = {Group({FourSchemes(), Faces({Tri(0, 1, 2)})})}});
    for (int32_t group = 0; group < 4; ++group) {
        Loaded loaded(opt.bytes, group);
        EXPECT_EQ(loaded.mesh().faces[0].textureIndex, group);
        EXPECT_EQ(loaded.model.textureGroup, group);
    }
}

TEST(OptFaceTexture, ShortSwitchLowersTheGroupForTheRestOfTheModel) {
    const BuiltOpt opt = BuildOpt(
        {.nodes = {
             Group({Switch({PlainTexture(1, 1), PlainTexture(1, 1)}), Faces({Tri(0, 1, 2)})}),
             Group({FourSchemes(), Faces({Tri(0, 1, 2)})}),
         }});
    Loaded loaded(opt.bytes, 3);
    EXPECT_EQ(loaded.model.textureGroup, 1);
    EXPECT_EQ(loaded.mesh(0).faces[0].textureIndex, 1);
    EXPECT_EQ(loaded.mesh(1).faces[0].textureIndex, 3);  // textures 2..5: child 1 is texture 3
}

TEST(OptFaceTexture, GroupIsComparedAsUnsigned) {
    const BuiltOpt opt = BuildOpt({.nodes = {Group({FourSchemes(), Faces({Tri(0, 1, 2)})})}});
    Loaded loaded(opt.bytes, -2);
    EXPECT_EQ(loaded.model.textureGroup, 3);
    EXPECT_EQ(loaded.mesh().faces[0].textureIndex, 3);
}

TEST(OptFaceTexture, EmptySwitchLeavesGroupMinusOneAndFacesUntextured) {
    const BuiltOpt opt = BuildOpt({.nodes = {
                                       Group({Switch({}), Faces({Tri(0, 1, 2)})}),
                                       Group({FourSchemes(), Faces({Tri(0, 1, 2)})}),
                                   }});
    Loaded loaded(opt.bytes, 0);
    EXPECT_EQ(loaded.mesh(0).faces[0].textureIndex, -1);
    // -1 is not less than any count as unsigned: the next switch gives its last child.
    EXPECT_EQ(loaded.model.textureGroup, 3);
    EXPECT_EQ(loaded.mesh(1).faces[0].textureIndex, 3);
}

TEST(OptFaceTexture, SwitchChildThatIsNoTextureGivesUntextured) {
    const BuiltOpt opt = BuildOpt(
        {.nodes = {Group({Switch({PlainTexture(1, 1), Vertices({})}), Faces({Tri(0, 1, 2)})})}});
    Loaded loaded(opt.bytes, 1);
    EXPECT_EQ(loaded.mesh().faces[0].textureIndex, -1);
}

TEST(OptTextureRef, NumberIsReadFromTheFourthCharacter) {
    struct Case {
        std::string name;
        int32_t number;
    };
    const Case cases[] = {
        {"Tex00002", 2},
        {"Tex00000", 0},
        {"TexABC", 0},
        {"Te", 0},
        {"", 0},
        {"Tex -1", -1},
        {"Tex+3x", 3},
        {"Tex 12 4", 12},
        // Only 9 bytes are the name, also when no zero byte ends them.
        {"Tex000123456", 123},
        {"ABC999999", 999999},
    };
    for (const Case& c : cases) {
        const BuiltOpt opt = BuildOpt({.nodes = {Group({TextureRef(c.name)})}});
        Loaded loaded(opt.bytes);
        EXPECT_EQ(loaded.model.nodes[0].children[0].textureIndex, c.number) << c.name;
        EXPECT_FALSE(loaded.result.damaged);
    }
}

TEST(OptTextureRef, NumberNamingNoTextureLeavesFacesUntextured) {
    const BuiltOpt opt = BuildOpt(
        {.nodes = {Group({PlainTexture(1, 1), TextureRef("Tex00007"), Faces({Tri(0, 1, 2)}),
                          TextureRef("Tex00000"), Faces({Tri(0, 1, 2)}), TextureRef("Tex-5"),
                          Faces({Tri(0, 1, 2)})})}});
    Loaded loaded(opt.bytes);
    EXPECT_EQ(loaded.model.nodes[0].children[1].textureIndex, 7);  // the node keeps its number
    EXPECT_EQ(loaded.mesh().faces[0].textureIndex, -1);
    EXPECT_EQ(loaded.mesh().faces[1].textureIndex, 0);
    EXPECT_EQ(loaded.model.nodes[0].children[5].textureIndex, -5);
    EXPECT_EQ(loaded.mesh().faces[2].textureIndex, -1);
}

TEST(OptTexture, RecordHoldsPositionsSizeAndPixels) {
    TextureSpec layout;
    layout.width = 4;
    layout.height = 2;
    layout.pixels = {1, 2, 3, 4, 5, 6, 7, 8};
    const BuiltOpt opt =
        BuildOpt({.nodes = {Group({TextureNode(layout).Named("t")})}, .offsetBase = 0x2000});
    Loaded loaded(opt.bytes);
    ASSERT_EQ(loaded.model.textures.size(), 1u);
    const Texture& texture = loaded.model.textures[0];
    EXPECT_EQ(loaded.model.nodes[0].children[0].textureIndex, 0);
    EXPECT_EQ(texture.dataPosition, opt.PayloadAt("t") + 24);
    EXPECT_EQ(texture.paletteBlock, opt.PayloadAt("t") + 24 + 8);
    EXPECT_EQ(texture.width, 4);
    EXPECT_EQ(texture.height, 2);
    EXPECT_EQ(texture.dataSize, 8);
    EXPECT_EQ(texture.bytesPerPixel, 1);
    EXPECT_EQ(texture.pixels, layout.pixels);
    EXPECT_FALSE(loaded.result.damaged);
}

TEST(OptTexture, MipMapsBeyondTheTopImageAreReadWithIt) {
    TextureSpec layout;
    layout.width = 2;
    layout.height = 2;
    layout.pixels = {1, 2, 3, 4, 9};  // a 2x2 image and its 1x1 mip-map
    Loaded loaded(BuildOpt({.nodes = {TextureNode(layout)}}).bytes);
    EXPECT_EQ(loaded.model.textures[0].dataSize, 5);
    EXPECT_EQ(loaded.model.textures[0].pixels, layout.pixels);
}

TEST(OptTexture, PaletteColoursKeepTheirTopBits) {
    TextureSpec layout;
    std::vector<uint16_t> colours(256, 0);
    colours[0] = 0xFFFF;
    colours[1] = 0xF800;
    colours[2] = 0x07E0;
    colours[3] = 0x001F;
    colours[4] = 0x0821;  // the lowest bit of each component
    layout.AllPalettes(colours);
    Loaded loaded(BuildOpt({.nodes = {TextureNode(layout)}}).bytes);
    const auto& p = loaded.model.textures[0].palette;
    const std::vector<uint8_t> first(p.begin(), p.begin() + 15);
    EXPECT_EQ(first,
              (std::vector<uint8_t>{248, 252, 248, 248, 0, 0, 0, 252, 0, 0, 0, 248, 8, 4, 8}));
    EXPECT_EQ(p[765], 0);
}

TEST(OptTexture, APaletteCutShortByTheEndOfTheFileKeepsItsWholeColours) {
    TextureSpec layout;
    layout.AllPalettes(std::vector<uint16_t>(256, 0xFFFF));
    const BuiltOpt opt = BuildOpt({.nodes = {TextureNode(layout)}});
    Loaded whole(opt.bytes);
    const size_t start =
        static_cast<size_t>(whole.model.textures[0].paletteBlock) + kXwaPaletteOffset;
    ASSERT_LT(start + 21, opt.bytes.size());
    Loaded cut(opt.Prefix(start + 21));  // ten colours and half of the eleventh
    ASSERT_EQ(cut.model.textures.size(), 1u);
    EXPECT_TRUE(cut.result.damaged);
    const auto& palette = cut.model.textures[0].palette;
    EXPECT_EQ(palette[3 * 9], 248);
    EXPECT_EQ(palette[3 * 10], 0);
    EXPECT_EQ(palette[3 * 255 + 2], 0);
}

TEST(OptTexture, PaletteOffsetChoosesTheEighthOrSixteenthPalette) {
    TextureSpec layout;
    for (int index = 0; index < kPalettesPerBlock; ++index) {
        layout.Palette(index, std::vector<uint16_t>(256, Rgb565(index * 8, 0, 0)));
    }
    const BuiltOpt opt = BuildOpt({.nodes = {TextureNode(layout)}, .offsetBase = 0x100});
    Loaded xwa(opt.bytes, 0, kXwaPaletteOffset);
    EXPECT_EQ(xwa.model.textures[0].palette[0], 7 * 8);
    EXPECT_EQ(xwa.model.textures[0].palette[3 * 255], 7 * 8);
    Loaded plain(opt.bytes, 0, kPlainPaletteOffset);
    EXPECT_EQ(plain.model.textures[0].palette[0], 15 * 8);
}

TEST(OptFile, LoadsFromAPathAsFromBytes) {
    ScratchDir dir;
    const BuiltOpt opt = BuildOpt(
        {.nodes = {Group({PlainTexture(2, 2, 5), Faces({Tri(0, 1, 2)})})}, .offsetBase = 0x40});
    WriteFileBytes(dir / "ship.opt", opt.bytes);
    OptModel fromFile;
    const StageResult result = fromFile.LoadOpt((dir / "ship.opt").c_str());
    EXPECT_TRUE(result.ok());
    EXPECT_FALSE(result.damaged);
    Loaded fromBytes(opt.bytes);
    EXPECT_EQ(Dump(fromFile), Dump(fromBytes.model));

    // A file of several megabytes.
    const std::vector<uint8_t> large = GridOpt(4, 12000);
    ASSERT_GT(large.size(), size_t{4} << 20);
    WriteFileBytes(dir / "large.opt", large);
    OptModel largeFromFile;
    const StageResult largeResult = largeFromFile.LoadOpt((dir / "large.opt").c_str());
    EXPECT_TRUE(largeResult.ok());
    EXPECT_FALSE(largeResult.damaged);
    Loaded largeFromBytes(large);
    EXPECT_EQ(Dump(largeFromFile), Dump(largeFromBytes.model));
}

// While a program has the file open for writing, small and large files load exactly as from
// their bytes.
TEST(OptFile, LoadsTheSameWhileAnotherProgramHasItOpenForWriting) {
    ScratchDir dir;
    for (const std::vector<uint8_t>& bytes : {SmallShipOpt(), GridOpt(4, 12000)}) {
        WriteFileBytes(dir / "ship.opt", bytes);
        const int writer = open((dir / "ship.opt").c_str(), O_WRONLY);
        ASSERT_GE(writer, 0);
        OptModel fromFile;
        const StageResult result = fromFile.LoadOpt((dir / "ship.opt").c_str());
        close(writer);
        EXPECT_TRUE(result.ok());
        EXPECT_FALSE(result.damaged);
        Loaded fromBytes(bytes);
        EXPECT_EQ(Dump(fromFile), Dump(fromBytes.model)) << bytes.size() << " bytes";
    }
}

// Loading holds the file only while reading it: a program that opens it for writing
// afterwards is not kept waiting.
TEST(OptFile, LetsGoOfTheFileOnceRead) {
    ScratchDir dir;
    WriteFileBytes(dir / "ship.opt", GridOpt(2, 100));
    OptModel model;
    ASSERT_TRUE(model.LoadOpt((dir / "ship.opt").c_str()).ok());
    const int writer = open((dir / "ship.opt").c_str(), O_WRONLY | O_NONBLOCK | O_TRUNC);
    EXPECT_GE(writer, 0) << std::strerror(errno);
    if (writer >= 0) close(writer);
    EXPECT_FALSE(model.meshes.empty());
}

TEST(OptFile, MissingFileCannotOpenAndLeavesTheModelAsItWas) {
    ScratchDir dir;
    OptModel model;
    model.textureGroup = 2;
    const StageResult result = model.LoadOpt((dir / "missing.opt").c_str());
    EXPECT_EQ(result.failure, Failure::CannotOpen);
    EXPECT_EQ(result.systemError, ENOENT);
    EXPECT_TRUE(model.nodes.empty());
    EXPECT_TRUE(model.meshes.empty());
    EXPECT_TRUE(model.textures.empty());
    EXPECT_EQ(model.lodCount, 1);
    EXPECT_EQ(model.offsetBase, 0);
    EXPECT_EQ(model.textureGroup, 2);
}

TEST(OptFile, DirectoryCannotOpen) {
    ScratchDir dir;
    OptModel model;
    const StageResult result = model.LoadOpt(dir.path().c_str());
    EXPECT_EQ(result.failure, Failure::CannotOpen);
    EXPECT_EQ(result.systemError, EISDIR);
}

TEST(OptFile, FifoCannotOpenAndDoesNotWait) {
    ScratchDir dir;
    const std::string fifo = dir / "pipe.opt";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    OptModel model;
    const StageResult result = model.LoadOpt(fifo.c_str());
    EXPECT_EQ(result.failure, Failure::CannotOpen);
    EXPECT_EQ(result.systemError, EINVAL);
}

TEST(OptFile, EmptyFileOpensAndIsDamaged) {
    ScratchDir dir;
    WriteFileBytes(dir / "empty.opt", {});
    OptModel model;
    const StageResult result = model.LoadOpt((dir / "empty.opt").c_str());
    EXPECT_TRUE(result.ok());
    EXPECT_TRUE(result.damaged);
    EXPECT_TRUE(model.nodes.empty());
    EXPECT_EQ(model.offsetBase, 0);
}

TEST(OptSample, BundledShipLoadsWhole) {
    OptModel model;
    const StageResult result = model.LoadOpt(KESH_SOURCE_DIR "/samples/sample.opt");
    ASSERT_TRUE(result.ok());
    EXPECT_FALSE(result.damaged);
    EXPECT_NE(model.offsetBase, 0);
    EXPECT_EQ(model.meshes.size(), 4u);
    EXPECT_EQ(model.lodCount, 2);
    ASSERT_EQ(model.textures.size(), 5u);
    for (const OptMesh& mesh : model.meshes) {
        EXPECT_FALSE(mesh.vertices.empty());
        EXPECT_FALSE(mesh.faces.empty());
        for (const OptFace& face : mesh.faces)
            EXPECT_GE(face.textureIndex, 0);
    }
    for (const Texture& texture : model.textures) {
        EXPECT_EQ(texture.pixels.size(), static_cast<size_t>(texture.width * texture.height));
    }
}

}  // namespace
}  // namespace kesh

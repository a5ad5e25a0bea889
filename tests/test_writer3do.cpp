// The 3DO text: every section exactly, the geometry-set cap, the hierarchy, and the file
// handling of Write3DO.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "core/model.h"
#include "support/scratch_dir.h"
#include "writer3do/writer3do.h"

namespace kesh {
namespace {

using test::ScratchDir;

// Joins lines written with '\n' into the 3DO's CR LF line ends.
std::string Crlf(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

OptFace Triangle(int a, int b, int c, int textureIndex) {
    OptFace face;
    face.vertexIndex = {a, b, c, -1};
    face.texCoordIndex = {a, b, c, 0};
    face.vertexCount = 3;
    face.textureIndex = textureIndex;
    face.normal = {0.0f, 0.0f, -1.0f};
    return face;
}

// The converted triangle of the geometry pass's worked example, with one 64 x 32 texture.
OptModel TriangleModel() {
    OptModel model;
    Texture texture;
    texture.width = 64;
    texture.height = 32;
    model.textures.push_back(texture);
    OptMesh mesh;
    mesh.vertices = {{-1.0f, 1.0f, 0.0f, 0}, {1.0f, 1.0f, 0.0f, 1}, {-1.0f, -1.0f, -0.0f, 2}};
    mesh.texCoords = {{32.0f, 8.0f, 0}, {0.0f, 0.0f, 1}, {64.0f, 32.0f, 2}};
    mesh.normals = {{0, 0, -1}, {0, 0, -1}, {0, 0, -1}};
    mesh.faces = {Triangle(0, 1, 2, 0)};
    mesh.center = {1.0f, -1.0f, 0.0f};
    mesh.radius = 1.4142135f;
    model.lodMeshes = {{mesh}};
    model.radius = 3.695518f;
    return model;
}

TEST(Write3DO, WritesEverySectionOfAOneMeshModel) {
    const std::string expected = Crlf(R"(# MODEL 'shuttle.3do' converted from an OPT by KESH
# Kesh converts OPT ship models into 3DO 2.2 models,
# with one material per texture of the OPT model.
#
# Kesh Version 1.0

###############
SECTION: HEADER

3DO 2.2

###############
SECTION: MODELRESOURCE

# Materials List
MATERIALS 1

         0:   shut_00000.mat    # 64x32


###############
SECTION: GEOMETRYDEF

# Object radius
RADIUS   3.695518

# Insertion offset
INSERT OFFSET   0.000000   0.000000   0.000000

# Number of Geometry Sets
GEOSETS 1

# Geometry Set definition
GEOSET 0

# Number of Meshes
MESHES 1

# Mesh definition
MESH 0

NAME Mesh_000

RADIUS   1.414214

GEOMETRYMODE 4
LIGHTINGMODE 3
TEXTUREMODE  1

VERTICES 3

# num:     x:         y:         z:         i:
    0:  -1.000000   1.000000   0.000000   0.000000
    1:   1.000000   1.000000   0.000000   0.000000
    2:  -1.000000  -1.000000   0.000000   0.000000


TEXTURE VERTICES 3

    0:  32.000000   8.000000
    1:   0.000000   0.000000
    2:  64.000000  32.000000


VERTEX NORMALS

# num:     x:         y:         z:
    0:   0.000000   0.000000  -1.000000
    1:   0.000000   0.000000  -1.000000
    2:   0.000000   0.000000  -1.000000


FACES 1

#  num:  material:   type:  geo:  light:   tex:  extralight:  verts:
     0:         0  0x0000     4       3      1       0.0000       3    0,  0   1,  1   2,  2


FACE NORMALS

# num:     x:         y:         z:
    0:   0.000000   0.000000  -1.000000


###############
SECTION: HIERARCHYDEF

# Hierarchy node list
HIERARCHY NODES 2

#  num:   flags:   type:    mesh:  parent:  child:  sibling:  numChildren:        x:         y:         z:     pitch:       yaw:      roll:    pivotx:    pivoty:    pivotz:  hnodename:
     0:  0x0000 0x00001       -1       -1       1        -1             1   0.000000   0.000000   0.000000   0.000000   0.000000   0.000000   0.000000   0.000000   0.000000  Object
     1:  0x0000 0x00001        0        0      -1        -1             0   1.000000  -1.000000   0.000000   0.000000   0.000000   0.000000   0.000000   0.000000   0.000000  Node_000

)");
    EXPECT_EQ(Format3DO(TriangleModel(), "C:\\ships\\shuttle.3do", 1), expected);
    EXPECT_EQ(Format3DO(TriangleModel(), "/home/me/ships/shuttle.3do", 1), expected);
}

TEST(Write3DO, FaceLinesMatchTheDocumentedExamples) {
    OptModel model = TriangleModel();
    OptMesh& mesh = model.lodMeshes[0][0];
    mesh.faces.assign(14, Triangle(0, 1, 2, 0));
    mesh.faces[12].vertexIndex = {5, 6, 7, -1};
    mesh.faces[12].texCoordIndex = {0, 1, 2, 0};
    mesh.faces[12].textureIndex = 3;
    mesh.faces[13].vertexIndex = {0, 1, 2, 3};
    mesh.faces[13].texCoordIndex = {0, 1, 2, 3};
    mesh.faces[13].vertexCount = 4;
    mesh.faces[13].textureIndex = -1;
    const std::string text = Format3DO(model, "a.3do", 1);
    EXPECT_NE(text.find("\r\n    12:         3  0x0000     4       3      1       0.0000       3"
                        "    5,  0   6,  1   7,  2\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("\r\n    13:         0  0x0002     4       3      1       0.0000       4"
                        "    0,  0   1,  1   2,  2   3,  3\r\n"),
              std::string::npos);
}

OptModel ModelWithSets(int sets, int meshesPerSet) {
    OptModel model;
    for (int g = 0; g < sets; ++g) {
        std::vector<OptMesh> set(static_cast<size_t>(meshesPerSet));
        model.lodMeshes.push_back(set);
    }
    return model;
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(Write3DO, MaxGeoCapsTheGeometrySets) {
    const OptModel model = ModelWithSets(3, 2);
    struct Case {
        int32_t maxGeo;
        int written;
    };
    for (Case c : {Case{1, 1}, Case{2, 2}, Case{3, 3}, Case{4, 3}, Case{-1, 3}, Case{INT32_MIN, 3},
                   Case{0, 0}}) {
        const std::string text = Format3DO(model, "m.3do", c.maxGeo);
        SCOPED_TRACE(c.maxGeo);
        EXPECT_NE(text.find("GEOSETS " + std::to_string(c.written) + "\r\n\r\n"),
                  std::string::npos);
        EXPECT_EQ(Count(text, "# Geometry Set definition"), static_cast<size_t>(c.written));
        // The hierarchy always lists every mesh of the first set.
        EXPECT_NE(text.find("HIERARCHY NODES 3\r\n"), std::string::npos);
    }
    // With no set written the count line is followed directly by the hierarchy section.
    EXPECT_NE(Format3DO(model, "m.3do", 0)
                  .find("GEOSETS 0\r\n\r\n###############\r\nSECTION: HIERARCHYDEF"),
              std::string::npos);
}

TEST(Write3DO, AnEmptyMeshKeepsEveryTitleAndItsEmptyLines) {
    const std::string text = Format3DO(ModelWithSets(1, 1), "m.3do", 1);
    const std::string expected = Crlf(R"(# Mesh definition
MESH 0

NAME Mesh_000

RADIUS   0.000000

GEOMETRYMODE 4
LIGHTINGMODE 3
TEXTUREMODE  1

VERTICES 0

# num:     x:         y:         z:         i:


TEXTURE VERTICES 0



VERTEX NORMALS

# num:     x:         y:         z:


FACES 0

#  num:  material:   type:  geo:  light:   tex:  extralight:  verts:


FACE NORMALS

# num:     x:         y:         z:


###############
)");
    EXPECT_NE(text.find(expected), std::string::npos) << text;
    EXPECT_NE(text.find(Crlf("MATERIALS 0\n\n\n\n###############\n")), std::string::npos);
}

TEST(Write3DO, ChainsTheHierarchyNodesThroughTheirSiblings) {
    OptModel model = ModelWithSets(1, 3);
    model.lodMeshes[0][2].center = {1.0f, -0.5f, 2.0f};
    const std::string text = Format3DO(model, "m.3do", 1);
    EXPECT_NE(text.find("HIERARCHY NODES 4\r\n"), std::string::npos);
    EXPECT_NE(text.find("       -1       1        -1             3   0.000000"), std::string::npos);
    EXPECT_NE(
        text.find("\r\n     1:  0x0000 0x00001        0        0      -1         2             0"),
        std::string::npos);
    EXPECT_NE(
        text.find("\r\n     2:  0x0000 0x00001        1        0      -1         3             0"),
        std::string::npos);
    EXPECT_NE(
        text.find("\r\n     3:  0x0000 0x00001        2        0      -1        -1             0"
                  "   1.000000  -0.500000   2.000000"),
        std::string::npos);
    // The file ends with the last node line and one empty line.
    EXPECT_EQ(text.substr(text.size() - 14), "  Node_002\r\n\r\n");
}

TEST(Write3DO, NamesBeyond999MeshesGrowPastThreeDigits) {
    const std::string text = Format3DO(ModelWithSets(1, 1001), "m.3do", 1);
    EXPECT_NE(text.find("NAME Mesh_1000\r\n"), std::string::npos);
    EXPECT_NE(text.find("  Node_1000\r\n"), std::string::npos);
    EXPECT_NE(text.find("NAME Mesh_007\r\n"), std::string::npos);
}

TEST(Write3DO, MaterialNamesFollowTheBaseName) {
    OptModel model = ModelWithSets(1, 1);
    model.textures.resize(2);
    model.textures[1].width = 256;
    model.textures[1].height = 128;
    const std::string text = Format3DO(model, "dir.v2/a.3do", 1);
    EXPECT_NE(text.find("# MODEL 'a.3do' converted"), std::string::npos);
    EXPECT_NE(text.find("         1:   a.3d_00001.mat    # 256x128\r\n"), std::string::npos);
    // Without any separator the base name is the whole path.
    EXPECT_NE(Format3DO(model, "ship.3do", 1).find("# MODEL 'ship.3do' converted"),
              std::string::npos);
}

TEST(Write3DO, AVeryLongBaseNameIsWrittenWhole) {
    const std::string name(5000, 'n');
    const std::string text = Format3DO(ModelWithSets(1, 1), name + ".3do", 1);
    EXPECT_EQ(text.rfind("# MODEL '" + name + ".3do' converted from an OPT by KESH\r\n", 0), 0u);
}

TEST(Write3DO, HugeCentresAreWrittenInFull) {
    OptModel model = ModelWithSets(1, 1);
    // The float nearest -3e38, to 17 significant digits, then zeros.
    model.lodMeshes[0][0].center = {-3.0e38f, 0.0f, 0.0f};
    const std::string text = Format3DO(model, "m.3do", 1);
    EXPECT_NE(text.find(" -300000000549775580000000000000000000000.000000 "), std::string::npos)
        << text.substr(text.size() - 400);
}

TEST(Write3DO, WritesNoFileWithoutGeometry) {
    ScratchDir dir;
    const std::string path = dir / "m.3do";
    OptModel noSets;
    EXPECT_EQ(noSets.Write3DO(path.c_str(), 1).failure, Failure::NoGeometry);
    EXPECT_FALSE(test::FileExists(path));
    test::WriteFileText(path, "earlier");
    const OptModel emptyFirstSet = ModelWithSets(2, 0);
    EXPECT_EQ(emptyFirstSet.Write3DO(path.c_str(), 1).failure, Failure::NoGeometry);
    EXPECT_EQ(test::ReadFileText(path), "earlier");
}

TEST(Write3DO, WritesTheFileItFormats) {
    ScratchDir dir;
    const std::string path = dir / "shuttle.3do";
    test::WriteFileText(path, "earlier");
    ASSERT_TRUE(TriangleModel().Write3DO(path.c_str(), 1));
    EXPECT_EQ(test::ReadFileText(path), Format3DO(TriangleModel(), path, 1));
    EXPECT_EQ(test::ListDir(dir.path()), std::vector<std::string>{"shuttle.3do"});
}

// Meshes whose lists run from empty to a few thousand lines.
OptModel ManyListsModel() {
    constexpr size_t kManyLines = 2048;
    const size_t lengths[] = {0, 1, kManyLines - 1, kManyLines, kManyLines + 1, 2 * kManyLines + 3};
    OptModel model;
    model.lodMeshes.resize(2);
    size_t turn = 0;
    for (std::vector<OptMesh>& set : model.lodMeshes) {
        for (int m = 0; m < 6; ++m) {
            OptMesh mesh;
            const auto next = [&] { return lengths[turn++ % std::size(lengths)]; };
            for (size_t v = 0, n = next(); v < n; ++v)
                mesh.vertices.push_back({0.25f * static_cast<float>(v), -1.5f, 3e9f, 0});
            for (size_t t = 0, n = next(); t < n; ++t)
                mesh.texCoords.push_back({static_cast<float>(t), 0.5f, 0});
            for (size_t k = 0, n = next(); k < n; ++k)
                mesh.normals.push_back({0.0f, -1.0f, static_cast<float>(k) * 1e-7f});
            for (size_t f = 0, n = next(); f < n; ++f)
                mesh.faces.push_back(
                    Triangle(static_cast<int>(f), 1, 2, static_cast<int>(f % 3) - 1));
            mesh.radius = static_cast<float>(m) * 7.5f;
            mesh.center = {1.0f, static_cast<float>(m), -2.0f};
            set.push_back(mesh);
        }
    }
    model.radius = 12.0f;
    return model;
}

// The file is handed its text in blocks; what lands on disk is the text formatted in memory.
TEST(Write3DO, ALargeModelsFileHoldsTheTextFormattedInMemory) {
    ScratchDir dir;
    const OptModel model = ManyListsModel();
    const std::string path = dir / "fleet.3do";
    for (int32_t maxGeo : {1, 2}) {
        ASSERT_TRUE(model.Write3DO(path.c_str(), maxGeo));
        const std::string text = Format3DO(model, path, maxGeo);
        EXPECT_GT(text.size(), size_t{2} << 20);  // several blocks
        EXPECT_EQ(test::ReadFileText(path), text);
    }
}

TEST(Write3DO, ReportsAnOutputThatCannotBeCreated) {
    ScratchDir dir;
    const StageResult missingFolder = TriangleModel().Write3DO((dir / "no/such.3do").c_str(), 1);
    EXPECT_EQ(missingFolder.failure, Failure::CannotCreate);
    EXPECT_EQ(missingFolder.systemError, ENOENT);
    const StageResult isFolder = TriangleModel().Write3DO(dir.path().c_str(), 1);
    EXPECT_EQ(isFolder.failure, Failure::CannotCreate);
    EXPECT_EQ(isFolder.systemError, EISDIR);
}

}  // namespace
}  // namespace kesh

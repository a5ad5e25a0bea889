// The 3DO reader against the 3DO writer: what the writer writes reads back into the same
// numbers, and anything the writer would not write is rejected with its line named.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "core/model.h"
#include "core/settings.h"
#include "reader3do/reader3do.h"
#include "reader3do/text_fields.h"
#include "support/scratch_dir.h"
#include "support/test_models.h"
#include "writer3do/fixed_point.h"
#include "writer3do/writer3do.h"

namespace kesh {
namespace {

const std::string kSourceDir = KESH_SOURCE_DIR;

OptModel Converted(const std::vector<uint8_t>& opt) {
    OptModel model;
    model.LoadOptBytes(opt);
    model.ConvertGeometry(RunSettings{}.scale);
    return model;
}

// A written "-0.000000" stands for a small negative number; -0.0 would print without its sign.
float Float(double value) {
    return value == 0 && std::signbit(value) ? -1e-7f : static_cast<float>(value);
}

// The model the writer would have been given for what was read: written again, it must give
// the same text, so every number read is the number written.
OptModel BackToOptModel(const Model3do& read) {
    OptModel model;
    for (const Material3do& material : read.materials) {
        Texture texture;
        texture.width = material.width;
        texture.height = material.height;
        model.textures.push_back(texture);
    }
    model.radius = Float(read.radius);
    for (const GeometrySet3do& set : read.geometrySets) {
        std::vector<OptMesh> meshes;
        for (const Mesh3do& mesh : set.meshes) {
            OptMesh out;
            out.radius = Float(mesh.radius);
            for (const Point3& p : mesh.vertices)
                out.vertices.push_back({Float(p.x), Float(p.y), Float(p.z), -1});
            for (const TexVertex& t : mesh.texVertices)
                out.texCoords.push_back({Float(t.u), Float(t.v), -1});
            for (const Point3& n : mesh.vertexNormals)
                out.normals.push_back({Float(n.x), Float(n.y), Float(n.z)});
            for (const Face3do& face : mesh.faces) {
                OptFace f;
                f.vertexCount = face.cornerCount;
                f.vertexIndex = face.vertex;
                f.texCoordIndex = face.texVertex;
                f.textureIndex = face.material;
                f.normal = {Float(face.normal.x), Float(face.normal.y), Float(face.normal.z)};
                out.faces.push_back(f);
            }
            meshes.push_back(out);
        }
        model.lodMeshes.push_back(meshes);
    }
    // Without a written set, the hierarchy alone tells the meshes of set 0 and their places.
    if (model.lodMeshes.empty()) model.lodMeshes.emplace_back(read.nodes.size() - 1);
    for (size_t k = 1; k < read.nodes.size(); ++k) {
        const Point3& at = read.nodes[k].position;
        model.lodMeshes[0][k - 1].center = {Float(at.x), Float(at.y), Float(at.z)};
    }
    return model;
}

// Reads `text`, writes what was read, and expects the same text.
void ExpectRoundTrip(const std::string& text, const std::string& outputPath) {
    Model3do read;
    Read3doError error;
    ASSERT_TRUE(Read3do(text, read, error)) << Describe(error);
    const OptModel again = BackToOptModel(read);
    EXPECT_EQ(Format3DO(again, outputPath, static_cast<int32_t>(read.geometrySets.size())), text);
}

TEST(Read3do, ReadsTheBundledSampleIntoTheNumbersItWasWrittenFrom) {
    const OptModel model = Converted(test::ReadFileBytes(kSourceDir + "/samples/sample.opt"));
    const std::string text = Format3DO(model, "sample.3do", -1);
    ASSERT_EQ(text, test::ReadFileText(kSourceDir + "/tests/data/sample.3do"));

    Model3do read;
    Read3doError error;
    ASSERT_TRUE(Load3do((kSourceDir + "/tests/data/sample.3do").c_str(), read, error))
        << Describe(error);
    EXPECT_EQ(read.baseName, "sample.3do");
    ASSERT_EQ(read.materials.size(), model.textures.size());
    EXPECT_EQ(read.materials[1].name, "samp_00001.mat");
    EXPECT_EQ(read.materials[1].width, model.textures[1].width);
    ASSERT_EQ(read.geometrySets.size(), model.lodMeshes.size());
    ASSERT_EQ(read.nodes.size(), model.lodMeshes[0].size() + 1);
    const auto same = [](double read6, float written) {
        return FormatFixed(Float(read6), 10, 6) == FormatFixed(written, 10, 6);
    };
    for (size_t g = 0; g < model.lodMeshes.size(); ++g) {
        ASSERT_EQ(read.geometrySets[g].meshes.size(), model.lodMeshes[g].size());
        for (size_t j = 0; j < model.lodMeshes[g].size(); ++j) {
            const OptMesh& mesh = model.lodMeshes[g][j];
            const Mesh3do& got = read.geometrySets[g].meshes[j];
            ASSERT_EQ(got.vertices.size(), mesh.vertices.size());
            ASSERT_EQ(got.texVertices.size(), mesh.texCoords.size());
            ASSERT_EQ(got.vertexNormals.size(), mesh.normals.size());
            ASSERT_EQ(got.faces.size(), mesh.faces.size());
            for (size_t v = 0; v < mesh.vertices.size(); ++v) {
                EXPECT_TRUE(same(got.vertices[v].x, mesh.vertices[v].x));
                EXPECT_TRUE(same(got.vertices[v].y, mesh.vertices[v].y));
                EXPECT_TRUE(same(got.vertices[v].z, mesh.vertices[v].z));
            }
            for (size_t t = 0; t < mesh.texCoords.size(); ++t)
                EXPECT_TRUE(same(got.texVertices[t].v, mesh.texCoords[t].v));
            for (size_t f = 0; f < mesh.faces.size(); ++f) {
                const OptFace& face = mesh.faces[f];
                EXPECT_EQ(got.faces[f].material, face.textureIndex);
                EXPECT_EQ(got.faces[f].cornerCount, face.vertexCount);
                for (int k = 0; k < face.vertexCount; ++k) {
                    EXPECT_EQ(got.faces[f].vertex[k], face.vertexIndex[k]);
                    EXPECT_EQ(got.faces[f].texVertex[k], face.texCoordIndex[k]);
                }
                EXPECT_TRUE(same(got.faces[f].normal.z, face.normal.z));
            }
            if (g == 0) {
                EXPECT_TRUE(same(read.nodes[j + 1].position.x, mesh.center.x));
            }
        }
    }
    ExpectRoundTrip(text, "sample.3do");
    ExpectRoundTrip(test::ReadFileText(kSourceDir + "/tests/data/sample-blue.3do"), "sample.3do");
}

TEST(Read3do, ReadsBackGeneratedModelsWithEveryNumberTheWriterCanWrite) {
    ExpectRoundTrip(Format3DO(Converted(test::SmallShipOpt()), "small.3do", -1), "small.3do");
    ExpectRoundTrip(Format3DO(Converted(test::GridOpt(4, 30)), "C:\\ships\\grid.3do", -1),
                    "grid.3do");

    // Extreme values: negative zero and values that only round to zero, huge and non-finite
    // numbers, untextured faces with odd texture-vertex indices, wide index columns, an empty
    // mesh, and a short base name whose material prefix takes in the extension.
    OptModel model;
    for (int32_t size : {256, -1, 0})
        model.textures.push_back(Texture{0, 0, size, 128, 0, 1, {}, {}});
    OptMesh mesh;
    mesh.vertices = {{-0.0f, -0.0000004f, 1e30f, -1},
                     {1e-7f, -123456.789f, 0.5f, -1},
                     {INFINITY, -INFINITY, NAN, -1},
                     {-NAN, 0.0078125f, -3.25f, -1}};
    mesh.texCoords = {{32.0f, 8.5f, -1}, {0.0f, -64.0f, -1}};
    mesh.normals = {{0, 0, -1}, {1, 0, 0}};
    OptFace textured;
    textured.vertexCount = 4;
    textured.vertexIndex = {0, 1, 2, 3};
    textured.texCoordIndex = {0, 1, 0, 1};
    textured.textureIndex = 2;
    textured.normal = {0.6f, -0.8f, -0.0f};
    OptFace untextured = textured;
    untextured.vertexCount = 3;
    untextured.textureIndex = -1;
    untextured.texCoordIndex = {-1, 999, -99, 0};
    OptFace wide = textured;
    // A texture-vertex index of three characters before a vertex index of four or more, and
    // one of four before one of three, are still told apart by the column widths.
    wide.vertexIndex = {1234, 1234, 6, 99999};
    wide.texCoordIndex = {123, 4567, 0, -12};
    mesh.faces = {textured, untextured, wide};
    mesh.center = {1.0f, -0.5f, 2.0f};
    mesh.radius = 1e20f;
    model.lodMeshes = {{mesh, OptMesh{}}, {OptMesh{}, mesh}, {mesh, mesh}};
    model.radius = 3.695518f;
    for (int32_t maxGeo : {-1, 2, 1, 0})
        ExpectRoundTrip(Format3DO(model, "a.3do", maxGeo), "a.3do");

    // More than 999 meshes: names and node numbers grow past three digits.
    OptModel many;
    many.lodMeshes.emplace_back(1001);
    ExpectRoundTrip(Format3DO(many, "many.3do", -1), "many.3do");
}

TEST(Read3do, ReportsAFaceLineWhoseIndexColumnsRunTogether) {
    OptModel model;
    OptMesh mesh;
    OptFace face;
    face.vertexCount = 3;
    face.vertexIndex = {1, 1000, 2, 0};
    face.texCoordIndex = {1000, 0, 0, 0};
    mesh.faces = {face};
    model.lodMeshes = {{mesh}};
    const std::string text = Format3DO(model, "wide.3do", -1);
    ASSERT_NE(text.find("   1,10001000,  0   2,  0\r\n"), std::string::npos);

    Model3do read;
    Read3doError error;
    EXPECT_FALSE(Read3do(text, read, error));
    const size_t faceLine = 1 + static_cast<size_t>(std::count(
                                    text.begin(), text.begin() + text.find("10001000"), '\n'));
    EXPECT_EQ(error.line, faceLine);
    EXPECT_NE(error.message.find("run together"), std::string::npos) << error.message;
}

// The line numbers count from 1; `text` is the small ship's 3DO.
struct Mutation {
    const char* what;
    std::string from;  // the first occurrence of this text ...
    std::string to;    // ... is replaced by this
};

TEST(Read3do, RejectsTextTheWriterWouldNotWriteAndNamesTheLine) {
    const std::string text = Format3DO(Converted(test::SmallShipOpt()), "ship.3do", -1);
    const std::vector<Mutation> mutations = {
        {"another banner", "# MODEL 'ship.3do' converted", "# MODEL 'ship.3do' made"},
        {"a missing attribution line", "#\r\n# Kesh Version", "#\r\n"},
        {"another version", "\r\n3DO 2.2\r\n", "\r\n3DO 2.1\r\n"},
        {"a line end without CR", "SECTION: HEADER\r\n", "SECTION: HEADER\n"},
        {"a material of another name", "ship_00000.mat", "ship_00001.mat"},
        {"a material without its size", "    # 8x8", "    # 8"},
        {"a count with a leading zero", "MATERIALS 1", "MATERIALS 01"},
        {"a count beyond the file", "MATERIALS 1", "MATERIALS 100000"},
        {"an insertion offset", "INSERT OFFSET   0.000000", "INSERT OFFSET   1.000000"},
        {"another geometry mode", "GEOMETRYMODE 4", "GEOMETRYMODE 5"},
        {"a mesh out of order", "MESH 0", "MESH 1"},
        {"a number with five decimals",
         "VERTICES 4\r\n\r\n# num:     x:         y:         z:"
         "         i:\r\n    0: ",
         "VERTICES 4\r\n\r\n# num:     x:         y:         z:         i:\r\n    0:  "},
        {"a vertex line without its last column", "   0.000000\r\n\r\n\r\nTEXTURE",
         "\r\n\r\n\r\nTEXTURE"},
        {"a texture vertex out of order", "\r\n    1: ", "\r\n    2: "},
        {"a blank too many", "VERTEX NORMALS\r\n\r\n", "VERTEX NORMALS \r\n\r\n"},
        {"an untextured face with a material", "         0  0x0000", "         1  0x0002"},
        {"a face of five corners", "       4    ", "       5    "},
        {"a face with a corner missing", "       4    ", "       3    "},
        {"a face with a padded index", "    0,  0", "   00,  0"},
        {"a face normal too few", "FACES 2", "FACES 3"},
        {"a node of another mesh", "        0        0      -1", "        1        0      -1"},
        {"a node count that is not the meshes'", "HIERARCHY NODES 2", "HIERARCHY NODES 3"},
        {"text after the end", "Node_000\r\n\r\n", "Node_000\r\n\r\n\r\n"},
    };
    for (const Mutation& m : mutations) {
        SCOPED_TRACE(m.what);
        const size_t at = text.find(m.from);
        ASSERT_NE(at, std::string::npos);
        std::string bad = text;
        bad.replace(at, m.from.size(), m.to);
        // The first line where the two texts differ.
        size_t differ = 0;
        while (differ < bad.size() && differ < text.size() && bad[differ] == text[differ])
            ++differ;
        size_t line =
            1 + static_cast<size_t>(std::count(text.begin(), text.begin() + differ, '\n'));
        Model3do read;
        Read3doError error;
        EXPECT_FALSE(Read3do(bad, read, error));
        // A wrong count is seen at its own line or where the lists no longer fit it.
        EXPECT_GE(error.line, line) << Describe(error);
        if (m.what != std::string("a face normal too few") &&
            m.what != std::string("a face with a corner missing")) {
            EXPECT_EQ(error.line, line) << Describe(error);
        }
        EXPECT_FALSE(error.message.empty());
    }
}

TEST(Read3do, RejectsEveryCutOfAFileAtTheLineWhereItEnds) {
    const std::string text = Format3DO(Converted(test::SmallShipOpt()), "ship.3do", -1);
    for (size_t length = 0; length < text.size(); ++length) {
        // A fresh buffer of exactly the cut's size, so that a sanitizer sees any overread.
        std::unique_ptr<char[]> cut(new char[length + 1]);
        std::copy(text.begin(), text.begin() + length, cut.get());
        Model3do read;
        Read3doError error;
        ASSERT_FALSE(Read3do(std::string_view(cut.get(), length), read, error)) << length;
        // The line where the text ends, or an earlier count line whose list no longer fits.
        const size_t last =
            1 + static_cast<size_t>(std::count(text.begin(), text.begin() + length, '\n'));
        if (error.message.find("lines left") == std::string::npos) {
            EXPECT_EQ(error.line, last) << "cut at " << length << ": " << Describe(error);
        } else {
            EXPECT_LT(error.line, last) << "cut at " << length << ": " << Describe(error);
        }
    }
}

TEST(Read3do, ReportsAFileThatDoesNotOpen) {
    test::ScratchDir dir;
    Model3do read;
    Read3doError error;
    EXPECT_FALSE(Load3do((dir / "missing.3do").c_str(), read, error));
    EXPECT_EQ(error.line, 0u);
    EXPECT_NE(Describe(error).find("cannot open"), std::string::npos) << Describe(error);
}

TEST(TextFields, MatchPrintfFieldsExactly) {
    int64_t i = 0;
    double d = 0;
    EXPECT_TRUE(ParseIntField("   -1", 5, i) && i == -1);
    EXPECT_TRUE(ParseIntField("123456", 5, i) && i == 123456);
    EXPECT_FALSE(ParseIntField("    -1", 5, i));  // a blank too many
    EXPECT_FALSE(ParseIntField("   01", 5, i));   // a leading zero
    EXPECT_FALSE(ParseIntField("   -0", 5, i));
    EXPECT_FALSE(ParseIntField("99999999999999999999", 0, i));  // beyond 64 bits
    EXPECT_TRUE(ParseFixedField("  0.007813", 10, 6, d) && d == 0.007813);
    EXPECT_TRUE(ParseFixedField(" -0.000000", 10, 6, d) && std::signbit(d));
    EXPECT_TRUE(ParseFixedField("-12345.500000", 10, 6, d) && d == -12345.5);
    EXPECT_TRUE(ParseFixedField("      -nan", 10, 6, d) && std::isnan(d));
    EXPECT_FALSE(ParseFixedField("  0.00781", 10, 6, d));
    EXPECT_FALSE(ParseFixedField(" 00.007813", 10, 6, d));
    EXPECT_FALSE(ParseFixedField("  +0.00781", 10, 6, d));
    EXPECT_FALSE(ParseFixedField("   .007813", 10, 6, d));
}

}  // namespace
}  // namespace kesh

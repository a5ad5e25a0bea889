// The engine-limits check: each limit just at and just over, and line lengths against the
// 3DO text itself.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/engine_limits.h"
#include "core/model.h"
#include "support/scratch_dir.h"
#include "writer3do/writer3do.h"

namespace kesh {
namespace {

using test::ScratchDir;

// A model of `sets` geometry sets with `meshes` small meshes each.
OptModel Model(size_t sets, size_t meshes) {
    OptModel model;
    OptMesh mesh;
    mesh.vertices.resize(3);
    mesh.normals.resize(3);
    mesh.texCoords.resize(3);
    OptFace face;
    face.vertexIndex = {0, 1, 2, -1};
    face.texCoordIndex = {0, 1, 2, -1};
    face.vertexCount = 3;
    mesh.faces.push_back(face);
    model.lodMeshes.assign(sets, std::vector<OptMesh>(meshes, mesh));
    return model;
}

std::vector<std::string> Described(const OptModel& model, std::string_view path = "ship.3do",
                                   int32_t maxGeo = -1) {
    std::vector<std::string> lines;
    for (const LimitWarning& warning : CheckEngineLimits(model, path, maxGeo))
        lines.push_back(Describe(warning));
    return lines;
}

using Lines = std::vector<std::string>;

TEST(EngineLimits, SmallModelPasses) {
    EXPECT_TRUE(Described(Model(4, 62)).empty());
}

TEST(EngineLimits, NothingIsCheckedWhenNoFileWouldBeWritten) {
    const std::string longName(2000, 'a');
    OptModel model;
    EXPECT_TRUE(CheckEngineLimits(model, longName, -1).empty());
    model.lodMeshes.resize(9);  // sets without meshes
    model.lodMeshes[1].resize(1);
    model.lodMeshes[1][0].vertices.resize(600);
    EXPECT_TRUE(CheckEngineLimits(model, longName, -1).empty());
}

TEST(EngineLimits, VerticesPerMesh) {
    OptModel model = Model(2, 4);
    model.lodMeshes[0][3].vertices.resize(512);
    EXPECT_TRUE(Described(model).empty());
    model.lodMeshes[0][3].vertices.resize(513);
    model.lodMeshes[1][0].vertices.resize(600);
    EXPECT_EQ(Described(model),
              (Lines{"geometry set 0, mesh 3: 513 vertices (the engine takes at most 512)",
                     "geometry set 1, mesh 0: 600 vertices (the engine takes at most 512)"}));
    const std::vector<LimitWarning> warnings = CheckEngineLimits(model, "ship.3do", -1);
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(warnings[0].kind, LimitKind::Vertices);
    EXPECT_EQ(warnings[0].geometrySet, 0);
    EXPECT_EQ(warnings[0].mesh, 3);
    EXPECT_EQ(warnings[0].count, 513);
    EXPECT_EQ(warnings[0].limit, 512);
}

TEST(EngineLimits, TextureVerticesAndFacesPerMesh) {
    OptModel model = Model(1, 2);
    model.lodMeshes[0][0].texCoords.resize(768);
    model.lodMeshes[0][1].faces.resize(512, model.lodMeshes[0][1].faces[0]);
    EXPECT_TRUE(Described(model).empty());
    model.lodMeshes[0][0].texCoords.resize(769);
    model.lodMeshes[0][1].faces.resize(513, model.lodMeshes[0][1].faces[0]);
    EXPECT_EQ(Described(model),
              (Lines{"geometry set 0, mesh 0: 769 texture vertices (the engine takes at most 768)",
                     "geometry set 0, mesh 1: 513 faces (the engine takes at most 512)"}));
}

TEST(EngineLimits, OneWarningPerMeshForTheLargestFace) {
    OptModel model = Model(1, 1);
    std::vector<OptFace>& faces = model.lodMeshes[0][0].faces;
    faces[0].vertexCount = 24;
    EXPECT_TRUE(Described(model).empty());
    faces.push_back(faces[0]);
    faces.push_back(faces[0]);
    faces[1].vertexCount = 30;
    faces[2].vertexCount = 25;
    EXPECT_EQ(
        Described(model),
        (Lines{"geometry set 0, mesh 0: a face of 30 vertices (the engine takes at most 24)"}));
}

TEST(EngineLimits, GeometrySetsAsWritten) {
    EXPECT_TRUE(Described(Model(4, 1)).empty());
    const OptModel five = Model(5, 1);
    EXPECT_EQ(Described(five, "ship.3do", -1),
              (Lines{"5 geometry sets (the engine takes at most 4)"}));
    EXPECT_EQ(Described(five, "ship.3do", 5),
              (Lines{"5 geometry sets (the engine takes at most 4)"}));
    EXPECT_EQ(Described(five, "ship.3do", 99),
              (Lines{"5 geometry sets (the engine takes at most 4)"}));
    EXPECT_TRUE(Described(five, "ship.3do", 4).empty());
    EXPECT_TRUE(Described(five, "ship.3do", 1).empty());
    EXPECT_TRUE(Described(five, "ship.3do", 0).empty());
}

TEST(EngineLimits, OnlyWrittenSetsAreChecked) {
    OptModel model = Model(3, 1);
    model.lodMeshes[0][0].vertices.resize(600);
    model.lodMeshes[2][0].faces.resize(600, model.lodMeshes[2][0].faces[0]);
    EXPECT_TRUE(Described(model, "ship.3do", 0).empty());
    EXPECT_EQ(Described(model, "ship.3do", 2),
              (Lines{"geometry set 0, mesh 0: 600 vertices (the engine takes at most 512)"}));
    EXPECT_EQ(Described(model, "ship.3do", 3).size(), 2u);
}

TEST(EngineLimits, HierarchyNodesFromTheFirstSet) {
    EXPECT_TRUE(Described(Model(1, 62)).empty());
    EXPECT_EQ(Described(Model(1, 63)), (Lines{"64 hierarchy nodes (the engine takes at most 63)"}));
    // The hierarchy is written whatever the number of sets.
    EXPECT_EQ(Described(Model(2, 63), "ship.3do", 0),
              (Lines{"64 hierarchy nodes (the engine takes at most 63)"}));
}

TEST(EngineLimits, BannerLineCarriesTheBaseName) {
    // "# MODEL '" + name + "' converted from an OPT by KESH" + CR LF is 42 bytes plus the name.
    const OptModel model = Model(1, 1);
    EXPECT_TRUE(Described(model, "C:\\ships/" + std::string(981, 'n')).empty());
    EXPECT_EQ(Described(model, "C:/ships\\" + std::string(982, 'n')),
              (Lines{"a line of 1024 bytes (the engine takes at most 1023)"}));
    const std::vector<LimitWarning> warnings =
        CheckEngineLimits(model, std::string(1058, 'n') + ".3do", 1);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].kind, LimitKind::LineLength);
    EXPECT_EQ(warnings[0].geometrySet, -1);
    EXPECT_EQ(warnings[0].count, 1104);
    // Only the base name counts, not the folders before it.
    EXPECT_TRUE(Described(model, std::string(3000, 'd') + "\\ship.3do").empty());
}

TEST(EngineLimits, HugeCoordinatesWidenTheirLines) {
    const float big = std::numeric_limits<float>::max();
    OptModel model = Model(1, 1);
    OptMesh& mesh = model.lodMeshes[0][0];
    // "%10.6f" of -FLT_MAX takes 47 columns: the sign, 39 digits, the point, 6 decimals.
    mesh.vertices[2] = MeshVertex{-big, -big, -big, 2};
    EXPECT_EQ(LongestMeshLine(mesh), 5 + 2 + 3 * 47 + 3 + 10 + 2);
    mesh.center = Vec3{-big, big, -big};
    EXPECT_EQ(NodeLineBytes(mesh.center, 0, 1), 184 - 30 + 47 + 46 + 47);
    // Even the widest numbers leave every line far below the limit.
    EXPECT_TRUE(Described(model).empty());
}

// The lengths Write3DO measures while writing are those that measuring the model gives,
// wherever a number line is longer than the titles of the lists, and give the same warnings.
TEST(EngineLimits, LinesMeasuredWhileWritingMatchTheModel) {
    ScratchDir dir;
    OptModel model = Model(2, 40);
    for (size_t j = 0; j < 40; ++j) {
        OptMesh& mesh = model.lodMeshes[j % 2][j];
        mesh.vertices.resize(600 + j);
        // From 1e0 to 1e39 (infinity): the widest vertex line grows with j.
        mesh.vertices[j].x = -std::pow(10.0f, static_cast<float>(j));
        mesh.vertices[j].z = std::numeric_limits<float>::max();
        mesh.faces[0].vertexIndex[1] = -1000000000;
    }
    const std::string path = dir / "wide.3do";
    MeshLineLengths measured;
    ASSERT_TRUE(model.Write3DO(path.c_str(), -1, &measured));
    ASSERT_EQ(measured.size(), 2u);
    for (size_t g = 0; g < 2; ++g) {
        ASSERT_EQ(measured[g].size(), 40u);
        for (size_t j = 0; j < 40; ++j)
            EXPECT_EQ(measured[g][j], LongestMeshLine(model.lodMeshes[g][j])) << g << ", " << j;
    }
    const std::vector<LimitWarning> fromWriting = CheckEngineLimits(model, path, -1, &measured);
    const std::vector<LimitWarning> fromModel = CheckEngineLimits(model, path, -1);
    ASSERT_EQ(fromWriting.size(), fromModel.size());
    for (size_t i = 0; i < fromModel.size(); ++i)
        EXPECT_EQ(Describe(fromWriting[i]), Describe(fromModel[i]));
}

TEST(LongestMeshLine, FieldWidthsAroundTheTenColumnBoundary) {
    OptMesh mesh;
    mesh.vertices.push_back(MeshVertex{998.9999f, -98.9999f, 0.0f, 0});
    EXPECT_EQ(LongestMeshLine(mesh), 5 + 2 + 10 * 4 + 3 + 2);
    mesh.vertices[0].x = 999.9999995f;  // the float is 1000: eleven columns
    EXPECT_EQ(LongestMeshLine(mesh), 5 + 2 + 10 * 4 + 3 + 2 + 1);
    mesh.vertices[0].x = 0.0f;
    mesh.vertices[0].y = -99.9999996f;  // rounds to -100.000000: eleven columns
    EXPECT_EQ(LongestMeshLine(mesh), 5 + 2 + 10 * 4 + 3 + 2 + 1);
}

// The longest line of each mesh block and each node line, in the 3DO text itself. Comment
// lines are left out: they are fixed and short.
struct MeasuredLines {
    std::map<std::pair<int, int>, int64_t> mesh;  // (set, mesh) -> longest line
    std::vector<int64_t> node;                    // per mesh of set 0
};

MeasuredLines Measure(const std::string& text) {
    MeasuredLines measured;
    int set = -1;
    int mesh = -1;
    bool hierarchy = false;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        const std::string line = text.substr(start, end - start);
        start = end + 2;
        const int64_t bytes = static_cast<int64_t>(line.size()) + 2;
        if (line.rfind("GEOSET ", 0) == 0) set = std::stoi(line.substr(7));
        if (line.rfind("MESH ", 0) == 0) mesh = std::stoi(line.substr(5));
        if (line == "SECTION: HIERARCHYDEF") hierarchy = true;
        if (line.empty() || line[0] == '#') continue;
        if (hierarchy) {
            if (line.find("Node_") != std::string::npos) measured.node.push_back(bytes);
        } else if (set >= 0 && mesh >= 0) {
            int64_t& longest = measured.mesh[{set, mesh}];
            longest = std::max(longest, bytes);
        }
    }
    return measured;
}

TEST(LongestMeshLine, MatchesTheWrittenTextForRandomMagnitudes) {
    std::mt19937 random(99);
    const float specials[] = {std::numeric_limits<float>::max(),
                              -std::numeric_limits<float>::max(),
                              std::numeric_limits<float>::infinity(),
                              std::nanf(""),
                              -0.0f,
                              999.0f,
                              -99.0f,
                              998.99994f,
                              -98.99999f,
                              -99.99999f,
                              1e17f,
                              -1e25f};
    auto value = [&]() -> float {
        if (random() % 3 == 0) return specials[random() % std::size(specials)];
        const double magnitude = std::pow(10.0, static_cast<double>(random() % 80) / 2.0 - 3.0);
        return static_cast<float>((random() % 2 ? -1.0 : 1.0) * magnitude);
    };
    for (int round = 0; round < 10; ++round) {
        OptModel model = Model(3, 4);
        for (auto& set : model.lodMeshes) {
            for (OptMesh& mesh : set) {
                mesh.radius = value();
                mesh.center = Vec3{value(), value(), value()};
                for (MeshVertex& v : mesh.vertices)
                    v = MeshVertex{value(), value(), value(), 0};
                for (TexCoord& t : mesh.texCoords)
                    t = TexCoord{value(), value(), 0};
                for (Vec3& n : mesh.normals)
                    n = Vec3{value(), value(), value()};
                OptFace& face = mesh.faces[0];
                face.normal = Vec3{value(), value(), value()};
                face.textureIndex = static_cast<int32_t>(random() % (1u << 31)) - (1 << 30);
                face.vertexCount = static_cast<int32_t>(random() % 6);
                for (int k = 0; k < 4; ++k) {
                    face.vertexIndex[k] = static_cast<int32_t>(random());
                    face.texCoordIndex[k] = -static_cast<int32_t>(random() % 100000);
                }
            }
        }
        const MeasuredLines measured = Measure(Format3DO(model, "ship.3do", 2));
        ASSERT_EQ(measured.mesh.size(), 8u);
        for (const auto& [where, longest] : measured.mesh) {
            const OptMesh& mesh = model.lodMeshes[where.first][where.second];
            EXPECT_EQ(LongestMeshLine(mesh), longest) << where.first << ", " << where.second;
        }
        ASSERT_EQ(measured.node.size(), 4u);
        for (size_t j = 0; j < 4; ++j)
            EXPECT_EQ(NodeLineBytes(model.lodMeshes[0][j].center, j, 4), measured.node[j]);
    }
}

}  // namespace
}  // namespace kesh

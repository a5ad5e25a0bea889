// The engine-limits check: each limit just at and just over.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/engine_limits.h"
#include "core/model.h"

namespace kesh {
namespace {

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

// "geometry set 0, mesh 3: 600 vertices (the engine takes at most 512)"
std::string Describe(const LimitWarning& warning) {
    std::string text;
    if (warning.geometrySet >= 0) {
        text = "geometry set " + std::to_string(warning.geometrySet);
        if (warning.mesh >= 0) text += ", mesh " + std::to_string(warning.mesh);
        text += ": ";
    }
    return text + std::to_string(warning.count) + " " + LimitNoun(warning.kind) +
           " (the engine takes at most " + std::to_string(warning.limit) + ")";
}

std::vector<std::string> Described(const OptModel& model, int32_t maxGeo = -1) {
    std::vector<std::string> lines;
    for (const LimitWarning& warning : CheckEngineLimits(model, maxGeo))
        lines.push_back(Describe(warning));
    return lines;
}

using Lines = std::vector<std::string>;

TEST(EngineLimits, SmallModelPasses) {
    EXPECT_TRUE(Described(Model(4, 63)).empty());
}

TEST(EngineLimits, NothingIsCheckedWhenNoFileWouldBeWritten) {
    OptModel model;
    EXPECT_TRUE(CheckEngineLimits(model, -1).empty());
    model.lodMeshes.resize(9);  // sets without meshes
    model.lodMeshes[1].resize(1);
    model.lodMeshes[1][0].vertices.resize(600);
    EXPECT_TRUE(CheckEngineLimits(model, -1).empty());
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
    const std::vector<LimitWarning> warnings = CheckEngineLimits(model, -1);
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

TEST(EngineLimits, GeometrySetsAsWritten) {
    EXPECT_TRUE(Described(Model(4, 1)).empty());
    const OptModel five = Model(5, 1);
    EXPECT_EQ(Described(five, -1), (Lines{"5 geometry sets (the engine takes at most 4)"}));
    EXPECT_EQ(Described(five, 5), (Lines{"5 geometry sets (the engine takes at most 4)"}));
    EXPECT_EQ(Described(five, 99), (Lines{"5 geometry sets (the engine takes at most 4)"}));
    EXPECT_TRUE(Described(five, 4).empty());
    EXPECT_TRUE(Described(five, 1).empty());
    EXPECT_TRUE(Described(five, 0).empty());
}

TEST(EngineLimits, OnlyWrittenSetsAreChecked) {
    OptModel model = Model(3, 1);
    model.lodMeshes[0][0].vertices.resize(600);
    model.lodMeshes[2][0].faces.resize(600, model.lodMeshes[2][0].faces[0]);
    EXPECT_TRUE(Described(model, 0).empty());
    EXPECT_EQ(Described(model, 2),
              (Lines{"geometry set 0, mesh 0: 600 vertices (the engine takes at most 512)"}));
    EXPECT_EQ(Described(model, 3).size(), 2u);
}

TEST(EngineLimits, HierarchyNodesFromTheFirstSet) {
    // 63 meshes and the root: exactly as many nodes as the engine takes.
    EXPECT_TRUE(Described(Model(1, 63)).empty());
    EXPECT_EQ(Described(Model(1, 64)), (Lines{"65 hierarchy nodes (the engine takes at most 64)"}));
    // The hierarchy is written whatever the number of sets.
    EXPECT_EQ(Described(Model(2, 64), 0),
              (Lines{"65 hierarchy nodes (the engine takes at most 64)"}));
}

}  // namespace
}  // namespace kesh

// Fitting models to the engine's limits: each model is converted, fitted, written as 3DO text
// and read back with the project's 3DO reader, and the text is checked against every limit.
// Models that fit without simplifying must draw the same triangles as before fitting.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "bench/large_model.h"
#include "core/engine_limits.h"
#include "core/run.h"
#include "fit/fit.h"
#include "fit/fit_internal.h"
#include "frontend/run_messages.h"
#include "reader3do/reader3do.h"
#include "support/opt_builder.h"
#include "support/scratch_dir.h"
#include "writer3do/writer3do.h"

namespace kesh {
namespace {

using bench::LargeModelShape;
using bench::MakeLargeOpt;
using bench::TextureSize;

constexpr float kScale = 0.00243902f;
constexpr double kTolerance = 1e-4;

struct Fitted {
    OptModel plain;  // after the geometry pass alone
    OptModel model;  // after fitting
    std::vector<std::string> changes;
    std::string text;  // the 3DO as written
    Model3do read;
};

Fitted ConvertAndFit(const std::vector<uint8_t>& opt, int32_t maxGeo,
                     const std::string& outputPath = "ship.3do") {
    Fitted result;
    result.plain.LoadOptBytes(opt);
    result.plain.ConvertGeometry(kScale);
    result.model.LoadOptBytes(opt);
    result.model.ConvertGeometry(kScale);
    result.changes = FitToEngine(result.model, maxGeo, outputPath);
    result.text = Format3DO(result.model, outputPath, maxGeo);
    Read3doError error;
    EXPECT_TRUE(Read3do(result.text, result.read, error)) << Describe(error);
    return result;
}

// Every limit of the engine's loader, on the text as written and as read back.
void ExpectWithinLimits(const Fitted& fitted) {
    const Model3do& read = fitted.read;
    ASSERT_FALSE(read.geometrySets.empty());
    EXPECT_LE(read.geometrySets.size(), 4u);
    EXPECT_LE(read.nodes.size(), 64u);
    EXPECT_LE(read.baseName.size(), 31u);  // the 3DO file's own name
    const auto materials = static_cast<int32_t>(read.materials.size());
    for (const Material3do& material : read.materials) {
        EXPECT_LE(material.name.size(), 31u);
        EXPECT_GT(material.width, 0);
        EXPECT_EQ(material.width & (material.width - 1), 0) << material.name;
        EXPECT_EQ(material.height & (material.height - 1), 0) << material.name;
    }
    for (const Node3do& node : read.nodes)
        EXPECT_LE(node.name.size(), 31u);
    for (size_t g = 0; g < read.geometrySets.size(); ++g) {
        const std::vector<Mesh3do>& meshes = read.geometrySets[g].meshes;
        EXPECT_EQ(meshes.size() + 1, read.nodes.size()) << "set " << g;
        for (const Mesh3do& mesh : meshes) {
            EXPECT_LE(mesh.name.size(), 31u);
            EXPECT_LE(mesh.vertices.size(), 512u) << "set " << g << " " << mesh.name;
            EXPECT_LE(mesh.texVertices.size(), 768u) << "set " << g << " " << mesh.name;
            EXPECT_LE(mesh.faces.size(), 512u) << "set " << g << " " << mesh.name;
            EXPECT_EQ(mesh.vertexNormals.size(), mesh.vertices.size());
            for (const Face3do& face : mesh.faces) {
                EXPECT_GE(face.material, -1);
                EXPECT_LT(face.material, materials);
                for (int k = 0; k < face.cornerCount; ++k) {
                    EXPECT_LT(static_cast<size_t>(face.vertex[k]), mesh.vertices.size());
                    if (face.material >= 0) {
                        EXPECT_LT(static_cast<size_t>(face.texVertex[k]), mesh.texVertices.size());
                    }
                }
            }
        }
    }
    size_t start = 0;
    while (start < fitted.text.size()) {
        size_t end = fitted.text.find("\r\n", start);
        if (end == std::string::npos) end = fitted.text.size();
        const std::string_view line(fitted.text.data() + start, end - start);
        EXPECT_LE(line.size(), 1022u);
        if (!line.empty()) {
            EXPECT_NE(line.find_first_not_of(" \t"), std::string_view::npos);
        }
        start = end + 2;
    }
}

// A face as drawn: material, corners in model space, texture vertices.
struct DrawnFace {
    int32_t material = -1;
    std::vector<Point3> corners;
    std::vector<TexVertex> uvs;
};

bool Near(double a, double b) {
    return std::fabs(a - b) <= kTolerance * std::max(1.0, std::fabs(a));
}

bool Same(const DrawnFace& a, const DrawnFace& b) {
    if (a.material != b.material || a.corners.size() != b.corners.size()) return false;
    for (size_t k = 0; k < a.corners.size(); ++k) {
        if (!Near(a.corners[k].x, b.corners[k].x) || !Near(a.corners[k].y, b.corners[k].y) ||
            !Near(a.corners[k].z, b.corners[k].z)) {
            return false;
        }
        if (a.material >= 0 && (!Near(a.uvs[k].u, b.uvs[k].u) || !Near(a.uvs[k].v, b.uvs[k].v)))
            return false;
    }
    return true;
}

// The faces of set g before fitting, where each mesh sits at its own centre; texture
// vertices scaled as a resampled texture scales them (by the first face that uses them).
std::vector<DrawnFace> PlainFaces(const OptModel& plain, const OptModel& fitted, size_t g) {
    std::vector<DrawnFace> faces;
    for (const OptMesh& mesh : plain.lodMeshes[g]) {
        std::vector<double> scaleU(mesh.texCoords.size(), 0.0), scaleV(mesh.texCoords.size());
        for (const OptFace& face : mesh.faces) {
            DrawnFace drawn;
            drawn.material = face.textureIndex;
            for (int k = 0; k < face.vertexCount; ++k) {
                const MeshVertex& v = mesh.vertices[face.vertexIndex[k]];
                drawn.corners.push_back({static_cast<double>(v.x) + mesh.center.x,
                                         static_cast<double>(v.y) + mesh.center.y,
                                         static_cast<double>(v.z) + mesh.center.z});
                const int32_t t = face.texCoordIndex[k];
                if (scaleU[t] == 0.0) {
                    scaleU[t] = scaleV[t] = 1.0;
                    if (face.textureIndex >= 0) {
                        const Texture& before = plain.textures[face.textureIndex];
                        const Texture& after = fitted.textures[face.textureIndex];
                        scaleU[t] = static_cast<double>(after.width) / before.width;
                        scaleV[t] = static_cast<double>(after.height) / before.height;
                    }
                }
                drawn.uvs.push_back(
                    {mesh.texCoords[t].u * scaleU[t], mesh.texCoords[t].v * scaleV[t]});
            }
            faces.push_back(drawn);
        }
    }
    return faces;
}

std::vector<DrawnFace> ReadFaces(const Model3do& read, size_t g) {
    std::vector<DrawnFace> faces;
    const std::vector<Mesh3do>& meshes = read.geometrySets[g].meshes;
    for (size_t j = 0; j < meshes.size(); ++j) {
        const Point3& at = read.nodes[j + 1].position;
        for (const Face3do& face : meshes[j].faces) {
            DrawnFace drawn;
            drawn.material = face.material;
            for (int k = 0; k < face.cornerCount; ++k) {
                const Point3& v = meshes[j].vertices[face.vertex[k]];
                drawn.corners.push_back({at.x + v.x, at.y + v.y, at.z + v.z});
                drawn.uvs.push_back(face.material >= 0 ? meshes[j].texVertices[face.texVertex[k]]
                                                       : TexVertex{});
            }
            faces.push_back(drawn);
        }
    }
    return faces;
}

// Each face read back matches one face before fitting, found through a grid of the faces'
// first corners, so that neither order nor rounding at a cell's edge matters.
void ExpectSameTriangles(const Fitted& fitted, size_t sets) {
    ASSERT_EQ(fitted.read.geometrySets.size(), sets);
    for (size_t g = 0; g < sets; ++g) {
        const std::vector<DrawnFace> before = PlainFaces(fitted.plain, fitted.model, g);
        const std::vector<DrawnFace> after = ReadFaces(fitted.read, g);
        ASSERT_EQ(before.size(), after.size()) << "set " << g;
        using Cell = std::tuple<int64_t, int64_t, int64_t>;
        auto cellOf = [](const Point3& p) {
            return Cell{std::llround(std::floor(p.x * 100)), std::llround(std::floor(p.y * 100)),
                        std::llround(std::floor(p.z * 100))};
        };
        std::map<Cell, std::vector<size_t>> grid;
        for (size_t i = 0; i < before.size(); ++i)
            grid[cellOf(before[i].corners[0])].push_back(i);
        std::vector<bool> used(before.size(), false);
        size_t unmatched = 0;
        for (const DrawnFace& face : after) {
            const auto [cx, cy, cz] = cellOf(face.corners[0]);
            bool found = false;
            for (int64_t dx = -1; dx <= 1 && !found; ++dx) {
                for (int64_t dy = -1; dy <= 1 && !found; ++dy) {
                    for (int64_t dz = -1; dz <= 1 && !found; ++dz) {
                        const auto it = grid.find({cx + dx, cy + dy, cz + dz});
                        if (it == grid.end()) continue;
                        for (size_t i : it->second) {
                            if (!used[i] && Same(before[i], face)) {
                                used[i] = found = true;
                                break;
                            }
                        }
                    }
                }
            }
            unmatched += found ? 0 : 1;
        }
        EXPECT_EQ(unmatched, 0u) << "set " << g;
    }
}

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

LargeModelShape Shape(int meshes, int lods, int facesPerMesh, int textures = 2) {
    LargeModelShape shape;
    shape.meshes = meshes;
    shape.lods = lods;
    shape.faces = meshes * lods * facesPerMesh;
    shape.textures = textures;
    shape.textureSize = 64;
    return shape;
}

TEST(FitEngine, TheBundledSampleFitsAndDrawsTheSameTriangles) {
    const Fitted fitted =
        ConvertAndFit(test::ReadFileBytes(std::string(KESH_SOURCE_DIR) + "/samples/sample.opt"), 4);
    ExpectWithinLimits(fitted);
    ExpectSameTriangles(fitted, fitted.read.geometrySets.size());
}

TEST(FitEngine, OneMeshOfTwentyThousandFacesIsSplitIntoConnectedPartsThatDrawTheSame) {
    const Fitted fitted = ConvertAndFit(MakeLargeOpt(Shape(1, 1, 20000)), 1);
    ExpectWithinLimits(fitted);
    ExpectSameTriangles(fitted, 1);
    ASSERT_EQ(fitted.changes.size(), 1u);
    const size_t parts = fitted.read.geometrySets[0].meshes.size();
    EXPECT_GE(parts, 40u);  // 20,000 / 512 faces at the most
    EXPECT_EQ(fitted.changes[0], "mesh 0 split into " + std::to_string(parts) + " parts");
}

TEST(FitEngine, TenMeshesOfTwoThousandFacesInThreeLevelsSplitAlikeInEverySet) {
    const Fitted fitted = ConvertAndFit(MakeLargeOpt(Shape(10, 3, 2000)), 3);
    ExpectWithinLimits(fitted);
    ExpectSameTriangles(fitted, 3);
    EXPECT_TRUE(HasLine(fitted.changes, "mesh 9 split into 4 parts"));
}

TEST(FitEngine, TwoHundredSmallMeshesArePackedInto63NearestFirst) {
    const Fitted fitted = ConvertAndFit(MakeLargeOpt(Shape(200, 1, 100)), 1);
    ExpectWithinLimits(fitted);
    ExpectSameTriangles(fitted, 1);
    EXPECT_EQ(fitted.read.nodes.size(), 64u);
    EXPECT_EQ(fitted.changes, std::vector<std::string>{"200 meshes packed into 63"});
}

TEST(FitEngine, SixLevelsOfDetailKeepTheFirstFourAndPlaceLowerLevelsOnTheirNodes) {
    const Fitted fitted = ConvertAndFit(MakeLargeOpt(Shape(3, 6, 300)), 6);
    ExpectWithinLimits(fitted);
    ExpectSameTriangles(fitted, 4);
    EXPECT_TRUE(HasLine(fitted.changes, "2 geometry sets beyond the fourth not written"));
}

TEST(FitEngine, TexturesWhoseSidesAreNotPowersOfTwoAreResampledWithTheirTextureVertices) {
    LargeModelShape shape = Shape(2, 1, 200);
    shape.textureSizes = {TextureSize{48, 40}, TextureSize{300, 200}};
    const Fitted fitted = ConvertAndFit(MakeLargeOpt(shape), 1);
    ExpectWithinLimits(fitted);
    ExpectSameTriangles(fitted, 1);
    EXPECT_EQ(fitted.changes,
              (std::vector<std::string>{"texture 0 resampled from 48 x 40 to 64 x 32",
                                        "texture 1 resampled from 300 x 200 to 256 x 256"}));
    const Texture& texture = fitted.model.textures[1];
    ASSERT_EQ(texture.pixels.size(), 256u * 256u);
    const Texture& before = fitted.plain.textures[1];
    // Nearest texel: (x, y) of the new image takes (x * 300 / 256, y * 200 / 256).
    EXPECT_EQ(texture.pixels[255 * 256 + 255], before.pixels[199 * 300 + 298]);
    EXPECT_EQ(texture.pixels[1 * 256 + 7], before.pixels[0 * 300 + 8]);
}

TEST(FitEngine, FortyMeshesInThreeLevelsAreSimplifiedToTheBudgetAndSaySoByHowMuch) {
    const Fitted fitted = ConvertAndFit(MakeLargeOpt(Shape(40, 3, 2000)), 3);
    ExpectWithinLimits(fitted);
    ASSERT_FALSE(fitted.changes.empty());
    EXPECT_EQ(fitted.changes[0].rfind("geometry set 0 simplified from 80,000 to ", 0), 0u)
        << fitted.changes[0];
    for (const auto& set : fitted.read.geometrySets) {
        size_t faces = 0;
        for (const Mesh3do& mesh : set.meshes)
            faces += mesh.faces.size();
        EXPECT_GT(faces, 20000u);  // as much detail as the budget allows, not far less
    }
}

TEST(FitEngine, HalfAMillionFacesInOneLevelAreSimplifiedToFit) {
    const Fitted fitted = ConvertAndFit(MakeLargeOpt(Shape(1, 1, 500000, 1)), 1);
    ExpectWithinLimits(fitted);
    EXPECT_EQ(fitted.changes[0].rfind("geometry set 0 simplified from 500,000 to ", 0), 0u)
        << fitted.changes[0];
}

TEST(FitEngine, AModelWithoutTexturesWritesMaterialMinusOne) {
    const test::BuiltOpt opt =
        test::BuildOpt({.nodes = {test::Group({
                            test::Vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}),
                            test::Faces({test::Tri(0, 1, 2)}),
                        })}});
    const Fitted fitted = ConvertAndFit(opt.bytes, 1);
    ExpectWithinLimits(fitted);
    EXPECT_NE(fitted.text.find("     0:        -1  0x0002"), std::string::npos);
    EXPECT_EQ(fitted.changes, std::vector<std::string>{
                                  "faces written with material -1 (the model has no textures)"});
    // Without fitting the same face names material 0.
    EXPECT_NE(Format3DO(fitted.plain, "ship.3do", 1).find("     0:         0  0x0002"),
              std::string::npos);
}

TEST(FitEngine, ANameLongerThanTheEngineTakesIsReportedNotChanged) {
    const Fitted fitted =
        ConvertAndFit(test::ReadFileBytes(std::string(KESH_SOURCE_DIR) + "/samples/sample.opt"), 1,
                      "dir/a_ship_name_of_many_characters.3do");
    EXPECT_EQ(fitted.read.baseName, "a_ship_name_of_many_characters.3do");
    EXPECT_TRUE(HasLine(fitted.changes,
                        "file name a_ship_name_of_many_characters.3do has 34 characters (the "
                        "engine takes at most 31; not renamed)"));
}

TEST(FitEngine, TheRunFitsOnlyWhenAskedAndReportsEachChangeOnItsOwnLine) {
    test::ScratchDir dir;
    test::WriteFileBytes(dir / "big.opt", MakeLargeOpt(Shape(1, 1, 2000)));
    RunSettings settings;
    NoProgress progress;
    const std::string plain = [&] {
        RunConversion(settings, {dir / "big.opt"}, progress);
        return test::ReadFileText(dir / "big.3do");
    }();
    settings.fitEngine = true;
    const RunReport report = RunConversion(settings, {dir / "big.opt"}, progress);
    ASSERT_TRUE(report.allConverted());
    EXPECT_TRUE(report.files[0].limitWarnings.empty());
    const std::vector<std::string> lines = DescribeFile(report.files[0]);
    EXPECT_TRUE(HasLine(lines, dir / "big.opt: mesh 0 split into 4 parts"));
    EXPECT_NE(test::ReadFileText(dir / "big.3do"), plain);
}

// The steps on their own.

TEST(FitSteps, SplitPartsAreConnectedPatchesThatTakeEveryFaceOnce) {
    // A strip of 2,000 quads over shared vertices: each part is one run of the strip, closed
    // at 255 quads (512 vertices).
    OptMesh mesh;
    for (int i = 0; i <= 2000; ++i) {
        mesh.vertices.push_back({static_cast<float>(i), 0, 0});
        mesh.vertices.push_back({static_cast<float>(i), 1, 0});
    }
    mesh.texCoords.resize(1);
    for (int i = 0; i < 2000; ++i) {
        OptFace face;
        face.vertexCount = 4;
        face.vertexIndex = {2 * i, 2 * i + 2, 2 * i + 3, 2 * i + 1};
        mesh.faces.push_back(face);
    }
    const std::vector<std::vector<uint32_t>> parts = fit::SplitFaces(mesh);
    ASSERT_EQ(parts.size(), 8u);
    EXPECT_EQ(parts[0].size(), 255u);
    uint32_t next = 0;
    for (const std::vector<uint32_t>& part : parts) {
        for (uint32_t f : part)
            EXPECT_EQ(f, next++);  // a run of neighbours, in face order
    }
    EXPECT_EQ(next, 2000u);
}

TEST(FitSteps, SplitPartsKeepTheVertexNormalsOfTheWholeMesh) {
    // A bent strip: the vertices on the fold have normals averaged over both sides, which a
    // part that holds one side only would not compute again.
    OptMesh mesh;
    for (int i = 0; i <= 600; ++i) {
        const float z = i % 2 == 0 ? 0.0f : 0.5f;
        mesh.vertices.push_back({static_cast<float>(i), 0, z});
        mesh.vertices.push_back({static_cast<float>(i), 1, z});
    }
    mesh.texCoords.resize(1);
    for (int i = 0; i < 600; ++i) {
        OptFace face;
        face.vertexCount = 4;
        face.vertexIndex = {2 * i, 2 * i + 2, 2 * i + 3, 2 * i + 1};
        mesh.faces.push_back(face);
    }
    mesh.ComputeFaceNormals();
    mesh.ComputeVertexNormals();
    const std::vector<std::vector<uint32_t>> parts = fit::SplitFaces(mesh);
    ASSERT_GT(parts.size(), 1u);
    for (const std::vector<uint32_t>& faces : parts) {
        const OptMesh part = fit::ExtractFaces(mesh, faces);
        ASSERT_EQ(part.normals.size(), part.vertices.size());
        for (size_t v = 0; v < part.vertices.size(); ++v) {
            const size_t source =
                2 * static_cast<size_t>(part.vertices[v].x) + (part.vertices[v].y > 0.5f ? 1 : 0);
            EXPECT_EQ(part.normals[v].x, mesh.normals[source].x);
            EXPECT_EQ(part.normals[v].z, mesh.normals[source].z);
        }
    }
}

TEST(FitSteps, PackingMergesTheNearestNodesThatFitTogetherFirst) {
    // Nodes at x = 0, 10, 1, 11, 100: the pairs at 0-1 and 10-11 merge before anything else.
    std::vector<fit::Node> nodes;
    for (const float x : {0.0f, 10.0f, 1.0f, 11.0f, 100.0f}) {
        fit::Node& node = nodes.emplace_back();
        OptMesh& mesh = node.sets.emplace_back();
        mesh.vertices = {{x, 0, 0}, {x, 1, 0}, {x, 0, 1}};
        mesh.faces.resize(x == 11.0f ? 400 : 10);
    }
    EXPECT_EQ(fit::PlanPacking(nodes, 3), (std::vector<std::vector<size_t>>{{0, 2}, {1, 3}, {4}}));
    // Asked for fewer than can fit, it stops where nothing more fits: 430 faces at 0 to 11
    // and 200 at 100 would make 630.
    nodes[4].sets[0].faces.resize(200);
    EXPECT_EQ(fit::PlanPacking(nodes, 1).size(), 2u);
}

TEST(FitSteps, SplitClosesAPartAtTheVertexLimitForUnconnectedFaces) {
    OptMesh mesh;
    mesh.texCoords.resize(1);
    for (int i = 0; i < 400; ++i) {
        for (int k = 0; k < 3; ++k)
            mesh.vertices.push_back({static_cast<float>(i), static_cast<float>(k), 0});
        OptFace face;
        face.vertexCount = 3;
        face.vertexIndex = {3 * i, 3 * i + 1, 3 * i + 2, -1};
        mesh.faces.push_back(face);
    }
    const std::vector<std::vector<uint32_t>> parts = fit::SplitFaces(mesh);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0].size(), 170u);  // 510 vertices; one more face would make 513
    EXPECT_EQ(parts[2].size(), 60u);
}

TEST(FitSteps, SidesGoToTheNearestPowerOfTwoUpTo256) {
    EXPECT_EQ(fit::FittedSide(0), 1);
    EXPECT_EQ(fit::FittedSide(3), 4);  // a tie goes up
    EXPECT_EQ(fit::FittedSide(5), 4);
    EXPECT_EQ(fit::FittedSide(40), 32);
    EXPECT_EQ(fit::FittedSide(200), 256);
    EXPECT_EQ(fit::FittedSide(1000), 256);
}

}  // namespace
}  // namespace kesh

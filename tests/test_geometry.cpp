// The geometry pass and the mesh bounds and normals, on models built directly in memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "core/model.h"

namespace kesh {
namespace {

MeshVertex V(float x, float y, float z) {
    return MeshVertex{x, y, z, -1};
}
TexCoord T(float u, float v) {
    return TexCoord{u, v, -1};
}

OptFace Tri(int32_t a, int32_t b, int32_t c, int32_t lod = 0, int32_t texture = -1) {
    OptFace face;
    face.vertexIndex = {a, b, c, -1};
    face.texCoordIndex = {a, b, c, -1};
    face.vertexCount = 3;
    face.lod = lod;
    face.textureIndex = texture;
    return face;
}

OptFace Quad(int32_t a, int32_t b, int32_t c, int32_t d) {
    OptFace face = Tri(a, b, c);
    face.vertexIndex[3] = d;
    face.texCoordIndex[3] = d;
    face.vertexCount = 4;
    return face;
}

// A source mesh whose texture coordinates run parallel to its vertices.
OptMesh SourceMesh(std::vector<MeshVertex> vertices, std::vector<OptFace> faces) {
    OptMesh mesh;
    mesh.texCoords.assign(vertices.size(), T(0.0f, 0.0f));
    mesh.vertices = std::move(vertices);
    mesh.faces = std::move(faces);
    return mesh;
}

uint32_t Bits(float f) {
    return std::bit_cast<uint32_t>(f);
}

// Bit-exact, except that a zero may carry either sign: the sign of a zero that a cross
// product or a difference gives is not part of the result.
void ExpectFloat(float value, float expected) {
    if (expected == 0.0f) {
        EXPECT_EQ(value, 0.0f);
    } else {
        EXPECT_EQ(Bits(value), Bits(expected)) << value << " vs " << expected;
    }
}

void ExpectVec(const Vec3& v, float x, float y, float z) {
    ExpectFloat(v.x, x);
    ExpectFloat(v.y, y);
    ExpectFloat(v.z, z);
}

void ExpectVertex(const MeshVertex& v, float x, float y, float z) {
    ExpectVec(Vec3{v.x, v.y, v.z}, x, y, z);
}

// The vertex normals by their plain definition: for every vertex, a walk over every face.
std::vector<Vec3> QuadraticVertexNormals(const OptMesh& mesh) {
    std::vector<Vec3> result;
    for (size_t i = 0; i < mesh.vertices.size(); ++i) {
        Vec3 sum;
        Vec3 first{1.0f, 0.0f, 0.0f};
        bool found = false;
        for (const OptFace& face : mesh.faces) {
            for (int k = 0; k < face.vertexCount && k < 4; ++k) {
                if (face.vertexIndex[k] != static_cast<int32_t>(i)) continue;
                sum.x = static_cast<float>(static_cast<double>(sum.x) + face.normal.x);
                sum.y = static_cast<float>(static_cast<double>(sum.y) + face.normal.y);
                sum.z = static_cast<float>(static_cast<double>(sum.z) + face.normal.z);
                if (!found) {
                    first = face.normal;
                    found = true;
                }
            }
        }
        const double x = sum.x, y = sum.y, z = sum.z;
        if (std::fabs(x + y + z) > 0.001) {
            const double factor = 1.0 / std::sqrt(x * x + y * y + z * z);
            result.push_back(Vec3{static_cast<float>(x * factor), static_cast<float>(y * factor),
                                  static_cast<float>(z * factor)});
        } else {
            result.push_back(first);
        }
    }
    return result;
}

TEST(ConvertGeometry, WorkedTriangleGivesExactValues) {
    OptModel model;
    model.meshes.push_back(SourceMesh({V(0, 0, 0), V(2, 0, 0), V(0, 2, 0)}, {Tri(0, 1, 2)}));
    model.ConvertGeometry(1.0f);

    ASSERT_EQ(model.lodMeshes.size(), 1u);
    ASSERT_EQ(model.lodMeshes[0].size(), 1u);
    const OptMesh& mesh = model.lodMeshes[0][0];
    ExpectVec(mesh.center, 1.0f, -1.0f, 0.0f);
    ASSERT_EQ(mesh.vertices.size(), 3u);
    ExpectVertex(mesh.vertices[0], -1.0f, 1.0f, 0.0f);
    ExpectVertex(mesh.vertices[1], 1.0f, 1.0f, 0.0f);
    ExpectVertex(mesh.vertices[2], -1.0f, -1.0f, 0.0f);
    EXPECT_EQ(Bits(mesh.radius), Bits(static_cast<float>(std::sqrt(2.0))));
    EXPECT_EQ(mesh.radius, 1.41421354f);
    ASSERT_EQ(mesh.faces.size(), 1u);
    ExpectVec(mesh.faces[0].normal, 0.0f, 0.0f, -1.0f);
    ASSERT_EQ(mesh.normals.size(), 3u);
    for (const Vec3& n : mesh.normals)
        ExpectVec(n, 0.0f, 0.0f, -1.0f);
    // The extents are rounded to float before their length is taken, which makes the model
    // radius one step above the float nearest to the exact value; it prints as 3.695518.
    EXPECT_EQ(model.radius, 3.69551826f);
    EXPECT_NEAR(model.radius, 3.695518, 5e-7);
}

TEST(ConvertGeometry, NegatedZeroYStaysNegativeZero) {
    OptModel model;
    // Converted Y values -0, -1 and 1: the centre's Y is +0, so the first vertex keeps -0.
    model.meshes.push_back(SourceMesh({V(0, 0, 0), V(1, 1, 0), V(0, -1, 0)}, {Tri(0, 1, 2)}));
    model.ConvertGeometry(1.0f);
    const OptMesh& mesh = model.lodMeshes[0][0];
    EXPECT_FALSE(std::signbit(mesh.center.y));
    EXPECT_TRUE(std::signbit(mesh.vertices[0].y));
    EXPECT_EQ(mesh.vertices[0].y, 0.0f);
}

TEST(ConvertGeometry, ScalesAndMirrorsY) {
    OptModel model;
    model.meshes.push_back(SourceMesh({V(2, 4, 6), V(4, 8, 12), V(2, 8, 6)}, {Tri(0, 1, 2)}));
    model.ConvertGeometry(0.5f);
    const OptMesh& mesh = model.lodMeshes[0][0];
    // Converted (1, -2, 3), (2, -4, 6), (1, -4, 3); centre (1.5, -3, 4.5).
    ExpectVec(mesh.center, 1.5f, -3.0f, 4.5f);
    ExpectVertex(mesh.vertices[0], -0.5f, 1.0f, -1.5f);
    ExpectVertex(mesh.vertices[1], 0.5f, -1.0f, 1.5f);
    ExpectVertex(mesh.vertices[2], -0.5f, -1.0f, -1.5f);
}

TEST(ConvertGeometry, EmptyMeshesHaveZeroCentreAndRadiusAndCountAsZero) {
    OptModel model;
    model.meshes.push_back(SourceMesh({V(5, 5, 5)}, {}));
    model.meshes.push_back(OptMesh{});
    model.ConvertGeometry(1.0f);
    ASSERT_EQ(model.lodMeshes.size(), 1u);
    ASSERT_EQ(model.lodMeshes[0].size(), 2u);
    for (const OptMesh& mesh : model.lodMeshes[0]) {
        EXPECT_TRUE(mesh.vertices.empty());
        EXPECT_TRUE(mesh.faces.empty());
        EXPECT_TRUE(mesh.normals.empty());
        EXPECT_TRUE(mesh.texCoords.empty());
        ExpectVec(mesh.center, 0.0f, 0.0f, 0.0f);
        EXPECT_EQ(mesh.radius, 0.0f);
    }
    EXPECT_EQ(model.radius, 0.0f);
}

TEST(ConvertGeometry, NoSourceMeshesGivesEmptyListsAndTheLimitRadius) {
    OptModel model;
    model.lodCount = 3;
    model.ConvertGeometry(1.0f);
    ASSERT_EQ(model.lodMeshes.size(), 3u);
    for (const auto& list : model.lodMeshes)
        EXPECT_TRUE(list.empty());
    EXPECT_EQ(model.radius, 17318.775f);
}

TEST(ConvertGeometry, NoListsWithoutLods) {
    OptModel model;
    model.lodCount = -2;
    model.meshes.push_back(SourceMesh({V(1, 2, 3), V(4, 5, 6), V(7, 8, 0)}, {Tri(0, 1, 2)}));
    model.meshes[0].vertices[1].remap = 42;
    model.ConvertGeometry(1.0f);
    EXPECT_TRUE(model.lodMeshes.empty());
    EXPECT_EQ(model.radius, 17318.775f);
    EXPECT_EQ(model.meshes[0].vertices[1].remap, 42);  // no step ran, nothing was reset
}

TEST(ConvertGeometry, AppendsToExistingLists) {
    OptModel model;
    model.lodMeshes.resize(1);
    model.meshes.push_back(OptMesh{});
    model.ConvertGeometry(1.0f);
    ASSERT_EQ(model.lodMeshes.size(), 2u);
    EXPECT_TRUE(model.lodMeshes[0].empty());
    EXPECT_EQ(model.lodMeshes[1].size(), 1u);
}

TEST(ConvertGeometry, VerticesAreToldApartBySourceIndexOnly) {
    OptModel model;
    model.lodCount = 2;
    // Vertex 0 is used by three faces of LOD 0 and by LOD 1; vertices 3 and 4 are equal.
    model.meshes.push_back(SourceMesh({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(1, 1, 0), V(1, 1, 0)},
                                      {Tri(0, 1, 2), Tri(0, 2, 3), Tri(0, 3, 1), Tri(0, 4, 3, 1)}));
    model.ConvertGeometry(1.0f);
    const OptMesh& lod0 = model.lodMeshes[0][0];
    const OptMesh& lod1 = model.lodMeshes[1][0];
    ASSERT_EQ(lod0.vertices.size(), 4u);
    EXPECT_EQ(lod0.texCoords.size(), 4u);
    EXPECT_EQ(lod0.faces[1].vertexIndex, (std::array<int32_t, 4>{0, 2, 3, -1}));
    EXPECT_EQ(lod0.faces[2].vertexIndex, (std::array<int32_t, 4>{0, 3, 1, -1}));
    ASSERT_EQ(lod1.vertices.size(), 3u);
    EXPECT_EQ(lod1.faces[0].vertexIndex, (std::array<int32_t, 4>{0, 1, 2, -1}));
    EXPECT_EQ(lod1.faces[0].texCoordIndex, (std::array<int32_t, 4>{0, 1, 2, -1}));
    EXPECT_EQ(lod1.vertices[1].x, lod1.vertices[2].x);
    EXPECT_EQ(lod1.vertices[1].y, lod1.vertices[2].y);
    for (size_t i = 0; i < lod1.vertices.size(); ++i)
        EXPECT_EQ(lod1.vertices[i].remap, static_cast<int32_t>(i));
    EXPECT_EQ(lod1.normals.size(), 3u);
}

TEST(ConvertGeometry, FacesOutsideTheLodRangeGoNowhere) {
    OptModel model;
    model.lodCount = 2;
    model.meshes.push_back(SourceMesh({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(9, 9, 9)},
                                      {Tri(0, 1, 3, -1), Tri(0, 1, 2, 1), Tri(1, 2, 3, 2)}));
    model.ConvertGeometry(1.0f);
    EXPECT_TRUE(model.lodMeshes[0][0].faces.empty());
    ASSERT_EQ(model.lodMeshes[1][0].faces.size(), 1u);
    EXPECT_EQ(model.lodMeshes[1][0].faces[0].lod, 1);
    EXPECT_EQ(model.lodMeshes[1][0].vertices.size(), 3u);
    EXPECT_EQ(model.meshes[0].vertices[3].remap, -1);
}

TEST(ConvertGeometry, TextureCoordinatesBecomeTexelsByTheFirstFacesTexture) {
    OptModel model;
    model.textures.resize(2);
    model.textures[0].width = 64;
    model.textures[0].height = 32;
    model.textures[1].width = 256;
    model.textures[1].height = 256;
    OptMesh source = SourceMesh({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(1, 1, 0)},
                                {Tri(0, 1, 2, 0, 0), Tri(2, 1, 3, 0, 1)});
    source.texCoords = {T(0.5f, 0.25f), T(1, 1), T(0.25f, 0.5f), T(0.5f, 0.5f)};
    model.meshes.push_back(source);
    model.ConvertGeometry(1.0f);
    const OptMesh& mesh = model.lodMeshes[0][0];
    ASSERT_EQ(mesh.texCoords.size(), 4u);
    EXPECT_EQ(mesh.texCoords[0].u, 32.0f);
    EXPECT_EQ(mesh.texCoords[0].v, 8.0f);
    // Shared with the 256 x 256 face, but scaled once, by the 64 x 32 texture met first.
    EXPECT_EQ(mesh.texCoords[1].u, 64.0f);
    EXPECT_EQ(mesh.texCoords[1].v, 32.0f);
    EXPECT_EQ(mesh.texCoords[2].u, 16.0f);
    EXPECT_EQ(mesh.texCoords[3].u, 128.0f);
    EXPECT_EQ(mesh.texCoords[3].v, 128.0f);
    EXPECT_EQ(mesh.faces[1].texCoordIndex, (std::array<int32_t, 4>{2, 1, 3, -1}));
}

TEST(ConvertGeometry, TexelProductIsRoundedOnceFromDouble) {
    OptModel model;
    model.textures.resize(1);
    model.textures[0].width = 16777217;  // not a float: 2^24 + 1
    model.textures[0].height = 1;
    OptMesh source = SourceMesh({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}, {Tri(0, 1, 2, 0, 0)});
    source.texCoords[0] = T(0.75f, 0.5f);
    model.meshes.push_back(source);
    model.ConvertGeometry(1.0f);
    // 12582912.75 rounds to 12582913; a float product would give 12582912.
    EXPECT_EQ(model.lodMeshes[0][0].texCoords[0].u, 12582913.0f);
}

TEST(ConvertGeometry, SourceMeshesKeepTheirValuesAndLastLodRemaps) {
    OptModel model;
    model.lodCount = 2;
    model.textures.resize(1);
    model.textures[0].width = 8;
    model.textures[0].height = 8;
    OptMesh source = SourceMesh({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(1, 1, 1)},
                                {Tri(0, 1, 2, 0, 0), Tri(3, 2, 1, 1, 0)});
    source.texCoords = {T(0.5f, 0.5f), T(1, 0), T(0, 1), T(1, 1)};
    model.meshes.push_back(source);
    model.ConvertGeometry(2.0f);

    const OptMesh& after = model.meshes[0];
    for (size_t i = 0; i < source.vertices.size(); ++i) {
        EXPECT_EQ(after.vertices[i].x, source.vertices[i].x);
        EXPECT_EQ(after.vertices[i].y, source.vertices[i].y);
        EXPECT_EQ(after.vertices[i].z, source.vertices[i].z);
        EXPECT_EQ(after.texCoords[i].u, source.texCoords[i].u);
        EXPECT_EQ(after.texCoords[i].v, source.texCoords[i].v);
    }
    for (size_t f = 0; f < source.faces.size(); ++f) {
        EXPECT_EQ(after.faces[f].vertexIndex, source.faces[f].vertexIndex);
        ExpectVec(after.faces[f].normal, 0.0f, 0.0f, 0.0f);
    }
    // LOD 1 entered 3, 2, 1 as 0, 1, 2; vertex 0 is not used there.
    EXPECT_EQ(after.vertices[0].remap, -1);
    EXPECT_EQ(after.vertices[1].remap, 2);
    EXPECT_EQ(after.vertices[2].remap, 1);
    EXPECT_EQ(after.vertices[3].remap, 0);
    EXPECT_EQ(after.texCoords[0].remap, -1);
    EXPECT_EQ(after.texCoords[3].remap, 0);
}

TEST(ConvertGeometry, AnEmptyLastLodLeavesEveryRemapUnset) {
    OptModel model;
    model.lodCount = 3;
    model.meshes.push_back(SourceMesh({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}, {Tri(0, 1, 2, 1)}));
    model.ConvertGeometry(1.0f);
    for (const MeshVertex& v : model.meshes[0].vertices)
        EXPECT_EQ(v.remap, -1);
    for (const TexCoord& t : model.meshes[0].texCoords)
        EXPECT_EQ(t.remap, -1);
    EXPECT_EQ(model.lodMeshes[1][0].vertices.size(), 3u);
}

TEST(ConvertGeometry, IndicesOutsideTheListsReadAsOneOriginEntry) {
    OptModel model;
    model.textures.resize(1);
    model.textures[0].width = 4;
    model.textures[0].height = 4;
    OptMesh source = SourceMesh({V(2, 2, 2), V(4, 2, 2), V(2, 4, 2)}, {});
    source.texCoords = {T(0.5f, 0.5f), T(0.25f, 0.75f), T(1, 1)};
    OptFace bad = Tri(0, 99, -5);
    bad.texCoordIndex = {7, -1, 1, -1};
    bad.textureIndex = 5;  // no such texture
    OptFace good = Tri(2, 99, 1, 0, 0);
    good.texCoordIndex = {2, 1000, 0, -1};
    source.faces = {bad, good};
    model.meshes.push_back(source);
    model.ConvertGeometry(1.0f);

    const OptMesh& mesh = model.lodMeshes[0][0];
    // Vertices: 0, the stray one (shared by 99 and -5), 2, 1.
    ASSERT_EQ(mesh.vertices.size(), 4u);
    EXPECT_EQ(mesh.faces[0].vertexIndex, (std::array<int32_t, 4>{0, 1, 1, -1}));
    EXPECT_EQ(mesh.faces[1].vertexIndex, (std::array<int32_t, 4>{2, 1, 3, -1}));
    // The stray vertex was converted from (0, 0, 0) and re-centred like the others: the
    // converted box runs from (0, -4, 0) to (4, 0, 2), so its centre is (2, -2, 1).
    ExpectVec(mesh.center, 2.0f, -2.0f, 1.0f);
    ExpectVertex(mesh.vertices[1], -2.0f, 2.0f, -1.0f);
    // Texture coordinates: the stray one (shared by 7, -1 and 1000), 1, 2, 0.
    ASSERT_EQ(mesh.texCoords.size(), 4u);
    EXPECT_EQ(mesh.faces[0].texCoordIndex, (std::array<int32_t, 4>{0, 0, 1, -1}));
    EXPECT_EQ(mesh.faces[1].texCoordIndex, (std::array<int32_t, 4>{2, 0, 3, -1}));
    EXPECT_EQ(mesh.texCoords[0].u, 0.0f);
    // Met first through the face with a missing texture: left in texture units.
    EXPECT_EQ(mesh.texCoords[1].u, 0.25f);
    EXPECT_EQ(mesh.texCoords[1].v, 0.75f);
    EXPECT_EQ(mesh.texCoords[2].u, 4.0f);
    EXPECT_EQ(mesh.texCoords[3].u, 2.0f);
    EXPECT_EQ(model.meshes[0].vertices[0].remap, 0);
}

TEST(ConvertGeometry, UntexturedFaceLeavesTextureCoordinatesUnscaled) {
    OptModel model;
    OptMesh source = SourceMesh({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}, {Tri(0, 1, 2)});
    source.texCoords[1] = T(0.125f, 3.5f);
    model.meshes.push_back(source);
    model.ConvertGeometry(1.0f);
    EXPECT_EQ(model.lodMeshes[0][0].texCoords[1].u, 0.125f);
    EXPECT_EQ(model.lodMeshes[0][0].texCoords[1].v, 3.5f);
}

TEST(ConvertGeometry, OddVertexCountsTouchOnlyTheSlotsThatExist) {
    OptModel model;
    OptMesh source = SourceMesh({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(1, 1, 0)}, {});
    OptFace two = Tri(3, 2, 1);
    two.vertexCount = 2;
    OptFace many = Quad(0, 1, 2, 3);
    many.vertexCount = 9;
    OptFace none = Tri(1, 2, 3);
    none.vertexCount = -4;
    source.faces = {two, many, none};
    model.meshes.push_back(source);
    model.ConvertGeometry(1.0f);
    const OptMesh& mesh = model.lodMeshes[0][0];
    EXPECT_EQ(mesh.faces[0].vertexIndex, (std::array<int32_t, 4>{0, 1, 1, -1}));
    ExpectVec(mesh.faces[0].normal, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(mesh.faces[1].vertexIndex, (std::array<int32_t, 4>{2, 3, 1, 0}));
    EXPECT_EQ(mesh.faces[1].vertexCount, 9);
    EXPECT_EQ(mesh.faces[2].vertexIndex, (std::array<int32_t, 4>{1, 2, 3, -1}));
    EXPECT_EQ(mesh.vertices.size(), 4u);
    EXPECT_EQ(mesh.normals.size(), 4u);
}

TEST(ConvertGeometry, ManyLodsAreBuiltFromOneSortOfTheFaces) {
    // 60,000 LOD levels of one mesh with 80,000 vertices: a reset of every vertex per level,
    // or a scan of every face per level, would take billions of steps.
    constexpr int32_t kLods = 60000;
    constexpr int32_t kVertices = 80000;
    OptModel model;
    model.lodCount = kLods;
    OptMesh source;
    for (int32_t i = 0; i < kVertices; ++i)
        source.vertices.push_back(V(static_cast<float>(i % 97), static_cast<float>(i % 89), 1.0f));
    source.texCoords.assign(kVertices, T(0.5f, 0.5f));
    const int32_t lodsUsed[] = {0, 3, 30000, kLods - 1};
    for (int32_t i = 0; i + 2 < kVertices; i += 3) {
        source.faces.push_back(Tri(i, i + 1, i + 2, lodsUsed[(i / 3) % 4]));
    }
    model.meshes.push_back(source);
    model.ConvertGeometry(1.0f);

    ASSERT_EQ(model.lodMeshes.size(), static_cast<size_t>(kLods));
    size_t faces = 0;
    for (const auto& list : model.lodMeshes) {
        ASSERT_EQ(list.size(), 1u);
        faces += list[0].faces.size();
        EXPECT_EQ(list[0].vertices.size(), 3 * list[0].faces.size());
    }
    EXPECT_EQ(faces, source.faces.size());
    EXPECT_TRUE(model.lodMeshes[1][0].faces.empty());
    EXPECT_EQ(model.lodMeshes[3][0].faces.size(),
              static_cast<size_t>(std::count_if(source.faces.begin(), source.faces.end(),
                                                [](const OptFace& f) { return f.lod == 3; })));
    // Faces 3, 7, 11, ... are at the last level, which holds their vertices' remaps.
    const auto& remapped = model.meshes[0].vertices;
    EXPECT_EQ(remapped[9].remap, 0);
    EXPECT_EQ(remapped[11].remap, 2);
    EXPECT_EQ(remapped[21].remap, 3);
    EXPECT_EQ(remapped[0].remap, -1);
    EXPECT_EQ(remapped[12].remap, -1);
}

TEST(ConvertGeometry, RandomLodsMapEverySourceIndexConsistently) {
    std::mt19937 random(7);
    OptModel model;
    model.lodCount = 5;
    for (int m = 0; m < 3; ++m) {
        OptMesh source;
        for (int i = 0; i < 30; ++i)
            source.vertices.push_back(
                V(static_cast<float>(random() % 50), static_cast<float>(random() % 50), 0.5f * m));
        source.texCoords.assign(20, T(0.5f, 0.5f));
        for (int f = 0; f < 80; ++f) {
            OptFace face = Tri(random() % 30, random() % 30, random() % 30,
                               static_cast<int32_t>(random() % 7) - 1);
            face.texCoordIndex = {static_cast<int32_t>(random() % 20),
                                  static_cast<int32_t>(random() % 20),
                                  static_cast<int32_t>(random() % 20), -1};
            source.faces.push_back(face);
        }
        model.meshes.push_back(source);
    }
    const std::vector<OptMesh> sources = model.meshes;
    model.ConvertGeometry(1.0f);

    for (size_t m = 0; m < sources.size(); ++m) {
        std::vector<int32_t> lastVertex(30, -1);
        std::vector<int32_t> lastTex(20, -1);
        for (int32_t g = 0; g < model.lodCount; ++g) {
            const OptMesh& out = model.lodMeshes[g][m];
            std::vector<int32_t> vertexOf(30, -1);
            std::vector<int32_t> texOf(20, -1);
            size_t f = 0;
            for (const OptFace& in : sources[m].faces) {
                if (in.lod != g) continue;
                ASSERT_LT(f, out.faces.size());
                for (int k = 0; k < 3; ++k) {
                    const int32_t v = out.faces[f].vertexIndex[k];
                    const int32_t t = out.faces[f].texCoordIndex[k];
                    ASSERT_GE(v, 0);
                    ASSERT_LT(static_cast<size_t>(v), out.vertices.size());
                    ASSERT_LT(static_cast<size_t>(t), out.texCoords.size());
                    if (vertexOf[in.vertexIndex[k]] < 0) vertexOf[in.vertexIndex[k]] = v;
                    EXPECT_EQ(vertexOf[in.vertexIndex[k]], v);
                    if (texOf[in.texCoordIndex[k]] < 0) texOf[in.texCoordIndex[k]] = t;
                    EXPECT_EQ(texOf[in.texCoordIndex[k]], t);
                }
                ++f;
            }
            EXPECT_EQ(f, out.faces.size());
            EXPECT_EQ(out.vertices.size(),
                      static_cast<size_t>(30 - std::count(vertexOf.begin(), vertexOf.end(), -1)));
            EXPECT_EQ(out.texCoords.size(),
                      static_cast<size_t>(20 - std::count(texOf.begin(), texOf.end(), -1)));
            lastVertex = vertexOf;
            lastTex = texOf;
        }
        for (size_t i = 0; i < 30; ++i)
            EXPECT_EQ(model.meshes[m].vertices[i].remap, lastVertex[i]);
        for (size_t i = 0; i < 20; ++i)
            EXPECT_EQ(model.meshes[m].texCoords[i].remap, lastTex[i]);
    }
}

TEST(MeshBounds, EmptyMeshHasZeroCentreAndRadius) {
    OptMesh mesh;
    mesh.center = Vec3{5, 5, 5};
    mesh.radius = 5;
    mesh.ComputeCenter();
    mesh.ComputeRadius();
    mesh.ComputeFaceNormals();
    mesh.ComputeVertexNormals();
    ExpectVec(mesh.center, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(mesh.radius, 0.0f);
    EXPECT_TRUE(mesh.normals.empty());
}

TEST(MeshBounds, CentreIsClampedByTheStartingLimits) {
    OptMesh mesh;
    mesh.vertices = {V(12000, -12000, 1), V(12000, -12000, 3)};
    mesh.ComputeCenter();
    ExpectVec(mesh.center, 10999.5f, -10999.5f, 2.0f);
}

TEST(MeshBounds, RadiusIsHalfTheBoxDiagonal) {
    OptMesh mesh;
    mesh.vertices = {V(-3, 0, 0), V(1, 4, 0), V(0, -2, 0)};
    mesh.ComputeRadius();
    EXPECT_EQ(mesh.radius, 5.0f);  // largest |x| 3 and |y| 4, from different vertices
}

TEST(CrossNormal, IsBCrossAWithOneRoundingPerComponent) {
    ExpectVec(CrossNormal(Vec3{1, 0, 0}, Vec3{0, 1, 0}), 0.0f, 0.0f, -1.0f);
    // a.z * b.y = 1 + 2^-11 + 2^-24 exactly; float products would drop the 2^-24.
    const float p = 1.0f + 0x1p-12f;
    const Vec3 n = CrossNormal(Vec3{0, 1, p}, Vec3{0, p, 1});
    EXPECT_EQ(n.x, 0x1p-11f + 0x1p-24f);
}

TEST(FaceNormals, WorkedTriangle) {
    OptMesh mesh;
    mesh.vertices = {V(-1, 1, 0), V(1, 1, 0), V(-1, -1, 0)};
    mesh.faces = {Tri(0, 1, 2)};
    mesh.ComputeFaceNormals();
    ExpectVec(mesh.faces[0].normal, 0.0f, 0.0f, -1.0f);
}

// Each edge is a float before the cross product takes it up in double: carried on unrounded,
// the last component below comes out one unit higher in its last place.
TEST(FaceNormals, EdgesAreRoundedToFloatBeforeTheCrossProduct) {
    OptMesh mesh;
    mesh.vertices = {V(-0x1.1c28f6p-1f, 0x1.a3d7p-2f, -0x1.166616p+1f),
                     V(-0x1.7ae148p-3f, 0x1.a3d7p-2f, -0x1.49d688p+0f),
                     V(-0x1.7ae148p-3f, 0.0f, -0x1.275a2p-2f)};
    mesh.faces = {Tri(0, 1, 2)};
    mesh.ComputeFaceNormals();
    ExpectVec(mesh.faces[0].normal, 0x1.58624p-1f, -0x1.5e8d46p-1f, -0x1.1f73dp-2f);
}

TEST(FaceNormals, CollinearQuadTakesTheFourthCorner) {
    OptMesh mesh;
    mesh.vertices = {V(0, 0, 0), V(1, 0, 0), V(2, 0, 0), V(0, 1, 0)};
    mesh.faces = {Quad(0, 1, 2, 3)};
    mesh.ComputeFaceNormals();
    ExpectVec(mesh.faces[0].normal, 0.0f, 0.0f, 1.0f);
}

TEST(FaceNormals, FirstAcceptedPairDecidesEvenWhenALaterOneIsLonger) {
    OptMesh mesh;
    mesh.vertices = {V(0, 0, 0), V(1, 0, 0), V(0, 0, 1e-3f), V(0, 1, 0)};
    mesh.faces = {Quad(0, 1, 2, 3)};
    mesh.ComputeFaceNormals();
    ExpectVec(mesh.faces[0].normal, 0.0f, -1.0f, 0.0f);
}

TEST(FaceNormals, TinyCandidatesFallBackToTheLongestLowestSlot) {
    OptMesh mesh;
    // Slot 2 gives a length near 0.005, slot 3 near 0.008: both under the threshold.
    mesh.vertices = {V(0, 0, 0), V(1, 0, 0), V(1, 5e-9f, 0), V(1, 0, 8e-9f), V(1, 0, 5e-9f)};
    mesh.faces = {Quad(0, 1, 2, 3), Quad(0, 1, 2, 4)};
    mesh.ComputeFaceNormals();
    ExpectVec(mesh.faces[0].normal, 0.0f, -1.0f, 0.0f);
    // Equal lengths: the lower slot wins.
    ExpectVec(mesh.faces[1].normal, 0.0f, 0.0f, 1.0f);
}

TEST(FaceNormals, CoincidentCornersGiveZero) {
    OptMesh mesh;
    mesh.vertices = {V(3, 3, 3), V(3, 3, 3), V(3, 3, 3), V(0, 0, 0)};
    mesh.faces = {Tri(0, 1, 2), Tri(0, 3, 9)};  // index 9 reads as the origin
    mesh.faces[1].vertexCount = 2;
    mesh.ComputeFaceNormals();
    ExpectVec(mesh.faces[0].normal, 0.0f, 0.0f, 0.0f);
    ExpectVec(mesh.faces[1].normal, 0.0f, 0.0f, 0.0f);
    mesh.faces.pop_back();
    mesh.ComputeVertexNormals();
    ASSERT_EQ(mesh.normals.size(), 4u);
    ExpectVec(mesh.normals[0], 0.0f, 0.0f, 0.0f);
    ExpectVec(mesh.normals[3], 1.0f, 0.0f, 0.0f);  // used by no face
}

TEST(VertexNormals, ComponentsSummingToZeroTakeTheFirstFaceNormal) {
    OptMesh mesh;
    mesh.vertices = {V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(1, 1, 0)};
    mesh.faces = {Tri(0, 1, 2), Tri(0, 2, 3)};
    mesh.faces[0].normal = Vec3{0.6f, -0.8f, 0.0f};
    mesh.faces[1].normal = Vec3{0.8f, -0.6f, 0.0f};
    mesh.ComputeVertexNormals();
    ASSERT_EQ(mesh.normals.size(), 4u);
    ExpectVec(mesh.normals[0], 0.6f, -0.8f, 0.0f);
    ExpectVec(mesh.normals[2], 0.6f, -0.8f, 0.0f);
}

TEST(VertexNormals, SumIsNormalised) {
    OptMesh mesh;
    mesh.vertices = {V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)};
    mesh.faces = {Tri(0, 1, 2), Tri(0, 0, 1)};  // vertex 0 twice in the second face
    mesh.faces[0].normal = Vec3{1, 0, 0};
    mesh.faces[1].normal = Vec3{0, 1, 0};
    mesh.ComputeVertexNormals();
    const float third = static_cast<float>(1.0 / std::sqrt(5.0));
    ExpectVec(mesh.normals[0], third, 2.0f * third, 0.0f);
    ExpectVec(mesh.normals[2], 1.0f, 0.0f, 0.0f);
}

TEST(VertexNormals, ExistingNormalsAreLeft) {
    OptMesh mesh;
    mesh.vertices = {V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)};
    mesh.faces = {Tri(0, 1, 2)};
    mesh.faces[0].normal = Vec3{0, 0, 1};
    mesh.normals = {Vec3{7, 7, 7}};
    mesh.ComputeVertexNormals();
    ASSERT_EQ(mesh.normals.size(), 1u);
    ExpectVec(mesh.normals[0], 7.0f, 7.0f, 7.0f);
}

TEST(VertexNormals, OnePassMatchesThePerVertexDefinitionBitForBit) {
    std::mt19937 random(2024);
    std::uniform_real_distribution<float> component(-1.0f, 1.0f);
    for (int round = 0; round < 20; ++round) {
        OptMesh mesh;
        const int vertices = 1 + static_cast<int>(random() % 60);
        mesh.vertices.assign(static_cast<size_t>(vertices), V(0, 0, 0));
        for (int f = 0; f < 300; ++f) {
            OptFace face;
            // Some indices out of range, some repeated within a face, odd counts too.
            for (int k = 0; k < 4; ++k)
                face.vertexIndex[k] = static_cast<int32_t>(random() % (vertices + 3)) - 1;
            face.vertexCount = static_cast<int32_t>(random() % 7);
            face.normal = Vec3{component(random), component(random), component(random)};
            if (f % 17 == 0) face.normal = Vec3{0.3f, -0.3f, 0.0f};
            mesh.faces.push_back(face);
        }
        const std::vector<Vec3> expected = QuadraticVertexNormals(mesh);
        mesh.ComputeVertexNormals();
        ASSERT_EQ(mesh.normals.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(Bits(mesh.normals[i].x), Bits(expected[i].x));
            EXPECT_EQ(Bits(mesh.normals[i].y), Bits(expected[i].y));
            EXPECT_EQ(Bits(mesh.normals[i].z), Bits(expected[i].z));
        }
    }
}

}  // namespace
}  // namespace kesh

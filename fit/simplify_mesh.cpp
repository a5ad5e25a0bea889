// Simplifying a mesh with meshoptimizer.
#include <meshoptimizer.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fit/fit_internal.h"

namespace kesh::fit {

namespace {

// Meshoptimizer's error bound is relative to the mesh's extent: 1 lets the face count, not
// the error, decide where simplification stops.
constexpr float kAnyError = 1.0f;

// One corner as meshoptimizer sees it: a position with one texture vertex and one material.
// Corners that share a position but differ in either are distinct vertices at the same
// place, which meshoptimizer keeps as a seam.
struct Corner {
    int32_t vertex;
    int32_t texCoord;
    int32_t material;
};

}  // namespace

OptMesh SimplifyMesh(const OptMesh& mesh, size_t targetFaces, bool lockBorder) {
    if (mesh.faces.size() <= targetFaces) return mesh;

    // Distinct corners, found through a short list per position.
    std::vector<Corner> corners;
    std::vector<int32_t> firstAt(mesh.vertices.size(), -1);
    std::vector<int32_t> nextSame;
    std::vector<unsigned int> indices;
    indices.reserve(mesh.faces.size() * 6);
    auto cornerOf = [&](int32_t vertex, int32_t texCoord, int32_t material) {
        int32_t c = firstAt[static_cast<size_t>(vertex)];
        for (; c >= 0; c = nextSame[static_cast<size_t>(c)]) {
            const Corner& seen = corners[static_cast<size_t>(c)];
            if (seen.texCoord == texCoord && seen.material == material) return c;
        }
        c = static_cast<int32_t>(corners.size());
        corners.push_back({vertex, texCoord, material});
        nextSame.push_back(firstAt[static_cast<size_t>(vertex)]);
        firstAt[static_cast<size_t>(vertex)] = c;
        return c;
    };
    for (const OptFace& face : mesh.faces) {
        const int count = std::clamp(face.vertexCount, 0, 4);
        if (count < 3) continue;
        std::array<unsigned int, 4> c{};
        for (int k = 0; k < count; ++k) {
            c[static_cast<size_t>(k)] = static_cast<unsigned int>(
                cornerOf(face.vertexIndex[static_cast<size_t>(k)],
                         face.texCoordIndex[static_cast<size_t>(k)], face.textureIndex));
        }
        indices.insert(indices.end(), {c[0], c[1], c[2]});
        if (count == 4) indices.insert(indices.end(), {c[0], c[2], c[3]});
    }

    std::vector<float> positions(corners.size() * 3);
    for (size_t c = 0; c < corners.size(); ++c) {
        const MeshVertex& v = mesh.vertices[static_cast<size_t>(corners[c].vertex)];
        positions[3 * c] = v.x;
        positions[3 * c + 1] = v.y;
        positions[3 * c + 2] = v.z;
    }
    std::vector<unsigned int> kept(indices.size());
    const size_t keptCount = meshopt_simplify(
        kept.data(), indices.data(), indices.size(), positions.data(), corners.size(),
        3 * sizeof(float), std::min(indices.size(), targetFaces * 3), kAnyError,
        lockBorder ? static_cast<unsigned int>(meshopt_SimplifyLockBorder) : 0u, nullptr);

    // The kept triangles, with vertices and texture vertices in order of first use.
    OptMesh out;
    std::vector<int32_t> vertexMap(mesh.vertices.size(), -1);
    std::vector<int32_t> texMap(mesh.texCoords.size(), -1);
    out.faces.reserve(keptCount / 3);
    for (size_t i = 0; i + 2 < keptCount; i += 3) {
        OptFace face;
        face.vertexCount = 3;
        face.vertexIndex[3] = -1;
        face.textureIndex = corners[kept[i]].material;
        for (size_t k = 0; k < 3; ++k) {
            const Corner& corner = corners[kept[i + k]];
            int32_t& v = vertexMap[static_cast<size_t>(corner.vertex)];
            if (v < 0) {
                v = static_cast<int32_t>(out.vertices.size());
                out.vertices.push_back(mesh.vertices[static_cast<size_t>(corner.vertex)]);
            }
            face.vertexIndex[k] = v;
            int32_t t = corner.texCoord;
            if (t >= 0 && static_cast<size_t>(t) < texMap.size()) {
                int32_t& mapped = texMap[static_cast<size_t>(t)];
                if (mapped < 0) {
                    mapped = static_cast<int32_t>(out.texCoords.size());
                    out.texCoords.push_back(mesh.texCoords[static_cast<size_t>(t)]);
                }
                t = mapped;
            }
            face.texCoordIndex[k] = t;
        }
        out.faces.push_back(face);
    }
    out.ComputeFaceNormals();
    out.ComputeVertexNormals();
    return out;
}

}  // namespace kesh::fit

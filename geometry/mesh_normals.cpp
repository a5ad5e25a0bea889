// Face and vertex normals of a mesh.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "core/model.h"

namespace kesh {

namespace {

// Edges are scaled up before the cross product, so that the acceptance test below works on
// small models too: a pair passes when its plain cross product is longer than 1e-8.
constexpr double kEdgeScale = 1000.0;
constexpr double kAcceptLength = 0.01;
// A vertex whose summed normal has components summing to no more than this in magnitude
// takes the normal of the first face that uses it instead.
constexpr double kSumThreshold = 0.001;

// The slots of a face that are read: the record holds four, whatever vertexCount says.
int UsedSlots(const OptFace& face) {
    return std::clamp(face.vertexCount, 0, 4);
}

// The vertex at `index`, or the origin for an index outside the list.
MeshVertex Corner(const std::vector<MeshVertex>& vertices, int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= vertices.size()) return MeshVertex{};
    return vertices[static_cast<size_t>(index)];
}

Vec3 Edge(const MeshVertex& p, const MeshVertex& origin) {
    return Vec3{static_cast<float>(kEdgeScale * (static_cast<double>(p.x) - origin.x)),
                static_cast<float>(kEdgeScale * (static_cast<double>(p.y) - origin.y)),
                static_cast<float>(kEdgeScale * (static_cast<double>(p.z) - origin.z))};
}

double Length(const Vec3& v) {
    const double x = v.x;
    const double y = v.y;
    const double z = v.z;
    return std::sqrt(x * x + y * y + z * z);
}

Vec3 FaceNormal(const std::vector<MeshVertex>& vertices, const OptFace& face) {
    const int slots = UsedSlots(face);
    // Fewer than three corners span no plane.
    if (slots < 3) return Vec3{};
    const MeshVertex p0 = Corner(vertices, face.vertexIndex[0]);
    const MeshVertex p1 = Corner(vertices, face.vertexIndex[1]);
    const Vec3 a = Edge(p0, p1);

    Vec3 normal;
    double len = 0.0;
    double best = 0.0;
    int bestSlot = 2;
    bool accepted = false;
    for (int j = 2; j < slots; ++j) {
        normal = CrossNormal(a, Edge(Corner(vertices, face.vertexIndex[j]), p1));
        len = Length(normal);
        if (len > kAcceptLength) {
            accepted = true;
            break;
        }
        // Strictly greater: the lowest slot wins a tie.
        if (len > best) {
            best = len;
            bestSlot = j;
        }
    }
    if (!accepted) {
        normal = CrossNormal(a, Edge(Corner(vertices, face.vertexIndex[bestSlot]), p1));
        len = Length(normal);
    }
    if (len != 0.0) {
        normal.x = static_cast<float>(normal.x / len);
        normal.y = static_cast<float>(normal.y / len);
        normal.z = static_cast<float>(normal.z / len);
    }
    return normal;
}

}  // namespace

void OptMesh::ComputeFaceNormals() {
    for (OptFace& face : faces)
        face.normal = FaceNormal(vertices, face);
}

void OptMesh::ComputeVertexNormals() {
    if (!normals.empty()) return;
    const size_t count = vertices.size();
    // One walk over the faces, in face order and slot order, adds to each vertex's sum in
    // the same order as a walk over all faces per vertex would, so every float rounding of
    // the sums is the same.
    std::vector<Vec3> sums(count);
    std::vector<Vec3> firsts(count, Vec3{1.0f, 0.0f, 0.0f});
    std::vector<bool> found(count, false);
    for (const OptFace& face : faces) {
        const int slots = UsedSlots(face);
        for (int k = 0; k < slots; ++k) {
            const int32_t index = face.vertexIndex[static_cast<size_t>(k)];
            if (index < 0 || static_cast<size_t>(index) >= count) continue;
            const size_t i = static_cast<size_t>(index);
            Vec3& sum = sums[i];
            sum.x = static_cast<float>(static_cast<double>(sum.x) + face.normal.x);
            sum.y = static_cast<float>(static_cast<double>(sum.y) + face.normal.y);
            sum.z = static_cast<float>(static_cast<double>(sum.z) + face.normal.z);
            if (!found[i]) {
                firsts[i] = face.normal;
                found[i] = true;
            }
        }
    }
    normals.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const Vec3& sum = sums[i];
        const double componentSum = static_cast<double>(sum.x) + sum.y + sum.z;
        // The test is on the sum of the components, not on the length: opposite components
        // that cancel fall back to the first face's normal.
        if (std::fabs(componentSum) > kSumThreshold) {
            const double factor = 1.0 / Length(sum);
            normals.push_back(Vec3{static_cast<float>(sum.x * factor),
                                   static_cast<float>(sum.y * factor),
                                   static_cast<float>(sum.z * factor)});
        } else {
            normals.push_back(firsts[i]);
        }
    }
}

}  // namespace kesh

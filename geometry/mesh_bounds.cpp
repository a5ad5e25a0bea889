// The centre and radius of a mesh, and the cross product that the face normals use.
#include <cmath>

#include "core/model.h"

namespace kesh {

namespace {

// The bounding box starts from these limits, so it never reaches beyond them.
constexpr float kBoxLimit = 9999.0f;

}  // namespace

void OptMesh::ComputeCenter() {
    Vec3 low{kBoxLimit, kBoxLimit, kBoxLimit};
    Vec3 high{-kBoxLimit, -kBoxLimit, -kBoxLimit};
    for (const MeshVertex& v : vertices) {
        // Two independent strict tests: one vertex may move both ends of an axis.
        if (v.x > high.x) high.x = v.x;
        if (v.x < low.x) low.x = v.x;
        if (v.y > high.y) high.y = v.y;
        if (v.y < low.y) low.y = v.y;
        if (v.z > high.z) high.z = v.z;
        if (v.z < low.z) low.z = v.z;
    }
    // Without vertices the limits cancel and the centre is (0, 0, 0).
    center.x = static_cast<float>((static_cast<double>(low.x) + high.x) * 0.5);
    center.y = static_cast<float>((static_cast<double>(low.y) + high.y) * 0.5);
    center.z = static_cast<float>((static_cast<double>(low.z) + high.z) * 0.5);
}

void OptMesh::ComputeRadius() {
    if (vertices.empty()) {
        radius = 0.0f;
        return;
    }
    Vec3 largest{-1.0f, -1.0f, -1.0f};
    for (const MeshVertex& v : vertices) {
        if (std::fabs(v.x) > largest.x) largest.x = std::fabs(v.x);
        if (std::fabs(v.y) > largest.y) largest.y = std::fabs(v.y);
        if (std::fabs(v.z) > largest.z) largest.z = std::fabs(v.z);
    }
    const double x = largest.x;
    const double y = largest.y;
    const double z = largest.z;
    radius = static_cast<float>(std::sqrt(x * x + y * y + z * z));
}

Vec3 CrossNormal(const Vec3& a, const Vec3& b) {
    const double ax = a.x, ay = a.y, az = a.z;
    const double bx = b.x, by = b.y, bz = b.z;
    return Vec3{static_cast<float>(az * by - bz * ay), static_cast<float>(ax * bz - az * bx),
                static_cast<float>(ay * bx - ax * by)};
}

}  // namespace kesh

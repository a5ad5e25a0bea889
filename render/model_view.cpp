// The four views: every face of the set projected along the view direction onto the screen's
// right and up axes, split into triangles and handed to the rasteriser.
#include "render/model_view.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "render/rasterizer.h"

namespace kesh {

namespace {

struct Axis {
    double x = 0;
    double y = 0;
    double z = 0;
};

double Dot(const Axis& a, const Point3& p) {
    return a.x * p.x + a.y * p.y + a.z * p.z;
}

Axis Normalised(Axis a) {
    const double length = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
    return {a.x / length, a.y / length, a.z / length};
}

Axis Cross(const Axis& a, const Axis& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// A right-handed camera: `forward` from the eye into the scene, `right` and `up` on the screen.
struct Camera {
    Axis forward;
    Axis right;
    Axis up;
    Axis light;  // toward the light, in model axes
};

Camera CameraFor(ViewSide side) {
    Axis eye{0, 1, 0};
    Axis screenUp{0, 0, 1};
    switch (side) {
        case ViewSide::Front:
            eye = {0, 1, 0};
            break;
        case ViewSide::Side:
            eye = {1, 0, 0};
            break;
        case ViewSide::Top:
            eye = {0, 0, 1};
            screenUp = {0, 1, 0};
            break;
        case ViewSide::ThreeQuarter:
            eye = {1, 1, 0.8};
            break;
    }
    Camera camera;
    camera.forward = Normalised({-eye.x, -eye.y, -eye.z});
    camera.right = Normalised(Cross(camera.forward, screenUp));
    camera.up = Cross(camera.right, camera.forward);
    // One light, fixed above and to the left of the viewer, so that every view reads alike.
    const Axis& f = camera.forward;
    const Axis& r = camera.right;
    const Axis& u = camera.up;
    camera.light =
        Normalised({-0.8 * f.x - 0.35 * r.x + 0.5 * u.x, -0.8 * f.y - 0.35 * r.y + 0.5 * u.y,
                    -0.8 * f.z - 0.35 * r.z + 0.5 * u.z});
    return camera;
}

Point3 Placed(const Point3& p, const Point3& at) {
    return {p.x + at.x, p.y + at.y, p.z + at.z};
}

// The node that places mesh `j`: node j + 1 as written, or the origin.
Point3 MeshPosition(const Model3do& model, size_t j) {
    return j + 1 < model.nodes.size() ? model.nodes[j + 1].position : Point3{};
}

bool ValidCorners(const Face3do& face, const Mesh3do& mesh) {
    if (face.cornerCount < 3 || face.cornerCount > 4) return false;
    for (int32_t k = 0; k < face.cornerCount; ++k) {
        const int32_t v = face.vertex[static_cast<size_t>(k)];
        if (v < 0 || static_cast<size_t>(v) >= mesh.vertices.size()) return false;
    }
    return true;
}

constexpr double kAmbient = 0.35;
constexpr double kDiffuse = 0.65;
constexpr int32_t kMargin = 8;
constexpr Rgb kDivider = {70, 76, 90};

}  // namespace

void DrawView(const Model3do& model, size_t geoset, std::span<const RgbImage> materials,
              ViewSide side, RgbImage& target, Viewport area) {
    for (int32_t y = std::max(area.y, 0); y < std::min(area.y + area.height, target.height); ++y)
        for (int32_t x = std::max(area.x, 0); x < std::min(area.x + area.width, target.width); ++x)
            std::copy(kBackground.begin(), kBackground.end(), target.At(x, y));
    if (geoset >= model.geometrySets.size()) return;
    const std::vector<Mesh3do>& meshes = model.geometrySets[geoset].meshes;
    const Camera camera = CameraFor(side);

    // The extent on the screen of every finite vertex that a face uses.
    double left = std::numeric_limits<double>::infinity();
    double right = -left;
    double low = left;
    double high = -left;
    for (size_t j = 0; j < meshes.size(); ++j) {
        const Point3 at = MeshPosition(model, j);
        for (const Face3do& face : meshes[j].faces) {
            if (!ValidCorners(face, meshes[j])) continue;
            for (int32_t k = 0; k < face.cornerCount; ++k) {
                const Point3 p = Placed(meshes[j].vertices[face.vertex[k]], at);
                const double sx = Dot(camera.right, p);
                const double sy = Dot(camera.up, p);
                if (!std::isfinite(sx) || !std::isfinite(sy)) continue;
                left = std::min(left, sx);
                right = std::max(right, sx);
                low = std::min(low, sy);
                high = std::max(high, sy);
            }
        }
    }
    if (!(left <= right)) return;
    const double room = std::max(1, std::min(area.width, area.height) - 2 * kMargin);
    const double extent = std::max(right - left, high - low);
    const double scale = extent > 0 ? room / extent : 1.0;
    const double centreX = area.x + area.width / 2.0;
    const double centreY = area.y + area.height / 2.0;
    const double midX = (left + right) / 2;
    const double midY = (low + high) / 2;

    Rasterizer raster(target, area);
    for (size_t j = 0; j < meshes.size(); ++j) {
        const Mesh3do& mesh = meshes[j];
        const Point3 at = MeshPosition(model, j);
        for (const Face3do& face : mesh.faces) {
            if (!ValidCorners(face, mesh)) continue;
            const double facing = -Dot(camera.forward, face.normal);
            if (!(facing > 0)) continue;  // one-sided: its normal points away from the viewer
            const double lit = std::max(0.0, Dot(camera.light, face.normal));
            const auto shade = static_cast<float>(kAmbient + kDiffuse * std::min(lit, 1.0));

            const RgbImage* texture = nullptr;
            if (face.material >= 0 && static_cast<size_t>(face.material) < materials.size() &&
                !materials[static_cast<size_t>(face.material)].empty()) {
                texture = &materials[static_cast<size_t>(face.material)];
            }
            RasterVertex corners[4];
            for (int32_t k = 0; k < face.cornerCount; ++k) {
                const Point3 p = Placed(mesh.vertices[face.vertex[k]], at);
                RasterVertex& out = corners[k];
                out.x = static_cast<float>(centreX + (Dot(camera.right, p) - midX) * scale);
                out.y = static_cast<float>(centreY - (Dot(camera.up, p) - midY) * scale);
                out.depth = static_cast<float>(Dot(camera.forward, p));
                const int32_t t = face.texVertex[k];
                if (texture != nullptr && t >= 0 &&
                    static_cast<size_t>(t) < mesh.texVertices.size()) {
                    out.u = static_cast<float>(mesh.texVertices[t].u);
                    out.v = static_cast<float>(mesh.texVertices[t].v);
                }
            }
            raster.Triangle(corners[0], corners[1], corners[2], texture, kPlainGrey, shade);
            if (face.cornerCount == 4)
                raster.Triangle(corners[0], corners[2], corners[3], texture, kPlainGrey, shade);
        }
    }
}

RgbImage DrawSheet(const Model3do& model, size_t geoset, std::span<const RgbImage> materials,
                   int32_t size) {
    size = std::max(size, 2);
    RgbImage sheet(size, size, kBackground);
    const int32_t half = size / 2;
    const ViewSide sides[4] = {ViewSide::Front, ViewSide::Side, ViewSide::Top,
                               ViewSide::ThreeQuarter};
    for (int q = 0; q < 4; ++q) {
        const int32_t x = (q % 2) * half;
        const int32_t y = (q / 2) * half;
        const Viewport area{x, y, q % 2 == 0 ? half : size - half, q < 2 ? half : size - half};
        DrawView(model, geoset, materials, sides[q], sheet, area);
    }
    // A thin line between the quarters.
    for (int32_t k = 0; k < size; ++k) {
        std::copy(kDivider.begin(), kDivider.end(), sheet.At(half, k));
        std::copy(kDivider.begin(), kDivider.end(), sheet.At(k, half));
    }
    return sheet;
}

}  // namespace kesh

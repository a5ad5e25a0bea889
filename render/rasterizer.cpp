// Triangles by edge functions over their bounding box, evaluated at pixel centres.
#include "render/rasterizer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kesh {

namespace {

// Whole pixels from `value`, kept inside [low, high] before the conversion so that a huge
// coordinate cannot overflow it.
int32_t Clamp(float value, int32_t low, int32_t high) {
    if (!(value > static_cast<float>(low))) return low;
    if (!(value < static_cast<float>(high))) return high;
    return static_cast<int32_t>(value);
}

bool Finite(const RasterVertex& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.depth) &&
           std::isfinite(p.u) && std::isfinite(p.v);
}

// `value` modulo `size`, never negative.
int32_t Wrap(float value, int32_t size) {
    const double cell = std::floor(static_cast<double>(value));
    double r = std::fmod(cell, static_cast<double>(size));
    if (r < 0) r += size;
    return std::clamp(static_cast<int32_t>(r), 0, size - 1);
}

}  // namespace

Rasterizer::Rasterizer(RgbImage& target, Viewport area) : target_(target) {
    const int32_t x0 = std::clamp(area.x, 0, target.width);
    const int32_t y0 = std::clamp(area.y, 0, target.height);
    const int32_t x1 = std::clamp(area.x + std::max(area.width, 0), x0, target.width);
    const int32_t y1 = std::clamp(area.y + std::max(area.height, 0), y0, target.height);
    area_ = {x0, y0, x1 - x0, y1 - y0};
    depth_.assign(static_cast<size_t>(area_.width) * static_cast<size_t>(area_.height),
                  std::numeric_limits<float>::infinity());
}

void Rasterizer::Triangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c,
                          const RgbImage* texture, Rgb flat, float shade) {
    if (!Finite(a) || !Finite(b) || !Finite(c) || area_.width == 0 || area_.height == 0) return;
    const double area = (static_cast<double>(b.x) - a.x) * (static_cast<double>(c.y) - a.y) -
                        (static_cast<double>(b.y) - a.y) * (static_cast<double>(c.x) - a.x);
    if (area == 0 || !std::isfinite(area)) return;
    if (texture != nullptr && texture->empty()) texture = nullptr;
    shade = std::clamp(shade, 0.0f, 1.0f);

    const int32_t right = area_.x + area_.width - 1;
    const int32_t bottom = area_.y + area_.height - 1;
    const int32_t xMin = Clamp(std::floor(std::min({a.x, b.x, c.x})), area_.x, right);
    const int32_t xMax = Clamp(std::ceil(std::max({a.x, b.x, c.x})), area_.x, right);
    const int32_t yMin = Clamp(std::floor(std::min({a.y, b.y, c.y})), area_.y, bottom);
    const int32_t yMax = Clamp(std::ceil(std::max({a.y, b.y, c.y})), area_.y, bottom);

    // Barycentric weights of b and c as affine functions of the pixel centre.
    const double inv = 1.0 / area;
    const auto weights = [&](double px, double py, double& wb, double& wc) {
        wb = ((px - a.x) * (static_cast<double>(c.y) - a.y) -
              (py - a.y) * (static_cast<double>(c.x) - a.x)) *
             inv;
        wc = ((static_cast<double>(b.x) - a.x) * (py - a.y) -
              (static_cast<double>(b.y) - a.y) * (px - a.x)) *
             inv;
    };

    const auto scaled = [shade](uint8_t value) {
        return static_cast<uint8_t>(std::lround(value * shade));
    };
    const Rgb flatShaded = {scaled(flat[0]), scaled(flat[1]), scaled(flat[2])};

    for (int32_t y = yMin; y <= yMax; ++y) {
        for (int32_t x = xMin; x <= xMax; ++x) {
            double wb = 0;
            double wc = 0;
            weights(x + 0.5, y + 0.5, wb, wc);
            const double wa = 1.0 - wb - wc;
            if (wa < 0 || wb < 0 || wc < 0) continue;
            const auto depth = static_cast<float>(wa * a.depth + wb * b.depth + wc * c.depth);
            float& stored = depth_[static_cast<size_t>(y - area_.y) * area_.width + (x - area_.x)];
            if (!(depth < stored)) continue;
            stored = depth;
            uint8_t* out = target_.At(x, y);
            if (texture == nullptr) {
                std::copy(flatShaded.begin(), flatShaded.end(), out);
                continue;
            }
            const auto u = static_cast<float>(wa * a.u + wb * b.u + wc * c.u);
            const auto v = static_cast<float>(wa * a.v + wb * b.v + wc * c.v);
            const uint8_t* texel = texture->At(Wrap(u, texture->width), Wrap(v, texture->height));
            for (int k = 0; k < 3; ++k)
                out[k] = scaled(texel[k]);
        }
    }
}

}  // namespace kesh

// An 8-bit RGB picture, the renderer's canvas and its textures.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kesh {

using Rgb = std::array<uint8_t, 3>;

struct RgbImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;  // width x height x 3 bytes, row after row, top row first

    RgbImage() = default;
    RgbImage(int32_t w, int32_t h, Rgb fill = {0, 0, 0});

    bool empty() const { return width <= 0 || height <= 0; }
    // The pixel at (x, y); both must lie inside the image.
    uint8_t* At(int32_t x, int32_t y) {
        return pixels.data() +
               3 * (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x));
    }
    const uint8_t* At(int32_t x, int32_t y) const {
        return pixels.data() +
               3 * (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x));
    }
};

// The mean RGB distance between two pictures of the same size, over `block` x `block`
// squares of pixels (whole squares only; 0 when there is none): 1 compares pixel by pixel, a
// larger block compares the colours that the eye averages, which is what dithering keeps.
double MeanColourError(const RgbImage& a, const RgbImage& b, int32_t block);

// A rectangle of an image: columns x .. x + width - 1, rows y .. y + height - 1.
struct Viewport {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

}  // namespace kesh

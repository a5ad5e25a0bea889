// Texture images resampled to sides that are powers of two.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fit/fit_internal.h"

namespace kesh::fit {

namespace {

constexpr int32_t kLargestSide = 256;

}  // namespace

int32_t FittedSide(int32_t side) {
    if (side <= 1) return 1;
    if (side >= kLargestSide) return kLargestSide;
    int32_t low = 1;
    while (low * 2 <= side)
        low *= 2;
    const int32_t high = low * 2;
    return side - low < high - side ? low : high;
}

void ResampleTexture(Texture& texture, int32_t width, int32_t height) {
    const size_t bytes = texture.bytesPerPixel == 4 ? 4 : 1;
    const int64_t oldWidth = std::max(texture.width, 0);
    const int64_t oldHeight = std::max(texture.height, 0);
    const size_t held = texture.pixels.size() / bytes;
    if (!texture.pixels.empty()) {
        std::vector<uint8_t> image(static_cast<size_t>(width) * static_cast<size_t>(height) * bytes,
                                   0);
        for (int64_t y = 0; y < height; ++y) {
            const int64_t sourceY = y * oldHeight / height;
            for (int64_t x = 0; x < width; ++x) {
                const int64_t sourceX = x * oldWidth / width;
                const auto source = static_cast<size_t>(sourceY * oldWidth + sourceX);
                if (source >= held) continue;
                std::copy_n(texture.pixels.begin() + static_cast<ptrdiff_t>(source * bytes), bytes,
                            image.begin() + static_cast<ptrdiff_t>((y * width + x) * bytes));
            }
        }
        texture.pixels = std::move(image);
    }
    texture.width = width;
    texture.height = height;
    texture.dataSize = width * height;
}

}  // namespace kesh::fit

#include "render/rgb_image.h"

#include <algorithm>

namespace kesh {

RgbImage::RgbImage(int32_t w, int32_t h, Rgb fill) : width(std::max(w, 0)), height(std::max(h, 0)) {
    pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    for (size_t k = 0; k < pixels.size(); k += 3)
        std::copy(fill.begin(), fill.end(), pixels.begin() + static_cast<std::ptrdiff_t>(k));
}

}  // namespace kesh

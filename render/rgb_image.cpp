#include "render/rgb_image.h"

#include <algorithm>
#include <cmath>

namespace kesh {

RgbImage::RgbImage(int32_t w, int32_t h, Rgb fill) : width(std::max(w, 0)), height(std::max(h, 0)) {
    pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    for (size_t k = 0; k < pixels.size(); k += 3)
        std::copy(fill.begin(), fill.end(), pixels.begin() + static_cast<std::ptrdiff_t>(k));
}

double MeanColourError(const RgbImage& a, const RgbImage& b, int32_t block) {
    double sum = 0;
    int64_t squares = 0;
    for (int32_t y0 = 0; block > 0 && y0 + block <= a.height; y0 += block) {
        for (int32_t x0 = 0; x0 + block <= a.width; x0 += block) {
            double difference[3] = {0, 0, 0};
            for (int32_t y = y0; y < y0 + block; ++y) {
                for (int32_t x = x0; x < x0 + block; ++x) {
                    for (int c = 0; c < 3; ++c)
                        difference[c] += static_cast<int>(a.At(x, y)[c]) - b.At(x, y)[c];
                }
            }
            const double n = static_cast<double>(block) * block;
            sum += std::sqrt(difference[0] * difference[0] + difference[1] * difference[1] +
                             difference[2] * difference[2]) /
                   n;
            ++squares;
        }
    }
    return squares == 0 ? 0 : sum / static_cast<double>(squares);
}

}  // namespace kesh

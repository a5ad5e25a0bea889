#include "textures/quantise.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "textures/mat_writer.h"
#include "textures/texture_remap.h"

namespace kesh {

std::vector<uint8_t> TextureColours(const Texture& texture) {
    const auto count = static_cast<size_t>(MatImagePixels(texture));
    std::vector<uint8_t> rgb(3 * count, 0);
    const bool trueColour = texture.bytesPerPixel == 4;
    const size_t held = trueColour ? texture.pixels.size() / 4 : texture.pixels.size();
    for (size_t k = 0; k < count; ++k) {
        uint8_t* out = rgb.data() + 3 * k;
        if (trueColour) {
            if (k >= held) continue;  // black
            const uint8_t* bgra = texture.pixels.data() + 4 * k;
            out[0] = bgra[2];
            out[1] = bgra[1];
            out[2] = bgra[0];
        } else {
            const size_t entry = k < held ? texture.pixels[k] : 0;
            std::copy_n(texture.palette.data() + 3 * entry, 3, out);
        }
    }
    return rgb;
}

std::vector<uint8_t> QuantiseTexture(const Texture& texture, const ColourMap& colourMap,
                                     bool dither) {
    const std::vector<uint8_t> rgb = TextureColours(texture);
    const size_t count = rgb.size() / 3;
    if (dither && count > 0)
        return DitherToColourMap(rgb, texture.width, texture.height, colourMap);
    std::vector<uint8_t> image(count);
    if (texture.bytesPerPixel == 4) {
        NearestColourCache cache(colourMap);
        for (size_t k = 0; k < count; ++k)
            image[k] = cache.Find(rgb[3 * k], rgb[3 * k + 1], rgb[3 * k + 2]);
        return image;
    }
    const std::array<uint8_t, 256> remap = BuildRemapTable(texture.palette, colourMap);
    for (size_t k = 0; k < count; ++k)
        image[k] = remap[k < texture.pixels.size() ? texture.pixels[k] : 0];
    return image;
}

std::vector<uint8_t> DitherToColourMap(std::span<const uint8_t> rgb, int32_t width, int32_t height,
                                       const ColourMap& colourMap) {
    const auto w = static_cast<size_t>(std::max(width, 0));
    const auto h = static_cast<size_t>(std::max(height, 0));
    std::vector<uint8_t> image(w * h);
    if (w == 0 || h == 0 || rgb.size() < 3 * w * h) return image;
    const NearestColourSearch search(colourMap);
    // The error carried into this row and the next, per component, one pixel of border on
    // each side so that no neighbour needs a bounds check.
    std::vector<float> here(3 * (w + 2), 0.0f);
    std::vector<float> below(3 * (w + 2), 0.0f);
    for (size_t y = 0; y < h; ++y) {
        const bool leftToRight = y % 2 == 0;
        const int step = leftToRight ? 1 : -1;
        for (size_t i = 0; i < w; ++i) {
            const size_t x = leftToRight ? i : w - 1 - i;
            const size_t cell = 3 * (x + 1);
            std::array<float, 3> wanted{};
            std::array<uint8_t, 3> rounded{};
            for (size_t c = 0; c < 3; ++c) {
                wanted[c] = std::clamp(rgb[3 * (y * w + x) + c] + here[cell + c], 0.0f, 255.0f);
                rounded[c] = static_cast<uint8_t>(std::lround(wanted[c]));
            }
            const uint8_t index = search.Find(rounded[0], rounded[1], rounded[2]);
            image[y * w + x] = index;
            for (size_t c = 0; c < 3; ++c) {
                const float error = wanted[c] - colourMap.entries[3 * size_t{index} + c];
                here[cell + 3 * step + c] += error * (7.0f / 16.0f);
                below[cell - 3 * step + c] += error * (3.0f / 16.0f);
                below[cell + c] += error * (5.0f / 16.0f);
                below[cell + 3 * step + c] += error * (1.0f / 16.0f);
            }
        }
        std::swap(here, below);
        std::fill(below.begin(), below.end(), 0.0f);
    }
    return image;
}

}  // namespace kesh

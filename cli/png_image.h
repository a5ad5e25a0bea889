// PNG encoding of an 8-bit RGB or RGBA image, through libpng.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kesh {

struct PngImage {
    int32_t width = 0;
    int32_t height = 0;
    int32_t channels = 3;         // 3: red, green, blue; 4: red, green, blue, alpha
    std::vector<uint8_t> pixels;  // width x height x channels bytes, row after row
};

// Encodes `image` as a whole PNG file in `png`. False with a message in `error` when the
// image is empty, its buffer does not match its size, or libpng refuses it.
bool EncodePng(const PngImage& image, std::vector<uint8_t>& png, std::string& error);

}  // namespace kesh

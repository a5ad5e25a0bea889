// A texture's MAT image in memory: its colours as the MAT writer reads them, and their colour
// map indices, matched per palette entry or dithered.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/model.h"
#include "textures/colour_map.h"

namespace kesh {

// The width x height colours (red, green, blue per pixel) that the MAT image of `texture`
// stands for: 8-bit pixels through the texture's palette, 32-bit pixels without their alpha;
// missing pixels as palette entry 0 or black. Empty when the MAT holds no image
// (MatImagePixels is 0).
std::vector<uint8_t> TextureColours(const Texture& texture);

// The image bytes of the MAT of `texture` (MatImagePixels of them), as WriteMATs writes them:
// without `dither` each colour is matched to its nearest colour map entry; with it the whole
// image is diffused by DitherToColourMap.
std::vector<uint8_t> QuantiseTexture(const Texture& texture, const ColourMap& colourMap,
                                     bool dither);

// Floyd-Steinberg error diffusion of a width x height RGB image onto colour map entries 32 to
// 255, by the same squared RGB distance as FindNearest. Rows alternate direction (serpentine)
// so that the error does not drift to one side. `rgb` must hold width x height x 3 bytes.
std::vector<uint8_t> DitherToColourMap(std::span<const uint8_t> rgb, int32_t width, int32_t height,
                                       const ColourMap& colourMap);

}  // namespace kesh

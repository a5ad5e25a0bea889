// A sheet of textures, each original beside its quantised version, enlarged.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "render/rgb_image.h"

namespace kesh {

struct TexturePair {
    RgbImage original;
    RgbImage quantised;
};

// The zoom that makes the narrowest picture at least `minimumWidth` pixels wide (1 at least;
// empty pictures do not count).
int32_t ZoomForWidth(std::span<const TexturePair> pairs, int32_t minimumWidth);

// One row per pair, the original on the left and the quantised picture on the right, each
// pixel drawn as a zoom x zoom square, with a gap of background between pictures. False with
// a message when the sheet would be larger than `maxSide` pixels on a side or when there is
// nothing to draw.
bool DrawTextureSheet(std::span<const TexturePair> pairs, int32_t zoom, int32_t maxSide,
                      RgbImage& sheet, std::string& error);

}  // namespace kesh

// How the MAT writer (OptModel::WriteMATs) treats each texture.
//
// An 8-bit texture (bytesPerPixel 1, or any value but 4) is written through its remap table:
// its 256 palette entries are matched to the colour map once, and pixel k of the image is the
// table's entry for byte k of `pixels`. A 32-bit texture (bytesPerPixel 4: blue, green, red,
// alpha) has each pixel's colour matched to the colour map, alpha dropped.
//
// Damaged textures:
// - Fewer pixels than width x height (a truncated file, a small dataSize): nothing past the
//   buffer is read; each missing pixel reads as palette index 0 (8-bit) or as black (32-bit)
//   and is matched like any other pixel. A partial 32-bit pixel at the end counts as missing.
// - Width or height negative, or 140 + width x height beyond a signed 32-bit size: the file
//   is its 140-byte header alone, with width and height as stored.
// - Fewer pixels than the image needs and an image of more than kMaxPaddedImagePixels: the
//   header alone too, so a few bytes of hostile input never become gigabytes of padding.
// - The textures of one model together are padded by at most kMaxPaddedImagePixels pixels:
//   a texture whose missing pixels exceed what is left of that is written as its header
//   alone, so a file that lists one short texture many times cannot multiply the padding.
#pragma once

#include <cstdint>

#include "core/model.h"

namespace kesh {

inline constexpr int64_t kMaxPaddedImagePixels = int64_t{1} << 24;

// The number of image bytes (pixels) in the MAT of `texture` on its own; 0 for a header-only
// file. (WriteMATs may still write a header alone, to keep the model's padding limit.)
int64_t MatImagePixels(const Texture& texture);

}  // namespace kesh

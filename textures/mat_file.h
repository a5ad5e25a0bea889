// The layout of a MAT material file: a 140-byte header and one 8-bit image whose values are
// colour map indices.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kesh {

inline constexpr size_t kMatHeaderBytes = 140;
inline constexpr size_t kMatWidthOffset = 116;
inline constexpr size_t kMatHeightOffset = 120;

// The header of a MAT holding one width x height image; width and height are stored as given,
// negative ones too.
std::array<uint8_t, kMatHeaderBytes> MatHeader(int32_t width, int32_t height);

// The number of image bytes that follow the header of a width x height MAT: width x height,
// or 0 when either is negative or when the whole file (140 + width x height bytes) would not
// fit a signed 32-bit size. Such a texture is written as its header alone.
int64_t MatImageBytes(int32_t width, int32_t height);

// A MAT image read back, for viewing.
struct MatImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;  // width x height colour map indices, row after row
};

enum class MatProblem {
    None,
    TooShort,       // fewer than 140 bytes
    NotMat,         // the magic "MAT " is missing
    NotEightBit,    // the bits per pixel are not 8
    BadSize,        // width or height negative, or no image in the file
    MissingPixels,  // the file ends before width x height image bytes
};

// Checks the header of a whole MAT file against its length and takes out the image. Safe for
// any bytes: nothing is allocated before the size has been checked against the file.
MatProblem ReadMatImage(std::span<const uint8_t> bytes, MatImage& image);

// A few words for a problem, e.g. "not a MAT file (no \"MAT \" magic)"; empty for None.
const char* Describe(MatProblem problem);

}  // namespace kesh

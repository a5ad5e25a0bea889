#include "textures/mat_file.h"

#include <cstring>
#include <limits>

namespace kesh {

namespace {

constexpr size_t kMatBitsPerPixelOffset = 24;

void PutWord(std::array<uint8_t, kMatHeaderBytes>& header, size_t offset, uint32_t value) {
    header[offset] = static_cast<uint8_t>(value);
    header[offset + 1] = static_cast<uint8_t>(value >> 8);
    header[offset + 2] = static_cast<uint8_t>(value >> 16);
    header[offset + 3] = static_cast<uint8_t>(value >> 24);
}

int32_t GetInt(std::span<const uint8_t> bytes, size_t offset) {
    uint32_t value = uint32_t{bytes[offset]} | uint32_t{bytes[offset + 1]} << 8 |
                     uint32_t{bytes[offset + 2]} << 16 | uint32_t{bytes[offset + 3]} << 24;
    return static_cast<int32_t>(value);
}

}  // namespace

std::array<uint8_t, kMatHeaderBytes> MatHeader(int32_t width, int32_t height) {
    std::array<uint8_t, kMatHeaderBytes> header{};  // every field not set below is 0
    std::memcpy(header.data(), "MAT ", 4);
    PutWord(header, 4, 50);
    PutWord(header, 8, 2);
    PutWord(header, 12, 1);
    PutWord(header, 16, 1);
    PutWord(header, kMatBitsPerPixelOffset, 8);
    PutWord(header, 76, 8);
    for (size_t offset = 84; offset < 100; offset += 4)
        PutWord(header, offset, 0x3F800000u);
    // A float of about -1.9337313, written as its exact bit pattern.
    PutWord(header, 108, 0xBFF78482u);
    PutWord(header, kMatWidthOffset, static_cast<uint32_t>(width));
    PutWord(header, kMatHeightOffset, static_cast<uint32_t>(height));
    PutWord(header, 136, 1);
    return header;
}

int64_t MatImageBytes(int32_t width, int32_t height) {
    if (width < 0 || height < 0) return 0;
    int64_t bytes = int64_t{width} * height;
    if (bytes > std::numeric_limits<int32_t>::max() - static_cast<int64_t>(kMatHeaderBytes)) {
        return 0;
    }
    return bytes;
}

MatProblem ReadMatImage(std::span<const uint8_t> bytes, MatImage& image) {
    if (bytes.size() < kMatHeaderBytes) return MatProblem::TooShort;
    if (std::memcmp(bytes.data(), "MAT ", 4) != 0) return MatProblem::NotMat;
    if (GetInt(bytes, kMatBitsPerPixelOffset) != 8) return MatProblem::NotEightBit;
    int32_t width = GetInt(bytes, kMatWidthOffset);
    int32_t height = GetInt(bytes, kMatHeightOffset);
    if (width < 0 || height < 0) return MatProblem::BadSize;
    int64_t count = MatImageBytes(width, height);
    if (count != int64_t{width} * height) return MatProblem::BadSize;
    // Compared by subtraction, so a huge claimed size cannot overflow.
    if (static_cast<uint64_t>(count) > bytes.size() - kMatHeaderBytes) {
        return MatProblem::MissingPixels;
    }
    image.width = width;
    image.height = height;
    const uint8_t* first = bytes.data() + kMatHeaderBytes;
    image.pixels.assign(first, first + count);
    return MatProblem::None;
}

const char* Describe(MatProblem problem) {
    switch (problem) {
        case MatProblem::None:
            return "";
        case MatProblem::TooShort:
            return "too short for a MAT header (140 bytes)";
        case MatProblem::NotMat:
            return "not a MAT file (no \"MAT \" magic)";
        case MatProblem::NotEightBit:
            return "not an 8-bit MAT image";
        case MatProblem::BadSize:
            return "the image size in the header is negative or too large";
        case MatProblem::MissingPixels:
            return "the file ends before the image that its header describes";
    }
    return "unknown problem";
}

}  // namespace kesh

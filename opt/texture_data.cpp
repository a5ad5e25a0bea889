// Reading what the texture nodes point at: the palette chosen by the model's palette offset,
// the pixels, and the number written in a texture reference name.
#include <algorithm>
#include <cstring>
#include <limits>
#include <string_view>

#include "core/settings.h"
#include "opt/opt_reader.h"

namespace kesh {

namespace {

constexpr int64_t kMaxImageBytes = std::numeric_limits<int32_t>::max();

// Colours are 16 bits, red in bits 15-11, green in 10-5, blue in 4-0; each component keeps its
// bits at the top of its byte and the low bits are zero.
void ReadPalette(ByteCursor& cursor, const OptModel& model, Texture& texture) {
    cursor.Seek(static_cast<int64_t>(texture.paletteBlock) + model.paletteOffset);
    // The whole colours the file holds, up to 256; a palette cut short keeps them.
    size_t taken = 0;
    const uint8_t* colours = cursor.TakeEntries<2>(256, taken);
    for (size_t entry = 0; entry < taken; ++entry) {
        const uint32_t v = uint32_t{colours[2 * entry]} | uint32_t{colours[2 * entry + 1]} << 8;
        texture.palette[3 * entry] = static_cast<uint8_t>((v >> 8) & 0xF8);
        texture.palette[3 * entry + 1] = static_cast<uint8_t>((v >> 3) & 0xFC);
        texture.palette[3 * entry + 2] = static_cast<uint8_t>((v << 3) & 0xFF);
    }
}

// Decides the layout and byte count of the texture's top image from its width, height,
// dataSize and the byte count of all its pixel data; -1 when the size is unusable.
int64_t ImageBytes(Texture& texture, int32_t pixelByteCount) {
    const int64_t width = texture.width;
    const int64_t height = texture.height;
    if (width < 0 || height < 0 || width * height > kMaxImageBytes) return -1;
    const int64_t pixels = width * height;
    if (pixels > 0 && pixelByteCount >= 4 * pixels) {
        texture.bytesPerPixel = 4;  // blue, green, red, alpha
        return 4 * pixels <= kMaxImageBytes ? 4 * pixels : -1;
    }
    // Editors store a dataSize of 0 for an 8-bit texture without mip-maps: the top image is
    // still the first width x height bytes.
    return std::max<int64_t>(texture.dataSize, pixels);
}

}  // namespace

int32_t TextureReferenceNumber(const uint8_t (&name)[9]) {
    const auto* text = reinterpret_cast<const char*>(name);
    const size_t length = std::find(name, name + 9, 0) - name;
    if (length <= 3) return 0;
    return TextToInt(std::string_view(text + 3, length - 3));
}

bool ReadTextureData(ByteCursor& cursor, OptModel& model,
                     std::span<const int32_t> pixelByteCounts) {
    bool damaged = false;
    for (size_t i = 0; i < model.textures.size(); ++i) {
        Texture& texture = model.textures[i];
        ReadPalette(cursor, model, texture);
        const int64_t count =
            ImageBytes(texture, i < pixelByteCounts.size() ? pixelByteCounts[i] : 0);
        if (count < 0) {
            texture.dataSize = 0;
            damaged = true;
            continue;
        }
        texture.dataSize = static_cast<int32_t>(count);
        cursor.Seek(texture.dataPosition);
        // Never more than the file holds: a short image keeps what was there.
        const std::span<const uint8_t> pixels = cursor.ReadAvailable(static_cast<size_t>(count));
        if (model.readPixels) texture.pixels.assign(pixels.begin(), pixels.end());
        if (static_cast<int64_t>(pixels.size()) < count) damaged = true;
    }
    return damaged;
}

}  // namespace kesh

#include "textures/mat_writer.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "core/output_file.h"
#include "core/paths.h"
#include "textures/colour_map.h"
#include "textures/mat_file.h"
#include "textures/texture_remap.h"
#include "writer3do/material_name.h"

namespace kesh {

namespace {

// The file is built and written in blocks of this size, the first one opening with the header.
constexpr size_t kBlockBytes = 64 * 1024;

bool IsTrueColour(const Texture& texture) {
    return texture.bytesPerPixel == 4;
}

// Pixels that `pixels` holds in full.
int64_t PixelsHeld(const Texture& texture) {
    size_t size = texture.pixels.size();
    return static_cast<int64_t>(IsTrueColour(texture) ? size / 4 : size);
}

// How many of the `count` pixels from pixel `first` on the buffer holds.
size_t PresentIn(const Texture& texture, int64_t first, size_t count) {
    int64_t held = PixelsHeld(texture);
    if (first >= held) return 0;
    return static_cast<size_t>(std::min<int64_t>(held - first, static_cast<int64_t>(count)));
}

// Fills `out` with image bytes first .. first + out.size() - 1.
void FillIndexed(const Texture& texture, const std::array<uint8_t, 256>& remapTable, int64_t first,
                 std::span<uint8_t> out) {
    size_t present = PresentIn(texture, first, out.size());
    for (size_t k = 0; k < present; ++k) {
        out[k] = remapTable[texture.pixels[static_cast<size_t>(first) + k]];
    }
    std::fill(out.begin() + present, out.end(), remapTable[0]);
}

void FillTrueColour(const Texture& texture, NearestColourCache& cache, int64_t first,
                    std::span<uint8_t> out) {
    size_t present = PresentIn(texture, first, out.size());
    for (size_t k = 0; k < present; ++k) {
        const uint8_t* bgra = texture.pixels.data() + 4 * (static_cast<size_t>(first) + k);
        out[k] = cache.Find(bgra[2], bgra[1], bgra[0]);
    }
    if (present < out.size()) std::fill(out.begin() + present, out.end(), cache.Find(0, 0, 0));
}

StageResult WriteMat(const Texture& texture, const ColourMap& colourMap, const std::string& name,
                     int64_t imageBytes, std::optional<NearestColourCache>& cache) {
    std::array<uint8_t, 256> remapTable{};
    if (IsTrueColour(texture)) {
        if (!cache) cache.emplace(colourMap);
    } else {
        remapTable = BuildRemapTable(texture.palette, colourMap);
    }

    OutputFile file;
    if (StageResult opened = file.Open(name); !opened) return opened;

    std::array<uint8_t, kMatHeaderBytes> header = MatHeader(texture.width, texture.height);
    int64_t total = static_cast<int64_t>(kMatHeaderBytes) + imageBytes;
    std::vector<uint8_t> block(static_cast<size_t>(std::min<int64_t>(total, kBlockBytes)));
    std::memcpy(block.data(), header.data(), header.size());
    size_t filled = header.size();
    int64_t next = 0;  // the image byte that goes next into the block
    while (true) {
        size_t room = std::min<int64_t>(block.size() - filled, imageBytes - next);
        std::span<uint8_t> out(block.data() + filled, room);
        if (IsTrueColour(texture)) {
            FillTrueColour(texture, *cache, next, out);
        } else {
            FillIndexed(texture, remapTable, next, out);
        }
        next += static_cast<int64_t>(room);
        if (StageResult written = file.Write(block.data(), filled + room); !written) {
            return written;
        }
        if (next >= imageBytes) break;
        filled = 0;
    }
    return file.Commit();
}

}  // namespace

int64_t MatImagePixels(const Texture& texture) {
    int64_t bytes = MatImageBytes(texture.width, texture.height);
    if (PixelsHeld(texture) < bytes && bytes > kMaxPaddedImagePixels) return 0;
    return bytes;
}

std::vector<OutputFailure> OptModel::WriteMATs(const ColourMap& colourMap, const char* outputPath,
                                               std::string_view directory) const {
    const std::string_view names = MaterialSource(*this, BaseName(outputPath ? outputPath : ""));
    std::string folder(directory);
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
    // Missing pixels padded so far may not exceed one image's limit for the whole model: a
    // file can list one short texture thousands of times.
    int64_t paddingLeft = kMaxPaddedImagePixels;
    std::optional<NearestColourCache> cache;  // for 32-bit textures, made at the first
    std::vector<OutputFailure> failures;
    for (size_t i = 0; i < textures.size(); ++i) {
        int64_t imageBytes = MatImagePixels(textures[i]);
        const int64_t missing = std::max<int64_t>(0, imageBytes - PixelsHeld(textures[i]));
        if (missing > paddingLeft) {
            imageBytes = 0;
        } else {
            paddingLeft -= missing;
        }
        // Without a folder the names are bare: the files land in the current directory.
        const std::string name = folder + MaterialName(names, static_cast<int32_t>(i));
        StageResult written = WriteMat(textures[i], colourMap, name, imageBytes, cache);
        if (!written) failures.push_back({name, std::move(written)});
    }
    return failures;
}

}  // namespace kesh

#include "textures/colour_map.h"

#include <cstring>

#include "core/read_file.h"

namespace kesh {

StageResult ColourMap::Load(const char* path) {
    // Only the first 832 bytes matter.
    FileBytes file;
    if (StageResult read = ReadFile(path, file, kColourMapFileBytes); !read) return read;
    return LoadBytes(file.span());
}

StageResult ColourMap::LoadBytes(std::span<const uint8_t> bytes) {
    StageResult result;
    result.damaged = bytes.size() < kColourMapFileBytes;
    if (bytes.size() <= kColourMapHeaderBytes) return result;
    size_t count = bytes.size() - kColourMapHeaderBytes;
    if (count > entries.size()) count = entries.size();
    // Whole bytes of a cut-off entry are taken too; the rest of the map keeps its content.
    std::memcpy(entries.data(), bytes.data() + kColourMapHeaderBytes, count);
    return result;
}

uint8_t ColourMap::FindNearest(uint8_t red, uint8_t green, uint8_t blue) const {
    // Larger than any distance that can occur (3 * 255^2), so entry 32 always wins first.
    int32_t bestDistance = 3 * 257 * 257;
    int32_t best = 0;
    for (int32_t i = 32; i < 256; ++i) {
        int32_t dr = int32_t{red} - entries[3 * i];
        int32_t dg = int32_t{green} - entries[3 * i + 1];
        int32_t db = int32_t{blue} - entries[3 * i + 2];
        int32_t d = dr * dr + dg * dg + db * db;
        // Strictly less: among equally near entries the lowest index stays.
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return static_cast<uint8_t>(best);
}

}  // namespace kesh

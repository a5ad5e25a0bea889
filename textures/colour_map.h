// The 256-colour CMP colour map that every MAT image of a batch indexes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/result.h"

namespace kesh {

// Size of a CMP file's header, skipped unread, and of the whole part that is read.
inline constexpr size_t kColourMapHeaderBytes = 64;
inline constexpr size_t kColourMapFileBytes = 64 + 768;

class ColourMap {
  public:
    // 256 entries of red, green, blue; entry i at bytes 3i .. 3i+2. Starts cleared (black).
    std::array<uint8_t, 768> entries{};

    // Fills the map from a CMP file: 64 header bytes skipped, then up to 256 entries.
    // CannotOpen when the file does not open (the map is unchanged). A file shorter than
    // 832 bytes fills what it holds, keeps the rest, and the result is marked damaged.
    StageResult Load(const char* path);
    // The same from the bytes of a whole CMP file.
    StageResult LoadBytes(std::span<const uint8_t> bytes);

    // The entry from 32 to 255 nearest to the colour by squared RGB distance; the lowest
    // index wins a tie. Entries 0 to 31 are never chosen.
    uint8_t FindNearest(uint8_t red, uint8_t green, uint8_t blue) const;
};

static_assert(sizeof(ColourMap) == 768, "a colour map is exactly its 256 entries");

}  // namespace kesh

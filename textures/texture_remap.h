// Matching a texture's colours to the colour map.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "textures/colour_map.h"

namespace kesh {

// Entry j is the colour map entry nearest to palette entry j (256 searches, whatever the
// texture's size).
std::array<uint8_t, 256> BuildRemapTable(const std::array<uint8_t, 768>& palette,
                                         const ColourMap& colourMap);

// FindNearest for many pixels of true colour: remembers the answers in a direct-mapped table
// of 2^15 slots keyed by the 24-bit colour, so an image of a few hundred colours costs a few
// hundred searches. Always gives the same answer as FindNearest itself.
class NearestColourCache {
  public:
    explicit NearestColourCache(const ColourMap& colourMap);

    uint8_t Find(uint8_t red, uint8_t green, uint8_t blue);

    // Number of searches of the colour map made so far.
    int64_t searches() const { return searches_; }

  private:
    const ColourMap* colourMap_;
    // The colour in bits 8..31 and its answer in bits 0..7. An answer is never below 32, so
    // 0 marks an empty slot.
    std::vector<uint32_t> slots_;
    int64_t searches_ = 0;
};

}  // namespace kesh

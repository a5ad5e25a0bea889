// Matching a texture's colours to the colour map.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "textures/colour_map.h"

namespace kesh {

// ColourMap::FindNearest, the same answer for every colour, four entries at a time: the
// entries from 32 on are held one component per array, as floats (squared distances of 8-bit
// components stay far below 2^24, so float arithmetic on them is exact).
class NearestColourSearch {
  public:
    explicit NearestColourSearch(const ColourMap& colourMap);

    uint8_t Find(uint8_t red, uint8_t green, uint8_t blue) const;

  private:
    static constexpr size_t kFirst = 32;
    static constexpr size_t kCount = 256 - kFirst;

    alignas(16) std::array<float, kCount> red_;
    alignas(16) std::array<float, kCount> green_;
    alignas(16) std::array<float, kCount> blue_;
};

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
    NearestColourSearch search_;
    // The colour in bits 8..31 and its answer in bits 0..7. An answer is never below 32, so
    // 0 marks an empty slot.
    std::vector<uint32_t> slots_;
    int64_t searches_ = 0;
};

}  // namespace kesh

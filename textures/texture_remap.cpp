#include "textures/texture_remap.h"

namespace kesh {

namespace {

constexpr int kCacheBits = 15;

}  // namespace

std::array<uint8_t, 256> BuildRemapTable(const std::array<uint8_t, 768>& palette,
                                         const ColourMap& colourMap) {
    std::array<uint8_t, 256> table{};
    for (size_t j = 0; j < table.size(); ++j) {
        table[j] = colourMap.FindNearest(palette[3 * j], palette[3 * j + 1], palette[3 * j + 2]);
    }
    return table;
}

NearestColourCache::NearestColourCache(const ColourMap& colourMap)
    : colourMap_(&colourMap), slots_(size_t{1} << kCacheBits, 0) {}

uint8_t NearestColourCache::Find(uint8_t red, uint8_t green, uint8_t blue) {
    uint32_t colour = uint32_t{red} << 16 | uint32_t{green} << 8 | blue;
    // Fibonacci hashing spreads neighbouring colours over the whole table.
    size_t slot = (colour * 0x9E3779B1u) >> (32 - kCacheBits);
    uint32_t key = colour << 8;
    uint32_t held = slots_[slot];
    if (held != 0 && (held & ~uint32_t{0xFF}) == key) return static_cast<uint8_t>(held);
    uint8_t nearest = colourMap_->FindNearest(red, green, blue);
    ++searches_;
    slots_[slot] = key | nearest;
    return nearest;
}

}  // namespace kesh

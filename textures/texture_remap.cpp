#include "textures/texture_remap.h"

#include <cstring>

namespace kesh {

namespace {

constexpr int kCacheBits = 15;

// Four lanes: the width of the vector registers that every x86-64 processor has.
typedef float Floats __attribute__((vector_size(16)));
typedef int32_t Ints __attribute__((vector_size(16)));
constexpr size_t kLanes = sizeof(Floats) / sizeof(float);

Floats LoadFloats(const float* from) {
    Floats lanes;
    std::memcpy(&lanes, from, sizeof lanes);
    return lanes;
}

}  // namespace

NearestColourSearch::NearestColourSearch(const ColourMap& colourMap) {
    static_assert(kCount % kLanes == 0);
    for (size_t i = 0; i < kCount; ++i) {
        red_[i] = colourMap.entries[3 * (kFirst + i)];
        green_[i] = colourMap.entries[3 * (kFirst + i) + 1];
        blue_[i] = colourMap.entries[3 * (kFirst + i) + 2];
    }
}

uint8_t NearestColourSearch::Find(uint8_t red, uint8_t green, uint8_t blue) const {
    const Floats r = Floats{} + static_cast<float>(red);
    const Floats g = Floats{} + static_cast<float>(green);
    const Floats b = Floats{} + static_cast<float>(blue);
    // Each lane keeps the nearest of its own entries; strictly nearer only, so a lane keeps
    // the lowest of its equally near entries.
    Floats least = Floats{} + 1e9f;
    Ints leastAt = {};
    Ints index = {0, 1, 2, 3};
    for (size_t i = 0; i < kCount; i += kLanes) {
        const Floats dr = LoadFloats(&red_[i]) - r;
        const Floats dg = LoadFloats(&green_[i]) - g;
        const Floats db = LoadFloats(&blue_[i]) - b;
        const Floats distance = dr * dr + dg * dg + db * db;
        const Ints nearer = distance < least;
        least = reinterpret_cast<Floats>((reinterpret_cast<Ints>(distance) & nearer) |
                                         (reinterpret_cast<Ints>(least) & ~nearer));
        leastAt = (index & nearer) | (leastAt & ~nearer);
        index += static_cast<int32_t>(kLanes);
    }
    // Then the nearest of the lanes, the lowest index among equally near ones.
    float best = least[0];
    int32_t bestAt = leastAt[0];
    for (size_t lane = 1; lane < kLanes; ++lane) {
        if (least[lane] < best || (least[lane] == best && leastAt[lane] < bestAt)) {
            best = least[lane];
            bestAt = leastAt[lane];
        }
    }
    return static_cast<uint8_t>(kFirst + static_cast<size_t>(bestAt));
}

std::array<uint8_t, 256> BuildRemapTable(const std::array<uint8_t, 768>& palette,
                                         const ColourMap& colourMap) {
    const NearestColourSearch search(colourMap);
    std::array<uint8_t, 256> table{};
    for (size_t j = 0; j < table.size(); ++j) {
        table[j] = search.Find(palette[3 * j], palette[3 * j + 1], palette[3 * j + 2]);
    }
    return table;
}

NearestColourCache::NearestColourCache(const ColourMap& colourMap)
    : search_(colourMap), slots_(size_t{1} << kCacheBits, 0) {}

uint8_t NearestColourCache::Find(uint8_t red, uint8_t green, uint8_t blue) {
    uint32_t colour = uint32_t{red} << 16 | uint32_t{green} << 8 | blue;
    // Fibonacci hashing spreads neighbouring colours over the whole table.
    size_t slot = (colour * 0x9E3779B1u) >> (32 - kCacheBits);
    uint32_t key = colour << 8;
    uint32_t held = slots_[slot];
    if (held != 0 && (held & ~uint32_t{0xFF}) == key) return static_cast<uint8_t>(held);
    uint8_t nearest = search_.Find(red, green, blue);
    ++searches_;
    slots_[slot] = key | nearest;
    return nearest;
}

}  // namespace kesh

// The colour map: loading CMP files, the nearest-colour search, and the matching of texture
// colours to the map.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "support/scratch_dir.h"
#include "textures/colour_map.h"
#include "textures/texture_remap.h"

namespace kesh {
namespace {

using test::ScratchDir;
using test::WriteFileBytes;

void SetEntry(ColourMap& map, int i, uint8_t r, uint8_t g, uint8_t b) {
    map.entries[3 * i] = r;
    map.entries[3 * i + 1] = g;
    map.entries[3 * i + 2] = b;
}

ColourMap MapOf(uint8_t r, uint8_t g, uint8_t b) {
    ColourMap map;
    for (int i = 0; i < 256; ++i)
        SetEntry(map, i, r, g, b);
    return map;
}

// A CMP file of `size` bytes: header bytes 0xEE, then byte k of the entries is k * 7 + 1.
std::vector<uint8_t> CmpBytes(size_t size) {
    std::vector<uint8_t> bytes(size, 0xEE);
    for (size_t k = 64; k < size; ++k)
        bytes[k] = static_cast<uint8_t>((k - 64) * 7 + 1);
    return bytes;
}

ColourMap Prefilled() {
    ColourMap map;
    map.entries.fill(0xAA);
    return map;
}

TEST(ColourMap, StartsCleared) {
    ColourMap map;
    for (uint8_t byte : map.entries)
        ASSERT_EQ(byte, 0);
}

TEST(ColourMapLoad, AFullFileFillsEveryEntryAndIgnoresTheHeaderAndTheRest) {
    for (size_t size : {size_t{832}, size_t{1000}}) {
        ColourMap map = Prefilled();
        StageResult result = map.LoadBytes(CmpBytes(size));
        EXPECT_TRUE(result.ok());
        EXPECT_FALSE(result.damaged) << size;
        for (size_t k = 0; k < 768; ++k) {
            ASSERT_EQ(map.entries[k], static_cast<uint8_t>(k * 7 + 1)) << size << " " << k;
        }
    }
}

TEST(ColourMapLoad, AShortFileFillsWhatItHoldsAndKeepsTheRest) {
    // size -> number of map bytes the file supplies
    const std::pair<size_t, size_t> cases[] = {{0, 0},  {10, 0},   {64, 0},
                                               {65, 1}, {100, 36}, {831, 767}};
    for (auto [size, supplied] : cases) {
        ColourMap map = Prefilled();
        StageResult result = map.LoadBytes(CmpBytes(size));
        EXPECT_TRUE(result.ok()) << size;
        EXPECT_TRUE(result.damaged) << size;
        for (size_t k = 0; k < 768; ++k) {
            uint8_t expected = k < supplied ? static_cast<uint8_t>(k * 7 + 1) : 0xAA;
            ASSERT_EQ(map.entries[k], expected) << size << " " << k;
        }
    }
}

TEST(ColourMapLoad, ReadsFilesLikeBytes) {
    ScratchDir dir;
    for (size_t size : {size_t{0}, size_t{64}, size_t{100}, size_t{831}, size_t{832}}) {
        std::string path = dir / ("map" + std::to_string(size) + ".cmp");
        WriteFileBytes(path, CmpBytes(size));
        ColourMap fromFile = Prefilled();
        ColourMap fromBytes = Prefilled();
        StageResult fileResult = fromFile.Load(path.c_str());
        StageResult bytesResult = fromBytes.LoadBytes(CmpBytes(size));
        EXPECT_TRUE(fileResult.ok()) << size;
        EXPECT_EQ(fileResult.damaged, bytesResult.damaged) << size;
        EXPECT_EQ(fromFile.entries, fromBytes.entries) << size;
    }
}

TEST(ColourMapLoad, AFileThatDoesNotOpenLeavesTheMapUnchanged) {
    ScratchDir dir;
    ColourMap map = Prefilled();
    StageResult missing = map.Load((dir / "missing.cmp").c_str());
    EXPECT_EQ(missing.failure, Failure::CannotOpen);
    EXPECT_EQ(missing.systemError, ENOENT);

    StageResult empty = map.Load("");
    EXPECT_EQ(empty.failure, Failure::CannotOpen);

    StageResult directory = map.Load(dir.path().c_str());
    EXPECT_EQ(directory.failure, Failure::CannotOpen);
    EXPECT_EQ(directory.systemError, EISDIR);

    for (uint8_t byte : map.entries)
        ASSERT_EQ(byte, 0xAA);
}

TEST(FindNearest, AMapOfOneColourGivesEntry32) {
    ColourMap map = MapOf(90, 60, 30);
    EXPECT_EQ(map.FindNearest(90, 60, 30), 32);
    EXPECT_EQ(map.FindNearest(0, 0, 0), 32);
    EXPECT_EQ(map.FindNearest(255, 255, 255), 32);
}

TEST(FindNearest, NeverChoosesEntriesBelow32) {
    ColourMap map = MapOf(0, 0, 0);
    SetEntry(map, 5, 10, 20, 30);
    SetEntry(map, 200, 10, 20, 30);
    EXPECT_EQ(map.FindNearest(10, 20, 30), 200);

    // Exact only below 32: the nearest from 32 on wins.
    ColourMap near = MapOf(0, 0, 0);
    SetEntry(near, 10, 200, 100, 50);
    SetEntry(near, 77, 190, 100, 50);
    SetEntry(near, 78, 180, 100, 50);
    EXPECT_EQ(near.FindNearest(200, 100, 50), 77);
}

TEST(FindNearest, TheLowestIndexWinsATie) {
    ColourMap map = MapOf(0, 0, 0);
    SetEntry(map, 40, 10, 20, 30);
    SetEntry(map, 41, 10, 20, 30);
    EXPECT_EQ(map.FindNearest(10, 20, 30), 40);

    ColourMap equallyNear = MapOf(255, 0, 255);
    SetEntry(equallyNear, 70, 100, 100, 100);
    SetEntry(equallyNear, 90, 110, 100, 100);
    EXPECT_EQ(equallyNear.FindNearest(105, 100, 100), 70);
}

TEST(FindNearest, TheLargestDistanceStillBeatsTheStart) {
    ColourMap map = MapOf(255, 255, 255);
    for (int i = 32; i < 256; ++i)
        SetEntry(map, i, 0, 0, 0);
    EXPECT_EQ(map.FindNearest(255, 255, 255), 32);
}

TEST(FindNearest, WeighsTheComponentsEqually) {
    ColourMap map = MapOf(0, 0, 0);
    SetEntry(map, 50, 100, 0, 0);   // distance 20^2 from the query
    SetEntry(map, 60, 120, 21, 0);  // distance 21^2: farther
    SetEntry(map, 70, 120, 0, 19);  // distance 19^2: nearest
    EXPECT_EQ(map.FindNearest(120, 0, 0), 70);
}

// The four-lane search gives FindNearest's answer: on random maps, on maps of a few colours
// repeated everywhere (ties in every lane), and with the nearest entry in each lane position.
TEST(NearestColourSearch, AgreesWithFindNearest) {
    std::mt19937 random(7);
    std::vector<ColourMap> maps;
    for (int m = 0; m < 12; ++m) {
        ColourMap map;
        for (uint8_t& byte : map.entries) {
            const uint32_t r = random();
            byte =
                m % 3 == 0 ? static_cast<uint8_t>(r) : static_cast<uint8_t>(r % (m % 3 + 1) * 85);
        }
        maps.push_back(map);
    }
    for (int at = 32; at < 40; ++at) {
        ColourMap map = MapOf(255, 255, 255);
        SetEntry(map, at, 10, 20, 30);
        SetEntry(map, at + 100, 10, 20, 30);  // an equal one further on
        maps.push_back(map);
    }
    for (const ColourMap& map : maps) {
        const NearestColourSearch search(map);
        for (int k = 0; k < 4000; ++k) {
            const uint32_t c = random();
            const auto r = static_cast<uint8_t>(c), g = static_cast<uint8_t>(c >> 8),
                       b = static_cast<uint8_t>(c >> 16);
            ASSERT_EQ(search.Find(r, g, b), map.FindNearest(r, g, b))
                << int{r} << " " << int{g} << " " << int{b};
        }
        for (int corner = 0; corner < 8; ++corner) {
            const uint8_t r = corner & 1 ? 255 : 0, g = corner & 2 ? 255 : 0,
                          b = corner & 4 ? 255 : 0;
            ASSERT_EQ(search.Find(r, g, b), map.FindNearest(r, g, b));
        }
        ASSERT_EQ(search.Find(10, 20, 30), map.FindNearest(10, 20, 30));
    }
}

// Entry i, for i from 32 on, a colour of its own.
ColourMap DistinctMap() {
    ColourMap map;
    for (int i = 0; i < 256; ++i) {
        SetEntry(map, i, static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                 static_cast<uint8_t>(i * 7));
    }
    return map;
}

TEST(BuildRemapTable, MatchesEveryPaletteEntryOnce) {
    ColourMap map = DistinctMap();
    std::array<uint8_t, 768> palette{};
    std::array<uint8_t, 256> expected{};
    for (int j = 0; j < 256; ++j) {
        int target = 32 + (j * 37) % 224;
        expected[j] = static_cast<uint8_t>(target);
        for (int c = 0; c < 3; ++c)
            palette[3 * j + c] = map.entries[3 * target + c];
    }
    EXPECT_EQ(BuildRemapTable(palette, map), expected);
}

TEST(BuildRemapTable, AnEntryEqualToALowMapEntryStillMapsFrom32On) {
    ColourMap map = DistinctMap();
    std::array<uint8_t, 768> palette{};
    for (int c = 0; c < 3; ++c)
        palette[c] = map.entries[3 * 10 + c];  // (10, 245, 70)
    std::array<uint8_t, 256> table = BuildRemapTable(palette, map);
    EXPECT_EQ(table[0], map.FindNearest(10, 245, 70));
    EXPECT_GE(table[0], 32);
}

std::vector<std::array<uint8_t, 3>> RandomColours(std::mt19937& random, size_t count) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<std::array<uint8_t, 3>> colours(count);
    for (auto& colour : colours) {
        for (uint8_t& c : colour)
            c = static_cast<uint8_t>(byte(random));
    }
    return colours;
}

ColourMap RandomMap(std::mt19937& random) {
    ColourMap map;
    auto colours = RandomColours(random, 256);
    for (int i = 0; i < 256; ++i)
        SetEntry(map, i, colours[i][0], colours[i][1], colours[i][2]);
    return map;
}

TEST(NearestColourCache, GivesTheSameAnswersAsTheSearch) {
    std::mt19937 random(1234);
    ColourMap map = RandomMap(random);
    NearestColourCache cache(map);
    // Colours from all over the cube, so that many share a slot and evict each other.
    for (const auto& colour : RandomColours(random, 50000)) {
        ASSERT_EQ(cache.Find(colour[0], colour[1], colour[2]),
                  map.FindNearest(colour[0], colour[1], colour[2]));
    }
}

TEST(NearestColourCache, SearchesOncePerColourOfAFewHundred) {
    std::mt19937 random(99);
    ColourMap map = RandomMap(random);
    auto colours = RandomColours(random, 300);
    std::set<std::array<uint8_t, 3>> distinct(colours.begin(), colours.end());
    NearestColourCache cache(map);
    std::uniform_int_distribution<size_t> pick(0, colours.size() - 1);
    for (int k = 0; k < 256 * 256; ++k) {
        const auto& colour = colours[pick(random)];
        ASSERT_EQ(cache.Find(colour[0], colour[1], colour[2]),
                  map.FindNearest(colour[0], colour[1], colour[2]));
    }
    // A colour sharing a slot with another is searched again when it returns; with 300
    // colours in 32768 slots that is rare.
    EXPECT_GE(cache.searches(), static_cast<int64_t>(distinct.size()));
    EXPECT_LT(cache.searches(), static_cast<int64_t>(2 * distinct.size()));
}

TEST(SampleColourMap, IsAFullMapWithTheCubeAndTheGreys) {
    ColourMap map;
    StageResult result = map.Load(KESH_SOURCE_DIR "/samples/uicolorm.cmp");
    ASSERT_TRUE(result.ok());
    EXPECT_FALSE(result.damaged);
    // Primaries, black, white and the cube's corners are exact.
    const uint8_t exact[][3] = {{0, 0, 0},   {255, 255, 255}, {255, 0, 0},   {0, 255, 0},
                                {0, 0, 255}, {255, 255, 0},   {51, 102, 153}};
    for (const auto& c : exact) {
        uint8_t i = map.FindNearest(c[0], c[1], c[2]);
        EXPECT_EQ(map.entries[3 * i], c[0]);
        EXPECT_EQ(map.entries[3 * i + 1], c[1]);
        EXPECT_EQ(map.entries[3 * i + 2], c[2]);
    }
    // 224 distinct useful colours from entry 32 on.
    std::set<std::array<uint8_t, 3>> colours;
    for (int i = 32; i < 256; ++i) {
        colours.insert({map.entries[3 * i], map.entries[3 * i + 1], map.entries[3 * i + 2]});
    }
    EXPECT_EQ(colours.size(), 224u);
}

}  // namespace
}  // namespace kesh

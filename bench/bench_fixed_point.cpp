// Number formatting of model values against the C library.
//
//   BM_FormatFixed / BM_Snprintf          "%10.6f" of coordinates in -100..100, normals, texels
//                                         and zeros, all floats widened to double
//   BM_FormatFixedWide / BM_SnprintfWide  the same with coordinates in -10000..10000
//   BM_FormatFixedDoubles / ...           doubles with all 53 mantissa bits in -10000..10000
//   BM_FormatFixedRange / ...             doubles of every magnitude from 1e-12 to 1e30, and
//                                         every number of decimals from 0 to 9
//   BM_FormatInt / BM_SnprintfInt         "%5d" of vertex indices and some negative ones
#include <benchmark/benchmark.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "writer3do/fixed_point.h"

namespace {

// What a model file holds: coordinates in -range..range, normal components in -1..1, texel
// coordinates in 0..256 and some zeros, all 32-bit floats widened.
std::vector<double> ModelValues(double range) {
    std::mt19937_64 random(7);
    auto unit = [&random] { return static_cast<double>(random() >> 11) * 0x1p-53; };
    std::vector<double> values;
    values.reserve(4096);
    for (int i = 0; i < 4096; ++i) {
        float value = 0.0f;
        switch (i % 8) {
            case 0:
            case 1:
            case 2:
                value = static_cast<float>(range * (-1.0 + 2.0 * unit()));
                break;
            case 3:
            case 4:
                value = static_cast<float>(-1.0 + 2.0 * unit());
                break;
            case 5:
            case 6:
                value = static_cast<float>(256.0 * unit());
                break;
            default:
                value = (i & 8) != 0 ? -0.0f : 0.0f;
        }
        values.push_back(value);
    }
    return values;
}

// Doubles that no float widens to: the 128-bit arithmetic.
std::vector<double> FullDoubles() {
    std::mt19937_64 random(11);
    std::vector<double> values;
    values.reserve(4096);
    for (int i = 0; i < 4096; ++i)
        values.push_back(static_cast<double>(random() >> 11) * 0x1p-53 * 20000.0 - 10000.0);
    return values;
}

// Doubles spread evenly over the decimal exponents from -12 to 30, either sign: every path of
// the formatter, the big number included.
std::vector<double> WideRange() {
    std::mt19937_64 random(13);
    auto unit = [&random] { return static_cast<double>(random() >> 11) * 0x1p-53; };
    std::vector<double> values;
    values.reserve(4096);
    for (int i = 0; i < 4096; ++i) {
        const double magnitude = std::pow(10.0, -12.0 + 42.0 * unit());
        values.push_back((i & 1) != 0 ? -magnitude : magnitude);
    }
    return values;
}

void FormatAll(benchmark::State& state, const std::vector<double>& values, bool allDecimals) {
    char text[kesh::kMaxFixedChars + 10];
    for (auto _ : state) {
        int decimals = 6;
        for (double value : values) {
            if (allDecimals) decimals = decimals == 9 ? 0 : decimals + 1;
            benchmark::DoNotOptimize(kesh::FormatFixed(text, value, 10, decimals));
            benchmark::ClobberMemory();
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(values.size()));
}

void PrintAll(benchmark::State& state, const std::vector<double>& values, bool allDecimals) {
    std::setlocale(LC_ALL, "C");
    char text[kesh::kMaxFixedChars + 10];
    for (auto _ : state) {
        int decimals = 6;
        for (double value : values) {
            if (allDecimals) decimals = decimals == 9 ? 0 : decimals + 1;
            benchmark::DoNotOptimize(std::snprintf(text, sizeof text, "%10.*f", decimals, value));
            benchmark::ClobberMemory();
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(values.size()));
}

void BM_FormatFixed(benchmark::State& state) {
    FormatAll(state, ModelValues(100.0), false);
}
BENCHMARK(BM_FormatFixed);

void BM_Snprintf(benchmark::State& state) {
    PrintAll(state, ModelValues(100.0), false);
}
BENCHMARK(BM_Snprintf);

void BM_FormatFixedWide(benchmark::State& state) {
    FormatAll(state, ModelValues(10000.0), false);
}
BENCHMARK(BM_FormatFixedWide);

void BM_SnprintfWide(benchmark::State& state) {
    PrintAll(state, ModelValues(10000.0), false);
}
BENCHMARK(BM_SnprintfWide);

void BM_FormatFixedDoubles(benchmark::State& state) {
    FormatAll(state, FullDoubles(), false);
}
BENCHMARK(BM_FormatFixedDoubles);

void BM_SnprintfDoubles(benchmark::State& state) {
    PrintAll(state, FullDoubles(), false);
}
BENCHMARK(BM_SnprintfDoubles);

void BM_FormatFixedRange(benchmark::State& state) {
    FormatAll(state, WideRange(), true);
}
BENCHMARK(BM_FormatFixedRange);

void BM_SnprintfRange(benchmark::State& state) {
    PrintAll(state, WideRange(), true);
}
BENCHMARK(BM_SnprintfRange);

// Vertex and face indices of a large model, and the -1 of a missing texture coordinate.
std::vector<int64_t> Indices() {
    std::mt19937_64 random(17);
    std::vector<int64_t> values;
    values.reserve(4096);
    for (int i = 0; i < 4096; ++i)
        values.push_back(i % 16 == 0 ? -1 : static_cast<int64_t>(random() % 200000));
    return values;
}

void BM_FormatInt(benchmark::State& state) {
    const std::vector<int64_t> values = Indices();
    char text[kesh::kMaxIntChars];
    for (auto _ : state) {
        for (int64_t value : values) {
            benchmark::DoNotOptimize(kesh::FormatInt(text, value, 5));
            benchmark::ClobberMemory();
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(values.size()));
}
BENCHMARK(BM_FormatInt);

void BM_SnprintfInt(benchmark::State& state) {
    const std::vector<int64_t> values = Indices();
    char text[kesh::kMaxIntChars + 1];
    for (auto _ : state) {
        for (int64_t value : values) {
            benchmark::DoNotOptimize(
                std::snprintf(text, sizeof text, "%5d", static_cast<int>(value)));
            benchmark::ClobberMemory();
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(values.size()));
}
BENCHMARK(BM_SnprintfInt);

}  // namespace

BENCHMARK_MAIN();

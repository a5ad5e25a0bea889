// Fixed-point formatting of model values: FormatFixed against the C library's "%10.6f".
//
//   BM_FormatFixed / BM_Snprintf    coordinates in -100..100, normals, texels, zeros
//   BM_FormatMicros                 the same values as floats, through the float path
//   BM_FormatFixedWide / ...Wide    the same with coordinates in -10000..10000 (also Micros)
//   BM_FormatFixedDoubles           doubles with all 53 mantissa bits in -10000..10000
#include <benchmark/benchmark.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "writer3do/fixed_point.h"
#include "writer3do/micros.h"

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

// Doubles that no float widens to: the 128-bit path.
std::vector<double> FullDoubles() {
    std::mt19937_64 random(11);
    std::vector<double> values;
    values.reserve(4096);
    for (int i = 0; i < 4096; ++i)
        values.push_back(static_cast<double>(random() >> 11) * 0x1p-53 * 20000.0 - 10000.0);
    return values;
}

void FormatAll(benchmark::State& state, const std::vector<double>& values) {
    char text[kesh::kMaxFixedChars + 10];
    for (auto _ : state) {
        for (double value : values) {
            benchmark::DoNotOptimize(kesh::FormatFixed(text, value, 10, 6));
            benchmark::ClobberMemory();
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(values.size()));
}

void FormatAllFloats(benchmark::State& state, const std::vector<double>& values) {
    const std::vector<float> floats(values.begin(), values.end());
    char text[kesh::kMaxFixedChars + 10];
    for (auto _ : state) {
        for (float value : floats) {
            benchmark::DoNotOptimize(kesh::FormatMicros(text, value));
            benchmark::ClobberMemory();
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(floats.size()));
}

void PrintAll(benchmark::State& state, const std::vector<double>& values) {
    std::setlocale(LC_ALL, "C");
    char text[kesh::kMaxFixedChars + 10];
    for (auto _ : state) {
        for (double value : values) {
            benchmark::DoNotOptimize(std::snprintf(text, sizeof text, "%10.6f", value));
            benchmark::ClobberMemory();
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(values.size()));
}

void BM_FormatFixed(benchmark::State& state) {
    FormatAll(state, ModelValues(100.0));
}
BENCHMARK(BM_FormatFixed);

void BM_FormatMicros(benchmark::State& state) {
    FormatAllFloats(state, ModelValues(100.0));
}
BENCHMARK(BM_FormatMicros);

void BM_Snprintf(benchmark::State& state) {
    PrintAll(state, ModelValues(100.0));
}
BENCHMARK(BM_Snprintf);

void BM_FormatFixedWide(benchmark::State& state) {
    FormatAll(state, ModelValues(10000.0));
}
BENCHMARK(BM_FormatFixedWide);

void BM_FormatMicrosWide(benchmark::State& state) {
    FormatAllFloats(state, ModelValues(10000.0));
}
BENCHMARK(BM_FormatMicrosWide);

void BM_SnprintfWide(benchmark::State& state) {
    PrintAll(state, ModelValues(10000.0));
}
BENCHMARK(BM_SnprintfWide);

void BM_FormatFixedDoubles(benchmark::State& state) {
    FormatAll(state, FullDoubles());
}
BENCHMARK(BM_FormatFixedDoubles);

void BM_SnprintfDoubles(benchmark::State& state) {
    PrintAll(state, FullDoubles());
}
BENCHMARK(BM_SnprintfDoubles);

}  // namespace

BENCHMARK_MAIN();

// Whole conversions of a large generated model: read, geometry pass, 3DO text, and the MAT
// stage. Throughput is counted in bytes of 3DO text (or MAT files); peak memory is reported
// as the process's maximum resident set size.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>

#include "bench/large_model.h"
#include "core/model.h"
#include "textures/colour_map.h"
#include "writer3do/writer3do.h"

namespace {

using kesh::OptModel;

const std::vector<uint8_t>& LargeOpt() {
    static const std::vector<uint8_t> bytes = kesh::bench::MakeLargeOpt({});
    return bytes;
}

double PeakResidentMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
}

std::string ScratchPath(const char* name) {
    return (std::filesystem::temp_directory_path() / name).string();
}

void Publish(benchmark::State& state, size_t bytesOut) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytesOut));
    state.counters["input_MB"] = static_cast<double>(LargeOpt().size()) / 1e6;
    state.counters["output_MB"] = static_cast<double>(bytesOut) / 1e6;
    state.counters["peak_RSS_MiB"] = PeakResidentMiB();
}

void BM_LoadOpt(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = LargeOpt();
    for (auto _ : state) {
        OptModel model;
        benchmark::DoNotOptimize(model.LoadOptBytes(bytes));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_LoadOpt)->Unit(benchmark::kMillisecond);

void BM_ConvertGeometry(benchmark::State& state) {
    OptModel loaded;
    loaded.LoadOptBytes(LargeOpt());
    for (auto _ : state) {
        state.PauseTiming();
        OptModel model = loaded;
        state.ResumeTiming();
        model.ConvertGeometry(0.00243902f);
        benchmark::DoNotOptimize(model.radius);
    }
}
BENCHMARK(BM_ConvertGeometry)->Unit(benchmark::kMillisecond);

void BM_Format3DO(benchmark::State& state) {
    OptModel model;
    model.LoadOptBytes(LargeOpt());
    model.ConvertGeometry(0.00243902f);
    size_t size = 0;
    for (auto _ : state) {
        const std::string text = kesh::Format3DO(model, "large.3do", 3);
        size = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_Format3DO)->Unit(benchmark::kMillisecond);

// The run of one file without textures: load from the disk, convert, write the 3DO.
void BM_WholeConversion(benchmark::State& state) {
    const std::string input = ScratchPath("kesh-bench-large.opt");
    const std::string output = ScratchPath("kesh-bench-large.3do");
    {
        std::FILE* f = std::fopen(input.c_str(), "wb");
        std::fwrite(LargeOpt().data(), 1, LargeOpt().size(), f);
        std::fclose(f);
    }
    for (auto _ : state) {
        OptModel model;
        model.LoadOpt(input.c_str());
        model.ConvertGeometry(0.00243902f);
        benchmark::DoNotOptimize(model.Write3DO(output.c_str(), 3));
    }
    const size_t size = std::filesystem::file_size(output);
    Publish(state, size);
    std::filesystem::remove(input);
    std::filesystem::remove(output);
}
BENCHMARK(BM_WholeConversion)->Unit(benchmark::kMillisecond);

// The MAT stage alone: 20 textures of 256 x 256 matched to a colour map and written.
void BM_WriteMATs(benchmark::State& state) {
    OptModel model;
    model.LoadOptBytes(LargeOpt());
    kesh::ColourMap colourMap;
    for (int i = 0; i < 768; ++i)
        colourMap.entries[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 37);
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "kesh-bench-mats";
    std::filesystem::create_directories(dir);
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    for (auto _ : state) {
        benchmark::DoNotOptimize(model.WriteMATs(colourMap, "large.3do"));
    }
    size_t bytes = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        bytes += entry.file_size();
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["textures"] = static_cast<double>(model.textures.size());
}
BENCHMARK(BM_WriteMATs)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

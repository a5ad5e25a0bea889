// The preview renderer on a model of 3,000 faces in each of its 3 LOD levels (40 meshes, 20
// textures of 256 x 256): reading its 3DO text and drawing the four-view sheet of LOD 0 at the
// default size.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/large_model.h"
#include "core/model.h"
#include "reader3do/reader3do.h"
#include "render/model_view.h"
#include "writer3do/writer3do.h"

namespace {

// The model's 3DO text, every level of detail, and a plain picture per material.
struct Prepared {
    std::string text;
    std::vector<kesh::RgbImage> materials;
};

const Prepared& Model() {
    static const Prepared prepared = [] {
        kesh::OptModel model;
        kesh::bench::LargeModelShape shape;
        shape.faces = 9000;
        model.LoadOptBytes(kesh::bench::MakeLargeOpt(shape));
        model.ConvertGeometry(0.00243902f);
        Prepared p;
        p.text = kesh::Format3DO(model, "a001ship.3do", -1);
        for (const kesh::Texture& texture : model.textures)
            p.materials.emplace_back(texture.width, texture.height, kesh::Rgb{120, 90, 60});
        return p;
    }();
    return prepared;
}

void BM_Read3do(benchmark::State& state) {
    const Prepared& prepared = Model();
    for (auto _ : state) {
        kesh::Model3do model;
        kesh::Read3doError error;
        benchmark::DoNotOptimize(kesh::Read3do(prepared.text, model, error));
    }
}
BENCHMARK(BM_Read3do)->Unit(benchmark::kMillisecond);

void BM_DrawSheet(benchmark::State& state) {
    const Prepared& prepared = Model();
    kesh::Model3do model;
    kesh::Read3doError error;
    if (!kesh::Read3do(prepared.text, model, error)) {
        state.SkipWithError(kesh::Describe(error).c_str());
        return;
    }
    size_t faces = 0;
    for (const kesh::Mesh3do& mesh : model.geometrySets[0].meshes)
        faces += mesh.faces.size();
    for (auto _ : state)
        benchmark::DoNotOptimize(kesh::DrawSheet(model, 0, prepared.materials, 1024));
    state.counters["faces"] = static_cast<double>(faces);
}
BENCHMARK(BM_DrawSheet)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

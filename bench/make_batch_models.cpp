// Writes COUNT ordinary models of a batch into DIR, each different (see BatchModelShape):
//
//   make_batch_models DIR COUNT
//
// The files are named a000ship.opt, a001ship.opt, ...: kesh-convert names a model's MAT files
// after the first four characters of its 3DO file, so these differ from one model to the next
// and no model's MAT files replace another's. Prints what was written on one line:
// models, faces, meshes, LOD levels, textures, and the size of the files.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/large_model.h"

namespace {

constexpr int kMostModels = 1000;  // three digits in the name

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_batch_models DIR COUNT\n");
        return 2;
    }
    const std::string dir = argv[1];
    const int count = std::atoi(argv[2]);
    if (count < 1 || count > kMostModels) {
        std::fprintf(stderr, "make_batch_models: COUNT must be from 1 to %d\n", kMostModels);
        return 2;
    }
    long long faces = 0;
    long long bytesWritten = 0;
    size_t largest = 0;
    kesh::bench::LargeModelShape shape;
    for (int i = 0; i < count; ++i) {
        shape = kesh::bench::BatchModelShape(static_cast<uint32_t>(i) + 1);
        for (int m = 0; m < shape.meshes; ++m) {
            for (int g = 0; g < shape.lods; ++g)
                faces += kesh::bench::FacesOf(shape, m, g);
        }
        const std::vector<uint8_t> bytes = kesh::bench::MakeLargeOpt(shape);
        char name[32];
        std::snprintf(name, sizeof name, "a%03dship.opt", i);
        const std::string path = dir + "/" + name;
        std::FILE* out = std::fopen(path.c_str(), "wb");
        if (out == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() ||
            std::fclose(out) != 0) {
            std::perror(path.c_str());
            return 1;
        }
        bytesWritten += static_cast<long long>(bytes.size());
        if (bytes.size() > largest) largest = bytes.size();
    }
    std::printf(
        "%d models: %lld faces (%.0f each), %d meshes, %d LOD levels, %d textures each "
        "(%d in all); %.2f MB in all, %.2f MB each, the largest %.2f MB\n",
        count, faces, static_cast<double>(faces) / count, shape.meshes, shape.lods, shape.textures,
        shape.textures * count, static_cast<double>(bytesWritten) / 1e6,
        static_cast<double>(bytesWritten) / 1e6 / count, static_cast<double>(largest) / 1e6);
    return 0;
}

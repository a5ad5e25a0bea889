// Writes the large benchmark model as an OPT file:
//   make_large_model OUT.opt [FACES [MESHES [LODS]]]
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "bench/large_model.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 5) {
        std::fprintf(stderr, "usage: make_large_model OUT.opt [FACES [MESHES [LODS]]]\n");
        return 2;
    }
    kesh::bench::LargeModelShape shape;
    if (argc >= 3) shape.faces = std::atoi(argv[2]);
    if (argc >= 4) shape.meshes = std::max(1, std::atoi(argv[3]));
    if (argc >= 5) shape.lods = std::max(1, std::atoi(argv[4]));
    if (shape.faces < shape.meshes * shape.lods) {
        std::fprintf(stderr, "make_large_model: FACES must be at least %d\n",
                     shape.meshes * shape.lods);
        return 2;
    }
    const std::vector<uint8_t> bytes = kesh::bench::MakeLargeOpt(shape);
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() ||
        std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}

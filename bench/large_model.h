// A large OPT model made by the project itself, for the benchmarks and the performance
// script: meshes of quads and triangles over shared vertices, several LOD levels, 8-bit
// textures of 256 x 256 with their palettes.
#pragma once

#include <cstdint>
#include <vector>

namespace kesh::bench {

struct LargeModelShape {
    int meshes = 40;
    int lods = 3;
    int faces = 200000;  // in all, spread evenly over meshes and LODs
    int textures = 20;
    int textureSize = 256;
};

std::vector<uint8_t> MakeLargeOpt(const LargeModelShape& shape);

}  // namespace kesh::bench

// OPT models made by the project itself, for the benchmarks and the performance scripts:
// meshes of quads and triangles over shared vertices, several LOD levels, 8-bit textures with
// their palettes.
//
// The default shape is the large uniform model: every mesh and LOD level holds the same number
// of faces, and every texture is 256 x 256 without mip-maps. BatchModelShape describes the
// models of an ordinary batch instead: a few thousand faces, most of them in LOD 0, and many
// textures of mixed sizes with their mip-maps.
#pragma once

#include <cstdint>
#include <vector>

namespace kesh::bench {

struct TextureSize {
    int width = 256;
    int height = 256;
};

struct LargeModelShape {
    int meshes = 40;
    int lods = 3;
    int faces = 200000;  // in all, shared out by meshWeights and lodWeights
    int textures = 20;
    int textureSize = 256;  // width and height of every texture when textureSizes is empty

    // Each mesh's and each LOD level's share of the faces, relative to the others; empty
    // shares them evenly. A level with fewer faces than LOD 0 uses a coarser grid of the same
    // vertices, as a simplified copy of the mesh would.
    std::vector<int> meshWeights{};
    std::vector<int> lodWeights{};
    // The size of each texture, in the order the textures appear in the file; when empty,
    // every texture is textureSize x textureSize.
    std::vector<TextureSize> textureSizes{};
    // Stores every texture's smaller images (half the size each, down to 1 x 1) after its top
    // image, as editors do.
    bool mipMaps = false;
    // Varies pixels, palettes and vertex positions, so that models of the same shape differ;
    // 0 keeps the bytes that the default shape has always had.
    uint32_t seed = 0;
};

// The faces of one mesh and LOD level, as MakeLargeOpt shares them out.
int FacesOf(const LargeModelShape& shape, int mesh, int lod);

std::vector<uint8_t> MakeLargeOpt(const LargeModelShape& shape);

// An ordinary model of a batch, about 2.4 MB: 24 meshes, 4 LOD levels (LOD 0 with more than
// half of the about 3,000 faces), 70 textures from 16 x 16 to 256 x 256 with mip-maps. The
// seed (not 0) varies the faces per mesh, the order of the texture sizes, a few of the sizes,
// and the pixels, palettes and positions.
LargeModelShape BatchModelShape(uint32_t seed);

}  // namespace kesh::bench

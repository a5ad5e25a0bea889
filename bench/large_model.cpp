#include "bench/large_model.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include "support/opt_builder.h"

namespace kesh::bench {

namespace {

using namespace kesh::test;

// A small deterministic generator, so every run builds the same bytes.
struct Lcg {
    uint32_t state;
    uint32_t Next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
};

TextureSpec MakeTexture(int index, int size) {
    TextureSpec texture;
    texture.width = size;
    texture.height = size;
    texture.pixels.resize(static_cast<size_t>(size) * static_cast<size_t>(size));
    Lcg lcg{static_cast<uint32_t>(index) * 7919u + 1u};
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            // Panels with noise: realistic runs of similar indices.
            const int panel = ((x / 32) + (y / 16) * 3 + index) & 7;
            const int value = panel * 32 + static_cast<int>(lcg.Next() % 24);
            texture.pixels[static_cast<size_t>(y) * size + x] = static_cast<uint8_t>(value);
        }
    }
    std::vector<uint16_t> palette;
    for (int i = 0; i < 256; ++i) {
        palette.push_back(Rgb565((i * 3 + index * 11) & 255, (i * 5) & 255, 255 - i));
    }
    texture.AllPalettes(palette);
    return texture;
}

}  // namespace

std::vector<uint8_t> MakeLargeOpt(const LargeModelShape& shape) {
    const int perGroup = shape.faces / (shape.meshes * shape.lods);
    // A grid of cells, one face per cell on two of three cells and two triangles on the third.
    const int cells = (perGroup * 3 + 3) / 4;
    const int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(cells))));
    const int rows = (cells + columns - 1) / columns;
    const int stride = columns + 1;

    std::vector<NodeSpec> meshes;
    for (int m = 0; m < shape.meshes; ++m) {
        std::vector<Vec3> points;
        std::vector<Uv> uvs;
        for (int r = 0; r <= rows; ++r) {
            for (int c = 0; c <= columns; ++c) {
                const float x = static_cast<float>(c) * 0.37f + static_cast<float>(m) * 50.0f;
                const float y = static_cast<float>(r) * 0.41f - 20.0f;
                const float z =
                    std::sin(static_cast<float>(c) * 0.3f) * 3.0f + static_cast<float>(r % 5);
                points.push_back({x, y, z});
                uvs.push_back({static_cast<float>(c) / columns, static_cast<float>(r) / rows});
            }
        }
        std::vector<NodeSpec> lodGroups;
        for (int g = 0; g < shape.lods; ++g) {
            std::vector<FaceSpec> faces;
            for (int cell = 0; static_cast<int>(faces.size()) < perGroup && cell < rows * columns;
                 ++cell) {
                const int r = cell / columns;
                const int c = cell % columns;
                const int a = r * stride + c;
                const int b = a + 1;
                const int d = a + stride;
                const int e = d + 1;
                if ((cell + g) % 3 != 0) {
                    faces.push_back(Quad(a, b, e, d, {a, b, e, d}));
                } else {
                    faces.push_back(Tri(a, b, e, {a, b, e}));
                    if (static_cast<int>(faces.size()) < perGroup)
                        faces.push_back(Tri(a, e, d, {a, e, d}));
                }
            }
            const int textureIndex = m % shape.textures;
            NodeSpec texture;
            if (g == 0 && m < shape.textures) {
                texture = TextureNode(MakeTexture(textureIndex, shape.textureSize));
            } else {
                char name[16];
                std::snprintf(name, sizeof name, "Tex%05d", textureIndex);
                texture = TextureRef(name);
            }
            lodGroups.push_back(Group({texture, Faces(faces)}));
        }
        meshes.push_back(Group({Vertices(points), TexCoords(uvs), FaceGroup(lodGroups)}));
    }
    OptSpec layout;
    layout.nodes = std::move(meshes);
    layout.offsetBase = 0x2000;
    return BuildOpt(layout).bytes;
}

}  // namespace kesh::bench

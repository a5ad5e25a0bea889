#include "bench/large_model.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <numeric>
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

// The next smaller image of a mip chain: half the size on each side, at least 1, each pixel
// taken from the top left of the 2 x 2 block it stands for.
std::vector<uint8_t> HalveImage(const std::vector<uint8_t>& image, int width, int height,
                                int& halfWidth, int& halfHeight) {
    halfWidth = std::max(1, width / 2);
    halfHeight = std::max(1, height / 2);
    std::vector<uint8_t> half(static_cast<size_t>(halfWidth) * static_cast<size_t>(halfHeight));
    for (int y = 0; y < halfHeight; ++y) {
        const int sourceY = std::min(2 * y, height - 1);
        for (int x = 0; x < halfWidth; ++x) {
            const int sourceX = std::min(2 * x, width - 1);
            half[static_cast<size_t>(y) * halfWidth + x] =
                image[static_cast<size_t>(sourceY) * width + sourceX];
        }
    }
    return half;
}

TextureSpec MakeTexture(int index, TextureSize size, uint32_t seed, bool mipMaps) {
    TextureSpec texture;
    texture.width = size.width;
    texture.height = size.height;
    const size_t top = static_cast<size_t>(size.width) * static_cast<size_t>(size.height);
    texture.pixels.resize(top);
    Lcg lcg{static_cast<uint32_t>(index) * 7919u + 1u + seed * 104729u};
    for (int y = 0; y < size.height; ++y) {
        for (int x = 0; x < size.width; ++x) {
            // Panels with noise: realistic runs of similar indices.
            const int panel = ((x / 32) + (y / 16) * 3 + index) & 7;
            const int value = panel * 32 + static_cast<int>(lcg.Next() % 24);
            texture.pixels[static_cast<size_t>(y) * size.width + x] = static_cast<uint8_t>(value);
        }
    }
    if (mipMaps) {
        // The smaller images follow the top one: dataSize names the top image alone, while
        // the byte count of all pixel data (left to the builder) covers every level.
        texture.dataSize = static_cast<int32_t>(top);
        std::vector<uint8_t> level(texture.pixels);
        int width = size.width;
        int height = size.height;
        while (width > 1 || height > 1) {
            level = HalveImage(level, width, height, width, height);
            texture.pixels.insert(texture.pixels.end(), level.begin(), level.end());
        }
    }
    std::vector<uint16_t> palette;
    for (int i = 0; i < 256; ++i) {
        const int red = (i * 3 + index * 11 + static_cast<int>(seed % 256) * 29) & 255;
        palette.push_back(Rgb565(red, (i * 5) & 255, 255 - i));
    }
    texture.AllPalettes(palette);
    return texture;
}

int WeightOf(const std::vector<int>& weights, int index) {
    return weights.empty() ? 1 : weights[static_cast<size_t>(index)];
}

int64_t SumOf(const std::vector<int>& weights, int count) {
    return weights.empty() ? count : std::accumulate(weights.begin(), weights.end(), int64_t{0});
}

// The textures that appear first (as texture nodes) in a mesh: they are shared out over the
// meshes in file order, the first meshes taking one more when they do not divide evenly.
int OwnTextureCount(const LargeModelShape& shape, int mesh) {
    return shape.textures / shape.meshes + (mesh < shape.textures % shape.meshes ? 1 : 0);
}

// A square-ish grid of cells large enough for `faces` faces: one face per cell on two of three
// cells and two triangles on the third.
struct Grid {
    int columns = 0;
    int rows = 0;
};

int CellsFor(int faces) {
    return (faces * 3 + 3) / 4;
}

Grid GridFor(int faces) {
    Grid grid;
    const int cells = CellsFor(faces);
    grid.columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(cells))));
    grid.rows = (cells + grid.columns - 1) / grid.columns;
    return grid;
}

// The step, in cells of the full grid, of the coarsest grid that still has room for `faces`:
// 1 for the level with the most faces.
int CoarseStep(const Grid& grid, int faces, int mostFaces) {
    if (faces >= mostFaces) return 1;
    int step = 1;
    const int largest = std::max(grid.rows, grid.columns);
    while (step < largest) {
        const int next = step + 1;
        const int cells = ((grid.rows + next - 1) / next) * ((grid.columns + next - 1) / next);
        if (cells < CellsFor(faces)) break;
        step = next;
    }
    return step;
}

// The faces of one LOD level: cells of the grid with the given step, walked row by row.
std::vector<FaceSpec> LevelFaces(const Grid& grid, int step, int count, int lod) {
    const int stride = grid.columns + 1;
    const int columns = (grid.columns + step - 1) / step;
    const int rows = (grid.rows + step - 1) / step;
    std::vector<FaceSpec> faces;
    for (int cell = 0; static_cast<int>(faces.size()) < count && cell < rows * columns; ++cell) {
        const int top = (cell / columns) * step;
        const int left = (cell % columns) * step;
        const int bottom = std::min(top + step, grid.rows);
        const int right = std::min(left + step, grid.columns);
        const int a = top * stride + left;
        const int b = top * stride + right;
        const int d = bottom * stride + left;
        const int e = bottom * stride + right;
        if ((cell + lod) % 3 != 0) {
            faces.push_back(Quad(a, b, e, d, {a, b, e, d}));
        } else {
            faces.push_back(Tri(a, b, e, {a, b, e}));
            if (static_cast<int>(faces.size()) < count) faces.push_back(Tri(a, e, d, {a, e, d}));
        }
    }
    return faces;
}

// A small whole number from 0 to `count` - 1 that depends on the seed and the mesh.
float Variation(uint32_t seed, int mesh, uint32_t salt, uint32_t count) {
    return static_cast<float>((seed * salt + static_cast<uint32_t>(mesh) * 13u) % count);
}

NodeSpec ReferenceTo(int textureIndex) {
    char name[16];
    std::snprintf(name, sizeof name, "Tex%05d", textureIndex);
    return TextureRef(name);
}

}  // namespace

int FacesOf(const LargeModelShape& shape, int mesh, int lod) {
    const int64_t share = static_cast<int64_t>(shape.faces) * WeightOf(shape.meshWeights, mesh) *
                          WeightOf(shape.lodWeights, lod);
    return static_cast<int>(
        share / (SumOf(shape.meshWeights, shape.meshes) * SumOf(shape.lodWeights, shape.lods)));
}

std::vector<uint8_t> MakeLargeOpt(const LargeModelShape& shape) {
    std::vector<NodeSpec> meshes;
    int nextTexture = 0;  // textures are numbered in the order their nodes appear
    for (int m = 0; m < shape.meshes; ++m) {
        int mostFaces = 0;
        for (int g = 0; g < shape.lods; ++g)
            mostFaces = std::max(mostFaces, FacesOf(shape, m, g));
        const Grid grid = GridFor(mostFaces);

        std::vector<Vec3> points;
        std::vector<Uv> uvs;
        // With a seed, each mesh is a little longer (up to 20 %) and sits a little higher.
        const float stretch = 1.0f + Variation(shape.seed, m, 7u, 21u) * 0.01f;
        const float lift = Variation(shape.seed, m, 11u, 9u) * 0.25f;
        for (int r = 0; r <= grid.rows; ++r) {
            for (int c = 0; c <= grid.columns; ++c) {
                float x = static_cast<float>(c) * 0.37f + static_cast<float>(m) * 50.0f;
                const float y = static_cast<float>(r) * 0.41f - 20.0f;
                float z = std::sin(static_cast<float>(c) * 0.3f) * 3.0f + static_cast<float>(r % 5);
                if (shape.seed != 0) {
                    x *= stretch;
                    z += lift;
                }
                points.push_back({x, y, z});
                uvs.push_back(
                    {static_cast<float>(c) / grid.columns, static_cast<float>(r) / grid.rows});
            }
        }

        // The textures of this mesh: its own, or when it has none one of another mesh's.
        std::vector<int> textures;
        const int own = OwnTextureCount(shape, m);
        for (int t = 0; t < own; ++t)
            textures.push_back(nextTexture + t);
        if (textures.empty()) textures.push_back(m % shape.textures);

        std::vector<NodeSpec> lodGroups;
        for (int g = 0; g < shape.lods; ++g) {
            const int count = FacesOf(shape, m, g);
            const std::vector<FaceSpec> faces =
                LevelFaces(grid, CoarseStep(grid, count, mostFaces), count, g);
            // The level's faces in one run per texture, each after its texture: the texture
            // node itself where it first appears, a reference to it after that.
            std::vector<NodeSpec> children;
            const size_t runs = textures.size();
            for (size_t t = 0; t < runs; ++t) {
                const int index = textures[t];
                if (g == 0 && own > 0) {
                    const TextureSize size = shape.textureSizes.empty()
                                                 ? TextureSize{shape.textureSize, shape.textureSize}
                                                 : shape.textureSizes[static_cast<size_t>(index)];
                    children.push_back(
                        TextureNode(MakeTexture(index, size, shape.seed, shape.mipMaps)));
                } else {
                    children.push_back(ReferenceTo(index));
                }
                const auto first = faces.begin() + static_cast<ptrdiff_t>(faces.size() * t / runs);
                const auto last =
                    faces.begin() + static_cast<ptrdiff_t>(faces.size() * (t + 1) / runs);
                children.push_back(Faces(std::vector<FaceSpec>(first, last)));
            }
            lodGroups.push_back(Group(std::move(children)));
        }
        nextTexture += own;
        meshes.push_back(Group({Vertices(points), TexCoords(uvs), FaceGroup(lodGroups)}));
    }
    OptSpec layout;
    layout.nodes = std::move(meshes);
    layout.offsetBase = 0x2000;
    return BuildOpt(layout).bytes;
}

LargeModelShape BatchModelShape(uint32_t seed) {
    LargeModelShape shape;
    shape.meshes = 24;
    shape.lods = 4;
    shape.faces = 3000;
    shape.textures = 70;
    shape.lodWeights = {56, 24, 13, 7};
    shape.mipMaps = true;
    shape.seed = seed;

    Lcg lcg{seed * 2654435761u + 12345u};
    // Hulls and wings next to small parts: from 60 to 140 % of the average mesh.
    for (int m = 0; m < shape.meshes; ++m)
        shape.meshWeights.push_back(60 + static_cast<int>(lcg.Next() % 81));

    const std::pair<TextureSize, int> mix[] = {
        {{256, 256}, 11}, {{256, 128}, 2}, {{128, 128}, 18}, {{128, 64}, 2},
        {{64, 64}, 18},   {{32, 32}, 11},  {{16, 16}, 8},
    };
    for (const auto& [size, count] : mix)
        shape.textureSizes.insert(shape.textureSizes.end(), static_cast<size_t>(count), size);
    // A few sizes differ from one model to the next: one texture grows or shrinks.
    switch (seed % 3) {
        case 1:
            shape.textureSizes[20] = {256, 128};  // was 128 x 128
            break;
        case 2:
            shape.textureSizes[0] = {256, 128};  // was 256 x 256
            break;
        default:
            break;
    }
    // And they come in another order, so the large ones land on other meshes.
    for (size_t i = shape.textureSizes.size() - 1; i > 0; --i)
        std::swap(shape.textureSizes[i], shape.textureSizes[lcg.Next() % (i + 1)]);
    return shape;
}

}  // namespace kesh::bench

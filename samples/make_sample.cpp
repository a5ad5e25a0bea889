// make_sample: writes the bundled sample model, a small ship, as an OPT file.
//
// Four meshes (hull, two wings, a turret), each with two levels of detail; the hull's faces
// take their texture from a switch of four colour schemes, the wings and the turret from a
// plain texture and from texture references. Every texture carries its block of 16 palettes
// (16 light levels of one set of 256 colours). The output is the same on every run.
//
// Usage: make_sample OUTPUT.opt
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "support/opt_builder.h"

namespace {

using kesh::Vec3;
using namespace kesh::test;

struct Colour {
    double red;
    double green;
    double blue;
};

// 256 colours shading from black through `base` to a pale highlight, at light level `level`
// (0 darkest, 15 full light).
std::vector<uint16_t> ShadedPalette(Colour base, int level) {
    std::vector<uint16_t> colours(kPaletteColours);
    const double light = (level + 1) / 16.0;
    for (int e = 0; e < kPaletteColours; ++e) {
        const double t = e / 255.0;
        // Up to two thirds the base colour grows from black; beyond that it fades to white.
        const double toward = t < 2.0 / 3.0 ? 0.0 : (t - 2.0 / 3.0) * 3.0 * 0.6;
        const double scale = std::min(1.0, t * 1.5);
        auto component = [&](double c) {
            const double value = (c * scale * (1.0 - toward) + 255.0 * toward) * light;
            return static_cast<int>(std::lround(std::min(255.0, value)));
        };
        colours[e] = Rgb565(component(base.red), component(base.green), component(base.blue));
    }
    return colours;
}

TextureSpec PaletteFor(Colour base) {
    TextureSpec texture;
    for (int level = 0; level < kPalettesPerBlock; ++level) {
        texture.Palette(level, ShadedPalette(base, level));
    }
    return texture;
}

// Hull plating: a gradient from front to back, panel lines every 8 pixels, rivets at the
// panel corners and a faint fixed-seed grain.
NodeSpec HullTexture(Colour scheme) {
    TextureSpec texture = PaletteFor(scheme);
    texture.width = 32;
    texture.height = 32;
    uint32_t seed = 12345;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            seed = seed * 1103515245u + 12345u;
            int value = 120 + y * 3 + static_cast<int>((seed >> 16) % 9);
            if (x % 8 == 0 || y % 8 == 0) value = 40;
            if (x % 8 == 2 && y % 8 == 2) value = 230;
            texture.pixels.push_back(static_cast<uint8_t>(value));
        }
    }
    return TextureNode(texture);
}

// Wing plating: a span-wise gradient, two stripes and a round marking.
NodeSpec WingTexture() {
    TextureSpec texture = PaletteFor({200, 200, 210});
    texture.width = 64;
    texture.height = 32;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 64; ++x) {
            int value = 90 + x * 2;
            if (y == 6 || y == 7 || y == 24 || y == 25) value = 30;
            const int dx = x - 44;
            const int dy = y - 16;
            if (dx * dx + dy * dy <= 36) value = 250;
            if (x % 16 == 0) value -= 40;
            texture.pixels.push_back(static_cast<uint8_t>(value));
        }
    }
    return TextureNode(texture);
}

// The faces of a mesh, one group per level of detail: a face's level is the position of
// its parent in the face group.
NodeSpec LevelsOfDetail(std::vector<NodeSpec> levels) {
    return FaceGroup(std::move(levels));
}

NodeSpec Hull() {
    const std::vector<Vec3> points = {
        {-40, -200, -20}, {40, -200, -20}, {40, -200, 30}, {-40, -200, 30},  // stern
        {-50, 50, -25},   {50, 50, -25},   {50, 50, 35},   {-50, 50, 35},    // shoulders
        {0, 200, 0},                                                         // nose
    };
    std::vector<Vec3> normals;
    for (const Vec3& p : points) {
        const double length = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
        normals.push_back({static_cast<float>(p.x / length), static_cast<float>(p.y / length),
                           static_cast<float>(p.z / length)});
    }
    const std::vector<Uv> uvs = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0.5f, 1}};
    return Group({
        Vertices(points),
        TexCoords(uvs),
        VertexNormals(normals),
        LevelsOfDetail({
            Group({
                Switch({
                    HullTexture({200, 40, 40}),   // red
                    HullTexture({210, 170, 50}),  // gold
                    HullTexture({50, 80, 200}),   // blue
                    HullTexture({50, 160, 70}),   // green
                }),
                Faces({
                    Quad(0, 3, 2, 1, {0, 3, 2, 1}),
                    Quad(0, 4, 7, 3, {0, 1, 2, 3}),
                    Quad(1, 2, 6, 5, {0, 3, 2, 1}),
                    Quad(3, 7, 6, 2, {0, 3, 2, 1}),
                    Quad(0, 1, 5, 4, {0, 1, 2, 3}),
                    Tri(4, 8, 7, {0, 4, 1}),
                    Tri(7, 8, 6, {0, 4, 1}),
                    Tri(6, 8, 5, {0, 4, 1}),
                    Tri(5, 8, 4, {0, 4, 1}),
                }),
            }),
            Group({
                TextureRef("Tex00000"),
                Faces({
                    Quad(0, 3, 2, 1, {0, 3, 2, 1}),
                    Tri(0, 8, 3, {0, 4, 1}),
                    Tri(3, 8, 2, {0, 4, 1}),
                    Tri(2, 8, 1, {0, 4, 1}),
                    Tri(1, 8, 0, {0, 4, 1}),
                }),
            }),
        }),
    });
}

// A wing on the side `side` (-1 left, +1 right); the left one carries the wing texture, the
// right one refers to it by name.
NodeSpec Wing(float side, NodeSpec texture) {
    const std::vector<Vec3> points = {
        {side * 50, -20, 5},   {side * 50, 80, 5},   {side * 200, -40, 0},
        {side * 200, -110, 0}, {side * 50, -20, -5}, {side * 50, 80, -5},
    };
    const std::vector<Uv> uvs = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    // The winding follows the side, so that both wings face outwards.
    const bool left = side < 0;
    const FaceSpec top = left ? Quad(0, 1, 2, 3, {0, 1, 2, 3}) : Quad(0, 3, 2, 1, {0, 3, 2, 1});
    const FaceSpec bottom = left ? Quad(4, 3, 2, 5, {0, 3, 2, 1}) : Quad(4, 5, 2, 3, {0, 1, 2, 3});
    const FaceSpec edge = left ? Tri(0, 4, 1, {0, 0, 1}) : Tri(0, 1, 4, {0, 1, 0});
    return Group({
        Vertices(points),
        TexCoords(uvs),
        LevelsOfDetail({
            Group({texture, Faces({top, bottom, edge})}),
            Group({TextureRef("Tex00004"), Faces({top, bottom})}),
        }),
    });
}

NodeSpec Turret() {
    const std::vector<Vec3> points = {
        {-15, 20, 35}, {15, 20, 35}, {15, 50, 35}, {-15, 50, 35}, {0, 35, 60},
    };
    const std::vector<Uv> uvs = {{0, 0}, {1, 0}, {0.5f, 1}};
    return Group({
        Vertices(points),
        TexCoords(uvs),
        LevelsOfDetail({
            Group({
                TextureRef("Tex00004"),
                Faces({
                    Tri(0, 1, 4, {0, 1, 2}),
                    Tri(1, 2, 4, {0, 1, 2}),
                    Tri(2, 3, 4, {0, 1, 2}),
                    Tri(3, 0, 4, {0, 1, 2}),
                    Quad(0, 3, 2, 1, {0, 1, 2, 0}),
                }),
            }),
            Group({
                TextureRef("Tex00004"),
                Faces({Tri(0, 2, 4, {0, 1, 2}), Tri(2, 0, 4, {0, 1, 2})}),
            }),
        }),
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample OUTPUT.opt\n");
        return 2;
    }
    OptSpec ship;
    ship.offsetBase = 0x00ED0000;
    ship.nodes = {Hull(), Wing(-1, WingTexture()), Wing(1, TextureRef("Tex00004")), Turret()};
    const BuiltOpt built = BuildOpt(ship);

    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(built.bytes.data()),
              static_cast<std::streamsize>(built.bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "make_sample: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

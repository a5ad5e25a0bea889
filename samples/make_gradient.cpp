// make_gradient: writes an OPT file holding one texture, a smooth 64 x 8 colour gradient, to
// show how a texture's colours survive quantisation to the colour map with and without
// dithering.
//
// Usage: make_gradient OUTPUT.opt
#include <cstdio>
#include <fstream>
#include <vector>

#include "support/opt_builder.h"

int main(int argc, char** argv) {
    using namespace kesh::test;
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_gradient OUTPUT.opt\n");
        return 2;
    }
    // From a dusk blue to a warm orange, one palette entry per column.
    constexpr int kWidth = 64;
    constexpr int kHeight = 8;
    std::vector<uint16_t> colours;
    for (int x = 0; x < kWidth; ++x) {
        const double t = x / (kWidth - 1.0);
        colours.push_back(Rgb565(static_cast<int>(40 + t * 190), static_cast<int>(70 + t * 80),
                                 static_cast<int>(120 - t * 70)));
    }
    TextureSpec texture;
    texture.width = kWidth;
    texture.height = kHeight;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            texture.pixels.push_back(static_cast<uint8_t>(x));
    texture.AllPalettes(colours);

    OptSpec model;
    model.nodes = {TextureNode(texture)};
    const BuiltOpt built = BuildOpt(model);
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(built.bytes.data()),
              static_cast<std::streamsize>(built.bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "make_gradient: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

#include "support/test_models.h"

#include "support/opt_builder.h"

namespace kesh::test {

std::vector<uint8_t> SmallShipOpt() {
    TextureSpec texture;
    texture.width = 8;
    texture.height = 8;
    for (int i = 0; i < 64; ++i)
        texture.pixels.push_back(static_cast<uint8_t>(i * 4));
    std::vector<uint16_t> palette;
    for (int i = 0; i < 256; ++i)
        palette.push_back(Rgb565(i, 255 - i, (i * 7) & 255));
    texture.AllPalettes(palette);

    NodeSpec mesh = Group({
        Vertices({{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 5}}),
        TexCoords({{0, 0}, {1, 0}, {1, 1}, {0, 1}}),
        FaceGroup({Group({
            TextureNode(texture),
            Faces({Quad(0, 1, 2, 3, {0, 1, 2, 3}), Tri(0, 2, 3, {0, 2, 3})}),
        })}),
    });
    OptSpec layout;
    layout.nodes = {mesh};
    layout.offsetBase = 0x1000;
    return BuildOpt(layout).bytes;
}

std::vector<uint8_t> GridOpt(int meshes, int quadsPerMesh) {
    std::vector<NodeSpec> nodes;
    for (int m = 0; m < meshes; ++m) {
        std::vector<Vec3> points;
        std::vector<FaceSpec> faces;
        for (int i = 0; i <= quadsPerMesh; ++i) {
            points.push_back({static_cast<float>(i), 0.0f, static_cast<float>(m)});
            points.push_back({static_cast<float>(i), 1.0f, static_cast<float>(m)});
        }
        for (int i = 0; i < quadsPerMesh; ++i) {
            faces.push_back(Quad(2 * i, 2 * i + 2, 2 * i + 3, 2 * i + 1));
        }
        nodes.push_back(
            Group({Vertices(points), TexCoords({{0, 0}}), FaceGroup({Group({Faces(faces)})})}));
    }
    OptSpec layout;
    layout.nodes = nodes;
    return BuildOpt(layout).bytes;
}

}  // namespace kesh::test

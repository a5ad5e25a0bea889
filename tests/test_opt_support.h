// Helpers shared by the OPT reader tests: a model loaded in place from built bytes, and a
// complete text dump of a model for comparing two loads.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "core/model.h"
#include "support/opt_builder.h"

namespace kesh::test {

// A model loaded from bytes. Models hold pointers to themselves, so they are never moved.
struct Loaded {
    explicit Loaded(std::span<const uint8_t> bytes, int32_t textureGroup = 0,
                    int32_t paletteOffset = kXwaPaletteOffset) {
        model.textureGroup = textureGroup;
        model.paletteOffset = paletteOffset;
        result = model.LoadOptBytes(bytes);
    }
    Loaded(const Loaded&) = delete;
    Loaded& operator=(const Loaded&) = delete;

    const OptMesh& mesh(size_t i = 0) const { return model.meshes.at(i); }

    OptModel model;
    StageResult result;
};

inline uint32_t Bits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline void DumpNode(const OptNode& node, std::string& out) {
    out += "(" + std::to_string(node.type) + " " + std::to_string(node.fileOffset) + " " +
           std::to_string(node.textureIndex) + " " + std::to_string(node.meshIndex) + " " +
           std::to_string(node.siblingIndex);
    for (const OptNode& child : node.children)
        DumpNode(child, out);
    out += ")";
}

// Every value the reader sets, as text.
inline std::string Dump(const OptModel& model) {
    std::string out = std::to_string(model.offsetBase) + " " + std::to_string(model.textureGroup) +
                      " " + std::to_string(model.lodCount);
    for (const OptNode& node : model.nodes)
        DumpNode(node, out);
    for (const OptMesh& mesh : model.meshes) {
        out += "\nmesh";
        for (const MeshVertex& v : mesh.vertices) {
            out += " v" + std::to_string(Bits(v.x)) + "," + std::to_string(Bits(v.y)) + "," +
                   std::to_string(Bits(v.z));
        }
        for (const TexCoord& t : mesh.texCoords) {
            out += " t" + std::to_string(Bits(t.u)) + "," + std::to_string(Bits(t.v));
        }
        for (const OptFace& f : mesh.faces) {
            out += " f";
            for (int k = 0; k < 4; ++k) {
                out += std::to_string(f.vertexIndex[k]) + "/" + std::to_string(f.texCoordIndex[k]) +
                       ",";
            }
            out += std::to_string(f.vertexCount) + "," + std::to_string(f.lod) + "," +
                   std::to_string(f.textureIndex);
        }
    }
    for (const Texture& t : model.textures) {
        out += "\ntexture " + std::to_string(t.dataPosition) + " " +
               std::to_string(t.paletteBlock) + " " + std::to_string(t.width) + "x" +
               std::to_string(t.height) + " " + std::to_string(t.dataSize) + " " +
               std::to_string(t.bytesPerPixel) + " ";
        out.append(t.pixels.begin(), t.pixels.end());
        out.append(t.palette.begin(), t.palette.end());
    }
    return out;
}

// Mesh m of a large model: two vertex lists, a
// texture coordinate list and three levels of faces, textured by a texture of the model
// (even meshes) or by a reference to a texture it lacks (odd meshes). Values encode where
// they belong, so any entry in the wrong place or order shows.
inline NodeSpec LargeMesh(int m, int facesPerLevel) {
    auto points = [m](int list) {
        std::vector<Vec3> out;
        for (int i = 0; i < 500; ++i)
            out.push_back({static_cast<float>(m), static_cast<float>(list), static_cast<float>(i)});
        return out;
    };
    std::vector<Uv> uvs;
    for (int i = 0; i < 300; ++i)
        uvs.push_back({static_cast<float>(m), static_cast<float>(i)});
    std::vector<NodeSpec> levels;
    for (int lod = 0; lod < 3; ++lod) {
        std::vector<FaceSpec> faces;
        for (int i = 0; i < facesPerLevel; ++i) {
            const int32_t tag = (m * 3 + lod) * 100000 + i;
            faces.push_back(i % 2 == 0 ? Tri(tag, 1, 2, {m, lod, i})
                                       : Quad(tag, 1, 2, 3, {m, lod, i, 4}));
        }
        NodeSpec texture = m % 2 == 0 ? PlainTexture(2, 2) : TextureRef("Tex00099");
        texture.texture.paletteCount = 8;
        levels.push_back(Group({texture, Faces(faces)}));
    }
    return Group({Vertices(points(0)), TexCoords(uvs), Vertices(points(1)), FaceGroup(levels)});
}

}  // namespace kesh::test

// Helpers shared by the OPT reader tests: a model loaded in place from built bytes, and a
// complete text dump of a model for comparing two loads.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "core/model.h"

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

}  // namespace kesh::test

// Fuzz harness: the OPT reader alone, from the bytes of a whole file.
//
// Beyond "no crash, no leak, no undefined behaviour" it checks the reader's bounds on every
// input: what was kept never exceeds what the file (and the read budget) could hold, the
// LOD count stays within its budget, and every face texture names a texture of the model.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "core/model.h"
#include "opt/opt_reader.h"

namespace {

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz_opt_reader: broken bound: %s\n", what);
    std::abort();
}

void CheckBounds(const kesh::OptModel& model, size_t size, const kesh::StageResult& result) {
    using kesh::ReadBudget;
    const uint64_t budget = ReadBudget(size);
    Require(result.ok(), "loading from memory never fails");
    Require(model.nodes.size() == model.meshes.size(), "one mesh per top-level node");
    Require(model.nodes.size() <= size / 4 + 1, "top-level nodes within the table's bytes");
    Require(model.lodCount >= 1, "lodCount at least 1");
    const uint64_t meshes = model.meshes.empty() ? 1 : model.meshes.size();
    Require(static_cast<uint64_t>(model.lodCount) * meshes <= kesh::LodBudget(size) ||
                model.lodCount == 1,
            "lodCount x meshes within the LOD budget");
    uint64_t faces = 0;
    uint64_t vertices = 0;
    uint64_t texCoords = 0;
    for (const kesh::OptMesh& mesh : model.meshes) {
        faces += mesh.faces.size();
        vertices += mesh.vertices.size();
        texCoords += mesh.texCoords.size();
        for (const kesh::OptFace& face : mesh.faces) {
            Require(face.textureIndex == -1 ||
                        (face.textureIndex >= 0 &&
                         static_cast<size_t>(face.textureIndex) < model.textures.size()),
                    "face textures name a texture of the model");
            Require(face.vertexCount == 3 || face.vertexCount == 4, "faces have 3 or 4 corners");
        }
    }
    Require(faces * 64 + vertices * 12 + texCoords * 8 <= budget, "payloads within the budget");
    uint64_t pixels = 0;
    for (const kesh::Texture& texture : model.textures) {
        pixels += texture.pixels.size();
        Require(texture.dataSize >= 0, "dataSize never negative");
        Require(texture.pixels.size() <= static_cast<uint64_t>(texture.dataSize),
                "pixels within dataSize");
    }
    Require(pixels <= budget, "pixels within the budget");
    Require(model.textures.size() * 24 <= budget, "textures within the budget");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kesh::OptModel model;
    const kesh::StageResult result = model.LoadOptBytes(std::span<const uint8_t>(data, size));
    CheckBounds(model, size, result);
    return 0;
}

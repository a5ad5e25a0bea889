// Fuzz harness: the 3DO reader, from the bytes of a whole file.
//
// Beyond "no crash, no leak, no undefined behaviour" it checks that what an accepted file
// holds is bounded by its lines (each list item takes a line of its own, so a count in the
// text can never make the reader allocate beyond the file), that a rejection names a line
// and says why, and that reading the same bytes again gives the same model.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "reader3do/reader3do.h"

namespace {

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz_reader3do: broken rule: %s\n", what);
    std::abort();
}

uint64_t Items(const kesh::Model3do& model) {
    uint64_t items = model.materials.size() + model.nodes.size() + model.geometrySets.size();
    for (const kesh::GeometrySet3do& set : model.geometrySets) {
        items += set.meshes.size();
        for (const kesh::Mesh3do& mesh : set.meshes) {
            items += mesh.vertices.size() + mesh.texVertices.size() + mesh.vertexNormals.size() +
                     mesh.faces.size();
        }
    }
    return items;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    uint64_t lines = 1;
    for (uint8_t byte : bytes)
        lines += byte == '\n' ? 1 : 0;

    kesh::Model3do model;
    kesh::Read3doError error;
    const bool accepted = kesh::Read3do(bytes, model, error);
    if (!accepted) {
        // A file that ends early is reported at the line after its last.
        Require(error.line >= 1 && error.line <= lines + 1, "a rejection names a line");
        Require(!error.message.empty(), "a rejection says why");
        return 0;
    }
    Require(Items(model) <= lines, "an accepted file holds no more items than lines");
    for (const kesh::GeometrySet3do& set : model.geometrySets) {
        for (const kesh::Mesh3do& mesh : set.meshes) {
            for (const kesh::Face3do& face : mesh.faces)
                Require(face.cornerCount == 3 || face.cornerCount == 4, "3 or 4 corners a face");
        }
    }

    kesh::Model3do again;
    Require(kesh::Read3do(bytes, again, error) && Items(again) == Items(model),
            "reading the same bytes again gives the same model");
    return 0;
}

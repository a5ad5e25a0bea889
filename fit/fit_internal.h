// Declarations shared by the fitting steps, grouped by the file that defines them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/model.h"

namespace kesh::fit {

// A hierarchy node while fitting: one mesh per geometry set, vertices in model space.
struct Node {
    std::vector<OptMesh> sets;
};

// split_mesh.cpp

// Groups the faces of `mesh` into parts that each fit the engine's per-mesh limits. Each part
// grows from its first face (the earliest face not yet taken) over shared vertices, taking
// the faces around each vertex in face order, and closes at the first face that would not
// fit; a part whose patch runs out of neighbours goes on from the next face not yet taken.
// Every face lands in exactly one part; a mesh without faces gives no part. Linear in the
// number of face corners. The mesh's indices must lie within its lists.
std::vector<std::vector<uint32_t>> SplitFaces(const OptMesh& mesh);

// A mesh of the given faces of `mesh`, in that order, with the vertices, texture vertices and
// vertex normals they use, in order of first use.
OptMesh ExtractFaces(const OptMesh& mesh, std::span<const uint32_t> faces);

// Appends `from` to `into`: its vertices, normals and texture vertices after those of `into`,
// its faces after them with their indices moved on.
void AppendMesh(OptMesh& into, const OptMesh& from);

// pack_meshes.cpp

// Groups the nodes so that at most `maxNodes` remain where the limits allow: the two nearest
// nodes (by the centres of their bounding boxes) whose meshes fit together in every set are
// merged first. Above a few hundred nodes, runs of nodes along a space-filling curve are
// merged first, so the work stays near-linear. Each group lists node indices in ascending
// order; groups are ordered by their first node.
std::vector<std::vector<size_t>> PlanPacking(const std::vector<Node>& nodes, size_t maxNodes);

// simplify_mesh.cpp

// The mesh reduced towards `targetFaces` triangles with meshoptimizer, keeping texture seams
// and material borders (and the mesh's open borders when `lockBorder`); quadrilaterals are
// cut into two triangles first. Face and vertex normals are computed anew. A mesh already at
// or below the target is returned unchanged.
OptMesh SimplifyMesh(const OptMesh& mesh, size_t targetFaces, bool lockBorder);

// fit_textures.cpp

// The power of two nearest to `side` (the larger one on a tie), at least 1 and at most 256.
int32_t FittedSide(int32_t side);

// Resamples the texture's top image to width x height by taking the nearest texel; texels the
// file did not hold read as index 0 (or black). Sets dataSize to the new image's bytes.
void ResampleTexture(Texture& texture, int32_t width, int32_t height);

}  // namespace kesh::fit

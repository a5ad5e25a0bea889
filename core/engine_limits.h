// Limits of the target engine that a converted model may exceed. The 3DO file is written as
// it is; a front end warns so the user learns before loading it in the game.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/model.h"

namespace kesh {

inline constexpr int kMaxEngineVertices = 512;         // per mesh
inline constexpr int kMaxEngineTextureVertices = 768;  // per mesh
inline constexpr int kMaxEngineFaces = 512;            // per mesh
inline constexpr int kMaxEngineGeometrySets = 4;
inline constexpr int kMaxEngineHierarchyNodes = 63;  // 64 or more are refused
inline constexpr int kMaxEngineFaceVertices = 24;
inline constexpr int kMaxEngineLineBytes = 1023;  // a line with its CR LF

enum class LimitKind {
    Vertices,
    TextureVertices,
    Faces,
    GeometrySets,
    HierarchyNodes,
    FaceVertices,
    LineLength
};

struct LimitWarning {
    LimitKind kind = LimitKind::Vertices;
    int32_t geometrySet = -1;  // -1 when the limit is not about one set
    int32_t mesh = -1;         // -1 when the limit is not about one mesh
    int64_t count = 0;         // how many there are (for a line: its length in bytes)
    int64_t limit = 0;         // the most the engine takes
};

// Checks the converted model as Write3DO would write it at `outputPath` with `maxGeo`:
// one warning per exceeded limit, per geometry set and mesh where it applies. With
// `measuredLines`, the longest mesh lines that Write3DO recorded while writing, the mesh
// lines are not measured again.
std::vector<LimitWarning> CheckEngineLimits(const OptModel& model, std::string_view outputPath,
                                            int32_t maxGeo,
                                            const MeshLineLengths* measuredLines = nullptr);

// Length in bytes, CR LF included, of the longest line that Write3DO writes for `mesh` in a
// geometry-set block: its radius, vertex, texture-vertex, vertex-normal, face and face-normal
// lines. Only numbers of 999 or more, or of -99 or less, are formatted to find their width.
int64_t LongestMeshLine(const OptMesh& mesh);

// Length in bytes, CR LF included, of the hierarchy node line of mesh `meshIndex` of the
// `meshCount` meshes of the first geometry set, placed at `center`.
int64_t NodeLineBytes(const Vec3& center, size_t meshIndex, size_t meshCount);

// One line of text for a warning, e.g. "geometry set 0, mesh 3: 600 vertices (the engine
// takes at most 512)".
std::string Describe(const LimitWarning& warning);

}  // namespace kesh

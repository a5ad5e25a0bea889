// Limits of the target engine that a converted model may exceed. The 3DO file is written as
// it is; a front end warns so the user learns before loading it in the game.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kesh {

struct OptModel;

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
// one warning per exceeded limit, per geometry set and mesh where it applies.
std::vector<LimitWarning> CheckEngineLimits(const OptModel& model, std::string_view outputPath,
                                            int32_t maxGeo);

// One line of text for a warning, e.g. "geometry set 0, mesh 3: 600 vertices (the engine
// takes at most 512)".
std::string Describe(const LimitWarning& warning);

}  // namespace kesh

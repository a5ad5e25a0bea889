// Limits of the target engine that a converted model may exceed. The 3DO file is written as
// it is; a front end warns so the user learns before loading it in the game.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/model.h"

namespace kesh {

inline constexpr int kMaxEngineVertices = 512;         // per mesh
inline constexpr int kMaxEngineTextureVertices = 768;  // per mesh
inline constexpr int kMaxEngineFaces = 512;            // per mesh
inline constexpr int kMaxEngineGeometrySets = 4;
inline constexpr int kMaxEngineHierarchyNodes = 64;  // the root node included

enum class LimitKind { Vertices, TextureVertices, Faces, GeometrySets, HierarchyNodes };

struct LimitWarning {
    LimitKind kind = LimitKind::Vertices;
    int32_t geometrySet = -1;  // -1 when the limit is not about one set
    int32_t mesh = -1;         // -1 when the limit is not about one mesh
    int64_t count = 0;         // how many there are
    int64_t limit = 0;         // the most the engine takes
};

// Checks the converted model as Write3DO writes it with `maxGeo`: one warning per exceeded
// limit, per geometry set and mesh where it applies. None for a model Write3DO writes no
// file for.
std::vector<LimitWarning> CheckEngineLimits(const OptModel& model, int32_t maxGeo);

// One line of text for a warning, e.g. "geometry set 0, mesh 3: 600 vertices (the engine
// takes at most 512)".
std::string Describe(const LimitWarning& warning);

}  // namespace kesh

// Limits of the target engine that a converted model may exceed. The 3DO file is written as
// it is; a front end warns so the user learns before loading it in the game.
#pragma once

#include <cstdint>
#include <vector>

#include "core/model.h"

namespace kesh {

inline constexpr int kMaxEngineVertices = 512;         // per mesh
inline constexpr int kMaxEngineTextureVertices = 768;  // per mesh
inline constexpr int kMaxEngineFaces = 512;            // per mesh
inline constexpr int kMaxEngineGeometrySets = 4;
inline constexpr int kMaxEngineHierarchyNodes = 64;  // the root node included

enum class LimitKind { Vertices, TextureVertices, Faces, GeometrySets, HierarchyNodes };

// The plural noun of what a limit counts ("faces", "texture vertices").
const char* LimitNoun(LimitKind kind);

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

// The warnings of one kind together: how many meshes (or 1 for a limit of the model) exceed
// the limit, and the largest count among them.
struct LimitSummary {
    LimitKind kind = LimitKind::Vertices;
    int64_t exceeded = 0;
    int64_t largest = 0;
    int64_t limit = 0;
};

// One summary per kind that `warnings` hold, in the order of LimitKind.
std::vector<LimitSummary> SummariseLimits(const std::vector<LimitWarning>& warnings);

}  // namespace kesh

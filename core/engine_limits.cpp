#include "core/engine_limits.h"

#include <algorithm>
#include <cstddef>

namespace kesh {

namespace {

void Warn(std::vector<LimitWarning>& warnings, LimitKind kind, int32_t set, int32_t mesh,
          size_t count, int64_t limit) {
    const auto value = static_cast<int64_t>(count);
    if (value > limit) warnings.push_back(LimitWarning{kind, set, mesh, value, limit});
}

}  // namespace

const char* LimitNoun(LimitKind kind) {
    switch (kind) {
        case LimitKind::Vertices:
            return "vertices";
        case LimitKind::TextureVertices:
            return "texture vertices";
        case LimitKind::Faces:
            return "faces";
        case LimitKind::GeometrySets:
            return "geometry sets";
        case LimitKind::HierarchyNodes:
            return "hierarchy nodes";
    }
    return "items";
}

std::vector<LimitWarning> CheckEngineLimits(const OptModel& model, int32_t maxGeo) {
    std::vector<LimitWarning> warnings;
    // Write3DO writes no file for a model whose first set holds no mesh.
    if (model.lodMeshes.empty() || model.lodMeshes[0].empty()) return warnings;
    const int32_t sets = GeometrySetsToWrite(maxGeo, model.lodMeshes.size());
    Warn(warnings, LimitKind::GeometrySets, -1, -1, static_cast<size_t>(sets),
         kMaxEngineGeometrySets);
    // One node per mesh of the first set, and the root.
    Warn(warnings, LimitKind::HierarchyNodes, -1, -1, model.lodMeshes[0].size() + 1,
         kMaxEngineHierarchyNodes);
    for (int32_t g = 0; g < sets; ++g) {
        const std::vector<OptMesh>& set = model.lodMeshes[static_cast<size_t>(g)];
        for (size_t j = 0; j < set.size(); ++j) {
            const auto mesh = static_cast<int32_t>(j);
            Warn(warnings, LimitKind::Vertices, g, mesh, set[j].vertices.size(),
                 kMaxEngineVertices);
            Warn(warnings, LimitKind::TextureVertices, g, mesh, set[j].texCoords.size(),
                 kMaxEngineTextureVertices);
            Warn(warnings, LimitKind::Faces, g, mesh, set[j].faces.size(), kMaxEngineFaces);
        }
    }
    return warnings;
}

std::vector<LimitSummary> SummariseLimits(const std::vector<LimitWarning>& warnings) {
    std::vector<LimitSummary> summaries;
    for (LimitKind kind : {LimitKind::Vertices, LimitKind::TextureVertices, LimitKind::Faces,
                           LimitKind::GeometrySets, LimitKind::HierarchyNodes}) {
        LimitSummary summary;
        summary.kind = kind;
        for (const LimitWarning& warning : warnings) {
            if (warning.kind != kind) continue;
            ++summary.exceeded;
            summary.largest = std::max(summary.largest, warning.count);
            summary.limit = warning.limit;
        }
        if (summary.exceeded > 0) summaries.push_back(summary);
    }
    return summaries;
}

}  // namespace kesh

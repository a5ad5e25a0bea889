// The fitting steps in order: names, geometry sets, materials, textures, then the geometry
// (simplify when it cannot fit, split, pack) and the placement of every mesh on its node.
#include "fit/fit.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/engine_limits.h"
#include "core/paths.h"
#include "core/with_thousands.h"
#include "fit/fit_internal.h"

namespace kesh {

namespace {

using fit::Node;

constexpr size_t kMaxNameLength = 31;
constexpr size_t kMaxMeshes = kMaxEngineHierarchyNodes - 1;  // the root takes one node
constexpr size_t kFaceBudget = kMaxMeshes * kMaxEngineFaces;
// Simplification aims a little below the budget, since parts are seldom full; each further
// attempt aims lower, and the last ones may move mesh borders too.
constexpr double kFirstTarget = 0.95;
constexpr double kNextTarget = 0.85;
constexpr int kAttempts = 6;
constexpr int kAttemptsWithBorders = 3;

bool IsPowerOfTwo(int32_t side) {
    return side > 0 && (side & (side - 1)) == 0;
}

bool TextureValid(const OptModel& model, int32_t index) {
    return index >= 0 && static_cast<size_t>(index) < model.textures.size();
}

void FitMaterials(OptModel& model, std::vector<std::string>& changes) {
    int64_t stray = 0;
    for (std::vector<OptMesh>& set : model.lodMeshes) {
        for (OptMesh& mesh : set) {
            for (OptFace& face : mesh.faces) {
                if (face.textureIndex >= 0 && !TextureValid(model, face.textureIndex)) {
                    face.textureIndex = -1;
                    ++stray;
                }
            }
        }
    }
    if (stray > 0) {
        changes.push_back(WithThousands(stray) +
                          " faces with a texture the model does not hold written untextured");
    }
    if (model.textures.empty()) {
        model.untexturedMaterial = -1;
        changes.push_back("faces written with material -1 (the model has no textures)");
    }
}

// Resamples every image whose sides are not powers of two, and scales the texture vertices
// by the same factors where the geometry pass scaled them by that texture's size: at the
// first face of the mesh that uses them.
void FitTextures(OptModel& model, std::vector<std::string>& changes) {
    struct Factor {
        double u = 1.0;
        double v = 1.0;
        bool changed = false;
    };
    std::vector<Factor> factors(model.textures.size());
    for (size_t i = 0; i < model.textures.size(); ++i) {
        Texture& texture = model.textures[i];
        if (IsPowerOfTwo(texture.width) && IsPowerOfTwo(texture.height)) continue;
        const int32_t width =
            IsPowerOfTwo(texture.width) ? texture.width : fit::FittedSide(texture.width);
        const int32_t height =
            IsPowerOfTwo(texture.height) ? texture.height : fit::FittedSide(texture.height);
        changes.push_back("texture " + WithThousands(static_cast<int64_t>(i)) + " resampled from " +
                          WithThousands(texture.width) + " x " + WithThousands(texture.height) +
                          " to " + WithThousands(width) + " x " + WithThousands(height));
        factors[i].u = texture.width > 0 ? static_cast<double>(width) / texture.width : 1.0;
        factors[i].v = texture.height > 0 ? static_cast<double>(height) / texture.height : 1.0;
        factors[i].changed = true;
        fit::ResampleTexture(texture, width, height);
    }
    std::vector<uint8_t> seen;
    for (std::vector<OptMesh>& set : model.lodMeshes) {
        for (OptMesh& mesh : set) {
            seen.assign(mesh.texCoords.size(), 0);
            for (const OptFace& face : mesh.faces) {
                const int corners = std::clamp(face.vertexCount, 0, 4);
                for (int k = 0; k < corners; ++k) {
                    const int32_t t = face.texCoordIndex[static_cast<size_t>(k)];
                    if (t < 0 || static_cast<size_t>(t) >= seen.size() || seen[t]) continue;
                    seen[static_cast<size_t>(t)] = 1;
                    if (!TextureValid(model, face.textureIndex)) continue;
                    const Factor& factor = factors[static_cast<size_t>(face.textureIndex)];
                    if (!factor.changed) continue;
                    TexCoord& uv = mesh.texCoords[static_cast<size_t>(t)];
                    uv.u = static_cast<float>(uv.u * factor.u);
                    uv.v = static_cast<float>(uv.v * factor.v);
                }
            }
        }
    }
}

size_t FaceCount(const std::vector<OptMesh>& set) {
    size_t faces = 0;
    for (const OptMesh& mesh : set)
        faces += mesh.faces.size();
    return faces;
}

// Simplifies each mesh of `set` to its share of `target` faces.
void SimplifySet(std::vector<OptMesh>& set, size_t target, bool lockBorder) {
    const size_t total = FaceCount(set);
    for (OptMesh& mesh : set) {
        const double share = static_cast<double>(mesh.faces.size()) * target / total;
        mesh = fit::SimplifyMesh(mesh, std::max<size_t>(1, static_cast<size_t>(share)), lockBorder);
    }
}

// Splits every mesh of every set; a mesh becomes as many nodes as its largest split.
std::vector<Node> SplitAll(const std::vector<std::vector<OptMesh>>& sets,
                           std::vector<std::string>& changes) {
    std::vector<Node> nodes;
    const size_t meshCount = sets[0].size();
    std::vector<std::vector<std::vector<uint32_t>>> parts(sets.size());
    for (size_t m = 0; m < meshCount; ++m) {
        size_t count = 1;
        for (size_t g = 0; g < sets.size(); ++g) {
            parts[g] = m < sets[g].size() ? fit::SplitFaces(sets[g][m])
                                          : std::vector<std::vector<uint32_t>>{};
            count = std::max(count, parts[g].size());
        }
        if (count > 1) {
            changes.push_back("mesh " + WithThousands(static_cast<int64_t>(m)) + " split into " +
                              WithThousands(static_cast<int64_t>(count)) + " parts");
        }
        for (size_t p = 0; p < count; ++p) {
            Node& node = nodes.emplace_back();
            node.sets.resize(sets.size());
            for (size_t g = 0; g < sets.size(); ++g) {
                if (m >= sets[g].size()) continue;
                if (parts[g].size() <= 1 && p == 0) {
                    node.sets[g] = sets[g][m];
                } else if (p < parts[g].size()) {
                    node.sets[g] = fit::ExtractFaces(sets[g][m], parts[g][p]);
                }
            }
        }
    }
    return nodes;
}

std::vector<Node> Pack(std::vector<Node> nodes, std::vector<std::string>& changes) {
    if (nodes.size() <= kMaxMeshes) return nodes;
    const std::vector<std::vector<size_t>> plan = fit::PlanPacking(nodes, kMaxMeshes);
    if (plan.size() == nodes.size()) return nodes;
    changes.push_back(WithThousands(static_cast<int64_t>(nodes.size())) + " meshes packed into " +
                      WithThousands(static_cast<int64_t>(plan.size())));
    std::vector<Node> packed(plan.size());
    for (size_t n = 0; n < plan.size(); ++n) {
        packed[n] = std::move(nodes[plan[n].front()]);
        for (size_t k = 1; k < plan[n].size(); ++k) {
            const Node& member = nodes[plan[n][k]];
            for (size_t g = 0; g < packed[n].sets.size(); ++g)
                fit::AppendMesh(packed[n].sets[g], member.sets[g]);
        }
    }
    return packed;
}

// Moves every mesh of the model from its own centre to model space.
void ToModelSpace(std::vector<std::vector<OptMesh>>& sets) {
    for (std::vector<OptMesh>& set : sets) {
        for (OptMesh& mesh : set) {
            for (MeshVertex& v : mesh.vertices) {
                v.x = static_cast<float>(static_cast<double>(v.x) + mesh.center.x);
                v.y = static_cast<float>(static_cast<double>(v.y) + mesh.center.y);
                v.z = static_cast<float>(static_cast<double>(v.z) + mesh.center.z);
            }
        }
    }
}

// Places each node at the centre of its first set's mesh (or of the first set that has
// vertices) and every set's mesh relative to it; the model radius follows.
void PlaceNodes(OptModel& model, std::vector<Node>& nodes) {
    const size_t sets = model.lodMeshes.size();
    float extents[3] = {-9999.0f, -9999.0f, -9999.0f};
    for (std::vector<OptMesh>& set : model.lodMeshes)
        set.assign(nodes.size(), OptMesh{});
    for (size_t j = 0; j < nodes.size(); ++j) {
        Vec3 position;
        for (const OptMesh& mesh : nodes[j].sets) {
            if (mesh.vertices.empty()) continue;
            OptMesh box;
            box.vertices = mesh.vertices;
            box.ComputeCenter();
            position = box.center;
            break;
        }
        for (size_t g = 0; g < sets; ++g) {
            OptMesh& mesh = model.lodMeshes[g][j];
            mesh = std::move(nodes[j].sets[g]);
            for (MeshVertex& v : mesh.vertices) {
                v.x = static_cast<float>(static_cast<double>(v.x) - position.x);
                v.y = static_cast<float>(static_cast<double>(v.y) - position.y);
                v.z = static_cast<float>(static_cast<double>(v.z) - position.z);
            }
            mesh.center = position;
            mesh.ComputeRadius();
            const float centre[3] = {position.x, position.y, position.z};
            for (int a = 0; a < 3; ++a) {
                const double reach = std::fabs(static_cast<double>(centre[a])) + mesh.radius;
                if (reach > extents[a]) extents[a] = static_cast<float>(reach);
            }
        }
    }
    const double x = extents[0], y = extents[1], z = extents[2];
    model.radius = static_cast<float>(std::sqrt(x * x + y * y + z * z));
}

void FitGeometry(OptModel& model, std::vector<std::string>& changes) {
    ToModelSpace(model.lodMeshes);
    size_t largest = 0;
    for (const std::vector<OptMesh>& set : model.lodMeshes)
        largest = std::max(largest, FaceCount(set));

    std::vector<std::vector<OptMesh>> original;
    double target = static_cast<double>(std::min(largest, kFaceBudget)) * kFirstTarget;
    bool simplify = largest > kFaceBudget;
    std::vector<Node> nodes;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const bool last = attempt + 1 == kAttempts;
        std::vector<std::string> steps;
        std::vector<std::vector<OptMesh>> sets;
        if (simplify) {
            if (original.empty()) original = model.lodMeshes;
            sets = original;
            for (size_t g = 0; g < sets.size(); ++g) {
                const size_t before = FaceCount(sets[g]);
                if (before <= static_cast<size_t>(target)) continue;
                SimplifySet(sets[g], static_cast<size_t>(target), attempt < kAttemptsWithBorders);
                steps.push_back("geometry set " + WithThousands(static_cast<int64_t>(g)) +
                                " simplified from " + WithThousands(static_cast<int64_t>(before)) +
                                " to " + WithThousands(static_cast<int64_t>(FaceCount(sets[g]))) +
                                " faces");
            }
        }
        nodes = Pack(SplitAll(simplify ? sets : model.lodMeshes, steps), steps);
        if (nodes.size() <= kMaxMeshes || last) {
            changes.insert(changes.end(), steps.begin(), steps.end());
            break;
        }
        // Does not fit: simplify (further), from the geometry as it came.
        if (simplify) target *= kNextTarget;
        simplify = true;
    }
    original.clear();
    PlaceNodes(model, nodes);
}

}  // namespace

std::vector<std::string> FitToEngine(OptModel& model, int32_t maxGeo, std::string_view outputPath) {
    std::vector<std::string> changes;
    // No 3DO file is written for a model whose first set holds no mesh.
    if (model.lodMeshes.empty() || model.lodMeshes[0].empty()) return changes;

    const std::string_view name = BaseName(outputPath);
    if (name.size() > kMaxNameLength) {
        changes.push_back("file name " + std::string(name) + " has " +
                          WithThousands(static_cast<int64_t>(name.size())) +
                          " characters (the engine takes at most 31; not renamed)");
    }

    const auto written = static_cast<size_t>(GeometrySetsToWrite(maxGeo, model.lodMeshes.size()));
    if (written > static_cast<size_t>(kMaxEngineGeometrySets)) {
        changes.push_back(WithThousands(static_cast<int64_t>(written - kMaxEngineGeometrySets)) +
                          " geometry sets beyond the fourth not written");
    }
    // The first set is kept even when none is written: the hierarchy comes from it.
    const size_t kept = std::max<size_t>(1, std::min<size_t>(written, kMaxEngineGeometrySets));
    if (model.lodMeshes.size() > kept) model.lodMeshes.resize(kept);

    FitTextures(model, changes);
    FitMaterials(model, changes);
    FitGeometry(model, changes);
    return changes;
}

}  // namespace kesh

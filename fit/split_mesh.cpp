// Splitting a mesh into parts that the engine's loader takes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/engine_limits.h"
#include "fit/fit_internal.h"

namespace kesh::fit {

namespace {

constexpr uint32_t kNone = UINT32_MAX;

int Corners(const OptFace& face) {
    return std::clamp(face.vertexCount, 0, 4);
}

// The faces around each vertex, in face order, as one list with a start per vertex.
struct VertexFaces {
    std::vector<uint32_t> start;
    std::vector<uint32_t> faces;
};

VertexFaces BuildVertexFaces(const OptMesh& mesh) {
    VertexFaces table;
    table.start.assign(mesh.vertices.size() + 1, 0);
    for (const OptFace& face : mesh.faces) {
        for (int k = 0; k < Corners(face); ++k)
            ++table.start[static_cast<size_t>(face.vertexIndex[static_cast<size_t>(k)]) + 1];
    }
    for (size_t v = 0; v < mesh.vertices.size(); ++v)
        table.start[v + 1] += table.start[v];
    table.faces.resize(table.start.back());
    std::vector<uint32_t> next(table.start.begin(), table.start.end() - 1);
    for (size_t f = 0; f < mesh.faces.size(); ++f) {
        const OptFace& face = mesh.faces[f];
        for (int k = 0; k < Corners(face); ++k) {
            const auto v = static_cast<size_t>(face.vertexIndex[static_cast<size_t>(k)]);
            table.faces[next[v]++] = static_cast<uint32_t>(f);
        }
    }
    return table;
}

}  // namespace

std::vector<std::vector<uint32_t>> SplitFaces(const OptMesh& mesh) {
    std::vector<std::vector<uint32_t>> parts;
    if (mesh.faces.empty()) return parts;
    const VertexFaces around = BuildVertexFaces(mesh);

    std::vector<uint8_t> taken(mesh.faces.size(), 0);
    // The part that last entered a vertex or texture vertex, or queued a vertex.
    std::vector<uint32_t> vertexPart(mesh.vertices.size(), kNone);
    std::vector<uint32_t> texPart(mesh.texCoords.size(), kNone);
    std::vector<uint32_t> queuedPart(mesh.vertices.size(), kNone);
    // Each vertex's list is walked once in all: faces before the cursor are taken.
    std::vector<uint32_t> cursor(around.start.begin(), around.start.end() - 1);
    std::vector<uint32_t> queue;
    size_t nextSeed = 0;
    size_t left = mesh.faces.size();

    while (left > 0) {
        const auto part = static_cast<uint32_t>(parts.size());
        std::vector<uint32_t>& faces = parts.emplace_back();
        size_t vertices = 0;
        size_t texCoords = 0;
        queue.clear();
        size_t head = 0;

        // Adds face f when it fits; false closes the part.
        auto take = [&](uint32_t f) {
            const OptFace& face = mesh.faces[f];
            size_t newVertices = 0;
            size_t newTexCoords = 0;
            for (int k = 0; k < Corners(face); ++k) {
                const auto v = static_cast<size_t>(face.vertexIndex[static_cast<size_t>(k)]);
                const auto t = static_cast<size_t>(face.texCoordIndex[static_cast<size_t>(k)]);
                // A corner repeated within the face counts once.
                bool seenV = vertexPart[v] == part;
                bool seenT = t >= texPart.size() || texPart[t] == part;
                for (int j = 0; j < k; ++j) {
                    seenV = seenV || face.vertexIndex[static_cast<size_t>(j)] ==
                                         face.vertexIndex[static_cast<size_t>(k)];
                    seenT = seenT || face.texCoordIndex[static_cast<size_t>(j)] ==
                                         face.texCoordIndex[static_cast<size_t>(k)];
                }
                newVertices += seenV ? 0 : 1;
                newTexCoords += seenT ? 0 : 1;
            }
            if (faces.size() + 1 > static_cast<size_t>(kMaxEngineFaces) ||
                vertices + newVertices > static_cast<size_t>(kMaxEngineVertices) ||
                texCoords + newTexCoords > static_cast<size_t>(kMaxEngineTextureVertices)) {
                return false;
            }
            vertices += newVertices;
            texCoords += newTexCoords;
            for (int k = 0; k < Corners(face); ++k) {
                const auto v = static_cast<size_t>(face.vertexIndex[static_cast<size_t>(k)]);
                const auto t = static_cast<size_t>(face.texCoordIndex[static_cast<size_t>(k)]);
                vertexPart[v] = part;
                if (t < texPart.size()) texPart[t] = part;
                if (queuedPart[v] != part) {
                    queuedPart[v] = part;
                    queue.push_back(static_cast<uint32_t>(v));
                }
            }
            taken[f] = 1;
            faces.push_back(f);
            --left;
            return true;
        };

        bool open = true;
        while (open && left > 0) {
            if (head == queue.size()) {
                while (taken[nextSeed])
                    ++nextSeed;
                open = take(static_cast<uint32_t>(nextSeed));
                continue;
            }
            const uint32_t v = queue[head];
            uint32_t& at = cursor[v];
            const uint32_t end = around.start[v + 1];
            while (at < end) {
                const uint32_t f = around.faces[at];
                if (!taken[f] && !take(f)) {
                    open = false;
                    break;
                }
                ++at;
            }
            if (open) ++head;
        }
    }
    return parts;
}

OptMesh ExtractFaces(const OptMesh& mesh, std::span<const uint32_t> faces) {
    OptMesh out;
    std::vector<int32_t> vertexMap(mesh.vertices.size(), -1);
    std::vector<int32_t> texMap(mesh.texCoords.size(), -1);
    const bool withNormals = mesh.normals.size() == mesh.vertices.size();
    out.faces.reserve(faces.size());
    for (const uint32_t f : faces) {
        OptFace face = mesh.faces[f];
        for (int k = 0; k < Corners(face); ++k) {
            int32_t& v = face.vertexIndex[static_cast<size_t>(k)];
            int32_t& mapped = vertexMap[static_cast<size_t>(v)];
            if (mapped < 0) {
                mapped = static_cast<int32_t>(out.vertices.size());
                out.vertices.push_back(mesh.vertices[static_cast<size_t>(v)]);
                if (withNormals) out.normals.push_back(mesh.normals[static_cast<size_t>(v)]);
            }
            v = mapped;
            int32_t& t = face.texCoordIndex[static_cast<size_t>(k)];
            if (t < 0 || static_cast<size_t>(t) >= texMap.size()) continue;
            int32_t& tMapped = texMap[static_cast<size_t>(t)];
            if (tMapped < 0) {
                tMapped = static_cast<int32_t>(out.texCoords.size());
                out.texCoords.push_back(mesh.texCoords[static_cast<size_t>(t)]);
            }
            t = tMapped;
        }
        out.faces.push_back(face);
    }
    return out;
}

void AppendMesh(OptMesh& into, const OptMesh& from) {
    const auto vertexBase = static_cast<int32_t>(into.vertices.size());
    const auto texBase = static_cast<int32_t>(into.texCoords.size());
    into.vertices.insert(into.vertices.end(), from.vertices.begin(), from.vertices.end());
    into.normals.insert(into.normals.end(), from.normals.begin(), from.normals.end());
    into.texCoords.insert(into.texCoords.end(), from.texCoords.begin(), from.texCoords.end());
    for (OptFace face : from.faces) {
        for (int k = 0; k < Corners(face); ++k) {
            face.vertexIndex[static_cast<size_t>(k)] += vertexBase;
            face.texCoordIndex[static_cast<size_t>(k)] += texBase;
        }
        into.faces.push_back(face);
    }
}

}  // namespace kesh::fit

// The engine-limits check, computed from the model without writing the 3DO text.
#include "core/engine_limits.h"

#include <algorithm>
#include <cstddef>
#include <string>

#include "core/model.h"
#include "writer3do/decimal_digits.h"
#include "writer3do/fixed_point.h"
#include "writer3do/material_name.h"
#include "writer3do/writer3do.h"

namespace kesh {

namespace {

constexpr int64_t kLineEnd = 2;  // CR LF

// Length of a string literal without its terminator.
template <size_t N>
constexpr int64_t Chars(const char (&)[N]) {
    return static_cast<int64_t>(N - 1);
}

// Columns of "%*d" for `value` in `width`.
int64_t IntChars(int64_t value, int64_t width) {
    const uint64_t magnitude =
        value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    return std::max(width, int64_t{DecimalDigits(magnitude)} + (value < 0 ? 1 : 0));
}

// Columns of "%10.6f" for `value`. Every value strictly between -99 and 999 fits the ten
// columns even after rounding, so only the rest is formatted.
int64_t FixedChars(double value) {
    if (value < 999.0 && value > -99.0) return 10;
    char text[kMaxFixedChars + 10];
    return static_cast<int64_t>(FormatFixed(text, value, 10, 6));
}

// "%5d: %10.6f %10.6f %10.6f"
int64_t VectorLine(size_t index, float x, float y, float z) {
    return IntChars(static_cast<int64_t>(index), 5) + Chars(": ") + FixedChars(x) + 1 +
           FixedChars(y) + 1 + FixedChars(z) + kLineEnd;
}

// "%6d: %9d  0x%.4X %5d %7d %6d %12.4f %7d " and one "%4d,%3d" per stored corner.
int64_t FaceLine(size_t index, const OptFace& face) {
    int64_t length = IntChars(static_cast<int64_t>(index), 6) + Chars(": ") +
                     IntChars(std::max(face.textureIndex, 0), 9) + Chars("  0x0000") +
                     Chars("     4       3      1       0.0000 ") + IntChars(face.vertexCount, 7) +
                     1 + kLineEnd;
    const int corners = std::clamp(face.vertexCount, 0, 4);
    for (int k = 0; k < corners; ++k) {
        length += IntChars(face.vertexIndex[static_cast<size_t>(k)], 4) + 1 +
                  IntChars(face.texCoordIndex[static_cast<size_t>(k)], 3);
    }
    return length;
}

void Warn(std::vector<LimitWarning>& warnings, LimitKind kind, int32_t set, int32_t mesh,
          int64_t count, int64_t limit) {
    if (count > limit) warnings.push_back(LimitWarning{kind, set, mesh, count, limit});
}

}  // namespace

int64_t LongestMeshLine(const OptMesh& mesh) {
    int64_t longest = Chars("RADIUS ") + FixedChars(mesh.radius) + kLineEnd;
    for (size_t v = 0; v < mesh.vertices.size(); ++v) {
        // The vertex line has a fourth column, always "  0.000000".
        const MeshVertex& p = mesh.vertices[v];
        longest = std::max(longest, VectorLine(v, p.x, p.y, p.z) + 1 + 10);
    }
    for (size_t t = 0; t < mesh.texCoords.size(); ++t) {
        const TexCoord& c = mesh.texCoords[t];
        longest = std::max(longest, IntChars(static_cast<int64_t>(t), 5) + Chars(": ") +
                                        FixedChars(c.u) + 1 + FixedChars(c.v) + kLineEnd);
    }
    for (size_t n = 0; n < mesh.normals.size(); ++n) {
        const Vec3& p = mesh.normals[n];
        longest = std::max(longest, VectorLine(n, p.x, p.y, p.z));
    }
    for (size_t f = 0; f < mesh.faces.size(); ++f) {
        const Vec3& p = mesh.faces[f].normal;
        longest =
            std::max(longest, std::max(FaceLine(f, mesh.faces[f]), VectorLine(f, p.x, p.y, p.z)));
    }
    return longest;
}

int64_t NodeLineBytes(const Vec3& center, size_t meshIndex, size_t meshCount) {
    const int64_t k = static_cast<int64_t>(meshIndex) + 1;
    const int64_t sibling = meshIndex + 1 < meshCount ? k + 1 : -1;
    const int64_t nameDigits = IntChars(k - 1, 3);
    return IntChars(k, 6) + Chars(":  0x0000 0x00001 ") + IntChars(k - 1, 8) +
           Chars("        0      -1 ") + IntChars(sibling, 9) + Chars("             0 ") +
           FixedChars(center.x) + 1 + FixedChars(center.y) + 1 + FixedChars(center.z) +
           Chars("   0.000000   0.000000   0.000000   0.000000   0.000000   0.000000  Node_") +
           nameDigits + kLineEnd;
}

std::vector<LimitWarning> CheckEngineLimits(const OptModel& model, std::string_view outputPath,
                                            int32_t maxGeo, const MeshLineLengths* measuredLines) {
    std::vector<LimitWarning> warnings;
    // Write3DO writes no file for a model whose first set holds no mesh.
    if (model.lodMeshes.empty() || model.lodMeshes[0].empty()) return warnings;
    const std::vector<OptMesh>& set0 = model.lodMeshes[0];
    const int32_t sets = GeometrySetsToWrite(maxGeo, model.lodMeshes.size());

    const int64_t banner = Chars("# MODEL '") +
                           static_cast<int64_t>(OutputBaseName(outputPath).size()) +
                           Chars("' converted from an OPT by KESH") + kLineEnd;
    Warn(warnings, LimitKind::LineLength, -1, -1, banner, kMaxEngineLineBytes);
    Warn(warnings, LimitKind::GeometrySets, -1, -1, sets, kMaxEngineGeometrySets);
    Warn(warnings, LimitKind::HierarchyNodes, -1, -1, static_cast<int64_t>(set0.size()) + 1,
         kMaxEngineHierarchyNodes);

    // The hierarchy is written from set 0 whatever the number of sets, so its node lines
    // count for the meshes of set 0 even when that set is not written.
    for (int32_t g = 0; g < std::max(sets, 1); ++g) {
        const std::vector<OptMesh>& set = model.lodMeshes[static_cast<size_t>(g)];
        for (size_t j = 0; j < set.size(); ++j) {
            const OptMesh& mesh = set[j];
            const int32_t index = static_cast<int32_t>(j);
            int64_t longest = 0;
            if (g < sets) {
                Warn(warnings, LimitKind::Vertices, g, index,
                     static_cast<int64_t>(mesh.vertices.size()), kMaxEngineVertices);
                Warn(warnings, LimitKind::TextureVertices, g, index,
                     static_cast<int64_t>(mesh.texCoords.size()), kMaxEngineTextureVertices);
                Warn(warnings, LimitKind::Faces, g, index, static_cast<int64_t>(mesh.faces.size()),
                     kMaxEngineFaces);
                int32_t corners = 0;
                for (const OptFace& face : mesh.faces)
                    corners = std::max(corners, face.vertexCount);
                Warn(warnings, LimitKind::FaceVertices, g, index, corners, kMaxEngineFaceVertices);
                longest = measuredLines != nullptr ? (*measuredLines)[static_cast<size_t>(g)][j]
                                                   : LongestMeshLine(mesh);
            }
            if (g == 0) longest = std::max(longest, NodeLineBytes(mesh.center, j, set.size()));
            Warn(warnings, LimitKind::LineLength, g, index, longest, kMaxEngineLineBytes);
        }
    }
    return warnings;
}

std::string Describe(const LimitWarning& warning) {
    std::string text;
    if (warning.geometrySet >= 0) {
        text = "geometry set " + std::to_string(warning.geometrySet);
        if (warning.mesh >= 0) text += ", mesh " + std::to_string(warning.mesh);
        text += ": ";
    }
    const std::string count = std::to_string(warning.count);
    switch (warning.kind) {
        case LimitKind::Vertices:
            text += count + " vertices";
            break;
        case LimitKind::TextureVertices:
            text += count + " texture vertices";
            break;
        case LimitKind::Faces:
            text += count + " faces";
            break;
        case LimitKind::GeometrySets:
            text += count + " geometry sets";
            break;
        case LimitKind::HierarchyNodes:
            text += count + " hierarchy nodes";
            break;
        case LimitKind::FaceVertices:
            text += "a face of " + count + " vertices";
            break;
        case LimitKind::LineLength:
            text += "a line of " + count + " bytes";
            break;
    }
    return text + " (the engine takes at most " + std::to_string(warning.limit) + ")";
}

}  // namespace kesh

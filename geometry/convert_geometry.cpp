// The geometry pass: per-LOD mesh lists with compact vertex and texture-coordinate lists.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/model.h"

namespace kesh {

namespace {

// Model extents start here, so the model radius of a model without meshes is sqrt(3) * 9999.
constexpr float kExtentStart = -9999.0f;

// Scratch shared by every (LOD, mesh) step of one source mesh. Reused, so that building a
// mesh allocates nothing per face, and so that a step undoes only the remap entries that the
// previous step set instead of resetting every entry of the source mesh.
struct MeshScratch {
    std::vector<size_t> lodStart;         // faces of LOD g: order[lodStart[g] .. lodStart[g+1])
    std::vector<size_t> order;            // face indices sorted by LOD, in mesh order within one
    std::vector<size_t> cursor;           // fill position per LOD while sorting
    std::vector<size_t> touchedVertices;  // source vertices whose remap the last step set
    std::vector<size_t> touchedTexCoords;
};

// Counting sort of the face indices of `mesh` by LOD; faces outside 0 .. lodCount-1 are left out.
void BucketFacesByLod(const OptMesh& mesh, int32_t lodCount, MeshScratch& scratch) {
    const size_t lods = static_cast<size_t>(lodCount);
    scratch.lodStart.assign(lods + 1, 0);
    for (const OptFace& face : mesh.faces) {
        if (face.lod >= 0 && face.lod < lodCount)
            ++scratch.lodStart[static_cast<size_t>(face.lod) + 1];
    }
    for (size_t g = 0; g < lods; ++g)
        scratch.lodStart[g + 1] += scratch.lodStart[g];
    scratch.order.resize(scratch.lodStart[lods]);
    std::vector<size_t>& next = scratch.cursor;
    next.assign(scratch.lodStart.begin(), scratch.lodStart.end() - 1);
    for (size_t f = 0; f < mesh.faces.size(); ++f) {
        const int32_t lod = mesh.faces[f].lod;
        if (lod >= 0 && lod < lodCount) scratch.order[next[static_cast<size_t>(lod)]++] = f;
    }
}

// Sets remap back to -1 in the source entries that the previous step entered.
void UndoRemaps(OptMesh& source, MeshScratch& scratch) {
    for (size_t i : scratch.touchedVertices)
        source.vertices[i].remap = -1;
    for (size_t i : scratch.touchedTexCoords)
        source.texCoords[i].remap = -1;
    scratch.touchedVertices.clear();
    scratch.touchedTexCoords.clear();
}

// Builds into `out` the LOD whose face indices are order[first .. last) from `source`.
// Indices outside the source lists read as a vertex at the origin and a texture coordinate
// (0, 0), entered once per output mesh; a face without a valid texture leaves the texture
// coordinates it first meets in texture units.
void BuildLodMesh(OptMesh& source, const OptModel& model, float scale, size_t first, size_t last,
                  MeshScratch& scratch, OptMesh& out) {
    UndoRemaps(source, scratch);
    int32_t strayVertex = -1;
    int32_t strayTexCoord = -1;

    const double s = scale;
    out.faces.reserve(last - first);
    // At most four new entries per face, and never more than the source holds plus the one
    // shared stand-in for stray indices: reserved once instead of grown and copied.
    const size_t corners = 4 * (last - first);
    out.vertices.reserve(std::min(corners, source.vertices.size() + 1));
    out.texCoords.reserve(std::min(corners, source.texCoords.size() + 1));
    for (size_t n = first; n < last; ++n)
        out.faces.push_back(source.faces[scratch.order[n]]);

    for (OptFace& face : out.faces) {
        double width = 1.0;
        double height = 1.0;
        if (face.textureIndex >= 0 &&
            static_cast<size_t>(face.textureIndex) < model.textures.size()) {
            const Texture& texture = model.textures[static_cast<size_t>(face.textureIndex)];
            width = texture.width;
            height = texture.height;
        }
        const int slots = std::clamp(face.vertexCount, 0, 4);
        for (int k = 0; k < slots; ++k) {
            int32_t& vertexIndex = face.vertexIndex[static_cast<size_t>(k)];
            const bool vertexValid =
                vertexIndex >= 0 && static_cast<size_t>(vertexIndex) < source.vertices.size();
            int32_t& vertexRemap =
                vertexValid ? source.vertices[static_cast<size_t>(vertexIndex)].remap : strayVertex;
            if (vertexRemap < 0) {
                MeshVertex v =
                    vertexValid ? source.vertices[static_cast<size_t>(vertexIndex)] : MeshVertex{};
                if (vertexValid)
                    scratch.touchedVertices.push_back(static_cast<size_t>(vertexIndex));
                vertexRemap = static_cast<int32_t>(out.vertices.size());
                v.remap = vertexRemap;
                v.x = static_cast<float>(s * v.x);
                v.y = static_cast<float>(-(s * v.y));  // the Y axis is mirrored
                v.z = static_cast<float>(s * v.z);
                out.vertices.push_back(v);
            }
            vertexIndex = vertexRemap;

            int32_t& texIndex = face.texCoordIndex[static_cast<size_t>(k)];
            const bool texValid =
                texIndex >= 0 && static_cast<size_t>(texIndex) < source.texCoords.size();
            int32_t& texRemap =
                texValid ? source.texCoords[static_cast<size_t>(texIndex)].remap : strayTexCoord;
            if (texRemap < 0) {
                TexCoord t =
                    texValid ? source.texCoords[static_cast<size_t>(texIndex)] : TexCoord{};
                if (texValid) scratch.touchedTexCoords.push_back(static_cast<size_t>(texIndex));
                texRemap = static_cast<int32_t>(out.texCoords.size());
                t.remap = texRemap;
                // Scaled once, by the texture of the first face that meets it.
                t.u = static_cast<float>(width * t.u);
                t.v = static_cast<float>(height * t.v);
                out.texCoords.push_back(t);
            }
            texIndex = texRemap;
        }
    }

    out.ComputeCenter();
    for (MeshVertex& v : out.vertices) {
        v.x = static_cast<float>(static_cast<double>(v.x) - out.center.x);
        v.y = static_cast<float>(static_cast<double>(v.y) - out.center.y);
        v.z = static_cast<float>(static_cast<double>(v.z) - out.center.z);
    }
    out.ComputeRadius();
    out.ComputeFaceNormals();
    out.ComputeVertexNormals();
}

// Raises `extent` to |centre| + radius when that is larger (an equal value leaves it).
void Widen(float& extent, float centre, float radius) {
    const double c = std::fabs(static_cast<double>(centre)) + radius;
    if (c > extent) extent = static_cast<float>(c);
}

}  // namespace

void OptModel::ConvertGeometry(float scale) {
    const size_t lods = lodCount > 0 ? static_cast<size_t>(lodCount) : 0;
    const size_t base = lodMeshes.size();
    lodMeshes.resize(base + lods);
    for (size_t g = 0; g < lods; ++g)
        lodMeshes[base + g].resize(meshes.size());

    // Each source mesh has its own remap fields and its own output meshes, so handling the
    // meshes one by one, with all their LODs, builds the same lists as handling the LODs one
    // by one, and leaves every remap field as the last LOD set it.
    Vec3 extents{kExtentStart, kExtentStart, kExtentStart};
    MeshScratch scratch;
    for (size_t m = 0; m < meshes.size() && lods > 0; ++m) {
        OptMesh& source = meshes[m];
        for (MeshVertex& v : source.vertices)
            v.remap = -1;
        for (TexCoord& t : source.texCoords)
            t.remap = -1;
        scratch.touchedVertices.clear();
        scratch.touchedTexCoords.clear();
        BucketFacesByLod(source, lodCount, scratch);
        for (size_t g = 0; g < lods; ++g) {
            OptMesh& out = lodMeshes[base + g][m];
            const size_t first = scratch.lodStart[g];
            const size_t last = scratch.lodStart[g + 1];
            if (first == last) {
                // An empty mesh stays as created: centre (0, 0, 0) and radius 0. Only the
                // entries of the previous step need their remap undone.
                UndoRemaps(source, scratch);
            } else {
                BuildLodMesh(source, *this, scale, first, last, scratch, out);
            }
            Widen(extents.x, out.center.x, out.radius);
            Widen(extents.y, out.center.y, out.radius);
            Widen(extents.z, out.center.z, out.radius);
        }
    }
    const double x = extents.x;
    const double y = extents.y;
    const double z = extents.z;
    radius = static_cast<float>(std::sqrt(x * x + y * y + z * z));
}

}  // namespace kesh

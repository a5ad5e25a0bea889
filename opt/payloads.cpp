#include "opt/payloads.h"

#include <algorithm>

#include "opt/byte_cursor.h"

namespace kesh {

namespace {

// Below this many bytes of entries, the meshes are filled on one thread.
constexpr size_t kBytesWorthThreads = size_t{1} << 20;

size_t EntryBytes(PayloadKind kind) {
    switch (kind) {
        case PayloadKind::Vertices:
            return kVertexEntryBytes;
        case PayloadKind::TexCoords:
            return kTexCoordEntryBytes;
        case PayloadKind::Faces:
            break;
    }
    return kFaceEntryBytes;
}

void AppendVertices(const Payload& payload, std::vector<MeshVertex>& vertices) {
    const uint8_t* raw = payload.entries;
    for (size_t i = 0; i < payload.count; ++i, raw += kVertexEntryBytes) {
        MeshVertex vertex;
        vertex.x = LittleFloat(raw);
        vertex.y = LittleFloat(raw + 4);
        vertex.z = LittleFloat(raw + 8);
        vertices.push_back(vertex);
    }
}

void AppendTexCoords(const Payload& payload, std::vector<TexCoord>& texCoords) {
    const uint8_t* raw = payload.entries;
    for (size_t i = 0; i < payload.count; ++i, raw += kTexCoordEntryBytes) {
        TexCoord texCoord;
        texCoord.u = LittleFloat(raw);
        texCoord.v = LittleFloat(raw + 4);
        texCoords.push_back(texCoord);
    }
}

void AppendFaces(const Payload& payload, size_t textureCount, std::vector<OptFace>& faces) {
    // Texture reference numbers are not checked against anything; a face may only refer to
    // a texture the model has.
    const bool known =
        payload.textureIndex >= 0 && static_cast<size_t>(payload.textureIndex) < textureCount;
    const int32_t textureIndex = known ? payload.textureIndex : -1;
    const uint8_t* raw = payload.entries;
    for (size_t i = 0; i < payload.count; ++i, raw += kFaceEntryBytes) {
        OptFace face;
        for (size_t k = 0; k < 4; ++k) {
            face.vertexIndex[k] = LittleInt32(raw + 4 * k);
            face.texCoordIndex[k] = LittleInt32(raw + 32 + 4 * k);
        }
        face.vertexCount = face.vertexIndex[3] == -1 ? 3 : 4;
        face.lod = payload.lod;
        face.textureIndex = textureIndex;
        faces.push_back(face);
    }
}

}  // namespace

PayloadDecoder::PayloadDecoder(OptModel& model, std::span<const Payload> payloads,
                               size_t textureCount)
    : model_(model), textureCount_(textureCount) {
    // A counting sort by mesh that keeps the walk order within each mesh.
    const size_t meshes = model.meshes.size();
    meshStart_.assign(meshes + 1, 0);
    for (const Payload& payload : payloads) {
        if (static_cast<size_t>(payload.mesh) < meshes)
            ++meshStart_[static_cast<size_t>(payload.mesh) + 1];
        bytes_ += payload.count * EntryBytes(payload.kind);
    }
    for (size_t m = 0; m < meshes; ++m)
        meshStart_[m + 1] += meshStart_[m];
    order_.resize(meshStart_[meshes]);
    std::vector<size_t> next(meshStart_.begin(), meshStart_.end() - 1);
    for (const Payload& payload : payloads) {
        if (static_cast<size_t>(payload.mesh) < meshes)
            order_[next[static_cast<size_t>(payload.mesh)]++] = &payload;
    }
}

size_t PayloadDecoder::UsefulThreads() const {
    if (bytes_ < kBytesWorthThreads) return 1;
    size_t meshesWithEntries = 0;
    for (size_t m = 0; m + 1 < meshStart_.size(); ++m) {
        if (meshStart_[m + 1] > meshStart_[m]) ++meshesWithEntries;
    }
    return std::max<size_t>(meshesWithEntries, 1);
}

void PayloadDecoder::Run() {
    const size_t meshes = meshStart_.size() - 1;
    for (size_t m = nextMesh_++; m < meshes; m = nextMesh_++)
        DecodeMesh(m);
}

void PayloadDecoder::DecodeMesh(size_t m) {
    const std::span<const Payload* const> payloads(order_.data() + meshStart_[m],
                                                   meshStart_[m + 1] - meshStart_[m]);
    if (payloads.empty()) return;
    OptMesh& mesh = model_.meshes[m];
    // Every list's length is known: each vector is sized once, never grown and copied.
    size_t counts[3] = {};
    for (const Payload* payload : payloads)
        counts[static_cast<size_t>(payload->kind)] += payload->count;
    mesh.vertices.reserve(mesh.vertices.size() + counts[0]);
    mesh.texCoords.reserve(mesh.texCoords.size() + counts[1]);
    mesh.faces.reserve(mesh.faces.size() + counts[2]);
    for (const Payload* payload : payloads) {
        switch (payload->kind) {
            case PayloadKind::Vertices:
                AppendVertices(*payload, mesh.vertices);
                break;
            case PayloadKind::TexCoords:
                AppendTexCoords(*payload, mesh.texCoords);
                break;
            case PayloadKind::Faces:
                AppendFaces(*payload, textureCount_, mesh.faces);
                break;
        }
    }
}

}  // namespace kesh

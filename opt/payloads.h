// The lists of vertices, texture coordinates and faces that the walk of the node tree finds,
// and their decoding into the meshes.
//
// The walk checks each list against the file and the read budget and notes where its whole
// entries lie; it decodes nothing. Decoding them afterwards, mesh by mesh, fills each mesh
// exactly as reading the lists in walk order would, and lets the meshes of a large model be
// filled on several threads.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/model.h"

namespace kesh {

// Bytes of one stored entry of each list.
inline constexpr size_t kVertexEntryBytes = 12;   // x, y, z
inline constexpr size_t kTexCoordEntryBytes = 8;  // u, v
inline constexpr size_t kFaceEntryBytes = 64;     // 4 vertex indices, 4 more words, 4 texture
                                                  // coordinate indices, 4 more words

enum class PayloadKind : uint8_t { Vertices, TexCoords, Faces };

// One list found by the walk: `count` whole entries from `entries`, for mesh `mesh`.
struct Payload {
    const uint8_t* entries = nullptr;
    size_t count = 0;
    int32_t mesh = 0;
    int32_t lod = 0;            // faces: the level of every face of the list
    int32_t textureIndex = -1;  // faces: the texture the tree chose for them
    PayloadKind kind = PayloadKind::Vertices;
};

// Appends the entries of every payload to its mesh, in payload order within each mesh. A
// face texture index that names none of `textureCount` textures becomes -1. Several threads
// may call Run() at once: each mesh is filled by one of them, and nothing else of the model
// is touched. The bytes the payloads point at must outlive the decoder.
class PayloadDecoder {
  public:
    PayloadDecoder(OptModel& model, std::span<const Payload> payloads, size_t textureCount);

    // Fills meshes until none is left.
    void Run();

    // How many threads could usefully share the work: 1 for small models.
    size_t UsefulThreads() const;

  private:
    void DecodeMesh(size_t mesh);

    OptModel& model_;
    std::vector<const Payload*> order_;  // the payloads grouped by mesh, in walk order
    std::vector<size_t> meshStart_;      // mesh m has order_[meshStart_[m] .. meshStart_[m+1])
    size_t textureCount_;
    size_t bytes_ = 0;  // of all entries
    std::atomic<size_t> nextMesh_ = 0;
};

}  // namespace kesh

#include "opt/opt_check.h"

#include "opt/byte_cursor.h"
#include "opt/opt_reader.h"

namespace kesh {

namespace {

bool FoundAnything(const OptModel& model) {
    if (!model.textures.empty()) return true;
    for (const OptMesh& mesh : model.meshes) {
        if (!mesh.vertices.empty() || !mesh.faces.empty() || !mesh.texCoords.empty()) return true;
    }
    return false;
}

}  // namespace

NotOptReason WhyNotOpt(std::span<const uint8_t> bytes, const OptModel& model) {
    if (FoundAnything(model)) return NotOptReason::None;
    if (bytes.size() < kOptHeaderBytes) return NotOptReason::TooShort;
    const int32_t count = LittleInt32(&bytes[14]);
    const int32_t table = PositionOf(LittleInt32(&bytes[18]), model.offsetBase);
    // Compared by subtraction: the table must hold at least its first entry.
    if (count <= 0 || table < 0 || static_cast<size_t>(table) > bytes.size() - 4) {
        return NotOptReason::BadHeader;
    }
    return NotOptReason::NoUsableNode;
}

}  // namespace kesh

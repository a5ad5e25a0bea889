// Reading the node tree of an OPT file: header, top-level table, the depth-first walk and the
// readers of the node types that carry geometry or textures.
#include "opt/opt_reader.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "opt/byte_cursor.h"

namespace kesh {

namespace {

constexpr int32_t kGroupFaces = 21;
constexpr int32_t kFaceNode = 1;
constexpr int32_t kVertexNode = 3;
constexpr int32_t kTextureReferenceNode = 7;
constexpr int32_t kTexCoordNode = 13;
constexpr int32_t kTextureNode = 20;
constexpr int32_t kSwitchNode = 24;

// Bytes of one stored entry of each list.
constexpr size_t kVertexEntryBytes = 12;   // x, y, z
constexpr size_t kTexCoordEntryBytes = 8;  // u, v
constexpr size_t kFaceEntryBytes = 64;     // 4 vertex indices, 4 more words, 4 texture
                                           // coordinate indices, 4 more words

int32_t Saturate(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// Makes room for `more` entries, growing geometrically so that many small nodes appending to
// one list stay linear.
template <class T>
void Grow(std::vector<T>& list, size_t more) {
    if (list.capacity() - list.size() >= more) return;
    list.reserve(std::max(list.size() + more, 2 * list.capacity()));
}

// Makes room for `count` more entries of `entryBytes` bytes each, but never for more than
// the rest of the file (and of the read budget) can hold.
template <class T>
void ReserveMore(std::vector<T>& list, int32_t count, const ByteCursor& cursor, size_t entryBytes) {
    if (count <= 0) return;
    const uint64_t bytes = std::min<uint64_t>(cursor.Remaining(), cursor.budgetLeft());
    Grow(list, static_cast<size_t>(std::min<uint64_t>(count, bytes / entryBytes)));
}

OptNode NewNode(OptModel& model, OptNode* parent, int32_t stored, int32_t meshIndex,
                int32_t siblingIndex) {
    OptNode node;
    node.fileOffset = PositionOf(stored, model.offsetBase);
    node.parent = parent;
    node.model = &model;
    node.meshIndex = meshIndex;
    node.siblingIndex = siblingIndex;
    node.textureIndex = -1;
    return node;
}

class TreeReader {
  public:
    TreeReader(OptModel& model, std::span<const uint8_t> bytes)
        : model_(model),
          cursor_(bytes, ReadBudget(bytes.size())),
          lodBudget_(LodBudget(bytes.size())),
          nodesLeft_(NodeBudget(bytes.size())),
          textureBudget_(TextureBudget(bytes.size())) {}

    StageResult Load() {
        ReadTopLevelTable();
        for (OptNode& node : model_.nodes) {
            if (cursor_.failed()) break;
            ReadNode(node);
            WalkSubtree(node);
        }
        if (ReadTextureData(cursor_, model_, pixelByteCounts_)) boundHit_ = true;
        ForgetUnknownFaceTextures();
        StageResult result;
        result.damaged = boundHit_ || cursor_.failed();
        return result;
    }

  private:
    // Texture reference numbers are not checked against anything while the tree is read (a
    // reference may precede the texture it names); a face may only refer to a texture the
    // model has.
    void ForgetUnknownFaceTextures() {
        const auto textures = static_cast<int32_t>(model_.textures.size());
        for (OptMesh& mesh : model_.meshes) {
            for (OptFace& face : mesh.faces) {
                if (face.textureIndex < 0 || face.textureIndex >= textures) {
                    face.textureIndex = -1;
                }
            }
        }
    }

    void ReadTopLevelTable() {
        cursor_.Seek(8);
        const int32_t base = cursor_.ReadInt32();
        if (cursor_.failed()) return;  // a file too short for its header leaves the base 0
        model_.offsetBase = Saturate(static_cast<int64_t>(base) - 8);
        cursor_.Seek(14);
        const int32_t count = cursor_.ReadInt32();
        const int32_t table = cursor_.ReadInt32();
        if (cursor_.failed() || count <= 0) return;
        cursor_.Seek(PositionOf(table, model_.offsetBase));
        ReserveMore(model_.nodes, count, cursor_, 4);
        ReserveMore(model_.meshes, count, cursor_, 4);
        for (int32_t i = 0; i < count; ++i) {
            const int32_t stored = cursor_.ReadInt32();
            if (cursor_.failed() || !TakeNode()) break;
            model_.nodes.push_back(NewNode(model_, nullptr, stored, i, i));
            model_.meshes.emplace_back();
        }
    }

    // Depth first in child order. A node's child list is complete before any child is read,
    // so the parent pointers into it stay valid.
    void WalkSubtree(OptNode& top) {
        struct Frame {
            OptNode* node;
            size_t next;
        };
        std::vector<Frame> stack;
        if (!top.children.empty()) stack.push_back({&top, 0});
        while (!stack.empty() && !cursor_.failed()) {
            Frame& frame = stack.back();
            if (frame.next == frame.node->children.size()) {
                stack.pop_back();
                continue;
            }
            OptNode& child = frame.node->children[frame.next++];
            const size_t depth = stack.size();
            if (child.fileOffset >= 0 && (depth > kMaxNodeDepth || IsOnOwnPath(child))) {
                child.fileOffset = -1;  // read below as an empty slot
                boundHit_ = true;
            }
            ReadNode(child);
            if (!child.children.empty()) stack.push_back({&child, 0});
        }
    }

    // Counts one more node against the node budget; when it is spent, reading stops.
    bool TakeNode() {
        if (nodesLeft_ == 0) {
            cursor_.Stop();
            boundHit_ = true;
            return false;
        }
        --nodesLeft_;
        return true;
    }

    static bool IsOnOwnPath(const OptNode& node) {
        for (const OptNode* p = node.parent; p != nullptr; p = p->parent) {
            if (p->fileOffset == node.fileOffset) return true;
        }
        return false;
    }

    void ReadNode(OptNode& node) {
        if (node.fileOffset < 0) {
            node.type = -1;
            node.fileOffset = 0;
            return;
        }
        cursor_.Seek(static_cast<int64_t>(node.fileOffset) + 4);
        node.type = cursor_.ReadInt32();
        if (cursor_.failed()) return;
        switch (node.type) {
            case kFaceNode:
                ReadFaces(node);
                break;
            case kVertexNode:
                ReadVertices(node);
                break;
            case kTextureReferenceNode:
                ReadTextureReference(node);
                break;
            case kTexCoordNode:
                ReadTexCoords(node);
                break;
            case kTextureNode:
                ReadTexture(node);
                break;
            case kGroupFaces:
            case kSwitchNode:
                ReadChildList(node);
                break;
            default:
                if (node.type <= 0) ReadChildList(node);
                break;
        }
    }

    void ReadChildList(OptNode& node) {
        cursor_.Seek(static_cast<int64_t>(node.fileOffset) + 8);
        const int32_t count = cursor_.ReadInt32();
        const int32_t table = cursor_.ReadInt32();
        // A table without entries is never visited: its offset often lies below the base.
        if (cursor_.failed() || count <= 0) return;
        cursor_.Seek(PositionOf(table, model_.offsetBase));
        ReserveMore(node.children, count, cursor_, 4);
        for (int32_t j = 0; j < count; ++j) {
            const int32_t stored = cursor_.ReadInt32();
            if (cursor_.failed() || !TakeNode()) break;
            node.children.push_back(NewNode(model_, &node, stored, node.meshIndex, j));
        }
    }

    // Reads the payload count and position at X+16 and X+20 and moves to the payload plus
    // `skip`; false when nothing is to be read.
    bool EnterPayload(const OptNode& node, int32_t& count, int64_t skip) {
        cursor_.Seek(static_cast<int64_t>(node.fileOffset) + 16);
        count = cursor_.ReadInt32();
        const int32_t payload = cursor_.ReadInt32();
        if (cursor_.failed() || count <= 0) return false;
        cursor_.Seek(static_cast<int64_t>(PositionOf(payload, model_.offsetBase)) + skip);
        return !cursor_.failed();
    }

    // The whole entries of a list at the cursor; a list cut short by the end of the file or
    // of the budget keeps its whole entries and fails the cursor. Makes room for them in
    // `list`.
    template <size_t kEntryBytes, class T>
    std::span<const uint8_t> TakeEntries(int32_t count, std::vector<T>& list) {
        size_t taken = 0;
        const uint8_t* entries =
            cursor_.TakeEntries<kEntryBytes>(static_cast<size_t>(count), taken);
        Grow(list, taken);
        return {entries, taken * kEntryBytes};
    }

    void ReadVertices(const OptNode& node) {
        int32_t count = 0;
        if (!EnterPayload(node, count, 0)) return;
        std::vector<MeshVertex>& vertices = model_.meshes[node.meshIndex].vertices;
        const auto bytes = TakeEntries<kVertexEntryBytes>(count, vertices);
        for (size_t at = 0; at < bytes.size(); at += kVertexEntryBytes) {
            MeshVertex vertex;
            vertex.x = LittleFloat(&bytes[at]);
            vertex.y = LittleFloat(&bytes[at + 4]);
            vertex.z = LittleFloat(&bytes[at + 8]);
            vertices.push_back(vertex);
        }
    }

    void ReadTexCoords(const OptNode& node) {
        int32_t count = 0;
        if (!EnterPayload(node, count, 0)) return;
        std::vector<TexCoord>& texCoords = model_.meshes[node.meshIndex].texCoords;
        const auto bytes = TakeEntries<kTexCoordEntryBytes>(count, texCoords);
        for (size_t at = 0; at < bytes.size(); at += kTexCoordEntryBytes) {
            TexCoord texCoord;
            texCoord.u = LittleFloat(&bytes[at]);
            texCoord.v = LittleFloat(&bytes[at + 4]);
            texCoords.push_back(texCoord);
        }
    }

    // The texture of the faces of a face node comes from the node's previous sibling.
    int32_t ChooseFaceTexture(const OptNode& node) {
        if (node.parent == nullptr || node.siblingIndex <= 0) return -1;
        const OptNode& previous = node.parent->children[node.siblingIndex - 1];
        if (previous.type == kTextureNode || previous.type == kTextureReferenceNode) {
            return previous.textureIndex;
        }
        if (previous.type != kSwitchNode) return -1;
        const auto groups = static_cast<int32_t>(previous.children.size());
        // Compared as unsigned: a group of -1 (left by an empty switch) also selects the last.
        if (static_cast<uint32_t>(model_.textureGroup) >= static_cast<uint32_t>(groups)) {
            model_.textureGroup = groups - 1;
        }
        if (groups == 0) return -1;
        const OptNode& chosen = previous.children[model_.textureGroup];
        if (chosen.type == kTextureNode || chosen.type == kTextureReferenceNode) {
            return chosen.textureIndex;
        }
        return -1;
    }

    void ReadFaces(const OptNode& node) {
        cursor_.Seek(static_cast<int64_t>(node.fileOffset) + 16);
        const int32_t count = cursor_.ReadInt32();
        const int32_t payload = cursor_.ReadInt32();
        if (cursor_.failed()) return;
        const int32_t textureIndex = ChooseFaceTexture(node);
        // A face node at the top level has no parent to give it a level: it is level 0.
        const int32_t lod = node.parent != nullptr ? node.parent->siblingIndex : 0;
        if (count <= 0) return;
        cursor_.Seek(static_cast<int64_t>(PositionOf(payload, model_.offsetBase)) + 4);
        std::vector<OptFace>& faces = model_.meshes[node.meshIndex].faces;
        const auto bytes = TakeEntries<kFaceEntryBytes>(count, faces);
        for (size_t at = 0; at < bytes.size(); at += kFaceEntryBytes) {
            OptFace face;
            for (size_t k = 0; k < 4; ++k) {
                face.vertexIndex[k] = LittleInt32(&bytes[at + 4 * k]);
                face.texCoordIndex[k] = LittleInt32(&bytes[at + 32 + 4 * k]);
            }
            face.vertexCount = face.vertexIndex[3] == -1 ? 3 : 4;
            face.lod = lod;
            face.textureIndex = textureIndex;
            faces.push_back(face);
        }
        if (!bytes.empty()) RaiseLodCount(lod);
    }

    void RaiseLodCount(int32_t lod) {
        if (lod < model_.lodCount) return;
        const uint64_t meshes = std::max<uint64_t>(1, model_.meshes.size());
        if ((static_cast<uint64_t>(lod) + 1) * meshes <= lodBudget_) {
            model_.lodCount = lod + 1;
        } else {
            boundHit_ = true;
        }
    }

    void ReadTextureReference(OptNode& node) {
        cursor_.Seek(static_cast<int64_t>(node.fileOffset) + 20);
        const int32_t payload = cursor_.ReadInt32();
        cursor_.Seek(PositionOf(payload, model_.offsetBase));
        uint8_t name[9];
        cursor_.ReadBytes(name, sizeof name);  // a short read leaves zeros
        node.textureIndex = TextureReferenceNumber(name);
    }

    void ReadTexture(OptNode& node) {
        if (model_.textures.size() >= textureBudget_) {
            boundHit_ = true;
            return;
        }
        cursor_.Seek(static_cast<int64_t>(node.fileOffset) + 20);
        const int32_t payload = cursor_.ReadInt32();
        const int32_t position = PositionOf(payload, model_.offsetBase);
        cursor_.Seek(position);
        uint8_t raw[24];
        if (!cursor_.ReadBytes(raw, sizeof raw)) return;
        Texture texture;
        texture.paletteBlock = PositionOf(LittleInt32(raw), model_.offsetBase);
        texture.dataSize = LittleInt32(raw + 8);
        texture.width = LittleInt32(raw + 16);
        texture.height = LittleInt32(raw + 20);
        texture.dataPosition = Saturate(static_cast<int64_t>(position) + 24);
        // Textures are appended before any pixels exist, so growing the list copies no pixels.
        model_.textures.push_back(texture);
        pixelByteCounts_.push_back(LittleInt32(raw + 12));
        node.textureIndex = static_cast<int32_t>(model_.textures.size() - 1);
    }

    OptModel& model_;
    ByteCursor cursor_;
    uint64_t lodBudget_;
    uint64_t nodesLeft_;
    uint64_t textureBudget_;
    std::vector<int32_t> pixelByteCounts_;  // the word at P+12 of each texture
    bool boundHit_ = false;
};

}  // namespace

int32_t PositionOf(int32_t stored, int32_t offsetBase) {
    return Saturate(static_cast<int64_t>(stored) - offsetBase);
}

StageResult OptModel::LoadOptBytes(std::span<const uint8_t> bytes) {
    return TreeReader(*this, bytes).Load();
}

}  // namespace kesh

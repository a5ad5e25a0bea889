#include "support/opt_builder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace kesh::test {

namespace {

constexpr size_t kHeaderBytes = 22;  // the node table follows the file header
constexpr size_t kNodeHeaderBytes = 24;

class Writer {
  public:
    explicit Writer(const OptSpec& layout) : spec_(layout) {
        built_.offsetBase = layout.offsetBase;
    }

    BuiltOpt Build() {
        std::vector<uint8_t>& out = built_.bytes;
        out.assign(kHeaderBytes, 0);
        PutAt(8, Wrap(spec_.offsetBase, 8));
        PutAt(14, spec_.nodeCount.value_or(static_cast<int32_t>(spec_.nodes.size())));
        PutAt(18, spec_.nodeTable.value_or(Stored(kHeaderBytes)));
        EmitTable(spec_.nodes);
        for (const auto& [position, label] : links_) {
            PutAt(position, Stored(static_cast<size_t>(built_.At(label))));
        }
        return std::move(built_);
    }

  private:
    static int32_t Wrap(int32_t a, int32_t b) {
        return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
    }
    int32_t Stored(size_t position) const {
        return Wrap(static_cast<int32_t>(position), spec_.offsetBase);
    }

    void PutAt(size_t position, int32_t value) {
        const auto bits = static_cast<uint32_t>(value);
        for (int k = 0; k < 4; ++k)
            built_.bytes[position + k] = static_cast<uint8_t>(bits >> 8 * k);
    }
    void Put(int32_t value) {
        built_.bytes.resize(built_.bytes.size() + 4);
        PutAt(built_.bytes.size() - 4, value);
    }
    void PutFloat(float value) {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        Put(static_cast<int32_t>(bits));
    }
    void PutBytes(const void* data, size_t count) {
        const auto* p = static_cast<const uint8_t*>(data);
        built_.bytes.insert(built_.bytes.end(), p, p + count);
    }

    // Writes a table of entries for `nodes` at the end, then lays out the nodes it lists.
    void EmitTable(const std::vector<NodeSpec>& nodes) {
        const size_t table = built_.bytes.size();
        built_.bytes.resize(table + 4 * nodes.size());
        for (size_t j = 0; j < nodes.size(); ++j) {
            const NodeSpec& node = nodes[j];
            const size_t entry = table + 4 * j;
            switch (node.entry) {
                case EntryKind::LaidOut:
                    PutAt(entry, Stored(EmitNode(node)));
                    break;
                case EntryKind::Empty:
                    PutAt(entry, spec_.offsetBase > 0 ? 0 : Wrap(spec_.offsetBase, -1));
                    break;
                case EntryKind::Raw:
                    PutAt(entry, node.rawEntry);
                    break;
                case EntryKind::Link:
                    links_.emplace_back(entry, node.link);
                    break;
            }
        }
    }

    size_t EmitNode(const NodeSpec& node) {
        const size_t header = built_.bytes.size();
        built_.bytes.resize(header + kNodeHeaderBytes);
        if (!node.label.empty()) built_.nodes[node.label] = static_cast<int32_t>(header);

        const size_t payload = built_.bytes.size();
        const std::optional<int32_t> count = EmitPayload(node);
        if (count && !node.label.empty())
            built_.payloads[node.label] = static_cast<int32_t>(payload);

        const size_t table = built_.bytes.size();
        PutAt(header + 4, node.type);
        PutAt(header + 8, node.childCount.value_or(static_cast<int32_t>(node.children.size())));
        PutAt(header + 12, node.childTable.value_or(node.children.empty() ? 0 : Stored(table)));
        PutAt(header + 16, node.payloadCount.value_or(count.value_or(0)));
        PutAt(header + 20, node.payloadStored.value_or(count ? Stored(payload) : 0));
        EmitTable(node.children);
        return header;
    }

    // Writes the payload of `node` at the end; its element count, or none for a node
    // without payload.
    std::optional<int32_t> EmitPayload(const NodeSpec& node) {
        switch (node.type) {
            case kVerticesType:
            case kVertexNormalsType:
                for (const Vec3& p : node.points) {
                    PutFloat(p.x);
                    PutFloat(p.y);
                    PutFloat(p.z);
                }
                return static_cast<int32_t>(node.points.size());
            case kTexCoordsType:
                for (const Uv& uv : node.uvs) {
                    PutFloat(uv.u);
                    PutFloat(uv.v);
                }
                return static_cast<int32_t>(node.uvs.size());
            case kFacesType:
                Put(0);
                for (const FaceSpec& face : node.faces) {
                    for (int32_t v : face.vertices)
                        Put(v);
                    for (int k = 0; k < 4; ++k)
                        Put(0);
                    for (int32_t t : face.texCoords)
                        Put(t);
                    for (int k = 0; k < 4; ++k)
                        Put(0);
                }
                built_.bytes.resize(built_.bytes.size() + 12 * node.faces.size());  // normals
                return static_cast<int32_t>(node.faces.size());
            case kTextureRefType: {
                PutBytes(node.name.data(), node.name.size());
                const size_t padded = std::max<size_t>(node.name.size() + 1, 9);
                built_.bytes.resize(built_.bytes.size() + padded - node.name.size());
                return 1;
            }
            case kTextureType:
                EmitTexture(node.texture);
                return 1;
            default:
                return std::nullopt;
        }
    }

    // P+0 palette block, P+8 dataSize, P+12 byte count of all pixel data, P+16 width,
    // P+20 height, P+24 pixels; the palette block (paletteCount x 512 bytes) follows them.
    void EmitTexture(const TextureSpec& texture) {
        const size_t start = built_.bytes.size();
        const auto pixelCount = static_cast<int32_t>(texture.pixels.size());
        const size_t block = start + 24 + texture.pixels.size();
        Put(texture.paletteStored.value_or(Stored(block)));
        Put(0);
        Put(texture.dataSize.value_or(pixelCount));
        Put(texture.pixelBytes.value_or(pixelCount));
        Put(texture.width);
        Put(texture.height);
        PutBytes(texture.pixels.data(), texture.pixels.size());
        const size_t blockBytes =
            2 * kPaletteColours * static_cast<size_t>(std::max(0, texture.paletteCount));
        const size_t colours = std::min<size_t>(texture.palettes.size(), blockBytes / 2);
        for (size_t i = 0; i < colours; ++i) {
            built_.bytes.push_back(static_cast<uint8_t>(texture.palettes[i]));
            built_.bytes.push_back(static_cast<uint8_t>(texture.palettes[i] >> 8));
        }
        built_.bytes.resize(block + blockBytes);
    }

    const OptSpec& spec_;
    BuiltOpt built_;
    std::vector<std::pair<size_t, std::string>> links_;
};

NodeSpec OfType(int32_t type) {
    NodeSpec node;
    node.type = type;
    return node;
}

}  // namespace

FaceSpec Tri(int32_t a, int32_t b, int32_t c, std::array<int32_t, 3> uv) {
    return FaceSpec{{a, b, c, -1}, {uv[0], uv[1], uv[2], 0}};
}

FaceSpec Quad(int32_t a, int32_t b, int32_t c, int32_t d, std::array<int32_t, 4> uv) {
    return FaceSpec{{a, b, c, d}, uv};
}

uint16_t Rgb565(int red, int green, int blue) {
    return static_cast<uint16_t>((red & 0xF8) << 8 | (green & 0xFC) << 3 | (blue & 0xF8) >> 3);
}

TextureSpec& TextureSpec::Palette(int index, const std::vector<uint16_t>& colours) {
    const size_t first = static_cast<size_t>(index) * kPaletteColours;
    const size_t count = std::min<size_t>(colours.size(), kPaletteColours);
    if (palettes.size() < first + count) palettes.resize(first + count);
    std::copy_n(colours.begin(), count, palettes.begin() + first);
    return *this;
}

TextureSpec& TextureSpec::AllPalettes(const std::vector<uint16_t>& colours) {
    for (int index = 0; index < kPalettesPerBlock; ++index)
        Palette(index, colours);
    return *this;
}

NodeSpec& NodeSpec::Named(std::string text) {
    label = std::move(text);
    return *this;
}
NodeSpec& NodeSpec::WithChildCount(int32_t count) {
    childCount = count;
    return *this;
}
NodeSpec& NodeSpec::WithChildTable(int32_t stored) {
    childTable = stored;
    return *this;
}
NodeSpec& NodeSpec::WithPayloadCount(int32_t count) {
    payloadCount = count;
    return *this;
}
NodeSpec& NodeSpec::WithPayloadStored(int32_t stored) {
    payloadStored = stored;
    return *this;
}

NodeSpec NodeOfType(int32_t type, std::vector<NodeSpec> children) {
    NodeSpec node = OfType(type);
    node.children = std::move(children);
    return node;
}
NodeSpec Group(std::vector<NodeSpec> children) {
    return NodeOfType(kGroupType, std::move(children));
}
NodeSpec FaceGroup(std::vector<NodeSpec> children) {
    return NodeOfType(kFaceGroupType, std::move(children));
}
NodeSpec Switch(std::vector<NodeSpec> children) {
    return NodeOfType(kSwitchType, std::move(children));
}

NodeSpec Vertices(std::vector<Vec3> points) {
    NodeSpec node = OfType(kVerticesType);
    node.points = std::move(points);
    return node;
}
NodeSpec VertexNormals(std::vector<Vec3> normals) {
    NodeSpec node = OfType(kVertexNormalsType);
    node.points = std::move(normals);
    return node;
}
NodeSpec TexCoords(std::vector<Uv> uvs) {
    NodeSpec node = OfType(kTexCoordsType);
    node.uvs = std::move(uvs);
    return node;
}
NodeSpec Faces(std::vector<FaceSpec> faces) {
    NodeSpec node = OfType(kFacesType);
    node.faces = std::move(faces);
    return node;
}
NodeSpec TextureNode(TextureSpec texture) {
    NodeSpec node = OfType(kTextureType);
    node.texture = std::move(texture);
    return node;
}
NodeSpec PlainTexture(int32_t width, int32_t height, uint8_t index) {
    TextureSpec texture;
    texture.width = width;
    texture.height = height;
    texture.pixels.assign(static_cast<size_t>(std::max(0, width * height)), index);
    return TextureNode(std::move(texture));
}
NodeSpec TextureRef(std::string name) {
    NodeSpec node = OfType(kTextureRefType);
    node.name = std::move(name);
    return node;
}

NodeSpec EmptySlot() {
    NodeSpec node;
    node.entry = EntryKind::Empty;
    return node;
}
NodeSpec RawEntry(int32_t stored) {
    NodeSpec node;
    node.entry = EntryKind::Raw;
    node.rawEntry = stored;
    return node;
}
NodeSpec LinkTo(std::string label) {
    NodeSpec node;
    node.entry = EntryKind::Link;
    node.link = std::move(label);
    return node;
}

int32_t BuiltOpt::At(const std::string& label) const {
    const auto found = nodes.find(label);
    if (found == nodes.end()) throw std::out_of_range("no node labelled " + label);
    return found->second;
}

int32_t BuiltOpt::PayloadAt(const std::string& label) const {
    const auto found = payloads.find(label);
    if (found == payloads.end()) throw std::out_of_range("no payload labelled " + label);
    return found->second;
}

int32_t BuiltOpt::Stored(int32_t position) const {
    return static_cast<int32_t>(static_cast<uint32_t>(position) +
                                static_cast<uint32_t>(offsetBase));
}

void BuiltOpt::Patch(size_t position, int32_t value) {
    if (position + 4 > bytes.size()) throw std::out_of_range("patch beyond the end of the file");
    const auto bits = static_cast<uint32_t>(value);
    for (int k = 0; k < 4; ++k)
        bytes[position + k] = static_cast<uint8_t>(bits >> 8 * k);
}

std::vector<uint8_t> BuiltOpt::Prefix(size_t size) const {
    return std::vector<uint8_t>(bytes.begin(), bytes.begin() + std::min(size, bytes.size()));
}

BuiltOpt BuildOpt(const OptSpec& layout) {
    return Writer(layout).Build();
}

}  // namespace kesh::test

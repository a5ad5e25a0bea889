// A small OPT writer, so that a test states the model it reads next to what it expects.
//
// A file is described as a tree of node descriptions; BuildOpt lays out the header, the node
// tables, the node headers and the payloads, and returns the bytes with the positions of the
// nodes that were given a label. Every node is laid out as: 24-byte header, payload, child
// table, then its children in order. A node without children stores a child table offset of
// 0, as real files do (with a positive base that is a position below the start of the file). Escape
// hatches write what no sound writer would: arbitrary table entries (for cycles and shared nodes),
// header values and counts, and patches or truncation of the finished bytes.
//
//   BuiltOpt opt = BuildOpt({.nodes = {Group({
//       Vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}),
//       TextureRef("Tex00002"),
//       Faces({Tri(0, 1, 2)}).Named("faces"),
//   })}});
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/model.h"

namespace kesh::test {

// Node type codes as stored.
inline constexpr int32_t kGroupType = 0;
inline constexpr int32_t kFacesType = 1;
inline constexpr int32_t kVerticesType = 3;
inline constexpr int32_t kTextureRefType = 7;
inline constexpr int32_t kVertexNormalsType = 11;
inline constexpr int32_t kTexCoordsType = 13;
inline constexpr int32_t kTextureType = 20;
inline constexpr int32_t kFaceGroupType = 21;
inline constexpr int32_t kSwitchType = 24;

inline constexpr int32_t kPaletteColours = 256;
inline constexpr int32_t kPalettesPerBlock = 16;
inline constexpr size_t kPaletteBlockBytes = 2 * kPaletteColours * kPalettesPerBlock;  // 8192

struct Uv {
    float u = 0.0f;
    float v = 0.0f;
};

// One face entry: four vertex indices (the fourth -1 for a triangle) and four texture
// coordinate indices.
struct FaceSpec {
    std::array<int32_t, 4> vertices{0, 0, 0, -1};
    std::array<int32_t, 4> texCoords{0, 0, 0, 0};
};

FaceSpec Tri(int32_t a, int32_t b, int32_t c, std::array<int32_t, 3> uv = {0, 0, 0});
FaceSpec Quad(int32_t a, int32_t b, int32_t c, int32_t d, std::array<int32_t, 4> uv = {0, 0, 0, 0});

// A 16-bit colour: red in bits 15-11, green in 10-5, blue in 4-0, from 8-bit components.
uint16_t Rgb565(int red, int green, int blue);

struct TextureSpec {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels{};  // written at P+24: indices, or blue, green, red, alpha
    std::optional<int32_t> dataSize = std::nullopt;    // P+8; pixels.size() when not set
    std::optional<int32_t> pixelBytes = std::nullopt;  // P+12; pixels.size() when not set
    std::vector<uint16_t> palettes{};                  // the palette block's colours, zero-filled
    int32_t paletteCount = kPalettesPerBlock;          // 512-byte palettes written in the block
    std::optional<int32_t> paletteStored =
        std::nullopt;  // raw stored offset at P+0 instead of the block's

    // Sets palette `index` (0..15) of the block to `colours` (at most 256).
    TextureSpec& Palette(int index, const std::vector<uint16_t>& colours);
    // Sets every one of the 16 palettes to `colours`.
    TextureSpec& AllPalettes(const std::vector<uint16_t>& colours);
};

// How the table entry that lists a node is written.
enum class EntryKind {
    LaidOut,  // the node is laid out and the entry holds its stored offset
    Empty,    // a stored offset below the base (0 with a positive base, else base - 1)
    Raw,      // the entry holds `rawEntry`; nothing is laid out
    Link,     // the entry holds the stored offset of the node labelled `link`
};

struct NodeSpec {
    int32_t type = kGroupType;
    std::string label{};  // names the node in BuiltOpt
    std::vector<NodeSpec> children{};
    std::vector<Vec3> points{};  // vertex and vertex normal nodes
    std::vector<Uv> uvs{};       // texture coordinate nodes
    std::vector<FaceSpec> faces{};
    std::string name{};  // texture reference: the bytes of the referenced name
    TextureSpec texture{};

    EntryKind entry = EntryKind::LaidOut;
    int32_t rawEntry = 0;
    std::string link{};

    // Header values written instead of the true ones.
    std::optional<int32_t> childCount = std::nullopt;     // X+8
    std::optional<int32_t> childTable = std::nullopt;     // X+12, a raw stored offset
    std::optional<int32_t> payloadCount = std::nullopt;   // X+16
    std::optional<int32_t> payloadStored = std::nullopt;  // X+20, a raw stored offset

    NodeSpec& Named(std::string text);
    NodeSpec& WithChildCount(int32_t count);
    NodeSpec& WithChildTable(int32_t stored);
    NodeSpec& WithPayloadCount(int32_t count);
    NodeSpec& WithPayloadStored(int32_t stored);
};

NodeSpec Group(std::vector<NodeSpec> children = {});
NodeSpec FaceGroup(std::vector<NodeSpec> children = {});
NodeSpec Switch(std::vector<NodeSpec> children = {});
NodeSpec Vertices(std::vector<Vec3> points);
NodeSpec VertexNormals(std::vector<Vec3> normals);
NodeSpec TexCoords(std::vector<Uv> uvs);
NodeSpec Faces(std::vector<FaceSpec> faces);
NodeSpec TextureNode(TextureSpec texture);
// An 8-bit texture of width x height pixels, all `index`, with an all-zero palette block.
NodeSpec PlainTexture(int32_t width, int32_t height, uint8_t index = 0);
NodeSpec TextureRef(std::string name);
// A node of any type code; its children are laid out and listed whatever the type.
NodeSpec NodeOfType(int32_t type, std::vector<NodeSpec> children = {});
NodeSpec EmptySlot();
NodeSpec RawEntry(int32_t stored);
NodeSpec LinkTo(std::string label);

struct OptSpec {
    std::vector<NodeSpec> nodes{};                    // the top-level nodes
    int32_t offsetBase = 0;                           // position 8 holds offsetBase + 8
    std::optional<int32_t> nodeCount = std::nullopt;  // N at 14 instead of nodes.size()
    std::optional<int32_t> nodeTable =
        std::nullopt;  // raw stored offset at 18 instead of the table's
};

struct BuiltOpt {
    std::vector<uint8_t> bytes;
    std::map<std::string, int32_t> nodes;     // label -> position of the node header
    std::map<std::string, int32_t> payloads;  // label -> position of the payload
    int32_t offsetBase = 0;

    // Position of the header / payload of the labelled node; throws when there is none.
    int32_t At(const std::string& label) const;
    int32_t PayloadAt(const std::string& label) const;
    // The stored offset that names `position`.
    int32_t Stored(int32_t position) const;
    // Overwrites the 32-bit little-endian word at `position` (which must lie in the file).
    void Patch(size_t position, int32_t value);
    // The first `size` bytes, as a vector of exactly that size.
    std::vector<uint8_t> Prefix(size_t size) const;
};

BuiltOpt BuildOpt(const OptSpec& layout);

}  // namespace kesh::test

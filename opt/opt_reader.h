// The OPT reader's limits and the pieces its source files share. The operations themselves
// are OptModel::LoadOpt and OptModel::LoadOptBytes (core/model.h).
//
// The format trusts its writer; the reader does not. Beyond the plain reading rules it keeps
// these bounds, each of which marks the load damaged when it is hit:
//
// - Counts are never believed beyond the bytes that remain: storage is reserved only for the
//   entries the rest of the file can hold, and a list cut short keeps its whole entries only.
//   The first failed read stops all further reading of the tree.
// - A child whose position is that of a node on its own path from the root (a cycle), or
//   that would lie more than kMaxNodeDepth levels below its top-level node, reads as an empty
//   slot: type -1, fileOffset 0, no children. The walk uses an explicit stack.
// - Every byte read (table entries, node headers, payloads, palettes, pixels) is charged to a
//   budget of ReadBudget(file size) bytes; when it runs out, reading stops. Node tables that
//   share nodes therefore cannot multiply the work.
// - At most NodeBudget(file size) nodes are created (each costs far more memory than the
//   4-byte entry that lists it); when they are spent, reading stops.
// - At most TextureBudget(file size) textures are kept (each becomes a MAT file, with a colour
//   search of its palette); a texture node beyond them has no texture (textureIndex -1).
// - lodCount is raised to a face's lod + 1 only while (lod + 1) x meshes stays within
//   LodBudget(file size); faces above keep their lod and fall in no LOD list.
// - Pixel reads are clamped to the bytes the file holds (the texture keeps what was there)
//   instead of failing the rest of the load.
//
// Sound readings of what the format leaves open (not counted as damage):
// - A face node at the top level has lod 0 and is untextured.
// - A group, face group or switch node with a child count of 0 or less has no children and
//   its child table is not visited (empty tables often hold an offset below the base).
// - A texture reference name is the 9 bytes stored, up to the first zero byte; its number is
//   the text from the 4th character read as atoi does (0 for a shorter name).
// - After the load every face textureIndex that names no texture of the model is -1.
//   Node textureIndex values stay as read.
// - Texture pixels: when the word at P+12 (the byte count of all of the texture's pixel data)
//   is at least 4 x width x height, the texture is 32-bit (blue, green, red, alpha); otherwise
//   8-bit, and a dataSize below width x height still reads the width x height top image.
//   Afterwards dataSize is the byte count of the image that was read for (pixels may hold
//   fewer bytes when the file ends first). A negative width or height, or an image size that
//   does not fit 32 bits, reads no pixels (dataSize 0).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/model.h"
#include "opt/byte_cursor.h"

namespace kesh {

// Deepest level a node may lie below its top-level node.
inline constexpr int kMaxNodeDepth = 64;

// Total bytes the reader may read from a file of `fileSize` bytes.
inline constexpr uint64_t ReadBudget(size_t fileSize) {
    return 4 * static_cast<uint64_t>(fileSize) + 64 * 1024;
}

// Most nodes the reader creates for a file of `fileSize` bytes. A node that is not shared
// takes a 4-byte entry and a 24-byte header, so this leaves room for shared nodes and for
// empty slots.
inline constexpr uint64_t NodeBudget(size_t fileSize) {
    return fileSize / 16 + 4096;
}

// Most textures the reader keeps for a file of `fileSize` bytes. A texture of a sound file
// has its own palette block of at least 4096 bytes, so this leaves a fourfold margin.
inline constexpr uint64_t TextureBudget(size_t fileSize) {
    return fileSize / 1024 + 64;
}

// Largest lodCount x meshes product the reader lets a file of `fileSize` bytes ask for.
inline constexpr uint64_t LodBudget(size_t fileSize) {
    return fileSize / 16 > 4096 ? fileSize / 16 : 4096;
}

// File position of a stored offset: stored - offsetBase, saturated to the int32 range so that
// no hostile pair of values overflows (a negative result marks an empty slot).
int32_t PositionOf(int32_t stored, int32_t offsetBase);

// The number of a texture reference name: the 9 stored bytes up to the first zero byte, read
// from the 4th character on as atoi does; 0 when the name is shorter than 4 characters.
int32_t TextureReferenceNumber(const uint8_t (&name)[9]);

// Reads the palette and pixels of every texture of `model`, in order, after the node tree;
// `pixelByteCounts` holds the word at P+12 of each texture. Returns true when a pixel read was
// cut short or a texture's size was unusable.
bool ReadTextureData(ByteCursor& cursor, OptModel& model, std::span<const int32_t> pixelByteCounts);

}  // namespace kesh

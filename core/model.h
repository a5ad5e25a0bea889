// The in-memory model of one OPT file, and the conversion stages that operate on it.
//
// A model is created empty by the conversion run, filled by the OPT reader, extended by the
// geometry pass, and only read by the MAT and 3DO writers. It owns everything reachable from
// it; destroying it releases every array and pixel buffer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"

namespace kesh {

class ColourMap;

// Palette offsets inside a texture's block of 512-byte palettes.
inline constexpr int32_t kXwaPaletteOffset = 3584;    // the 8th palette
inline constexpr int32_t kPlainPaletteOffset = 7680;  // the 16th palette

struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

struct MeshVertex {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    // Scratch of the geometry pass: the index of this vertex in the output mesh being built,
    // or -1 when it has none yet.
    int32_t remap = -1;
};

struct TexCoord {
    float u = 0.0f;
    float v = 0.0f;
    int32_t remap = -1;  // scratch of the geometry pass, as for MeshVertex
};

// One face: a triangle (fourth vertex index -1) or a quadrilateral.
struct OptFace {
    std::array<int32_t, 4> vertexIndex{};
    std::array<int32_t, 4> texCoordIndex{};
    Vec3 normal;
    int32_t vertexCount = 0;
    int32_t lod = 0;
    int32_t textureIndex = -1;  // index into OptModel::textures, -1 when untextured
};

// A mesh: as read (the geometry under one top-level node) or as built by the geometry pass
// (one LOD of one source mesh, with centre, radius and normals).
struct OptMesh {
    std::vector<MeshVertex> vertices;
    std::vector<OptFace> faces;
    std::vector<Vec3> normals;
    std::vector<TexCoord> texCoords;
    Vec3 center;
    float radius = 0.0f;

    // Midpoint of the bounding box of the vertices, with the box starting from the limits
    // +-9999 (so coordinates beyond them are clamped); (0, 0, 0) without vertices.
    void ComputeCenter();
    // Length of the vector of the largest absolute coordinate on each axis; 0 without vertices.
    void ComputeRadius();
    // Sets the unit normal of every face from its corners (0, 0, 0 for a degenerate face).
    void ComputeFaceNormals();
    // Fills `normals`, one per vertex, from the face normals; does nothing when it already
    // has entries. Needs the face normals.
    void ComputeVertexNormals();
};

// The cross product b x a of two edges: (a.z*b.y - b.z*a.y, a.x*b.z - a.z*b.x, a.y*b.x - a.x*b.y).
Vec3 CrossNormal(const Vec3& a, const Vec3& b);

struct OptModel;

// One node of the OPT node tree.
struct OptNode {
    std::vector<OptNode> children;  // only for group (<= 0), face group (21) and switch (24) nodes
    int32_t textureIndex =
        -1;                  // texture node: its texture; texture reference: the number in the name
    int32_t fileOffset = 0;  // file position of the node header; 0 for an empty slot
    OptNode* parent = nullptr;  // non-owning; null for a top-level node
    OptModel* model = nullptr;  // non-owning
    int32_t meshIndex = 0;      // the top-level node this node descends from
    int32_t siblingIndex = 0;   // position in the parent's children (or in OptModel::nodes)
    int32_t type = -1;          // node type code as stored; -1 for an empty slot
};

// One texture of the model. A texture record is copied into the model's list before its
// pixels are read, so copying one never duplicates a large buffer in practice.
struct Texture {
    int32_t dataPosition = 0;  // file position of the pixel data
    int32_t paletteBlock = 0;  // file position of the texture's block of palettes
    int32_t width = 0;
    int32_t height = 0;
    int32_t dataSize = 0;  // number of pixel bytes to read at dataPosition
    // Bytes per pixel of `pixels`: 1 for palette indices, 4 for blue, green, red, alpha.
    int32_t bytesPerPixel = 1;
    std::vector<uint8_t> pixels;         // empty until the texture data is read
    std::array<uint8_t, 768> palette{};  // 256 entries of red, green, blue
};

// The model of one OPT file and its conversion stages. The stages live in the subsystems:
// the reader in opt/, the geometry pass in geometry/, the writers in textures/ and writer3do/.
struct OptModel {
    std::vector<OptNode> nodes;
    std::vector<OptMesh> meshes;
    std::vector<std::vector<OptMesh>> lodMeshes;
    std::vector<Texture> textures;
    int32_t offsetBase = 0;
    int32_t textureGroup = 0;
    int32_t lodCount = 1;
    int32_t paletteOffset = kXwaPaletteOffset;
    // Whether LoadOpt keeps the texture pixels. Only the MAT files need them: a conversion
    // that writes none leaves them in the file, and everything else the model holds (the
    // texture sizes and palettes included) and the load's result are the same either way.
    bool readPixels = true;
    // The material-name prefix of both writers when not empty (four characters that need no
    // replacing); empty: taken from the output base name by the material-name rule.
    std::string materialPrefix;
    float radius = 0.0f;
    // The material index written for a face without a texture.
    int32_t untexturedMaterial = 0;

    // Reads the OPT file at `path` into this freshly created model. Fails only when the file
    // cannot be opened (or is not a regular file); the model is then unchanged. A damaged or
    // truncated file loads what it holds, and the result says so. Safe for hostile input.
    StageResult LoadOpt(const char* path);
    // As LoadOpt, from the bytes of a whole OPT file in memory. Never fails to open.
    StageResult LoadOptBytes(std::span<const uint8_t> bytes);

    // Builds `lodMeshes` (one list of meshes per LOD level, one mesh per source mesh) and
    // `radius` from `meshes`, scaling vertices by `scale` with the Y axis negated.
    void ConvertGeometry(float scale);

    // Writes every texture as a MAT file named by the material-name rule from the base name
    // of `outputPath` (or from `materialPrefix`), into `directory`, or into the current
    // directory when that is empty. Returns the files that could not be written; each failed
    // file leaves no partial file behind.
    std::vector<OutputFailure> WriteMATs(const ColourMap& colourMap, const char* outputPath,
                                         std::string_view directory = {}) const;

    // Writes the 3DO text file at `outputPath` with at most `maxGeo` geometry sets (any value
    // from the number of sets upwards, and any negative value, writes every set). Writes no
    // file when the first geometry set holds no mesh. The file appears whole or not at all:
    // an earlier file at the path survives any failure.
    StageResult Write3DO(const char* outputPath, int32_t maxGeo) const;
};

// The number of geometry sets written for `maxGeo` when the model has `setCount`: maxGeo
// read as unsigned when that is below setCount, else every set (so a negative maxGeo writes
// them all and 0 writes none).
inline int32_t GeometrySetsToWrite(int32_t maxGeo, size_t setCount) {
    return static_cast<uint32_t>(maxGeo) < setCount ? maxGeo : static_cast<int32_t>(setCount);
}

}  // namespace kesh

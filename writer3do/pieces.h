// The 3DO text cut into pieces: runs of whole lines, in file order, each of which can be
// rendered on its own. Rendering every piece in order gives the whole text; pieces of one
// model may be rendered in any order or at the same time, since rendering only reads it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/model.h"
#include "writer3do/text_sink.h"

namespace kesh {

enum class PieceKind : uint8_t {
    Opening,      // banner, header, materials and the start of the geometry section
    SetOpening,   // the title of one geometry set
    MeshOpening,  // the title, name, radius and modes of one mesh
    Vertices,
    TextureVertices,
    VertexNormals,
    Faces,
    FaceNormals,
    Hierarchy,  // the hierarchy section, the last piece
};

// Lines [first, last) of one list of one mesh; the list's title comes with the piece that
// starts at line 0, its closing empty lines with the piece that reaches its end.
struct Piece {
    PieceKind kind = PieceKind::Opening;
    int32_t set = -1;   // the geometry set, -1 outside the sets
    int32_t mesh = -1;  // the mesh in its set, -1 outside the meshes
    size_t first = 0;
    size_t last = 0;
};

// Most lines of one list in one piece: large enough that handing pieces around costs
// nothing, small enough that a few pieces in memory stay small.
inline constexpr size_t kLinesPerPiece = 2048;

// The pieces of the text of `model` with `sets` geometry sets, in file order. The model must
// have at least one geometry set.
std::vector<Piece> PlanPieces(const OptModel& model, int32_t sets);

// Writes the lines of `piece` to `sink`. `baseName` is the output base name.
void RenderPiece(const OptModel& model, std::string_view baseName, int32_t sets, const Piece& piece,
                 TextSink& sink);

}  // namespace kesh

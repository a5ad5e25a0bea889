#include "writer3do/pieces.h"

#include <algorithm>

#include "writer3do/material_name.h"

namespace kesh {

namespace {

constexpr std::string_view kSeparator = "###############";

void Line(TextSink& out, std::string_view text) {
    out.Put(text);
    out.EndLine();
}

void EmptyLines(TextSink& out, int count) {
    for (int i = 0; i < count; ++i)
        out.EndLine();
}

void SectionStart(TextSink& out, std::string_view name) {
    Line(out, kSeparator);
    out.Put("SECTION: ");
    out.Put(name);
    out.EndLine();
    out.EndLine();
}

// "TEXT %d" followed by one empty line.
void CountLine(TextSink& out, std::string_view keyword, int64_t count) {
    out.Put(keyword);
    out.PutInt(count);
    out.EndLine();
    out.EndLine();
}

void WriteOpening(TextSink& out, const OptModel& model, std::string_view baseName, int32_t sets) {
    out.Put("# MODEL '");
    out.Put(baseName);
    out.Put("' converted from an OPT by KESH");
    out.EndLine();
    Line(out, "# Kesh converts OPT ship models into 3DO 2.2 models,");
    Line(out, "# with one material per texture of the OPT model.");
    Line(out, "#");
    Line(out, "# Kesh Version 1.0");
    out.EndLine();
    SectionStart(out, "HEADER");
    Line(out, "3DO 2.2");
    out.EndLine();

    SectionStart(out, "MODELRESOURCE");
    Line(out, "# Materials List");
    CountLine(out, "MATERIALS ", static_cast<int64_t>(model.textures.size()));
    for (size_t i = 0; i < model.textures.size(); ++i) {
        const Texture& texture = model.textures[i];
        out.PutInt(static_cast<int64_t>(i), 10);
        out.Put(":   ");
        out.Put(MaterialName(baseName, static_cast<int32_t>(i)));
        out.Put("    # ");
        out.PutInt(texture.width);
        out.PutChar('x');
        out.PutInt(texture.height);
        out.EndLine();
    }
    EmptyLines(out, 2);

    SectionStart(out, "GEOMETRYDEF");
    Line(out, "# Object radius");
    out.Put("RADIUS ");
    out.PutFixed(model.radius, 10, 6);
    out.EndLine();
    out.EndLine();
    Line(out, "# Insertion offset");
    Line(out, "INSERT OFFSET   0.000000   0.000000   0.000000");
    out.EndLine();
    Line(out, "# Number of Geometry Sets");
    CountLine(out, "GEOSETS ", sets);
}

void WriteSetOpening(TextSink& out, int32_t set, size_t meshCount) {
    Line(out, "# Geometry Set definition");
    CountLine(out, "GEOSET ", set);
    Line(out, "# Number of Meshes");
    CountLine(out, "MESHES ", static_cast<int64_t>(meshCount));
}

void WriteMeshOpening(TextSink& out, const OptMesh& mesh, int32_t index) {
    Line(out, "# Mesh definition");
    CountLine(out, "MESH ", index);
    out.Put("NAME Mesh_");
    out.PutIntDigits(index, 3);
    out.EndLine();
    out.EndLine();
    out.Put("RADIUS ");
    out.PutFixed(mesh.radius, 10, 6);
    out.EndLine();
    out.EndLine();
    Line(out, "GEOMETRYMODE 4");
    Line(out, "LIGHTINGMODE 3");
    Line(out, "TEXTUREMODE  1");
    out.EndLine();
}

// Room for any one number line: an index, at most four "%10.6f" numbers or eleven integers,
// and their text, each number with the slack its writer may touch.
constexpr size_t kNumberLineRoom = 4 * (kMaxFixedChars + 10) + 11 * (20 + raw::kSlack) + 128;

// "%10.6f %10.6f %10.6f"
char* PutVector(char* out, float x, float y, float z) {
    out = raw::Micros(out, x);
    out = raw::Char(out, ' ');
    out = raw::Micros(out, y);
    out = raw::Char(out, ' ');
    return raw::Micros(out, z);
}

void WriteVertexLines(TextSink& sink, const OptMesh& mesh, size_t first, size_t last) {
    for (size_t v = first; v < last; ++v) {
        const MeshVertex& vertex = mesh.vertices[v];
        char* out = sink.StartLine(kNumberLineRoom);
        out = raw::Int(out, static_cast<int64_t>(v), 5);
        out = raw::Text(out, ": ");
        out = PutVector(out, vertex.x, vertex.y, vertex.z);
        out = raw::Text(out, "   0.000000");
        sink.FinishLine(out);
    }
}

void WriteTextureVertexLines(TextSink& sink, const OptMesh& mesh, size_t first, size_t last) {
    for (size_t t = first; t < last; ++t) {
        char* out = sink.StartLine(kNumberLineRoom);
        out = raw::Int(out, static_cast<int64_t>(t), 5);
        out = raw::Text(out, ": ");
        out = raw::Micros(out, mesh.texCoords[t].u);
        out = raw::Char(out, ' ');
        out = raw::Micros(out, mesh.texCoords[t].v);
        sink.FinishLine(out);
    }
}

// "%5d: %10.6f %10.6f %10.6f"
void WriteVectorLine(TextSink& sink, size_t index, const Vec3& v) {
    char* out = sink.StartLine(kNumberLineRoom);
    out = raw::Int(out, static_cast<int64_t>(index), 5);
    out = raw::Text(out, ": ");
    sink.FinishLine(PutVector(out, v.x, v.y, v.z));
}

void WriteFaceLines(TextSink& sink, const OptMesh& mesh, size_t first, size_t last) {
    for (size_t f = first; f < last; ++f) {
        const OptFace& face = mesh.faces[f];
        const bool textured = face.textureIndex >= 0;
        char* out = sink.StartLine(kNumberLineRoom);
        out = raw::Int(out, static_cast<int64_t>(f), 6);
        out = raw::Text(out, ": ");
        out = raw::Int(out, textured ? face.textureIndex : 0, 9);
        out = raw::Text(out, textured ? "  0x0000" : "  0x0002");
        out = raw::Text(out, "     4       3      1       0.0000 ");
        out = raw::Int(out, face.vertexCount, 7);
        out = raw::Char(out, ' ');
        // Only the four stored corners exist; a larger count cannot come from the reader.
        const int corners = face.vertexCount < 4 ? face.vertexCount : 4;
        for (int k = 0; k < corners; ++k) {
            out = raw::Int(out, face.vertexIndex[k], 4);
            out = raw::Char(out, ',');
            out = raw::Int(out, face.texCoordIndex[k], 3);
        }
        sink.FinishLine(out);
    }
}

// The lines of one list of a mesh, with the list's title before line 0 and two empty lines
// after its last line.
void WriteList(TextSink& out, const OptMesh& mesh, const Piece& piece) {
    const bool opens = piece.first == 0;
    const size_t first = piece.first;
    const size_t last = piece.last;
    switch (piece.kind) {
        case PieceKind::Vertices:
            if (opens) {
                CountLine(out, "VERTICES ", static_cast<int64_t>(mesh.vertices.size()));
                Line(out, "# num:     x:         y:         z:         i:");
            }
            WriteVertexLines(out, mesh, first, last);
            if (last == mesh.vertices.size()) EmptyLines(out, 2);
            break;
        case PieceKind::TextureVertices:
            if (opens) {
                CountLine(out, "TEXTURE VERTICES ", static_cast<int64_t>(mesh.texCoords.size()));
            }
            WriteTextureVertexLines(out, mesh, first, last);
            if (last == mesh.texCoords.size()) EmptyLines(out, 2);
            break;
        case PieceKind::VertexNormals:
            if (opens) {
                Line(out, "VERTEX NORMALS");
                out.EndLine();
                Line(out, "# num:     x:         y:         z:");
            }
            for (size_t n = first; n < last; ++n)
                WriteVectorLine(out, n, mesh.normals[n]);
            if (last == mesh.normals.size()) EmptyLines(out, 2);
            break;
        case PieceKind::Faces:
            if (opens) {
                CountLine(out, "FACES ", static_cast<int64_t>(mesh.faces.size()));
                Line(out, "#  num:  material:   type:  geo:  light:   tex:  extralight:  verts:");
            }
            WriteFaceLines(out, mesh, first, last);
            if (last == mesh.faces.size()) EmptyLines(out, 2);
            break;
        case PieceKind::FaceNormals:
            if (opens) {
                Line(out, "FACE NORMALS");
                out.EndLine();
                Line(out, "# num:     x:         y:         z:");
            }
            for (size_t f = first; f < last; ++f)
                WriteVectorLine(out, f, mesh.faces[f].normal);
            if (last == mesh.faces.size()) EmptyLines(out, 2);
            break;
        default:
            break;
    }
}

void WriteHierarchy(TextSink& out, const std::vector<OptMesh>& set0) {
    const int64_t meshCount = static_cast<int64_t>(set0.size());
    SectionStart(out, "HIERARCHYDEF");
    Line(out, "# Hierarchy node list");
    CountLine(out, "HIERARCHY NODES ", meshCount + 1);
    Line(out,
         "#  num:   flags:   type:    mesh:  parent:  child:  sibling:  numChildren:        x:  "
         "       y:         z:     pitch:       yaw:      roll:    pivotx:    pivoty:    pivotz:"
         "  hnodename:");
    out.Put("     0:  0x0000 0x00001       -1       -1       1        -1             ");
    out.PutInt(meshCount);
    out.Put(
        "   0.000000   0.000000   0.000000   0.000000   0.000000   0.000000   0.000000   0.000000"
        "   0.000000  Object");
    out.EndLine();
    for (int64_t k = 1; k <= meshCount; ++k) {
        const Vec3& center = set0[static_cast<size_t>(k - 1)].center;
        out.PutInt(k, 6);
        out.Put(":  0x0000 0x00001 ");
        out.PutInt(k - 1, 8);
        out.Put("        0      -1 ");
        out.PutInt(k < meshCount ? k + 1 : -1, 9);
        out.Put("             0 ");
        out.PutFixed(center.x, 10, 6);
        out.PutChar(' ');
        out.PutFixed(center.y, 10, 6);
        out.PutChar(' ');
        out.PutFixed(center.z, 10, 6);
        out.Put("   0.000000   0.000000   0.000000   0.000000   0.000000   0.000000  Node_");
        out.PutIntDigits(k - 1, 3);
        out.EndLine();
    }
    out.EndLine();
}

// Pieces of at most kLinesPerPiece lines for a list of `count` lines; one piece for an
// empty list, which still has its title.
void PlanList(std::vector<Piece>& pieces, PieceKind kind, int32_t set, int32_t mesh, size_t count) {
    size_t first = 0;
    do {
        const size_t last = std::min(count, first + kLinesPerPiece);
        pieces.push_back(Piece{kind, set, mesh, first, last});
        first = last;
    } while (first < count);
}

}  // namespace

std::vector<Piece> PlanPieces(const OptModel& model, int32_t sets) {
    std::vector<Piece> pieces;
    pieces.push_back(Piece{PieceKind::Opening});
    for (int32_t g = 0; g < sets; ++g) {
        const std::vector<OptMesh>& set = model.lodMeshes[static_cast<size_t>(g)];
        pieces.push_back(Piece{PieceKind::SetOpening, g});
        for (size_t j = 0; j < set.size(); ++j) {
            const OptMesh& mesh = set[j];
            const auto m = static_cast<int32_t>(j);
            pieces.push_back(Piece{PieceKind::MeshOpening, g, m});
            PlanList(pieces, PieceKind::Vertices, g, m, mesh.vertices.size());
            PlanList(pieces, PieceKind::TextureVertices, g, m, mesh.texCoords.size());
            PlanList(pieces, PieceKind::VertexNormals, g, m, mesh.normals.size());
            PlanList(pieces, PieceKind::Faces, g, m, mesh.faces.size());
            PlanList(pieces, PieceKind::FaceNormals, g, m, mesh.faces.size());
        }
    }
    pieces.push_back(Piece{PieceKind::Hierarchy});
    return pieces;
}

void RenderPiece(const OptModel& model, std::string_view baseName, int32_t sets, const Piece& piece,
                 TextSink& sink) {
    switch (piece.kind) {
        case PieceKind::Opening:
            WriteOpening(sink, model, baseName, sets);
            return;
        case PieceKind::SetOpening:
            WriteSetOpening(sink, piece.set,
                            model.lodMeshes[static_cast<size_t>(piece.set)].size());
            return;
        case PieceKind::Hierarchy:
            WriteHierarchy(sink, model.lodMeshes[0]);
            return;
        default:
            break;
    }
    const OptMesh& mesh =
        model.lodMeshes[static_cast<size_t>(piece.set)][static_cast<size_t>(piece.mesh)];
    if (piece.kind == PieceKind::MeshOpening) {
        WriteMeshOpening(sink, mesh, piece.mesh);
    } else {
        WriteList(sink, mesh, piece);
    }
}

}  // namespace kesh

#include "writer3do/writer3do.h"

#include <string>

#include "core/output_file.h"
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

void WriteHeader(TextSink& out, std::string_view baseName) {
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
}

void WriteMaterials(TextSink& out, const OptModel& model, std::string_view baseName) {
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
}

void WriteVertices(TextSink& out, const OptMesh& mesh) {
    CountLine(out, "VERTICES ", static_cast<int64_t>(mesh.vertices.size()));
    Line(out, "# num:     x:         y:         z:         i:");
    for (size_t v = 0; v < mesh.vertices.size(); ++v) {
        const MeshVertex& vertex = mesh.vertices[v];
        out.PutInt(static_cast<int64_t>(v), 5);
        out.Put(": ");
        out.PutFixed(vertex.x, 10, 6);
        out.PutChar(' ');
        out.PutFixed(vertex.y, 10, 6);
        out.PutChar(' ');
        out.PutFixed(vertex.z, 10, 6);
        out.Put("   0.000000");
        out.EndLine();
    }
    EmptyLines(out, 2);
}

void WriteTextureVertices(TextSink& out, const OptMesh& mesh) {
    CountLine(out, "TEXTURE VERTICES ", static_cast<int64_t>(mesh.texCoords.size()));
    for (size_t t = 0; t < mesh.texCoords.size(); ++t) {
        out.PutInt(static_cast<int64_t>(t), 5);
        out.Put(": ");
        out.PutFixed(mesh.texCoords[t].u, 10, 6);
        out.PutChar(' ');
        out.PutFixed(mesh.texCoords[t].v, 10, 6);
        out.EndLine();
    }
    EmptyLines(out, 2);
}

// "%5d: %10.6f %10.6f %10.6f"
void WriteVectorLine(TextSink& out, size_t index, const Vec3& v) {
    out.PutInt(static_cast<int64_t>(index), 5);
    out.Put(": ");
    out.PutFixed(v.x, 10, 6);
    out.PutChar(' ');
    out.PutFixed(v.y, 10, 6);
    out.PutChar(' ');
    out.PutFixed(v.z, 10, 6);
    out.EndLine();
}

void WriteVertexNormals(TextSink& out, const OptMesh& mesh) {
    Line(out, "VERTEX NORMALS");
    out.EndLine();
    Line(out, "# num:     x:         y:         z:");
    for (size_t n = 0; n < mesh.normals.size(); ++n)
        WriteVectorLine(out, n, mesh.normals[n]);
    EmptyLines(out, 2);
}

void WriteFaces(TextSink& out, const OptMesh& mesh) {
    CountLine(out, "FACES ", static_cast<int64_t>(mesh.faces.size()));
    Line(out, "#  num:  material:   type:  geo:  light:   tex:  extralight:  verts:");
    for (size_t f = 0; f < mesh.faces.size(); ++f) {
        const OptFace& face = mesh.faces[f];
        const bool textured = face.textureIndex >= 0;
        out.PutInt(static_cast<int64_t>(f), 6);
        out.Put(": ");
        out.PutInt(textured ? face.textureIndex : 0, 9);
        out.Put(textured ? "  0x0000" : "  0x0002");
        out.Put("     4       3      1       0.0000 ");
        out.PutInt(face.vertexCount, 7);
        out.PutChar(' ');
        // Only the four stored corners exist; a larger count cannot come from the reader.
        const int corners = face.vertexCount < 4 ? face.vertexCount : 4;
        for (int k = 0; k < corners; ++k) {
            out.PutInt(face.vertexIndex[k], 4);
            out.PutChar(',');
            out.PutInt(face.texCoordIndex[k], 3);
        }
        out.EndLine();
    }
    EmptyLines(out, 2);
}

void WriteFaceNormals(TextSink& out, const OptMesh& mesh) {
    Line(out, "FACE NORMALS");
    out.EndLine();
    Line(out, "# num:     x:         y:         z:");
    for (size_t f = 0; f < mesh.faces.size(); ++f)
        WriteVectorLine(out, f, mesh.faces[f].normal);
    EmptyLines(out, 2);
}

void WriteMesh(TextSink& out, const OptMesh& mesh, size_t index) {
    Line(out, "# Mesh definition");
    CountLine(out, "MESH ", static_cast<int64_t>(index));
    out.Put("NAME Mesh_");
    out.PutIntDigits(static_cast<int64_t>(index), 3);
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
    WriteVertices(out, mesh);
    WriteTextureVertices(out, mesh);
    WriteVertexNormals(out, mesh);
    WriteFaces(out, mesh);
    WriteFaceNormals(out, mesh);
}

void WriteGeometry(TextSink& out, const OptModel& model, int32_t setCount) {
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
    CountLine(out, "GEOSETS ", setCount);
    for (int32_t g = 0; g < setCount; ++g) {
        const std::vector<OptMesh>& set = model.lodMeshes[static_cast<size_t>(g)];
        Line(out, "# Geometry Set definition");
        CountLine(out, "GEOSET ", g);
        Line(out, "# Number of Meshes");
        CountLine(out, "MESHES ", static_cast<int64_t>(set.size()));
        for (size_t j = 0; j < set.size(); ++j)
            WriteMesh(out, set[j], j);
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

bool HasGeometry(const OptModel& model) {
    return !model.lodMeshes.empty() && !model.lodMeshes[0].empty();
}

}  // namespace

int32_t GeometrySetsToWrite(int32_t maxGeo, size_t setCount) {
    const uint32_t asUnsigned = static_cast<uint32_t>(maxGeo);
    return asUnsigned < setCount ? maxGeo : static_cast<int32_t>(setCount);
}

void Render3DO(const OptModel& model, std::string_view baseName, int32_t maxGeo, TextSink& sink) {
    WriteHeader(sink, baseName);
    WriteMaterials(sink, model, baseName);
    WriteGeometry(sink, model, GeometrySetsToWrite(maxGeo, model.lodMeshes.size()));
    WriteHierarchy(sink, model.lodMeshes[0]);
}

std::string Format3DO(const OptModel& model, std::string_view outputPath, int32_t maxGeo) {
    if (!HasGeometry(model)) return {};
    TextSink sink;
    Render3DO(model, OutputBaseName(outputPath), maxGeo, sink);
    return sink.TakeText();
}

StageResult OptModel::Write3DO(const char* outputPath, int32_t maxGeo) const {
    if (!HasGeometry(*this)) return Fail(Failure::NoGeometry);
    OutputFile file;
    if (StageResult opened = file.Open(outputPath); !opened) return opened;
    TextSink sink(&file);
    Render3DO(*this, OutputBaseName(outputPath), maxGeo, sink);
    if (StageResult flushed = sink.Flush(); !flushed) return flushed;
    return file.Commit();
}

}  // namespace kesh

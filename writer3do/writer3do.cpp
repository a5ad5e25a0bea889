// The 3DO writer: the header, the materials list, the geometry sets and the hierarchy, line
// by line, in file order. Every line ends with CR LF.
#include "writer3do/writer3do.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/paths.h"
#include "writer3do/material_name.h"

namespace kesh {

namespace {

void Line(TextSink& out, std::string_view text) {
    out.Put(text);
    out.EndLine();
}

void SectionStart(TextSink& out, std::string_view name) {
    Line(out, "###############");
    out.Put("SECTION: ");
    out.Put(name);
    out.EndLine();
    out.EndLine();
}

// "TEXT%d" followed by one empty line.
void CountLine(TextSink& out, std::string_view keyword, int64_t count) {
    out.Put(keyword);
    out.PutInt(count);
    out.EndLine();
    out.EndLine();
}

// "%.3d", as in the mesh and node names: at least three digits.
void PutThreeDigits(TextSink& out, int64_t value) {
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%.3lld", static_cast<long long>(value));
    out.Put(std::string_view(text, static_cast<size_t>(length)));
}

// "%10.6f": the usual field of the model's numbers.
void PutNumber(TextSink& out, double value) {
    out.PutFixed(value, 10, 6);
}

// "%5d: %10.6f %10.6f %10.6f", without the line end.
void PutVector(TextSink& out, size_t index, float x, float y, float z) {
    out.PutInt(static_cast<int64_t>(index), 5);
    out.Put(": ");
    PutNumber(out, x);
    out.Put(" ");
    PutNumber(out, y);
    out.Put(" ");
    PutNumber(out, z);
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

void WriteMaterials(TextSink& out, const OptModel& model, std::string_view names) {
    SectionStart(out, "MODELRESOURCE");
    Line(out, "# Materials List");
    CountLine(out, "MATERIALS ", static_cast<int64_t>(model.textures.size()));
    for (size_t i = 0; i < model.textures.size(); ++i) {
        const Texture& texture = model.textures[i];
        out.PutInt(static_cast<int64_t>(i), 10);
        out.Put(":   ");
        out.Put(MaterialName(names, static_cast<int32_t>(i)));
        out.Put("    # ");
        out.PutInt(texture.width);
        out.Put("x");
        out.PutInt(texture.height);
        out.EndLine();
    }
    out.EndLine();
    out.EndLine();
}

void WriteFace(TextSink& out, size_t index, const OptFace& face, int32_t untexturedMaterial) {
    const bool textured = face.textureIndex >= 0;
    out.PutInt(static_cast<int64_t>(index), 6);
    out.Put(": ");
    out.PutInt(textured ? face.textureIndex : untexturedMaterial, 9);
    out.Put(textured ? "  0x0000" : "  0x0002");
    out.Put("     4       3      1       0.0000 ");
    out.PutInt(face.vertexCount, 7);
    out.Put(" ");
    // Only the four stored corners exist; the reader gives every face 3 or 4.
    const int corners = std::min(face.vertexCount, 4);
    for (int k = 0; k < corners; ++k) {
        out.PutInt(face.vertexIndex[static_cast<size_t>(k)], 4);
        out.Put(",");
        out.PutInt(face.texCoordIndex[static_cast<size_t>(k)], 3);
    }
    out.EndLine();
}

void WriteMesh(TextSink& out, const OptMesh& mesh, int32_t index, int32_t untexturedMaterial) {
    Line(out, "# Mesh definition");
    CountLine(out, "MESH ", index);
    out.Put("NAME Mesh_");
    PutThreeDigits(out, index);
    out.EndLine();
    out.EndLine();
    out.Put("RADIUS ");
    PutNumber(out, mesh.radius);
    out.EndLine();
    out.EndLine();
    Line(out, "GEOMETRYMODE 4");
    Line(out, "LIGHTINGMODE 3");
    Line(out, "TEXTUREMODE  1");
    out.EndLine();

    CountLine(out, "VERTICES ", static_cast<int64_t>(mesh.vertices.size()));
    Line(out, "# num:     x:         y:         z:         i:");
    for (size_t v = 0; v < mesh.vertices.size(); ++v) {
        const MeshVertex& vertex = mesh.vertices[v];
        PutVector(out, v, vertex.x, vertex.y, vertex.z);
        out.Put("   0.000000");
        out.EndLine();
    }
    out.EndLine();
    out.EndLine();

    CountLine(out, "TEXTURE VERTICES ", static_cast<int64_t>(mesh.texCoords.size()));
    for (size_t t = 0; t < mesh.texCoords.size(); ++t) {
        out.PutInt(static_cast<int64_t>(t), 5);
        out.Put(": ");
        PutNumber(out, mesh.texCoords[t].u);
        out.Put(" ");
        PutNumber(out, mesh.texCoords[t].v);
        out.EndLine();
    }
    out.EndLine();
    out.EndLine();

    Line(out, "VERTEX NORMALS");
    out.EndLine();
    Line(out, "# num:     x:         y:         z:");
    for (size_t n = 0; n < mesh.normals.size(); ++n) {
        PutVector(out, n, mesh.normals[n].x, mesh.normals[n].y, mesh.normals[n].z);
        out.EndLine();
    }
    out.EndLine();
    out.EndLine();

    CountLine(out, "FACES ", static_cast<int64_t>(mesh.faces.size()));
    Line(out, "#  num:  material:   type:  geo:  light:   tex:  extralight:  verts:");
    for (size_t f = 0; f < mesh.faces.size(); ++f)
        WriteFace(out, f, mesh.faces[f], untexturedMaterial);
    out.EndLine();
    out.EndLine();

    Line(out, "FACE NORMALS");
    out.EndLine();
    Line(out, "# num:     x:         y:         z:");
    for (size_t f = 0; f < mesh.faces.size(); ++f) {
        const Vec3& normal = mesh.faces[f].normal;
        PutVector(out, f, normal.x, normal.y, normal.z);
        out.EndLine();
    }
    out.EndLine();
    out.EndLine();
}

void WriteGeometry(TextSink& out, const OptModel& model, int32_t sets) {
    SectionStart(out, "GEOMETRYDEF");
    Line(out, "# Object radius");
    out.Put("RADIUS ");
    PutNumber(out, model.radius);
    out.EndLine();
    out.EndLine();
    Line(out, "# Insertion offset");
    Line(out, "INSERT OFFSET   0.000000   0.000000   0.000000");
    out.EndLine();
    Line(out, "# Number of Geometry Sets");
    CountLine(out, "GEOSETS ", sets);
    for (int32_t g = 0; g < sets; ++g) {
        const std::vector<OptMesh>& set = model.lodMeshes[static_cast<size_t>(g)];
        Line(out, "# Geometry Set definition");
        CountLine(out, "GEOSET ", g);
        Line(out, "# Number of Meshes");
        CountLine(out, "MESHES ", static_cast<int64_t>(set.size()));
        for (size_t j = 0; j < set.size(); ++j)
            WriteMesh(out, set[j], static_cast<int32_t>(j), model.untexturedMaterial);
    }
}

// A root node holding one node per mesh of the first set, chained through their sibling
// links in mesh order and placed at the meshes' centres.
void WriteHierarchy(TextSink& out, const std::vector<OptMesh>& set0) {
    const auto meshCount = static_cast<int64_t>(set0.size());
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
        PutNumber(out, center.x);
        out.Put(" ");
        PutNumber(out, center.y);
        out.Put(" ");
        PutNumber(out, center.z);
        out.Put("   0.000000   0.000000   0.000000   0.000000   0.000000   0.000000  Node_");
        PutThreeDigits(out, k - 1);
        out.EndLine();
    }
    out.EndLine();
}

bool HasGeometry(const OptModel& model) {
    return !model.lodMeshes.empty() && !model.lodMeshes[0].empty();
}

}  // namespace

void Render3DO(const OptModel& model, std::string_view baseName, int32_t maxGeo, TextSink& sink) {
    WriteHeader(sink, baseName);
    WriteMaterials(sink, model, MaterialSource(model, baseName));
    WriteGeometry(sink, model, GeometrySetsToWrite(maxGeo, model.lodMeshes.size()));
    WriteHierarchy(sink, model.lodMeshes[0]);
}

std::string Format3DO(const OptModel& model, std::string_view outputPath, int32_t maxGeo) {
    if (!HasGeometry(model)) return {};
    TextSink sink;
    Render3DO(model, BaseName(outputPath), maxGeo, sink);
    return sink.TakeText();
}

StageResult OptModel::Write3DO(const char* outputPath, int32_t maxGeo) const {
    if (!HasGeometry(*this)) return Fail(Failure::NoGeometry);
    OutputFile file;
    if (StageResult opened = file.Open(outputPath); !opened) return opened;
    TextSink sink(&file);
    Render3DO(*this, BaseName(outputPath), maxGeo, sink);
    if (StageResult flushed = sink.Flush(); !flushed) return flushed;
    return file.Commit();
}

}  // namespace kesh

// Reading a 3DO text model as Kesh writes it, into plain records of its own, for viewing and
// checking a conversion. The reader accepts exactly the text the 3DO writer produces, line for
// line and column for column, and rejects anything else with the number of the first line
// that differs from it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kesh {

struct Point3 {
    double x = 0;
    double y = 0;
    double z = 0;
};

struct TexVertex {
    double u = 0;  // in texels, as written
    double v = 0;
};

// A line of the materials list: the MAT file name and the texture size in its comment.
struct Material3do {
    std::string name;
    int32_t width = 0;
    int32_t height = 0;
};

struct Face3do {
    int32_t material = -1;    // index into the materials; -1 for an untextured face
    int32_t cornerCount = 0;  // 3 or 4
    // Indices into the mesh's vertices and texture vertices, as written: they are not checked
    // against the lists (an untextured face's texture-vertex indices may point anywhere).
    std::array<int32_t, 4> vertex{};
    std::array<int32_t, 4> texVertex{};
    Point3 normal;
};

struct Mesh3do {
    std::string name;
    double radius = 0;
    std::vector<Point3> vertices;
    std::vector<TexVertex> texVertices;
    std::vector<Point3> vertexNormals;
    std::vector<Face3do> faces;
};

struct GeometrySet3do {
    std::vector<Mesh3do> meshes;
};

// A hierarchy node. Node 0 is the root ("Object", mesh -1); node k places mesh k - 1 of
// every geometry set at `position`.
struct Node3do {
    int32_t mesh = -1;
    int32_t parent = -1;
    int32_t child = -1;
    int32_t sibling = -1;
    int32_t childCount = 0;
    Point3 position;
    std::string name;
};

struct Model3do {
    std::string baseName;  // the name in the banner line
    std::vector<Material3do> materials;
    double radius = 0;
    std::vector<GeometrySet3do> geometrySets;
    std::vector<Node3do> nodes;
};

// Where and why a text was rejected. `line` counts from 1; 0 when the file did not open.
struct Read3doError {
    size_t line = 0;
    std::string message;
};

// Reads the whole text of a 3DO file. False, with `error` set and `model` in an unspecified
// state, at the first line that the writer would not have written. Safe for any bytes: every
// count is checked against the lines left before anything is allocated for it.
bool Read3do(std::string_view text, Model3do& model, Read3doError& error);
bool Read3do(std::span<const uint8_t> bytes, Model3do& model, Read3doError& error);

// The same from a file; a file that does not open is reported with line 0.
bool Load3do(const char* path, Model3do& model, Read3doError& error);

// "line 12: expected ..." (or the message alone for line 0).
std::string Describe(const Read3doError& error);

}  // namespace kesh

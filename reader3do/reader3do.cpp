// The 3DO reader: the writer's text, walked line by line in file order. Every line is either
// matched whole against the text the writer puts there or taken apart field by field with the
// widths the writer uses; the first line that differs ends the read.
#include "reader3do/reader3do.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "core/read_file.h"
#include "reader3do/text_fields.h"

namespace kesh {

namespace {

constexpr std::string_view kSeparator = "###############";
constexpr std::string_view kVectorTitle = "# num:     x:         y:         z:";
constexpr std::string_view kZero = "   0.000000";

std::string PrintInt(const char* format, int64_t value) {
    char text[48];
    const int length = std::snprintf(text, sizeof text, format, static_cast<long long>(value));
    return std::string(text, static_cast<size_t>(std::max(length, 0)));
}

bool InInt32(int64_t value) {
    return value >= std::numeric_limits<int32_t>::min() &&
           value <= std::numeric_limits<int32_t>::max();
}

// A line quoted for a message: at most 80 bytes, anything unprintable as '?'.
std::string Quoted(std::string_view line) {
    std::string text = "\"";
    for (char c : line.substr(0, 80))
        text += (c >= ' ' && c <= '~') ? c : '?';
    return text + (line.size() > 80 ? "...\"" : "\"");
}

class Reader {
  public:
    Reader(std::string_view text, Read3doError& error) : text_(text), error_(error) {
        lineCount_ = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    }

    bool Read(Model3do& model) {
        model_ = &model;
        return ReadHeader(model) && ReadMaterials(model) && ReadGeometry(model) &&
               ReadHierarchy(model) && ReadEnd();
    }

  private:
    // The next line without its CR LF; fails at the end of the text or a line without CR LF.
    bool Next(std::string_view& line) {
        ++number_;
        if (pos_ == text_.size()) return Fail("the file ends here, before the model is complete");
        const size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos || end == pos_ || text_[end - 1] != '\r') {
            return Fail("the line does not end in CR LF");
        }
        line = text_.substr(pos_, end - 1 - pos_);
        pos_ = end + 1;
        return true;
    }

    bool Fail(std::string message) {
        error_.line = number_;
        error_.message = std::move(message);
        return false;
    }

    bool Expected(std::string_view form, std::string_view found) {
        return Fail("expected " + std::string(form) + ", found " + Quoted(found));
    }

    bool Expect(std::string_view text) {
        std::string_view line;
        if (!Next(line)) return false;
        if (line == text) return true;
        return Expected(text.empty() ? std::string("an empty line") : Quoted(text), line);
    }

    bool Section(std::string_view name) {
        return Expect(kSeparator) && Expect("SECTION: " + std::string(name)) && Expect("");
    }

    // "KEYWORD %d" and an empty line; the count cannot exceed the lines left, each item
    // taking one line at least.
    bool Count(std::string_view keyword, size_t& count) {
        std::string_view line;
        if (!Next(line)) return false;
        LineFields fields(line);
        int64_t value = 0;
        if (!fields.Literal(keyword) || !fields.Literal(" ") || !fields.Int(0, value) ||
            !fields.AtEnd() || value < 0) {
            std::string wanted = "\"";
            wanted.append(keyword).append(" <count>\"");
            return Expected(wanted, line);
        }
        if (static_cast<uint64_t>(value) > lineCount_ - number_) {
            return Fail(std::string(keyword) + " " + std::to_string(value) +
                        " is more than the lines left in the file");
        }
        count = static_cast<size_t>(value);
        return Expect("");
    }

    // "%5d: %10.6f %10.6f %10.6f" for item `index`, with `tail` after it.
    bool Vector(std::string_view line, size_t index, Point3& point, std::string_view tail) {
        LineFields fields(line);
        if (fields.Literal(PrintInt("%5lld: ", static_cast<int64_t>(index))) &&
            fields.Fixed(10, 6, point.x) && fields.Literal(" ") && fields.Fixed(10, 6, point.y) &&
            fields.Literal(" ") && fields.Fixed(10, 6, point.z) && fields.Literal(tail) &&
            fields.AtEnd()) {
            return true;
        }
        return Expected("entry " + std::to_string(index) + " as \"%5d: %10.6f %10.6f %10.6f" +
                            (tail.empty() ? "" : "   0.000000") + "\"",
                        line);
    }

    bool VectorLine(size_t index, Point3& point, std::string_view tail = {}) {
        std::string_view line;
        return Next(line) && Vector(line, index, point, tail);
    }

    bool ReadHeader(Model3do& model) {
        std::string_view line;
        if (!Next(line)) return false;
        constexpr std::string_view kBannerStart = "# MODEL '";
        constexpr std::string_view kBannerEnd = "' converted from an OPT by KESH";
        if (line.size() < kBannerStart.size() + kBannerEnd.size() ||
            !line.starts_with(kBannerStart) || !line.ends_with(kBannerEnd)) {
            return Expected("\"# MODEL '<name>' converted from an OPT by KESH\"", line);
        }
        model.baseName =
            line.substr(kBannerStart.size(), line.size() - kBannerStart.size() - kBannerEnd.size());
        // The attribution block: its words may change between versions, its form does not.
        for (int k = 0; k < 4; ++k) {
            if (!Next(line)) return false;
            const bool ok = k == 2 ? line == "#" : line.size() > 2 && line.starts_with("# ");
            if (!ok) return Expected(k == 2 ? "\"#\"" : "a comment line \"# ...\"", line);
        }
        return Expect("") && Section("HEADER") && Expect("3DO 2.2") && Expect("");
    }

    bool ReadMaterials(Model3do& model) {
        size_t count = 0;
        if (!Section("MODELRESOURCE") || !Expect("# Materials List") ||
            !Count("MATERIALS", count)) {
            return false;
        }
        model.materials.resize(count);
        for (size_t i = 0; i < count; ++i) {
            std::string_view line;
            if (!Next(line)) return false;
            Material3do& material = model.materials[i];
            const std::string suffix = PrintInt("_%.5lld.mat", static_cast<int64_t>(i));
            LineFields fields(line);
            const bool numbered = fields.Literal(PrintInt("%10lld:   ", static_cast<int64_t>(i)));
            material.name = fields.Rest().substr(0, fields.Rest().find("    # "));
            int64_t width = 0;
            int64_t height = 0;
            if (!numbered || !ValidMaterialName(material.name, suffix, model, i == 0) ||
                !fields.Literal(material.name) || !fields.Literal("    # ") ||
                !fields.Int(0, width) || !fields.Literal("x") || !fields.Int(0, height) ||
                !fields.AtEnd() || !InInt32(width) || !InInt32(height)) {
                return Expected("material " + std::to_string(i) + " as \"%10d:   " +
                                    (i == 0 ? std::string("<prefix>") : model.materialPrefix) +
                                    suffix + "    # <width>x<height>\"",
                                line);
            }
            material.width = static_cast<int32_t>(width);
            material.height = static_cast<int32_t>(height);
        }
        return Expect("") && Expect("");
    }

    // Every material name is one prefix of at most four characters (none of them a blank, a
    // tab or '#', which would split the line) and "_%.5d.mat" with its number. The prefix
    // comes from the output name or, with unique names, was chosen for the file: the first
    // material sets it.
    static bool ValidMaterialName(std::string_view name, std::string_view suffix, Model3do& model,
                                  bool first) {
        if (!name.ends_with(suffix)) return false;
        const std::string_view prefix = name.substr(0, name.size() - suffix.size());
        if (prefix.size() > 4 ||
            prefix.find_first_of(std::string_view(" \t#\0", 4)) != std::string_view::npos) {
            return false;
        }
        if (first) model.materialPrefix = prefix;
        return prefix == model.materialPrefix;
    }

    // "RADIUS %10.6f", of the model or of a mesh.
    bool Radius(double& radius) {
        std::string_view line;
        if (!Next(line)) return false;
        LineFields fields(line);
        if (!fields.Literal("RADIUS ") || !fields.Fixed(10, 6, radius) || !fields.AtEnd())
            return Expected("\"RADIUS %10.6f\"", line);
        return true;
    }

    bool ReadGeometry(Model3do& model) {
        if (!Section("GEOMETRYDEF") || !Expect("# Object radius")) return false;
        size_t sets = 0;
        if (!Radius(model.radius) || !Expect("") || !Expect("# Insertion offset") ||
            !Expect("INSERT OFFSET   0.000000   0.000000   0.000000") || !Expect("") ||
            !Expect("# Number of Geometry Sets") || !Count("GEOSETS", sets)) {
            return false;
        }
        model.geometrySets.resize(sets);
        for (size_t g = 0; g < sets; ++g) {
            size_t meshes = 0;
            if (!Expect("# Geometry Set definition") ||
                !Expect(PrintInt("GEOSET %lld", static_cast<int64_t>(g))) || !Expect("") ||
                !Expect("# Number of Meshes") || !Count("MESHES", meshes)) {
                return false;
            }
            model.geometrySets[g].meshes.resize(meshes);
            for (size_t j = 0; j < meshes; ++j) {
                if (!ReadMesh(model.geometrySets[g].meshes[j], j)) return false;
            }
        }
        return true;
    }

    bool ReadMesh(Mesh3do& mesh, size_t index) {
        mesh.name = PrintInt("Mesh_%.3lld", static_cast<int64_t>(index));
        if (!Expect("# Mesh definition") ||
            !Expect(PrintInt("MESH %lld", static_cast<int64_t>(index))) || !Expect("") ||
            !Expect("NAME " + mesh.name) || !Expect("")) {
            return false;
        }
        size_t count = 0;
        if (!Radius(mesh.radius) || !Expect("") || !Expect("GEOMETRYMODE 4") ||
            !Expect("LIGHTINGMODE 3") || !Expect("TEXTUREMODE  1") || !Expect("") ||
            !Count("VERTICES", count) ||
            !Expect("# num:     x:         y:         z:         i:")) {
            return false;
        }
        mesh.vertices.resize(count);
        for (size_t v = 0; v < count; ++v) {
            if (!VectorLine(v, mesh.vertices[v], kZero)) return false;
        }
        if (!Expect("") || !Expect("") || !Count("TEXTURE VERTICES", count)) return false;
        std::string_view line;
        mesh.texVertices.resize(count);
        for (size_t t = 0; t < count; ++t) {
            if (!Next(line)) return false;
            LineFields fields(line);
            TexVertex& tv = mesh.texVertices[t];
            if (!fields.Literal(PrintInt("%5lld: ", static_cast<int64_t>(t))) ||
                !fields.Fixed(10, 6, tv.u) || !fields.Literal(" ") || !fields.Fixed(10, 6, tv.v) ||
                !fields.AtEnd()) {
                return Expected(
                    "texture vertex " + std::to_string(t) + " as \"%5d: %10.6f %10.6f\"", line);
            }
        }
        if (!Expect("") || !Expect("") || !Expect("VERTEX NORMALS") || !Expect("") ||
            !Expect(kVectorTitle)) {
            return false;
        }
        // The vertex normals carry no count: they run to the first empty line.
        for (size_t n = 0;; ++n) {
            if (!Next(line)) return false;
            if (line.empty()) break;
            Point3 normal;
            if (!Vector(line, n, normal, {})) return false;
            mesh.vertexNormals.push_back(normal);
        }
        if (!Expect("") || !Count("FACES", count) ||
            !Expect("#  num:  material:   type:  geo:  light:   tex:  extralight:  verts:")) {
            return false;
        }
        mesh.faces.resize(count);
        for (size_t f = 0; f < count; ++f) {
            if (!ReadFace(mesh.faces[f], f)) return false;
        }
        if (!Expect("") || !Expect("") || !Expect("FACE NORMALS") || !Expect("") ||
            !Expect(kVectorTitle)) {
            return false;
        }
        for (size_t f = 0; f < count; ++f) {
            if (!VectorLine(f, mesh.faces[f].normal)) return false;
        }
        return Expect("") && Expect("");
    }

    bool ReadFace(Face3do& face, size_t index) {
        std::string_view line;
        if (!Next(line)) return false;
        LineFields fields(line);
        int64_t material = 0;
        int64_t corners = 0;
        bool textured = true;
        const bool fixedPart =
            fields.Literal(PrintInt("%6lld: ", static_cast<int64_t>(index))) &&
            fields.Int(9, material) &&
            (fields.Literal("  0x0000") || (textured = false, fields.Literal("  0x0002"))) &&
            fields.Literal("     4       3      1       0.0000 ") && fields.Int(7, corners) &&
            fields.Literal(" ");
        // An untextured face names material 0, or -1 in a model fitted to the engine; every
        // untextured face of a file names the same.
        const bool untexturedOk = (material == 0 || material == -1) &&
                                  (!untexturedSeen_ || material == model_->untexturedMaterial);
        if (!fixedPart || !InInt32(material) || (textured ? material < 0 : !untexturedOk) ||
            corners < 3 || corners > 4) {
            return Expected("face " + std::to_string(index) +
                                " as \"%6d: %9d  0x0000     4       3      1       0.0000 "
                                "%7d \" (type 0x0002 with material 0, or -1 throughout; 3 or "
                                "4 corners)",
                            line);
        }
        if (!textured) {
            untexturedSeen_ = true;
            model_->untexturedMaterial = static_cast<int32_t>(material);
        }
        face.material = textured ? static_cast<int32_t>(material) : -1;
        face.cornerCount = static_cast<int32_t>(corners);
        return ReadCorners(fields.Rest(), face);
    }

    // The corner pairs "%4d,%3d" follow one another with nothing between them, so the
    // texture-vertex index of one corner and the vertex index of the next share the text
    // between two commas.
    bool ReadCorners(std::string_view pairs, Face3do& face) {
        const auto form = [&](std::string_view why) {
            return Fail(why.empty() ? "expected " + std::to_string(face.cornerCount) +
                                          " corners as \"%4d,%3d\" each, found " + Quoted(pairs)
                                    : std::string(why));
        };
        if (std::count(pairs.begin(), pairs.end(), ',') != face.cornerCount) return form({});
        int64_t value = 0;
        size_t comma = pairs.find(',');
        if (!ParseIntField(pairs.substr(0, comma), 4, value) || !InInt32(value)) return form({});
        face.vertex[0] = static_cast<int32_t>(value);
        for (int32_t k = 0; k < face.cornerCount; ++k) {
            const size_t next = pairs.find(',', comma + 1);
            const std::string_view run = pairs.substr(comma + 1, next - comma - 1);
            comma = next;
            if (k + 1 == face.cornerCount) {
                if (!ParseIntField(run, 3, value) || !InInt32(value)) return form({});
                face.texVertex[static_cast<size_t>(k)] = static_cast<int32_t>(value);
                break;
            }
            // Two numbers of four characters or more leave no blank between them.
            if (run.size() >= 8 && run.find(' ') == std::string_view::npos) {
                return form("the texture-vertex index of corner " + std::to_string(k) +
                            " and the vertex index of corner " + std::to_string(k + 1) +
                            " run together in " + Quoted(run) +
                            ": the fixed-width columns cannot tell them apart");
            }
            int matches = 0;
            for (size_t split = 1; split < run.size(); ++split) {
                int64_t tex = 0;
                int64_t vertex = 0;
                if (ParseIntField(run.substr(0, split), 3, tex) &&
                    ParseIntField(run.substr(split), 4, vertex) && InInt32(tex) &&
                    InInt32(vertex)) {
                    ++matches;
                    face.texVertex[static_cast<size_t>(k)] = static_cast<int32_t>(tex);
                    face.vertex[static_cast<size_t>(k) + 1] = static_cast<int32_t>(vertex);
                }
            }
            if (matches != 1) return form({});
        }
        return true;
    }

    bool ReadHierarchy(Model3do& model) {
        size_t count = 0;
        if (!Section("HIERARCHYDEF") || !Expect("# Hierarchy node list") ||
            !Count("HIERARCHY NODES", count)) {
            return false;
        }
        if (count < 2) return Fail("a hierarchy holds the root and one node per mesh at least");
        const size_t meshes = count - 1;
        if (!model.geometrySets.empty() && model.geometrySets[0].meshes.size() != meshes) {
            --number_;  // the count line, before the empty line that Count took
            return Fail("HIERARCHY NODES " + std::to_string(count) + " does not match the " +
                        std::to_string(model.geometrySets[0].meshes.size()) +
                        " meshes of geometry set 0 and the root");
        }
        if (!Expect("#  num:   flags:   type:    mesh:  parent:  child:  sibling:  numChildren:  "
                    "      x:         y:         z:     pitch:       yaw:      roll:    pivotx:  "
                    "  pivoty:    pivotz:  hnodename:") ||
            !Expect("     0:  0x0000 0x00001       -1       -1       1        -1             " +
                    std::to_string(meshes) +
                    "   0.000000   0.000000   0.000000   0.000000   0.000000   0.000000   "
                    "0.000000   0.000000   0.000000  Object")) {
            return false;
        }
        model.nodes.resize(count);
        Node3do& root = model.nodes[0];
        root.child = 1;
        root.childCount = static_cast<int32_t>(std::min<size_t>(meshes, INT32_MAX));
        root.name = "Object";
        for (size_t k = 1; k < count; ++k) {
            const auto key = static_cast<int64_t>(k);
            Node3do& node = model.nodes[k];
            node.mesh = static_cast<int32_t>(k - 1);
            node.parent = 0;
            node.sibling = k < meshes ? static_cast<int32_t>(k + 1) : -1;
            node.name = PrintInt("Node_%.3lld", key - 1);
            std::string_view line;
            if (!Next(line)) return false;
            LineFields fields(line);
            Point3& at = node.position;
            if (!fields.Literal(PrintInt("%6lld:  0x0000 0x00001 ", key)) ||
                !fields.Literal(PrintInt("%8lld        0      -1 ", key - 1)) ||
                !fields.Literal(PrintInt("%9lld             0 ", node.sibling)) ||
                !fields.Fixed(10, 6, at.x) || !fields.Literal(" ") || !fields.Fixed(10, 6, at.y) ||
                !fields.Literal(" ") || !fields.Fixed(10, 6, at.z) ||
                !fields.Literal("   0.000000   0.000000   0.000000   0.000000   0.000000   "
                                "0.000000  ") ||
                !fields.Literal(node.name) || !fields.AtEnd()) {
                return Expected("node " + std::to_string(k) + " of mesh " + std::to_string(k - 1) +
                                    " at \"%10.6f %10.6f %10.6f\"",
                                line);
            }
        }
        return Expect("");
    }

    bool ReadEnd() {
        if (pos_ == text_.size()) return true;
        ++number_;
        return Fail("text follows the end of the hierarchy");
    }

    std::string_view text_;
    Read3doError& error_;
    size_t pos_ = 0;
    size_t number_ = 0;     // the line last taken, from 1
    size_t lineCount_ = 0;  // line ends in the whole text
    Model3do* model_ = nullptr;
    bool untexturedSeen_ = false;
};

}  // namespace

bool Read3do(std::string_view text, Model3do& model, Read3doError& error) {
    model = Model3do{};
    error = Read3doError{};
    return Reader(text, error).Read(model);
}

bool Read3do(std::span<const uint8_t> bytes, Model3do& model, Read3doError& error) {
    return Read3do(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                   model, error);
}

bool Load3do(const char* path, Model3do& model, Read3doError& error) {
    FileBytes file;
    if (StageResult read = ReadFile(path, file); !read) {
        error = Read3doError{0, "cannot open: " + Describe(read)};
        return false;
    }
    return Read3do(file.span(), model, error);
}

std::string Describe(const Read3doError& error) {
    if (error.line == 0) return error.message;
    return "line " + std::to_string(error.line) + ": " + error.message;
}

}  // namespace kesh

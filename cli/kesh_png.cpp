// kesh-png: writes a PNG of a MAT image through a colour map, or of an OPT texture through
// its own palette, so that a quantised texture can be compared with its original.
//
//   kesh-png mat FILE.mat --colour-map FILE.cmp -o OUT.png
//   kesh-png opt FILE.opt --texture N [--no-xwa] -o OUT.png
//
// Exit status: 0 when the PNG was written, 1 when it was not, 2 for a usage error.
#include <CLI/CLI.hpp>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/png_image.h"
#include "core/model.h"
#include "core/output_file.h"
#include "core/read_file.h"
#include "textures/colour_map.h"
#include "textures/mat_file.h"
#include "textures/mat_writer.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void Error(const std::string& text) {
    std::fprintf(stderr, "kesh-png: %s\n", text.c_str());
}

void Warning(const std::string& text) {
    std::fprintf(stderr, "kesh-png: warning: %s\n", text.c_str());
}

int WritePng(const kesh::PngImage& image, const std::string& outPath) {
    std::vector<uint8_t> png;
    std::string problem;
    if (!kesh::EncodePng(image, png, problem)) {
        Error(outPath + ": " + problem);
        return kExitFailed;
    }
    kesh::OutputFile file;
    kesh::StageResult result = file.Open(outPath);
    if (result) result = file.Write(png.data(), png.size());
    if (result) result = file.Commit();
    if (!result) {
        Error(outPath + ": " + kesh::Describe(result));
        return kExitFailed;
    }
    return 0;
}

int MatToPng(const std::string& matPath, const std::string& mapPath, const std::string& outPath) {
    kesh::ColourMap colourMap;
    kesh::StageResult loaded = colourMap.Load(mapPath.c_str());
    if (!loaded) {
        Error(mapPath + ": cannot open colour map: " + std::strerror(loaded.systemError));
        return kExitFailed;
    }
    if (loaded.damaged) {
        Warning(mapPath + ": colour map shorter than 832 bytes; the missing entries are black");
    }

    kesh::FileBytes file;
    if (kesh::StageResult read = kesh::ReadFile(matPath.c_str(), file); !read) {
        Error(matPath + ": cannot open MAT file: " + std::strerror(read.systemError));
        return kExitFailed;
    }
    kesh::MatImage mat;
    if (kesh::MatProblem problem = kesh::ReadMatImage(file.span(), mat);
        problem != kesh::MatProblem::None) {
        Error(matPath + ": " + kesh::Describe(problem));
        return kExitFailed;
    }

    kesh::PngImage image;
    image.width = mat.width;
    image.height = mat.height;
    image.pixels.resize(mat.pixels.size() * 3);
    for (size_t k = 0; k < mat.pixels.size(); ++k) {
        const uint8_t* entry = colourMap.entries.data() + 3 * size_t{mat.pixels[k]};
        std::memcpy(image.pixels.data() + 3 * k, entry, 3);
    }
    return WritePng(image, outPath);
}

int OptToPng(const std::string& optPath, int textureIndex, bool noXwa, const std::string& outPath) {
    kesh::OptModel model;
    model.paletteOffset = noXwa ? kesh::kPlainPaletteOffset : kesh::kXwaPaletteOffset;
    kesh::StageResult loaded = model.LoadOpt(optPath.c_str());
    if (!loaded) {
        Error(optPath + ": " + kesh::Describe(loaded));
        return kExitFailed;
    }
    if (loaded.damaged) Warning(optPath + ": the file is damaged or cut short");
    if (textureIndex < 0 || static_cast<size_t>(textureIndex) >= model.textures.size()) {
        Error(optPath + ": no texture " + std::to_string(textureIndex) + " (the model has " +
              std::to_string(model.textures.size()) + ")");
        return kExitFailed;
    }

    const kesh::Texture& texture = model.textures[static_cast<size_t>(textureIndex)];
    // The same bounds as the MAT writer: no image it would not write either.
    int64_t count = kesh::MatImagePixels(texture);
    if (count != int64_t{texture.width} * texture.height || texture.width < 0 ||
        texture.height < 0) {
        Error(optPath + ": texture " + std::to_string(textureIndex) + " has an impossible size (" +
              std::to_string(texture.width) + " x " + std::to_string(texture.height) + ")");
        return kExitFailed;
    }

    bool trueColour = texture.bytesPerPixel == 4;
    int64_t held = static_cast<int64_t>(texture.pixels.size() / (trueColour ? 4 : 1));
    if (held < count) {
        Warning(optPath + ": texture " + std::to_string(textureIndex) + " holds " +
                std::to_string(held) + " of its " + std::to_string(count) +
                " pixels; the rest are shown as " + (trueColour ? "black" : "palette entry 0"));
    }

    kesh::PngImage image;
    image.width = texture.width;
    image.height = texture.height;
    image.channels = trueColour ? 4 : 3;
    image.pixels.assign(static_cast<size_t>(count) * static_cast<size_t>(image.channels), 0);
    for (int64_t k = 0; k < count; ++k) {
        uint8_t* out = image.pixels.data() + k * image.channels;
        if (trueColour) {
            // Blue, green, red, alpha in the texture; red, green, blue, alpha in the PNG.
            if (k < held) {
                const uint8_t* bgra = texture.pixels.data() + 4 * k;
                out[0] = bgra[2];
                out[1] = bgra[1];
                out[2] = bgra[0];
                out[3] = bgra[3];
            } else {
                out[3] = 255;
            }
        } else {
            uint8_t index = k < held ? texture.pixels[static_cast<size_t>(k)] : 0;
            std::memcpy(out, texture.palette.data() + 3 * size_t{index}, 3);
        }
    }
    return WritePng(image, outPath);
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_NUMERIC, "C");

    CLI::App app{
        "Writes a PNG of a MAT image through a colour map, or of an OPT texture through its\n"
        "own palette, to compare a quantised texture with its original.",
        "kesh-png"};
    app.require_subcommand(1);

    std::string outPath;
    std::string matPath;
    std::string mapPath;
    CLI::App* mat = app.add_subcommand("mat", "PNG of a MAT image, coloured by a colour map");
    mat->add_option("FILE", matPath, "MAT file")->required();
    mat->add_option("--colour-map", mapPath, "CMP colour map that the MAT indexes")->required();
    mat->add_option("-o,--output", outPath, "PNG file to write")->required();

    std::string optPath;
    int textureIndex = 0;
    bool noXwa = false;
    CLI::App* opt =
        app.add_subcommand("opt", "PNG of one texture of an OPT model, in its own colours");
    opt->add_option("FILE", optPath, "OPT file")->required();
    opt->add_option("--texture", textureIndex, "Texture number, from 0")->required();
    opt->add_flag("--no-xwa", noXwa,
                  "The OPT is not an XW-Alliance model: read the 16th palette, not the 8th");
    opt->add_option("-o,--output", outPath, "PNG file to write")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : kExitUsage;
    }

    if (mat->parsed()) return MatToPng(matPath, mapPath, outPath);
    return OptToPng(optPath, textureIndex, noXwa, outPath);
}

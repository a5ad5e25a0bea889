// kesh-png: writes a PNG of a MAT image through a colour map, of an OPT texture through its
// own palette, of every texture of an OPT beside its quantised version, or of a converted 3DO
// model seen from four sides, so that a conversion can be looked at instead of read.
//
//   kesh-png mat FILE.mat --colour-map FILE.cmp -o OUT.png
//   kesh-png opt FILE.opt --texture N [--no-xwa] -o OUT.png
//   kesh-png opt FILE.opt --all [--zoom N] [--colour-map CMP] [--dither] [--no-xwa] -o OUT.png
//   kesh-png model FILE.3do [--colour-map CMP] [--mat-dir DIR] [--geoset N] [--size PIXELS]
//            -o OUT.png
//
// Exit status: 0 when the PNG was written, 1 when it was not, 2 for a usage error.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/png_image.h"
#include "core/model.h"
#include "core/output_file.h"
#include "core/read_file.h"
#include "core/settings.h"
#include "reader3do/reader3do.h"
#include "render/materials.h"
#include "render/model_view.h"
#include "render/texture_sheet.h"
#include "textures/colour_map.h"
#include "textures/mat_file.h"
#include "textures/mat_writer.h"
#include "textures/quantise.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kMaxSheetSide = 16384;

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

int WriteRgbPng(const kesh::RgbImage& picture, const std::string& outPath) {
    kesh::PngImage image;
    image.width = picture.width;
    image.height = picture.height;
    image.pixels = picture.pixels;
    return WritePng(image, outPath);
}

// The folder part of `path`, without its last separator; empty for a bare name.
std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
}

// Loads the colour map named on the command line or, without one, the default file from the
// first of `folders` that holds it. False when none loads; the reason is in `problem`.
bool LoadColourMap(const std::string& named, const std::vector<std::string>& folders,
                   kesh::ColourMap& colourMap, std::string& problem) {
    std::vector<std::string> candidates;
    if (!named.empty()) {
        candidates.push_back(named);
    } else {
        for (const std::string& folder : folders) {
            candidates.push_back(folder.empty() ? kesh::kDefaultColourMapFile
                                                : folder + "/" + kesh::kDefaultColourMapFile);
        }
    }
    for (const std::string& path : candidates) {
        kesh::StageResult loaded = colourMap.Load(path.c_str());
        if (!loaded) {
            problem = path + ": cannot open colour map: " + std::strerror(loaded.systemError);
            continue;
        }
        if (loaded.damaged) {
            Warning(path + ": colour map shorter than 832 bytes; the missing entries are black");
        }
        return true;
    }
    return false;
}

int ModelToPng(const std::string& modelPath, const std::string& mapPath, const std::string& matDir,
               int geoset, int size, const std::string& outPath) {
    kesh::Model3do model;
    kesh::Read3doError error;
    if (!kesh::Load3do(modelPath.c_str(), model, error)) {
        Error(modelPath + ": " + kesh::Describe(error));
        return kExitFailed;
    }
    if (geoset < 0 || static_cast<size_t>(geoset) >= model.geometrySets.size()) {
        Error(modelPath + ": no geometry set " + std::to_string(geoset) + " (the model has " +
              std::to_string(model.geometrySets.size()) + ")");
        return kExitFailed;
    }
    // MAT files and the default colour map: beside the model, then in the current folder.
    std::vector<std::string> folders = {FolderOf(modelPath)};
    if (!folders[0].empty()) folders.push_back("");
    if (!matDir.empty()) folders = {matDir};

    kesh::ColourMap colourMap;
    std::string problem;
    std::vector<kesh::RgbImage> materials;
    if (LoadColourMap(mapPath, {FolderOf(modelPath), ""}, colourMap, problem)) {
        std::vector<std::string> warnings;
        materials = kesh::LoadMaterialImages(model, colourMap, folders, warnings);
        for (const std::string& warning : warnings)
            Warning(warning);
    } else if (!model.materials.empty()) {
        if (!mapPath.empty()) {
            Error(problem);
            return kExitFailed;
        }
        Warning("no colour map (" + std::string(kesh::kDefaultColourMapFile) +
                ") beside the model or in the current folder; every face is drawn in grey");
    }
    return WriteRgbPng(kesh::DrawSheet(model, static_cast<size_t>(geoset), materials, size),
                       outPath);
}

// Loads the OPT file with the palette chosen by `noXwa`; says why when it does not open, and
// warns when it is damaged (what it held is still shown).
bool LoadOptModel(const std::string& optPath, bool noXwa, kesh::OptModel& model) {
    model.paletteOffset = noXwa ? kesh::kPlainPaletteOffset : kesh::kXwaPaletteOffset;
    const kesh::StageResult loaded = model.LoadOpt(optPath.c_str());
    if (!loaded) {
        Error(optPath + ": " + kesh::Describe(loaded));
        return false;
    }
    if (loaded.damaged) Warning(optPath + ": the file is damaged or cut short");
    return true;
}

int OptSheetToPng(const std::string& optPath, const std::string& mapPath, bool noXwa, bool dither,
                  int zoom, const std::string& outPath) {
    kesh::OptModel model;
    if (!LoadOptModel(optPath, noXwa, model)) return kExitFailed;
    kesh::ColourMap colourMap;
    std::string problem;
    if (!LoadColourMap(mapPath, {FolderOf(optPath), ""}, colourMap, problem)) {
        Error(mapPath.empty() ? "no colour map (" + std::string(kesh::kDefaultColourMapFile) +
                                    ") beside the model or in the current folder; name one "
                                    "with --colour-map"
                              : problem);
        return kExitFailed;
    }

    std::vector<kesh::TexturePair> pairs;
    for (size_t i = 0; i < model.textures.size(); ++i) {
        const kesh::Texture& texture = model.textures[i];
        const std::vector<uint8_t> colours = kesh::TextureColours(texture);
        if (colours.empty()) {
            Warning(optPath + ": texture " + std::to_string(i) + " has no picture (" +
                    std::to_string(texture.width) + " x " + std::to_string(texture.height) + ")");
            continue;
        }
        kesh::TexturePair pair;
        pair.original = kesh::RgbImage(texture.width, texture.height);
        pair.original.pixels = colours;
        kesh::MatImage mat;
        mat.width = texture.width;
        mat.height = texture.height;
        mat.pixels = kesh::QuantiseTexture(texture, colourMap, dither);
        pair.quantised = kesh::ColourImage(mat, colourMap);
        std::printf(
            "texture %zu (%d x %d): mean colour error %.2f per pixel, %.2f per 4 x 4 pixels\n", i,
            texture.width, texture.height, kesh::MeanColourError(pair.original, pair.quantised, 1),
            kesh::MeanColourError(pair.original, pair.quantised, 4));
        pairs.push_back(std::move(pair));
    }
    if (zoom <= 0) zoom = kesh::ZoomForWidth(pairs, 64);
    kesh::RgbImage sheet;
    if (!kesh::DrawTextureSheet(pairs, zoom, kMaxSheetSide, sheet, problem)) {
        Error(optPath + ": " + problem);
        return kExitFailed;
    }
    return WriteRgbPng(sheet, outPath);
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
    if (!LoadOptModel(optPath, noXwa, model)) return kExitFailed;
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

bool EndsWithPng(const std::string& path) {
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".png";
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_NUMERIC, "C");

    CLI::App app{
        "Writes a PNG of a MAT image through a colour map, of OPT textures beside their\n"
        "quantised versions, or of a converted 3DO model seen from four sides.",
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
    bool all = false;
    bool dither = false;
    int zoom = 0;
    CLI::App* opt = app.add_subcommand(
        "opt",
        "PNG of one texture of an OPT model in its own colours, or of all of them beside "
        "their quantised versions");
    opt->add_option("FILE", optPath, "OPT file")->required();
    CLI::Option* texture = opt->add_option("--texture", textureIndex, "Texture number, from 0");
    CLI::Option* allOption =
        opt->add_flag("--all", all, "Every texture, each beside its quantised version");
    texture->excludes(allOption);
    opt->add_option("--zoom", zoom,
                    "With --all: enlargement (default: the narrowest texture 64 pixels wide)")
        ->check(CLI::Range(1, 64));
    opt->add_option("--colour-map", mapPath,
                    "With --all: CMP colour map (default: uicolorm.cmp beside the OPT, then in "
                    "the current folder)");
    opt->add_flag("--dither", dither, "With --all: quantise by error diffusion");
    opt->add_flag("--no-xwa", noXwa,
                  "The OPT is not an XW-Alliance model: read the 16th palette, not the 8th");
    opt->add_option("-o,--output", outPath, "PNG file to write")->required();

    std::string modelPath;
    std::string matDir;
    int geoset = 0;
    int size = 1024;
    CLI::App* model = app.add_subcommand(
        "model",
        "PNG of a converted 3DO model seen from the front, the side, the top and at "
        "three quarters");
    model->add_option("FILE", modelPath, "3DO file")->required();
    model->add_option("--colour-map", mapPath,
                      "CMP colour map (default: uicolorm.cmp beside the model, then in the "
                      "current folder)");
    model->add_option("--mat-dir", matDir,
                      "Folder of the MAT files (default: the model's folder, then the current "
                      "folder)");
    model->add_option("--geoset", geoset, "Geometry set (level of detail), from 0");
    model->add_option("--size", size, "Side of the whole picture in pixels")
        ->check(CLI::Range(16, kMaxSheetSide));
    model->add_option("-o,--output", outPath, "PNG file to write")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : kExitUsage;
    }

    // PNG bytes under another name would only confuse the next program that opens the file.
    if (outPath.size() < 4 || !EndsWithPng(outPath)) {
        Error(outPath + ": the output name must end in .png");
        return kExitUsage;
    }
    if (mat->parsed()) return MatToPng(matPath, mapPath, outPath);
    if (model->parsed()) return ModelToPng(modelPath, mapPath, matDir, geoset, size, outPath);
    if (all) return OptSheetToPng(optPath, mapPath, noXwa, dither, zoom, outPath);
    if (texture->count() == 0) {
        Error("opt: name a texture with --texture N, or ask for --all");
        return kExitUsage;
    }
    return OptToPng(optPath, textureIndex, noXwa, outPath);
}

// kesh-convert: converts OPT models to 3DO files (and, with --textures, MAT files) from the
// command line, with the same settings and the same conversion run as the dialog.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/terminal_progress.h"
#include "core/run.h"
#include "core/run_messages.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_NUMERIC, "C");

    CLI::App app{
        "Converts OPT ship models into 3DO 2.2 models, each written next to its input\n"
        "(ship.opt gives ship.3do). With --textures every texture is also written as a MAT\n"
        "file in the current directory, quantised to the colour map.",
        "kesh-convert"};
    app.set_version_flag("--version", "kesh-convert 1.0.0");

    std::string scaleText = kesh::kDefaultScaleText;
    std::string groupText = "red";
    std::string maxGeoText = kesh::kDefaultMaxGeoText;
    bool noXwa = false;
    bool textures = false;
    bool fitEngine = false;
    std::string colourMap = kesh::kDefaultColourMapFile;
    std::vector<std::string> files;

    app.add_option("--scale", scaleText, "Scale factor of the vertices (read as atof reads it)")
        ->capture_default_str();
    app.add_option("--group", groupText, "Texture group: red, gold, blue, green or 0..3")
        ->capture_default_str();
    app.add_option("--max-geo", maxGeoText,
                   "Most geometry sets to write (read as atoi; negative writes all)")
        ->capture_default_str();
    app.add_flag("--no-xwa", noXwa,
                 "The OPTs are not XW-Alliance models: read the 16th palette, not the 8th");
    app.add_flag("--textures", textures, "Also write every texture as a MAT file");
    app.add_flag("--fit-engine", fitEngine,
                 "Split, pack and simplify every model to fit the game engine's limits");
    app.add_option("--colour-map", colourMap, "CMP colour map for the MAT files")
        ->capture_default_str();
    app.add_option("FILE", files, "OPT files to convert")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : kExitUsage;
    }

    kesh::RunSettings settings;
    const std::optional<int32_t> group = kesh::ParseGroup(groupText);
    if (!group) {
        std::fprintf(stderr, "kesh-convert: --group: '%s' is not red, gold, blue, green or 0..3\n",
                     groupText.c_str());
        return kExitUsage;
    }
    settings.textureGroup = *group;
    settings.scale = kesh::ScaleFromText(scaleText);
    settings.maxGeo = kesh::TextToInt(maxGeoText);
    settings.paletteOffset = noXwa ? kesh::kPlainPaletteOffset : kesh::kXwaPaletteOffset;
    settings.allowTextures = textures;
    settings.fitEngine = fitEngine;
    settings.colourMapFile = colourMap;

    kesh::RunReport report;
    if (isatty(STDERR_FILENO)) {
        kesh::TerminalProgress progress(stderr, files, kesh::StagesPerFile(settings));
        report = kesh::RunConversion(settings, files, progress);
    } else {
        kesh::NoProgress progress;
        report = kesh::RunConversion(settings, files, progress);
    }

    for (const std::string& line : kesh::DescribeRun(settings, report).lines) {
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    return report.allConverted() ? 0 : kExitFailed;
}

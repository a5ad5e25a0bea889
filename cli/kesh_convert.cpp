// kesh-convert: converts OPT models to 3DO files (and, with --textures, MAT files) from the
// command line, with the same settings and the same conversion run as the dialog.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/json_report.h"
#include "cli/options.h"
#include "cli/terminal_progress.h"
#include "core/run.h"
#include "frontend/run_messages.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Writes the JSON report to `path`, or to standard output for "-"; false when it cannot.
bool WriteReport(const std::string& path, const std::string& text) {
    if (path == "-") {
        return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
               std::fflush(stdout) == 0;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_NUMERIC, "C");

    CLI::App app{
        "Converts OPT ship models into 3DO 2.2 models, each written next to its input\n"
        "(ship.opt gives ship.3do) or into --output-dir. With --textures every texture is\n"
        "also written as a MAT file, quantised to the colour map, in the current directory\n"
        "or --mat-dir.",
        "kesh-convert"};
    app.set_version_flag("--version", "kesh-convert 1.0.0");

    std::string scaleText = kesh::kDefaultScaleText;
    std::string groupText = "red";
    std::string maxGeoText = kesh::kDefaultMaxGeoText;
    bool noXwa = false;
    bool textures = false;
    bool fitEngine = false;
    bool dither = false;
    std::string colourMap = kesh::kDefaultColourMapFile;
    std::string outputDir;
    std::string matDir;
    bool recursive = false;
    bool uniqueMatNames = false;
    bool quiet = false;
    bool verbose = false;
    bool strict = false;
    std::string reportPath;
    std::vector<std::string> arguments;

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
    CLI::Option* colourMapOption =
        app.add_option("--colour-map", colourMap, "CMP colour map for the MAT files")
            ->capture_default_str();
    app.add_option("-o,--output-dir", outputDir,
                   "Folder of the 3DO files (created when missing); default: beside each input");
    app.add_option("--mat-dir", matDir,
                   "Folder of the MAT files (created when missing); default: the current one");
    app.add_flag("-r,--recursive", recursive,
                 "A folder among the FILEs stands for every .opt file below it");
    app.add_flag("--unique-mat-names", uniqueMatNames,
                 "Give a file whose MAT names an earlier file of the batch uses a prefix of "
                 "its own");
    app.add_flag("--dither", dither, "Quantise the MAT images by error diffusion");
    app.add_flag("--fit-engine", fitEngine,
                 "Split, pack and simplify every model to fit the game engine's limits");
    CLI::Option* quietOption = app.add_flag("-q,--quiet", quiet, "Show failures only");
    app.add_flag("-v,--verbose", verbose,
                 "Also show what was read and written for each file, and the summary")
        ->excludes(quietOption);
    app.add_flag("--strict", strict, "Any warning makes the exit status 1");
    app.add_option("--report", reportPath,
                   "Write a JSON report of the run to this file ('-': standard output)");
    app.add_option("FILE", arguments, "OPT files to convert (and folders, with -r)")->required();

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
    settings.dither = dither;
    settings.colourMapFile = colourMap;
    settings.outputDir = outputDir;
    settings.matDir = textures ? matDir : std::string();
    settings.uniqueMatNames = uniqueMatNames;

    // Nothing is written when the colour map is not whole: every MAT file would be wrong.
    const std::string colourMapProblem =
        kesh::DescribeColourMap(settings, kesh::CheckColourMap(settings));
    if (!colourMapProblem.empty()) {
        std::fprintf(stderr, "kesh-convert: %s\n", colourMapProblem.c_str());
        return kExitUsage;
    }

    std::vector<std::string> runWarnings;
    if (colourMapOption->count() > 0 && !textures) {
        runWarnings.push_back("--colour-map has no effect without --textures");
    }
    if (!matDir.empty() && !textures) {
        runWarnings.push_back("--mat-dir has no effect without --textures");
    }
    if (dither && !textures) runWarnings.push_back("--dither has no effect without --textures");
    for (const std::string& warning : {kesh::NumberWarning("--scale", scaleText, false),
                                       kesh::NumberWarning("--max-geo", maxGeoText, true)}) {
        if (!warning.empty()) runWarnings.push_back(warning);
    }
    kesh::InputList inputs = kesh::ExpandInputs(arguments, recursive);
    runWarnings.insert(runWarnings.end(), inputs.warnings.begin(), inputs.warnings.end());

    for (const auto& [option, folder] :
         {std::pair{"--output-dir", settings.outputDir}, std::pair{"--mat-dir", settings.matDir}}) {
        if (folder.empty()) continue;
        if (const std::string error = kesh::MakeFolder(option, folder); !error.empty()) {
            std::fprintf(stderr, "kesh-convert: %s\n", error.c_str());
            return kExitUsage;
        }
    }

    const kesh::Verbosity verbosity = quiet     ? kesh::Verbosity::Quiet
                                      : verbose ? kesh::Verbosity::Verbose
                                                : kesh::Verbosity::Normal;
    const bool terminal = isatty(STDERR_FILENO) != 0;
    kesh::TerminalProgress progress(stderr, inputs.files, kesh::StagesPerFile(settings),
                                    terminal && !quiet, verbosity);
    if (!quiet) {
        for (const std::string& warning : runWarnings)
            progress.Print("warning: " + warning);
    }

    const auto start = std::chrono::steady_clock::now();
    const kesh::RunReport report = kesh::RunConversion(settings, inputs.files, progress);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const int warnings = kesh::CountWarnings(report) + static_cast<int>(runWarnings.size());
    if (verbosity == kesh::Verbosity::Verbose || (terminal && !quiet)) {
        progress.Print(kesh::DescribeSummary(report, warnings, seconds));
    }

    int status = report.allConverted() && !(strict && warnings > 0) ? 0 : kExitFailed;
    if (!reportPath.empty() &&
        !WriteReport(reportPath, kesh::ReportJson(report, runWarnings, seconds))) {
        std::fprintf(stderr, "kesh-convert: --report %s: cannot write the report: %s\n",
                     reportPath.c_str(), std::strerror(errno));
        status = kExitFailed;
    }
    return status;
}

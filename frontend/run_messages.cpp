#include "frontend/run_messages.h"

#include <algorithm>
#include <cmath>

#include "core/with_thousands.h"
#include "textures/colour_map.h"
#include "writer3do/material_name.h"

namespace kesh {

namespace {

std::string Count(int64_t count, const char* one, const char* many) {
    return WithThousands(count) + " " + (count == 1 ? one : many);
}

std::string DescribeLimit(const LimitSummary& limit) {
    const std::string noun = LimitNoun(limit.kind);
    if (limit.kind == LimitKind::GeometrySets || limit.kind == LimitKind::HierarchyNodes) {
        return "the model has " + WithThousands(limit.largest) + " " + noun + ", more than " +
               WithThousands(limit.limit) + "; --fit-engine makes it fit";
    }
    if (limit.exceeded == 1) {
        return "1 mesh has more than " + WithThousands(limit.limit) + " " + noun + " (" +
               WithThousands(limit.largest) + "); --fit-engine makes it fit";
    }
    return WithThousands(limit.exceeded) + " meshes have more than " + WithThousands(limit.limit) +
           " " + noun + " (largest " + WithThousands(limit.largest) +
           "); --fit-engine makes them fit";
}

// `seconds` with `decimals` decimals and a '.', whatever the process locale.
std::string Seconds(double seconds, int decimals) {
    int64_t scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    const auto units = static_cast<int64_t>(std::llround(std::max(seconds, 0.0) * scale));
    std::string fraction = std::to_string(units % scale);
    fraction.insert(0, static_cast<size_t>(decimals) - fraction.size(), '0');
    return std::to_string(units / scale) + "." + fraction;
}

}  // namespace

std::vector<FileWarning> WarningsOf(const FileOutcome& file) {
    std::vector<FileWarning> warnings;
    if (!file.load.ok()) return warnings;
    if (file.load.damaged) warnings.push_back({});
    if (!file.materialNamesClashWith.empty() && !file.materialPrefixChanged) {
        FileWarning shared;
        shared.kind = WarningKind::SharedMaterialNames;
        shared.prefix = file.materialPrefix;
        shared.otherFile = file.materialNamesClashWith;
        warnings.push_back(shared);
    }
    if (!file.outputClashWith.empty()) {
        FileWarning replaced;
        replaced.kind = WarningKind::ReplacedOutput;
        replaced.otherFile = file.outputClashWith;
        replaced.output = file.outputPath;
        warnings.push_back(replaced);
    }
    for (const LimitSummary& limit : SummariseLimits(file.limitWarnings)) {
        FileWarning warning;
        warning.kind = WarningKind::EngineLimit;
        warning.limit = limit;
        warnings.push_back(warning);
    }
    return warnings;
}

std::string Describe(const FileWarning& warning) {
    switch (warning.kind) {
        case WarningKind::Damaged:
            break;
        case WarningKind::EngineLimit:
            return DescribeLimit(warning.limit);
        case WarningKind::SharedMaterialNames:
            return "its material names " + warning.prefix + "_*.mat are those of " +
                   warning.otherFile + " too; --unique-mat-names gives it names of its own";
        case WarningKind::ReplacedOutput:
            return "its 3DO file " + warning.output + " replaced the one written for " +
                   warning.otherFile;
    }
    return "the file is damaged or truncated; converted what it holds";
}

std::vector<std::string> FailuresOf(const FileOutcome& file) {
    std::vector<std::string> failures;
    if (!file.load.ok()) {
        failures.push_back(Describe(file.load));
        return failures;
    }
    for (const OutputFailure& mat : file.matFailures) {
        failures.push_back("MAT file " + mat.path + ": " + Describe(mat.result));
    }
    if (!file.model3do.ok()) {
        if (file.model3do.failure == Failure::NoGeometry ||
            file.model3do.failure == Failure::OutputIsInput) {
            failures.push_back(Describe(file.model3do));
        } else {
            failures.push_back(file.outputPath + ": " + Describe(file.model3do));
        }
    }
    return failures;
}

std::vector<std::string> DescribeFile(const FileOutcome& file) {
    std::vector<std::string> lines;
    const std::string prefix = file.inputPath + ": ";
    for (const std::string& failure : FailuresOf(file))
        lines.push_back(prefix + failure);
    for (const std::string& change : file.fitChanges)
        lines.push_back(prefix + change);
    for (const FileWarning& warning : WarningsOf(file))
        lines.push_back(prefix + "warning: " + Describe(warning));
    return lines;
}

std::string DescribeColourMap(const RunSettings& settings, const StageResult& check) {
    const std::string prefix = "colour map " + settings.colourMapFile + ": ";
    if (!check.ok()) return prefix + Describe(check);
    if (check.damaged) {
        return prefix + "shorter than " + std::to_string(kColourMapFileBytes) + " bytes";
    }
    return {};
}

RunMessages DescribeRun(const RunSettings& settings, const RunReport& report) {
    RunMessages messages;
    if (settings.allowTextures) {
        const std::string prefix = "warning: colour map " + settings.colourMapFile + ": ";
        if (!report.colourMap.ok()) {
            messages.lines.push_back(prefix + Describe(report.colourMap) +
                                     "; MAT files use an all-black map");
        } else if (report.colourMap.damaged) {
            messages.lines.push_back(prefix + "shorter than " +
                                     std::to_string(kColourMapFileBytes) +
                                     " bytes; the missing entries are black");
        }
    }
    for (const FileOutcome& file : report.files) {
        for (std::string& line : DescribeFile(file))
            messages.lines.push_back(std::move(line));
    }
    return messages;
}

std::vector<std::string> DescribeWork(const FileOutcome& file) {
    std::vector<std::string> lines;
    const std::string prefix = file.inputPath + ": ";
    const FileStats& stats = file.stats;
    std::string line = prefix;
    if (file.load.ok()) {
        line += "read " + Count(stats.meshes, "mesh", "meshes") + ", " +
                Count(stats.faces, "face", "faces") + ", " +
                Count(stats.levels, "level of detail", "levels of detail") + ", " +
                Count(stats.textures, "texture", "textures") + "; ";
    }
    std::string written;
    if (file.model3do.ok()) written = file.outputPath;
    if (stats.matFiles > 0) {
        if (!written.empty()) written += " and ";
        written += Count(stats.matFiles, "MAT file", "MAT files");
    }
    line += written.empty()
                ? std::string("wrote nothing")
                : "wrote " + written + " (" + Count(stats.bytesWritten, "byte", "bytes") + ")";
    lines.push_back(line + " in " + Seconds(stats.seconds, 3) + " s");
    if (file.materialPrefixChanged) {
        lines.push_back(prefix + "its material names are " + file.materialPrefix + "_*.mat, as " +
                        MaterialPrefix(BaseName(file.outputPath)) +
                        "_*.mat would repeat those of " + file.materialNamesClashWith);
    }
    return lines;
}

int CountWarnings(const RunReport& report) {
    int warnings = 0;
    for (const FileOutcome& file : report.files)
        warnings += static_cast<int>(WarningsOf(file).size());
    return warnings;
}

std::string DescribeSummary(const RunReport& report, int warnings, double seconds) {
    int64_t converted = 0;
    for (const FileOutcome& file : report.files)
        converted += file.converted() ? 1 : 0;
    const auto total = static_cast<int64_t>(report.files.size());
    return "Converted " + WithThousands(converted) + " of " + Count(total, "file", "files") + ", " +
           WithThousands(total - converted) + " failed, " + Count(warnings, "warning", "warnings") +
           ", in " + Seconds(seconds, 2) + " s";
}

}  // namespace kesh

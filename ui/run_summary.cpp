#include "ui/run_summary.h"

#include <map>
#include <string_view>

#include "core/paths.h"
#include "frontend/run_messages.h"
#include "writer3do/material_name.h"

namespace kesh {
namespace {

constexpr std::string_view kWarning = "warning: ";
// Failures and warnings the message lists before it only counts the rest: a message box
// taller than the screen hides its own button.
constexpr size_t kMessageLines = 10;

// A file's failures and warnings in the command line's words, without the file's path.
struct FileLines {
    std::vector<std::string> failures;
    std::vector<std::string> warnings;  // each starting with "warning: "
};

FileLines LinesOf(const FileOutcome& file) {
    FileLines lines;
    lines.failures = FailuresOf(file);
    for (const FileWarning& warning : WarningsOf(file))
        lines.warnings.push_back(std::string(kWarning) + Describe(warning));
    return lines;
}

std::string FileName(const std::string& path) {
    return std::string(BaseName(path));
}

std::string Sentence(std::string line) {
    if (!line.empty() && line.back() != '.') line += '.';
    return line;
}

std::string Join(const std::vector<std::string>& parts, const std::string& separator) {
    std::string text;
    for (const std::string& part : parts) {
        if (!text.empty()) text += separator;
        text += part;
    }
    return text;
}

std::string ResultText(const FileOutcome& file, const FileLines& lines) {
    if (!file.converted()) {
        return lines.failures.empty() ? "not converted" : Join(lines.failures, "; ");
    }
    // "Fit engine limits" changed the model: say so, and the tooltip says how.
    std::string text = file.fitChanges.empty() ? "Converted" : "Converted, fitted";
    const size_t warnings = lines.warnings.size();
    if (warnings == 0) return text;
    return text + ", " + std::to_string(warnings) + (warnings == 1 ? " warning" : " warnings");
}

std::string Tip(const FileOutcome& file, const FileLines& lines, const std::string& matFolder) {
    std::vector<std::string> tip{file.inputPath};
    if (file.model3do.ok()) tip.push_back("3DO file: " + file.outputPath);
    const int64_t mats = file.stats.matFiles;
    if (mats > 0 && !file.materialPrefix.empty()) {
        const std::string first = MaterialName(file.materialPrefix, 0);
        const std::string last =
            MaterialName(file.materialPrefix, static_cast<int32_t>(file.stats.textures - 1));
        tip.push_back(mats == 1 && file.stats.textures == 1
                          ? "MAT file: " + matFolder + "/" + first
                          : "MAT files: " + std::to_string(mats) + " in " + matFolder + " (" +
                                first + " to " + last + ")");
    }
    tip.insert(tip.end(), file.fitChanges.begin(), file.fitChanges.end());
    tip.insert(tip.end(), lines.failures.begin(), lines.failures.end());
    tip.insert(tip.end(), lines.warnings.begin(), lines.warnings.end());
    return Join(tip, "\n");
}

// DescribeRun's lines that belong to no single file: the colour map's, and any other
// warning about the run as a whole.
std::vector<std::string> RunWideLines(const RunSettings& settings, const RunReport& report) {
    std::map<std::string, int> fileLines;
    for (const FileOutcome& file : report.files) {
        for (const std::string& line : DescribeFile(file))
            ++fileLines[line];
    }
    std::vector<std::string> lines;
    for (std::string& line : DescribeRun(settings, report).lines) {
        const auto known = fileLines.find(line);
        if (known != fileLines.end() && known->second > 0) {
            --known->second;
        } else {
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

}  // namespace

RunSummary SummariseRun(const RunSettings& settings, const RunReport& report,
                        const std::string& matFolder) {
    // Run-wide lines first, then each failed file's failures, then the files whose MAT names
    // an earlier file had.
    std::vector<std::string> problems = RunWideLines(settings, report);
    const bool runWide = !problems.empty();
    std::vector<std::string> shared;

    RunSummary summary;
    size_t converted = 0;
    const std::string folder = settings.matDir.empty() ? matFolder : settings.matDir;
    for (const FileOutcome& file : report.files) {
        const FileLines lines = LinesOf(file);
        if (file.converted()) {
            ++converted;
        } else {
            for (const std::string& failure : lines.failures)
                problems.push_back(FileName(file.inputPath) + ": " + failure);
        }
        for (const FileWarning& warning : WarningsOf(file)) {
            if (warning.kind != WarningKind::SharedMaterialNames) continue;
            shared.push_back(FileName(file.inputPath) + ": " + std::string(kWarning) +
                             Describe(warning));
        }
        summary.files.push_back({ResultText(file, lines), Tip(file, lines, folder)});
    }
    problems.insert(problems.end(), shared.begin(), shared.end());

    const size_t total = report.files.size();
    if (converted == total && !runWide && shared.empty()) return summary;
    std::vector<std::string> message{std::to_string(converted) + " of " + std::to_string(total) +
                                     (total == 1 ? " file converted." : " files converted.")};
    for (size_t i = 0; i < problems.size() && i < kMessageLines; ++i)
        message.push_back(Sentence(problems[i]));
    if (problems.size() > kMessageLines) {
        message.push_back("And " + std::to_string(problems.size() - kMessageLines) +
                          " more: the tooltips of the list say which.");
    }
    summary.message = Join(message, "\n");
    return summary;
}

}  // namespace kesh

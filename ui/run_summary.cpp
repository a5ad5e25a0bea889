#include "ui/run_summary.h"

#include <algorithm>
#include <map>
#include <string_view>

#include "core/paths.h"
#include "core/run_messages.h"
#include "writer3do/material_name.h"

namespace kesh {
namespace {

constexpr std::string_view kWarning = "warning: ";
// Failures and warnings the message lists before it only counts the rest: a message box
// taller than the screen hides its own button.
constexpr size_t kMessageLines = 10;

// A file's lines from DescribeFile without the input path they start with.
struct FileLines {
    std::vector<std::string> failures;
    std::vector<std::string> warnings;  // each starting with "warning: "
};

FileLines SplitLines(const FileOutcome& file) {
    FileLines lines;
    const std::string prefix = file.inputPath + ": ";
    for (std::string line : DescribeFile(file)) {
        if (line.starts_with(prefix)) line.erase(0, prefix.size());
        auto& list = line.starts_with(kWarning) ? lines.warnings : lines.failures;
        list.push_back(std::move(line));
    }
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

// "a", "a and b", "a, b and c".
std::string ListNames(const std::vector<std::string>& names) {
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
        text += names[i];
    }
    return text;
}

// The MAT names of a 3DO file as a pattern, "shut_*.mat".
std::string MatPattern(const std::string& outputPath) {
    std::string name = MaterialName(BaseName(outputPath), 0);
    // Material 0 is named "..._00000.mat".
    name.resize(name.size() - std::string_view("00000.mat").size());
    return name + "*.mat";
}

// The files whose MAT files were written under the same names, one group per name, each in
// run order. A file listed twice writes the same MAT files twice, which harms nothing, so a
// group needs two different inputs.
std::vector<std::vector<size_t>> MatCollisions(const RunReport& report) {
    std::map<std::string, std::vector<size_t>> byName;
    std::vector<std::string> names;  // in the order of their first file
    for (size_t i = 0; i < report.files.size(); ++i) {
        const FileOutcome& file = report.files[i];
        if (file.matFiles == 0) continue;
        const std::string name = MaterialName(BaseName(file.outputPath), 0);
        auto [group, added] = byName.try_emplace(name);
        if (added) names.push_back(name);
        group->second.push_back(i);
    }
    std::vector<std::vector<size_t>> collisions;
    for (const std::string& name : names) {
        const std::vector<size_t>& group = byName[name];
        for (size_t i : group) {
            if (report.files[i].inputPath != report.files[group.front()].inputPath) {
                collisions.push_back(group);
                break;
            }
        }
    }
    return collisions;
}

std::string CollisionWarning(const RunReport& report, const std::vector<size_t>& group) {
    std::vector<std::string> inputs;
    std::vector<std::string> names;
    for (size_t i : group) {
        const std::string& input = report.files[i].inputPath;
        bool listed = false;
        for (const std::string& seen : inputs)
            listed = listed || seen == input;
        if (listed) continue;
        inputs.push_back(input);
        names.push_back(FileName(input));
    }
    return std::string(kWarning) + ListNames(names) + " share the MAT names " +
           MatPattern(report.files[group.front()].outputPath) +
           ": each overwrote the MAT files of the ones before it; rename them so that their "
           "first four characters differ";
}

std::string ResultText(const FileOutcome& file, const FileLines& lines) {
    if (!file.converted()) {
        return lines.failures.empty() ? "not converted" : Join(lines.failures, "; ");
    }
    const size_t warnings = lines.warnings.size();
    if (warnings == 0) return "Converted";
    return "Converted, " + std::to_string(warnings) + (warnings == 1 ? " warning" : " warnings");
}

std::string Tip(const FileOutcome& file, const FileLines& lines, const std::string& matFolder) {
    std::vector<std::string> tip{file.inputPath};
    if (file.model3do.ok()) tip.push_back("3DO file: " + file.outputPath);
    const size_t mats = file.matFiles - std::min(file.matFiles, file.matFailures.size());
    if (mats > 0) {
        const std::string_view base = BaseName(file.outputPath);
        const std::string first = MaterialName(base, 0);
        const std::string last = MaterialName(base, static_cast<int32_t>(file.matFiles - 1));
        tip.push_back(mats == 1 && file.matFiles == 1
                          ? "MAT file: " + matFolder + "/" + first
                          : "MAT files: " + std::to_string(mats) + " in " + matFolder + " (" +
                                first + " to " + last + ")");
    }
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
    std::vector<FileLines> lines;
    for (const FileOutcome& file : report.files)
        lines.push_back(SplitLines(file));

    // Run-wide lines first, then each failed file, then the files that share MAT names.
    std::vector<std::string> problems = RunWideLines(settings, report);
    const bool runWide = !problems.empty();
    std::vector<std::string> collisions;
    if (settings.allowTextures) {
        for (const std::vector<size_t>& group : MatCollisions(report)) {
            std::string warning = CollisionWarning(report, group);
            for (size_t i : group)
                lines[i].warnings.push_back(warning);
            collisions.push_back(std::move(warning));
        }
    }

    RunSummary summary;
    size_t converted = 0;
    for (size_t i = 0; i < report.files.size(); ++i) {
        const FileOutcome& file = report.files[i];
        if (file.converted()) {
            ++converted;
        } else {
            for (const std::string& failure : lines[i].failures)
                problems.push_back(FileName(file.inputPath) + ": " + failure);
        }
        summary.files.push_back({ResultText(file, lines[i]), Tip(file, lines[i], matFolder)});
    }
    problems.insert(problems.end(), collisions.begin(), collisions.end());

    const size_t total = report.files.size();
    if (converted == total && !runWide && collisions.empty()) return summary;
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

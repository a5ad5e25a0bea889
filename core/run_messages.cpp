#include "core/run_messages.h"

#include "textures/colour_map.h"

namespace kesh {

std::vector<std::string> DescribeFile(const FileOutcome& file) {
    std::vector<std::string> lines;
    const std::string prefix = file.inputPath + ": ";
    if (!file.load.ok()) {
        lines.push_back(prefix + Describe(file.load));
        return lines;
    }
    if (file.load.damaged) {
        lines.push_back(prefix +
                        "warning: the file is damaged or truncated; converted what it holds");
    }
    for (const OutputFailure& mat : file.matFailures) {
        lines.push_back(prefix + "MAT file " + mat.path + ": " + Describe(mat.result));
    }
    if (!file.model3do.ok()) {
        if (file.model3do.failure == Failure::NoGeometry) {
            lines.push_back(prefix + Describe(file.model3do));
        } else {
            lines.push_back(prefix + file.outputPath + ": " + Describe(file.model3do));
        }
    }
    for (const std::string& change : file.fitChanges) {
        lines.push_back(prefix + change);
    }
    for (const LimitWarning& warning : file.limitWarnings) {
        lines.push_back(prefix + "warning: " + Describe(warning));
    }
    return lines;
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

}  // namespace kesh

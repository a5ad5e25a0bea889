// What a finished run tells the dialog's user: a result and a tooltip for each file of the
// list, and the one message that sums up a run in which something went wrong. The words of
// each failure and warning are the command line's (DescribeFile, DescribeRun).
#pragma once

#include <string>
#include <vector>

#include "core/run.h"
#include "core/settings.h"

namespace kesh {

// One file of a run, as the list shows it.
struct FileResult {
    // "Converted", "Converted, 2 warnings", or the failure in words; "Converted, fitted" and
    // "Converted, fitted, 2 warnings" when fitting to the engine changed the model.
    std::string result;
    // The input path, the files written, then every fitting change, failure and warning, one
    // per line.
    std::string tip;
};

struct RunSummary {
    std::vector<FileResult> files;  // one per file of the report, in its order
    // Empty when every file converted and nothing concerns the whole run; otherwise
    // "1 of 2 files converted." and one line per failure and run-wide warning.
    std::string message;
};

// `matFolder` is the folder the run's MAT files landed in when the settings name none: the
// current directory while it ran. Warnings about the colour map and about MAT names that an
// earlier file of the run already used call for the message as failures do.
RunSummary SummariseRun(const RunSettings& settings, const RunReport& report,
                        const std::string& matFolder);

}  // namespace kesh

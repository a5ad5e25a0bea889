// The words the front ends show for a run: one line per failure or warning.
#pragma once

#include <string>
#include <vector>

#include "core/run.h"

namespace kesh {

struct RunMessages {
    std::vector<std::string> lines;  // in the order of the files, each without a line end
};

// The lines of one file, each starting with its input path.
std::vector<std::string> DescribeFile(const FileOutcome& file);

// Failures name the input file and the reason ("ship.opt: cannot open input: No such file or
// directory"); warnings say "warning:" after the file name. A file that did not open reports
// only that, not the missing 3DO that follows from it.
RunMessages DescribeRun(const RunSettings& settings, const RunReport& report);

}  // namespace kesh

// The JSON report of a kesh-convert run (--report).
#pragma once

#include <string>
#include <vector>

#include "core/run.h"

namespace kesh {

// The report as JSON text: the warnings about the run itself (`runWarnings`), one object per
// input with its paths, outcome, error, what was read and written and each warning with its
// kind and numbers, and the totals. Ends with a line end.
std::string ReportJson(const RunReport& report, const std::vector<std::string>& runWarnings,
                       double seconds);

}  // namespace kesh

// The command line of kesh-convert: the readings of its option values and of its FILE
// arguments.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/settings.h"

namespace kesh {

// The texture group named by `text`: red, gold, blue, green (any case) or 0..3.
std::optional<int32_t> ParseGroup(const std::string& text);

// A warning when `text`, given to `option`, is not wholly a number (empty, letters, trailing
// junk): "--scale 'abc' is not a number: using 0", naming the value the C library's reading
// gives. Empty when it is one. `integer` chooses atoi's reading over atof's.
std::string NumberWarning(const std::string& option, const std::string& text, bool integer);

// The input files that the FILE arguments stand for, with any warnings about them.
struct InputList {
    std::vector<std::string> files;
    std::vector<std::string> warnings;
};

// Every argument as it is, except that with `recursive` a folder stands for every file below
// it whose name ends in ".opt" in any case, in sorted order (a folder with none gets a
// warning). Without `recursive` a folder stays an argument, which the run reports.
InputList ExpandInputs(const std::vector<std::string>& arguments, bool recursive);

// Creates `folder` and its parents when missing; an error text for `option` when it cannot,
// e.g. "--output-dir out: cannot create the folder: Permission denied". Empty on success.
std::string MakeFolder(const std::string& option, const std::string& folder);

}  // namespace kesh

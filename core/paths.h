// The names the conversion forms from its input paths.
#pragma once

#include <string>
#include <string_view>

namespace kesh {

// The text after the last path separator of `path` ('/' or '\\'), or all of it.
std::string_view BaseName(std::string_view path);

// The 3DO path for an input path. Only the file name (the text after the last separator)
// is looked at: the input up to and including the file name's last '.', then "3do"; a file
// name without a '.' gets ".3do" appended (ships.v2/noext gives ships.v2/noext.3do).
std::string OutputPathFor(const std::string& inputPath);

// As OutputPathFor, but in `outputDir` when that is not empty: the folder, a '/' when it
// does not end in a separator, and the file name of OutputPathFor(inputPath).
std::string OutputPathFor(const std::string& inputPath, const std::string& outputDir);

}  // namespace kesh

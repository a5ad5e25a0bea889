// The names the conversion forms from its input paths.
#pragma once

#include <string>
#include <string_view>

namespace kesh {

// The text after the last path separator of `path` ('/' or '\\'), or all of it.
std::string_view BaseName(std::string_view path);

// The 3DO path for an input path: the input up to and including its last '.', then "3do";
// a path without any '.' gives "3do". The last '.' of the whole path counts, also when it
// stands in a folder name.
std::string OutputPathFor(const std::string& inputPath);

}  // namespace kesh

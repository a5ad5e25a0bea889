// Finding the OPT files in a folder, for a command line's folder argument and a desktop drop.
#pragma once

#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace kesh {

// True when the file name of `path` ends in ".opt", in any case, after at least one other
// character.
bool HasOptSuffix(std::string_view path);

// Every regular file with the OPT suffix below `folder`, at any depth, sorted by path.
// Folders that cannot be entered are skipped, and links to folders are not followed, so a
// folder that links to itself ends. `error` is set when the folder could not be read; the
// files found up to then are returned.
std::vector<std::string> OptFilesBelow(const std::string& folder, std::error_code& error);

}  // namespace kesh

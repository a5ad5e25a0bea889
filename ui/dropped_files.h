// The OPT files among the paths a desktop hands over in a drop.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kesh {

// True for a folder, or a path with the OPT suffix: what a drop may add files from.
bool MayHoldOptFiles(const std::string& path);

// The OPT files the paths stand for, in the order of the paths: a file with the OPT suffix
// stands for itself, a folder for every such file below it, sorted by path. Anything else
// adds nothing. Links to folders are not followed, so a folder that links to itself ends.
std::vector<std::string> OptFilesIn(const std::vector<std::string>& paths);

}  // namespace kesh

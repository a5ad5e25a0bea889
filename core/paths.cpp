#include "core/paths.h"

namespace kesh {

std::string_view BaseName(std::string_view path) {
    const size_t separator = path.find_last_of("/\\");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string OutputPathFor(const std::string& inputPath) {
    const size_t nameStart = inputPath.size() - BaseName(inputPath).size();
    const size_t dot = inputPath.rfind('.');
    if (dot == std::string::npos || dot < nameStart) return inputPath + ".3do";
    return inputPath.substr(0, dot + 1) + "3do";
}

std::string OutputPathFor(const std::string& inputPath, const std::string& outputDir) {
    const std::string beside = OutputPathFor(inputPath);
    if (outputDir.empty()) return beside;
    std::string path = outputDir;
    if (path.back() != '/' && path.back() != '\\') path += '/';
    return path.append(BaseName(beside));
}

}  // namespace kesh

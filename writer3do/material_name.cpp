#include "writer3do/material_name.h"

#include <cstdio>

namespace kesh {

std::string MaterialPrefix(std::string_view baseName) {
    // "%.4s" takes at most four characters and stops early at a zero byte.
    std::string prefix;
    while (prefix.size() < 4 && prefix.size() < baseName.size() &&
           baseName[prefix.size()] != '\0') {
        const char c = baseName[prefix.size()];
        prefix += (c == ' ' || c == '\t' || c == '#') ? '_' : c;
    }
    return prefix;
}

std::string MaterialName(std::string_view baseName, int32_t index) {
    const std::string prefix = MaterialPrefix(baseName);
    // Longest result: four characters, '_', "-2147483648", ".mat" and the terminator.
    char name[32];
    int written =
        std::snprintf(name, sizeof name, "%s_%.5d.mat", prefix.c_str(), static_cast<int>(index));
    if (written < 0) return {};
    return std::string(name, static_cast<size_t>(written));
}

}  // namespace kesh

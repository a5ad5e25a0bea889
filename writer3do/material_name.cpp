#include "writer3do/material_name.h"

#include <cstdio>

namespace kesh {

std::string MaterialName(std::string_view baseName, int32_t index) {
    // "%.4s" takes at most four characters and stops early at a zero byte.
    char prefix[5] = {};
    size_t length = 0;
    while (length < 4 && length < baseName.size() && baseName[length] != '\0') {
        char c = baseName[length];
        prefix[length] = (c == ' ' || c == '\t' || c == '#') ? '_' : c;
        ++length;
    }
    // Longest result: four characters, '_', "-2147483648", ".mat" and the terminator.
    char name[32];
    int written = std::snprintf(name, sizeof name, "%s_%.5d.mat", prefix, static_cast<int>(index));
    if (written < 0) return {};
    return std::string(name, static_cast<size_t>(written));
}

}  // namespace kesh

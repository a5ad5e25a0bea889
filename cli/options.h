// The command line of kesh-convert.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/settings.h"

namespace kesh {

struct CliOptions {
    RunSettings settings;
    std::vector<std::string> files;
};

// The texture group named by `text`: red, gold, blue, green (any case) or 0..3.
std::optional<int32_t> ParseGroup(const std::string& text);

}  // namespace kesh

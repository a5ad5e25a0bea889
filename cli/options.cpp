#include "cli/options.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace kesh {

std::optional<int32_t> ParseGroup(const std::string& text) {
    static constexpr std::array<const char*, 4> kNames = {"red", "gold", "blue", "green"};
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (size_t i = 0; i < kNames.size(); ++i) {
        if (lower == kNames[i] || lower == std::to_string(i)) return static_cast<int32_t>(i);
    }
    return std::nullopt;
}

}  // namespace kesh

#include "cli/options.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "frontend/opt_files.h"

namespace kesh {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

std::optional<int32_t> ParseGroup(const std::string& text) {
    static constexpr std::array<const char*, 4> kNames = {"red", "gold", "blue", "green"};
    const std::string lower = Lower(text);
    for (size_t i = 0; i < kNames.size(); ++i) {
        if (lower == kNames[i] || lower == std::to_string(i)) return static_cast<int32_t>(i);
    }
    return std::nullopt;
}

std::string NumberWarning(const std::string& option, const std::string& text, bool integer) {
    // The C locale is set by main before any option is read.
    char* end = nullptr;
    std::string used;
    if (integer) {
        std::strtol(text.c_str(), &end, 10);
        used = std::to_string(TextToInt(text));
    } else {
        std::strtod(text.c_str(), &end);
        char value[64];
        std::snprintf(value, sizeof value, "%g", static_cast<double>(ScaleFromText(text)));
        used = value;
    }
    if (end != text.c_str() && *end == '\0') return {};
    return option + " '" + text + "' is not a number: using " + used;
}

InputList ExpandInputs(const std::vector<std::string>& arguments, bool recursive) {
    namespace fs = std::filesystem;
    InputList list;
    for (const std::string& argument : arguments) {
        std::error_code error;
        if (!recursive || !fs::is_directory(argument, error)) {
            list.files.push_back(argument);
            continue;
        }
        const std::vector<std::string> found = OptFilesBelow(argument, error);
        if (error) {
            list.warnings.push_back(argument + ": cannot read the folder: " + error.message());
        }
        if (found.empty() && !error) {
            list.warnings.push_back(argument + ": no .opt file in the folder");
        }
        list.files.insert(list.files.end(), found.begin(), found.end());
    }
    return list;
}

std::string MakeFolder(const std::string& option, const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!error && std::filesystem::is_directory(folder, error)) return {};
    const std::string reason = error ? error.message() : std::strerror(ENOTDIR);
    return option + " " + folder + ": cannot create the folder: " + reason;
}

}  // namespace kesh

#include "ui/dropped_files.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace kesh {

bool HasOptSuffix(std::string_view path) {
    constexpr std::string_view kSuffix = ".opt";
    if (path.size() < kSuffix.size()) return false;
    const std::string_view end = path.substr(path.size() - kSuffix.size());
    return std::equal(end.begin(), end.end(), kSuffix.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
}

bool MayHoldOptFiles(const std::string& path) {
    std::error_code error;
    return HasOptSuffix(path) || std::filesystem::is_directory(path, error);
}

std::vector<std::string> OptFilesIn(const std::vector<std::string>& paths) {
    namespace fs = std::filesystem;
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        std::error_code error;
        if (!fs::is_directory(path, error)) {
            if (HasOptSuffix(path)) files.push_back(path);
            continue;
        }
        std::vector<std::string> found;
        fs::recursive_directory_iterator entry(path, fs::directory_options::skip_permission_denied,
                                               error);
        for (; !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
            std::error_code typeError;
            if (HasOptSuffix(entry->path().filename().string()) &&
                entry->is_regular_file(typeError)) {
                found.push_back(entry->path().string());
            }
        }
        std::sort(found.begin(), found.end());
        files.insert(files.end(), found.begin(), found.end());
    }
    return files;
}

}  // namespace kesh

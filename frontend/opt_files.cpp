#include "frontend/opt_files.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace kesh {

bool HasOptSuffix(std::string_view path) {
    constexpr std::string_view kSuffix = ".opt";
    const size_t name = path.find_last_of("/\\") + 1;  // 0 when there is no separator
    if (path.size() - name <= kSuffix.size()) return false;
    const std::string_view end = path.substr(path.size() - kSuffix.size());
    return std::equal(end.begin(), end.end(), kSuffix.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
}

std::vector<std::string> OptFilesBelow(const std::string& folder, std::error_code& error) {
    namespace fs = std::filesystem;
    std::vector<std::string> found;
    fs::recursive_directory_iterator entry(folder, fs::directory_options::skip_permission_denied,
                                           error);
    for (; !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
        std::error_code typeError;
        if (HasOptSuffix(entry->path().string()) && entry->is_regular_file(typeError)) {
            found.push_back(entry->path().string());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace kesh

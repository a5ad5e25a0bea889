#include "ui/dropped_files.h"

#include <filesystem>
#include <system_error>

#include "frontend/opt_files.h"

namespace kesh {

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
        const std::vector<std::string> found = OptFilesBelow(path, error);
        files.insert(files.end(), found.begin(), found.end());
    }
    return files;
}

}  // namespace kesh

// A main for a fuzz harness built without libFuzzer: runs the harness once on every file
// named on the command line, and on every file of every directory named there (in name
// order, skipping names that start with '.'), so that the seed corpus and every input that
// once found a fault run as ordinary tests. A directory that does not exist counts as empty.
//
// Usage: <harness>_replay PATH...
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

bool RunOne(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    // A copy of exactly the input's size, so that a sanitizer sees a read one past the end.
    std::vector<uint8_t> input(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(input.data(), input.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const fs::path path = argv[i];
        std::error_code error;
        if (fs::is_directory(path, error)) {
            std::vector<fs::path> entries;
            for (const fs::directory_entry& entry : fs::directory_iterator(path)) {
                if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
                    entries.push_back(entry.path());
            }
            std::sort(entries.begin(), entries.end());
            files.insert(files.end(), entries.begin(), entries.end());
        } else if (fs::exists(path, error)) {
            files.push_back(path);
        }
    }
    size_t ran = 0;
    for (const fs::path& file : files) {
        if (!RunOne(file)) return 1;
        ++ran;
    }
    std::printf("%zu inputs ran\n", ran);
    return 0;
}

// Loading an OPT file from disk: the whole file is read into memory with one plain read and
// handed to the in-memory reader. A copy, unlike a mapping, cannot be cut short under the
// reader by a program that truncates the file.
#include <vector>

#include "core/model.h"
#include "core/read_file.h"

namespace kesh {

StageResult OptModel::LoadOpt(const char* path) {
    std::vector<uint8_t> bytes;
    if (StageResult read = ReadFile(path, bytes); !read) return read;
    return LoadOptBytes(bytes);
}

}  // namespace kesh

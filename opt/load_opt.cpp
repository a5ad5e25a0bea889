// Loading an OPT file from disk: the whole file is read into memory with one plain read and
// handed to the in-memory reader. A copy, unlike a mapping, cannot be cut short under the
// reader by a program that truncates the file.
#include "core/model.h"
#include "core/read_file.h"

namespace kesh {

StageResult OptModel::LoadOpt(const char* path) {
    FileBytes file;
    if (StageResult read = ReadFile(path, file); !read) return read;
    return LoadOptBytes(file.span());
}

}  // namespace kesh

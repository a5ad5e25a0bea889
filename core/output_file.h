// An output file that appears whole or not at all.
//
// The bytes go to a new file beside the target, under a short hidden name; Commit() closes it
// and renames it over the target. Until then the target is untouched, so a failed write
// never leaves a partial file and never destroys an earlier good one. Destroying an
// uncommitted file removes the temporary.
#pragma once

#include <cstddef>
#include <string>

#include "core/result.h"

namespace kesh {

class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Prepares to replace `path`. Fails with CannotCreate when the target is a directory, an
    // existing target is not writable (a read-only file is never replaced), or the temporary
    // cannot be created in the target's folder. A replaced file's permissions are kept.
    StageResult Open(const std::string& path);

    // Appends bytes. After the first failure every later call fails the same way.
    StageResult Write(const void* data, size_t size);

    // Closes the temporary and renames it onto the target. After a failure the target is
    // unchanged and the temporary is gone.
    StageResult Commit();

    // Drops the temporary without touching the target.
    void Discard();

  private:
    std::string target_;
    std::string temp_;
    int fd_ = -1;
    StageResult error_;
};

// The name of a temporary for `target` whose last six characters are `unique`: in the
// target's folder, hidden ('.' first), starting like the target's own name, and no longer
// than it whenever that name has seven characters or more, so that a name that fits the file
// system always leaves room for its temporary. `unique` must hold six characters.
std::string TemporaryNameFor(const std::string& target, const std::string& unique);

}  // namespace kesh

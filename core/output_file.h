// An output file that appears whole or not at all.
//
// The bytes go to a new file beside the target; Commit() closes it and renames it over the
// target. Until then the target is untouched, so a failed write never leaves a partial file
// and never destroys an earlier good one. Destroying an uncommitted file removes the
// temporary.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

#include "core/result.h"

namespace kesh {

class FileReleaser;

class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Prepares to replace `path`. Fails with CannotCreate when the target is a directory, an
    // existing target is not writable (a read-only file is never replaced), or the temporary
    // cannot be created in the target's folder.
    StageResult Open(const std::string& path);

    // Appends bytes. After the first failure every later call fails the same way.
    StageResult Write(const void* data, size_t size);

    // Closes the temporary and renames it onto the target. After a failure the target is
    // unchanged and the temporary is gone.
    StageResult Commit();
    // The same; a file that the rename replaces is held open across it and handed to
    // `releaser`, so that freeing the old file happens on the releaser's thread.
    StageResult Commit(FileReleaser* releaser);

    // Drops the temporary without touching the target.
    void Discard();

  private:
    std::string target_;
    std::string temp_;
    int fd_ = -1;
    off_t written_ = 0;       // bytes written to the temporary
    off_t writtenOut_ = 0;    // of those, bytes whose writing to disk has been started
    bool replacing_ = false;  // the target existed when the file was opened
    StageResult error_;
};

}  // namespace kesh

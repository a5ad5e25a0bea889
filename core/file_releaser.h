// Lets go of replaced files on a thread of its own.
//
// When a rename replaces a file, the file system frees the old file's pages and blocks as
// its last handle goes. That is work in proportion to the old file's size, and on a file
// system that discards freed blocks it also waits for the disk. An output file that holds
// the old file open across its rename hands that handle here, so that the freeing happens
// beside the rest of the conversion instead of in its path.
#pragma once

#include <condition_variable>
#include <mutex>
#include <vector>

#include "core/helper_threads.h"

namespace kesh {

class FileReleaser {
  public:
    FileReleaser() = default;
    // Waits until every handle given to Release has been closed.
    ~FileReleaser();
    FileReleaser(const FileReleaser&) = delete;
    FileReleaser& operator=(const FileReleaser&) = delete;

    // Takes over the open file descriptor `fd` and closes it soon, on the releaser's thread
    // (at once, on the caller's, when that thread cannot be started).
    void Release(int fd);

  private:
    void CloseQueued();

    std::mutex mutex_;
    std::condition_variable queued_;
    std::vector<int> handles_;
    bool stopping_ = false;
    HelperThread thread_;  // started with the first handle; declared last, so joined first
};

}  // namespace kesh

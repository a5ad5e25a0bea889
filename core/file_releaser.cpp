#include "core/file_releaser.h"

#include <unistd.h>

#include <system_error>

namespace kesh {

FileReleaser::~FileReleaser() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    queued_.notify_one();
    thread_.Join();
}

void FileReleaser::Release(int fd) {
    if (fd < 0) return;
    {
        const std::lock_guard lock(mutex_);
        if (!thread_.Joinable()) {
            // Started under the lock: writers on several threads may hand over files at once.
            try {
                thread_ = HelperThread([this] { CloseQueued(); });
            } catch (const std::system_error&) {
                close(fd);
                return;
            }
        }
        handles_.push_back(fd);
    }
    queued_.notify_one();
}

void FileReleaser::CloseQueued() {
    std::unique_lock lock(mutex_);
    for (;;) {
        queued_.wait(lock, [this] { return stopping_ || !handles_.empty(); });
        if (handles_.empty()) return;  // stopping, and nothing is left to close
        std::vector<int> batch;
        batch.swap(handles_);
        lock.unlock();
        for (int fd : batch)
            close(fd);
        lock.lock();
    }
}

}  // namespace kesh

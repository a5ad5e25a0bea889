// Reading an input file whole into memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>

#include "core/result.h"

namespace kesh {

// The bytes of a file read into memory. The buffer is not cleared before the read fills it:
// the inputs are megabytes, and clearing them would cost as much as reading them.
struct FileBytes {
    std::unique_ptr<uint8_t[]> data;
    size_t size = 0;

    std::span<const uint8_t> span() const { return {data.get(), size}; }
};

// Reads the regular file at `path` into `file`: all of it, or its first `limit` bytes.
// Fails with CannotOpen (and the errno) when the file does not open or a read fails; a
// folder fails with EISDIR, and anything else that is not a regular file (a FIFO, a device)
// with EINVAL, without waiting for it. `file` is left empty on failure.
StageResult ReadFile(const char* path, FileBytes& file,
                     size_t limit = std::numeric_limits<size_t>::max());

}  // namespace kesh

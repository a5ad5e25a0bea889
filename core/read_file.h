// Reading an input file whole into memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "core/result.h"

namespace kesh {

// Reads the regular file at `path` into `bytes`: all of it, or its first `limit` bytes.
// Fails with CannotOpen (and the errno) when the file does not open or a read fails; a
// folder fails with EISDIR, and anything else that is not a regular file (a FIFO, a device)
// with EINVAL, without waiting for it. `bytes` is left empty on failure.
StageResult ReadFile(const char* path, std::vector<uint8_t>& bytes,
                     size_t limit = std::numeric_limits<size_t>::max());

}  // namespace kesh

// Telling a file that is not an OPT model from a damaged one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/model.h"
#include "core/result.h"

namespace kesh {

// Bytes of the file header up to and including the node table's offset.
inline constexpr size_t kOptHeaderBytes = 22;

// Why `bytes`, once loaded into `model` by LoadOptBytes, are not an OPT model; None when they
// are one, damaged or not. Every reason means that the reader found no vertex, face, texture
// coordinate or texture, so a file that yields geometry is always taken as an OPT.
NotOptReason WhyNotOpt(std::span<const uint8_t> bytes, const OptModel& model);

}  // namespace kesh

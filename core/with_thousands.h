// Counts as the messages show them.
#pragma once

#include <cstdint>
#include <string>

namespace kesh {

// `value` in decimal with a ',' between groups of three digits ("4,210", "-61,204").
std::string WithThousands(int64_t value);

}  // namespace kesh

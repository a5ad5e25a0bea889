// How kesh-convert sets up its heap before converting large models.
#pragma once

#include <string>
#include <vector>

namespace kesh {

// Prepares the process heap for the models of `inputs` (OPT files; unreadable ones count as
// empty). For a large model, the arrays it is read and built into come from one reserved
// stretch of the heap that the kernel may back with 2 MiB pages: the model's memory then
// costs a few dozen page faults instead of thousands. The memory a model releases stays with
// the process for the next file of a batch. Small models, and heaps that are not the C
// library's own (under a sanitizer), are left as they are. Call it before any thread starts.
void PrepareHeapForInputs(const std::vector<std::string>& inputs);

}  // namespace kesh

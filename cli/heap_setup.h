// How kesh-convert sets up its heap for the models it converts.
#pragma once

#include <string>
#include <vector>

namespace kesh {

// Prepares the process heap for converting the OPT files `inputs` (unreadable ones count as
// empty). Call it before any thread starts.
//
// For every batch: arrays of up to 32 MiB come from the heap rather than from mappings of
// their own, and released memory stays with the process, so the next model of a batch is
// read and built without faulting its pages in afresh.
//
// For a large model, in addition: the heap grows once, by about twice the largest input, and
// that stretch is offered to the kernel for 2 MiB pages, with every thread allocating from
// it. The model's arrays then cost a few dozen page faults instead of thousands.
//
// Heaps that are not the C library's own (under a sanitizer) are left as they are.
void PrepareHeapForInputs(const std::vector<std::string>& inputs);

}  // namespace kesh

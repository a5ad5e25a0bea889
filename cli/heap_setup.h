// How kesh-convert sets up its heap for a batch of models.
#pragma once

namespace kesh {

// Lets the memory that one model of a batch releases serve the next: arrays of up to 32 MiB
// come from the heap rather than from mappings of their own, and released memory stays with
// the process instead of going back to the kernel, so the next model is read and built
// without faulting its pages in afresh. Leaves heaps that are not the C library's own (under
// a sanitizer) as they are.
void KeepReleasedMemoryForTheBatch();

}  // namespace kesh

// Renders numbered pieces of text on several threads and hands them on strictly in order.
#pragma once

#include <cstddef>
#include <functional>

#include "core/result.h"
#include "writer3do/text_sink.h"

namespace kesh {

// Renders pieces 0 .. count-1, each with `render(index, sink)` into an empty in-memory sink,
// on the calling thread and up to `helpers` more, and calls `consume(index, sink)` on the
// calling thread for every piece in index order. At most a small window of pieces is held
// in memory at a time. Stops at the first consume that fails and returns its result.
// `render` must be safe to call for different pieces at the same time.
StageResult RenderInOrder(size_t count, unsigned helpers,
                          const std::function<void(size_t, TextSink&)>& render,
                          const std::function<StageResult(size_t, TextSink&)>& consume);

}  // namespace kesh

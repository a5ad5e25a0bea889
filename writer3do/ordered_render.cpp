#include "writer3do/ordered_render.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "core/helper_threads.h"

namespace kesh {

namespace {

// Pieces in memory per rendering thread: enough that no thread waits for a slot while the
// piece before it is being written.
constexpr size_t kSlotsPerThread = 4;

class OrderedRenderer {
  public:
    OrderedRenderer(size_t count, size_t slots,
                    const std::function<void(size_t, TextSink&)>& render)
        : count_(count), render_(render), slots_(slots) {}

    // Claims and renders pieces until none is left or the run stops.
    void Help() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return stop_ || nextClaim_ >= count_ || CanClaim(); });
            if (stop_ || nextClaim_ >= count_) return;
            RenderNext(lock);
        }
    }

    // Hands every piece to `consume` in order, rendering pieces itself while it would
    // otherwise wait.
    StageResult Consume(const std::function<StageResult(size_t, TextSink&)>& consume) {
        StageResult result;
        std::unique_lock lock(mutex_);
        while (nextConsume_ < count_) {
            Slot& slot = slots_[nextConsume_ % slots_.size()];
            if (slot.done) {
                lock.unlock();
                result = consume(nextConsume_, slot.sink);
                lock.lock();
                slot.done = false;
                ++nextConsume_;
                changed_.notify_all();
                if (!result) break;
            } else if (CanClaim()) {
                RenderNext(lock);
            } else {
                changed_.wait(lock);
            }
        }
        stop_ = true;
        changed_.notify_all();
        return result;
    }

  private:
    struct Slot {
        TextSink sink;
        bool done = false;
    };

    // A piece may be claimed while its slot has been consumed: the claimed pieces always
    // lie within one window of slots after the next piece to consume.
    bool CanClaim() const {
        return nextClaim_ < count_ && nextClaim_ < nextConsume_ + slots_.size();
    }

    // Renders the next unclaimed piece with the lock released.
    void RenderNext(std::unique_lock<std::mutex>& lock) {
        const size_t index = nextClaim_++;
        Slot& slot = slots_[index % slots_.size()];
        lock.unlock();
        slot.sink.Clear();
        render_(index, slot.sink);
        lock.lock();
        slot.done = true;
        changed_.notify_all();
    }

    const size_t count_;
    const std::function<void(size_t, TextSink&)>& render_;
    std::vector<Slot> slots_;
    std::mutex mutex_;
    std::condition_variable changed_;
    size_t nextClaim_ = 0;
    size_t nextConsume_ = 0;
    bool stop_ = false;
};

}  // namespace

StageResult RenderInOrder(size_t count, unsigned helpers,
                          const std::function<void(size_t, TextSink&)>& render,
                          const std::function<StageResult(size_t, TextSink&)>& consume) {
    // Without helpers the calling thread renders every piece itself. Consume tells the
    // helpers to stop when it is done; they are joined as `threads` goes, before `renderer`.
    OrderedRenderer renderer(count, kSlotsPerThread * (helpers + 1), render);
    const std::vector<HelperThread> threads =
        StartHelpers(helpers, [&renderer](unsigned) { renderer.Help(); });
    return renderer.Consume(consume);
}

}  // namespace kesh

// A bounds-checked little-endian cursor over the bytes of a whole file, standing in for the
// buffered input stream that the OPT format was designed to be read from.
//
// Like a stream it has an absolute position and a sticky failed state: reading past the end
// (or seeking to a negative position) fails it, and from then on no seek or read takes effect
// and every value a read does not supply is zero. It also carries a read budget, the number
// of bytes it may still hand out in total; a read that would exceed it fails the cursor too,
// so a file that makes the reader visit the same bytes again and again cannot make it work
// far beyond its size.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace kesh {

// The little-endian 32-bit integer and float at `p`.
inline int32_t LittleInt32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 |
                                static_cast<uint32_t>(p[3]) << 24);
}

inline float LittleFloat(const uint8_t* p) {
    const uint32_t bits = static_cast<uint32_t>(LittleInt32(p));
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

class ByteCursor {
  public:
    ByteCursor(std::span<const uint8_t> bytes, uint64_t budget)
        : data_(bytes.data()), size_(bytes.size()), budget_(budget) {}

    bool failed() const { return failed_; }
    // True once a read was refused because the budget ran out (the cursor is then failed).
    bool budgetExhausted() const { return budgetExhausted_; }
    uint64_t budgetLeft() const { return budget_; }
    size_t size() const { return size_; }

    // The bytes from the position to the end of the file; 0 when failed or beyond the end.
    size_t Remaining() const { return failed_ || position_ >= size_ ? 0 : size_ - position_; }

    // Fails the cursor on purpose: nothing more is read.
    void Stop() { failed_ = true; }

    // Moves to an absolute position. Beyond the end is allowed (the next read fails there);
    // a negative position fails the cursor.
    void Seek(int64_t position) {
        if (failed_) return;
        if (position < 0) {
            failed_ = true;
            return;
        }
        position_ = static_cast<uint64_t>(position);
    }

    int32_t ReadInt32() {
        uint8_t raw[4] = {};
        ReadBytes(raw, 4);
        return LittleInt32(raw);
    }

    float ReadFloat() {
        uint8_t raw[4] = {};
        ReadBytes(raw, 4);
        return LittleFloat(raw);
    }

    // Reads `count` bytes into `out`. When fewer remain, copies those that do, zeroes the
    // rest and fails, as a stream does; when failed already, zeroes all of `out`.
    bool ReadBytes(void* out, size_t count) {
        if (!failed_ && position_ <= size_ && size_ - position_ >= count && budget_ >= count) {
            if (count != 0) std::memcpy(out, data_ + position_, count);
            position_ += count;
            budget_ -= count;
            return true;
        }
        size_t copied = 0;
        if (!failed_ && budget_ >= count) {
            copied = Remaining();
            if (copied != 0) std::memcpy(out, data_ + position_, copied);
            position_ += copied;
            budget_ -= copied;
        } else if (!failed_) {
            budgetExhausted_ = true;
        }
        if (count > copied) std::memset(static_cast<uint8_t*>(out) + copied, 0, count - copied);
        failed_ = true;
        return false;
    }

    // Passes over up to `count` entries of kEntryBytes bytes each, exactly as `count` calls of
    // ReadBytes(entry, kEntryBytes) that stop at the first failure would: the whole entries
    // are taken, and when the file or the budget ends first, the read of the next entry fails
    // the cursor the same way. Returns where the whole entries start (null when there are
    // none) and sets `taken` to their number; their bytes stay where they are.
    template <size_t kEntryBytes>
    const uint8_t* TakeEntries(size_t count, size_t& taken) {
        static_assert(kEntryBytes > 0 && kEntryBytes <= 64);
        taken = 0;
        if (failed_ || count == 0) return nullptr;
        const size_t inFile = position_ <= size_ ? (size_ - position_) / kEntryBytes : 0;
        const uint64_t inBudget = budget_ / kEntryBytes;
        taken = static_cast<size_t>(std::min<uint64_t>({count, inFile, inBudget}));
        const uint8_t* first = taken > 0 ? data_ + position_ : nullptr;
        position_ += taken * kEntryBytes;
        budget_ -= taken * kEntryBytes;
        if (taken < count) {
            uint8_t entry[kEntryBytes];
            ReadBytes(entry, kEntryBytes);  // fails, as the next read of the loop would
        }
        return first;
    }

    // Takes at most `count` bytes, as many as the file holds from the position, without
    // failing when the file ends first; returns them (empty when there are none). A read
    // beyond the budget still fails the cursor.
    std::span<const uint8_t> ReadAvailable(size_t count) {
        const size_t take = std::min(count, Remaining());
        if (take == 0) return {};
        if (budget_ < take) {
            budgetExhausted_ = true;
            failed_ = true;
            return {};
        }
        const std::span<const uint8_t> bytes(data_ + position_, take);
        position_ += take;
        budget_ -= take;
        return bytes;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    uint64_t position_ = 0;
    uint64_t budget_;
    bool failed_ = false;
    bool budgetExhausted_ = false;
};

}  // namespace kesh

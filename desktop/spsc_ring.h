#pragma once
// A lock-free ring of fixed records between one producer thread and one
// consumer thread: the audio callback hands its samples to the capture
// thread this way, and the frame loop its pictures. Neither side ever
// waits, locks or allocates: a producer that finds the ring full drops the
// record (and says so by its return value), a consumer that finds it empty
// gets nothing. The records live in the ring; a side works on a slot in
// place (acquire, fill or read, then release), so a large record (a
// picture) is copied once.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace vonkel {

template <class Record, size_t Capacity>
class SpscRing {
    static_assert((Capacity & (Capacity - 1)) == 0, "a power of two");

public:
    // Producer: a free slot to fill, or null when the ring is full.
    Record* beginPush() {
        const uint64_t head = head_.load(std::memory_order_relaxed);
        if (head - tail_.load(std::memory_order_acquire) >= Capacity) return nullptr;
        return &slots_[head % Capacity];
    }
    // Producer: the slot from beginPush is filled; the consumer may take it.
    void endPush() { head_.store(head_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }

    // Consumer: the oldest record, or null when the ring is empty.
    const Record* beginPop() {
        const uint64_t tail = tail_.load(std::memory_order_relaxed);
        if (tail == head_.load(std::memory_order_acquire)) return nullptr;
        return &slots_[tail % Capacity];
    }
    // Consumer: the record from beginPop is done with; its slot is free.
    void endPop() { tail_.store(tail_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }

private:
    // Left as allocated, not zero-filled: the capture thread's picture rings
    // hold 12 MB, and a game that never records a clip should not make them
    // resident at its start.
    std::array<Record, Capacity> slots_;
    alignas(64) std::atomic<uint64_t> head_{0};  // records pushed, ever
    alignas(64) std::atomic<uint64_t> tail_{0};  // records popped, ever
};

}  // namespace vonkel

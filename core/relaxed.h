#pragma once
// A field shared between the main thread and the audio thread.
//
// Each value is read and written whole with a relaxed atomic access: there is
// no ordering between fields (the two threads accept any mix of old and new
// values), but there is never a data race in the C++ sense. On x86-64 a
// relaxed load or store of a 32-bit value is a plain move, so the wrapper
// costs nothing; hot loops still copy fields into locals once per chunk.
#include <atomic>

namespace vonkel {

template <class T>
class Relaxed {
public:
    constexpr Relaxed(T value = T{}) noexcept : value_(value) {}
    // Copying copies the value (each side read or written whole).
    Relaxed(const Relaxed& other) noexcept : value_(other.load()) {}
    Relaxed& operator=(const Relaxed& other) noexcept { return *this = other.load(); }

    operator T() const noexcept { return value_.load(std::memory_order_relaxed); }
    T load() const noexcept { return value_.load(std::memory_order_relaxed); }
    Relaxed& operator=(T value) noexcept {
        value_.store(value, std::memory_order_relaxed);
        return *this;
    }
    T exchange(T value) noexcept { return value_.exchange(value, std::memory_order_relaxed); }

private:
    static_assert(std::atomic<T>::is_always_lock_free, "a shared field must never take a lock");
    std::atomic<T> value_;
};

}  // namespace vonkel

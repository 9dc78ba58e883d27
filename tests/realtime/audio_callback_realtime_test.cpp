// The real audio callback, with the level, the mute and the underflow count,
// run on a thread that watches itself: this program replaces malloc, free,
// operator new and delete and pthread_mutex_lock, and each counts a call made
// on a thread while that thread is inside the callback. None may be made
// there: the audio library's thread must never wait on the allocator or on a
// lock. (Built without sanitizers, which bring their own allocator.)
#include <dlfcn.h>
#include <pthread.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>
#include <vector>

#include "core/world.h"
#include "game/game.h"
#include "game/new_game.h"
#include "desktop/sound/sound_callback.h"

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* pointer);
}

namespace {

// Whether this thread is inside the callback; initial-exec storage, which
// reading needs no allocation.
thread_local bool insideCallback = false;
std::atomic<int> allocations{0};
std::atomic<int> locks{0};

// The C library's own lock, found once before any test runs.
using MutexLock = int (*)(pthread_mutex_t*);
const MutexLock libraryMutexLock = reinterpret_cast<MutexLock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));

void countAllocation() {
    if (insideCallback) allocations.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

extern "C" {
void* malloc(size_t size) {
    countAllocation();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    countAllocation();
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, size_t size) {
    countAllocation();
    return __libc_realloc(pointer, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
    countAllocation();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
    countAllocation();
    *out = __libc_memalign(alignment, size);
    return *out == nullptr ? ENOMEM : 0;
}
void free(void* pointer) {
    countAllocation();
    __libc_free(pointer);
}
int pthread_mutex_lock(pthread_mutex_t* mutex) {
    if (insideCallback) locks.fetch_add(1, std::memory_order_relaxed);
    return libraryMutexLock(mutex);
}
}

void* operator new(size_t size) {
    if (void* p = malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return malloc(size == 0 ? 1 : size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return malloc(size == 0 ? 1 : size); }
void* operator new(size_t size, std::align_val_t alignment) {
    if (void* p = aligned_alloc(static_cast<size_t>(alignment), size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size, std::align_val_t alignment) { return operator new(size, alignment); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }
void operator delete(void* p, std::align_val_t) noexcept { free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { free(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { free(p); }
void operator delete[](void* p, size_t, std::align_val_t) noexcept { free(p); }

namespace vonkel {
namespace {

alignas(World) unsigned char worldStorage[sizeof(World)];

constexpr unsigned long kFrames = kBlockFrames;

// Runs `blocks` callbacks on a thread of their own, the way the audio
// library does, each inside the watched region; hands each block's samples
// and its World to `check` outside it.
template <class Check>
void runCallbacks(CallbackShared& shared, int blocks, PaStreamCallbackFlags flags, Check&& check) {
    std::thread audio([&] {
        float out[kFrames];
        for (int b = 0; b < blocks; ++b) {
            const int32_t ringStart = shared.world->scopeWriteIndex;
            insideCallback = true;
            const int result = audioCallback(nullptr, out, kFrames, nullptr, flags, &shared);
            insideCallback = false;
            ASSERT_EQ(result, paContinue);
            check(out, ringStart);
        }
    });
    audio.join();
}

class AudioCallback : public ::testing::Test {
protected:
    void SetUp() override {
        world = new (worldStorage) World;
        startGame(*world, 7);
        shared = std::make_unique<CallbackShared>();
        shared->world = world;
        allocations = 0;
        locks = 0;
    }
    void TearDown() override { world->~World(); }
    World* world = nullptr;
    std::unique_ptr<CallbackShared> shared;
};

TEST_F(AudioCallback, TheWatchSeesAnAllocationAndALockInside) {
    // The watch itself: what it must catch, it catches.
    std::thread probe([] {
        pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
        insideCallback = true;
        std::vector<float> scratch(16);
        pthread_mutex_lock(&mutex);
        insideCallback = false;
        pthread_mutex_unlock(&mutex);
    });
    probe.join();
    EXPECT_GE(allocations.load(), 1);
    EXPECT_EQ(locks.load(), 1);
}

TEST_F(AudioCallback, NeverAllocatesOrLocksWhateverTheLevelMuteAndFlags) {
    const int levels[] = {100, 70, 0, 100};
    for (int level : levels) {
        setVolume(*shared, level);
        runCallbacks(*shared, 200, 0, [](const float*, int32_t) {});
        shared->muted = !shared->muted;
        runCallbacks(*shared, 50, paOutputUnderflow, [](const float*, int32_t) {});
    }
    // A new game on the main thread while the audio thread renders, and a
    // clip recording: each block is copied into the capture ring, and once
    // the ring is full (nobody takes from it here) dropped.
    std::thread restarts([this] {
        for (int i = 0; i < 20; ++i) newGame(*world);
    });
    shared->clip.on = true;
    runCallbacks(*shared, 400, 0, [](const float*, int32_t) {});
    shared->clip.on = false;
    restarts.join();
    while (shared->clip.ring.beginPop() != nullptr) shared->clip.ring.endPop();
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_EQ(locks.load(), 0);
}

TEST_F(AudioCallback, TheLevelScalesWhatLeavesAfterTheMasterGainAndMuteSilencesIt) {
    const uint32_t before = shared->callbacks;
    const uint32_t underflowsBefore = shared->underflows;
    // Into the music first.
    runCallbacks(*shared, 100, 0, [](const float*, int32_t) {});

    for (int level : {100, 60, 10, 0}) {
        setVolume(*shared, level);
        const double fraction = level / 100.0;
        const float gain = static_cast<float>(fraction * fraction);
        int compared = 0, sounding = 0;
        runCallbacks(*shared, 20, paOutputUnderflow, [&](const float* out, int32_t ringStart) {
            // The scope ring keeps the last of every three samples before
            // the master gain: what left must be exactly that, times the
            // master gain, times the level.
            const double master = world->masterGain.load();
            for (unsigned long j = 0; j < kFrames; ++j) {
                const int position = static_cast<int>((ringStart + j) % kScopePositions);
                if (position % 3 != 2) continue;
                const float before = world->ScopeRing[position / 3];
                const float expected = static_cast<float>(static_cast<double>(before) * master) * gain;
                ASSERT_EQ(out[j], expected) << "level " << level << " sample " << j;
                ++compared;
                if (before != 0.0f) ++sounding;
            }
        });
        EXPECT_GT(compared, 3000);
        EXPECT_GT(sounding, 1000) << "the song is silent: nothing was compared";
    }
    EXPECT_EQ(shared->volume.load(), 0);

    setVolume(*shared, 100);
    shared->muted = true;
    int ringSounding = 0;
    runCallbacks(*shared, 20, 0, [&](const float* out, int32_t) {
        for (unsigned long j = 0; j < kFrames; ++j) ASSERT_EQ(out[j], 0.0f);
        for (const auto& v : world->ScopeRing) ringSounding += v != 0.0f;
    });
    EXPECT_GT(ringSounding, 0) << "muting must not silence the scope view";

    EXPECT_EQ(shared->callbacks - before, 100u + 4 * 20 + 20);
    EXPECT_EQ(shared->underflows - underflowsBefore, 4u * 20);
}

TEST_F(AudioCallback, AClipKeepsTheSoundBeforeTheLevelAndTheMute) {
    runCallbacks(*shared, 100, 0, [](const float*, int32_t) {});
    setVolume(*shared, 60);
    shared->clip.on = true;
    std::vector<std::vector<float>> heard;
    runCallbacks(*shared, 20, 0, [&](const float* out, int32_t) { heard.emplace_back(out, out + kFrames); });
    shared->muted = true;
    runCallbacks(*shared, 5, 0, [](const float*, int32_t) {});
    shared->clip.on = false;
    const float gain = 0.6f * 0.6f;
    int blocks = 0;
    while (const CapturedSound* block = shared->clip.ring.beginPop()) {
        ASSERT_EQ(block->frames, kBlockFrames);
        bool sounding = false;
        for (int j = 0; j < kBlockFrames; ++j) {
            if (blocks < 20) {
                ASSERT_EQ(block->samples[j] * gain, heard[static_cast<size_t>(blocks)][static_cast<size_t>(j)]);
            }
            sounding = sounding || block->samples[j] != 0.0f;
        }
        EXPECT_TRUE(sounding) << "block " << blocks << ": muted blocks are kept too";
        shared->clip.ring.endPop();
        ++blocks;
    }
    EXPECT_EQ(blocks, 25);
}

// The keeper ends a stream by asking the callback: it renders nothing more
// (the song stays where it was, nothing reaches a clip) and ends the stream.
TEST_F(AudioCallback, WhenEndingItRendersNothingAndEndsTheStream) {
    runCallbacks(*shared, 10, 0, [](const float*, int32_t) {});
    shared->clip.on = true;
    shared->ending = true;
    const int32_t ringAt = world->scopeWriteIndex;
    float out[kFrames];
    std::fill(out, out + kFrames, 1.0f);
    EXPECT_EQ(audioCallback(nullptr, out, kFrames, nullptr, 0, shared.get()), paAbort);
    EXPECT_EQ(world->scopeWriteIndex, ringAt);
    EXPECT_EQ(shared->clip.ring.beginPop(), nullptr);
    EXPECT_TRUE(std::all_of(out, out + kFrames, [](float x) { return x == 0.0f; }));
}

}  // namespace
}  // namespace vonkel

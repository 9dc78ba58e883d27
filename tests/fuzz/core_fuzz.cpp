// Arbitrary key sequences into the game core, with the audio renderer
// stepping between frames as the real threads would interleave. Any crash,
// sanitizer report or broken invariant is a finding.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "core/keys.h"
#include "core/random.h"
#include "core/world.h"
#include "game/game.h"

namespace {
using namespace vonkel;

void check(bool condition) {
    if (!condition) std::abort();
}

constexpr int kKeyCodes[7] = {ScanCode::Up, ScanCode::Down, ScanCode::Left, ScanCode::Right,
                              ScanCode::Z, ScanCode::Enter, ScanCode::Escape};

}  // namespace

// Input: 4 bytes of seed, then one byte per frame (bit k holds key k), at
// most 4000 frames. An audio block follows every third frame.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    uint32_t seed;
    std::memcpy(&seed, data, 4);
    static World* world = new World();  // reused: the record is large
    world->~World();
    new (world) World();
    startGame(*world, seed);
    std::vector<float> block(kBlockFrames);
    KeyState keys;
    const size_t frames = std::min<size_t>(size - 4, 4000);
    for (size_t f = 0; f < frames; ++f) {
        keys.clear();
        for (int k = 0; k < 7; ++k)
            if (data[4 + f] & (1u << k)) keys.press(kKeyCodes[k]);
        if (updateFrame(*world, keys).quit) break;
        check(world->playerX >= 0 && world->playerX <= 312 && world->playerY >= 0 && world->playerY <= 232);
        check(world->energy >= 0 && world->energy <= 120);
        check(world->boostFuel >= 0 && world->boostFuel <= 60);
        check(world->playerDirection >= 0 && world->playerDirection <= 3);
        check(world->masterGain >= 0.0f && world->masterGain <= 0.2f);
        if (f % 3 == 0) {
            renderAudioBlock(*world, block.data(), kBlockFrames, static_cast<uint32_t>(f * 11));
            for (float s : block) check(std::isfinite(s));
        }
    }
    return 0;
}

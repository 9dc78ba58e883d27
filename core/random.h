#pragma once
// The random generator, each draw 0..32767.
//
// It is the classic linear congruential generator
//   x = x * 214013 + 2531011 (mod 2^32), draw = (x >> 16) & 0x7FFF
// so that one seed gives the same song on every build and platform. There
// are two of them, and every call that draws says which one it draws from:
// - the main generator, `World::mainRandom`, seeded once by the host at
//   start-up and drawn by the game and every newGame;
// - the audio generator, made afresh from the millisecond clock for each
//   audio block by renderAudioBlock and handed down to the sequencer and the
//   voices of that block.
#include <cstdint>

namespace vonkel {

class Random {
public:
    constexpr explicit Random(uint32_t seed = 0) : state_(seed) {}

    // The next draw, 0..32767.
    constexpr int draw() {
        state_ = advance(state_);
        return output(state_);
    }
    // The value that the next draw() would return, without drawing it.
    constexpr int peek() const { return output(advance(state_)); }

    // The raw state: a song's number is the state at the start of its
    // newGame, and tests count draws by it.
    constexpr uint32_t state() const { return state_; }
    constexpr void seed(uint32_t state) { state_ = state; }

    // The state after `count` draws from `state`.
    static constexpr uint32_t stateAfter(uint32_t state, int count) {
        for (int i = 0; i < count; ++i) state = advance(state);
        return state;
    }

private:
    static constexpr uint32_t advance(uint32_t x) { return x * 214013u + 2531011u; }
    static constexpr int output(uint32_t x) { return static_cast<int>((x >> 16) & 0x7FFFu); }

    uint32_t state_;
};

}  // namespace vonkel

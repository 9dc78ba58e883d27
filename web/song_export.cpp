// Save song: the WAV file that `vonkel-lab audio --seed N --seconds S --out -`
// writes, byte for byte, made by the same three pieces the lab uses (the
// seconds reader, the song export and the WAV bytes) and handed to the
// script in pieces as they are rendered. The page's song worker calls it in
// a module of its own, so the game in the page goes on meanwhile.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <span>
#include <string>

#include "core/world.h"
#include "lockstep/decimal.h"
#include "lockstep/simulated_run.h"
#include "lockstep/wav_format.h"

// Hands `size` bytes at `bytes` to Module.onSongBytes, which must copy them
// before it returns (the memory is reused for the next piece).
EM_JS(void, vonkel_song_bytes, (const char* bytes, int size), {
    Module.onSongBytes(HEAPU8.subarray(bytes, bytes + size));
});

extern "C" {

// The song of `seed` for `seconds` (the text the lab's --seconds takes),
// its blocks rendered with the clock values clockMs + floor(B_k): first the
// header, then each block's samples. Returns 0 if `seconds` is not a length
// the lab takes, else 1.
EMSCRIPTEN_KEEPALIVE int vonkel_export_song_wav(uint32_t seed, uint32_t clockMs, const char* seconds) {
    using namespace vonkel;
    const auto blocks = lockstep::readSecondsAsBlocks(seconds);
    if (!blocks) return 0;
    std::string bytes = lockstep::wavHeader(static_cast<uint64_t>(*blocks) * kBlockFrames);
    vonkel_song_bytes(bytes.data(), static_cast<int>(bytes.size()));
    lockstep::exportSong(seed, clockMs, *blocks, [&](std::span<const float> samples) {
        bytes.clear();
        lockstep::appendWavSamples(bytes, samples);
        vonkel_song_bytes(bytes.data(), static_cast<int>(bytes.size()));
        return true;
    });
    return 1;
}

}  // extern "C"

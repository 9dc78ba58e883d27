#pragma once
// The game as a host sees it: start a game, run one frame, render an audio
// block. A host (the desktop game, vonkel-lab, the web page) owns the World,
// real time and the devices; everything the game computes happens in these
// calls, from the keys and clock values the host hands in.
//
// A host calls updateFrame once per frame on its main thread and
// renderAudioBlock once per audio block, on the same thread or on an audio
// thread of its own (the World is made for both; see DEVELOPERS.md).
#include <cstdint>

#include "core/keys.h"
#include "core/world.h"

namespace vonkel {

// The shortest frame, in milliseconds: at most 62.5 frames a second.
constexpr int kMinFrameMs = 16;

// What a frame asks of its host.
struct FrameRequest {
    // The player asked to quit: this frame drew nothing; shut down.
    bool quit = false;
    // Start the next frame no sooner than this many milliseconds after this
    // one began: 16 in play and 25 in the scope view, whose tiles turn more
    // slowly.
    int minFrameMs = kMinFrameMs;
};

// Seeds the main generator and starts the first game with its song. The
// song's number is then world.songNumber (see core/world.h).
void startGame(World& world, uint32_t seed);

// One frame with the keys held: modes, player, terrain and pickups, and the
// whole 320 x 240 picture in world.Framebuffer. A new game after a game over
// or in the scope view starts here.
FrameRequest updateFrame(World& world, const KeyState& keys);

// The frame's picture doubled to 640 x 480 (kOutputWidth x kOutputHeight),
// row stride 640, 0x00RRGGBB.
void doubleFramebuffer(const World& world, uint32_t* destination);

// One block of `frames` mono samples at kSampleRate into `out`: the musical
// clock with its sequencer steps, the voices, the scope ring, the master
// gain. clockMs is the host's millisecond clock at the start of the block;
// the block's random draws come from it.
void renderAudioBlock(World& world, float* out, int frames, uint32_t clockMs);

}  // namespace vonkel

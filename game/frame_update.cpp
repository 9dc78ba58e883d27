#include "game/frame_update.h"

#include <algorithm>
#include <cmath>

#include "core/keys.h"
#include "core/random.h"
#include "core/rounding.h"
#include "core/world.h"
#include "game/game.h"
#include "game/new_game.h"
#include "game/player.h"
#include "game/terrain.h"
#include "synth/voice.h"

namespace vonkel {
namespace {

constexpr int kScopeQuitFrames = 30;    // Escape or a restart in scope mode needs more frames than this
constexpr int kGameOverWaitFrames = 60; // a restart after game over needs more frames than this

bool actionKeyDown(const KeyState& keys) { return keys.isKeyDown(ScanCode::Z) || keys.isKeyDown(ScanCode::Enter); }

// Game over: the drone wanders in pitch and the music fades out.
void stepGameOver(World& world) {
    world.gameOverCounter += 1;
    world.voices[VoiceRole::Drone].period = static_cast<float>(150 + world.mainRandom.draw() % 101);
    float gain = static_cast<float>(static_cast<double>(world.masterGain.load()) - f32(0.001f));
    if (gain < 0.0f) gain = 0.0f;
    world.masterGain = gain;
}

}  // namespace

void sweepLeadVoice(World& world) {
    world.animTime = static_cast<float>(static_cast<double>(world.animTime) + f32(0.01f));
    const double t = world.animTime;
    const double brightness = f32(0.3f) * std::sin(t) + 0.5;
    const double pulseWidth = f32(0.3f) * std::cos(f32(1.3f) * t) + f32(0.6f);
    setVoiceTone(world, VoiceRole::Melody, static_cast<float>(brightness), 0.9f, static_cast<float>(pulseWidth));
}

FrameRequest updateFrame(World& world, const KeyState& keys) {
    const bool escape = keys.isKeyDown(ScanCode::Escape);
    if (escape && !world.scopeMode) {
        world.scopeMode = true;
        world.frameCounter = 0;
    }
    // The frame's pace is the host's to keep: it shows the picture at once
    // and starts the next frame when this one has lasted long enough.
    int paceMs = kFramePaceMs;
    if (world.scopeMode) {
        world.terrainSpeed = 0.01f;
        if (world.beatFlag.exchange(false)) world.tileOrientation += 1;  // tiles turn on every beat
        paceMs += kScopePaceMs;
        if (escape && world.frameCounter > kScopeQuitFrames) return {.quit = true};
    }

    world.Framebuffer.fill(0);
    sweepLeadVoice(world);

    const bool mayRestart =
        world.gameOverCounter > kGameOverWaitFrames || (world.scopeMode && world.frameCounter > kScopeQuitFrames);
    if (mayRestart && actionKeyDown(keys)) {
        world.frameCounter = 0;
        newGame(world);
    }

    world.playerCell = playerCellOf(world.playerX, world.playerY);
    world.frameCounter += 1;

    if (!world.scopeMode) {
        if (world.gameOverCounter != 0)
            stepGameOver(world);
        else
            updatePlayer(world, keys);
    }

    stepTerrain(world);
    spawnPickup(world);
    updatePickups(world);
    placePlayerAtStart(world);

    if (world.scopeMode) {
        drawScope(world);
    } else {
        if (world.gameOverCounter == 0) drawPlayer(world);
        drawHud(world);
    }
    return {.quit = false, .minFrameMs = std::max(kMinFrameMs, paceMs)};
}

}  // namespace vonkel

#pragma once
// The one state record of the program. Both threads share it; every field
// the two threads both touch is a Relaxed<> value, every other field belongs
// to the main thread alone.
#include <array>
#include <atomic>
#include <cstdint>

#include "core/relaxed.h"
#include "core/random.h"
#include "core/voice_record.h"

namespace vonkel {

constexpr int kScreenWidth = 320;
constexpr int kScreenHeight = 240;
constexpr int kOutputWidth = 640;
constexpr int kOutputHeight = 480;
constexpr int kGridColumns = 40;
constexpr int kGridRows = 30;
constexpr int kGridCells = kGridColumns * kGridRows;
constexpr int kPickupSlots = 100;
constexpr int kScopeSlots = 320;
constexpr int kScopePositions = 960;
constexpr int kNoteCount = 120;
constexpr int kChordQualities = 3;
constexpr int kPatternSteps = 32;

// The sound: mono 32-bit float samples at 44100 Hz, in blocks of 512 frames.
constexpr int kSampleRate = 44100;
constexpr int kBlockFrames = 512;

// The kinds of terrain cell held in TerrainGrid.
namespace TerrainKind {
constexpr int Calm = 0;     // restores energy
constexpr int Neutral = 1;  // leaves energy alone
constexpr int Hazard = 2;   // drains energy with a buzz; pickups appear here
}  // namespace TerrainKind

struct Pickup {
    bool active = false;
    int32_t column = 0;
    int32_t row = 0;
};

struct ChordTable {
    Relaxed<int32_t> chordSizes[kChordQualities];
    Relaxed<int32_t> chordIntervals[kChordQualities][6];
};

// Keeps a restart on the main thread apart from a chunk of audio work (the
// sequencer step and the voice rendering). The audio thread never waits: it
// skips a chunk that would overlap a restart. The main thread waits at most
// for the one chunk in progress.
struct RestartGate {
    std::atomic<bool> restarting{false};
    std::atomic<bool> audioBusy{false};
};

struct World {
    // Synthesiser and audio block renderer.
    Voice voices[kVoiceCount];
    Relaxed<float> masterGain{0.15f};
    Relaxed<int32_t> scopeWriteIndex;
    Relaxed<float> ScopeRing[kScopeSlots];

    // Harmony tables, song state and patterns.
    Relaxed<float> NotePeriodTable[kNoteCount];
    ChordTable chords;
    Relaxed<int32_t> barRoots[4];
    Relaxed<int32_t> barQualities[4];
    Relaxed<int32_t> currentRoot;
    Relaxed<int32_t> currentQuality;
    Relaxed<int32_t> stepIndex;
    Relaxed<int32_t> barIndex;
    Relaxed<bool> bassOffbeat;
    Relaxed<int32_t> chunksPerStep;
    Relaxed<int32_t> chunkCounter;
    Relaxed<bool> beatFlag;
    Relaxed<int32_t> drumPattern[kPatternSteps];
    Relaxed<int32_t> melodyPattern[kPatternSteps];
    Relaxed<int32_t> melodyLength;
    RestartGate restartGate;

    // Terrain field (main thread only).
    std::array<int32_t, kGridCells> TerrainGrid{};
    float terrainTime = 0;
    float terrainSpeed = 0;
    float columnPhase = 0;
    float rowPhase = 0;
    int32_t tileOrientation = 0;

    // Player, boost, pickups and score (main thread only).
    int32_t playerX = 0;
    int32_t playerY = 0;
    int32_t playerDirection = 0;
    int32_t energy = 0;
    int32_t boostFuel = 0;
    int32_t score = 0;
    int32_t playerCell = 0;
    std::array<Pickup, kPickupSlots> pickups{};

    // The main generator (main thread only): seeded by the host at start-up,
    // drawn by the game and by every newGame.
    Random mainRandom;

    // For the host only (main thread; nothing draws from or renders with
    // these): the main generator's state at the start of the last newGame,
    // which is the seed with which vonkel-lab composes the same song, and
    // how many games have started.
    uint32_t songNumber = 0;
    uint32_t gamesStarted = 0;

    // Frame update and modes (main thread only).
    int32_t frameCounter = 0;
    int32_t gameOverCounter = 0;
    bool scopeMode = false;
    float animTime = 0;

    // Pictures: the 320 x 240 frame and its 640 x 480 doubled copy.
    std::array<uint32_t, kScreenWidth * kScreenHeight> Framebuffer{};
    std::array<uint32_t, kOutputWidth * kOutputHeight> OutputBuffer{};
};

}  // namespace vonkel

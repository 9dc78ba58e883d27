// Soak: many games from many seeds, driven by a player bot and by random
// keys, with the real audio renderer stepping between frames as the
// simulated clock orders it. After every frame the game state must be inside
// its ranges and every audio sample finite. VONKEL_SOAK_FRAMES sets the
// number of frames (200 000 by default; 10 000 000 for a long local run).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

#include "core/keys.h"
#include "core/rounding.h"
#include "core/world.h"
#include "lockstep/simulated_run.h"

namespace vonkel {
namespace {

int64_t soakFrames() {
    const char* text = std::getenv("VONKEL_SOAK_FRAMES");
    return text != nullptr ? std::atoll(text) : 200000;
}

// A player bot: heads for the nearest pickup, boosting when it has fuel;
// when its energy runs low it rests on calm ground until it is nearly full.
class Bot {
public:
    KeyState keys(const World& w) {
        if (w.energy < 50) resting_ = true;
        if (w.energy > 110) resting_ = false;
        const int cx = w.playerX + 4, cy = w.playerY + 4;
        int best = 1 << 30, tx = cx, ty = cy;
        auto consider = [&](int x, int y) {
            const int d = std::abs(x - cx) + std::abs(y - cy);
            if (d < best) best = d, tx = x, ty = y;
        };
        if (resting_) {
            for (int r = 0; r < kGridRows; ++r)
                for (int c = 0; c < kGridColumns; ++c)
                    if (w.TerrainGrid[static_cast<size_t>(r * kGridColumns + c)] == 0) consider(8 * c + 4, 8 * r + 4);
        } else {
            for (const Pickup& p : w.pickups)
                if (p.active) consider(8 * p.column + 4, 8 * p.row + 4);
        }
        KeyState keys;
        const int dx = tx - cx, dy = ty - cy;
        if (dx == 0 && dy == 0) return keys;
        if (std::abs(dx) >= std::abs(dy))
            keys.press(dx > 0 ? ScanCode::Right : ScanCode::Left);
        else
            keys.press(dy > 0 ? ScanCode::Down : ScanCode::Up);
        if (w.boostFuel > 0 && !resting_) keys.press(ScanCode::Z);
        return keys;
    }

private:
    bool resting_ = false;
};

KeyState randomKeys(std::mt19937& rng) {
    static constexpr int kCodes[7] = {ScanCode::Up, ScanCode::Down, ScanCode::Left, ScanCode::Right,
                                      ScanCode::Z, ScanCode::Enter, ScanCode::Escape};
    KeyState keys;
    const unsigned bits = rng();
    for (int k = 0; k < 6; ++k)  // Escape only on purpose, below
        if (bits & (1u << k)) keys.press(kCodes[k]);
    return keys;
}

struct SoakCounts {
    int64_t frames = 0;
    int64_t blocks = 0;
    int64_t nonFiniteSamples = 0;
    int restartsFromGameOver = 0;
    int restartsFromScope = 0;
    int quits = 0;
    int gamesAtSpeedCap = 0;
    int maxScore = 0;
};

void checkFrame(const World& w, int64_t frame) {
    ASSERT_GE(w.playerX, 0) << frame;
    ASSERT_LE(w.playerX, 312) << frame;
    ASSERT_GE(w.playerY, 0) << frame;
    ASSERT_LE(w.playerY, 232) << frame;
    ASSERT_GE(w.energy, 0) << frame;
    ASSERT_LE(w.energy, 120) << frame;
    ASSERT_GE(w.boostFuel, 0) << frame;
    ASSERT_LE(w.boostFuel, 60) << frame;
    ASSERT_GE(w.playerDirection, 0) << frame;
    ASSERT_LE(w.playerDirection, 3) << frame;
    ASSERT_GE(w.masterGain, 0.0f) << frame;
    ASSERT_LE(w.masterGain, 0.2f) << frame;
    // The song state from which every note index is computed.
    ASSERT_GE(w.stepIndex, 0);
    ASSERT_LT(w.stepIndex, 32);
    ASSERT_GE(w.barIndex, 0);
    ASSERT_LT(w.barIndex, 4);
    ASSERT_GE(w.currentRoot, 0);
    ASSERT_GE(w.currentQuality, 0);
    ASSERT_LT(w.currentQuality, 3);
    const int length = w.melodyLength;
    ASSERT_TRUE(length == 8 || length == 16 || length == 24 || length == 32);
    for (int k = 0; k < kVoiceCount; ++k) {
        ASSERT_TRUE(std::isfinite(w.voices[k].period.load())) << k;
        ASSERT_TRUE(std::isfinite(w.voices[k].filterPos.load())) << k;
        ASSERT_GE(w.voices[k].amplitude, 0.0f) << k;
    }
}

// One session of play: a game, restarts, scope mode, until the frame budget
// of the session is used or the player quits.
void playSession(uint32_t seed, int64_t budget, SoakCounts& counts) {
    std::mt19937 rng(seed);
    lockstep::SimulatedRun run(seed, seed * 2654435761u, [&](const lockstep::RenderedBlock& block) {
        ++counts.blocks;
        for (float s : block.samples)
            if (!std::isfinite(s)) ++counts.nonFiniteSamples;
    });
    run.start();
    World& w = run.world();
    // Most sessions are played by the bot, which keeps games going long
    // enough to reach the speed cap; the others press random keys.
    const bool botSession = seed % 4 != 0;
    // Reaching the speed cap takes about 139 pickups in one game, more than
    // the bot survives; in endurance sessions the harness tops up the
    // player's energy so that such games happen.
    const bool endurance = seed % 4 == 1;
    bool gameAtCap = false;
    Bot bot;
    int segmentLeft = 0;
    int mode = 0;
    for (int64_t f = 0; f < budget; ++f) {
        // Scope mode lasts to the end of the session, so a bot session
        // leaves Escape to its last tenth.
        const bool late = f > budget - budget / 10;
        if (segmentLeft-- <= 0) {
            segmentLeft = static_cast<int>(rng() % 400) + 20;
            const unsigned pick = rng() % 100;
            if (botSession)
                mode = late ? (pick < 50 ? 1 : 2) : (pick < 95 ? 0 : 1);
            else
                mode = pick < 70 ? 1 : pick < 90 ? 0 : 2;
        }
        KeyState keys = mode == 0 ? bot.keys(w) : randomKeys(rng);
        if (mode == 2 && rng() % 8 == 0) keys.press(ScanCode::Escape);
        if (w.gameOverCounter > 60 && rng() % 20 == 0) keys.press(rng() % 2 ? ScanCode::Z : ScanCode::Enter);
        if (w.scopeMode && w.frameCounter > 30 && rng() % 30 == 0) keys.press(ScanCode::Z);

        const int gameOverBefore = w.gameOverCounter;
        const bool scopeBefore = w.scopeMode;
        const int counterBefore = w.frameCounter;
        const bool goOn = run.playFrame(keys);
        ++counts.frames;
        if (!goOn) {
            ++counts.quits;
            return;
        }
        checkFrame(w, counts.frames);
        if (::testing::Test::HasFatalFailure()) return;
        if (endurance && w.gameOverCounter == 0 && w.energy < 60) w.energy = 120;
        if (w.frameCounter == 1 && counterBefore > 1) {
            if (scopeBefore && counterBefore > 30) ++counts.restartsFromScope;
            else if (gameOverBefore > 60) ++counts.restartsFromGameOver;
            gameAtCap = false;
        }
        if (!w.scopeMode && !gameAtCap && roundToInt(static_cast<double>(w.terrainSpeed) * 15000) >= 70) {
            gameAtCap = true;
            ++counts.gamesAtSpeedCap;
        }
        counts.maxScore = std::max(counts.maxScore, static_cast<int>(w.score));
    }
}

TEST(Soak, ManySeedsManyFramesStayInRange) {
    const int64_t total = soakFrames();
    SoakCounts counts;
    for (uint32_t seed = 1; counts.frames < total; ++seed) {
        const int64_t session = std::min<int64_t>(total - counts.frames, 6000 + (seed % 5) * 6000);
        playSession(seed, session, counts);
        if (HasFatalFailure()) FAIL() << "seed " << seed;
    }
    std::printf("soak: %lld frames, %lld blocks, %d restarts after game over, %d in scope mode, %d quits, "
                "%d games at the speed cap, best score %d\n",
                static_cast<long long>(counts.frames), static_cast<long long>(counts.blocks),
                counts.restartsFromGameOver, counts.restartsFromScope, counts.quits, counts.gamesAtSpeedCap,
                counts.maxScore);
    EXPECT_EQ(counts.nonFiniteSamples, 0);
    EXPECT_GT(counts.restartsFromGameOver, 0);
    EXPECT_GT(counts.restartsFromScope, 0);
    EXPECT_GT(counts.gamesAtSpeedCap, 0);
}

}  // namespace
}  // namespace vonkel

#include <gtest/gtest.h>

#include "game/frame_update.h"
#include "game/game.h"
#include "game/new_game.h"
#include "game/player.h"
#include "game_test_support.h"

namespace vonkel {
namespace {

using test::keysDown;
using test::makeWorld;

constexpr uint32_t kPlayerColour = 0xC0FFFF;
constexpr uint32_t kEnergyBarColour = 0xFFA040;

// The length the last frame asked for.
int lastFrameMs = 0;

bool frame(World& w, const KeyState& keys = KeyState{}) {
    const FrameRequest request = updateFrame(w, keys);
    lastFrameMs = request.minFrameMs;
    return !request.quit;
}

std::unique_ptr<World> freshGame(uint32_t seed = 2024) {
    auto w = makeWorld();
    w->mainRandom.seed(seed);
    newGame(*w);
    return w;
}

// Only black, the band's border colour and the white trace in rows 80..159.
bool bandIsScope(const World& w) {
    for (int y = 80; y < 160; ++y)
        for (int x = 0; x < kScreenWidth; ++x) {
            const uint32_t p = w.Framebuffer[static_cast<std::size_t>(y * kScreenWidth + x)];
            if (p != 0 && p != 0xFFFFFF && p != 0x4080A0) return false;
        }
    return true;
}

TEST(FrameUpdate, RunningFrameMovesThePlayerOnLastFramesFieldAndDrawsPlayerAndPanel) {
    auto w = freshGame();
    EXPECT_TRUE(frame(*w));
    EXPECT_EQ(lastFrameMs, 16);
    EXPECT_EQ(w->frameCounter, 1);
    EXPECT_EQ(w->energy, 120);  // the fresh grid is all kind 0 under the player
    EXPECT_GT(test::countColour(*w, kPlayerColour), 0);
    EXPECT_EQ(test::countColour(*w, kEnergyBarColour), 2 * 120);

    w->frameCounter = 5;
    w->playerX = 156;
    w->playerY = 148;
    w->energy = 100;
    w->TerrainGrid.fill(0);
    w->TerrainGrid[static_cast<std::size_t>(playerCellOf(156, 148))] = 2;
    EXPECT_TRUE(frame(*w, keysDown({ScanCode::Up})));
    EXPECT_EQ(w->frameCounter, 6);
    EXPECT_EQ(w->energy, 99);  // the hazard of the previous frame's field
    EXPECT_EQ(w->voices[6].amplitude, 0.25f);
    EXPECT_EQ(w->playerY, 147);
    EXPECT_EQ(w->playerCell, playerCellOf(156, 148));  // taken before the move
    EXPECT_EQ(test::countColour(*w, kEnergyBarColour), 2 * 99);
}

TEST(FrameUpdate, LeadVoiceSweepsEveryFrameInEveryMode) {
    // At time 1 (0.99 + 0.01): brightness 0.3 sin 1 + 0.5, pulse width 0.3 cos 1.3 + 0.6, resonance 0.9.
    auto known = makeWorld();
    known->animTime = 0.99f;
    sweepLeadVoice(*known);
    EXPECT_EQ(known->animTime, 1.0f);
    test::expectTone(known->voices[0], 0.752441287f, 0.9f, 0.680249691f);

    auto w = freshGame();
    for (int mode = 0; mode < 3; ++mode) {
        if (mode == 1) w->gameOverCounter = 5;
        if (mode == 2) w->scopeMode = true;
        for (int i = 0; i < 3; ++i) {
            auto swept = makeWorld();
            swept->animTime = w->animTime;
            sweepLeadVoice(*swept);
            frame(*w);
            EXPECT_EQ(w->animTime, swept->animTime) << "mode " << mode;
            const Voice &v = w->voices[0], &s = swept->voices[0];
            EXPECT_TRUE(v.pulseWidth == s.pulseWidth && v.cutoff == s.cutoff && v.damping == s.damping) << mode;
        }
    }
}

TEST(FrameUpdate, GameOverLastsSixtyFramesBeforeZRestartsAndTheMusicFades) {
    auto w = freshGame();
    w->frameCounter = 5;
    w->energy = 0;
    w->score = 320;
    w->TerrainGrid.fill(0);
    w->TerrainGrid[static_cast<std::size_t>(playerCellOf(w->playerX, w->playerY))] = 2;
    const KeyState z = keysDown({ScanCode::Z});
    frame(*w, z);  // energy runs out in this frame, with Z already held
    EXPECT_EQ(w->gameOverCounter, 1);
    EXPECT_EQ(w->voices[6].period, 150.0f);
    EXPECT_EQ(w->masterGain, 0.2f);
    float gain = 0.2f;
    for (int k = 1; k <= 60; ++k) {
        const int r = test::upcomingDraws(w->mainRandom, 1)[0];
        const int x = w->playerX, y = w->playerY;
        EXPECT_TRUE(frame(*w, keysDown({ScanCode::Z, ScanCode::Up})));
        EXPECT_EQ(lastFrameMs, 16);
        ASSERT_EQ(w->gameOverCounter, k + 1) << "frame " << k << " after energy ran out";
        EXPECT_EQ(w->voices[6].period, static_cast<float>(150 + r % 101));
        gain = static_cast<float>(static_cast<double>(gain) - test::c32(0.001f));
        EXPECT_EQ(w->masterGain, gain);
        EXPECT_TRUE(w->score == 320 && w->playerX == x && w->playerY == y);  // frozen
        EXPECT_EQ(test::countColour(*w, kPlayerColour), 0);
        EXPECT_GT(test::countColour(*w, 0xFFFFFF), 0);  // the panel's score digits
    }
    EXPECT_TRUE(frame(*w, z));  // the 61st frame restarts
    EXPECT_TRUE(w->gameOverCounter == 0 && w->score == 0 && w->frameCounter == 1 && w->energy == 120 && !w->scopeMode);
    EXPECT_EQ(w->masterGain, 0.2f);
    EXPECT_GT(test::countColour(*w, kPlayerColour), 0);

    // The fade stops at 0; Enter restarts as well as Z.
    w->gameOverCounter = 40;
    w->masterGain = 0.0005f;
    frame(*w);
    frame(*w);
    EXPECT_EQ(w->masterGain, 0.0f);
    w->gameOverCounter = 61;
    frame(*w, keysDown({ScanCode::Enter}));
    EXPECT_TRUE(w->gameOverCounter == 0 && w->masterGain == 0.2f);
}

TEST(FrameUpdate, RestartFrameWorksOnTheFreshGame) {
    auto w = freshGame();
    w->gameOverCounter = 61;
    w->animTime = 3.0f;
    const auto d = test::upcomingDraws(w->mainRandom, 4);  // the restart's newGame takes the first draws of the frame
    frame(*w, keysDown({ScanCode::Enter}));
    // The sweep ran before the restart, so voice 0 keeps its preset tone.
    EXPECT_EQ(w->animTime, static_cast<float>((d[3] % 1001) * test::c32(0.01f)));
    test::expectTone(w->voices[0], 1.0f, 0.0f, 0.0f);  // cutoff 0.02002, damping 0.2002
    const float t0 = static_cast<float>((d[0] % 1001) * test::c32(0.1f));
    EXPECT_EQ(w->terrainTime, static_cast<float>(static_cast<double>(t0) + test::c32(0.0003f)));
}

TEST(FrameUpdate, EscapeEntersScopeModeAndQuitsFromItsThirtyFirstFrame) {
    auto w = freshGame();
    frame(*w);
    const KeyState esc = keysDown({ScanCode::Escape});
    int score = w->score;
    const float time = w->terrainTime;
    EXPECT_TRUE(frame(*w, esc));
    EXPECT_TRUE(w->scopeMode && w->frameCounter == 1);
    EXPECT_EQ(lastFrameMs, 25);
    EXPECT_EQ(w->terrainTime, static_cast<float>(static_cast<double>(time) + test::c32(0.01f)));
    EXPECT_EQ(test::countColour(*w, kPlayerColour), 0);
    EXPECT_EQ(test::countColour(*w, kEnergyBarColour), 0);
    EXPECT_TRUE(bandIsScope(*w));

    for (int j = 1; j <= 30; ++j) {  // Escape again within the next 30 frames does nothing
        const int x = w->playerX, y = w->playerY;
        score = w->score;
        EXPECT_TRUE(frame(*w, j % 3 == 0 ? esc : keysDown({ScanCode::Left})));
        EXPECT_EQ(w->frameCounter, j + 1);
        EXPECT_EQ(lastFrameMs, 25);
        EXPECT_TRUE(w->scopeMode && w->playerX == x && w->playerY == y);  // the player is not moved
        // 0.01 at the start of every frame, raised only by pickups collected in it.
        double speed = test::c32(0.01f);
        for (int s = score; s < w->score; s += 16) speed *= test::c32(1.02f);
        EXPECT_EQ(w->terrainSpeed, static_cast<float>(speed));
        EXPECT_TRUE(bandIsScope(*w));
    }
    test::fillFramebuffer(*w, 0x00777777);
    const float anim = w->animTime;
    EXPECT_FALSE(frame(*w, esc));  // the 31st frame after entering
    EXPECT_EQ(test::countColour(*w, 0x00777777), kScreenWidth * kScreenHeight);
    EXPECT_EQ(w->animTime, anim);

    // Escape held from the start ends the program after the entering frame and 30 more.
    auto held = freshGame();
    int frames = 0;
    while (frame(*held, esc) && frames < 100) ++frames;
    EXPECT_EQ(frames, 31);
}

TEST(FrameUpdate, NewGameInScopeModeKeepsTheScopeAndRestartsItsCount) {
    auto w = freshGame();
    frame(*w, keysDown({ScanCode::Escape}));
    w->tileOrientation = 6;
    const KeyState z = keysDown({ScanCode::Z});
    for (int j = 1; j <= 30; ++j) {
        frame(*w, z);
        EXPECT_EQ(w->frameCounter, j + 1) << "no restart before the 31st frame";
    }
    w->score = 48;
    const float gain = w->masterGain;
    w->masterGain = 0.0f;
    frame(*w, z);
    EXPECT_TRUE(w->frameCounter == 1 && w->scopeMode && w->tileOrientation == 6);
    EXPECT_LE(w->score, 16);  // fresh, though a pickup may be collected in the same frame
    EXPECT_EQ(w->masterGain, 0.2f);
    EXPECT_EQ(gain, 0.2f);  // scope mode did not fade it
    EXPECT_EQ(lastFrameMs, 25);
    const KeyState esc = keysDown({ScanCode::Escape});
    for (int j = 1; j <= 30; ++j) EXPECT_TRUE(frame(*w, esc)) << j;
    EXPECT_FALSE(frame(*w, esc));

    // A game over frozen above 60 lets Z restart at once; below it, the counter stays frozen.
    auto over = freshGame();
    over->scopeMode = true;
    over->frameCounter = 3;
    over->gameOverCounter = 20;
    over->masterGain = 0.1f;
    over->voices[6].period = 170.0f;
    frame(*over, z);
    EXPECT_TRUE(over->gameOverCounter == 20 && over->masterGain == 0.1f && over->voices[6].period == 170.0f);
    EXPECT_EQ(over->frameCounter, 4);
    over->gameOverCounter = 61;
    frame(*over, keysDown({ScanCode::Enter}));
    EXPECT_TRUE(over->gameOverCounter == 0 && over->frameCounter == 1 && over->scopeMode);

    // Escape during a game over also enters scope mode.
    auto late = freshGame();
    late->gameOverCounter = 7;
    frame(*late, keysDown({ScanCode::Escape}));
    EXPECT_TRUE(late->scopeMode && late->gameOverCounter == 7);
}

TEST(FrameUpdate, TilesTurnOnceForEachBeatInScopeModeOnly) {
    auto w = freshGame();
    w->beatFlag = true;
    w->tileOrientation = 2;
    frame(*w);
    EXPECT_TRUE(w->beatFlag && w->tileOrientation == 2);  // outside scope mode the flag is left alone
    w->scopeMode = true;
    frame(*w);
    EXPECT_TRUE(!w->beatFlag && w->tileOrientation == 3);
    frame(*w);
    EXPECT_EQ(w->tileOrientation, 3);
    w->beatFlag = true;
    frame(*w);
    EXPECT_EQ(w->tileOrientation, 4);
}

}  // namespace
}  // namespace vonkel

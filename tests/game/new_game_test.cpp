#include <gtest/gtest.h>

#include <vector>

#include "game/game_test_support.h"
#include "game/new_game.h"
#include "music/harmony.h"

namespace vonkel {
namespace {

using test::makeWorld;

// A world in the middle of a game: every field that a new game sets holds something else.
std::unique_ptr<World> messyWorld(int gameOverCounter, bool scopeMode) {
    auto w = makeWorld();
    w->playerX = 7, w->playerY = 201, w->playerDirection = 3;
    w->energy = 13, w->boostFuel = 44, w->score = 9999, w->frameCounter = 77;
    w->gameOverCounter = gameOverCounter, w->scopeMode = scopeMode;
    w->TerrainGrid.fill(2);
    w->columnPhase = -3.0f, w->rowPhase = 4.0f, w->terrainTime = 555.5f, w->terrainSpeed = 0.01f, w->animTime = 9.99f;
    w->masterGain = gameOverCounter > 0 ? 0.0f : 0.15f;
    w->beatFlag = true, w->tileOrientation = 5, w->scopeWriteIndex = 123, w->ScopeRing[17] = 0.5f;
    w->Framebuffer[321] = 0xABCDEF;
    for (int s = 0; s < kPickupSlots; ++s) w->pickups[static_cast<std::size_t>(s)] = Pickup{s % 2 == 0, s % 40, s % 30};
    for (Voice& v : w->voices) {
        v.amplitude = 0.2f, v.attacking = true, v.decaying = true;
        v.counter = 5, v.filterPos = 0.3f, v.filterVel = 0.1f, v.oscValue = 0.7f;
    }
    return w;
}

TEST(NewGame, LeavesTheStartValuesWhateverCameBefore) {
    struct Case { const char* name; int gameOverCounter; bool scopeMode; };
    const Case cases[] = {{"running", 0, false}, {"game over", 150, false}, {"scope mode", 0, true}, {"scope after game over", 70, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto w = messyWorld(c.gameOverCounter, c.scopeMode);
        w->mainRandom.seed(31337);
        newGame(*w);
        EXPECT_TRUE(w->playerX == 156 && w->playerY == 150 && w->playerDirection == 0);
        EXPECT_TRUE(w->energy == 120 && w->boostFuel == 0 && w->score == 0);
        EXPECT_TRUE(w->gameOverCounter == 0 && w->frameCounter == 0);
        EXPECT_TRUE(std::all_of(w->TerrainGrid.begin(), w->TerrainGrid.end(), [](int32_t k) { return k == 0; }));
        EXPECT_TRUE(w->columnPhase == 0.0f && w->rowPhase == 0.0f);
        EXPECT_EQ(w->terrainSpeed, 0.0003f);
        EXPECT_EQ(w->masterGain, 0.2f);
        for (int s = 0; s < kPickupSlots; ++s) {
            const Pickup& p = w->pickups[static_cast<std::size_t>(s)];
            EXPECT_TRUE(!p.active && p.column == s % 40 && p.row == s % 30) << s;  // free slots keep their position
        }
        for (const Voice& v : w->voices) {
            EXPECT_EQ(v.amplitude, 0.0f);
            EXPECT_FALSE(v.attacking || v.decaying);
            EXPECT_TRUE(v.counter == 0 && v.filterPos == 0.0f && v.filterVel == 0.0f);
        }
        EXPECT_TRUE(w->chunksPerStep >= 37 && w->chunksPerStep <= 47);
        EXPECT_TRUE(w->stepIndex == 0 && w->barIndex == 0);
        // Left alone.
        EXPECT_EQ(w->scopeMode, c.scopeMode);
        EXPECT_TRUE(w->beatFlag && w->tileOrientation == 5 && w->scopeWriteIndex == 123 && w->ScopeRing[17] == 0.5f);
        EXPECT_EQ(w->Framebuffer[321], 0xABCDEFu);
    }
}

// Everything that makes up the song.
std::vector<double> song(const World& w) {
    std::vector<double> s{double(w.melodyLength), double(w.chunksPerStep), double(w.bassOffbeat), double(w.currentRoot), double(w.currentQuality)};
    for (int b = 0; b < 4; ++b) s.push_back(w.barRoots[b]), s.push_back(w.barQualities[b]);
    for (int i = 0; i < kPatternSteps; ++i) s.push_back(w.drumPattern[i]), s.push_back(w.melodyPattern[i]);
    for (int k = 0; k < kNoteCount; ++k) s.push_back(w.NotePeriodTable[k]);
    return s;
}

TEST(NewGame, SameGeneratorStateGivesTheSameGameAndTheSongTakesTheLastDraws) {
    auto first = makeWorld();
    auto second = messyWorld(80, true);
    first->mainRandom.seed(777);
    newGame(*first);
    const uint32_t end = first->mainRandom.state();
    second->mainRandom.seed(777);
    newGame(*second);
    EXPECT_EQ(second->mainRandom.state(), end);
    EXPECT_TRUE(first->terrainTime == second->terrainTime && first->animTime == second->animTime);
    EXPECT_TRUE(first->voices[0].highSlope == second->voices[0].highSlope && first->voices[0].lowSlope == second->voices[0].lowSlope);
    EXPECT_EQ(song(*first), song(*second));

    // After the draws for terrain, voice 0 and the sweep, the rest belong to the song.
    auto replay = makeWorld();
    Random random(Random::stateAfter(777, 4));
    resetSong(*replay, random);
    EXPECT_EQ(random.state(), end);
    EXPECT_EQ(song(*replay), song(*first));
    EXPECT_FLOAT_EQ(first->NotePeriodTable[80], 63.139225f);  // the chime's note
}

// The host names a song by the generator's state at the start of its game:
// seeding a fresh world with that number composes the same song again.
TEST(NewGame, SongNumberIsTheStateBeforeTheFirstDrawAndReplaysTheSong) {
    auto played = messyWorld(0, false);
    played->mainRandom.seed(7);
    newGame(*played);
    EXPECT_EQ(played->songNumber, 7u);
    EXPECT_EQ(played->gamesStarted, 1u);

    for (int i = 0; i < 25; ++i) played->mainRandom.draw();  // the game draws while it runs
    const uint32_t before = played->mainRandom.state();
    newGame(*played);
    EXPECT_EQ(played->songNumber, before);
    EXPECT_EQ(played->gamesStarted, 2u);

    auto replay = makeWorld();
    replay->mainRandom.seed(played->songNumber);
    newGame(*replay);
    EXPECT_EQ(song(*replay), song(*played));
    EXPECT_EQ(replay->mainRandom.state(), played->mainRandom.state());
}

}  // namespace
}  // namespace vonkel

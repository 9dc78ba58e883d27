#include <gtest/gtest.h>

#include "game/framebuffer.h"
#include "game/glyphs.h"
#include "game/player.h"
#include "game_test_support.h"

namespace vonkel {
namespace {

using test::makeWorld;

// Seeds the generator so that its next draw is (or is not) a multiple of 16.
void seedFirstDrawMultipleOf16(World& w, bool multiple) {
    for (uint32_t seed = 1;; ++seed) {
        w.mainRandom.seed(seed);
        if ((test::upcomingDraws(w.mainRandom, 1)[0] % 16 == 0) == multiple) return;
    }
}

// A field of one kind, the player at (x, y), note periods 1000 + index.
std::unique_ptr<World> field(int kind, int x = 0, int y = 232) {
    auto w = makeWorld();
    w->TerrainGrid.fill(kind);
    w->playerX = x;
    w->playerY = y;
    w->terrainSpeed = 0.0003f;
    for (int k = 0; k < kNoteCount; ++k) w->NotePeriodTable[k] = 1000.0f + static_cast<float>(k);
    return w;
}

void place(World& w, int slot, int column, int row) { w.pickups[static_cast<std::size_t>(slot)] = Pickup{true, column, row}; }

int drawsTakenBy(void (*operation)(World&), World& w) {
    const uint32_t before = w.mainRandom.state();
    operation(w);
    return test::drawsBetween(before, w.mainRandom.state());
}

TEST(SpawnPickup, OneFrameInSixteenTheFirstFreeSlotThatHitsAHazardGetsThePickup) {
    auto w = field(2);
    seedFirstDrawMultipleOf16(*w, true);
    for (int s = 0; s < 3; ++s) place(*w, s, 1, 1);
    auto d = test::upcomingDraws(w->mainRandom, 3);
    EXPECT_EQ(drawsTakenBy(spawnPickup, *w), 3);
    EXPECT_TRUE(w->pickups[3].active);
    EXPECT_EQ(w->pickups[3].column, d[1] % 40);
    EXPECT_EQ(w->pickups[3].row, d[2] % 30);
    EXPECT_FALSE(w->pickups[4].active);

    w = field(2);  // otherwise only the first draw is taken ...
    seedFirstDrawMultipleOf16(*w, false);
    EXPECT_EQ(drawsTakenBy(spawnPickup, *w), 1);
    EXPECT_FALSE(w->pickups[0].active);
    w->scopeMode = true;  // ... except in scope mode, where every frame walks
    spawnPickup(*w);
    EXPECT_TRUE(w->pickups[0].active);

    // A miss frees the slot again; the next free slot tries with the next two draws.
    w = field(0);
    seedFirstDrawMultipleOf16(*w, true);
    place(*w, 1, 5, 5);
    d = test::upcomingDraws(w->mainRandom, 5);
    ASSERT_NE((d[4] % 30) * 40 + d[3] % 40, (d[2] % 30) * 40 + d[1] % 40);
    w->TerrainGrid[static_cast<std::size_t>((d[4] % 30) * 40 + d[3] % 40)] = 2;
    EXPECT_EQ(drawsTakenBy(spawnPickup, *w), 5);
    EXPECT_FALSE(w->pickups[0].active);
    EXPECT_TRUE(w->pickups[2].active);
    EXPECT_EQ(w->pickups[2].column, d[3] % 40);
    EXPECT_EQ(w->pickups[2].row, d[4] % 30);
}

TEST(SpawnPickup, TriesEachFreeSlotOnceAndDrawsOnlyOnceWhenAllAreTaken) {
    auto w = field(1);
    w->scopeMode = true;
    for (int s = 0; s < 10; ++s) place(*w, s * 7, 0, 0);
    EXPECT_EQ(drawsTakenBy(spawnPickup, *w), 1 + 2 * 90);
    EXPECT_EQ(std::count_if(w->pickups.begin(), w->pickups.end(), [](const Pickup& p) { return p.active; }), 10);

    w = field(2);
    w->scopeMode = true;
    for (int s = 0; s < kPickupSlots; ++s) place(*w, s, s % 40, s % 30);
    EXPECT_EQ(drawsTakenBy(spawnPickup, *w), 1);
    EXPECT_TRUE(std::all_of(w->pickups.begin(), w->pickups.end(), [](const Pickup& p) { return p.active; }));
}

TEST(UpdatePickups, DrawsBlinkingPickupsAndDropsThoseOffTheHazardAFrameLater) {
    const std::pair<int, uint32_t> blink[] = {{0, 0xFFC080}, {7, 0xFFC080}, {8, 0xFFFFFF}, {15, 0xFFFFFF}, {16, 0xFFC080}, {25, 0xFFFFFF}};
    for (const auto& [frame, colour] : blink) {
        auto w = field(2);
        w->frameCounter = frame;
        place(*w, 4, 39, 29);
        place(*w, 9, 10, 0);
        updatePickups(*w);
        auto expected = makeWorld();
        drawGlyph(*expected, pickupGlyph, colour, 312, 232, 0);
        drawGlyph(*expected, pickupGlyph, colour, 80, 0, 0);
        EXPECT_TRUE(w->Framebuffer == expected->Framebuffer) << "frame " << frame;
        EXPECT_TRUE(w->pickups[4].active && w->pickups[9].active);
    }
    auto w = field(2);
    place(*w, 0, 20, 10);
    w->TerrainGrid[10 * 40 + 20] = 1;
    updatePickups(*w);
    EXPECT_FALSE(w->pickups[0].active);
    EXPECT_EQ(test::countColour(*w, 0xFFC080), 24);  // drawn once more
    w->Framebuffer.fill(0);
    updatePickups(*w);
    EXPECT_EQ(test::countColour(*w, 0xFFC080), 0);
}

TEST(UpdatePickups, PlayerAndPickupBoxesMustOverlapStrictly) {
    // The pickup at column 13, row 13 covers pixels 104..111 both ways.
    struct Case { int x, y; bool collected; };
    const Case cases[] = {{100, 100, true}, {96, 100, false}, {97, 100, true}, {111, 104, true}, {112, 104, false},
                          {104, 96, false}, {104, 97, true},  {104, 111, true}, {104, 112, false}};
    for (const Case& c : cases) {
        auto w = field(2, c.x, c.y);
        place(*w, 0, 13, 13);
        updatePickups(*w);
        EXPECT_EQ(w->pickups[0].active, !c.collected) << c.x << "," << c.y;
        EXPECT_EQ(w->score, c.collected ? 16 : 0) << c.x << "," << c.y;
        EXPECT_EQ(test::countColour(*w, 0xFFC080), 24);  // drawn also in the frame it is collected
    }
}

TEST(UpdatePickups, CollectingGivesFuelScoreSpeedAndAChime) {
    auto w = field(2, 100, 100);
    w->boostFuel = 30;
    w->score = 7;
    place(*w, 2, 12, 12);
    place(*w, 5, 13, 13);
    place(*w, 8, 13, 12);
    place(*w, 9, 30, 20);
    updatePickups(*w);
    EXPECT_EQ(w->boostFuel, 60);  // 30 + 60, limited after the walk
    EXPECT_EQ(w->score, 7 + 48);
    EXPECT_EQ(w->terrainSpeed, static_cast<float>(test::c32(0.0003f) * test::c32(1.02f) * test::c32(1.02f) * test::c32(1.02f)));
    EXPECT_TRUE(w->pickups[9].active);
    EXPECT_FALSE(w->pickups[2].active || w->pickups[5].active || w->pickups[8].active);
    EXPECT_EQ(w->voices[4].amplitude, 0.01f);
    EXPECT_EQ(w->voices[4].period, 1080.0f);  // note 80
    EXPECT_TRUE(w->voices[4].attacking && w->voices[4].decaying);

    auto again = field(2, 100, 100);  // a chime still sounding keeps its level
    const float afterOne = static_cast<float>(test::c32(0.0003f) * test::c32(1.02f));
    again->terrainSpeed = afterOne;
    again->boostFuel = 59;
    again->voices[4].amplitude = 0.13f;
    place(*again, 0, 13, 13);
    updatePickups(*again);
    EXPECT_EQ(again->boostFuel, 60);
    EXPECT_EQ(again->voices[4].amplitude, 0.13f);
    EXPECT_EQ(again->terrainSpeed, static_cast<float>(test::c32(afterOne) * test::c32(1.02f)));

    auto expiring = field(1, 100, 100);  // collected although its cell stopped being a hazard
    place(*expiring, 0, 13, 13);
    updatePickups(*expiring);
    EXPECT_EQ(expiring->boostFuel, 20);
    EXPECT_EQ(expiring->score, 16);
}

TEST(UpdatePickups, ScopeModeCollectsSilentlyAndGameOverNotAtAll) {
    auto scope = field(2, 100, 100);
    scope->scopeMode = true;
    scope->terrainSpeed = 0.01f;
    place(*scope, 0, 13, 13);
    updatePickups(*scope);
    EXPECT_TRUE(!scope->pickups[0].active && scope->boostFuel == 20 && scope->score == 16);
    EXPECT_EQ(scope->terrainSpeed, static_cast<float>(test::c32(0.01f) * test::c32(1.02f)));
    EXPECT_EQ(scope->voices[4].amplitude, 0.0f);
    EXPECT_EQ(scope->voices[4].period, 0.0f);
    EXPECT_FALSE(scope->voices[4].attacking || scope->voices[4].decaying);

    for (bool scopeMode : {false, true}) {
        auto over = field(2, 100, 100);
        over->scopeMode = scopeMode;
        over->gameOverCounter = 3;
        place(*over, 0, 13, 13);
        updatePickups(*over);
        EXPECT_TRUE(over->pickups[0].active && over->score == 0 && over->terrainSpeed == 0.0003f);
    }
}

}  // namespace
}  // namespace vonkel

#include <gtest/gtest.h>

#include "game/framebuffer.h"
#include "game/glyphs.h"
#include "game/player.h"
#include "game_test_support.h"

namespace vonkel {
namespace {

using test::keysDown;
using test::makeWorld;

// A running player at (x, y) facing `direction` on a field of one kind, in a
// frame whose (already advanced) counter is `frame`.
std::unique_ptr<World> playerOn(int kind, int x = 156, int y = 150, int direction = 0, int frame = 2) {
    auto w = makeWorld();
    w->playerX = x;
    w->playerY = y;
    w->playerDirection = direction;
    w->energy = 60;
    w->playerCell = playerCellOf(x, y);
    w->TerrainGrid.fill(kind);
    w->frameCounter = frame;
    return w;
}

TEST(Player, CellUnderTheCentreOfTheGlyph) {
    EXPECT_EQ(playerCellOf(156, 150), 780);  // centre (160, 154): column 20, row 19
    EXPECT_EQ(playerCellOf(3, 3), 0);
    EXPECT_EQ(playerCellOf(4, 4), 41);
    EXPECT_EQ(playerCellOf(12, 0), 2);
    EXPECT_EQ(playerCellOf(312, 232), 1199);
}

TEST(Player, StepLengthDependsOnKindFrameParityAndBoost) {
    struct Case { int kind, frame; bool action; int fuel, dy, fuelAfter; };
    const Case cases[] = {
        {0, 3, false, 0, -1, 0}, {0, 4, false, 0, -1, 0},                            // kind 0: every frame
        {1, 3, false, 5, 0, 5},  {1, 4, false, 5, -1, 5}, {2, 3, false, 5, 0, 5}, {2, 4, false, 5, -1, 5},  // even frames only
        {1, 3, true, 5, -2, 4},  {2, 3, true, 1, -2, 0},  {0, 3, true, 5, -2, 4}, {1, 4, true, 60, -2, 59},  // boost
        {0, 3, true, 0, -1, 0},  {1, 3, true, 0, 0, 0},                              // no fuel, no boost
    };
    for (const Case& c : cases) {
        auto w = playerOn(c.kind, 156, 150, 0, c.frame);
        w->boostFuel = c.fuel;
        KeyState keys = keysDown({ScanCode::Up});
        if (c.action) keys.press(c.frame % 2 ? ScanCode::Z : ScanCode::Enter);
        updatePlayer(*w, keys);
        EXPECT_EQ(w->playerY, 150 + c.dy) << "kind " << c.kind << " frame " << c.frame << " action " << c.action;
        EXPECT_EQ(w->playerX, 156);
        EXPECT_EQ(w->boostFuel, c.fuelAfter) << "kind " << c.kind << " frame " << c.frame;
    }
    auto w = playerOn(0);  // the action key alone neither moves nor spends fuel
    w->boostFuel = 10;
    updatePlayer(*w, keysDown({ScanCode::Z}));
    EXPECT_TRUE(w->playerX == 156 && w->playerY == 150 && w->boostFuel == 10);
}

TEST(Player, TurnsAfterOneMoreStepTheOldWayAndLaterKeysWin) {
    auto w = playerOn(0);
    const int expected[][3] = {{156, 149, 1}, {157, 149, 1}, {158, 149, 2}, {158, 149, 2}};
    const KeyState keys[] = {keysDown({ScanCode::Right}), keysDown({ScanCode::Right}), keysDown({ScanCode::Down}), KeyState{}};
    for (int i = 0; i < 4; ++i) {
        updatePlayer(*w, keys[i]);
        EXPECT_EQ(w->playerX, expected[i][0]) << i;
        EXPECT_EQ(w->playerY, expected[i][1]) << i;
        EXPECT_EQ(w->playerDirection, expected[i][2]) << i;
    }
    auto slow = playerOn(1, 100, 100, 0, 5);  // may not move in this frame, but still turns
    updatePlayer(*slow, keysDown({ScanCode::Left}));
    EXPECT_TRUE(slow->playerX == 100 && slow->playerY == 100 && slow->playerDirection == 3);

    struct Case { std::initializer_list<int> keys; int direction; };
    const Case held[] = {{{ScanCode::Up, ScanCode::Left}, 3},    {{ScanCode::Down, ScanCode::Left}, 3},
                         {{ScanCode::Right, ScanCode::Down}, 2}, {{ScanCode::Up, ScanCode::Right}, 1},
                         {{ScanCode::Up, ScanCode::Down}, 2},    {{ScanCode::Up, ScanCode::Right, ScanCode::Down, ScanCode::Left}, 3}};
    for (const Case& c : held) {
        auto p = playerOn(0, 100, 100, 0);
        updatePlayer(*p, keysDown(c.keys));
        EXPECT_EQ(p->playerDirection, c.direction);
    }
}

TEST(Player, PositionIsClampedToTheScreen) {
    struct Case { int x, y, direction, key, expectX, expectY; };
    const Case cases[] = {{311, 100, 1, ScanCode::Right, 312, 100}, {0, 50, 3, ScanCode::Left, 0, 50},
                          {312, 50, 1, ScanCode::Right, 312, 50},   {50, 0, 0, ScanCode::Up, 50, 0},
                          {50, 232, 2, ScanCode::Down, 50, 232},    {1, 1, 3, ScanCode::Left, 0, 1},
                          {231, 231, 2, ScanCode::Down, 231, 232}};
    for (const Case& c : cases) {
        auto p = playerOn(0, c.x, c.y, c.direction);
        p->boostFuel = 5;
        updatePlayer(*p, keysDown({c.key, ScanCode::Enter}));
        EXPECT_EQ(p->playerX, c.expectX) << c.x << "," << c.y;
        EXPECT_EQ(p->playerY, c.expectY) << c.x << "," << c.y;
    }
}

TEST(Player, EnergyAndTheHazardBuzzFollowTheKindUnderThePlayer) {
    const int energyAfter[3] = {61, 60, 59};
    for (int kind = 0; kind < 3; ++kind)
        for (int repeat = 0; repeat < 4; ++repeat) {
            auto w = playerOn(kind);
            w->voices[6].amplitude = 0.25f;
            w->mainRandom.seed(static_cast<uint32_t>(4242 + 7 * repeat));
            const int r = test::upcomingDraws(w->mainRandom, 1)[0];
            const uint32_t before = w->mainRandom.state();
            updatePlayer(*w, KeyState{});
            EXPECT_EQ(w->energy, energyAfter[kind]);
            EXPECT_EQ(test::drawsBetween(before, w->mainRandom.state()), kind == 2 ? 1 : 0);
            const Voice& v = w->voices[6];
            EXPECT_EQ(v.amplitude, kind == 2 ? 0.25f : 0.0f) << kind;
            if (kind != 2) continue;
            EXPECT_EQ(v.period, static_cast<float>(5000 + r % 2001));
            test::expectTone(v, 0.35f, 0.9f, 0.0f);
            EXPECT_FALSE(v.attacking || v.decaying);
        }
    auto full = playerOn(0);
    full->energy = 120;
    updatePlayer(*full, KeyState{});
    EXPECT_EQ(full->energy, 120);
    auto empty = playerOn(1);  // energy 0 ends nothing off the hazard
    empty->energy = 0;
    updatePlayer(*empty, KeyState{});
    EXPECT_EQ(empty->gameOverCounter, 0);
}

TEST(Player, RunningOutOfEnergyEndsTheGameInTheSameFrame) {
    auto w = playerOn(2, 100, 100, 1);
    w->energy = 0;
    w->boostFuel = 4;
    updatePlayer(*w, keysDown({ScanCode::Right, ScanCode::Z}));
    EXPECT_EQ(w->energy, 0);
    EXPECT_EQ(w->gameOverCounter, 1);
    EXPECT_EQ(w->playerX, 102);  // the move of this frame still happens
    EXPECT_EQ(w->boostFuel, 3);
    EXPECT_EQ(w->voices[6].amplitude, 0.15f);  // the drone replaces the buzz of this frame
    EXPECT_EQ(w->voices[6].period, 150.0f);
    test::expectTone(w->voices[6], 0.8f, 0.7f, 0.0f);
}

TEST(Player, PlacementAtStartLeavesTheHazardInTheFirstFrameOnly) {
    auto w = playerOn(0, 156, 150, 0, 1);
    w->mainRandom.seed(99);
    w->TerrainGrid[780] = 2;
    const auto d = test::upcomingDraws(w->mainRandom, 4);  // the first candidate is made a hazard too
    const int x1 = (d[0] % 34) * 8 + 24, y1 = (d[1] % 24) * 8 + 24, x2 = (d[2] % 34) * 8 + 24, y2 = (d[3] % 24) * 8 + 24;
    w->TerrainGrid[static_cast<std::size_t>(playerCellOf(x1, y1))] = 2;
    ASSERT_NE(w->TerrainGrid[static_cast<std::size_t>(playerCellOf(x2, y2))], 2);
    const uint32_t before = w->mainRandom.state();
    placePlayerAtStart(*w);
    EXPECT_EQ(w->playerX, x2);
    EXPECT_EQ(w->playerY, y2);
    EXPECT_EQ(test::drawsBetween(before, w->mainRandom.state()), 4);

    auto moved = playerOn(0, 156, 150, 0, 1);  // the first test uses the cell of the frame's start
    moved->TerrainGrid[780] = 2;
    moved->playerX = 300;
    placePlayerAtStart(*moved);
    EXPECT_NE(moved->playerX, 300);

    for (int frame : {0, 2, 31}) {  // other frames, or a start off the hazard: nothing, no draw
        auto later = playerOn(frame == 0 ? 1 : 2, 156, 150, 0, frame == 0 ? 1 : frame);
        const uint32_t s = later->mainRandom.state();
        placePlayerAtStart(*later);
        EXPECT_TRUE(later->playerX == 156 && later->playerY == 150 && later->mainRandom.state() == s) << frame;
    }
}

TEST(Player, IsDrawnInItsColourFacingItsDirection) {
    for (int direction = 0; direction < 4; ++direction) {
        auto w = playerOn(0, 310, 5, direction);
        auto expected = makeWorld();
        drawPlayer(*w);
        drawGlyph(*expected, playerGlyph, 0xC0FFFF, 310, 5, direction);
        EXPECT_TRUE(w->Framebuffer == expected->Framebuffer) << direction;
    }
}

}  // namespace
}  // namespace vonkel

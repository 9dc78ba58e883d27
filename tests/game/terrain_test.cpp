#include <gtest/gtest.h>

#include "game/framebuffer.h"
#include "game/glyphs.h"
#include "game/terrain.h"
#include "game_test_support.h"

namespace vonkel {
namespace {

using test::makeWorld;

constexpr uint32_t kKindColour[3] = {0x80A040, 0x4080A0, 0xA04080};

int kindAt(const World& w, int row, int column) { return w.TerrainGrid[static_cast<std::size_t>(row * 40 + column)]; }

TEST(Terrain, FirstFrameOfAGameStartedAtTimeZero) {
    auto w = makeWorld();
    w->terrainTime = 0.0f;
    w->terrainSpeed = 0.0003f;
    stepTerrain(*w);
    EXPECT_EQ(w->terrainTime, 0.0003f);
    EXPECT_EQ(w->columnPhase, 7.0f);
    EXPECT_NEAR(w->rowPhase, 0.000084, 0.0000005);
    EXPECT_EQ(kindAt(*w, 0, 0), 2);    // v = 293
    EXPECT_EQ(kindAt(*w, 0, 39), 0);   // v = 479, n = 79
    EXPECT_EQ(kindAt(*w, 29, 0), 0);   // v = -16, n = 16
    EXPECT_EQ(kindAt(*w, 29, 39), 1);  // v = 177
    EXPECT_EQ(test::kindTotals(w->TerrainGrid), (std::array<int, 3>{382, 526, 292}));
    // The reference model agrees with the worked example, so it can serve for other states.
    const auto model = test::referenceKinds(0.0003f, 5);
    EXPECT_TRUE(std::equal(model.begin(), model.end(), w->TerrainGrid.begin()));
}

TEST(Terrain, ThresholdOffsetFollowsTheSpeedAndIsCappedAtSeventy) {
    // w = speed x 15000 rounded: 0.0003f gives 4.5000002 -> 5 (not 4), 0.002f -> 30,
    // 0.0047f -> 70.5 -> 70, 0.01f -> 150 -> capped at 70.
    struct Case { float time, speed; int w; };
    const Case cases[] = {{12.3f, 0.0003f, 5}, {57.0f, 0.0003f, 5}, {3.7f, 0.002f, 30},
                          {81.9f, 0.0047f, 70}, {44.4f, 0.01f, 70}, {0.0f, 0.01f, 70},
                          // Row 18 column 35 at this time: 1600 sin(0.1127 u) is -299.50001 with P
                          // rounded to a float (n = 100, kind 1) and -299.49999 without (kind 2).
                          {0x1.0727d2p+8f, 0.01f, 70}};
    for (const Case& c : cases) {
        auto w = makeWorld();
        w->terrainTime = c.time;
        w->terrainSpeed = c.speed;
        stepTerrain(*w);
        const float advanced = static_cast<float>(static_cast<double>(c.time) + c.speed);
        EXPECT_EQ(w->terrainTime, advanced);
        EXPECT_EQ(w->terrainSpeed, c.speed);
        const auto expected = test::referenceKinds(advanced, c.w);
        int mismatches = 0;
        for (std::size_t i = 0; i < expected.size(); ++i) mismatches += expected[i] != w->TerrainGrid[i];
        EXPECT_EQ(mismatches, 0) << "time " << c.time << " speed " << c.speed;
        // The neighbouring offset must give a different field, or the case proves nothing.
        EXPECT_NE(test::referenceKinds(advanced, c.w - 1), expected) << "time " << c.time;
    }
}

TEST(Terrain, EveryCellIsRecomputedFromTimeSpeedAndOrientationAlone) {
    auto clean = makeWorld();
    auto stale = makeWorld();
    for (World* w : {clean.get(), stale.get()}) {
        w->terrainTime = 31.4f;
        w->terrainSpeed = 0.0005f;
    }
    stale->TerrainGrid.fill(7);
    stale->columnPhase = 123.0f;
    stale->rowPhase = -55.0f;
    stepTerrain(*clean);
    stepTerrain(*stale);
    EXPECT_EQ(clean->TerrainGrid, stale->TerrainGrid);
    EXPECT_EQ(clean->columnPhase, stale->columnPhase);
    EXPECT_EQ(clean->rowPhase, stale->rowPhase);
    EXPECT_EQ(clean->Framebuffer, stale->Framebuffer);
    for (int32_t kind : clean->TerrainGrid) EXPECT_TRUE(kind >= 0 && kind <= 2);
}

TEST(Terrain, DrawsEachCellsGlyphColourAndOrientation) {
    // Orientation of a cell: (row + column div 8 + tileOrientation) mod 4; so
    // with tileOrientation 0 row 29 column 39 turns once, row 0 column 8 once,
    // row 0 column 0 not at all.
    for (int tileOrientation : {0, 1, 6}) {
        auto w = makeWorld();
        w->terrainTime = 5.5f;
        w->terrainSpeed = 0.0003f;
        w->tileOrientation = tileOrientation;
        constexpr uint32_t kMarker = 0x00010203;
        test::fillFramebuffer(*w, kMarker);
        stepTerrain(*w);
        EXPECT_EQ(w->tileOrientation, tileOrientation);

        auto expected = makeWorld();
        test::fillFramebuffer(*expected, kMarker);
        for (int r = 0; r < 30; ++r)
            for (int k = 0; k < 40; ++k) {
                const int kind = kindAt(*w, r, k);
                ASSERT_TRUE(kind >= 0 && kind <= 2);
                drawGlyph(*expected, tileGlyphs[kind], kKindColour[kind], 8 * k, 8 * r, (r + k / 8 + tileOrientation) % 4);
            }
        EXPECT_TRUE(w->Framebuffer == expected->Framebuffer) << "tileOrientation " << tileOrientation;
        const auto totals = test::kindTotals(w->TerrainGrid);
        EXPECT_GT(totals[1], 0);  // kind 0's picture looks the same in every orientation
        EXPECT_GT(totals[2], 0);
    }
    auto w = makeWorld();
    w->terrainSpeed = 0.0003f;
    stepTerrain(*w);
    auto once = makeWorld();
    // Row 29 column 39 (kind 1 in this frame) is drawn a quarter turn clockwise.
    ASSERT_EQ(kindAt(*w, 29, 39), 1);
    drawGlyph(*once, tileGlyphs[1], kKindColour[1], 312, 232, 1);
    for (int y = 232; y < 240; ++y)
        for (int x = 312; x < 320; ++x) EXPECT_EQ(test::pixel(*w, x, y), test::pixel(*once, x, y)) << x << "," << y;
}

}  // namespace
}  // namespace vonkel

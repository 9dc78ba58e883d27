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
}

// A field whose time, after this frame's advance, is `advanced`: the time
// before it is searched among the floats near advanced - speed.
std::unique_ptr<World> fieldAt(float advanced, float speed) {
    float before = static_cast<float>(static_cast<double>(advanced) - speed);
    for (int tries = 0; static_cast<float>(static_cast<double>(before) + speed) != advanced && tries < 8; ++tries) {
        before = std::nextafter(before, static_cast<float>(static_cast<double>(before) + speed) < advanced ? 1e9f : -1e9f);
    }
    auto w = makeWorld();
    w->terrainTime = before;
    w->terrainSpeed = speed;
    stepTerrain(*w);
    EXPECT_EQ(w->terrainTime, advanced) << "speed " << speed;
    return w;
}

TEST(Terrain, FasterGroundSpreadsTheHazardUpToACap) {
    // Speed x 15000, rounded, shifts every cell towards the hazard kind, and
    // no further than 70: 0.0047 (70.5) and 0.01 (150) give the same field.
    for (float advanced : {12.3f, 57.0f, 3.7f}) {
        const float speeds[] = {0.0f, 0.0003f, 0.002f, 0.0047f, 0.01f, 0.05f};
        std::vector<std::unique_ptr<World>> fields;
        for (float speed : speeds) fields.push_back(fieldAt(advanced, speed));
        for (std::size_t i = 1; i < fields.size(); ++i) {
            for (std::size_t c = 0; c < kGridCells; ++c)
                ASSERT_GE(fields[i]->TerrainGrid[c], fields[i - 1]->TerrainGrid[c]) << "speed " << speeds[i];
        }
        for (std::size_t i = 1; i <= 3; ++i)
            EXPECT_GT(test::kindTotals(fields[i]->TerrainGrid)[2], test::kindTotals(fields[i - 1]->TerrainGrid)[2])
                << "time " << advanced << " speed " << speeds[i];
        EXPECT_EQ(fields[3]->TerrainGrid, fields[4]->TerrainGrid);
        EXPECT_EQ(fields[3]->TerrainGrid, fields[5]->TerrainGrid);
    }
    // Row 18 column 35 at this time: 1600 sin(0.1127 u) is -299.50001 with the
    // row term rounded to a float (n = 100, kind 1) and -299.49999 without
    // (kind 2).
    const auto w = fieldAt(static_cast<float>(static_cast<double>(0x1.0727d2p+8f) + 0.01f), 0.01f);
    EXPECT_EQ(kindAt(*w, 18, 35), 1);
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

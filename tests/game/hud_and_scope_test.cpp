#include <gtest/gtest.h>

#include "game/frame_update.h"
#include "game/framebuffer.h"
#include "game_test_support.h"

namespace vonkel {
namespace {

using test::makeWorld;
using test::pixel;

constexpr uint32_t kMarker = 0x00112233;
constexpr uint32_t kPanel = 0x4080A0;
constexpr uint32_t kWhite = 0xFFFFFF;

void fill(World& w, int left, int top, int right, int bottom, uint32_t colour) {
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) pixel(w, x, y) = colour;
}

// The panel as its table describes it, over a marker background.
std::unique_ptr<World> expectedPanel(int energy, int fuel, int score) {
    auto w = makeWorld();
    test::fillFramebuffer(*w, kMarker);
    fill(*w, 97, 1, 222, 14, 0);
    fill(*w, 98, 2, 221, 13, kPanel);
    fill(*w, 99, 3, 220, 6, 0);
    fill(*w, 100, 4, 99 + energy, 5, 0xFFA040);
    fill(*w, 99, 8, 160, 12, 0);
    fill(*w, 100, 9, 99 + fuel, 11, kWhite);
    drawNumber(*w, score, 214, 8, kWhite);
    return w;
}

TEST(Panel, BordersWellsBarsAndScore) {
    const int cases[][3] = {{120, 60, 0}, {0, 0, 0}, {1, 1, 16}, {57, 23, 4096}, {120, 0, 1234567}};
    for (const auto& c : cases) {
        auto w = makeWorld();
        test::fillFramebuffer(*w, kMarker);
        w->energy = c[0];
        w->boostFuel = c[1];
        w->score = c[2];
        drawHud(*w);
        EXPECT_TRUE(w->Framebuffer == expectedPanel(c[0], c[1], c[2])->Framebuffer)
            << "energy " << c[0] << " fuel " << c[1] << " score " << c[2];
    }
    // Score digits: units at x = 206, the six digits over columns 171..211, rows 8..12.
    auto digits = makeWorld();
    digits->score = 888888;
    drawHud(*digits);
    EXPECT_TRUE(pixel(*digits, 171, 8) == kWhite && pixel(*digits, 211, 12) == kWhite);
    for (int y = 0; y < 20; ++y)
        for (int x = 161; x < 240; ++x)
            EXPECT_TRUE(pixel(*digits, x, y) != kWhite || (x >= 171 && x <= 211 && y >= 8 && y <= 12)) << x << "," << y;
}

// Rows of column x holding white inside the band.
std::vector<int> whiteRows(const World& w, int x) {
    std::vector<int> rows;
    for (int y = 0; y < kScreenHeight; ++y)
        if (w.Framebuffer[static_cast<std::size_t>(y * kScreenWidth + x)] == kWhite) rows.push_back(y);
    return rows;
}

std::vector<int> run(int first, int last) {
    std::vector<int> rows;
    for (int y = first; y <= last; ++y) rows.push_back(y);
    return rows;
}

std::unique_ptr<World> scopeOf(float everywhere) {
    auto w = makeWorld();
    test::fillFramebuffer(*w, kMarker);
    for (auto& slot : w->ScopeRing) slot = everywhere;
    return w;
}

TEST(Scope, BandFrameAndOutsideUntouched) {
    auto w = scopeOf(0.0f);
    drawScope(*w);
    for (int y = 0; y < kScreenHeight; ++y)
        for (int x = 0; x < kScreenWidth; ++x) {
            uint32_t expected = 0;
            if (y < 80 || y > 159) expected = kMarker;
            else if (y == 81 || y == 158) expected = kPanel;
            else if (y == 120) expected = kWhite;  // silence: one line on the zero row
            ASSERT_EQ(pixel(*w, x, y), expected) << x << "," << y;
        }
}

TEST(Scope, TraceLevelsAndConnectedRuns) {
    struct Case { float value; int row; };
    // 10 x value rounded half to even, limited to -32..31, drawn at 120 + level.
    const Case flat[] = {{5.0f, 151}, {-5.0f, 88}, {50.0f, 151}, {-1000.0f, 88}, {0.25f, 122},
                         {0.75f, 128}, {-0.25f, 118}, {3.1f, 151}, {-3.2f, 88}, {-3.3f, 88}};
    for (const Case& c : flat) {
        auto w = scopeOf(c.value);
        w->scopeWriteIndex = 517;
        drawScope(*w);
        for (int x = 0; x < kScreenWidth; ++x) ASSERT_EQ(whiteRows(*w, x), std::vector<int>{c.row}) << c.value << " column " << x;
        EXPECT_EQ(test::countColour(*w, kMarker), 160 * kScreenWidth);  // nothing outside rows 80..159
    }

    // Oldest slot first: start = scopeWriteIndex div 3 = 10; columns run over slots 10..319, 0..9.
    auto w = scopeOf(0.1f);  // level 1
    w->scopeWriteIndex = 32;
    w->ScopeRing[15] = 0.3f;   // column 5, level 3
    w->ScopeRing[9] = -0.5f;   // newest, column 319, level -5
    w->ScopeRing[110] = 2.0f;  // starting value of column 0: level 20
    drawScope(*w);
    EXPECT_EQ(whiteRows(*w, 0), run(121, 139));  // from level 20 down to 1
    EXPECT_EQ(whiteRows(*w, 1), std::vector<int>{121});
    EXPECT_EQ(whiteRows(*w, 4), std::vector<int>{121});
    EXPECT_EQ(whiteRows(*w, 5), run(121, 122));  // levels 1 then 3
    EXPECT_EQ(whiteRows(*w, 6), run(121, 122));  // 3 then 1
    EXPECT_EQ(whiteRows(*w, 100), run(121, 139));  // column 100 shows slot 110 itself
    EXPECT_EQ(whiteRows(*w, 101), run(121, 139));
    EXPECT_EQ(whiteRows(*w, 200), std::vector<int>{121});
    EXPECT_EQ(whiteRows(*w, 318), std::vector<int>{121});
    EXPECT_EQ(whiteRows(*w, 319), run(115, 120));  // 1 then -5

    // The starting value is limited like the others, so column 0 stays in the band.
    auto big = scopeOf(0.0f);
    big->ScopeRing[100] = 5.0f;
    drawScope(*big);
    EXPECT_EQ(whiteRows(*big, 0), run(120, 150));
    EXPECT_EQ(whiteRows(*big, 1), std::vector<int>{120});
    auto low = scopeOf(0.0f);
    low->ScopeRing[100] = -40.0f;
    drawScope(*low);
    EXPECT_EQ(whiteRows(*low, 0), run(88, 119));
    EXPECT_EQ(test::countColour(*low, kMarker), 160 * kScreenWidth);
}

}  // namespace
}  // namespace vonkel

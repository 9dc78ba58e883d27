#include <gtest/gtest.h>

#include <climits>

#include "game/framebuffer.h"
#include "game/game.h"
#include "game/glyphs.h"
#include "game_test_support.h"

namespace vonkel {
namespace {

using test::makeWorld;
using test::pixel;
using test::TestGlyph;

constexpr uint32_t kMarker = 0x00123456;
constexpr uint32_t kInk = 0x00ABCDEF;

TEST(DrawGlyph, SetsNonDotCharactersAndClipsEachPixelOnItsOwn) {
    auto w = makeWorld();
    test::fillFramebuffer(*w, kMarker);
    const TestGlyph mixed({"x.#.0...", "", "", "", "", "", "", ".......Z"});
    drawGlyph(*w, mixed.text, kInk, 10, 20, 0);
    EXPECT_EQ(test::countColour(*w, kInk), 4);  // '.' leaves the pixel as it was
    EXPECT_TRUE(pixel(*w, 10, 20) == kInk && pixel(*w, 12, 20) == kInk && pixel(*w, 14, 20) == kInk && pixel(*w, 17, 27) == kInk);

    const TestGlyph full({"xxxxxxxx", "xxxxxxxx", "xxxxxxxx", "xxxxxxxx", "xxxxxxxx", "xxxxxxxx", "xxxxxxxx", "xxxxxxxx"});
    struct Case { int x, y, count, firstX, firstY, lastX, lastY; };
    const Case cases[] = {
        {-4, 10, 32, 0, 10, 3, 17},      // columns 0..3 only, nothing wrapped onto the row above
        {318, 50, 16, 318, 50, 319, 57},  // nothing wrapped onto the next row
        {100, 236, 32, 100, 236, 107, 239},
        {20, -5, 24, 20, 0, 27, 2},
    };
    for (const Case& c : cases) {
        w = makeWorld();
        drawGlyph(*w, full.text, kInk, c.x, c.y, 0);
        EXPECT_EQ(test::countColour(*w, kInk), c.count) << c.x << "," << c.y;
        EXPECT_EQ(pixel(*w, c.firstX, c.firstY), kInk);
        EXPECT_EQ(pixel(*w, c.lastX, c.lastY), kInk);
    }
    // Wholly outside: nothing drawn, and nothing written past the picture.
    w = makeWorld();
    const int outside[][2] = {{-8, 0}, {320, 0}, {0, -8}, {0, 240}, {-100000, 5}, {5, 100000}, {1 << 30, -(1 << 30)}};
    for (const auto& pos : outside)
        for (int o = 0; o < 4; ++o) drawGlyph(*w, full.text, kInk, pos[0], pos[1], o);
    EXPECT_EQ(test::countColour(*w, kInk), 0);
    EXPECT_TRUE(std::all_of(w->OutputBuffer.begin(), w->OutputBuffer.end(), [](uint32_t p) { return p == 0; }));
}

TEST(DrawGlyph, OrientationKIsKQuarterTurnsClockwise) {
    // A glyph whose only set pixels are its top row; its first character alone.
    const TestGlyph top({"xxxxxxxx"});
    const TestGlyph first({"x"});
    struct Case { int orientation, firstX, firstY; bool vertical; int line; };
    const Case cases[] = {{0, 0, 0, false, 0}, {1, 7, 0, true, 7}, {2, 7, 7, false, 7}, {3, 0, 7, true, 0}};
    for (const Case& c : cases) {
        auto w = makeWorld();
        drawGlyph(*w, top.text, kInk, 40, 60, c.orientation);
        EXPECT_EQ(test::countColour(*w, kInk), 8);
        for (int j = 0; j < 8; ++j)
            EXPECT_EQ(c.vertical ? pixel(*w, 40 + c.line, 60 + j) : pixel(*w, 40 + j, 60 + c.line), kInk) << c.orientation << " " << j;
        auto v = makeWorld();
        drawGlyph(*v, first.text, kInk, 40, 60, c.orientation);
        EXPECT_EQ(pixel(*v, 40 + c.firstX, 60 + c.firstY), kInk) << c.orientation;
    }
    // A quarter turn clockwise moves cell position (cx, cy) to (7 - cy, cx).
    for (int o = 0; o < 4; ++o) {
        auto a = makeWorld(), b = makeWorld();
        drawGlyph(*a, playerGlyph, kInk, 16, 24, o);
        drawGlyph(*b, playerGlyph, kInk, 16, 24, (o + 1) % 4);
        EXPECT_EQ(test::countColour(*a, kInk), 26);
        for (int cy = 0; cy < 8; ++cy)
            for (int cx = 0; cx < 8; ++cx)
                EXPECT_EQ(pixel(*a, 16 + cx, 24 + cy), pixel(*b, 16 + 7 - cy, 24 + cx)) << o << " " << cx << "," << cy;
    }
    // Outside 0..3 the orientation is reduced modulo 4.
    const int pairs[][2] = {{-1, 3}, {5, 1}, {4, 0}, {-4, 0}, {-2, 2}, {7, 3}, {INT_MAX, 3}, {INT_MIN, 0}, {INT_MIN + 1, 1}};
    for (const auto& p : pairs) {
        auto a = makeWorld(), b = makeWorld();
        drawGlyph(*a, playerGlyph, kInk, 30, 30, p[0]);
        drawGlyph(*b, playerGlyph, kInk, 30, 30, p[1]);
        EXPECT_TRUE(a->Framebuffer == b->Framebuffer) << "orientation " << p[0];
    }
}

// drawNumber should equal the listed digits drawn with drawGlyph, lowest
// first at x - 8, each further one 7 pixels to the left.
void expectDigits(int value, std::initializer_list<int> lowestFirst, int x, int y) {
    auto actual = makeWorld(), expected = makeWorld();
    drawNumber(*actual, value, x, y, kInk);
    int k = 0;
    for (int d : lowestFirst) drawGlyph(*expected, digitGlyphs[d], kInk, x - 8 - 7 * k++, y, 0);
    EXPECT_TRUE(actual->Framebuffer == expected->Framebuffer) << "value " << value;
}

TEST(DrawNumber, SixDigitsWithLeadingZerosEndingLeftOfX) {
    expectDigits(0, {0, 0, 0, 0, 0, 0}, 214, 8);
    expectDigits(1234567, {7, 6, 5, 4, 3, 2}, 214, 8);
    expectDigits(905, {5, 0, 9, 0, 0, 0}, 100, 50);
    expectDigits(111111, {1, 1, 1, 1, 1, 1}, 20, 0);  // clipped at the left edge
    expectDigits(-42, {2, 4, 0, 0, 0, 0}, 100, 100);  // a negative value shows its magnitude
    expectDigits(INT_MIN, {8, 4, 6, 3, 8, 4}, 100, 100);
    expectDigits(INT_MAX, {7, 4, 6, 3, 8, 4}, 100, 100);
    // 888888 fills columns 0..5, rows 0..4 of each cell: x - 43 .. x - 3 with one-pixel gaps.
    auto w = makeWorld();
    drawNumber(*w, 888888, 200, 30, kInk);
    EXPECT_EQ(test::countColour(*w, kInk), 6 * 22);
    EXPECT_TRUE(pixel(*w, 157, 30) == kInk && pixel(*w, 197, 34) == kInk);
    for (int y = 0; y < kScreenHeight; ++y)
        for (int x = 0; x < kScreenWidth; ++x)
            EXPECT_TRUE(pixel(*w, x, y) != kInk || (x >= 157 && x <= 197 && (x - 157) % 7 != 6 && y >= 30 && y <= 34)) << x << "," << y;
}

TEST(DoubleFramebuffer, EveryPixelBecomesATwoByTwoBlock) {
    auto w = makeWorld();
    for (std::size_t i = 0; i < w->Framebuffer.size(); ++i) w->Framebuffer[i] = static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFFu;
    std::vector<uint32_t> out(kOutputWidth * kOutputHeight + 64, 0xDEADBEEF);
    doubleFramebuffer(*w, out.data());
    int wrong = 0;
    for (int r = 0; r < kOutputHeight; ++r)
        for (int c = 0; c < kOutputWidth; ++c) wrong += out[static_cast<std::size_t>(r * kOutputWidth + c)] != pixel(*w, c / 2, r / 2);
    EXPECT_EQ(wrong, 0);
    const uint32_t corner = pixel(*w, 319, 239);
    EXPECT_TRUE(out[478 * 640 + 638] == corner && out[478 * 640 + 639] == corner && out[479 * 640 + 638] == corner && out[479 * 640 + 639] == corner);
    EXPECT_TRUE(std::all_of(out.begin() + kOutputWidth * kOutputHeight, out.end(), [](uint32_t p) { return p == 0xDEADBEEF; }));
}

}  // namespace
}  // namespace vonkel

#pragma once
// Helpers of the game tests: a fresh World, pixels, random draws looked at
// ahead, voice tones, and the totals of the terrain kinds.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "core/keys.h"
#include "core/random.h"
#include "core/world.h"
#include "synth/voice.h"

namespace vonkel::test {

inline std::unique_ptr<World> makeWorld() { return std::make_unique<World>(); }

inline uint32_t& pixel(World& w, int x, int y) { return w.Framebuffer[static_cast<std::size_t>(y * kScreenWidth + x)]; }

inline void fillFramebuffer(World& w, uint32_t colour) { w.Framebuffer.fill(colour); }

inline int countColour(const World& w, uint32_t colour) {
    return static_cast<int>(std::count(w.Framebuffer.begin(), w.Framebuffer.end(), colour));
}

// A 64-character glyph built from up to eight rows of text; missing rows
// and characters are transparent.
struct TestGlyph {
    char text[65];
    explicit TestGlyph(std::vector<std::string> rows) {
        std::fill(text, text + 64, '.');
        text[64] = '\0';
        for (std::size_t r = 0; r < rows.size() && r < 8; ++r)
            for (std::size_t i = 0; i < rows[r].size() && i < 8; ++i) text[r * 8 + i] = rows[r][i];
    }
};

// The float constant widened to double, as every decimal constant of the game.
inline double c32(float x) { return static_cast<double>(x); }

// Expects the pulse width, cutoff and damping that setVoiceTone gives.
inline void expectTone(const Voice& v, float brightness, float resonance, float pulseWidth) {
    auto tone = makeWorld();
    setVoiceTone(*tone, 0, brightness, resonance, pulseWidth);
    EXPECT_EQ(v.pulseWidth, tone->voices[0].pulseWidth);
    EXPECT_EQ(v.cutoff, tone->voices[0].cutoff);
    EXPECT_EQ(v.damping, tone->voices[0].damping);
}

inline KeyState keysDown(std::initializer_list<int> codes) {
    KeyState k;
    for (int c : codes) k.press(c);
    return k;
}

// The next `count` draws of a generator, without consuming them.
inline std::vector<int> upcomingDraws(Random random, int count) {
    std::vector<int> draws;
    for (int i = 0; i < count; ++i) draws.push_back(random.draw());
    return draws;
}

// Number of draws taken between two generator states (searches up to `limit`).
inline int drawsBetween(uint32_t from, uint32_t to, int limit = 100000) {
    Random random(from);
    int n = 0;
    while (random.state() != to && n < limit) {
        random.draw();
        ++n;
    }
    return random.state() == to ? n : -1;
}

inline std::array<int, 3> kindTotals(const std::array<int32_t, kGridCells>& grid) {
    std::array<int, 3> totals{};
    for (int32_t kind : grid)
        if (kind >= 0 && kind <= 2) ++totals[static_cast<std::size_t>(kind)];
    return totals;
}

}  // namespace vonkel::test

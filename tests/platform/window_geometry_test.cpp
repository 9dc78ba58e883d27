#include "platform/window_geometry.h"

#include <SDL_keyboard.h>
#include <SDL_keycode.h>
#include <gtest/gtest.h>

namespace vonkel {
namespace {

TEST(WindowShortcuts, FullscreenIsF11OrAltEnterAndMuteIsM) {
    using S = WindowShortcut;
    EXPECT_EQ(shortcutForKey(SDL_SCANCODE_F11, KMOD_NONE), S::ToggleFullscreen);
    EXPECT_EQ(shortcutForKey(SDL_SCANCODE_F11, KMOD_LSHIFT), S::ToggleFullscreen);
    EXPECT_EQ(shortcutForKey(SDL_SCANCODE_RETURN, KMOD_LALT), S::ToggleFullscreen);
    EXPECT_EQ(shortcutForKey(SDL_SCANCODE_RETURN, KMOD_RALT), S::ToggleFullscreen);
    EXPECT_EQ(shortcutForKey(SDL_SCANCODE_M, KMOD_NONE), S::ToggleMute);
    EXPECT_EQ(shortcutForKey(SDL_SCANCODE_M, KMOD_CAPS), S::ToggleMute);
    EXPECT_EQ(shortcutForKey(SDL_SCANCODE_2, KMOD_RCTRL), S::Zoom2);
    EXPECT_EQ(shortcutForKey(SDL_SCANCODE_KP_4, KMOD_LCTRL), S::Zoom4);

    // Enter alone is the game's, and other modifiers make other shortcuts.
    EXPECT_EQ(shortcutForKey(SDL_SCANCODE_RETURN, KMOD_NONE), S::None);
    EXPECT_EQ(shortcutForKey(SDL_SCANCODE_RETURN, KMOD_LALT | KMOD_LCTRL), S::None);
    EXPECT_EQ(shortcutForKey(SDL_SCANCODE_F11, KMOD_LCTRL), S::None);
    EXPECT_EQ(shortcutForKey(SDL_SCANCODE_F11, KMOD_LGUI), S::None);
    EXPECT_EQ(shortcutForKey(SDL_SCANCODE_M, KMOD_LCTRL), S::None);
    EXPECT_EQ(shortcutForKey(SDL_SCANCODE_M, KMOD_LALT), S::None);
    EXPECT_EQ(shortcutForKey(SDL_SCANCODE_Z, KMOD_NONE), S::None);
    EXPECT_EQ(shortcutForKey(SDL_SCANCODE_ESCAPE, KMOD_NONE), S::None);
    EXPECT_EQ(shortcutForKey(SDL_SCANCODE_3, KMOD_LCTRL), S::None);

    // Zoom: Ctrl with 1, 2 or 4 (Num Lock aside), never with Alt, never without Ctrl.
    EXPECT_EQ(shortcutForKey(SDL_SCANCODE_1, KMOD_LCTRL | KMOD_NUM), S::Zoom1);
    EXPECT_EQ(shortcutForKey(SDL_SCANCODE_KP_2, KMOD_LCTRL), S::Zoom2);
    EXPECT_EQ(shortcutForKey(SDL_SCANCODE_4, KMOD_LCTRL | KMOD_LSHIFT), S::Zoom4);
    EXPECT_EQ(shortcutForKey(SDL_SCANCODE_2, KMOD_LSHIFT), S::None);
    EXPECT_EQ(shortcutForKey(SDL_SCANCODE_2, KMOD_LCTRL | KMOD_LALT), S::None);
    // The game's keys stay the game's, with or without Ctrl.
    for (SDL_Scancode key : {SDL_SCANCODE_UP, SDL_SCANCODE_DOWN, SDL_SCANCODE_LEFT, SDL_SCANCODE_RIGHT,
                             SDL_SCANCODE_Z, SDL_SCANCODE_RETURN, SDL_SCANCODE_ESCAPE}) {
        EXPECT_EQ(shortcutForKey(key, KMOD_LCTRL), S::None) << SDL_GetScancodeName(key);
        EXPECT_EQ(shortcutForKey(key, KMOD_NONE), S::None) << SDL_GetScancodeName(key);
    }
}

TEST(LetterboxRect, KeepsTheShapeCentredBetweenBars) {
    struct Case { int w, h; WindowRect expected; };
    const Case cases[] = {
        {1920, 1080, {240, 0, 1440, 1080}},   // wide: bars left and right
        {1280, 1024, {0, 32, 1280, 960}},     // tall: bars above and below
        {640, 480, {0, 0, 640, 480}},         // the image's own shape: no bars
        {1365, 768, {170, 0, 1024, 768}},     // odd margin: the extra pixel goes right
        {1, 1000, {0, 500, 1, 0}},            // too narrow for a whole row
    };
    for (const Case& c : cases) {
        const WindowRect r = letterboxRect(c.w, c.h, 640, 480);
        EXPECT_EQ(r.x, c.expected.x) << c.w << "x" << c.h;
        EXPECT_EQ(r.y, c.expected.y) << c.w << "x" << c.h;
        EXPECT_EQ(r.width, c.expected.width) << c.w << "x" << c.h;
        EXPECT_EQ(r.height, c.expected.height) << c.w << "x" << c.h;
    }
    const WindowRect none = letterboxRect(0, 1080, 640, 480);
    EXPECT_EQ(none.width, 0);
    EXPECT_EQ(none.height, 0);
}

TEST(HeadlessDriver, OnlyAnUnaskedFallbackMeansNoDisplay) {
    EXPECT_TRUE(fellBackToHeadlessDriver("offscreen", nullptr));
    EXPECT_TRUE(fellBackToHeadlessDriver("dummy", nullptr));
    EXPECT_TRUE(fellBackToHeadlessDriver("offscreen", "x11"));
    EXPECT_TRUE(fellBackToHeadlessDriver("offscreen", "x11,dummy"));
    EXPECT_FALSE(fellBackToHeadlessDriver("dummy", "dummy"));
    EXPECT_FALSE(fellBackToHeadlessDriver("offscreen", "OFFSCREEN"));
    EXPECT_FALSE(fellBackToHeadlessDriver("offscreen", "x11,offscreen"));
    EXPECT_FALSE(fellBackToHeadlessDriver("x11", nullptr));
    EXPECT_FALSE(fellBackToHeadlessDriver("wayland", nullptr));
    EXPECT_FALSE(fellBackToHeadlessDriver(nullptr, nullptr));
    EXPECT_TRUE(fellBackToHeadlessDriver("dummy", "dumm"));
}

TEST(VideoDrivers, LeavesOutWhatCannotShowOrCannotConnect) {
    const std::vector<std::string> all = {"x11", "wayland", "KMSDRM", "offscreen", "dummy", "evdev"};
    EXPECT_EQ(videoDriversToTry(all, false), "x11,KMSDRM,evdev");
    EXPECT_EQ(videoDriversToTry(all, true), "x11,wayland,KMSDRM,evdev");
    EXPECT_EQ(videoDriversToTry({"x11", "wayland"}, true), "");  // nothing to leave out: SDL's own choice
    EXPECT_EQ(videoDriversToTry({"offscreen"}, true), "");

    EXPECT_TRUE(waylandSocketNamed(nullptr, "/run/user/1000"));
    EXPECT_TRUE(waylandSocketNamed("/tmp/wayland-1", nullptr));
    EXPECT_FALSE(waylandSocketNamed("wayland-0", nullptr));
    EXPECT_FALSE(waylandSocketNamed(nullptr, ""));
    EXPECT_FALSE(waylandSocketNamed(nullptr, nullptr));
}

}  // namespace
}  // namespace vonkel

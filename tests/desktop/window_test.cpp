// The game's window: the pure rules (shortcuts, zoom and letterbox
// arithmetic, the video driver's choice, pixel formats) and the real window
// on SDL's display-less video driver.
#include "desktop/window/window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include "desktop/window/video_driver.h"

#include <cstdlib>
#include <vector>

namespace vonkel {
namespace {

TEST(ConverterForPixelFormat, MatchesTheWindowFormatsOfCommonDisplays) {
    EXPECT_EQ(converterForPixelFormat(SDL_PIXELFORMAT_RGB888), copyRow32);
    EXPECT_EQ(converterForPixelFormat(SDL_PIXELFORMAT_ARGB8888), copyRow32);
    EXPECT_EQ(converterForPixelFormat(SDL_PIXELFORMAT_BGR888), swapRow32);
    EXPECT_EQ(converterForPixelFormat(SDL_PIXELFORMAT_ABGR8888), swapRow32);
    EXPECT_EQ(converterForPixelFormat(SDL_PIXELFORMAT_BGR24), packRow24);         // bytes B, G, R
    EXPECT_EQ(converterForPixelFormat(SDL_PIXELFORMAT_RGB24), packRow24Swapped);  // bytes R, G, B
    EXPECT_EQ(converterForPixelFormat(SDL_PIXELFORMAT_RGB565), packRow565);
    EXPECT_EQ(converterForPixelFormat(SDL_PIXELFORMAT_BGR565), packRow565Swapped);
    // 15 significant bits in a 16-bit word.
    EXPECT_EQ(converterForPixelFormat(SDL_PIXELFORMAT_RGB555), packRow555);
    EXPECT_EQ(converterForPixelFormat(SDL_PIXELFORMAT_BGR555), packRow555Swapped);
}

TEST(ConverterForPixelFormat, RejectsFormatsWithoutAConverter) {
    for (Uint32 format : {SDL_PIXELFORMAT_INDEX8, SDL_PIXELFORMAT_INDEX1LSB, SDL_PIXELFORMAT_RGB332,
                          SDL_PIXELFORMAT_RGB444, SDL_PIXELFORMAT_RGBA8888, SDL_PIXELFORMAT_BGRA8888,
                          SDL_PIXELFORMAT_ARGB2101010, SDL_PIXELFORMAT_YV12, SDL_PIXELFORMAT_UNKNOWN}) {
        EXPECT_EQ(converterForPixelFormat(format), nullptr) << SDL_GetPixelFormatName(format);
    }
}

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

TEST(ZoomedClientRect, OuterSizeScalesAndIsCentred) {
    const WindowRect display{0, 0, 1920, 1080};
    WindowRect r = zoomedClientRect(1, 640, 480, {}, display);
    EXPECT_EQ(r.x, 640);
    EXPECT_EQ(r.y, 300);
    EXPECT_EQ(r.width, 640);
    EXPECT_EQ(r.height, 480);

    // Borders: outer 648 x 514, twice that is 1296 x 1028; the client area is
    // the outer size less the borders, inside the centred outer frame.
    const WindowBorders borders{30, 4, 4, 4};
    r = zoomedClientRect(2, 640, 480, borders, display);
    EXPECT_EQ(r.width, 1288);
    EXPECT_EQ(r.height, 994);
    EXPECT_EQ(r.x, 312 + 4);
    EXPECT_EQ(r.y, 26 + 30);

    // Back at 1 x 1 with the same borders: the initial client size again.
    r = zoomedClientRect(1, 640, 480, borders, display);
    EXPECT_EQ(r.width, 640);
    EXPECT_EQ(r.height, 480);
}

TEST(ZoomedClientRect, LargerThanTheDisplayOverhangsBothEdgesOnItsDisplay) {
    // Outer 2592 x 2056 on a 1921 x 1080 display to the right of another:
    // (1921 - 2592) >> 1 = -336 (rounded down, not towards zero).
    const WindowRect r = zoomedClientRect(4, 640, 480, {30, 4, 4, 4}, {1920, 0, 1921, 1080});
    EXPECT_EQ(r.x, 1920 - 336 + 4);
    EXPECT_EQ(r.y, -488 + 30);
    EXPECT_EQ(r.width, 2592 - 8);
    EXPECT_EQ(r.height, 2056 - 34);
}

// The presenter on SDL's display-less video driver: real windows, renderer
// and texture, without a display server.
class Presenter : public ::testing::Test {
protected:
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 48;

    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        image.resize(kWidth * kHeight);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                image[static_cast<size_t>(y * kWidth + x)] =
                    static_cast<uint32_t>(x * 4) << 16 | static_cast<uint32_t>(y * 5) << 8 | static_cast<uint32_t>((x ^ y) & 0xFF);
            }
        }
    }
    std::string open(int width = kWidth, int height = kHeight, WindowStart start = {}) {
        const std::string error = presenter.open("vonkel", width, height, start);
        window = presenter.sdlWindow();
        return error;
    }

    // The window's pixels as 0x00RRGGBB.
    std::vector<uint32_t> readWindow(int width, int height) {
        std::vector<uint32_t> pixels(static_cast<size_t>(width * height));
        SDL_Renderer* renderer = SDL_GetRenderer(window);
        EXPECT_NE(renderer, nullptr);
        EXPECT_EQ(SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGB888, pixels.data(), width * 4), 0)
            << SDL_GetError();
        for (uint32_t& p : pixels) p &= 0xFFFFFF;
        return pixels;
    }

    static void pushKey(SDL_Scancode key, Uint16 modifiers) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.state = SDL_PRESSED;
        event.key.keysym.scancode = key;
        event.key.keysym.mod = modifiers;
        SDL_PushEvent(&event);
    }

    vonkel::Window presenter;
    SDL_Window* window = nullptr;
    std::vector<uint32_t> image;
};

TEST_F(Presenter, ShowsTheImageAndStretchesItOverTheWholeWindow) {
    ASSERT_EQ(open(), "");
    ASSERT_NE(window, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(window), "vonkel");
    int w = 0, h = 0;
    SDL_GetWindowSize(window, &w, &h);
    EXPECT_EQ(w, kWidth);
    EXPECT_EQ(h, kHeight);
    EXPECT_NE(SDL_GetWindowFlags(window) & SDL_WINDOW_RESIZABLE, 0u);

    ASSERT_TRUE(presenter.present(image.data()));
    EXPECT_EQ(readWindow(kWidth, kHeight), image);

    // Any window size: every pixel is its nearest image pixel.
    SDL_SetWindowSize(window, kWidth * 3, kHeight * 2);
    ASSERT_TRUE(presenter.present(image.data()));
    const std::vector<uint32_t> stretched = readWindow(kWidth * 3, kHeight * 2);
    int wrong = 0;
    for (int y = 0; y < kHeight * 2; ++y) {
        for (int x = 0; x < kWidth * 3; ++x) {
            const uint32_t expected = image[static_cast<size_t>((y / 2) * kWidth + x / 3)];
            wrong += stretched[static_cast<size_t>(y * kWidth * 3 + x)] != expected;
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(Presenter, ZoomShortcutsScaleTheWindowAndCentreIt) {
    ASSERT_EQ(open(), "");
    SDL_Rect display{};
    ASSERT_EQ(SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window), &display), 0);

    for (int factor : {2, 4, 1}) {
        pushKey(factor == 1 ? SDL_SCANCODE_1 : factor == 2 ? SDL_SCANCODE_2 : SDL_SCANCODE_4, KMOD_LCTRL);
        presenter.takeEvents();
        presenter.present(image.data());
        int w = 0, h = 0, x = 0, y = 0;
        SDL_GetWindowSize(window, &w, &h);
        SDL_GetWindowPosition(window, &x, &y);
        EXPECT_EQ(w, factor * kWidth) << factor;
        EXPECT_EQ(h, factor * kHeight) << factor;
        EXPECT_EQ(x, display.x + (display.w - w) / 2) << factor;
        EXPECT_EQ(y, display.y + (display.h - h) / 2) << factor;
    }

    // Without Ctrl the digit is an ordinary key.
    pushKey(SDL_SCANCODE_2, KMOD_NONE);
    presenter.takeEvents();
    presenter.present(image.data());
    int w = 0, h = 0;
    SDL_GetWindowSize(window, &w, &h);
    EXPECT_EQ(w, kWidth);
    EXPECT_EQ(h, kHeight);
}

TEST_F(Presenter, KeepsTheScreenSaverOffWhileOpen) {
    // Let SDL leave the screen saver alone, so that only the presenter switches it.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    ASSERT_EQ(open(), "");
    EXPECT_FALSE(SDL_IsScreenSaverEnabled());
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, nullptr);
}

TEST_F(Presenter, AFailedOpenLeavesNothingBehindAndAnotherOpenWorks) {
    setenv("SDL_VIDEODRIVER", "no-such-video-driver", 1);
    EXPECT_NE(open(), "");
    EXPECT_EQ(window, nullptr);
    EXPECT_FALSE(presenter.present(image.data()));

    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(open(), "");
    EXPECT_TRUE(presenter.present(image.data()));
    ASSERT_EQ(open(), "") << "opening again replaces the window";
    EXPECT_TRUE(presenter.present(image.data()));
}

TEST_F(Presenter, FullscreenKeepsTheShapeBetweenBlackBars) {
    // An image twice as wide as tall on the dummy display (1024 x 768).
    constexpr int kWide = 64, kFlat = 32;
    std::vector<uint32_t> flat(static_cast<size_t>(kWide * kFlat));
    for (size_t i = 0; i < flat.size(); ++i) flat[i] = 0x102030u + static_cast<uint32_t>(i % kWide) * 0x010101u;
    ASSERT_EQ(open(kWide, kFlat), "");
    pushKey(SDL_SCANCODE_F11, KMOD_NONE);
    presenter.takeEvents();
    ASSERT_TRUE(presenter.present(flat.data()));
    ASSERT_NE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN, 0u);
    ASSERT_TRUE(presenter.present(flat.data()));  // the first frame at the new size
    int w = 0, h = 0;
    SDL_GetRendererOutputSize(SDL_GetRenderer(window), &w, &h);
    ASSERT_GT(w, 0);
    const WindowRect r = letterboxRect(w, h, kWide, kFlat);
    ASSERT_GT(r.y, 0) << "the display should be taller than the image's shape";
    const std::vector<uint32_t> pixels = readWindow(w, h);
    int wrong = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool inside = x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
            const uint32_t expected =
                inside ? flat[static_cast<size_t>((y - r.y) * kFlat / r.height * kWide + (x - r.x) * kWide / r.width)]
                       : 0u;
            wrong += pixels[static_cast<size_t>(y * w + x)] != expected;
        }
    }
    EXPECT_EQ(wrong, 0);

    // Zoom keys do nothing in fullscreen; Alt+Enter leaves it.
    pushKey(SDL_SCANCODE_2, KMOD_LCTRL);
    presenter.takeEvents();
    presenter.present(flat.data());
    EXPECT_NE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN, 0u);
    pushKey(SDL_SCANCODE_RETURN, KMOD_LALT);
    presenter.takeEvents();
    presenter.present(flat.data());
    EXPECT_EQ(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN, 0u);
    // The window's size and place come back from the window manager; the
    // end-to-end checks see them under a real one.
}

TEST_F(Presenter, OpensZoomedOrFullscreenWhenAsked) {
    ASSERT_EQ(open(kWidth, kHeight, {2, false}), "");
    int w = 0, h = 0;
    SDL_GetWindowSize(window, &w, &h);
    EXPECT_EQ(w, 2 * kWidth);
    EXPECT_EQ(h, 2 * kHeight);

    ASSERT_EQ(open(kWidth, kHeight, {1, true}), "");
    EXPECT_NE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN, 0u);
    pushKey(SDL_SCANCODE_F11, KMOD_NONE);
    presenter.takeEvents();
    presenter.present(image.data());
    EXPECT_EQ(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN, 0u);
}

TEST_F(Presenter, TheWindowsEventsAskForMuteAndQuit) {
    ASSERT_EQ(open(), "");
    EXPECT_FALSE(presenter.takeEvents().toggleMute);
    pushKey(SDL_SCANCODE_M, KMOD_NONE);
    EXPECT_TRUE(presenter.takeEvents().toggleMute);
    EXPECT_FALSE(presenter.takeEvents().toggleMute);  // taken once
    pushKey(SDL_SCANCODE_M, KMOD_NONE);
    pushKey(SDL_SCANCODE_M, KMOD_NONE);
    EXPECT_FALSE(presenter.takeEvents().toggleMute);  // twice is back where it was

    // A close request (the close button, or SIGINT/SIGTERM as SDL_QUIT) is
    // handed to the frame loop, which shuts down in order.
    for (const auto& [type, windowEvent] : {std::pair<Uint32, Uint8>{SDL_WINDOWEVENT, SDL_WINDOWEVENT_CLOSE}, {SDL_QUIT, 0}}) {
        SDL_Event event{};
        event.type = type;
        event.window.event = windowEvent;
        event.window.windowID = SDL_GetWindowID(window);
        SDL_PushEvent(&event);
        EXPECT_TRUE(presenter.takeEvents().quit) << type;
        EXPECT_FALSE(presenter.takeEvents().quit);
    }
}

TEST_F(Presenter, WithoutADisplayTheFailureSaysSo) {
    setenv("SDL_VIDEODRIVER", "x11", 1);
    const char* display = getenv("DISPLAY");
    const std::string saved = display != nullptr ? display : "";
    unsetenv("DISPLAY");
    const std::string opening = open();
    if (!saved.empty()) setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_EQ(opening, "vonkel: no display (set DISPLAY or WAYLAND_DISPLAY; vonkel-lab runs headless)");

    // A driver SDL does not have is named as such, not as a missing display.
    setenv("SDL_VIDEODRIVER", "bogus", 1);
    const std::string bogus = open();
    EXPECT_EQ(bogus.rfind("vonkel: SDL_VIDEODRIVER='bogus' names no video driver (drivers: x11", 0), 0u)
        << bogus;
}

}  // namespace
}  // namespace vonkel

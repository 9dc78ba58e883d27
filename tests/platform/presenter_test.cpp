#include "platform/presenter.h"
#include "platform/window_events.h"

#include <SDL.h>
#include <gtest/gtest.h>

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
    void TearDown() override { closePresenter(); }

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

    SDL_Window* window = nullptr;
    std::vector<uint32_t> image;
};

TEST_F(Presenter, ShowsTheImageAndStretchesItOverTheWholeWindow) {
    ASSERT_TRUE(openPresenter("vonkel", kWidth, kHeight, &window)) << SDL_GetError();
    ASSERT_NE(window, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(window), "vonkel");
    int w = 0, h = 0;
    SDL_GetWindowSize(window, &w, &h);
    EXPECT_EQ(w, kWidth);
    EXPECT_EQ(h, kHeight);
    EXPECT_NE(SDL_GetWindowFlags(window) & SDL_WINDOW_RESIZABLE, 0u);

    ASSERT_TRUE(presentFrame(image.data()));
    EXPECT_EQ(readWindow(kWidth, kHeight), image);

    // Any window size: every pixel is its nearest image pixel.
    SDL_SetWindowSize(window, kWidth * 3, kHeight * 2);
    ASSERT_TRUE(presentFrame(image.data()));
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
    ASSERT_TRUE(openPresenter("vonkel", kWidth, kHeight, &window)) << SDL_GetError();
    SDL_Rect display{};
    ASSERT_EQ(SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window), &display), 0);

    for (int factor : {2, 4, 1}) {
        pushKey(factor == 1 ? SDL_SCANCODE_1 : factor == 2 ? SDL_SCANCODE_2 : SDL_SCANCODE_4, KMOD_LCTRL);
        pumpWindowEvents();
        presentFrame(image.data());
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
    pumpWindowEvents();
    presentFrame(image.data());
    int w = 0, h = 0;
    SDL_GetWindowSize(window, &w, &h);
    EXPECT_EQ(w, kWidth);
    EXPECT_EQ(h, kHeight);
}

TEST_F(Presenter, KeepsTheScreenSaverOffWhileOpen) {
    // Let SDL leave the screen saver alone, so that only the presenter switches it.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    ASSERT_TRUE(openPresenter("vonkel", kWidth, kHeight, &window)) << SDL_GetError();
    EXPECT_FALSE(SDL_IsScreenSaverEnabled());
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, nullptr);
}

TEST_F(Presenter, AFailedOpenLeavesNothingBehind) {
    setenv("SDL_VIDEODRIVER", "no-such-video-driver", 1);
    EXPECT_FALSE(openPresenter("vonkel", kWidth, kHeight, &window));
    EXPECT_EQ(window, nullptr);
    EXPECT_FALSE(presentFrame(image.data()));
    closePresenter();

    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_TRUE(openPresenter("vonkel", kWidth, kHeight, &window)) << SDL_GetError();
    EXPECT_TRUE(presentFrame(image.data()));
}

TEST_F(Presenter, CloseAndReopen) {
    ASSERT_TRUE(openPresenter("vonkel", kWidth, kHeight, &window));
    closePresenter();
    closePresenter();  // a second close does nothing
    EXPECT_FALSE(presentFrame(image.data()));
    ASSERT_TRUE(openPresenter("vonkel", kWidth, kHeight, &window));
    EXPECT_TRUE(presentFrame(image.data()));
}

TEST_F(Presenter, FullscreenKeepsTheShapeBetweenBlackBars) {
    // An image twice as wide as tall on the dummy display (1024 x 768).
    constexpr int kWide = 64, kFlat = 32;
    std::vector<uint32_t> flat(static_cast<size_t>(kWide * kFlat));
    for (size_t i = 0; i < flat.size(); ++i) flat[i] = 0x102030u + static_cast<uint32_t>(i % kWide) * 0x010101u;
    ASSERT_TRUE(openPresenter("vonkel", kWide, kFlat, &window)) << SDL_GetError();
    pushKey(SDL_SCANCODE_F11, KMOD_NONE);
    pumpWindowEvents();
    ASSERT_TRUE(presentFrame(flat.data()));
    ASSERT_NE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN, 0u);
    ASSERT_TRUE(presentFrame(flat.data()));  // the first frame at the new size
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
    pumpWindowEvents();
    presentFrame(flat.data());
    EXPECT_NE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN, 0u);
    pushKey(SDL_SCANCODE_RETURN, KMOD_LALT);
    pumpWindowEvents();
    presentFrame(flat.data());
    EXPECT_EQ(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN, 0u);
    // The window's size and place come back from the window manager; the
    // end-to-end checks see them under a real one.
}

TEST_F(Presenter, OpensZoomedOrFullscreenWhenAsked) {
    ASSERT_TRUE(openPresenter("vonkel", kWidth, kHeight, &window, {2, false})) << SDL_GetError();
    int w = 0, h = 0;
    SDL_GetWindowSize(window, &w, &h);
    EXPECT_EQ(w, 2 * kWidth);
    EXPECT_EQ(h, 2 * kHeight);
    closePresenter();

    ASSERT_TRUE(openPresenter("vonkel", kWidth, kHeight, &window, {1, true})) << SDL_GetError();
    EXPECT_NE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN, 0u);
    pushKey(SDL_SCANCODE_F11, KMOD_NONE);
    pumpWindowEvents();
    presentFrame(image.data());
    EXPECT_EQ(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN, 0u);
}

TEST_F(Presenter, TheWindowsEventsAskForMuteAndQuit) {
    ASSERT_TRUE(openPresenter("vonkel", kWidth, kHeight, &window)) << SDL_GetError();
    EXPECT_FALSE(pumpWindowEvents().toggleMute);
    pushKey(SDL_SCANCODE_M, KMOD_NONE);
    EXPECT_TRUE(pumpWindowEvents().toggleMute);
    EXPECT_FALSE(pumpWindowEvents().toggleMute);  // taken once
    pushKey(SDL_SCANCODE_M, KMOD_NONE);
    pushKey(SDL_SCANCODE_M, KMOD_NONE);
    EXPECT_FALSE(pumpWindowEvents().toggleMute);  // twice is back where it was

    // A close request (the close button, or SIGINT/SIGTERM as SDL_QUIT) is
    // handed to the frame loop, which shuts down in order.
    for (const auto& [type, windowEvent] : {std::pair<Uint32, Uint8>{SDL_WINDOWEVENT, SDL_WINDOWEVENT_CLOSE}, {SDL_QUIT, 0}}) {
        SDL_Event event{};
        event.type = type;
        event.window.event = windowEvent;
        event.window.windowID = SDL_GetWindowID(window);
        SDL_PushEvent(&event);
        EXPECT_TRUE(pumpWindowEvents().quit) << type;
        EXPECT_FALSE(pumpWindowEvents().quit);
    }
}

TEST_F(Presenter, WithoutADisplayTheFailureSaysSo) {
    setenv("SDL_VIDEODRIVER", "x11", 1);
    const char* display = getenv("DISPLAY");
    const std::string saved = display != nullptr ? display : "";
    unsetenv("DISPLAY");
    const PresenterOpening opening = openPresenter("vonkel", kWidth, kHeight, &window);
    if (!saved.empty()) setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_FALSE(opening);
    EXPECT_EQ(opening.failure, PresenterOpening::Failure::NoDisplay);
    EXPECT_EQ(opening.message, "vonkel: no display (set DISPLAY or WAYLAND_DISPLAY; vonkel-lab runs headless)");

    // A driver SDL does not have is named as such, not as a missing display.
    setenv("SDL_VIDEODRIVER", "bogus", 1);
    const PresenterOpening bogus = openPresenter("vonkel", kWidth, kHeight, &window);
    EXPECT_FALSE(bogus);
    EXPECT_EQ(bogus.message.rfind("vonkel: SDL_VIDEODRIVER='bogus' names no video driver (drivers: x11", 0), 0u)
        << bogus.message;
}

}  // namespace
}  // namespace vonkel

#include "platform/gamepad.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

namespace vonkel {
namespace {

std::set<int> keysOf(const PadState& pad, bool hasFocus = true) {
    KeyState keys{};
    pressPadKeys(keys, pad, hasFocus);
    std::set<int> down;
    for (int code = 0; code < 256; ++code) {
        if (keys.isKeyDown(code)) down.insert(code);
    }
    return down;
}

TEST(PadKeys, ButtonsAndDpadActAsTheGameKeys) {
    using namespace ScanCode;
    EXPECT_TRUE(keysOf({}).empty());
    PadState pad;
    pad.up = true;
    EXPECT_EQ(keysOf(pad), std::set<int>{Up});
    pad = {};
    pad.down = pad.right = true;
    EXPECT_EQ(keysOf(pad), (std::set<int>{Down, Right}));
    pad = {};
    pad.left = true;
    EXPECT_EQ(keysOf(pad), std::set<int>{Left});
    pad = {};
    pad.a = true;
    EXPECT_EQ(keysOf(pad), std::set<int>{Z});
    pad = {};
    pad.b = true;
    EXPECT_EQ(keysOf(pad), std::set<int>{Z});
    pad = {};
    pad.start = true;
    EXPECT_EQ(keysOf(pad), std::set<int>{Escape});
}

TEST(PadKeys, StickSteersOnlyPastTheDeadZone) {
    using namespace ScanCode;
    struct Case { int x, y; std::set<int> keys; };
    const Case cases[] = {
        {kStickDeadZone, -kStickDeadZone, {}},  // on the edge: still at rest
        {kStickDeadZone + 1, 0, {Right}},
        {-kStickDeadZone - 1, 0, {Left}},
        {0, kStickDeadZone + 1, {Down}},
        {0, -32768, {Up}},
        {32767, 32767, {Right, Down}},
        {-3000, 2500, {}},
    };
    for (const Case& c : cases) {
        PadState pad;
        pad.stickX = c.x;
        pad.stickY = c.y;
        EXPECT_EQ(keysOf(pad), c.keys) << c.x << "," << c.y;
    }
}

TEST(PadKeys, NothingIsHeldWithoutTheFocus) {
    PadState pad;
    pad.up = pad.a = pad.start = true;
    pad.stickX = 32767;
    EXPECT_TRUE(keysOf(pad, false).empty());
    // The keyboard's keys stay as they are.
    KeyState keys{};
    keys.press(ScanCode::Left);
    pressPadKeys(keys, pad, false);
    EXPECT_TRUE(keys.isKeyDown(ScanCode::Left));
    EXPECT_FALSE(keys.isKeyDown(ScanCode::Up));
}

TEST(PadKeys, MergedPadsHoldWhatEitherHolds) {
    PadState first, second;
    first.up = true;
    first.stickX = 20000;
    first.stickY = 100;
    second.a = true;
    second.stickX = -30000;
    second.stickY = -50;
    const PadState merged = mergePads(first, second);
    EXPECT_TRUE(merged.up && merged.a);
    EXPECT_FALSE(merged.down || merged.left || merged.right || merged.b || merged.start);
    EXPECT_EQ(merged.stickX, -30000);
    EXPECT_EQ(merged.stickY, 100);
}

// A controller made by SDL itself (no hardware), under the dummy video
// driver: plugged in while the pads are already running, then unplugged.
class VirtualPad : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
    }
    void TearDown() override { SDL_Quit(); }

    static int attach() {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        desc.name = "vonkel test pad";
        return SDL_JoystickAttachVirtualEx(&desc);
    }
};

TEST_F(VirtualPad, PluggedInLaterActsOnTheKeysAndUnpluggedLetsGo) {
    Gamepads pads;
    pads.poll();
    EXPECT_EQ(pads.openCount(), 0);

    const int index = attach();
    ASSERT_GE(index, 0) << SDL_GetError();
    SDL_Joystick* device = SDL_JoystickOpen(index);
    ASSERT_NE(device, nullptr) << SDL_GetError();
    SDL_PumpEvents();
    pads.poll();
    ASSERT_EQ(pads.openCount(), 1);
    EXPECT_TRUE(keysOf(pads.state()).empty());

    SDL_JoystickSetVirtualButton(device, SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_PRESSED);
    SDL_JoystickSetVirtualButton(device, SDL_CONTROLLER_BUTTON_B, SDL_PRESSED);
    SDL_JoystickSetVirtualAxis(device, SDL_CONTROLLER_AXIS_LEFTY, 30000);
    SDL_PumpEvents();
    pads.poll();
    EXPECT_EQ(keysOf(pads.state()), (std::set<int>{ScanCode::Left, ScanCode::Z, ScanCode::Down}));

    SDL_JoystickSetVirtualButton(device, SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_RELEASED);
    SDL_JoystickSetVirtualButton(device, SDL_CONTROLLER_BUTTON_B, SDL_RELEASED);
    SDL_JoystickSetVirtualButton(device, SDL_CONTROLLER_BUTTON_START, SDL_PRESSED);
    SDL_JoystickSetVirtualAxis(device, SDL_CONTROLLER_AXIS_LEFTY, 0);
    SDL_PumpEvents();
    pads.poll();
    EXPECT_EQ(keysOf(pads.state()), std::set<int>{ScanCode::Escape});

    SDL_JoystickClose(device);
    ASSERT_EQ(SDL_JoystickDetachVirtual(index), 0) << SDL_GetError();
    SDL_PumpEvents();
    pads.poll();
    EXPECT_EQ(pads.openCount(), 0);
    EXPECT_TRUE(keysOf(pads.state()).empty());
}

}  // namespace
}  // namespace vonkel

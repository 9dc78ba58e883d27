// The frame's keys: the keyboard's snapshot through the key table, the
// pads' controls as game keys, and a controller plugged in while the game
// runs.
#include "desktop/input/input.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <vector>

namespace vonkel {
namespace {

class Snapshot : public ::testing::Test {
protected:
    void hold(SDL_Scancode key) { host[static_cast<size_t>(key)] = 1; }
    std::vector<uint8_t> host = std::vector<uint8_t>(SDL_NUM_SCANCODES, 0);
    KeyState state;
};

TEST_F(Snapshot, TheGameKeysReadAsTheirScanCodes) {
    const std::pair<SDL_Scancode, int> keys[] = {
        {SDL_SCANCODE_ESCAPE, ScanCode::Escape}, {SDL_SCANCODE_RETURN, ScanCode::Enter}, {SDL_SCANCODE_Z, ScanCode::Z},
        {SDL_SCANCODE_UP, ScanCode::Up}, {SDL_SCANCODE_LEFT, ScanCode::Left}, {SDL_SCANCODE_RIGHT, ScanCode::Right},
        {SDL_SCANCODE_DOWN, ScanCode::Down}};
    for (const auto& [host, code] : keys) {
        hold(host);
        snapshotKeys(state, this->host.data(), SDL_NUM_SCANCODES, true);
        EXPECT_TRUE(state.isKeyDown(code)) << SDL_GetScancodeName(host);
        this->host.assign(this->host.size(), 0);
    }
    // Only the main keyboard's Enter boosts.
    hold(SDL_SCANCODE_KP_ENTER);
    snapshotKeys(state, host.data(), SDL_NUM_SCANCODES, true);
    EXPECT_FALSE(state.isKeyDown(ScanCode::Enter));
}

TEST_F(Snapshot, HeldKeysReadDownAndNothingElse) {
    hold(SDL_SCANCODE_UP);
    hold(SDL_SCANCODE_Z);
    hold(SDL_SCANCODE_F24);  // no scan code: ignored
    snapshotKeys(state, host.data(), SDL_NUM_SCANCODES, true);
    for (int code = 0; code < 256; ++code) {
        const bool expected = code == ScanCode::Up || code == ScanCode::Z;
        EXPECT_EQ(state.isKeyDown(code), expected) << code;
        EXPECT_EQ(state.bytes[static_cast<size_t>(code)], expected ? 0x80 : 0) << code;
    }
}

TEST_F(Snapshot, WithoutFocusEveryKeyReadsUp) {
    hold(SDL_SCANCODE_ESCAPE);
    hold(SDL_SCANCODE_LEFT);
    snapshotKeys(state, host.data(), SDL_NUM_SCANCODES, true);
    ASSERT_TRUE(state.isKeyDown(ScanCode::Escape));

    snapshotKeys(state, host.data(), SDL_NUM_SCANCODES, false);
    for (int code = 0; code < 256; ++code) EXPECT_FALSE(state.isKeyDown(code)) << code;

    // The key is still held when the focus comes back: it reads down again.
    snapshotKeys(state, host.data(), SDL_NUM_SCANCODES, true);
    EXPECT_TRUE(state.isKeyDown(ScanCode::Escape));
    EXPECT_TRUE(state.isKeyDown(ScanCode::Left));
}

TEST_F(Snapshot, ReleasedKeysAreClearedAndShortHostStatesAreRespected) {
    hold(SDL_SCANCODE_RIGHT);
    snapshotKeys(state, host.data(), SDL_NUM_SCANCODES, true);
    ASSERT_TRUE(state.isKeyDown(ScanCode::Right));
    host.assign(host.size(), 0);
    snapshotKeys(state, host.data(), SDL_NUM_SCANCODES, true);
    EXPECT_FALSE(state.isKeyDown(ScanCode::Right));

    // A host state that ends before a key's index says nothing about that key.
    hold(SDL_SCANCODE_A);
    hold(SDL_SCANCODE_UP);
    snapshotKeys(state, host.data(), SDL_SCANCODE_UP, true);
    EXPECT_TRUE(state.isKeyDown(0x1E));  // A
    EXPECT_FALSE(state.isKeyDown(ScanCode::Up));

    snapshotKeys(state, nullptr, 0, true);
    EXPECT_FALSE(state.isKeyDown(0x1E));
}

TEST_F(Snapshot, EnterWithAltIsTheFullscreenShortcutNotTheGames) {
    hold(SDL_SCANCODE_RETURN);
    hold(SDL_SCANCODE_RIGHT);
    snapshotKeys(state, host.data(), SDL_NUM_SCANCODES, true);
    ASSERT_TRUE(state.isKeyDown(ScanCode::Enter));
    for (SDL_Scancode alt : {SDL_SCANCODE_LALT, SDL_SCANCODE_RALT}) {
        hold(alt);
        snapshotKeys(state, host.data(), SDL_NUM_SCANCODES, true);
        EXPECT_FALSE(state.isKeyDown(ScanCode::Enter));
        EXPECT_TRUE(state.isKeyDown(ScanCode::Right));
        EXPECT_TRUE(state.isKeyDown(alt == SDL_SCANCODE_LALT ? 0x38 : 0xB8));
        host[static_cast<size_t>(alt)] = 0;
    }
    // Ctrl and Shift leave Enter to the game.
    hold(SDL_SCANCODE_LCTRL);
    hold(SDL_SCANCODE_LSHIFT);
    snapshotKeys(state, host.data(), SDL_NUM_SCANCODES, true);
    EXPECT_TRUE(state.isKeyDown(ScanCode::Enter));
}

TEST(Input, WithoutAWindowEveryKeyReadsUp) {
    Input input(nullptr);
    const KeyState keys = input.poll();
    for (int code = 0; code < 256; ++code) EXPECT_FALSE(keys.isKeyDown(code)) << code;
}

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
    Pads pads;
    EXPECT_TRUE(keysOf(pads.poll()).empty());
    EXPECT_EQ(pads.openCount(), 0);

    const int index = attach();
    ASSERT_GE(index, 0) << SDL_GetError();
    SDL_Joystick* device = SDL_JoystickOpen(index);
    ASSERT_NE(device, nullptr) << SDL_GetError();
    SDL_PumpEvents();
    EXPECT_TRUE(keysOf(pads.poll()).empty());
    ASSERT_EQ(pads.openCount(), 1);

    SDL_JoystickSetVirtualButton(device, SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_PRESSED);
    SDL_JoystickSetVirtualButton(device, SDL_CONTROLLER_BUTTON_B, SDL_PRESSED);
    SDL_JoystickSetVirtualAxis(device, SDL_CONTROLLER_AXIS_LEFTY, 30000);
    SDL_PumpEvents();
    EXPECT_EQ(keysOf(pads.poll()), (std::set<int>{ScanCode::Left, ScanCode::Z, ScanCode::Down}));

    SDL_JoystickSetVirtualButton(device, SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_RELEASED);
    SDL_JoystickSetVirtualButton(device, SDL_CONTROLLER_BUTTON_B, SDL_RELEASED);
    SDL_JoystickSetVirtualButton(device, SDL_CONTROLLER_BUTTON_START, SDL_PRESSED);
    SDL_JoystickSetVirtualAxis(device, SDL_CONTROLLER_AXIS_LEFTY, 0);
    SDL_PumpEvents();
    EXPECT_EQ(keysOf(pads.poll()), std::set<int>{ScanCode::Escape});

    SDL_JoystickClose(device);
    ASSERT_EQ(SDL_JoystickDetachVirtual(index), 0) << SDL_GetError();
    SDL_PumpEvents();
    EXPECT_TRUE(keysOf(pads.poll()).empty());
    EXPECT_EQ(pads.openCount(), 0);
}

}  // namespace
}  // namespace vonkel

#include "platform/key_map.h"

#include <SDL_keyboard.h>
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "platform/keyboard.h"

namespace vonkel {
namespace {

TEST(KeyMap, TheGameKeysHaveTheirScanCodes) {
    EXPECT_EQ(scanCodeForHostKey(SDL_SCANCODE_ESCAPE), ScanCode::Escape);
    EXPECT_EQ(scanCodeForHostKey(SDL_SCANCODE_RETURN), ScanCode::Enter);
    EXPECT_EQ(scanCodeForHostKey(SDL_SCANCODE_Z), ScanCode::Z);
    EXPECT_EQ(scanCodeForHostKey(SDL_SCANCODE_UP), ScanCode::Up);
    EXPECT_EQ(scanCodeForHostKey(SDL_SCANCODE_LEFT), ScanCode::Left);
    EXPECT_EQ(scanCodeForHostKey(SDL_SCANCODE_RIGHT), ScanCode::Right);
    EXPECT_EQ(scanCodeForHostKey(SDL_SCANCODE_DOWN), ScanCode::Down);
    // Only the main keyboard's Enter boosts; the keypad's has a code of its own.
    EXPECT_NE(scanCodeForHostKey(SDL_SCANCODE_KP_ENTER), ScanCode::Enter);
    EXPECT_NE(scanCodeForHostKey(SDL_SCANCODE_KP_ENTER), 0);
}

TEST(KeyMap, TableIsOneToOneAndAgreesWithTheLookup) {
    std::set<int> hosts, codes;
    for (const KeyMapping& m : keyMappings()) {
        EXPECT_TRUE(hosts.insert(m.host).second) << "host key " << m.host << " twice";
        EXPECT_TRUE(codes.insert(m.scanCode).second) << "scan code " << int{m.scanCode} << " twice";
        EXPECT_NE(m.scanCode, 0);
        EXPECT_EQ(scanCodeForHostKey(m.host), m.scanCode);
    }
    EXPECT_GE(keyMappings().size(), 100u);
}

TEST(KeyMap, UnknownAndOutOfRangeHostKeysHaveNoCode) {
    EXPECT_EQ(scanCodeForHostKey(SDL_SCANCODE_UNKNOWN), 0);
    EXPECT_EQ(scanCodeForHostKey(SDL_SCANCODE_F24), 0);
    EXPECT_EQ(scanCodeForHostKey(SDL_NUM_SCANCODES), 0);
    EXPECT_EQ(scanCodeForHostKey(static_cast<SDL_Scancode>(-1)), 0);
}

class Snapshot : public ::testing::Test {
protected:
    void hold(SDL_Scancode key) { host[static_cast<size_t>(key)] = 1; }
    std::vector<uint8_t> host = std::vector<uint8_t>(SDL_NUM_SCANCODES, 0);
    KeyState state;
};

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
        EXPECT_TRUE(state.isKeyDown(scanCodeForHostKey(alt)));
        host[static_cast<size_t>(alt)] = 0;
    }
    // Ctrl and Shift leave Enter to the game.
    hold(SDL_SCANCODE_LCTRL);
    hold(SDL_SCANCODE_LSHIFT);
    snapshotKeys(state, host.data(), SDL_NUM_SCANCODES, true);
    EXPECT_TRUE(state.isKeyDown(ScanCode::Enter));
}

TEST(Keyboard, WithoutAWindowEveryKeyReadsUp) {
    Keyboard keyboard(nullptr);
    keyboard.poll();
    for (int code = 0; code < 256; ++code) EXPECT_FALSE(keyboard.isKeyDown(code)) << code;
    EXPECT_FALSE(keyboard.state().isKeyDown(ScanCode::Escape));
}

}  // namespace
}  // namespace vonkel

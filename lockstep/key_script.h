#pragma once
// Key scripts: which of the game's seven keys are held in which frame, for
// the hosts that replay a game (`vonkel-lab play --keys`, the page's ?keys=).
//
//   # comment
//   0 -            no key held from frame 0 on
//   12 up,z        Up and Z held from frame 12 on ...
//   40 -           ... until frame 40
//
// Each line is FRAME KEYS. From frame FRAME on exactly the listed keys are
// held, until the next line takes over; before the first line no key is held.
// FRAME is plain decimal (no sign, no leading zero); frames strictly
// increase. Blank lines and lines starting with '#' are ignored; leading and
// trailing blanks and a trailing carriage return are allowed. Anything else
// is an error, reported with its line number.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/keys.h"

namespace vonkel::lockstep {

// Largest frame number a script (or a run) may name.
constexpr int64_t kMaxFrameIndex = 9'999'999;

// The seven keys the game reads, one bit each, in the order of their names
// in a script: up, down, left, right, z, enter, escape. A single-threaded
// host hands the keys of a frame over as such a mask (the page's keyboard,
// pad and touch pad, a key script).
enum KeyBit : uint8_t {
    kKeyUp = 1 << 0,
    kKeyDown = 1 << 1,
    kKeyLeft = 1 << 2,
    kKeyRight = 1 << 3,
    kKeyZ = 1 << 4,
    kKeyEnter = 1 << 5,
    kKeyEscape = 1 << 6,
};

// The keyboard snapshot in which exactly the mask's keys are down (bits
// beyond the seven are ignored).
KeyState keyStateOf(uint32_t mask);
// The seven keys' mask of a keyboard snapshot (the game reads no others).
uint8_t keyMaskOf(const KeyState& state);

// "up,z" or "-" as a KeyBit mask. Returns an empty string, or what is wrong.
std::string parseKeyList(std::string_view keys, uint8_t& mask);
// The mask as parseKeyList reads it: the names in the order above, joined
// by commas, or "-" for none (bits beyond the seven are left out).
std::string keyListText(uint8_t mask);

struct KeyChange {
    int64_t frame = 0;
    uint8_t keys = 0;  // KeyBit mask

    bool operator==(const KeyChange&) const = default;
};

class KeysScript {
public:
    KeysScript() = default;
    // A script of these changes, which the caller has checked: frames
    // strictly increasing, none negative.
    explicit KeysScript(std::vector<KeyChange> changes) : changes_(std::move(changes)) {}

    // The KeyBit mask held in frame `frame` (0 before the first line).
    uint8_t keysAt(int64_t frame) const;
    // The same as a keyboard snapshot.
    KeyState stateAt(int64_t frame) const { return keyStateOf(keysAt(frame)); }

    const std::vector<KeyChange>& changes() const { return changes_; }

private:
    friend std::string parseKeysScript(std::string_view text, KeysScript& script);
    std::vector<KeyChange> changes_;
};

// Parses a whole script. Returns an empty string on success (the script is
// then replaced), or a message such as "line 3: unknown key 'jump'" on error
// (the script is left as it was).
std::string parseKeysScript(std::string_view text, KeysScript& script);

}  // namespace vonkel::lockstep

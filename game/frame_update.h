#pragma once
namespace vonkel {

struct World;
struct KeyState;

// The host's sleep, in milliseconds. The game sleeps through it so that a
// headless host can simulate the time instead of spending it.
using SleepFn = void (*)(int milliseconds);

// One frame of the game: modes, player, terrain, pickups and the whole
// picture. Returns false when the player asks to quit.
bool updateFrame(World& world, const KeyState& keys, SleepFn sleep);

void drawHud(World& world);
void drawScope(World& world);

}  // namespace vonkel

namespace vonkel {
// The lead voice's slow sweep, done once per frame in every mode:
// animTime += 0.01, then voice 0's tone from sin/cos of animTime.
void sweepLeadVoice(World& world);
}  // namespace vonkel

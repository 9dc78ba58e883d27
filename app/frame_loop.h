#pragma once
namespace vonkel {

struct World;
class Keyboard;

// Runs frames until the game asks to quit. Each frame: read the clock, poll
// the keyboard, update the game, double the picture into the output image,
// present it, then wait until 16 ms have passed since the clock reading.
// The frame in which the game asks to quit is not presented. Without a
// keyboard every key reads as up.
void runFrameLoop(World& world, Keyboard* keyboard);

}  // namespace vonkel

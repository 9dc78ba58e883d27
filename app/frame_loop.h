#pragma once
namespace vonkel {

struct World;
class Keyboard;
class Gamepads;

// Runs frames until the game asks to quit. Each frame: read the clock, poll
// the keyboard and the pads, update the game, double the picture into the
// output image, present it, then wait until 16 ms have passed since the
// clock reading. The frame in which the game asks to quit is not presented.
// Without a keyboard every key reads as up; the pads count only while the
// keyboard's window has the focus. A mute toggle of the window flips the
// sound output. With `verbose`, each new game prints its song line on
// stdout.
void runFrameLoop(World& world, Keyboard* keyboard, Gamepads* gamepads, bool verbose);

}  // namespace vonkel

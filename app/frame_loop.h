#pragma once
namespace vonkel {

struct World;
class Keyboard;
class Gamepads;
class PlayerControls;
class Capture;

// Runs frames until the game or the window asks to quit. Each frame: read
// the clock, take the window's events (its shortcuts act at once; a close
// request ends the loop) and hand what they changed to the player's
// controls, poll the keyboard and the pads, update the game, double the
// picture into the output image and present it at once, then wait until
// the frame has lasted as long as the game asked. The frame in which the
// game asks to quit is not presented. Without a keyboard every key reads as
// up; the pads count only while the keyboard's window has the focus. F12
// and F9 go to `capture` (screenshots, clips). The window's title shows a
// volume change for a second, else what `capture` says. With `verbose`,
// each new game prints its song line on stdout.
void runFrameLoop(World& world, Keyboard* keyboard, Gamepads* gamepads, PlayerControls& controls, Capture& capture,
                  bool verbose);

}  // namespace vonkel

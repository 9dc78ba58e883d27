#pragma once
// The game's own lines on standard error, and nobody else's there.
//
// The libraries under the game print what goes wrong inside them on standard
// error: the audio library prints lines of its source code when a sound
// server goes away, and it has no switch to stop it; ALSA, JACK, SDL, Mesa
// and Xlib have their say too. The game says what happened in its own words
// instead. While a Messages lives, descriptor 2 leads to /dev/null and the
// game's lines go to a descriptor of its own that leads where standard error
// led; a sanitizer's report goes there too. At its end descriptor 2 is given
// back.
//
// It also makes sure that descriptors 0, 1 and 2 are open (on /dev/null if
// the game was started with them closed), so that no connection the game
// opens later (the X server's) can take one of them and receive lines meant
// for a terminal. Make it first, before anything opens a file.
#include <string_view>

namespace vonkel {

class Messages {
public:
    Messages();
    ~Messages();
    Messages(const Messages&) = delete;
    Messages& operator=(const Messages&) = delete;

    // One line (the newline is added) on the game's standard error, in one
    // write: lines of two threads never mix.
    void say(std::string_view line) const;

private:
    int own_ = -1;  // where standard error led at the start; -1: nowhere
};

}  // namespace vonkel

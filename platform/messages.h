#pragma once
// The game's own lines on standard error, apart from the libraries'.
//
// The audio library prints what goes wrong inside it on stderr (a sound
// server that goes away gives three lines of its source code), and so may
// ALSA, JACK and SDL. The game says what happened in its own words instead,
// so the libraries' stdio stream is pointed at /dev/null, and the game
// writes through a stream of its own on the same file. What writes to the
// file directly (a crash report, a sanitizer) still reaches it.
#include <cstddef>
#include <string>
#include <string_view>

namespace vonkel {

// Takes standard error over; call once, before any library is started.
void quietLibraryMessages();

// Writes one line (the newline is added) on standard error; any thread.
void sayLine(const std::string& line);

// What a player typed (a device, a driver), safe to echo on one line: at most
// `limit` characters, anything but printable ASCII shown as '?'.
std::string printableText(std::string_view text, size_t limit);

}  // namespace vonkel

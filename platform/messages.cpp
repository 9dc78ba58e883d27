#include "platform/messages.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace vonkel {
namespace {

FILE* gameErrors = nullptr;

}  // namespace

void quietLibraryMessages() {
    if (gameErrors != nullptr) return;
    const int own = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    FILE* quiet = std::fopen("/dev/null", "we");
    if (own < 0 || quiet == nullptr) {
        if (own >= 0) close(own);
        if (quiet != nullptr) std::fclose(quiet);
        return;
    }
    gameErrors = fdopen(own, "w");
    if (gameErrors == nullptr) {
        close(own);
        std::fclose(quiet);
        return;
    }
    // Line by line, as stderr is.
    std::setvbuf(gameErrors, nullptr, _IOLBF, 0);
    // The GNU C library's stderr is a variable a program may set.
    stderr = quiet;
}

void sayLine(const std::string& line) {
    FILE* out = gameErrors != nullptr ? gameErrors : stderr;
    std::fputs((line + "\n").c_str(), out);
    std::fflush(out);
}

std::string printableText(std::string_view text, size_t limit) {
    std::string out;
    for (char c : text.substr(0, limit)) out += (c >= 0x20 && c < 0x7f) ? c : '?';
    return out;
}

}  // namespace vonkel

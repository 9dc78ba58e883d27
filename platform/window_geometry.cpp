#include "platform/window_geometry.h"

#include <SDL_keycode.h>
#include <SDL_stdinc.h>

#include <string_view>

namespace vonkel {
namespace {

// The key that, with Ctrl, picks a zoom: 1, 2 or 4, on the main keyboard or the keypad.
WindowShortcut zoomForKey(SDL_Scancode key) {
    switch (key) {
        case SDL_SCANCODE_1:
        case SDL_SCANCODE_KP_1:
            return WindowShortcut::Zoom1;
        case SDL_SCANCODE_2:
        case SDL_SCANCODE_KP_2:
            return WindowShortcut::Zoom2;
        case SDL_SCANCODE_4:
        case SDL_SCANCODE_KP_4:
            return WindowShortcut::Zoom4;
        default:
            return WindowShortcut::None;
    }
}

}  // namespace

WindowShortcut shortcutForKey(SDL_Scancode key, uint16_t modifiers) {
    const bool ctrl = (modifiers & KMOD_CTRL) != 0;
    const bool alt = (modifiers & KMOD_ALT) != 0;
    const bool gui = (modifiers & KMOD_GUI) != 0;
    if (ctrl && !alt && !gui) return zoomForKey(key);
    if (alt && !ctrl && !gui && key == SDL_SCANCODE_RETURN) return WindowShortcut::ToggleFullscreen;
    if (ctrl || alt || gui) return WindowShortcut::None;
    if (key == SDL_SCANCODE_F11) return WindowShortcut::ToggleFullscreen;
    if (key == SDL_SCANCODE_M) return WindowShortcut::ToggleMute;
    if (key == SDL_SCANCODE_MINUS || key == SDL_SCANCODE_KP_MINUS) return WindowShortcut::VolumeDown;
    if (key == SDL_SCANCODE_EQUALS || key == SDL_SCANCODE_KP_PLUS) return WindowShortcut::VolumeUp;
    if (key == SDL_SCANCODE_F12) return WindowShortcut::Screenshot;
    if (key == SDL_SCANCODE_F9) return WindowShortcut::ToggleClip;
    return WindowShortcut::None;
}

WindowRect zoomedClientRect(int factor, int baseClientWidth, int baseClientHeight, WindowBorders borders,
                            WindowRect display) {
    const int outerWidth = factor * (baseClientWidth + borders.left + borders.right);
    const int outerHeight = factor * (baseClientHeight + borders.top + borders.bottom);
    const int outerX = display.x + ((display.width - outerWidth) >> 1);
    const int outerY = display.y + ((display.height - outerHeight) >> 1);
    return {outerX + borders.left, outerY + borders.top, outerWidth - borders.left - borders.right,
            outerHeight - borders.top - borders.bottom};
}

WindowRect letterboxRect(int outputWidth, int outputHeight, int imageWidth, int imageHeight) {
    if (outputWidth <= 0 || outputHeight <= 0 || imageWidth <= 0 || imageHeight <= 0) return {0, 0, 0, 0};
    // Compared in 64 bits: which side limits the scale.
    const int64_t wide = int64_t{outputWidth} * imageHeight;
    const int64_t tall = int64_t{outputHeight} * imageWidth;
    int width = outputWidth;
    int height = outputHeight;
    if (wide > tall) {
        width = static_cast<int>(tall / imageHeight);  // bars left and right
    } else {
        height = static_cast<int>(wide / imageWidth);  // bars above and below
    }
    return {(outputWidth - width) / 2, (outputHeight - height) / 2, width, height};
}

bool driverListNames(const char* requested, const char* driver) {
    if (requested == nullptr || driver == nullptr) return false;
    const std::string_view name(driver);
    std::string_view list(requested);
    while (!list.empty()) {
        const size_t comma = list.find(',');
        const std::string_view item = list.substr(0, comma);
        if (item.size() == name.size() && SDL_strncasecmp(item.data(), driver, item.size()) == 0) return true;
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    return false;
}

bool fellBackToHeadlessDriver(const char* chosen, const char* requested) {
    if (chosen == nullptr) return false;
    const std::string_view driver(chosen);
    if (driver != "offscreen" && driver != "dummy") return false;
    return !driverListNames(requested, chosen);
}

std::string videoDriversToTry(const std::vector<std::string>& available, bool waylandReachable) {
    std::string list;
    bool leftOut = false;
    for (const std::string& driver : available) {
        if (driver == "offscreen" || driver == "dummy" || (driver == "wayland" && !waylandReachable)) {
            leftOut = true;
            continue;
        }
        if (!list.empty()) list += ',';
        list += driver;
    }
    return leftOut ? list : std::string();
}

bool waylandSocketNamed(const char* waylandDisplay, const char* runtimeDir) {
    if (waylandDisplay != nullptr && waylandDisplay[0] == '/') return true;
    return runtimeDir != nullptr && runtimeDir[0] != '\0';
}

}  // namespace vonkel

#include "app/settings_saver.h"

namespace vonkel {

std::string SettingsSaver::tick(uint32_t now) {
    if (!dirty_ || !writer_) return {};
    // The clock wraps: only differences of readings are compared.
    if (everWritten_ && now - lastWrite_ < kSaveIntervalMs) return {};
    return write(now);
}

std::string SettingsSaver::flush() {
    if (!dirty_ || !writer_) return {};
    return write(lastWrite_ + kSaveIntervalMs);
}

std::string SettingsSaver::write(uint32_t now) {
    everWritten_ = true;
    lastWrite_ = now;
    std::string problem;
    if (writer_(saved_, problem)) {
        dirty_ = false;
        return {};
    }
    // Tried again at the next change, and at exit, without another word.
    dirty_ = false;
    if (warned_) return {};
    warned_ = true;
    return "vonkel: cannot save the settings: " + problem;
}

}  // namespace vonkel

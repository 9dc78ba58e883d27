// Arbitrary text as a key script: it parses or is rejected with a message
// naming a line, and a parsed script answers for every frame.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "lockstep/key_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vonkel::lockstep;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    KeysScript script;
    const std::string error = parseKeysScript(text, script);
    if (!error.empty()) {
        if (error.rfind("line ", 0) != 0 || error.find('\n') != std::string::npos) std::abort();
        if (!script.changes().empty()) std::abort();  // a failed parse leaves the script as it was
        return 0;
    }
    int64_t previous = -1;
    for (const KeyChange& change : script.changes()) {
        if (change.frame <= previous || change.frame > kMaxFrameIndex) std::abort();
        if (script.keysAt(change.frame) != change.keys) std::abort();
        previous = change.frame;
    }
    if (script.keysAt(0) != (script.changes().empty() || script.changes()[0].frame > 0 ? 0 : script.changes()[0].keys))
        std::abort();
    return 0;
}

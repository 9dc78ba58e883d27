#include "tools/json_line.h"

#include <charconv>
#include <cmath>

#include "lockstep/digests.h"

namespace vonkel::lab {
namespace {

template <class Format>
std::string listOf(auto values, Format format) {
    std::string text = "[";
    for (const auto& value : values) {
        if (text.size() > 1) text += ',';
        text += format(value);
    }
    return text + "]";
}

}  // namespace

std::string formatFloat(float value) {
    if (!std::isfinite(value)) return "null";
    char buffer[32];
    // Precision with the general format is printf's %g, exactly.
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                   std::chars_format::general, 9);
    return std::string(buffer, end.ptr);
}

JsonLine& JsonLine::add(std::string_view key, std::string_view value) {
    if (text_.size() > 1) text_ += ',';
    text_ += '"';
    text_ += key;
    text_ += "\":";
    text_ += value;
    return *this;
}

JsonLine& JsonLine::integer(std::string_view key, int64_t value) { return add(key, std::to_string(value)); }
JsonLine& JsonLine::number(std::string_view key, float value) { return add(key, formatFloat(value)); }
JsonLine& JsonLine::boolean(std::string_view key, bool value) { return add(key, value ? "true" : "false"); }
JsonLine& JsonLine::digest(std::string_view key, uint64_t value) {
    return add(key, '"' + lockstep::hex16(value) + '"');
}
JsonLine& JsonLine::raw(std::string_view key, std::string_view json) { return add(key, json); }

JsonLine& JsonLine::integers(std::string_view key, std::span<const int64_t> values) {
    return add(key, listOf(values, [](int64_t v) { return std::to_string(v); }));
}

JsonLine& JsonLine::numbers(std::string_view key, std::span<const float> values) {
    return add(key, listOf(values, formatFloat));
}

}  // namespace vonkel::lab

#include "tools/json_line.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

namespace vonkel::lab {
namespace {

// A JSON string literal with the needed escapes.
std::string quoteJson(std::string_view text) {
    std::string quoted = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (u < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(u));
            quoted += buffer;
        } else {
            quoted += c;
        }
    }
    quoted += '"';
    return quoted;
}

}  // namespace


std::string formatFloat(float value) {
    if (!std::isfinite(value)) return "null";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.9g", static_cast<double>(value));
    return buffer;
}

std::string toHex16(uint64_t value) {
    char buffer[17];
    std::snprintf(buffer, sizeof buffer, "%016" PRIx64, value);
    return buffer;
}

void JsonLine::addKey(std::string_view key) {
    if (!first_) text_ += ',';
    first_ = false;
    text_ += quoteJson(key);
    text_ += ':';
}

JsonLine& JsonLine::integer(std::string_view key, int64_t value) {
    addKey(key);
    text_ += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::number(std::string_view key, float value) {
    addKey(key);
    text_ += formatFloat(value);
    return *this;
}

JsonLine& JsonLine::boolean(std::string_view key, bool value) {
    addKey(key);
    text_ += value ? "true" : "false";
    return *this;
}

JsonLine& JsonLine::string(std::string_view key, std::string_view value) {
    addKey(key);
    text_ += quoteJson(value);
    return *this;
}

template <class T, class Format>
JsonLine& JsonLine::list(std::string_view key, std::span<const T> values, Format format) {
    addKey(key);
    text_ += '[';
    for (size_t i = 0; i < values.size(); ++i) {
        if (i != 0) text_ += ',';
        text_ += format(values[i]);
    }
    text_ += ']';
    return *this;
}

JsonLine& JsonLine::integers(std::string_view key, std::span<const int64_t> values) {
    return list(key, values, [](int64_t v) { return std::to_string(v); });
}

JsonLine& JsonLine::numbers(std::string_view key, std::span<const float> values) {
    return list(key, values, formatFloat);
}

JsonLine& JsonLine::raw(std::string_view key, std::string_view json) {
    addKey(key);
    text_ += json;
    return *this;
}

}  // namespace vonkel::lab

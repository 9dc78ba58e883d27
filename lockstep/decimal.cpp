#include "lockstep/decimal.h"

#include <cmath>
#include <cstdlib>

namespace vonkel::lockstep {
namespace {

struct DecimalParts {
    bool negative = false;
    std::string_view whole;     // digits before the point
    std::string_view fraction;  // digits after it
    bool point = false;
    bool exponent = false;
};

bool allDigits(std::string_view text) {
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// Splits [-]DIGITS[.DIGITS][(e|E)[+-]DIGITS]; at least one digit before the
// exponent, none of them a leading zero.
std::optional<DecimalParts> splitDecimal(std::string_view text) {
    DecimalParts parts;
    if (text.size() > 100) return std::nullopt;
    if (!text.empty() && text.front() == '-') {
        parts.negative = true;
        text.remove_prefix(1);
    }
    if (const size_t e = text.find_first_of("eE"); e != std::string_view::npos) {
        std::string_view power = text.substr(e + 1);
        if (!power.empty() && (power.front() == '-' || power.front() == '+')) power.remove_prefix(1);
        if (power.empty() || !allDigits(power)) return std::nullopt;
        parts.exponent = true;
        text = text.substr(0, e);
    }
    const size_t point = text.find('.');
    parts.point = point != std::string_view::npos;
    parts.whole = text.substr(0, point);
    if (parts.point) parts.fraction = text.substr(point + 1);
    if (parts.whole.empty() && parts.fraction.empty()) return std::nullopt;
    if (!allDigits(parts.whole) || !allDigits(parts.fraction)) return std::nullopt;
    if (parts.whole.size() > 1 && parts.whole.front() == '0') return std::nullopt;
    return parts;
}

}  // namespace

std::optional<int64_t> readInteger(std::string_view text, int64_t min, int64_t max) {
    const auto parts = splitDecimal(text);
    if (!parts || parts->point || parts->exponent || (parts->negative && min >= 0)) return std::nullopt;
    // Any magnitude past this is out of every range used here.
    constexpr int64_t kCeiling = int64_t{1} << 62;
    int64_t magnitude = 0;
    for (char c : parts->whole) {
        if (magnitude > kCeiling / 10) return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
    }
    const int64_t value = parts->negative ? -magnitude : magnitude;
    if (value < min || value > max) return std::nullopt;
    return value;
}

std::optional<uint32_t> readUnsigned32(std::string_view text) {
    const auto value = readInteger(text, 0, 0xFFFFFFFFLL);
    if (!value) return std::nullopt;
    return static_cast<uint32_t>(*value);
}

std::optional<float> readFloat32(std::string_view text) {
    if (!splitDecimal(text)) return std::nullopt;
    const std::string copy(text);
    char* end = nullptr;
    const float value = std::strtof(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<int64_t> readSecondsAsBlocks(std::string_view text) {
    const auto parts = splitDecimal(text);
    if (!parts || parts->negative || parts->exponent) return std::nullopt;
    std::string_view fraction = parts->fraction;
    while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
    if (fraction.size() > 9) return std::nullopt;  // finer than a nanosecond

    // S = numerator / 10^decimals, exactly.
    int64_t numerator = 0;
    for (char c : parts->whole) {
        numerator = numerator * 10 + (c - '0');
        if (numerator > kMaxSeconds) return std::nullopt;
    }
    int64_t denominator = 1;
    for (char c : fraction) {
        numerator = numerator * 10 + (c - '0');
        denominator *= 10;
    }
    if (numerator == 0 || numerator > kMaxSeconds * denominator) return std::nullopt;
    // ceil(S x 44100 / 512); at most 3600 x 44100 x 10^9, inside 64 bits.
    const int64_t top = numerator * 44100;
    const int64_t bottom = denominator * 512;
    return (top + bottom - 1) / bottom;
}

std::string printable(std::string_view text, size_t limit) {
    std::string out;
    for (char c : text.substr(0, limit)) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7f) {
            out += "\\x";
            out += "0123456789abcdef"[u >> 4];
            out += "0123456789abcdef"[u & 15];
        } else {
            out += c;
        }
    }
    if (text.size() > limit) out += "...";
    return out;
}

}  // namespace vonkel::lockstep

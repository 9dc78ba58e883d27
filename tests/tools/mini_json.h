#pragma once
// A small strict JSON reader for checking what vonkel-lab prints: objects
// keep their key order, numbers keep their text so that integers and floats
// can be told apart and floats read back exactly.
#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace minijson {

struct Value {
    enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
    bool boolean = false;
    std::string text;  // number text or string contents
    std::vector<Value> items;
    std::vector<std::pair<std::string, Value>> members;

    const Value& operator[](std::string_view key) const {
        for (const auto& [k, v] : members) {
            if (k == key) return v;
        }
        throw std::out_of_range("no key " + std::string(key));
    }
    const Value& operator[](size_t i) const { return items.at(i); }
    bool has(std::string_view key) const {
        for (const auto& [k, v] : members) {
            if (k == key) return true;
        }
        return false;
    }
    std::vector<std::string> keys() const {
        std::vector<std::string> out;
        for (const auto& [k, v] : members) out.push_back(k);
        return out;
    }
    bool isInteger() const {
        return kind == Kind::Number && text.find_first_of(".eE") == std::string::npos;
    }
    long long asInt() const {
        if (!isInteger()) throw std::runtime_error("not an integer: " + text);
        return std::stoll(text);
    }
    float asFloat() const {
        if (kind != Kind::Number) throw std::runtime_error("not a number");
        return std::strtof(text.c_str(), nullptr);
    }
};

class Parser {
public:
    explicit Parser(std::string_view s) : s_(s) {}
    Value parseDocument() {
        Value v = parseValue();
        if (pos_ != s_.size()) fail("trailing text");
        return v;
    }

private:
    [[noreturn]] void fail(const std::string& what) {
        throw std::runtime_error("JSON: " + what + " at " + std::to_string(pos_));
    }
    char peek() { return pos_ < s_.size() ? s_[pos_] : '\0'; }
    void expect(char c) {
        if (peek() != c) fail(std::string("expected ") + c);
        ++pos_;
    }
    Value parseValue() {
        const char c = peek();
        if (c == '{') return parseObject();
        if (c == '[') return parseArray();
        if (c == '"') {
            Value v;
            v.kind = Value::Kind::String;
            v.text = parseString();
            return v;
        }
        if (s_.substr(pos_, 4) == "true" || s_.substr(pos_, 5) == "false") {
            Value v;
            v.kind = Value::Kind::Bool;
            v.boolean = c == 't';
            pos_ += v.boolean ? 4 : 5;
            return v;
        }
        if (s_.substr(pos_, 4) == "null") {
            pos_ += 4;
            return {};
        }
        return parseNumber();
    }
    Value parseNumber() {
        const size_t start = pos_;
        if (peek() == '-') ++pos_;
        if (peek() == '0') {
            ++pos_;
        } else if (peek() >= '1' && peek() <= '9') {
            while (peek() >= '0' && peek() <= '9') ++pos_;
        } else {
            fail("bad value");
        }
        if (peek() == '.') {
            ++pos_;
            if (!(peek() >= '0' && peek() <= '9')) fail("bad fraction");
            while (peek() >= '0' && peek() <= '9') ++pos_;
        }
        if (peek() == 'e' || peek() == 'E') {
            ++pos_;
            if (peek() == '+' || peek() == '-') ++pos_;
            if (!(peek() >= '0' && peek() <= '9')) fail("bad exponent");
            while (peek() >= '0' && peek() <= '9') ++pos_;
        }
        Value v;
        v.kind = Value::Kind::Number;
        v.text = std::string(s_.substr(start, pos_ - start));
        return v;
    }
    std::string parseString() {
        expect('"');
        std::string out;
        while (true) {
            if (pos_ >= s_.size()) fail("unterminated string");
            const char c = s_[pos_++];
            if (c == '"') break;
            if (static_cast<unsigned char>(c) < 0x20) fail("control character in string");
            if (c == '\\') {
                const char e = peek();
                ++pos_;
                if (e == 'u') {
                    out += static_cast<char>(std::stoi(std::string(s_.substr(pos_, 4)), nullptr, 16));
                    pos_ += 4;
                } else {
                    out += e;
                }
            } else {
                out += c;
            }
        }
        return out;
    }
    Value parseArray() {
        expect('[');
        Value v;
        v.kind = Value::Kind::Array;
        if (peek() == ']') {
            ++pos_;
            return v;
        }
        while (true) {
            v.items.push_back(parseValue());
            if (peek() == ',') {
                ++pos_;
                continue;
            }
            expect(']');
            return v;
        }
    }
    Value parseObject() {
        expect('{');
        Value v;
        v.kind = Value::Kind::Object;
        if (peek() == '}') {
            ++pos_;
            return v;
        }
        while (true) {
            std::string key = parseString();
            expect(':');
            v.members.emplace_back(std::move(key), parseValue());
            if (peek() == ',') {
                ++pos_;
                continue;
            }
            expect('}');
            return v;
        }
    }

    std::string_view s_;
    size_t pos_ = 0;
};

inline Value parse(std::string_view text) { return Parser(text).parseDocument(); }

}  // namespace minijson

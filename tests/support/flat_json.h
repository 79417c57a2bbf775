// A strict reader of the flat JSON objects sorvantel-cli writes: one object of string, number
// and null values per line. Anything else (nesting, trailing text, bad escapes) is refused.
#pragma once

#include <cctype>
#include <map>
#include <optional>
#include <string>

#include "engine/text_format.h"

namespace sorv::test {

struct JsonValue {
    enum Kind { String, Number, Null } kind = Null;
    std::string text;
    double number = 0.0;
};

class FlatJson {
public:
    static std::optional<std::map<std::string, JsonValue>> Parse(const std::string& s) {
        FlatJson p(s);
        std::map<std::string, JsonValue> out;
        p.Space();
        if (!p.Eat('{')) return std::nullopt;
        p.Space();
        if (!p.Eat('}')) {
            for (;;) {
                std::string key;
                JsonValue v;
                p.Space();
                if (!p.Str(key)) return std::nullopt;
                p.Space();
                if (!p.Eat(':')) return std::nullopt;
                p.Space();
                if (!p.Value(v) || out.count(key)) return std::nullopt;
                out[key] = v;
                p.Space();
                if (p.Eat('}')) break;
                if (!p.Eat(',')) return std::nullopt;
            }
        }
        p.Space();
        if (p.i_ != s.size()) return std::nullopt;
        return out;
    }

private:
    explicit FlatJson(const std::string& s) : s_(s) {}
    void Space() {
        while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
    }
    bool Eat(char c) {
        if (i_ < s_.size() && s_[i_] == c) return ++i_, true;
        return false;
    }
    bool Str(std::string& out) {
        if (!Eat('"')) return false;
        while (i_ < s_.size()) {
            const char c = s_[i_++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return false;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i_ >= s_.size()) return false;
            const char e = s_[i_++];
            if (e == 'u') {
                if (i_ + 4 > s_.size()) return false;
                unsigned code = 0;
                if (!ScanHex(s_.substr(i_, 4).c_str(), 4, code)) return false;
                i_ += 4;
                out += static_cast<char>(code < 0x80 ? code : '?');
            } else if (std::string("\"\\/bfnrt").find(e) != std::string::npos) {
                out += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
            } else {
                return false;
            }
        }
        return false;
    }
    bool Value(JsonValue& v) {
        if (s_.compare(i_, 4, "null") == 0) {
            i_ += 4;
            v.kind = JsonValue::Null;
            return true;
        }
        if (i_ < s_.size() && s_[i_] == '"') {
            v.kind = JsonValue::String;
            return Str(v.text);
        }
        // JSON numbers: -?digits[.digits][e[+-]digits]
        const size_t start = i_;
        Eat('-');
        if (i_ >= s_.size() || !std::isdigit(static_cast<unsigned char>(s_[i_]))) return false;
        while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) ++i_;
        if (Eat('.')) {
            if (i_ >= s_.size() || !std::isdigit(static_cast<unsigned char>(s_[i_]))) return false;
            while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) ++i_;
        }
        if (Eat('e') || Eat('E')) {
            if (!Eat('+')) Eat('-');
            if (i_ >= s_.size() || !std::isdigit(static_cast<unsigned char>(s_[i_]))) return false;
            while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) ++i_;
        }
        v.kind = JsonValue::Number;
        return ScanDouble(s_.substr(start, i_ - start).c_str(), v.number);
    }

    const std::string& s_;
    size_t i_ = 0;
};

}  // namespace sorv::test

#include "engine/registry_file.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "engine/regular_file.h"
#include "engine/text_format.h"
#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

namespace sorv {

namespace {

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Windows writes registry exports in UTF-16LE with a byte-order mark.
std::string ToUtf8(const std::string& bytes) {
    if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF && static_cast<uint8_t>(bytes[1]) == 0xFE) {
        std::string out;
        out.reserve(bytes.size() / 2);
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            uint32_t u = static_cast<uint8_t>(bytes[i]) | (static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8);
            if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size()) {
                uint32_t lo = static_cast<uint8_t>(bytes[i + 2]) | (static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 3])) << 8);
                if (lo >= 0xDC00 && lo < 0xE000) {
                    u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
                    i += 2;
                }
            }
            if (u >= 0xD800 && u < 0xE000) u = 0xFFFD;
            AppendUtf8(out, u);
        }
        return out;
    }
    if (bytes.size() >= 3 && static_cast<uint8_t>(bytes[0]) == 0xEF && static_cast<uint8_t>(bytes[1]) == 0xBB &&
        static_cast<uint8_t>(bytes[2]) == 0xBF)
        return bytes.substr(3);
    return bytes;
}

// Splits into logical lines: a line that ends with a backslash outside a quoted string
// continues on the next one (regedit wraps long hex lists that way).
std::vector<std::string> LogicalLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string current;
    // A last line without its line end is what a file cut short leaves: "dword:0000" would
    // read as a different number, so such a line is not used.
    const size_t usable = text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1;
    size_t i = 0;
    while (i < usable) {
        size_t end = text.find('\n', i);
        std::string line = text.substr(i, end - i);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // Leading blanks of a continuation line are indentation.
        if (!current.empty()) {
            size_t k = 0;
            while (k < line.size() && (line[k] == ' ' || line[k] == '\t')) ++k;
            line.erase(0, k);
        }
        current += line;
        bool inQuote = false;
        for (size_t k = 0; k < current.size(); ++k) {
            if (current[k] == '\\' && inQuote) {
                ++k;
            } else if (current[k] == '"') {
                inQuote = !inQuote;
            }
        }
        if (!inQuote && !current.empty() && current.back() == '\\' &&
            current.find('=') != std::string::npos) {
            current.pop_back();
        } else {
            lines.push_back(current);
            current.clear();
        }
        i = end + 1;
    }
    if (!current.empty()) lines.push_back(current);
    return lines;
}

// Reads a quoted string starting at text[pos] == '"'. Returns false when it does not close.
bool ReadQuoted(const std::string& text, size_t& pos, std::string& out) {
    if (pos >= text.size() || text[pos] != '"') return false;
    ++pos;
    out.clear();
    while (pos < text.size()) {
        char c = text[pos];
        if (c == '\\' && pos + 1 < text.size()) {
            out += text[pos + 1];
            pos += 2;
        } else if (c == '"') {
            ++pos;
            return true;
        } else {
            out += c;
            ++pos;
        }
    }
    return false;
}

bool ParseHexList(const std::string& text, size_t pos, std::vector<uint8_t>& bytes) {
    bytes.clear();
    while (pos < text.size()) {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
        if (pos >= text.size()) break;
        unsigned v = 0;
        size_t digits = 0;
        while (pos < text.size() && digits < 2 && std::isxdigit(static_cast<unsigned char>(text[pos]))) {
            char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[pos])));
            v = v * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'a' + 10);
            ++pos;
            ++digits;
        }
        if (digits == 0) return false;
        bytes.push_back(static_cast<uint8_t>(v));
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
        if (pos < text.size()) {
            if (text[pos] != ',') return false;
            ++pos;
        }
    }
    return true;
}

bool ParseData(const std::string& text, size_t pos, RegistryValue& v) {
    if (pos >= text.size()) return false;
    if (text[pos] == '"') {
        v.kind = RegistryValue::Kind::String;
        return ReadQuoted(text, pos, v.text);
    }
    std::string rest = text.substr(pos);
    if (rest.compare(0, 6, "dword:") == 0) {
        std::string digits = rest.substr(6);
        while (!digits.empty() && (digits.back() == ' ' || digits.back() == '\t')) digits.pop_back();
        if (digits.empty() || digits.size() > 8) return false;
        unsigned value = 0;
        for (char ch : digits) {
            if (!std::isxdigit(static_cast<unsigned char>(ch))) return false;
            char c = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            value = value * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'a' + 10);
        }
        v.kind = RegistryValue::Kind::Dword;
        v.bytes = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                   static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
        return true;
    }
    if (rest.compare(0, 4, "hex:") == 0) {
        v.kind = RegistryValue::Kind::Hex;
        v.hexType = 3;
        return ParseHexList(rest, 4, v.bytes);
    }
    if (rest.compare(0, 4, "hex(") == 0) {
        size_t close = rest.find("):");
        if (close == std::string::npos || close == 4 || close > 12) return false;
        unsigned type = 0;
        if (!ScanHex(rest.c_str() + 4, close - 4, type)) return false;
        v.kind = RegistryValue::Kind::Hex;
        v.hexType = static_cast<int>(type);
        return ParseHexList(rest, close + 2, v.bytes);
    }
    return false;
}

std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

std::string NormaliseKey(std::string key) {
    while (!key.empty() && (key.back() == '\\' || key.back() == ' ')) key.pop_back();
    return key;
}

}  // namespace

std::vector<RegistryValue> ParseRegistryExport(const std::string& fileBytes, const std::string& key) {
    std::vector<RegistryValue> values;
    const std::string wanted = NormaliseKey(key);
    bool inKey = false;
    for (const std::string& raw : LogicalLines(ToUtf8(fileBytes))) {
        size_t start = 0;
        while (start < raw.size() && (raw[start] == ' ' || raw[start] == '\t')) ++start;
        if (start >= raw.size()) continue;
        if (raw[start] == '[') {
            size_t close = raw.rfind(']');
            inKey = close != std::string::npos && close > start &&
                    EqualNoCase(NormaliseKey(raw.substr(start + 1, close - start - 1)), wanted);
            continue;
        }
        if (!inKey || raw[start] != '"') continue;
        RegistryValue v;
        size_t pos = start;
        if (!ReadQuoted(raw, pos, v.name)) continue;
        while (pos < raw.size() && raw[pos] == ' ') ++pos;
        if (pos >= raw.size() || raw[pos] != '=') continue;
        ++pos;
        while (pos < raw.size() && raw[pos] == ' ') ++pos;
        if (!ParseData(raw, pos, v)) continue;
        // A later line for the same name replaces the earlier one, as an import would.
        bool replaced = false;
        for (auto& existing : values) {
            if (EqualNoCase(existing.name, v.name)) {
                existing = v;
                replaced = true;
            }
        }
        if (!replaced) values.push_back(std::move(v));
    }
    return values;
}

std::string FormatRegistryExport(const std::string& key, const std::vector<RegistryValue>& values) {
    std::string out = "Windows Registry Editor Version 5.00\r\n\r\n[";
    out += NormaliseKey(key);
    out += "]\r\n";
    for (const auto& v : values) {
        out += '"';
        out += Escape(v.name);
        out += "\"=";
        switch (v.kind) {
            case RegistryValue::Kind::Dword: {
                uint32_t x = 0;
                for (size_t i = 0; i < 4 && i < v.bytes.size(); ++i) x |= static_cast<uint32_t>(v.bytes[i]) << (8 * i);
                out += FormatC("dword:%08x", x);
                break;
            }
            case RegistryValue::Kind::Hex: {
                out += v.hexType == 3 ? std::string("hex:") : FormatC("hex(%x):", static_cast<unsigned>(v.hexType));
                for (size_t i = 0; i < v.bytes.size(); ++i) out += FormatC(i ? ",%02x" : "%02x", v.bytes[i]);
                break;
            }
            case RegistryValue::Kind::String:
                out += '"';
                out += Escape(v.text);
                out += '"';
                break;
        }
        out += "\r\n";
    }
    out += "\r\n";
    return out;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* why, bool* notRegular) {
    std::string reason;
    std::FILE* f = OpenRegularFile(path, reason, notRegular);
    if (!f) {
        if (why) *why = reason;
        return false;
    }
    bytes.clear();
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, n);
    bool ok = !std::ferror(f);
    if (!ok && why) *why = std::strerror(errno);
    std::fclose(f);
    return ok;
}

namespace {

// A settings file kept in a dotfile repository is often a symbolic link to it; the rename
// would replace the link with a plain file and cut it off. Write where the link points.
std::string ThroughLinks(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec))) return path;
    const std::filesystem::path real = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : real.string();
}

}  // namespace

bool WriteFileAtomically(const std::string& requested, const std::string& bytes, std::string& error) {
    const std::string path = ThroughLinks(requested);
    std::error_code ec;
    std::filesystem::path target(path);
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
    const std::string temp = path + ".tmp";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) {
        error = "Cannot create " + temp + ": " + std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fflush(f) == 0 && ok;
#if defined(__unix__) || defined(__APPLE__)
    ok = ok && ::fsync(fileno(f)) == 0;
#endif
    int savedErrno = errno;
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        error = "Cannot write " + temp + ": " + std::strerror(savedErrno ? savedErrno : errno);
        std::remove(temp.c_str());
        return false;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        error = "Cannot replace " + path + ": " + std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace sorv

// The settings file: the text form of a Windows registry export, so that a user's export of the
// program's key from Windows imports as it stands, and our file can be imported there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sorv {

struct RegistryValue {
    enum class Kind { Dword, Hex, String };
    std::string name;
    Kind kind = Kind::Dword;
    int hexType = 3;              // for Kind::Hex: the N of hex(N); 3 (REG_BINARY) for plain "hex:"
    std::vector<uint8_t> bytes;   // Dword and Hex: the data bytes
    std::string text;             // String: UTF-8 text without terminator
};

// Parses the bytes of a .reg file (UTF-8, or UTF-16LE with its byte-order mark as Windows
// writes it) and returns the values under `key` (compared without case), in file order.
// Malformed lines are skipped; nothing is ever read past the end of the text.
std::vector<RegistryValue> ParseRegistryExport(const std::string& fileBytes, const std::string& key);

// Writes the export text for one key with the given values (CR LF line ends, UTF-8).
std::string FormatRegistryExport(const std::string& key, const std::vector<RegistryValue>& values);

// Whole-file helpers. ReadWholeFile returns false if the file cannot be opened or read, or is
// not a regular file (a FIFO would block it), with the reason in why and whether it was the
// file's type in notRegular, when given.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* why = nullptr,
                   bool* notRegular = nullptr);
// Writes to a temporary file beside `path`, flushes it to disk and renames it into place, so a
// failure at any step leaves the previous file intact. On failure `error` names the step.
bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& error);

}  // namespace sorv

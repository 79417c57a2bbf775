// The script's "com" command: one line of text to a serial port, opened and closed around it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sorv {

class CSorvantelDoc;

// The bytes a "com" text sends: the line-end tags <cr>, <lf> and <crlf> at its end become
// CR and LF (CR first), and the backslash escapes \\, \hh and \xy are resolved.
std::vector<uint8_t> ComMessageBytes(const std::string& text);

// Carries out a "com" argument ("N:baud text" or "/dev/path:baud text"). Returns false when
// the port failed and the script must end (the message has been shown, and is also given in
// failure when asked for).
bool SendComLine(CSorvantelDoc& doc, const std::string& argument, std::string* failure = nullptr);

}  // namespace sorv

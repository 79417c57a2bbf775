#include "automation/com_port.h"

#include <cctype>

#include "automation/scan_fields.h"
#include "engine/sorvantel_doc.h"
#include "engine/text_format.h"

namespace sorv {

namespace {

bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void RemoveAll(std::string& s, const std::string& what) {
    std::string out;
    size_t from = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, from)) {
        out.append(s, from, at - from);
        from = at + what.size();
    }
    out.append(s, from, std::string::npos);
    s = out;
}

// Resolves the escapes from the front. The scan stops two bytes before the current end, and an
// escape may use only bytes of the text itself, never the appended line end.
void ResolveEscapes(std::vector<uint8_t>& msg, size_t textLength) {
    for (size_t i = 0; i + 2 < msg.size(); ++i) {
        if (msg[i] != '\\') continue;
        if (i + 1 < textLength && msg[i + 1] == '\\') {
            msg.erase(msg.begin() + static_cast<long>(i) + 1);
            textLength -= 1;
        } else if (i + 2 < textLength) {
            const char pair[3] = {static_cast<char>(msg[i + 1]), static_cast<char>(msg[i + 2]), '\0'};
            unsigned value = 0;
            if (std::isxdigit(static_cast<unsigned char>(pair[0])) && ScanHex(pair, 2, value)) {
                msg[i] = static_cast<uint8_t>(value);  // the backslash becomes the byte
            }
            msg.erase(msg.begin() + static_cast<long>(i) + 1, msg.begin() + static_cast<long>(i) + 3);
            textLength -= 2;
        }
    }
}

struct ComTarget {
    std::string device;
    int port = 1;  // 1 for a device path, which has no number to check
    int baud = 0;
    std::string text;
};

// "N:baud text" or "/path:baud text"; false when the argument is not one of them, or when no
// text follows the first space.
bool ParseComArgument(const std::string& arg, ComTarget& out) {
    if (!arg.empty() && arg[0] == '/') {
        const size_t colon = arg.find(':');
        const size_t space = arg.find(' ');
        if (colon == std::string::npos || (space != std::string::npos && space < colon)) return false;
        if (!ScanInt(arg.c_str() + colon + 1, out.baud)) return false;
        out.device = arg.substr(0, colon);
    } else {
        int fields[2];
        if (ScanIntFields(arg.c_str(), "d:d", fields) != 2) return false;
        out.port = fields[0];
        out.baud = fields[1];
        // Linux names the classic ports ttyS0, ttyS1, ... for COM1, COM2, ...
        if (out.port > 0) out.device = FormatC("/dev/ttyS%d", out.port - 1);
    }
    const size_t space = arg.find(' ');
    if (space == std::string::npos) return false;
    out.text = arg.substr(space + 1);
    return !out.text.empty();
}

}  // namespace

std::vector<uint8_t> ComMessageBytes(const std::string& text) {
    std::string s = text;
    bool cr = false, lf = false;
    if (EndsWith(s, "<cr>")) {
        RemoveAll(s, "<cr>");
        cr = true;
    }
    if (EndsWith(s, "<lf>")) {
        RemoveAll(s, "<lf>");
        lf = true;
    }
    if (EndsWith(s, "<crlf>")) {
        RemoveAll(s, "<crlf>");
        cr = lf = true;
    }
    std::vector<uint8_t> msg(s.begin(), s.end());
    if (cr) msg.push_back(13);
    if (lf) msg.push_back(10);
    ResolveEscapes(msg, s.size());
    return msg;
}

bool SendComLine(CSorvantelDoc& doc, const std::string& argument, std::string* failure) {
    ComTarget target;
    if (!ParseComArgument(argument, target)) return true;
    IPlatformServices& platform = doc.Platform();
    auto fail = [&](const char* message) {
        doc.m_hComPort.reset();
        platform.ShowMessage(message);
        if (failure) *failure = message;
        return false;
    };
    if (target.baud <= 0) return fail("BuildCommDCB failed");
    if (target.port <= 0) return fail("Error opening port");
    switch (platform.OpenSerialPort(target.device, target.baud, doc.m_hComPort)) {
        case SerialOpenResult::Ok: break;
        case SerialOpenResult::BadSettings: return fail("BuildCommDCB failed");
        case SerialOpenResult::OpenFailed: return fail("Error opening port");
        case SerialOpenResult::SetStateFailed: return fail("Error setting comm state");
    }
    if (!doc.m_hComPort) return true;
    const std::vector<uint8_t> bytes = ComMessageBytes(target.text);
    const int timeoutMs = 50 + 10 * static_cast<int>(bytes.size());  // at most 99 text bytes + 2
    doc.m_hComPort->Write(bytes.data(), bytes.size(), timeoutMs);   // the result is not examined
    doc.m_hComPort->Flush();
    doc.m_hComPort->Close();
    doc.m_hComPort.reset();
    return true;
}

}  // namespace sorv

#include <gtest/gtest.h>

#include <fstream>

#include "automation/com_port.h"
#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"

namespace sorv::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(ComMessage, LineEndTagsBecomeCrAndLf) {
    EXPECT_EQ(ComMessageBytes("AB<crlf>"), (Bytes{'A', 'B', 13, 10}));
    EXPECT_EQ(ComMessageBytes("AB<cr>"), (Bytes{'A', 'B', 13}));
    EXPECT_EQ(ComMessageBytes("AB<lf>"), (Bytes{'A', 'B', 10}));
    EXPECT_EQ(ComMessageBytes("A<cr>B<cr>"), (Bytes{'A', 'B', 13}));  // every tag goes
    EXPECT_EQ(ComMessageBytes("x<lf><cr>"), (Bytes{'x', 13, 10}));    // CR always first
    EXPECT_EQ(ComMessageBytes("A<cr>B"), B("A<cr>B"));                // only at the end
    EXPECT_EQ(ComMessageBytes("plain"), B("plain"));
}

TEST(ComMessage, EscapesResolveFromTheFrontButNeverTakeTheLineEnd) {
    EXPECT_EQ(ComMessageBytes("\\41\\\\<cr>"), (Bytes{'A', '\\', 13}));
    EXPECT_EQ(ComMessageBytes("\\1b[2J<crlf>"), (Bytes{27, '[', '2', 'J', 13, 10}));
    EXPECT_EQ(ComMessageBytes("x\\zzy"), B("x\\y"));     // not hex: the backslash stays
    EXPECT_EQ(ComMessageBytes("A\\\\B"), B("A\\B"));
    EXPECT_EQ(ComMessageBytes("AB\\41"), B("ABA"));
    EXPECT_EQ(ComMessageBytes("AB\\4<cr>"), (Bytes{'A', 'B', '\\', '4', 13}));  // CR is not a digit of it
    EXPECT_EQ(ComMessageBytes("\\4<crlf>"), (Bytes{'\\', '4', 13, 10}));
    EXPECT_EQ(ComMessageBytes("\\\\"), B("\\\\"));  // the last two bytes start no escape
    EXPECT_EQ(ComMessageBytes("\\4g!"), (Bytes{4, '!'}));  // "%x" stops at the first non-digit
}

class ComScriptTest : public ::testing::Test {
protected:
    FakePlatform platform;
    CSorvantelDoc doc{platform};
    void Run(const std::string& text) {
        const std::string path = platform.dir.file("com.txt");
        std::ofstream(path, std::ios::binary) << text;
        platform.openAnswers.push_back(path);
        doc.OnScript();
    }
};

TEST_F(ComScriptTest, SendsToTheNumberedPortAndClosesIt) {
    Run("com 1:9600 AB<crlf>\n");
    ASSERT_EQ(platform.serialOpens, std::vector<std::string>{"/dev/ttyS0"});
    EXPECT_EQ(platform.serialLog.baud, 9600);
    EXPECT_EQ(platform.serialLog.written, (Bytes{'A', 'B', 13, 10}));
    EXPECT_EQ(platform.serialLog.flushes, 1);
    EXPECT_EQ(platform.serialLog.closes, 1);
    EXPECT_EQ(doc.m_hComPort, nullptr);
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(platform.title(), "Sorvantel from KELD - script ended");
}

TEST_F(ComScriptTest, DevicePathStandsForTheNumber) {
    Run("com /dev/ttyUSB0:4800 \\41\\\\<cr>\ncom 2:4800 x\n");
    EXPECT_EQ(platform.serialOpens, (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyS1"}));
    EXPECT_EQ(platform.serialLog.written, (Bytes{'A', '\\', 13, 'x'}));
}

TEST_F(ComScriptTest, NothingAfterTheSpaceOrUnreadableArgumentsSendNothing) {
    Run("com 1:9600 \ncom 1:9600\ncom x:9600 hello\ncom\ncom /dev/ttyUSB0 x:1\n");
    EXPECT_TRUE(platform.serialOpens.empty());
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(platform.title(), "Sorvantel from KELD - script ended");
}

TEST_F(ComScriptTest, PortFailuresShowTheirMessageAndEndTheScript) {
    struct Case {
        const char* line;
        SerialOpenResult result;
        const char* message;
    };
    for (const Case& c : {Case{"com 1:9600 x", SerialOpenResult::BadSettings, "BuildCommDCB failed"},
                          Case{"com 1:9600 x", SerialOpenResult::OpenFailed, "Error opening port"},
                          Case{"com 1:9600 x", SerialOpenResult::SetStateFailed, "Error setting comm state"},
                          Case{"com 0:9600 x", SerialOpenResult::Ok, "Error opening port"},
                          Case{"com 1:0 x", SerialOpenResult::Ok, "BuildCommDCB failed"},
                          Case{"com 1:-300 x", SerialOpenResult::Ok, "BuildCommDCB failed"}}) {
        platform.messages.clear();
        platform.serialOpenResult = c.result;
        doc.m_dCarrierKHz = 0.0;
        Run(std::string(c.line) + "\ncarrier 404\n");
        ASSERT_EQ(platform.messages, std::vector<std::string>{c.message}) << c.line;
        EXPECT_EQ(doc.m_dCarrierKHz, 0.0) << "the script went on after " << c.line;
        EXPECT_EQ(platform.title(), std::string("Sorvantel from KELD - processing script command ") + c.line);
        EXPECT_EQ(doc.m_hComPort, nullptr);
    }
    EXPECT_TRUE(platform.serialLog.written.empty());
}

TEST_F(ComScriptTest, WriteFailureIsIgnoredAndThePortStillCloses) {
    platform.configureSerial = [](FakeSerialPort& p) { p.failWrite = true; };
    Run("com 3:115200 hello<cr>\ncarrier 404\n");
    EXPECT_EQ(platform.serialLog.closes, 1);
    EXPECT_EQ(doc.m_dCarrierKHz, 404.0);
    EXPECT_TRUE(platform.messages.empty());
}

}  // namespace
}  // namespace sorv::test

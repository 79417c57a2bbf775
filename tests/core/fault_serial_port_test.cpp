// A serial port that goes away while a script runs: a USB adapter pulled out between two "com"
// lines, or during a write. The script must end the designed way, never hang, and hold no port.
// (tests/system/serial_vanish.sh does the same against a real pseudo-terminal pair.)
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"

namespace sorv::test {
namespace {

class SerialPortVanishes : public ::testing::Test {
protected:
    FakePlatform platform;
    CSorvantelDoc doc{platform};
    void Run(const std::string& text) {
        const std::string path = platform.dir.file("script.txt");
        std::ofstream(path, std::ios::binary) << text;
        platform.openAnswers.push_back(path);
        doc.OnScript();
    }
    std::string Written() const { return {platform.serialLog.written.begin(), platform.serialLog.written.end()}; }
};

TEST_F(SerialPortVanishes, BetweenTwoComLinesTheSecondSaysErrorOpeningPortAndTheScriptEnds) {
    // The adapter is pulled out during the wait between the two lines.
    platform.onWaitStep = [&] { platform.serialOpenResult = SerialOpenResult::OpenFailed; };
    Run("com /dev/ttyUSB0:9600 first<lf>\nwait for 0:0:1\ncom /dev/ttyUSB0:9600 second<lf>\ncarrier 404\n");
    EXPECT_EQ(Written(), "first\n");
    EXPECT_EQ(platform.messages, std::vector<std::string>{"Error opening port"});
    // The script ended at the failing line: the title still shows it, the next line never ran.
    EXPECT_EQ(platform.title(), "Sorvantel from KELD - processing script command com /dev/ttyUSB0:9600 second<lf>");
    EXPECT_EQ(doc.m_dCarrierKHz, 0.0);
    EXPECT_EQ(doc.m_bScriptRunning, 0);
    EXPECT_EQ(doc.m_hComPort, nullptr);
    EXPECT_EQ(platform.serialLog.closes, 1);
    // A new script runs as usual once the port is back.
    platform.onWaitStep = nullptr;
    platform.serialOpenResult = SerialOpenResult::Ok;
    Run("com /dev/ttyUSB0:9600 again\n");
    EXPECT_EQ(platform.title(), "Sorvantel from KELD - script ended");
    EXPECT_EQ(Written(), "first\nagain");
}

TEST_F(SerialPortVanishes, DuringAWriteTheLineIsLostButThePortIsClosedAndTheScriptGoesOn) {
    // The write's result is not examined: the port is flushed and closed, the script goes on.
    platform.configureSerial = [](FakeSerialPort& port) { port.failWrite = true; };
    Run("com /dev/ttyUSB0:9600 lost<crlf>\ncarrier 404\n");
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(platform.serialLog.flushes, 1);
    EXPECT_EQ(platform.serialLog.closes, 1);
    EXPECT_EQ(doc.m_hComPort, nullptr);
    EXPECT_EQ(doc.m_dCarrierKHz, 404.0);
    EXPECT_EQ(platform.title(), "Sorvantel from KELD - script ended");
}

}  // namespace
}  // namespace sorv::test

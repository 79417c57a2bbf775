// Entry point of the GUI test suite: one QApplication for every test, offscreen unless the
// caller chose another platform, and numbers in the "C" locale as the program itself sets them.
// The offscreen screen is a desktop's 1920 x 1080 (its own default is 800 x 800), so that the
// main window opens at its default size as it does for users, not squeezed onto a small screen.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string WriteScreenConfig() {
    char path[] = "/tmp/sorvantel-gui-screen-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return {};
    const char json[] =
        "{\"screens\": [{\"name\": \"desktop\", \"x\": 0, \"y\": 0, \"width\": 1920, \"height\": 1080,"
        " \"logicalDpi\": 96}]}";
    const bool ok = write(fd, json, sizeof json - 1) == static_cast<ssize_t>(sizeof json - 1);
    close(fd);
    return ok ? path : std::string();
}

}  // namespace

int main(int argc, char** argv) {
    const char* chosen = std::getenv("QT_QPA_PLATFORM");
    std::string config;
    if (chosen == nullptr || std::strcmp(chosen, "offscreen") == 0) {
        config = WriteScreenConfig();
        const std::string platform = config.empty() ? "offscreen" : "offscreen:configfile=" + config;
        setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
    }
    ::testing::InitGoogleTest(&argc, argv);
    int rc = 0;
    {
        QApplication app(argc, argv);
        std::setlocale(LC_NUMERIC, "C");
        rc = RUN_ALL_TESTS();
    }
    if (!config.empty()) std::remove(config.c_str());
    return rc;
}

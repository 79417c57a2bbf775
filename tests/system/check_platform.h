// For the system checks that run the real Qt platform without a window: messages are printed
// (a modal box would wait for ever offscreen) and kept, settings and logs stay in the test's
// directory, and the event loop is turned until a condition holds.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/qt_platform.h"

namespace sorv::check {

class CheckPlatform : public QtPlatform {
public:
    explicit CheckPlatform(std::string dir) : dir_(std::move(dir)) {}
    std::vector<std::string> messages;
    std::string title;
    void ShowMessage(const std::string& text) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        messages.push_back(text);
    }
    void SetMainTitle(std::string_view t) override { title = t; }
    std::string SettingsFilePath() override { return dir_ + "/settings.reg"; }
    std::string DefaultLogDirectory() override { return dir_ + "/log/"; }

private:
    std::string dir_;
};

inline int Fail(const char* what) {
    std::fprintf(stderr, "FAIL: %s\n", what);
    return 1;
}

// Runs the event loop (timers, capture polling) until the condition holds or the time is up.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace sorv::check

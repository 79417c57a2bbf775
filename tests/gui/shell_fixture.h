// Helpers for the tests of the main window and the dialogs: answering modal windows from
// inside their own event loops, and a main window whose settings live in a temporary home.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "app/main_frame.h"
#include "support/fake_platform.h"

namespace sorv::test {

// Runs an action on the next modal window of type T from inside that window's event loop
// (the test then opens the window). While the object lives it watches; destroying it stops
// the watch. If no such window opens within a few thousand event-loop turns it gives up, so
// a failing test ends rather than hangs.
class ModalAnswer {
public:
    template <typename T>
    static std::unique_ptr<ModalAnswer> On(std::function<void(T*)> act) {
        std::unique_ptr<ModalAnswer> answer(new ModalAnswer);
        ModalAnswer* self = answer.get();
        QObject::connect(&self->timer_, &QTimer::timeout, [self, act] {
            T* w = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!w && ++self->turns_ < 5000) return;
            self->timer_.stop();
            if (!w) return;
            self->ran_ = true;
            act(w);
        });
        self->timer_.start(1);
        return answer;
    }
    bool Ran() const { return ran_; }

private:
    ModalAnswer() = default;
    QTimer timer_;
    bool ran_ = false;
    int turns_ = 0;
};

// Closes the next message box with OK and keeps its text.
inline std::unique_ptr<ModalAnswer> AnswerMessageBox(QString& text) {
    return ModalAnswer::On<QMessageBox>([&text](QMessageBox* box) {
        text = box->text();
        box->accept();
    });
}

// Points the per-user configuration and data directories at a fresh temporary directory
// while it lives, so that no test reads or writes the real settings.
class TemporaryHome {
public:
    TemporaryHome() {
        Save("XDG_CONFIG_HOME", config_);
        Save("XDG_DATA_HOME", data_);
        setenv("XDG_CONFIG_HOME", dir_.file("config").c_str(), 1);
        setenv("XDG_DATA_HOME", dir_.file("data").c_str(), 1);
    }
    ~TemporaryHome() {
        Restore("XDG_CONFIG_HOME", config_);
        Restore("XDG_DATA_HOME", data_);
    }
    const std::string& path() const { return dir_.path(); }

private:
    struct Saved {
        bool set = false;
        std::string value;
    };
    static void Save(const char* name, Saved& s) {
        const char* v = std::getenv(name);
        s.set = v != nullptr;
        if (v) s.value = v;
    }
    static void Restore(const char* name, const Saved& s) {
        if (s.set) {
            setenv(name, s.value.c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
    TempDir dir_;
    Saved config_, data_;
};

// A main window in a temporary home. Activities a test switches on by hand are switched off
// again before the window goes, so that shutting down does not act on devices never opened.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override { frame_ = std::make_unique<CMainFrame>(); }
    void TearDown() override {
        if (frame_ && frame_->HasDocument()) {
            frame_->Doc().m_bProcessing = 0;
            frame_->Doc().m_bScriptRunning = 0;
        }
        frame_.reset();
    }
    CMainFrame& Frame() { return *frame_; }
    CSorvantelDoc& Doc() { return frame_->Doc(); }

    // Every action of command `id` (menus and toolbar) agrees on `enabled`; false if none exists.
    ::testing::AssertionResult Enabled(int id, bool enabled) {
        const auto actions = frame_->Actions().ActionsFor(id);
        if (actions.empty()) return ::testing::AssertionFailure() << "no action for " << id;
        for (QAction* a : actions) {
            if (a->isEnabled() != enabled)
                return ::testing::AssertionFailure() << a->text().toStdString() << " (" << id << ") is "
                                                     << (enabled ? "disabled" : "enabled");
        }
        return ::testing::AssertionSuccess();
    }
    ::testing::AssertionResult Checked(int id, bool checked) {
        const auto actions = frame_->Actions().ActionsFor(id);
        if (actions.empty()) return ::testing::AssertionFailure() << "no action for " << id;
        for (QAction* a : actions) {
            if (a->isChecked() != checked)
                return ::testing::AssertionFailure() << a->text().toStdString() << " (" << id << ") is "
                                                     << (checked ? "unchecked" : "checked");
        }
        return ::testing::AssertionSuccess();
    }
    // Replaces a command's handler with a counter, to see whether a key or menu reaches it.
    int* CountRuns(int id) {
        auto count = std::make_shared<int>(0);
        counts_.push_back(count);
        Command* c = frame_->Commands().Find(id);
        EXPECT_NE(c, nullptr) << id;
        if (c) c->run = [count] { ++*count; };
        return count.get();
    }

    TemporaryHome home_;
    std::unique_ptr<CMainFrame> frame_;
    std::vector<std::shared_ptr<int>> counts_;
};

}  // namespace sorv::test

// The CAP, NUM and SCRL panes of the status bar. Each shows its name while its lock key is on,
// where the platform can tell; where it cannot, the panes stay blank.
#pragma once

#include <QObject>

class QLabel;
class QStatusBar;

namespace sorv {

struct LockState {
    bool known = false;
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// Asks the windowing system for the keyboard's lock indicators.
LockState QueryLockState();

class LockIndicators : public QObject {
public:
    explicit LockIndicators(QStatusBar* bar);
    void Update();
    void Show(const LockState& state);
    QLabel* Caps() const { return caps_; }
    QLabel* Num() const { return num_; }
    QLabel* Scroll() const { return scroll_; }

private:
    QLabel* caps_;
    QLabel* num_;
    QLabel* scroll_;
};

}  // namespace sorv

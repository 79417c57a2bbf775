#include "app/lock_indicators.h"

#include <QLabel>
#include <QStatusBar>

namespace sorv {

namespace {

QLabel* MakePane(QStatusBar* bar, const char* name) {
    auto* label = new QLabel(bar);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    // Wide enough for its name whether shown or blank, so the bar never jumps.
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QString(name) + "  "));
    bar->addPermanentWidget(label);
    return label;
}

}  // namespace

LockIndicators::LockIndicators(QStatusBar* bar)
    : QObject(bar), caps_(MakePane(bar, "CAP")), num_(MakePane(bar, "NUM")), scroll_(MakePane(bar, "SCRL")) {}

void LockIndicators::Update() { Show(QueryLockState()); }

void LockIndicators::Show(const LockState& state) {
    caps_->setText(state.known && state.caps ? "CAP" : "");
    num_->setText(state.known && state.num ? "NUM" : "");
    scroll_->setText(state.known && state.scroll ? "SCRL" : "");
}

}  // namespace sorv

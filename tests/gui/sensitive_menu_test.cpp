// Tools > Auto search > "Sensitive detection": a check item, off at start-up, that chooses the
// detector the automatic search runs.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "app/command_ids.h"
#include "shell_fixture.h"

namespace sorv::test {
namespace {

using SensitiveMenu = ShellTest;

TEST_F(SensitiveMenu, TheCheckItemUnderAutoSearchTogglesTheDetector) {
    QAction* item = nullptr;
    for (QMenu* m : Frame().menuBar()->findChildren<QMenu*>()) {
        if (m->title() != "Auto search") continue;
        for (QAction* a : m->actions())
            if (a->text() == "Sensitive detection") item = a;
    }
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->isCheckable());
    Frame().RefreshCommandStates();
    EXPECT_TRUE(Checked(cmd::kSensitiveDetection, false));
    EXPECT_TRUE(Enabled(cmd::kSensitiveDetection, true));

    item->trigger();
    Frame().RefreshCommandStates();
    EXPECT_EQ(Doc().m_bSensitiveDetection, 1);
    EXPECT_TRUE(Checked(cmd::kSensitiveDetection, true));

    item->trigger();
    Frame().RefreshCommandStates();
    EXPECT_EQ(Doc().m_bSensitiveDetection, 0);
    EXPECT_TRUE(Checked(cmd::kSensitiveDetection, false));
}

}  // namespace
}  // namespace sorv::test

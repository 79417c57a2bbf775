// The main window's title as the engine sets it: a command's title is shown at once; while
// the engine processes, rows retitle the window many times between two turns of the event
// loop and the window shows the last of them, once.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStringList>
#include <string>
#include <vector>

#include "shell_fixture.h"

namespace sorv::test {
namespace {

using WindowTitle = ShellTest;

std::string RowTitle(int n) { return "Sorvantel from KELD - processing audio data (" + std::to_string(n) + " samples)"; }

TEST_F(WindowTitle, WhileProcessingTheLastRowTitleOfATurnIsShownOnce) {
    QApplication::processEvents();
    QStringList shown;
    QObject::connect(&Frame(), &QWidget::windowTitleChanged, [&shown](const QString& t) { shown << t; });
    Doc().m_bProcessing = 1;
    for (int n = 1; n <= 500; ++n) Doc().SetTitle(RowTitle(n));
    EXPECT_TRUE(shown.isEmpty());
    QApplication::processEvents();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].toStdString(), RowTitle(500));
    EXPECT_EQ(Frame().windowTitle().toStdString(), RowTitle(500));

    // Stop's title is shown at once, and a row title still waiting for the event loop does
    // not come back over it.
    Doc().SetTitle(RowTitle(501));
    Doc().m_bProcessing = 0;
    Doc().SetTitle("Sorvantel from KELD - idle");
    EXPECT_EQ(Frame().windowTitle().toStdString(), "Sorvantel from KELD - idle");
    QApplication::processEvents();
    EXPECT_EQ(Frame().windowTitle().toStdString(), "Sorvantel from KELD - idle");
    EXPECT_EQ(shown.last().toStdString(), "Sorvantel from KELD - idle");
}

TEST_F(WindowTitle, ACommandsTitleIsShownAtOnce) {
    Doc().m_bProcessing = 0;
    Doc().SetTitle("Loaded file night.svl");
    EXPECT_EQ(Frame().windowTitle().toStdString(), "Loaded file night.svl");
}

}  // namespace
}  // namespace sorv::test

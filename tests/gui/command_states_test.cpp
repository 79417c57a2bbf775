// The enable and check rules of every command, as menus and toolbar show them after the
// states are refreshed: after start-up with no data, while processing, and along the road.
#include <gtest/gtest.h>

#include <QAction>
#include <QToolBar>

#include "app/command_ids.h"
#include "shell_fixture.h"

namespace sorv::test {
namespace {

using CommandStates = ShellTest;

TEST_F(CommandStates, AfterStartUpWithNoData) {
    for (int id : {cmd::kFileSave, cmd::kPurge, cmd::kAutoSearch, cmd::kSpectralDensity, cmd::kPeriodSearch,
                   cmd::kIntegrate, cmd::kIdent, cmd::kNextSpec, cmd::kPrevSpec, cmd::kStop, cmd::kRecord})
        EXPECT_TRUE(Enabled(id, false));
    for (int id : {cmd::kStart, cmd::kFileLoad, cmd::kScript, cmd::kLoranMode, cmd::kNominalCarrier,
                   cmd::kBatchAutoSearch, cmd::kSpectralRange, cmd::kGri, cmd::kSemiAutoFwd, cmd::kAbout})
        EXPECT_TRUE(Enabled(id, true));
    EXPECT_TRUE(Checked(cmd::kViewSignal, true));
    EXPECT_TRUE(Checked(cmd::kViewSpectrum, false));
    EXPECT_TRUE(Checked(cmd::kLogIdents, true));
    EXPECT_TRUE(Checked(cmd::kLoranMode, false));
    EXPECT_TRUE(Checked(cmd::kViewToolbar, true));
    EXPECT_TRUE(Checked(cmd::kViewStatusBar, true));
    // Card 1 is the system's default input and always has a name.
    EXPECT_TRUE(Enabled(cmd::Card(0), true));
    EXPECT_TRUE(Checked(cmd::Card(0), true));
    EXPECT_EQ(Frame().Actions().ActionsFor(cmd::Card(0)).front()->text(), "Auto");
}

TEST_F(CommandStates, WhileProcessing) {
    Doc().m_bProcessing = 1;
    Doc().m_nRows = 40;
    Frame().RefreshCommandStates();
    for (int id : {cmd::kStart, cmd::kFileLoad, cmd::kScript, cmd::kLoranMode, cmd::kBatchAutoSearch,
                   cmd::Card(0), cmd::Card(1), cmd::Card(2), cmd::Card(3)})
        EXPECT_TRUE(Enabled(id, false));
    for (int id : {cmd::kStop, cmd::kRecord, cmd::kFileSave, cmd::kPurge, cmd::kAutoSearch, cmd::kSpectralDensity})
        EXPECT_TRUE(Enabled(id, true));
    EXPECT_TRUE(Checked(cmd::kRecord, false));
    // The card in use stays marked while it cannot be changed.
    EXPECT_TRUE(Checked(cmd::Card(0), true));

    Doc().m_bRecording = 1;
    Doc().m_bLoran = 1;
    Frame().RefreshCommandStates();
    EXPECT_TRUE(Checked(cmd::kRecord, true));
    EXPECT_TRUE(Checked(cmd::kLoranMode, true));
    Doc().m_bRecording = 0;
}

TEST_F(CommandStates, AlongTheRoad) {
    Doc().m_nRows = 100;
    Doc().m_nViewMode = 2;
    Frame().RefreshCommandStates();
    EXPECT_TRUE(Checked(cmd::kSpectralDensity, true));
    EXPECT_TRUE(Checked(cmd::kViewSignal, false));
    EXPECT_TRUE(Enabled(cmd::kPeriodSearch, false));

    Doc().m_nLine = 0;
    Frame().RefreshCommandStates();
    EXPECT_TRUE(Enabled(cmd::kPeriodSearch, true));
    EXPECT_TRUE(Enabled(cmd::kNextSpec, true));
    EXPECT_TRUE(Enabled(cmd::kPrevSpec, false));
    EXPECT_TRUE(Enabled(cmd::kIntegrate, false));

    Doc().m_nLine = 127;
    Doc().m_nPeriodBin = 12;
    Doc().m_nViewMode = 4;
    Frame().RefreshCommandStates();
    EXPECT_TRUE(Enabled(cmd::kNextSpec, false));
    EXPECT_TRUE(Enabled(cmd::kPrevSpec, true));
    EXPECT_TRUE(Enabled(cmd::kIntegrate, true));
    EXPECT_TRUE(Enabled(cmd::kIdent, true));
    EXPECT_TRUE(Checked(cmd::kSpectralDensity, false));

    // Start keeps the view mode but forgets the rows: nothing that reads them stays enabled.
    Doc().m_nRows = 0;
    Frame().RefreshCommandStates();
    for (int id : {cmd::kPeriodSearch, cmd::kIntegrate, cmd::kSpectralDensity, cmd::kFileSave})
        EXPECT_TRUE(Enabled(id, false));
}

TEST_F(CommandStates, CardItemsShowTheDeviceNames) {
    Doc().m_strCardName[1] = "Line In & Mic";
    Doc().m_nCardDevice[1] = 0;
    Doc().m_nSoundcard = 1;
    Frame().RefreshCommandStates();
    QAction* card2 = Frame().Actions().ActionsFor(cmd::Card(1)).front();
    EXPECT_EQ(card2->text(), "Line In && Mic");
    EXPECT_TRUE(card2->isEnabled());
    EXPECT_TRUE(card2->isChecked());
    EXPECT_TRUE(Checked(cmd::Card(0), false));
    // Cards without a device stay disabled, unchecked and keep their own text.
    QAction* card4 = Frame().Actions().ActionsFor(cmd::Card(3)).front();
    EXPECT_FALSE(card4->isEnabled());
    EXPECT_FALSE(card4->isChecked());
    EXPECT_EQ(card4->text(), "Card 4");

    Doc().m_bProcessing = 1;
    Frame().RefreshCommandStates();
    EXPECT_FALSE(card2->isEnabled());
    EXPECT_TRUE(card2->isChecked());
    EXPECT_EQ(card2->text(), "Line In && Mic");
}

TEST_F(CommandStates, AStartThatFailsLeavesTheProgramIdle) {
    // A source that is gone: the open fails on any machine, sound server or not.
    Doc().m_strCardName[1] = "Gone";
    Doc().m_nCardDevice[1] = 99;
    Doc().m_nSoundcard = 1;
    Frame().RefreshCommandStates();
    QString message;
    auto box = AnswerMessageBox(message);
    Frame().Execute(cmd::kStart);
    ASSERT_TRUE(box->Ran());
    EXPECT_TRUE(message.startsWith("On opening the audio device..")) << message.toStdString();
    EXPECT_EQ(Doc().m_bProcessing, 0);
    EXPECT_TRUE(Enabled(cmd::kStart, true));
    EXPECT_TRUE(Enabled(cmd::kStop, false));
    EXPECT_TRUE(Enabled(cmd::kRecord, false));
    EXPECT_TRUE(Enabled(cmd::kFileLoad, true));
    EXPECT_TRUE(Enabled(cmd::Card(1), true));
    EXPECT_EQ(Frame().windowTitle(), "Sorvantel from KELD - idle");
}

TEST_F(CommandStates, ToolbarAndStatusBarItemsFollowTheBars) {
    QAction* toolbar = Frame().Actions().ActionsFor(cmd::kViewToolbar).front();
    toolbar->trigger();
    EXPECT_TRUE(Frame().ToolBar()->isHidden());
    EXPECT_TRUE(Checked(cmd::kViewToolbar, false));
    toolbar->trigger();
    EXPECT_FALSE(Frame().ToolBar()->isHidden());
    EXPECT_TRUE(Checked(cmd::kViewToolbar, true));

    Frame().Actions().ActionsFor(cmd::kViewStatusBar).front()->trigger();
    EXPECT_TRUE(Checked(cmd::kViewStatusBar, false));
}

TEST_F(CommandStates, ScriptIsDisabledWhileAScriptRuns) {
    Doc().m_bScriptRunning = 1;
    Frame().RefreshCommandStates();
    EXPECT_TRUE(Enabled(cmd::kScript, false));
    // The platform's refresher is what a script's wait step calls.
    Doc().m_bScriptRunning = 0;
    Frame().Platform().RefreshCommandStates();
    EXPECT_TRUE(Enabled(cmd::kScript, true));
}

}  // namespace
}  // namespace sorv::test

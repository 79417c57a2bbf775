// The main window: menus, toolbar, status bar, accelerators, the commands they reach, the
// About box, the help and the close path.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <fstream>

#include "app/command_ids.h"
#include "app/help_viewer.h"
#include "display/sorvantel_view.h"
#include "shell_fixture.h"
#include "support/keyed_rows.h"

namespace sorv::test {
namespace {

using MainFrame = ShellTest;

QStringList Texts(const QList<QAction*>& actions) {
    QStringList texts;
    for (QAction* a : actions) texts << (a->isSeparator() ? "-" : a->text());
    return texts;
}

QMenu* Menu(QWidget& frame, const QString& title) {
    for (QAction* a : static_cast<QMainWindow&>(frame).menuBar()->actions())
        if (a->text() == title) return a->menu();
    return nullptr;
}

QAction* Item(QMenu* menu, const QString& text) {
    for (QAction* a : menu->actions())
        if (a->text() == text) return a;
    return nullptr;
}

TEST_F(MainFrame, MenusInOrderWithTheirTexts) {
    EXPECT_EQ(Texts(Frame().menuBar()->actions()),
              QStringList({"&File", "&View", "Process", "Options", "Tools", "&Help"}));
    EXPECT_EQ(Texts(Menu(Frame(), "&File")->actions()), QStringList({"&Save", "&Load", "&Analyse recording...", "E&xit"}));
    EXPECT_EQ(Texts(Menu(Frame(), "&View")->actions()),
              QStringList({"&Toolbar", "&Status Bar", "Signal", "Spectrum", "Spectral Density", "Periodicity",
                           "Integral"}));
    EXPECT_EQ(Texts(Menu(Frame(), "Options")->actions()),
              QStringList({"Audio", "Spectral range", "Period range", "Period scale", "Purge data", "Log idents",
                           "Directories", "Playback", "Nominal carrier", "Ident wpm", "Script", "Record",
                           "Loran-C"}));
    QMenu* tools = Menu(Frame(), "Tools");
    EXPECT_EQ(Texts(tools->actions()), QStringList({"Spectral density", "Period search", "Integrate data", "Ident",
                                                    "Next spec", "Prev spec", "Auto search"}));
    EXPECT_EQ(Texts(Item(tools, "Auto search")->menu()->actions()),
              QStringList({"Setup", "Auto search", "Batch auto search", "Semi auto search fwd",
                           "Semi auto search back", "-", "Sensitive detection"}));
    EXPECT_EQ(Texts(Menu(Frame(), "&Help")->actions()), QStringList({"&Help Topics", "-", "&About Sorvantel..."}));
    // Within a menu no two items share a mnemonic, so Alt+F then a letter is never ambiguous.
    for (const char* title : {"&File", "&View", "&Help"}) {
        QString letters;
        for (QAction* a : Menu(Frame(), title)->actions()) {
            const qsizetype amp = a->text().indexOf('&');
            if (amp < 0 || amp + 1 >= a->text().size()) continue;
            const QChar letter = a->text().at(amp + 1).toLower();
            EXPECT_FALSE(letters.contains(letter)) << title << ": " << a->text().toStdString();
            letters += letter;
        }
    }
    QMenu* source = Item(Item(Menu(Frame(), "Options"), "Audio")->menu(), "Source")->menu();
    EXPECT_EQ(source->actions().size(), 4);
    // The View and Tools menus name one command twice.
    EXPECT_EQ(Item(Menu(Frame(), "&View"), "Periodicity")->data().toInt(), cmd::kPeriodSearch);
    EXPECT_EQ(Item(tools, "Period search")->data().toInt(), cmd::kPeriodSearch);
}

TEST_F(MainFrame, ToolbarHasFifteenButtonsWithTheirTips) {
    QStringList layout;
    for (QAction* a : Frame().ToolBar()->actions()) {
        if (a->isSeparator()) {
            layout << "-";
            continue;
        }
        EXPECT_FALSE(a->icon().isNull()) << a->text().toStdString();
        layout << QString::number(a->data().toInt());
    }
    EXPECT_EQ(layout, QStringList({"32806", "32771", "32772", "32809", "-", "32779", "32780", "32781", "32786",
                                   "32788", "32789", "32803", "32828", "-", "32782", "-", "57664", "57669"}));
    const auto actions = Frame().ToolBar()->actions();
    EXPECT_EQ(actions[1]->toolTip(), "Start");
    EXPECT_EQ(actions[8]->toolTip(), "Period");
    EXPECT_EQ(actions[17]->toolTip(), "Help");
    EXPECT_EQ(actions[1]->statusTip(), "Start processing audio");
    // Load has no tooltip: its button swallows the tooltip request.
    QWidget* load = Frame().ToolBar()->widgetForAction(actions[0]);
    QHelpEvent tip(QEvent::ToolTip, QPoint(2, 2), load->mapToGlobal(QPoint(2, 2)));
    EXPECT_TRUE(QApplication::sendEvent(load, &tip));
    // The icons are drawn, not blank, at twice the size too.
    const QImage image = actions[1]->icon().pixmap(QSize(16, 16), 2.0).toImage();
    EXPECT_EQ(image.width(), 32);
    EXPECT_GT(qAlpha(image.pixel(14, 16)), 200);
}

TEST_F(MainFrame, StatusBarShowsPromptsAndReturnsToTheIdleText) {
    QStatusBar* bar = Frame().statusBar();
    EXPECT_EQ(bar->currentMessage(), "For Help, press F1");
    QStatusTipEvent hover("Start processing audio");
    QApplication::sendEvent(&Frame(), &hover);
    EXPECT_EQ(bar->currentMessage(), "Start processing audio");
    QStatusTipEvent leave{QString()};
    QApplication::sendEvent(&Frame(), &leave);
    EXPECT_EQ(bar->currentMessage(), "For Help, press F1");
    for (const char* pane : {"CAP", "NUM", "SCRL"}) EXPECT_NE(bar->findChild<QLabel*>(pane), nullptr) << pane;
}

TEST_F(MainFrame, CharacterAcceleratorsRunOnlyEnabledCommands) {
    int* next = CountRuns(cmd::kNextSpec);
    int* prev = CountRuns(cmd::kPrevSpec);
    QWidget* view = Frame().View();
    Doc().m_nRows = 64;
    Doc().m_nLine = -1;
    Frame().RefreshCommandStates();
    QTest::keyClick(view, '>');
    QTest::keyClick(view, '<');
    EXPECT_EQ(*next, 0);
    EXPECT_EQ(*prev, 0);

    Doc().m_nLine = 127;
    QTest::keyClick(view, '>');
    QTest::keyClick(view, '<');
    EXPECT_EQ(*next, 0);
    EXPECT_EQ(*prev, 1);

    Doc().m_nLine = 5;
    QTest::keyClick(view, '>');
    EXPECT_EQ(*next, 1);
}

TEST_F(MainFrame, NextSpecKeyMovesToTheNextLineAndSearchesIt) {
    Doc().m_nRows = 64;
    Doc().m_nLine = 10;
    Doc().m_nViewMode = 3;
    QTest::keyClick(Frame().View(), '>');
    EXPECT_EQ(Doc().m_nLine, 11);
    EXPECT_EQ(Doc().m_bLineSearched[11], 1);
}

TEST_F(MainFrame, KeyAcceleratorsReachTheirCommands) {
    int* back = CountRuns(cmd::kSemiAutoBack);
    int* fwd = CountRuns(cmd::kSemiAutoFwd);
    int* step = CountRuns(cmd::kStep);
    int* help = CountRuns(cmd::kHelp);
    int* context = CountRuns(cmd::kContextHelp);
    // Window accelerators act in the active window only.
    Frame().show();
    QApplication::setActiveWindow(&Frame());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
    QWidget* view = Frame().View();
    QTest::keyClick(view, Qt::Key_BracketRight);
    QTest::keyClick(view, Qt::Key_BraceRight, Qt::ShiftModifier);
    QTest::keyClick(view, Qt::Key_BracketRight, Qt::ShiftModifier);
    QTest::keyClick(view, Qt::Key_Return);
    QTest::keyClick(view, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(view, Qt::Key_Tab);
    QTest::keyClick(view, Qt::Key_F1);
    QTest::keyClick(view, Qt::Key_F1, Qt::ShiftModifier);
    EXPECT_EQ(*back, 1);
    EXPECT_EQ(*fwd, 2);
    EXPECT_EQ(*step, 3);
    EXPECT_EQ(*help, 1);
    EXPECT_EQ(*context, 1);

    // In a dialog over the main window, Enter keeps its usual meaning: OK.
    auto ran = ModalAnswer::On<QDialog>([](QDialog* d) {
        QTest::keyClick(d->findChild<QLineEdit*>("1002"), Qt::Key_Return);
    });
    Frame().Actions().ActionsFor(cmd::kPeriodRange).front()->trigger();
    EXPECT_TRUE(ran->Ran());
    EXPECT_EQ(*step, 3);
}

TEST_F(MainFrame, EnterInTheIntegralGraphStepsBackToThePeriodicityGraph) {
    Frame().show();
    QApplication::setActiveWindow(&Frame());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
    Doc().m_nRows = 64;
    Doc().m_nLine = 10;
    Doc().m_nViewMode = 4;
    QTest::keyClick(Frame().View(), Qt::Key_Return);
    EXPECT_EQ(Doc().m_nViewMode, 3);
    EXPECT_EQ(Doc().m_bLineSearched[10], 1);
    EXPECT_EQ(Doc().m_nPeriodBin, -1);
}

TEST_F(MainFrame, ViewPeriodicityRunsThePeriodSearch) {
    Doc().m_nRows = 64;
    Doc().m_nLine = 10;
    Doc().m_nViewMode = 2;
    QAction* periodicity = Item(Menu(Frame(), "&View"), "Periodicity");
    Frame().RefreshCommandStates();
    ASSERT_TRUE(periodicity->isEnabled());
    periodicity->trigger();
    EXPECT_EQ(Doc().m_nViewMode, 3);
    EXPECT_EQ(Doc().m_bLineSearched[10], 1);
    EXPECT_GT(Doc().m_nPeriodBins, 0);
}

TEST_F(MainFrame, SemiAutoSearchFromMenuOrKeyReadiesTheWindowForIntegrateWithoutAPaint) {
    // 16384 rows with line 63 keyed every 9 s; the window is never painted in between.
    Doc().m_nRows = 16384;
    FillKeyedRows(Doc().m_power.get(), Doc().m_nRows, KeyedRowsSpec{});
    Doc().m_nLine = 57;
    Doc().OnPeriodSearch();
    auto expectWindowOfTheDesignatedBin = [this](const char* how) {
        ASSERT_GE(Doc().m_nPeriodBin, 1) << how;
        const double tp = 1.0 / (Doc().m_nPeriodBin * 0.5 * Doc().RowRate() / Doc().m_nPeriodBins);
        EXPECT_NEAR(tp, 9.0, 0.2) << how;
        EXPECT_NEAR(Doc().m_dPeriodMax, tp + 0.5, 1e-9) << how;
        EXPECT_NEAR(Doc().m_dPeriodMin, tp - 0.5, 1e-9) << how;
    };
    Item(Item(Menu(Frame(), "Tools"), "Auto search")->menu(), "Semi auto search fwd")->trigger();
    EXPECT_EQ(Doc().m_nLine, 63);
    expectWindowOfTheDesignatedBin("menu");
    // Integrate right after folds around that period: its longest trial is Tp + 0.5 s long.
    const double max = Doc().m_dPeriodMax;
    Frame().Execute(cmd::kIntegrate);
    EXPECT_EQ(Doc().m_nViewMode, 4);
    EXPECT_NEAR(Doc().m_nTrialRows[kTrials - 1], max * Doc().RowRate(), 1.0);

    // The accelerator ] searches back, from the line above.
    Frame().show();
    QApplication::setActiveWindow(&Frame());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
    Doc().m_nLine = 64;
    Doc().OnPeriodSearch();
    Doc().m_dPeriodMin = 1.0;
    Doc().m_dPeriodMax = 2.0;
    QTest::keyClick(Frame().View(), Qt::Key_BracketRight);
    EXPECT_EQ(Doc().m_nLine, 63);
    expectWindowOfTheDesignatedBin("key");
}

TEST_F(MainFrame, ParameterCommandOpensItsDialogAndStoresOnOk) {
    QAction* periodRange = Item(Menu(Frame(), "Options"), "Period range");
    auto ran = ModalAnswer::On<QDialog>([](QDialog* d) {
        EXPECT_EQ(d->findChild<QLineEdit*>("1002")->text(), "10");
        EXPECT_EQ(d->findChild<QLineEdit*>("1003")->text(), "9");
        d->findChild<QLineEdit*>("1002")->setText("20.5");
        d->findChild<QPushButton*>("1")->click();
    });
    periodRange->trigger();
    EXPECT_TRUE(ran->Ran());
    EXPECT_EQ(Doc().m_dPeriodMax, 20.5);
    EXPECT_EQ(Doc().m_dPeriodMin, 9.0);
}

TEST_F(MainFrame, AboutBoxNamesTheVersion) {
    QString title, text;
    auto ran = ModalAnswer::On<QDialog>([&](QDialog* d) {
        title = d->windowTitle();
        text = d->findChild<QLabel*>("1008")->text();
        d->findChild<QPushButton*>("1")->click();
    });
    Frame().Actions().ActionsFor(cmd::kAbout).front()->trigger();
    EXPECT_TRUE(ran->Ran());
    EXPECT_EQ(title, "About Sorvantel");
    EXPECT_EQ(text, "Sorvantel Version 2.9.6");
}

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

TEST(UserGuide, OpensTheFirstGuideFoundOrSaysItIsMissing) {
    TempDir dir;
    std::ofstream(dir.file("index.html")) << "<html></html>";
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "open");
    const QString guide = QString::fromStdString(dir.file("index.html"));
    EXPECT_TRUE(OpenUserGuide(nullptr, {"/nonexistent/help/index.html", guide}));
    QDesktopServices::unsetUrlHandler("file");
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0].toLocalFile(), guide);

    QString message;
    auto shown = AnswerMessageBox(message);
    EXPECT_FALSE(OpenUserGuide(nullptr, {"/nonexistent/help/index.html"}));
    EXPECT_TRUE(shown->Ran());
    EXPECT_TRUE(message.contains("/nonexistent/help/index.html"));
}

TEST_F(MainFrame, CloseIsRefusedWhileAScriptRunsAndOtherwiseSavesSettings) {
    Doc().m_bScriptRunning = 1;
    Frame().Actions().ActionsFor(cmd::kAppExit).front()->trigger();
    EXPECT_FALSE(Frame().close());
    ASSERT_TRUE(Frame().HasDocument());

    Doc().m_bScriptRunning = 0;
    Doc().m_nWpm = 17;
    Doc().m_dAutoToneMin = 412.5;
    Frame().Actions().ActionsFor(cmd::kAppExit).front()->trigger();
    EXPECT_FALSE(Frame().HasDocument());
    EXPECT_EQ(Frame().View(), nullptr);

    // A new run reads what the closed one stored.
    CMainFrame next;
    EXPECT_EQ(next.Doc().m_nWpm, 17);
    EXPECT_EQ(next.Doc().m_dAutoToneMin, 412.5);
}

}  // namespace
}  // namespace sorv::test

#include "main_frame_test.moc"

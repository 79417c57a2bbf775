// The menu bar, the toolbar and the status bar of the main window.
#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include "app/command_ids.h"
#include "app/lock_indicators.h"
#include "app/main_frame.h"

namespace sorv {

namespace {

// Swallows the tooltip of a toolbar button whose command has none (Load).
class NoToolTip : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* e) override { return e->type() == QEvent::ToolTip; }
};

}  // namespace

void CMainFrame::CreateMenus() {
    CommandActions& a = *actions_;
    QMenuBar* bar = menuBar();

    QMenu* file = bar->addMenu("&File");
    file->addAction(a.Make(cmd::kFileSave));
    file->addAction(a.Make(cmd::kFileLoad));
    file->addAction(a.Make(cmd::kAnalyseRecording));
    file->addAction(a.Make(cmd::kAppExit));

    // The View menu names three analysis commands by the graph they show.
    QMenu* view = bar->addMenu("&View");
    view->addAction(a.Make(cmd::kViewToolbar));
    view->addAction(a.Make(cmd::kViewStatusBar));
    view->addAction(a.Make(cmd::kViewSignal));
    view->addAction(a.Make(cmd::kViewSpectrum));
    view->addAction(a.Make(cmd::kSpectralDensity, "Spectral Density"));
    view->addAction(a.Make(cmd::kPeriodSearch, "Periodicity"));
    view->addAction(a.Make(cmd::kIntegrate, "Integral"));

    QMenu* process = bar->addMenu("Process");
    process->addAction(a.Make(cmd::kStart));
    process->addAction(a.Make(cmd::kStop));

    QMenu* options = bar->addMenu("Options");
    QMenu* audio = options->addMenu("Audio");
    audio->addAction(a.Make(cmd::kMixer));
    QMenu* source = audio->addMenu("Source");
    for (int i = 0; i < 4; ++i) source->addAction(a.Make(cmd::Card(i)));
    for (int id : {cmd::kSpectralRange, cmd::kPeriodRange, cmd::kPeriodScale, cmd::kPurge, cmd::kLogIdents})
        options->addAction(a.Make(id));
    options->addMenu("Directories")->addAction(a.Make(cmd::kLogFiles));
    for (int id : {cmd::kPlayback, cmd::kNominalCarrier, cmd::kIdentWpm, cmd::kScript, cmd::kRecord})
        options->addAction(a.Make(id));
    QMenu* loran = options->addMenu("Loran-C");
    loran->addAction(a.Make(cmd::kLoranMode));
    loran->addAction(a.Make(cmd::kGri));

    QMenu* tools = bar->addMenu("Tools");
    for (int id : {cmd::kSpectralDensity, cmd::kPeriodSearch, cmd::kIntegrate, cmd::kIdent, cmd::kNextSpec,
                   cmd::kPrevSpec})
        tools->addAction(a.Make(id));
    QMenu* search = tools->addMenu("Auto search");
    for (int id : {cmd::kAutoSetup, cmd::kAutoSearch, cmd::kBatchAutoSearch, cmd::kSemiAutoFwd, cmd::kSemiAutoBack})
        search->addAction(a.Make(id));
    search->addSeparator();
    search->addAction(a.Make(cmd::kSensitiveDetection));

    QMenu* help = bar->addMenu("&Help");
    help->addAction(a.Make(cmd::kHelpTopics));
    help->addSeparator();
    help->addAction(a.Make(cmd::kAbout));

    // Every menu, submenus included, shows the states of this moment.
    for (QMenu* m : bar->findChildren<QMenu*>())
        connect(m, &QMenu::aboutToShow, this, &CMainFrame::RefreshCommandStates);
}

void CMainFrame::CreateToolBar() {
    toolBar_ = addToolBar("Toolbar");
    toolBar_->setObjectName("59392");
    toolBar_->setIconSize(QSize(16, 16));
    const int layout[] = {cmd::kFileLoad,    cmd::kStart,     cmd::kStop,      cmd::kRecord,       0,
                          cmd::kViewSignal,  cmd::kViewSpectrum, cmd::kSpectralDensity, cmd::kPeriodSearch,
                          cmd::kIntegrate,   cmd::kIdent,     cmd::kPlayback,  cmd::kLoranMode,    0,
                          cmd::kPurge,       0,               cmd::kAbout,     cmd::kContextHelp};
    auto* noTip = new NoToolTip(toolBar_);
    for (int id : layout) {
        if (id == 0) {
            toolBar_->addSeparator();
            continue;
        }
        QAction* action = actions_->Make(id);
        toolBar_->addAction(action);
        if (commands_.Find(id)->toolTip.isEmpty()) {
            if (QWidget* button = toolBar_->widgetForAction(action)) button->installEventFilter(noTip);
        }
    }
    connect(toolBar_, &QToolBar::visibilityChanged, this, &CMainFrame::ScheduleRefresh);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName("59393");
    // The idle text comes back whenever a hovered item's prompt goes away.
    connect(bar, &QStatusBar::messageChanged, this, [bar](const QString& text) {
        if (text.isEmpty()) bar->showMessage(kIdleMessage);
    });
    bar->showMessage(kIdleMessage);
    locks_ = new LockIndicators(bar);
}

}  // namespace sorv

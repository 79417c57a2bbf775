#include "app/main_frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include "app/about_dlg.h"
#include "app/command_ids.h"
#include "app/help_viewer.h"
#include "app/lock_indicators.h"
#include "app/recording_analysis.h"
#include "app/sorvantel_commands.h"
#include "app/window_placement.h"
#include "display/sorvantel_view.h"

namespace sorv {

const char* const CMainFrame::kIdleMessage = "For Help, press F1";

CMainFrame::CMainFrame() {
    setWindowTitle("Sorvantel");
    setWindowIcon(QIcon(":/icons/sorvantel.svg"));
    platform_.SetMainWindow(this);
    doc_ = std::make_unique<CSorvantelDoc>(platform_);
    platform_.SetDocument(doc_.get());
    view_ = new CSorvantelView(*doc_, this);
    platform_.SetView(view_);
    recording_ = new RecordingAnalysis(*doc_, platform_, this);
    setCentralWidget(view_);

    CreateCommands();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreateAccelerators();
    platform_.SetCommandStateRefresher([this] { RefreshCommandStates(); });
    // Keys typed anywhere in this window, and the view's clicks, pass through here.
    qApp->installEventFilter(this);
    RefreshCommandStates();
    PlaceMainWindow(*this, *view_, *doc_);
    view_->setFocus();
}

CMainFrame::~CMainFrame() { ShutDown(); }

void CMainFrame::CreateCommands() {
    FrameCommands frame;
    frame.exit = [this] { close(); };
    frame.toggleToolbar = [this] { toolBar_->setHidden(!toolBar_->isHidden()); };
    frame.toolbarVisible = [this] { return toolBar_ && !toolBar_->isHidden(); };
    frame.toggleStatusBar = [this] { statusBar()->setHidden(!statusBar()->isHidden()); };
    frame.statusBarVisible = [this] { return !statusBar()->isHidden(); };
    frame.step = [this] {
        if (view_) view_->OnStep();
    };
    frame.about = [this] { ShowAbout(); };
    frame.help = [this] { ShowHelp(); };
    frame.analyseRecording = [this] { recording_->Run(); };
    frame.analysingRecording = [this] { return recording_->Running(); };
    FillCommandTable(commands_, *doc_, frame);
    actions_ = new CommandActions(commands_, [this](int id) { Execute(id); }, this);
}

void CMainFrame::Execute(int id) {
    if (!doc_) return;
    commands_.Execute(id);
    RefreshCommandStates();
}

void CMainFrame::RefreshCommandStates() {
    if (!doc_) return;
    actions_->Refresh();
    if (locks_) locks_->Update();
}

void CMainFrame::ScheduleRefresh() {
    if (refreshQueued_) return;
    refreshQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        refreshQueued_ = false;
        RefreshCommandStates();
    });
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* e) {
    if (!watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != this) return false;
    switch (e->type()) {
        case QEvent::KeyPress:
            if (HandleCharacterAccelerator(watched, e)) return true;
            ScheduleRefresh();
            break;
        case QEvent::KeyRelease:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
            // The view's own handlers change what the commands may do.
            ScheduleRefresh();
            break;
        default:
            break;
    }
    return false;
}

void CMainFrame::closeEvent(QCloseEvent* e) {
    // A running script waits in a nested event loop: the window must not go from under it.
    if (doc_ && doc_->m_bScriptRunning) {
        e->ignore();
        return;
    }
    ShutDown();
    e->accept();
}

void CMainFrame::ShutDown() {
    if (!doc_) return;
    // Only a window that stood on the screen has a place worth keeping.
    if (isVisible()) RememberMainWindow(*this, *doc_);
    platform_.SetCommandStateRefresher({});
    for (QAction* a : actions_->findChildren<QAction*>()) a->setEnabled(false);
    // The feed writes into the document: it ends before the document goes.
    recording_->Abandon();
    // The view draws from the document, so it goes first.
    if (view_) {
        delete takeCentralWidget();
        view_ = nullptr;
    }
    platform_.SetDocument(nullptr);
    doc_.reset();
}

void CMainFrame::ShowAbout() {
    CAboutDlg dlg(this);
    dlg.exec();
}

void CMainFrame::ShowHelp() { OpenUserGuide(this, UserGuideCandidates()); }

}  // namespace sorv

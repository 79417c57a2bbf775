// The main window: owns the platform services, the one document and the one view, and shows
// the commands of the command table as menus, a toolbar and accelerators, with a status bar.
#pragma once

#include <QMainWindow>
#include <memory>

#include "app/command_actions.h"
#include "app/command_table.h"
#include "app/qt_platform.h"
#include "engine/sorvantel_doc.h"

class QToolBar;

namespace sorv {

class CSorvantelView;
class LockIndicators;
class RecordingAnalysis;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame();
    ~CMainFrame() override;

    CSorvantelDoc& Doc() { return *doc_; }
    bool HasDocument() const { return doc_ != nullptr; }
    QtPlatform& Platform() { return platform_; }
    CSorvantelView* View() { return view_; }
    CommandTable& Commands() { return commands_; }
    CommandActions& Actions() { return *actions_; }
    QToolBar* ToolBar() { return toolBar_; }

    // Runs a command by id when its rule allows it, then brings every state up to date.
    void Execute(int id);
    // Applies every enable and check rule to menus and toolbar, and reads the lock keys.
    void RefreshCommandStates();

    // The status bar's text when nothing is hovered.
    static const char* const kIdleMessage;

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void CreateCommands();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateAccelerators();
    void ScheduleRefresh();
    bool HandleCharacterAccelerator(QObject* watched, QEvent* e);
    void ShowAbout();
    void ShowHelp();
    // Destroys the view and then the document, which finalises the recording, stops
    // playback, closes capture and saves the settings.
    void ShutDown();

    QtPlatform platform_;
    std::unique_ptr<CSorvantelDoc> doc_;
    CSorvantelView* view_ = nullptr;
    CommandTable commands_;
    CommandActions* actions_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    LockIndicators* locks_ = nullptr;
    RecordingAnalysis* recording_ = nullptr;
    bool refreshQueued_ = false;
};

}  // namespace sorv

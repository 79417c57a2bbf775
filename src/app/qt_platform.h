// The Qt implementation of the platform services: the main window's title, message boxes,
// file dialogs, the parameter dialogs, view timers, program start, audio devices, serial
// ports, the calendar clock, the settings location and the script's wait step.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "engine/platform_services.h"

class QTimer;

namespace sorv {

class CSorvantelDoc;

class QtPlatform : public QObject, public IPlatformServices {
    Q_OBJECT
public:
    QtPlatform();
    ~QtPlatform() override;

    // The document receives timer ticks; the main window parents dialogs and gets the title;
    // the view is repainted on update requests.
    void SetDocument(CSorvantelDoc* doc) { doc_ = doc; }
    void SetMainWindow(QWidget* w) { mainWindow_ = w; }
    void SetView(QWidget* v) { view_ = v; }
    // Called to re-evaluate command states (the shell installs its updater).
    void SetCommandStateRefresher(std::function<void()> f) { refresher_ = std::move(f); }

    void SetMainTitle(std::string_view title) override;
    void UpdateAllViews() override;
    void RefreshCommandStates() override;
    void SetWaitCursor(bool on) override;
    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    bool OpenFileDialog(const FileDialogSpec& spec, std::string& path) override;
    bool OpenFilesDialog(const FileDialogSpec& spec, std::vector<std::string>& paths) override;
    bool SaveFileDialog(const FileDialogSpec& spec, std::string& path) override;
    bool BrowseFolderDialog(const std::string& title, const std::string& initialDir, std::string& chosenDir) override;
    bool RunSpectrumDialog(SpectrumDlgValues& v) override;
    bool RunPeriodDialog(PeriodDlgValues& v) override;
    bool RunCarrierDialog(CarrierDlgValues& v) override;
    bool RunPeriodScaleDialog(PerScaleDlgValues& v) override;
    bool RunWpmDialog(WpmDlgValues& v) override;
    bool RunAutoParmDialog(AutoParmDlgValues& v) override;
    bool RunGriDialog(GriDlgValues& v) override;
    int CreateViewTimer(int id, int periodMs) override;
    void KillViewTimer(int id) override;
    void StartVolumeControl(int selectedCard) override;
    void ShellOpen(const std::string& text) override;
    int CaptureDeviceCount() override;
    int CaptureDeviceName(int device, std::string& name) override;
    int OpenCapture(int device, std::unique_ptr<IWaveIn>& out) override;
    int OpenPlayback(std::unique_ptr<IWaveOut>& out) override;
    SerialOpenResult OpenSerialPort(const std::string& device, int baud, std::unique_ptr<ISerialPort>& out) override;
    int64_t NowUtc() override;
    CalendarTime ToUtc(int64_t t) override;
    CalendarTime ToLocal(int64_t t) override;
    bool LocalToUtc(const CalendarTime& local, int64_t& out) override;
    void WaitStep(int sleepMs) override;
    std::string SettingsFilePath() override;
    std::string DefaultLogDirectory() override;

private:
    void ShowTitle();

    CSorvantelDoc* doc_ = nullptr;
    QPointer<QWidget> mainWindow_;
    QPointer<QWidget> view_;
    std::function<void()> refresher_;
    std::map<int, QTimer*> timers_;
    // The capture devices, listed once: Qt's inputs, then the sound server's monitors of
    // outputs, which Qt does not list and which are opened by their server name.
    struct CaptureInput {
        QByteArray id;
        std::string name;
        bool monitor = false;
    };
    std::vector<CaptureInput> captureInputs_;
    int waitCursorDepth_ = 0;
    std::string title_;         // the latest title, shown at once or at the next event-loop turn
    bool titlePending_ = false;
};

}  // namespace sorv

#include "app/qt_platform.h"

#include <QApplication>
#include <QCursor>
#include <QFileDialog>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <ctime>

#include "app/plain_message_box.h"
#include "engine/sorvantel_doc.h"
#include "engine/system_calendar.h"

namespace sorv {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QString FilterText(const FileDialogSpec& spec) {
    QStringList list;
    for (const auto& f : spec.filters) list << Q(f);
    return list.join(";;");
}

std::string EnvOrHome(const char* var, const char* homeSuffix) {
    const char* v = std::getenv(var);
    if (v && *v == '/') return v;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + homeSuffix;
}

}  // namespace

QtPlatform::QtPlatform() = default;
QtPlatform::~QtPlatform() = default;

void QtPlatform::SetMainTitle(std::string_view title) {
    title_.assign(title);  // keeps its capacity: no allocation once the longest title was seen
    // While the engine processes, every row retitles the window, thousands of times a second
    // when a recording is fed as fast as it can be read; only the last title before the event
    // loop runs again can ever be seen, so the window takes that one, once per turn. Titles
    // of commands outside processing are shown at once.
    if (doc_ && doc_->m_bProcessing) {
        if (!titlePending_) {
            titlePending_ = true;
            QMetaObject::invokeMethod(this, [this] { if (titlePending_) ShowTitle(); }, Qt::QueuedConnection);
        }
        return;
    }
    ShowTitle();
}

void QtPlatform::ShowTitle() {
    titlePending_ = false;
    if (!mainWindow_) return;
    mainWindow_->setWindowTitle(QString::fromUtf8(title_.data(), static_cast<qsizetype>(title_.size())));
}

void QtPlatform::UpdateAllViews() {
    if (view_) view_->update();
}

void QtPlatform::RefreshCommandStates() {
    if (refresher_) refresher_();
}

void QtPlatform::SetWaitCursor(bool on) {
    if (on) {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        ++waitCursorDepth_;
    } else if (waitCursorDepth_ > 0) {
        QApplication::restoreOverrideCursor();
        --waitCursorDepth_;
    }
}

void QtPlatform::ShowMessage(const std::string& text) {
    RunPlainMessageBox(mainWindow_, QMessageBox::NoIcon, Q(text), QMessageBox::Ok);
}

bool QtPlatform::AskYesNo(const std::string& text) {
    return RunPlainMessageBox(mainWindow_, QMessageBox::Question, Q(text), QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

bool QtPlatform::OpenFileDialog(const FileDialogSpec& spec, std::string& path) {
    QFileDialog dlg(mainWindow_, Q(spec.title), QString(), FilterText(spec));
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    if (!spec.defaultSuffix.empty()) dlg.setDefaultSuffix(Q(spec.defaultSuffix));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
    path = dlg.selectedFiles().first().toStdString();
    return true;
}

bool QtPlatform::OpenFilesDialog(const FileDialogSpec& spec, std::vector<std::string>& paths) {
    QFileDialog dlg(mainWindow_, Q(spec.title), QString(), FilterText(spec));
    dlg.setFileMode(QFileDialog::ExistingFiles);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    if (!spec.defaultSuffix.empty()) dlg.setDefaultSuffix(Q(spec.defaultSuffix));
    if (dlg.exec() != QDialog::Accepted) return false;
    paths.clear();
    for (const QString& f : dlg.selectedFiles()) paths.push_back(f.toStdString());
    return !paths.empty();
}

bool QtPlatform::SaveFileDialog(const FileDialogSpec& spec, std::string& path) {
    QFileDialog dlg(mainWindow_, Q(spec.title), QString(), FilterText(spec));
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    if (!spec.defaultSuffix.empty()) dlg.setDefaultSuffix(Q(spec.defaultSuffix));
    if (!spec.initialName.empty()) dlg.selectFile(Q(spec.initialName));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
    path = dlg.selectedFiles().first().toStdString();
    return true;
}

bool QtPlatform::BrowseFolderDialog(const std::string& title, const std::string& initialDir, std::string& chosenDir) {
    QString dir = QFileDialog::getExistingDirectory(mainWindow_, Q(title), Q(initialDir));
    if (dir.isEmpty()) return false;
    chosenDir = dir.toStdString();
    return true;
}

int QtPlatform::CreateViewTimer(int id, int periodMs) {
    if (timers_.count(id)) return id;
    auto* timer = new QTimer(this);
    timer->setInterval(periodMs);
    connect(timer, &QTimer::timeout, this, [this, id] {
        if (doc_) doc_->OnViewTimer(id);
        RefreshCommandStates();
    });
    timer->start();
    timers_[id] = timer;
    return id;
}

void QtPlatform::KillViewTimer(int id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    it->second->stop();
    it->second->deleteLater();
    timers_.erase(it);
}

int64_t QtPlatform::NowUtc() { return static_cast<int64_t>(std::time(nullptr)); }

CalendarTime QtPlatform::ToUtc(int64_t t) { return SystemUtcTime(t); }

CalendarTime QtPlatform::ToLocal(int64_t t) { return SystemLocalTime(t); }

bool QtPlatform::LocalToUtc(const CalendarTime& local, int64_t& out) { return SystemLocalToUtc(local, out); }

void QtPlatform::WaitStep(int sleepMs) {
    // The main window refuses to close while a script runs, so delivering every event is safe.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    RefreshCommandStates();
    QThread::msleep(static_cast<unsigned long>(sleepMs));
}

std::string QtPlatform::SettingsFilePath() {
    return EnvOrHome("XDG_CONFIG_HOME", "/.config") + "/KELD/Sorvantel/settings.reg";
}

std::string QtPlatform::DefaultLogDirectory() {
    return EnvOrHome("XDG_DATA_HOME", "/.local/share") + "/KELD/Sorvantel/log files/";
}

}  // namespace sorv

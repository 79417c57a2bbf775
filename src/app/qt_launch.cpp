// Starting other programs: the desktop's volume control for the Mixer command, and the
// script's "shell" command. Both start detached and never wait; their results are not examined.
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include "app/qt_platform.h"
#include "automation/shell_program.h"

namespace sorv {

void QtPlatform::StartVolumeControl(int /*selectedCard*/) {
    // PulseAudio's volume control on its input tab: the desktop's mixer for recording sources.
    // It chooses the source itself, so the selected card is not passed on.
    struct Mixer { const char* program; QStringList arguments; };
    const Mixer mixers[] = {
        {"pavucontrol", {"-t", "4"}},
        {"pavucontrol-qt", {"-t", "4"}},
        {"gnome-control-center", {"sound"}},
    };
    for (const Mixer& m : mixers) {
        const QString path = QStandardPaths::findExecutable(m.program);
        if (path.isEmpty()) continue;
        QProcess::startDetached(path, m.arguments);
        return;
    }
}

void QtPlatform::ShellOpen(const std::string& text) {
    const QString qtext = QString::fromStdString(text);
    const std::string program = ProgramForShellText(text);
    if (!program.empty()) {
        // The whole text is the program: no shell, so nothing in it is interpreted.
        QProcess::startDetached(QString::fromStdString(program), {});
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(qtext).absoluteFilePath()));
}

}  // namespace sorv

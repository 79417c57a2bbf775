#include "app/help_viewer.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "app/plain_message_box.h"

namespace sorv {

QStringList UserGuideCandidates() {
    const QString bin = QCoreApplication::applicationDirPath();
    return {
        QDir(bin).filePath("help/index.html"),
        QDir(bin).filePath("../share/sorvantel/help/index.html"),
    };
}

QString FindUserGuide(const QStringList& candidates) {
    for (const QString& path : candidates) {
        if (QFileInfo(path).isFile()) return QFileInfo(path).absoluteFilePath();
    }
    return QString();
}

bool OpenUserGuide(QWidget* parent, const QStringList& candidates) {
    const QString path = FindUserGuide(candidates);
    if (!path.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(path))) return true;
    const QString text = path.isEmpty()
                             ? QString("The help files cannot be found. They belong in %1.").arg(candidates.value(0))
                             : QString("The help file %1 could not be opened.").arg(path);
    RunPlainMessageBox(parent, QMessageBox::Warning, text, QMessageBox::Ok);
    return false;
}

}  // namespace sorv

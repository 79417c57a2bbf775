// The user guide: HTML pages installed beside the program, opened in the desktop's browser.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace sorv {

// Where the guide's index may be, nearest first: beside the program (the build tree) and in
// the installed data directory next to the program's bin directory.
QStringList UserGuideCandidates();

// The first existing candidate, or an empty string.
QString FindUserGuide(const QStringList& candidates);

// Opens the first existing candidate with the desktop opener; when there is none, or the
// opener fails, says so in a message box. True when the guide was handed to the opener.
bool OpenUserGuide(QWidget* parent, const QStringList& candidates);

}  // namespace sorv

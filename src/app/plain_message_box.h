// Every message box of the program: its text is shown exactly as typed. File names, script
// lines and device names may hold '<' or '&', which a rich-text guess would swallow or turn
// into markup.
#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

namespace sorv {

// Runs a modal box titled "Sorvantel" with plain text and returns the button pressed.
QMessageBox::StandardButton RunPlainMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                               QMessageBox::StandardButtons buttons);

}  // namespace sorv

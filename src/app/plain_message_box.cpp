#include "app/plain_message_box.h"

namespace sorv {

QMessageBox::StandardButton RunPlainMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                               QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, "Sorvantel", QString(), buttons, parent);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace sorv

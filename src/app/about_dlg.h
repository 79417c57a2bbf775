// The About box: the program's icon, name and version, and OK.
#pragma once

#include <QDialog>

namespace sorv {

class CAboutDlg : public QDialog {
public:
    static const char* const kVersionText;
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace sorv

// The carriers an I/Q recording's average spectrum shows, for the listener to pick the one
// whose channel the window then analyses.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QListWidget;

namespace sorv {

struct CarrierChoice {
    double radioKHz = 0.0;
    double levelDb = 0.0;  // over the noise in 2500 Hz
};

class CCarrierChoiceDlg : public QDialog {
    Q_OBJECT
public:
    CCarrierChoiceDlg(const std::string& fileName, const std::vector<CarrierChoice>& carriers, QWidget* parent);
    // The carrier chosen, or -1.
    int Chosen() const;
    QListWidget* List() const { return list_; }

private:
    QListWidget* list_;
};

}  // namespace sorv

// The platform's side of the parameter commands: each runs its dialog modally over the main
// window and hands the values back only when the user pressed OK.
#include "app/parameter_dialogs.h"
#include "app/qt_platform.h"

namespace sorv {

namespace {

template <typename Dialog, typename Values>
bool RunDialog(QWidget* parent, Values& v) {
    Dialog dlg(parent);
    dlg.m_values = v;
    if (dlg.exec() != QDialog::Accepted) return false;
    v = dlg.m_values;
    return true;
}

}  // namespace

bool QtPlatform::RunSpectrumDialog(SpectrumDlgValues& v) { return RunDialog<CSpectrumDlg>(mainWindow_, v); }
bool QtPlatform::RunPeriodDialog(PeriodDlgValues& v) { return RunDialog<CPeriodDlg>(mainWindow_, v); }
bool QtPlatform::RunCarrierDialog(CarrierDlgValues& v) { return RunDialog<CCarrierDlg>(mainWindow_, v); }
bool QtPlatform::RunPeriodScaleDialog(PerScaleDlgValues& v) { return RunDialog<CPerScaleDlg>(mainWindow_, v); }
bool QtPlatform::RunWpmDialog(WpmDlgValues& v) { return RunDialog<CWpmDlg>(mainWindow_, v); }
bool QtPlatform::RunAutoParmDialog(AutoParmDlgValues& v) { return RunDialog<CAutoParmDlg>(mainWindow_, v); }
bool QtPlatform::RunGriDialog(GriDlgValues& v) { return RunDialog<CGriDlg>(mainWindow_, v); }

}  // namespace sorv

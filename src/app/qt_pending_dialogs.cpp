// Temporary bodies while the parameter dialogs are written (qt_dialogs.cpp); deleted then.
#include "app/qt_platform.h"

namespace sorv {
bool QtPlatform::RunSpectrumDialog(SpectrumDlgValues&) { return false; }
bool QtPlatform::RunPeriodDialog(PeriodDlgValues&) { return false; }
bool QtPlatform::RunCarrierDialog(CarrierDlgValues&) { return false; }
bool QtPlatform::RunPeriodScaleDialog(PerScaleDlgValues&) { return false; }
bool QtPlatform::RunWpmDialog(WpmDlgValues&) { return false; }
bool QtPlatform::RunAutoParmDialog(AutoParmDlgValues&) { return false; }
bool QtPlatform::RunGriDialog(GriDlgValues&) { return false; }
}  // namespace sorv

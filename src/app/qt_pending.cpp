// Temporary bodies while the dialogs, the sound devices, the serial port and program start
// are written (qt_dialogs.cpp, qt_audio.cpp, qt_serial.cpp, qt_launch.cpp). Deleted then.
#include "app/qt_platform.h"

namespace sorv {
bool QtPlatform::RunSpectrumDialog(SpectrumDlgValues&) { return false; }
bool QtPlatform::RunPeriodDialog(PeriodDlgValues&) { return false; }
bool QtPlatform::RunCarrierDialog(CarrierDlgValues&) { return false; }
bool QtPlatform::RunPeriodScaleDialog(PerScaleDlgValues&) { return false; }
bool QtPlatform::RunWpmDialog(WpmDlgValues&) { return false; }
bool QtPlatform::RunAutoParmDialog(AutoParmDlgValues&) { return false; }
bool QtPlatform::RunGriDialog(GriDlgValues&) { return false; }
void QtPlatform::StartVolumeControl(int) {}
void QtPlatform::ShellOpen(const std::string&) {}
int QtPlatform::CaptureDeviceCount() { return 0; }
int QtPlatform::CaptureDeviceName(int, std::string&) { return MM_BADDEVICEID; }
int QtPlatform::OpenCapture(int, std::unique_ptr<IWaveIn>&) { return MM_NODRIVER; }
int QtPlatform::OpenPlayback(std::unique_ptr<IWaveOut>&) { return MM_NODRIVER; }
SerialOpenResult QtPlatform::OpenSerialPort(const std::string&, int, std::unique_ptr<ISerialPort>&) {
    return SerialOpenResult::OpenFailed;
}
}  // namespace sorv

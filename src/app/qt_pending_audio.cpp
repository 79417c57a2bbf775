// Temporary bodies while the sound devices and program start are written (qt_audio.cpp,
// qt_launch.cpp); deleted then.
#include "app/qt_platform.h"

namespace sorv {
void QtPlatform::StartVolumeControl(int) {}
void QtPlatform::ShellOpen(const std::string&) {}
int QtPlatform::CaptureDeviceCount() { return 0; }
int QtPlatform::CaptureDeviceName(int, std::string&) { return MM_BADDEVICEID; }
int QtPlatform::OpenCapture(int, std::unique_ptr<IWaveIn>&) { return MM_NODRIVER; }
int QtPlatform::OpenPlayback(std::unique_ptr<IWaveOut>&) { return MM_NODRIVER; }
}  // namespace sorv

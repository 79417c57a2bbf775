// Temporary body while the serial port is written (qt_serial.cpp); deleted then.
#include "app/qt_platform.h"

namespace sorv {
SerialOpenResult QtPlatform::OpenSerialPort(const std::string&, int, std::unique_ptr<ISerialPort>&) {
    return SerialOpenResult::OpenFailed;
}
}  // namespace sorv

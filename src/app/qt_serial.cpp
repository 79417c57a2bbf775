// Serial ports for the script's "com" command, through Qt SerialPort: 8N1, no flow control,
// DTR and RTS on. A pseudo-terminal has no modem lines, so there a refused DTR or RTS is not a
// failure; on a real port it is.
#include <errno.h>
#include <sys/ioctl.h>

#include <QElapsedTimer>
#include <QSerialPort>

#include "app/qt_platform.h"

namespace sorv {

namespace {

class QtSerialPort : public ISerialPort {
public:
    explicit QtSerialPort(std::unique_ptr<QSerialPort> port) : port_(std::move(port)) {}
    ~QtSerialPort() override { Close(); }

    bool Write(const uint8_t* bytes, size_t count, int timeoutMs) override {
        if (!port_->isOpen()) return false;
        const qint64 n = port_->write(reinterpret_cast<const char*>(bytes), static_cast<qint64>(count));
        if (n != static_cast<qint64>(count)) return false;
        QElapsedTimer clock;
        clock.start();
        while (port_->bytesToWrite() > 0) {
            const qint64 left = timeoutMs - clock.elapsed();
            if (left <= 0 || !port_->waitForBytesWritten(static_cast<int>(left))) return false;
        }
        return true;
    }
    void Flush() override {
        if (port_->isOpen()) port_->flush();
    }
    void Close() override {
        if (port_->isOpen()) port_->close();
    }

private:
    std::unique_ptr<QSerialPort> port_;
};

// True when the open device has no modem control lines (a pseudo-terminal).
bool LacksModemLines(const QSerialPort& port) {
    int status = 0;
    return ioctl(static_cast<int>(port.handle()), TIOCMGET, &status) == -1 && (errno == ENOTTY || errno == EINVAL);
}

}  // namespace

SerialOpenResult QtPlatform::OpenSerialPort(const std::string& device, int baud, std::unique_ptr<ISerialPort>& out) {
    if (baud <= 0) return SerialOpenResult::BadSettings;
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(QString::fromStdString(device));  // a full path is used as it is
    if (!port->open(QIODevice::ReadWrite)) return SerialOpenResult::OpenFailed;
    if (!port->setBaudRate(baud)) {
        port->close();
        return SerialOpenResult::BadSettings;
    }
    if (!port->setDataBits(QSerialPort::Data8) || !port->setParity(QSerialPort::NoParity) ||
        !port->setStopBits(QSerialPort::OneStop) || !port->setFlowControl(QSerialPort::NoFlowControl)) {
        port->close();
        return SerialOpenResult::SetStateFailed;
    }
    const bool dtr = port->setDataTerminalReady(true);
    const bool rts = port->setRequestToSend(true);
    if ((!dtr || !rts) && !LacksModemLines(*port)) {
        port->close();
        return SerialOpenResult::SetStateFailed;
    }
    port->clearError();
    out = std::make_unique<QtSerialPort>(std::move(port));
    return SerialOpenResult::Ok;
}

}  // namespace sorv

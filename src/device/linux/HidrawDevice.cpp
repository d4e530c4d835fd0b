#include "device/linux/HidrawDevice.h"

#include "device/UsbStatus.h"

#include <fcntl.h>
#include <hidapi/hidapi.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

// Linux 5.11 added it; building against older headers must not lose the request.
#ifndef HIDIOCSOUTPUT
#define HIDIOCSOUTPUT(len) _IOC(_IOC_WRITE | _IOC_READ, 'H', 0x0B, len)
#endif

namespace {
// How long one read waits before the reader looks at its stop flag again; bounds how long
// removal and stop() block the main thread.
constexpr int readIntervalMs = 100;
// hidraw hands out one report per read; the kernel's largest report buffer.
constexpr int maxReportSize = 16384;

// What a failed hidraw request means, in the codes every message uses.
uint32_t statusFromErrno(int error) {
    switch (error) {
        // Kernels without the request answer ENOTTY, or EINVAL for a read-write request they do
        // not know (before 5.11 hidraw only knew read-only ones besides the feature reports).
        case ENOTTY:
        case EINVAL:
        case ENOSYS:  // a transport that cannot send output reports on request
            return UsbStatus::unsupported;
        case ENODEV:
        case ENOENT:
        case ESHUTDOWN:
            return UsbStatus::noDevice;
        case EPIPE:
            return UsbStatus::pipeStalled;
        case ETIMEDOUT:
            return UsbStatus::timeout;
        case EACCES:
        case EPERM:
            return UsbStatus::notPermitted;
        case EBUSY:
            return UsbStatus::exclusiveAccess;
        case ENOMEM:
            return UsbStatus::noMemory;
        default:
            return UsbStatus::ioError;
    }
}

QString hidapiError(hid_device* device) {
    const wchar_t* text = hid_error(device);
    return text ? QString::fromWCharArray(text) : QString();
}
}  // namespace

QString HidrawDevice::OpenFailure::message(const QString& node) const {
    QString line = QStringLiteral("Cannot open pad node %1: %2").arg(node, reason);
    if (permissionDenied) {
        line += QStringLiteral(
            ". Install the udev rules packaging/70-quorvel.rules (README, \"Access to the pads "
            "(udev rules)\") and replug the pad.");
    }
    return line;
}

std::shared_ptr<HidrawDevice> HidrawDevice::open(HidDeviceInfo info, OpenFailure& failure) {
    const QByteArray path = info.path.toLocal8Bit();
    // hidapi's open keeps only a message; ask the file system first so that a missing permission
    // can be told apart and explained.
    if (::access(path.constData(), R_OK | W_OK) != 0) {
        const int error = errno;
        failure.permissionDenied = error == EACCES || error == EPERM;
        failure.reason = QString::fromLocal8Bit(std::strerror(error));
        return nullptr;
    }
    hid_device* reader = hid_open_path(path.constData());
    if (!reader) {
        failure.reason = hidapiError(nullptr);
        return nullptr;
    }
    hid_device* writer = hid_open_path(path.constData());
    if (!writer) {
        failure.reason = hidapiError(nullptr);
        hid_close(reader);
        return nullptr;
    }
    return std::shared_ptr<HidrawDevice>(new HidrawDevice(std::move(info), reader, writer));
}

HidrawDevice::HidrawDevice(HidDeviceInfo info, hid_device_* reader, hid_device_* writer)
    : info_(std::move(info)), reader_(reader), writer_(writer) {
}

HidrawDevice::~HidrawDevice() {
    close();
}

uint32_t HidrawDevice::setOutputReport(const QByteArray& report) {
    QByteArray bytes(1, '\0');  // report id 0: the kernel strips it before the device sees it
    bytes.append(report);
    std::lock_guard lock(writeMutex_);
    if (!writer_) {
        return UsbStatus::noDevice;
    }
    const int written =
        hid_write(writer_, reinterpret_cast<const unsigned char*>(bytes.constData()),
                  static_cast<size_t>(bytes.size()));
    if (written == bytes.size()) {
        return UsbStatus::success;
    }
    return failureCode();
}

uint32_t HidrawDevice::setNumberedOutputReport(uint8_t reportID, const QByteArray& data) {
    QByteArray report(1, static_cast<char>(reportID));
    report.append(data);
    // Under the write lock: the report must not cross close(), and it keeps the order of the
    // reports that go out through hidapi.
    std::lock_guard lock(writeMutex_);
    if (!writer_) {
        return UsbStatus::noDevice;
    }
    const int fd = ::open(info_.path.toLocal8Bit().constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        return statusFromErrno(errno);
    }
    const int result =
        ::ioctl(fd, HIDIOCSOUTPUT(static_cast<unsigned>(report.size())), report.data());
    const int error = errno;
    ::close(fd);
    if (result < 0) {
        return statusFromErrno(error);
    }
    // The kernel answers with the number of bytes it sent, report id included.
    return result == report.size() ? UsbStatus::success : UsbStatus::ioError;
}

// Reader thread and writers alike: a node that vanished means the pad was unplugged.
uint32_t HidrawDevice::failureCode() const {
    struct stat node {};
    if (::stat(info_.path.toLocal8Bit().constData(), &node) != 0) {
        return UsbStatus::noDevice;
    }
    return UsbStatus::ioError;
}

void HidrawDevice::startReading(ReportSink sink) {
    if (thread_.joinable() || !reader_) {
        return;
    }
    thread_ = std::thread([this, sink = std::move(sink)] { readLoop(sink); });
}

// Reader thread.
void HidrawDevice::readLoop(ReportSink sink) {
    std::vector<unsigned char> buffer(maxReportSize);
    while (!stopping_.load()) {
        const int count = hid_read_timeout(reader_, buffer.data(), buffer.size(), readIntervalMs);
        if (count > 0) {
            sink(0, QByteArray(reinterpret_cast<const char*>(buffer.data()), count));
        } else if (count < 0) {
            // A failed read does not heal (the node is gone or broken); retrying would spin.
            // The pad comes back as a new device when it is attached again.
            if (!stopping_.load()) {
                sink(failureCode(), QByteArray());
            }
            return;
        }
    }
}

void HidrawDevice::requestStop() {
    stopping_.store(true);
}

void HidrawDevice::close() {
    requestStop();
    if (thread_.joinable()) {
        thread_.join();
    }
    if (reader_) {
        hid_close(reader_);
        reader_ = nullptr;
    }
    std::lock_guard lock(writeMutex_);
    if (writer_) {
        hid_close(writer_);
        writer_ = nullptr;
    }
}

#include "device/virtual/VirtualMsdTwo.h"

#include "device/UsbStatus.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
constexpr int backgroundBytes = 153600;
constexpr int storedWidth = 240;  // the pad keeps the screen in portrait
constexpr int storedHeight = 320;
constexpr int buttonSize = 64;
constexpr int minimumButtonTransfer = 8192;

int reportsFor(int bytes) {
    return (bytes + VirtualMsdTwo::reportSize - 1) / VirtualMsdTwo::reportSize;
}

uint32_t bigEndian(const QByteArray& bytes, int offset, int count) {
    uint32_t value = 0;
    for (int index = 0; index < count; ++index) {
        value = value << 8 | static_cast<uint8_t>(bytes.at(offset + index));
    }
    return value;
}

// Stored pixel (column c, row r) holds the landscape pixel (x = r, y = 239 - c): the landscape
// top edge runs down the right-hand side of the stored picture.
QImage landscapeFrom565(const QByteArray& bytes) {
    QImage image(VirtualMsdTwo::screenWidth, VirtualMsdTwo::screenHeight, QImage::Format_RGB32);
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    for (int row = 0; row < storedHeight; ++row) {
        for (int column = 0; column < storedWidth; ++column) {
            const uint8_t* pair = data + (row * storedWidth + column) * 2;
            const int value = pair[0] | pair[1] << 8;
            const int red = (value >> 11) & 0x1f;
            const int green = (value >> 5) & 0x3f;
            const int blue = value & 0x1f;
            // Expand to 8 bits the way a panel does: repeat the top bits into the low ones.
            image.setPixel(
                row, storedWidth - 1 - column,
                qRgb(red << 3 | red >> 2, green << 2 | green >> 4, blue << 3 | blue >> 2));
        }
    }
    return image;
}
}  // namespace

std::shared_ptr<VirtualMsdTwo> VirtualMsdTwo::create(uint32_t locationID, QString serial) {
    const DeviceKind kind = DeviceKind::msdTwo;
    HidDeviceInfo info;
    info.vendorID = kind.vendorID();
    info.productID = kind.productID();
    info.primaryUsagePage = kind.usagePage();
    info.locationID = locationID;
    if (!serial.isEmpty()) {
        info.serialNumber = serial;
    }
    info.path = QStringLiteral("virtual MSD-TWO %1").arg(serial);
    return std::shared_ptr<VirtualMsdTwo>(new VirtualMsdTwo(std::move(info)));
}

VirtualMsdTwo::VirtualMsdTwo(HidDeviceInfo info) : VirtualPad(DeviceKind::msdTwo, std::move(info)) {
}

QRect VirtualMsdTwo::buttonRect(int key) {
    const int index = key - 1;
    const int column = index % 3;
    const int row = index / 3;
    const double left = (column + 0.5) * screenWidth / 3.0 - buttonSize / 2.0;
    const int top = 28 + row * 120;  // centres 60 px from the top and bottom edges
    return QRect(static_cast<int>(std::lround(left)), top, buttonSize, buttonSize);
}

QImage VirtualMsdTwo::picture() const {
    QImage screen(screenWidth, screenHeight, QImage::Format_RGB32);
    screen.fill(Qt::black);
    QPainter painter(&screen);
    std::lock_guard lock(mutex_);
    if (!background_.isNull()) {
        painter.drawImage(QPoint(0, 0), background_);
    }
    for (int key = 1; key <= buttonCount; ++key) {
        if (!buttons_[key - 1].isNull()) {
            painter.drawImage(buttonRect(key), buttons_[key - 1]);
        }
    }
    return screen;
}

int VirtualMsdTwo::brightness() const {
    std::lock_guard lock(mutex_);
    return brightness_;
}

QImage VirtualMsdTwo::background() const {
    std::lock_guard lock(mutex_);
    return background_;
}

QImage VirtualMsdTwo::buttonImage(int key) const {
    std::lock_guard lock(mutex_);
    return key >= 1 && key <= buttonCount ? buttons_[key - 1] : QImage();
}

QByteArray VirtualMsdTwo::buttonBytes(int key) const {
    std::lock_guard lock(mutex_);
    return key >= 1 && key <= buttonCount ? buttonBytes_[key - 1] : QByteArray();
}

QStringList VirtualMsdTwo::commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

int VirtualMsdTwo::protocolErrors() const {
    std::lock_guard lock(mutex_);
    return protocolErrors_;
}

int VirtualMsdTwo::backgroundsReceived() const {
    std::lock_guard lock(mutex_);
    return backgroundsReceived_;
}

int VirtualMsdTwo::imagesReceived(int key) const {
    std::lock_guard lock(mutex_);
    return key >= 1 && key <= buttonCount ? imagesReceived_[key - 1] : 0;
}

int VirtualMsdTwo::keepAlives() const {
    std::lock_guard lock(mutex_);
    return keepAlives_;
}

void VirtualMsdTwo::sendControl(int control) {
    QByteArray report(reportSize, '\0');
    report.replace(0, 3, "ACK");
    report.replace(5, 2, "OK");
    report[9] = static_cast<char>(control);
    std::lock_guard lock(mutex_);
    sendInputLocked(report);
}

void VirtualMsdTwo::turn(const DialGroup& dial, int steps) {
    const int control = steps >= 0 ? dial.clockwise : dial.counterclockwise;
    for (int step = 0; step < std::abs(steps); ++step) {
        sendControl(control);
    }
}

uint32_t VirtualMsdTwo::handleReportLocked(const QByteArray& report) {
    if (report.size() != reportSize) {
        ++protocolErrors_;
        return UsbStatus::badArgument;  // every report of this pad is 1024 bytes
    }
    if (phase_ == Phase::background || phase_ == Phase::button) {
        data_.append(report);
        if (--dataReportsLeft_ == 0) {
            phase_ = Phase::end;
        }
        return 0;
    }
    if (!report.startsWith(QByteArray("CRT\0\0", 5))) {
        ++protocolErrors_;
        return 0;
    }
    const QByteArray rest = report.mid(5);
    for (const char* name : {"CONNECT", "DIS", "LIG", "LOG", "BAT", "STP"}) {
        if (rest.startsWith(name)) {
            handleCommandLocked(QString::fromLatin1(name), rest.mid(qstrlen(name)));
            return 0;
        }
    }
    ++protocolErrors_;
    commands_.append(QString::fromLatin1(rest.left(8).toHex(' ')));
    return 0;
}

void VirtualMsdTwo::handleCommandLocked(const QString& name, const QByteArray& payload) {
    commands_.append(name);
    if (phase_ == Phase::end && name != QLatin1String("STP")) {
        ++protocolErrors_;  // the data transfer was never closed
        phase_ = Phase::command;
    }
    if (name == QLatin1String("DIS")) {
        connected_ = true;
    } else if (name == QLatin1String("LIG")) {
        brightness_ = static_cast<uint8_t>(payload.at(2));
    } else if (name == QLatin1String("CONNECT")) {
        ++keepAlives_;
    } else if (name == QLatin1String("LOG")) {
        dataLength_ = static_cast<int>(bigEndian(payload, 0, 4));
        if (payload.at(4) != 0x01 || dataLength_ != backgroundBytes) {
            ++protocolErrors_;
        }
        phase_ = Phase::background;
        backgroundData_ = true;
        dataReportsLeft_ = reportsFor(dataLength_);
        data_.clear();
    } else if (name == QLatin1String("BAT")) {
        dataLength_ = static_cast<int>(bigEndian(payload, 2, 2));
        dataKey_ = static_cast<uint8_t>(payload.at(4));
        if (payload.at(0) != 0 || payload.at(1) != 0 || dataKey_ < 1 || dataKey_ > buttonCount) {
            ++protocolErrors_;
        }
        phase_ = Phase::button;
        backgroundData_ = false;
        dataReportsLeft_ = reportsFor(std::max(dataLength_, minimumButtonTransfer));
        data_.clear();
    } else if (name == QLatin1String("STP")) {
        if (phase_ != Phase::end) {
            ++protocolErrors_;
            return;
        }
        finishDataLocked();
    }
    if (!connected_) {
        ++protocolErrors_;  // the pad expects DIS first
    }
    if (phase_ != Phase::command && dataReportsLeft_ == 0 && phase_ != Phase::end) {
        phase_ = Phase::end;  // an empty announcement has no data reports
    }
}

void VirtualMsdTwo::finishDataLocked() {
    const QByteArray bytes = data_.left(dataLength_);
    if (backgroundData_) {
        if (bytes.size() == backgroundBytes) {
            background_ = landscapeFrom565(bytes);
            ++backgroundsReceived_;
        }
    } else if (dataKey_ >= 1 && dataKey_ <= buttonCount) {
        buttonBytes_[dataKey_ - 1] = bytes;
        buttons_[dataKey_ - 1] = QImage::fromData(bytes, "JPEG");
        ++imagesReceived_[dataKey_ - 1];
    }
    phase_ = Phase::command;
    dataKey_ = 0;
    data_.clear();
}

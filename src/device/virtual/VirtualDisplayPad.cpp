#include "device/virtual/VirtualDisplayPad.h"

#include "device/UsbStatus.h"

#include <QPainter>

namespace {
constexpr int payloadSize = 31 * 1024;
constexpr int pixelOffset = VirtualDisplayPad::iconSize * 3;
constexpr int reportSize = 64;
// The key state report carries keys 1-7 in bits 1-7 of one byte and 8-12 in bits 0-4 of another.
constexpr int keysLowByte = 42;
constexpr int keysHighByte = 47;

bool begins(const QByteArray& report, const char* prefix, int length) {
    return report.startsWith(QByteArray(prefix, length));
}

QByteArray padded(QByteArray bytes) {
    bytes.append(reportSize - bytes.size(), '\0');
    return bytes;
}
}  // namespace

// The host's end of the pad's image interface: a claimed USB interface, until destroyed.
class VirtualDisplayPad::Interface : public ImageInterface {
public:
    Interface(std::weak_ptr<VirtualDisplayPad> pad, quint64 generation)
        : pad_(std::move(pad)), generation_(generation) {}
    ~Interface() override {
        if (auto pad = pad_.lock()) {
            pad->closeInterface(generation_);
        }
    }
    IOReturn prepare() override {
        auto pad = pad_.lock();
        return pad ? pad->prepare(generation_) : UsbStatus::noDevice;
    }
    IOReturn write(const uint8_t* data, size_t length) override {
        auto pad = pad_.lock();
        return pad ? pad->transfer(generation_, data, length) : UsbStatus::noDevice;
    }

private:
    const std::weak_ptr<VirtualDisplayPad> pad_;
    const quint64 generation_;
};

std::shared_ptr<VirtualDisplayPad> VirtualDisplayPad::create(uint32_t locationID, QString serial) {
    HidDeviceInfo info;
    info.vendorID = DeviceKind(DeviceKind::mountain).vendorID();
    info.productID = DeviceKind(DeviceKind::mountain).productID();
    info.primaryUsagePage = DeviceKind(DeviceKind::mountain).usagePage();
    info.locationID = locationID;
    if (!serial.isEmpty()) {
        info.serialNumber = serial;
    }
    info.path = QStringLiteral("virtual DisplayPad %1").arg(serial);
    return std::shared_ptr<VirtualDisplayPad>(new VirtualDisplayPad(std::move(info)));
}

VirtualDisplayPad::VirtualDisplayPad(HidDeviceInfo info)
    : VirtualPad(DeviceKind::mountain, std::move(info)) {
}

QImage VirtualDisplayPad::picture() const {
    QImage face(6 * iconSize, 2 * iconSize, QImage::Format_RGB888);
    face.fill(Qt::black);
    QPainter painter(&face);
    std::lock_guard lock(mutex_);
    for (int index = 0; index < keyCount; ++index) {
        if (!keys_[index].isNull()) {
            painter.drawImage(QPoint(index % 6 * iconSize, index / 6 * iconSize), keys_[index]);
        }
    }
    return face;
}

int VirtualDisplayPad::brightness() const {
    std::lock_guard lock(mutex_);
    return brightness_;
}

QImage VirtualDisplayPad::keyImage(int key) const {
    std::lock_guard lock(mutex_);
    return key >= 1 && key <= keyCount ? keys_[key - 1] : QImage();
}

bool VirtualDisplayPad::isActivated() const {
    std::lock_guard lock(mutex_);
    return activated_;
}

bool VirtualDisplayPad::isKeyEventModeEnabled() const {
    std::lock_guard lock(mutex_);
    return keyEventMode_;
}

bool VirtualDisplayPad::isImageInterfaceOpen() const {
    std::lock_guard lock(mutex_);
    return interfaceOpen_;
}

int VirtualDisplayPad::openAttempts() const {
    std::lock_guard lock(mutex_);
    return openAttempts_;
}

int VirtualDisplayPad::imagesReceived() const {
    std::lock_guard lock(mutex_);
    int total = 0;
    for (int count : imagesReceived_) {
        total += count;
    }
    return total;
}

int VirtualDisplayPad::imagesReceived(int key) const {
    std::lock_guard lock(mutex_);
    return key >= 1 && key <= keyCount ? imagesReceived_[key - 1] : 0;
}

int VirtualDisplayPad::protocolErrors() const {
    std::lock_guard lock(mutex_);
    return protocolErrors_;
}

void VirtualDisplayPad::press(int key) {
    std::lock_guard lock(mutex_);
    if (key >= 1 && key <= keyCount) {
        held_.insert(key);
        sendKeyStateLocked();
    }
}

void VirtualDisplayPad::release(int key) {
    std::lock_guard lock(mutex_);
    if (held_.erase(key) > 0) {
        sendKeyStateLocked();
    }
}

std::unique_ptr<ImageInterface> VirtualDisplayPad::openImageInterface(IOReturn& error) {
    std::lock_guard lock(mutex_);
    ++openAttempts_;
    if (!isLiveLocked(generationLocked())) {
        return nullptr;
    }
    if (openFailure_) {
        if (*openFailure_ != 0) {
            error = *openFailure_;
        }
        return nullptr;
    }
    if (interfaceOpen_ && interfaceGeneration_ == generationLocked()) {
        error = UsbStatus::exclusiveAccess;
        return nullptr;
    }
    interfaceOpen_ = true;
    interfaceGeneration_ = generationLocked();
    return std::make_unique<Interface>(
        std::static_pointer_cast<VirtualDisplayPad>(shared_from_this()), interfaceGeneration_);
}

void VirtualDisplayPad::setAnswering(bool answering) {
    std::lock_guard lock(mutex_);
    answering_ = answering;
}

void VirtualDisplayPad::setReplyDelay(std::chrono::milliseconds delay) {
    std::lock_guard lock(mutex_);
    replyDelay_ = delay;
}

void VirtualDisplayPad::rejectTransfers(IOReturn code, int afterTransfers) {
    std::lock_guard lock(mutex_);
    transferRejectCode_ = code;
    transferRejectAfter_ = afterTransfers;
}

void VirtualDisplayPad::vanishAfterTransfers(int afterTransfers) {
    std::lock_guard lock(mutex_);
    vanishAfterTransfers_ = afterTransfers;
}

void VirtualDisplayPad::failImageInterfaceOpen(IOReturn code) {
    std::lock_guard lock(mutex_);
    openFailure_ = code;
}

void VirtualDisplayPad::failPrepare(IOReturn code) {
    std::lock_guard lock(mutex_);
    prepareFailure_ = code;
}

void VirtualDisplayPad::failKeyEventReport(IOReturn code) {
    std::lock_guard lock(mutex_);
    keyEventReportFailure_ = code;
}

void VirtualDisplayPad::clearFaults() {
    VirtualPad::clearFaults();
    std::lock_guard lock(mutex_);
    answering_ = true;
    replyDelay_ = std::chrono::milliseconds(0);
    transferRejectCode_ = 0;
    transferRejectAfter_ = -1;
    vanishAfterTransfers_ = -1;
    openFailure_.reset();
    prepareFailure_ = 0;
    keyEventReportFailure_ = 0;
}

uint32_t VirtualDisplayPad::handleReportLocked(const QByteArray& report) {
    if (report.size() != reportSize) {
        ++protocolErrors_;
        return UsbStatus::badArgument;  // the pad's output report has a fixed size
    }
    if (begins(report, "\x11\x80\x00\x00\x01", 5)) {
        activated_ = true;
        replyLocked(report);
    } else if (static_cast<uint8_t>(report[0]) == 0x21 &&
               report.mid(5, 5) == QByteArray("\x3d\x00\x00\x65\x65", 5) &&
               static_cast<uint8_t>(report[4]) < keyCount && begins(report, "\x21\0\0\0", 4)) {
        if (!activated_) {
            ++protocolErrors_;
            return 0;  // a pad in its own mode ignores host images
        }
        if (uploadingKey_) {
            ++protocolErrors_;  // the previous image was cut short
        }
        uploadingKey_ = static_cast<uint8_t>(report[4]);
        payload_.clear();
        replyLocked(padded(QByteArray("\x21\x00\x00\x00", 4) + char(*uploadingKey_)));
    } else if (begins(report, "\x31\x20", 2)) {
        brightness_ = static_cast<uint8_t>(report[2]);
    } else {
        ++protocolErrors_;
    }
    return 0;
}

// The same request as prepare(), arriving through the HID interface.
uint32_t VirtualDisplayPad::handleNumberedReportLocked(uint8_t reportID, const QByteArray& data) {
    if (keyEventReportFailure_ != 0) {
        return keyEventReportFailure_;
    }
    if (reportID != 3 || data != QByteArray(1, '\x01')) {
        ++protocolErrors_;
        return UsbStatus::pipeStalled;  // the pad stalls requests it does not know
    }
    keyEventMode_ = true;
    return 0;
}

IOReturn VirtualDisplayPad::prepare(quint64 generation) {
    std::lock_guard lock(mutex_);
    if (!isLiveLocked(generation)) {
        return UsbStatus::noDevice;
    }
    if (prepareFailure_ != 0) {
        return prepareFailure_;
    }
    keyEventMode_ = true;
    return 0;
}

IOReturn VirtualDisplayPad::transfer(quint64 generation, const uint8_t* data, size_t length) {
    const auto began = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    DeviceTimer timer(counters_.deviceTime, began);
    if (!isLiveLocked(generation)) {
        return UsbStatus::noDevice;
    }
    if (vanishAfterTransfers_ == 0) {
        vanishAfterTransfers_ = -1;
        vanishLocked();
        return UsbStatus::noDevice;
    }
    if (vanishAfterTransfers_ > 0) {
        --vanishAfterTransfers_;
    }
    if (transferRejectAfter_ == 0) {
        return transferRejectCode_;
    }
    if (transferRejectAfter_ > 0) {
        --transferRejectAfter_;
    }
    ++counters_.transfers;
    counters_.transferBytes += static_cast<qint64>(length);
    if (!uploadingKey_) {
        ++protocolErrors_;  // pixels without an announced key go nowhere
        return 0;
    }
    payload_.append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(length));
    if (payload_.size() < payloadSize) {
        return 0;
    }
    if (payload_.size() > payloadSize) {
        ++protocolErrors_;
    }
    QImage image(iconSize, iconSize, QImage::Format_RGB888);
    const auto* pixels = reinterpret_cast<const uint8_t*>(payload_.constData()) + pixelOffset;
    for (int y = 0; y < iconSize; ++y) {
        uint8_t* line = image.scanLine(y);
        for (int x = 0; x < iconSize; ++x) {
            const uint8_t* bgr = pixels + (y * iconSize + x) * 3;
            line[x * 3] = bgr[2];
            line[x * 3 + 1] = bgr[1];
            line[x * 3 + 2] = bgr[0];
        }
    }
    const int index = *uploadingKey_;
    keys_[index] = image;
    ++imagesReceived_[index];
    uploadingKey_.reset();
    payload_.clear();
    replyLocked(padded(QByteArray("\x21\x00\xff\x00", 4) + char(index)));
    return 0;
}

void VirtualDisplayPad::closeInterface(quint64 generation) {
    std::lock_guard lock(mutex_);
    if (interfaceGeneration_ == generation) {
        interfaceOpen_ = false;
        uploadingKey_.reset();
        payload_.clear();
    }
}

void VirtualDisplayPad::sendKeyStateLocked() {
    QByteArray report(reportSize, '\0');
    report[0] = 0x01;
    for (int key : held_) {
        if (key <= 7) {
            report[keysLowByte] = static_cast<char>(report[keysLowByte] | (1 << key));
        } else {
            report[keysHighByte] = static_cast<char>(report[keysHighByte] | (1 << (key - 8)));
        }
    }
    sendInputLocked(report);
}

void VirtualDisplayPad::replyLocked(const QByteArray& reply) {
    if (answering_) {
        sendInputLocked(reply, replyDelay_);
    }
}

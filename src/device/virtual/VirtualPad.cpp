#include "device/virtual/VirtualPad.h"

#include "core/MainThread.h"
#include "device/UsbStatus.h"

// The device reference of one attachment. It outlives neither its meaning nor the pad: once the
// pad is unplugged or gone, every write fails as it would on a vanished hidraw node.
class VirtualPad::Device : public HidDevice {
public:
    Device(std::weak_ptr<VirtualPad> pad, quint64 generation, HidDeviceInfo info)
        : pad_(std::move(pad)), generation_(generation), info_(std::move(info)) {}

    const HidDeviceInfo& info() const override { return info_; }

    uint32_t setOutputReport(const QByteArray& report) override {
        auto pad = pad_.lock();
        return pad ? pad->outputReport(generation_, report) : UsbStatus::noDevice;
    }

    uint32_t setNumberedOutputReport(uint8_t reportID, const QByteArray& data) override {
        auto pad = pad_.lock();
        if (!pad) {
            return UsbStatus::noDevice;
        }
        std::lock_guard lock(pad->mutex_);
        return pad->isLiveLocked(generation_) ? pad->handleNumberedReportLocked(reportID, data)
                                              : UsbStatus::noDevice;
    }

private:
    const std::weak_ptr<VirtualPad> pad_;
    const quint64 generation_;
    const HidDeviceInfo info_;
};

VirtualPad::VirtualPad(DeviceKind kind, HidDeviceInfo info) : kind_(kind), info_(std::move(info)) {
}

VirtualPad::~VirtualPad() = default;

std::shared_ptr<HidDevice> VirtualPad::plugIn(Link link) {
    std::lock_guard lock(mutex_);
    ++generation_;
    plugged_ = true;
    link_ = std::move(link);
    device_ = std::make_shared<Device>(weak_from_this(), generation_, info_);
    return device_;
}

void VirtualPad::unplug() {
    std::lock_guard lock(mutex_);
    plugged_ = false;
    device_.reset();
}

bool VirtualPad::isPlugged() const {
    std::lock_guard lock(mutex_);
    return plugged_;
}

std::shared_ptr<HidDevice> VirtualPad::device() const {
    std::lock_guard lock(mutex_);
    return plugged_ ? device_ : nullptr;
}

VirtualPad::Counters VirtualPad::counters() const {
    std::lock_guard lock(mutex_);
    return counters_;
}

QList<QByteArray> VirtualPad::reports() const {
    std::lock_guard lock(mutex_);
    return reports_;
}

void VirtualPad::resetCounters() {
    std::lock_guard lock(mutex_);
    counters_ = {};
    reports_.clear();
}

void VirtualPad::rejectReports(uint32_t code, int afterReports) {
    std::lock_guard lock(mutex_);
    rejectCode_ = code;
    rejectAfter_ = afterReports;
}

void VirtualPad::vanishAfterReports(int reports) {
    std::lock_guard lock(mutex_);
    vanishAfter_ = reports;
}

void VirtualPad::clearFaults() {
    std::lock_guard lock(mutex_);
    rejectCode_ = 0;
    rejectAfter_ = -1;
    vanishAfter_ = -1;
}

uint32_t VirtualPad::handleNumberedReportLocked(uint8_t, const QByteArray&) {
    return UsbStatus::unsupported;
}

uint32_t VirtualPad::outputReport(quint64 generation, const QByteArray& report) {
    const auto began = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    DeviceTimer timer(counters_.deviceTime, began);
    if (!isLiveLocked(generation)) {
        return UsbStatus::noDevice;
    }
    if (vanishAfter_ == 0) {
        vanishAfter_ = -1;
        vanishLocked();
        return UsbStatus::noDevice;
    }
    if (rejectAfter_ == 0) {
        return rejectCode_;
    }
    const uint32_t result = handleReportLocked(report);
    if (result != 0) {
        return result;
    }
    ++counters_.reports;
    counters_.reportBytes += report.size();
    if (reports_.size() >= reportLogLimit) {
        reports_.removeFirst();
    }
    reports_.append(report);
    if (vanishAfter_ > 0) {
        --vanishAfter_;
    }
    if (rejectAfter_ > 0) {
        --rejectAfter_;
    }
    return 0;
}

VirtualPad::DeviceTimer::~DeviceTimer() {
    total_ += std::chrono::steady_clock::now() - began_;
}

void VirtualPad::sendInputLocked(const QByteArray& report, std::chrono::milliseconds delay) {
    if (!plugged_ || !link_.input) {
        return;
    }
    auto deliver = [weak = weak_from_this(), generation = generation_, device = device_,
                    input = link_.input, report] {
        auto pad = weak.lock();
        if (!pad) {
            return;
        }
        {
            std::lock_guard lock(pad->mutex_);
            if (!pad->isLiveLocked(generation)) {
                return;  // unplugged meanwhile: a real pad's report would be lost too
            }
        }
        input(device, report);
    };
    if (delay.count() > 0) {
        runOnMainAfter(delay, nullptr, std::move(deliver));
    } else {
        runOnMain(std::move(deliver));
    }
}

void VirtualPad::vanishLocked() {
    if (!plugged_) {
        return;
    }
    plugged_ = false;
    auto device = device_;
    device_.reset();
    if (link_.vanished) {
        runOnMain([vanished = link_.vanished, device] { vanished(device); });
    }
}

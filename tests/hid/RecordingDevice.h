#pragma once

#include "device/HidDevice.h"

#include <QByteArrayList>

#include <mutex>

// A HID device that only remembers what was sent to it; for tests where the device object's
// identity is what matters.
class RecordingDevice : public HidDevice {
public:
    explicit RecordingDevice(QString path = QStringLiteral("virtual")) {
        info_.path = std::move(path);
    }

    const HidDeviceInfo& info() const override { return info_; }
    uint32_t setOutputReport(const QByteArray& report) override {
        std::lock_guard lock(mutex_);
        sent_ << report;
        return 0;
    }

private:
    HidDeviceInfo info_;
    std::mutex mutex_;
    QByteArrayList sent_;
};

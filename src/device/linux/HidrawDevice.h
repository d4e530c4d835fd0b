#pragma once

#include "device/HidDevice.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

struct hid_device_;

// One opened hidraw node of a pad, through hidapi. It holds two hidapi handles on the node: one
// that only the reader thread reads from and one that only `setOutputReport` writes to. hidapi
// keeps a per-handle error text that both hid_read_timeout and hid_write replace, so sharing one
// handle between the reader thread and a session's queue would race on it; hidraw gives every
// open file its own copy of each input report, and the write handle never reads.
//
// Created and closed by LinuxHidManager on the main thread; `setOutputReport` from any thread.
class HidrawDevice : public HidDevice {
public:
    // Called on the reader thread for each input report (result 0), or once with a status code
    // and empty bytes when reading failed; no call follows a failure.
    using ReportSink = std::function<void(uint32_t result, const QByteArray& report)>;

    // Why a node could not be opened, for the log line.
    struct OpenFailure {
        bool permissionDenied = false;
        QString reason;

        // The log line for `node`; a permission problem points to the udev rules that fix it.
        QString message(const QString& node) const;
    };

    // Opens `info.path` for reading and writing. Null with `failure` filled when that is not
    // possible. Main thread (hidapi's open reports through a process-wide error text).
    static std::shared_ptr<HidrawDevice> open(HidDeviceInfo info, OpenFailure& failure);

    ~HidrawDevice() override;
    HidrawDevice(const HidrawDevice&) = delete;
    HidrawDevice& operator=(const HidrawDevice&) = delete;

    const HidDeviceInfo& info() const override { return info_; }

    // Sends report id 0 followed by `report`. 0 when the whole report was written; noDevice once
    // the device is closed or its node is gone; ioError for any other failure.
    uint32_t setOutputReport(const QByteArray& report) override;

    // HIDIOCSOUTPUT on a descriptor of its own (hidapi does not lend its descriptors). Kernels
    // before Linux 5.11 do not know the request and give unsupported; a closed device or a node
    // that is gone gives noDevice; a failure of the request itself, the code of its errno.
    uint32_t setNumberedOutputReport(uint8_t reportID, const QByteArray& data) override;

    // Starts the reader thread. Once per device.
    void startReading(ReportSink sink);

    // Asks the reader to finish without waiting for it (so several devices can wind down at
    // once). Any thread.
    void requestStop();

    // Stops and joins the reader and closes both handles; later writes return noDevice.
    // Idempotent. Blocks for at most one read interval. Never from the reader thread.
    void close();

private:
    HidrawDevice(HidDeviceInfo info, hid_device_* reader, hid_device_* writer);
    void readLoop(ReportSink sink);
    uint32_t failureCode() const;

    const HidDeviceInfo info_;
    hid_device_* reader_;  // reader thread only, until close()
    std::mutex writeMutex_;
    hid_device_* writer_;  // guarded by writeMutex_
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

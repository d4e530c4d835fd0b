#pragma once

#include "device/DeviceKind.h"
#include "device/HidDevice.h"

#include <QByteArray>
#include <QImage>
#include <QList>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

// A simulated pad: the device side of a pad's wire protocol, for running the program and its
// tests without hardware. Concrete pads (VirtualDisplayPad, VirtualMsdTwo) parse what the host
// sends, keep the picture the real pad would show and produce the pad's input reports.
//
// Plugging the pad in yields a fresh device reference (HidDevice), as a real attach does; after
// `unplug` (or when the pad vanishes by fault injection) that reference answers every write with
// UsbStatus::noDevice for good.
//
// Threads: writes arrive on a display session's queue while tests and the simulation window read
// on the main thread, so all state is guarded by one mutex; every member may be called from any
// thread. Input reports and the vanish notice are delivered on the main thread through the Link.
class VirtualPad : public std::enable_shared_from_this<VirtualPad> {
public:
    // Where an attached pad's output goes; both are called on the main thread.
    struct Link {
        std::function<void(const std::shared_ptr<HidDevice>&, const QByteArray&)> input;
        std::function<void(const std::shared_ptr<HidDevice>&)> vanished;
    };

    struct Counters {
        int reports = 0;  // HID output reports accepted
        qint64 reportBytes = 0;
        int transfers = 0;  // USB transfers on the image interface (DisplayPad only)
        qint64 transferBytes = 0;
        // Time spent inside the pad taking reports and transfers (decoding included), so that
        // measurements can tell the host's own cost from the simulated device's.
        std::chrono::nanoseconds deviceTime{0};
    };

    virtual ~VirtualPad();

    DeviceKind kind() const { return kind_; }
    const HidDeviceInfo& info() const { return info_; }

    // Attaches the pad: returns a new device reference; the previous one (if any) goes dead.
    std::shared_ptr<HidDevice> plugIn(Link link);
    // Detaches the pad (its state and picture stay for inspection).
    void unplug();
    bool isPlugged() const;
    // The current device reference, or null while unplugged.
    std::shared_ptr<HidDevice> device() const;

    // The whole pad face as the user would see it (layout documented by each pad).
    virtual QImage picture() const = 0;
    virtual int brightness() const = 0;

    Counters counters() const;
    // The output reports accepted, oldest first (the data bytes after report id 0): the last
    // `reportLogLimit` of them, so that a long simulated run does not grow without bound.
    static constexpr int reportLogLimit = 2048;
    QList<QByteArray> reports() const;
    // Forgets counters and the report log (not the picture).
    void resetCounters();

    // Fault injection. `rejectReports`: after `afterReports` more reports are accepted, every
    // further report is refused with `code`. `vanishAfterReports`: after that many more reports
    // the pad drops off the bus (writes fail with noDevice, the link hears `vanished`).
    void rejectReports(uint32_t code, int afterReports = 0);
    void vanishAfterReports(int reports);
    // Clears every injected fault (of the concrete pad too).
    virtual void clearFaults();

protected:
    VirtualPad(DeviceKind kind, HidDeviceInfo info);

    // One output report for the current attachment, with `mutex_` held. Returns 0 or a code.
    virtual uint32_t handleReportLocked(const QByteArray& report) = 0;
    // One numbered output report (HidDevice::setNumberedOutputReport) for the current
    // attachment, with `mutex_` held. Pads without such reports answer unsupported.
    virtual uint32_t handleNumberedReportLocked(uint8_t reportID, const QByteArray& data);

    // Sends an input report on the current attachment, with `mutex_` held; delivered on the main
    // thread after `delay`, and dropped if the pad was unplugged meanwhile.
    void sendInputLocked(const QByteArray& report,
                         std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    // Drops off the bus by itself, with `mutex_` held.
    void vanishLocked();
    // True when `generation` is the live attachment. `mutex_` held.
    bool isLiveLocked(quint64 generation) const { return plugged_ && generation == generation_; }
    quint64 generationLocked() const { return generation_; }

    // Adds the time from `began` to its own end to `total` (held under `mutex_`).
    class DeviceTimer {
    public:
        DeviceTimer(std::chrono::nanoseconds& total, std::chrono::steady_clock::time_point began)
            : total_(total), began_(began) {}
        ~DeviceTimer();

    private:
        std::chrono::nanoseconds& total_;
        std::chrono::steady_clock::time_point began_;
    };

    mutable std::mutex mutex_;
    Counters counters_;

private:
    class Device;
    friend class Device;
    uint32_t outputReport(quint64 generation, const QByteArray& report);

    const DeviceKind kind_;
    const HidDeviceInfo info_;
    bool plugged_ = false;
    quint64 generation_ = 0;
    Link link_;
    std::shared_ptr<HidDevice> device_;
    QList<QByteArray> reports_;
    uint32_t rejectCode_ = 0;
    int rejectAfter_ = -1;
    int vanishAfter_ = -1;
};

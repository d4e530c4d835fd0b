#pragma once

#include "device/HidManager.h"
#include "device/virtual/SimulatedPadUsb.h"
#include "device/virtual/VirtualPad.h"

#include <QObject>

#include <memory>
#include <vector>

// A HidManager over virtual pads, for `--simulate` and for tests: pads can be added, unplugged
// and plugged in again, and their input reports reach the input handler on the main thread just
// as a real pad's would. Each plug-in is a new device reference. DisplayPads added here are also
// reachable through `usb()`, whose re-enumeration unplugs the pad and plugs it in again.
//
// Threads: main thread only (the pads themselves may be written from any thread). Handlers are
// called on the main thread through the event loop, never from inside `start` or the plug calls,
// and never after `stop` or destruction.
class SimulatedHidManager : public HidManager {
public:
    SimulatedHidManager();
    ~SimulatedHidManager() override;

    // The USB access for DisplayPad sessions using these pads.
    std::shared_ptr<SimulatedPadUsb> usb() const { return usb_; }

    // Adds a pad and plugs it in. Adding a pad twice does nothing.
    void add(const std::shared_ptr<VirtualPad>& pad);
    void unplug(const std::shared_ptr<VirtualPad>& pad);
    void plug(const std::shared_ptr<VirtualPad>& pad);
    std::vector<std::shared_ptr<VirtualPad>> pads() const;
    // Fault injection: the next start reports `code` through the `failed` handler and no pad.
    void failStart(uint32_t code) { startFailure_ = code; }

    void start(std::vector<Matching> matching, Handlers handlers) override;
    void stop() override;

private:
    struct Entry {
        std::shared_ptr<VirtualPad> pad;
        std::shared_ptr<HidDevice> device;  // null while unplugged
    };

    Entry* find(const VirtualPad* pad);
    bool matches(const HidDeviceInfo& info) const;
    void announce(const std::shared_ptr<HidDevice>& device);
    void withdraw(const std::shared_ptr<HidDevice>& device);
    bool isReported(const std::shared_ptr<HidDevice>& device) const;

    // Guards deliveries: calls queued to the event loop are dropped once it is gone.
    std::unique_ptr<QObject> context_;
    std::shared_ptr<SimulatedPadUsb> usb_;
    std::vector<Entry> entries_;
    std::vector<std::shared_ptr<HidDevice>> reported_;
    std::vector<Matching> matching_;
    Handlers handlers_;
    bool started_ = false;
    uint32_t startFailure_ = 0;
};

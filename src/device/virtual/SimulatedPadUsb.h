#pragma once

#include "device/ImageInterface.h"
#include "device/virtual/VirtualDisplayPad.h"

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// The USB side of the simulated DisplayPads: finds a pad's image interface by location and
// re-enumerates pads, as the libusb backend does for real ones. Holds the pads weakly.
//
// Threads: any (sessions open from their queues, recovery re-enumerates on the main thread).
class SimulatedPadUsb : public PadUsb {
public:
    // Called on the main thread with the pad that was asked to re-enumerate, after it dropped
    // off the bus; the simulated HID manager plugs it in again. Without a handler the pad only
    // drops off.
    using ReenumerateHandler = std::function<void(const std::shared_ptr<VirtualDisplayPad>&)>;

    void add(const std::shared_ptr<VirtualDisplayPad>& pad);
    void remove(const std::shared_ptr<VirtualDisplayPad>& pad);
    void setReenumerateHandler(ReenumerateHandler handler);
    // Successful re-enumeration requests so far.
    int reenumerations() const;

    std::unique_ptr<ImageInterface> open(uint32_t locationID, IOReturn& error) override;
    IOReturn reenumerate(uint32_t locationID) override;

private:
    std::shared_ptr<VirtualDisplayPad> plugged(uint32_t locationID) const;

    mutable std::mutex mutex_;
    std::vector<std::weak_ptr<VirtualDisplayPad>> pads_;
    ReenumerateHandler handler_;
    int reenumerations_ = 0;
};

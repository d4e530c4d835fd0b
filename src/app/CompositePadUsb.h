#pragma once

#include "device/ImageInterface.h"

#include <memory>
#include <vector>

// Several PadUsb backends seen as one: the libusb backend for real DisplayPads and the virtual
// pads' backend under `--simulate`. A location belongs to at most one backend (virtual pads sit
// on bus 0, which no real USB bus uses), so the first backend that knows the location answers.
//
// Threads: any, as the interface; members are fixed before the first call (add() is not
// synchronised). Ownership: shares its members.
class CompositePadUsb : public PadUsb {
public:
    // Adds a backend; null is ignored. Only before the composite is handed to a store.
    void add(std::shared_ptr<PadUsb> member);
    size_t size() const { return members_.size(); }

    // The first interface a member opens. When no member opens one, `error` carries the first
    // failure a member reported, or stays untouched when no member knew the location.
    std::unique_ptr<ImageInterface> open(uint32_t locationID, IOReturn& error) override;

    // Asks the members in order; the first answer other than UsbStatus::notFound is the result.
    IOReturn reenumerate(uint32_t locationID) override;

private:
    std::vector<std::shared_ptr<PadUsb>> members_;
};

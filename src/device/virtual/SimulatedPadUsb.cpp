#include "device/virtual/SimulatedPadUsb.h"

#include "core/MainThread.h"

#include <algorithm>

void SimulatedPadUsb::add(const std::shared_ptr<VirtualDisplayPad>& pad) {
    std::lock_guard lock(mutex_);
    pads_.push_back(pad);
}

void SimulatedPadUsb::remove(const std::shared_ptr<VirtualDisplayPad>& pad) {
    std::lock_guard lock(mutex_);
    std::erase_if(pads_, [&](const std::weak_ptr<VirtualDisplayPad>& held) {
        auto locked = held.lock();
        return !locked || locked == pad;
    });
}

void SimulatedPadUsb::setReenumerateHandler(ReenumerateHandler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

int SimulatedPadUsb::reenumerations() const {
    std::lock_guard lock(mutex_);
    return reenumerations_;
}

std::shared_ptr<VirtualDisplayPad> SimulatedPadUsb::plugged(uint32_t locationID) const {
    for (const auto& held : pads_) {
        auto pad = held.lock();
        if (pad && pad->info().locationID == locationID && pad->isPlugged()) {
            return pad;
        }
    }
    return nullptr;
}

std::unique_ptr<ImageInterface> SimulatedPadUsb::open(uint32_t locationID, IOReturn& error) {
    std::shared_ptr<VirtualDisplayPad> pad;
    {
        std::lock_guard lock(mutex_);
        pad = plugged(locationID);
    }
    // Nothing at that location leaves `error` alone: the caller reports "not found".
    return pad ? pad->openImageInterface(error) : nullptr;
}

IOReturn SimulatedPadUsb::reenumerate(uint32_t locationID) {
    std::shared_ptr<VirtualDisplayPad> pad;
    ReenumerateHandler handler;
    {
        std::lock_guard lock(mutex_);
        pad = plugged(locationID);
        if (!pad) {
            return UsbStatus::notFound;
        }
        ++reenumerations_;
        handler = handler_;
    }
    runOnMain([pad, handler] {
        if (handler) {
            handler(pad);
        } else {
            pad->unplug();
        }
    });
    return UsbStatus::success;
}

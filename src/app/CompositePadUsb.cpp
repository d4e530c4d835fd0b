#include "app/CompositePadUsb.h"

void CompositePadUsb::add(std::shared_ptr<PadUsb> member) {
    if (member) {
        members_.push_back(std::move(member));
    }
}

std::unique_ptr<ImageInterface> CompositePadUsb::open(uint32_t locationID, IOReturn& error) {
    IOReturn firstError = UsbStatus::success;
    for (const std::shared_ptr<PadUsb>& member : members_) {
        // A member that fails to open a matching interface reports a code; success stays in
        // `attempt` only when the member did not know the location.
        IOReturn attempt = UsbStatus::success;
        if (auto interface = member->open(locationID, attempt)) {
            return interface;
        }
        if (attempt != UsbStatus::success && firstError == UsbStatus::success) {
            firstError = attempt;
        }
    }
    if (firstError != UsbStatus::success) {
        error = firstError;
    }
    return nullptr;
}

IOReturn CompositePadUsb::reenumerate(uint32_t locationID) {
    for (const std::shared_ptr<PadUsb>& member : members_) {
        const IOReturn result = member->reenumerate(locationID);
        if (result != UsbStatus::notFound) {
            return result;
        }
    }
    return UsbStatus::notFound;
}

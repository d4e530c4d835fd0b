#include "device/HIDConnection.h"

#include <stdexcept>

HIDConnection::HIDConnection(std::shared_ptr<HidDevice> device) : device_(std::move(device)) {
    if (!device_) {
        throw std::invalid_argument("HIDConnection needs a device");
    }
}

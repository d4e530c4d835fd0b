#pragma once

#include "device/HidDevice.h"

#include <memory>

// Ties a device model to the HID device it is connected to, from `connect` to `disconnect`.
// A model holds its current connection as a shared_ptr; whatever arrives later (a report, a
// session callback, a recovery request) is acted on only while it still belongs to that
// connection, which `belongsTo` and the connection's own identity decide.
//
// Main thread only: `initialized` is written there when the display session reports ready.
class HIDConnection {
public:
    // Throws std::invalid_argument for a null device: a connection without a device could never
    // be told apart from another one.
    explicit HIDConnection(std::shared_ptr<HidDevice> device);

    const std::shared_ptr<HidDevice>& device() const { return device_; }

    // True when `device` is the very object this connection was made for (identity, not
    // equality of properties: a pad that re-attached is a new object and a new connection).
    bool belongsTo(const HidDevice* device) const {
        return device != nullptr && device == device_.get();
    }

    // False at creation; set once the display session has reported ready, never cleared.
    bool initialized = false;

private:
    const std::shared_ptr<HidDevice> device_;
};

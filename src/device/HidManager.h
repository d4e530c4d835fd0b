#pragma once

#include "device/HidDevice.h"

#include <functional>
#include <memory>
#include <vector>

// Discovers pad interfaces and delivers their input reports. Two implementations: the Linux one
// (udev for hot-plug, hidapi for the hidraw nodes) and the simulated one behind the virtual pads.
//
// Threads: `start` and `stop` are called on the main thread, and every handler is called on the
// main thread, never from inside `start` itself (devices already present are reported
// right after it, through the event loop).
class HidManager {
public:
    // A device matches when all three numbers are equal to its vendor, product and primary
    // usage page.
    struct Matching {
        int vendorID = 0;
        int productID = 0;
        int usagePage = 0;
    };

    struct Handlers {
        // A matching device appeared (or was present when monitoring started).
        std::function<void(const std::shared_ptr<HidDevice>&)> attached;
        // The device went away; the same object as was attached. No report of it follows.
        std::function<void(const std::shared_ptr<HidDevice>&)> removed;
        // One input report. `result` is 0, or a status code when reading failed (the report is
        // then empty). The bytes are exactly what the device sent, without a report id prefix
        // for devices that use none.
        std::function<void(uint32_t result, const std::shared_ptr<HidDevice>& device,
                           const QByteArray& report)>
            input;
        // Discovery could not start at all (the HID or udev library is unusable), so no device
        // will be reported. `code` comes from the USB status table; `reason` says what failed,
        // for the log.
        std::function<void(uint32_t code, const QString& reason)> failed;
    };

    virtual ~HidManager() = default;

    // Begins monitoring for devices that match any of the rules. Problems that leave a device
    // unusable (for example no permission to open its node) are logged with the node and what
    // to do about it; they never stop monitoring of the others. A failure of discovery as a
    // whole goes to `failed`.
    virtual void start(std::vector<Matching> matching, Handlers handlers) = 0;

    // Ends monitoring and closes every device. No handler is called after `stop` returns.
    virtual void stop() = 0;
};

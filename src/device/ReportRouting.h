#pragma once

#include "device/HIDConnection.h"
#include "device/HidDevice.h"

#include <cstdint>

// The one rule by which an input report reaches a device model: only the model's current
// connection may feed it, decided by identity of the device object. A report from a device the
// model is no longer (or not yet) connected through, for example after it reconnected through a
// new device object, is dropped. Main thread (where the HID manager delivers reports).
class ReportRouting {
public:
    enum class Verdict {
        deliver,             // hand the bytes to the model's `receive`
        noDevice,            // no sending device: nothing to do, nothing logged
        callbackFailed,      // the HID layer reported an error instead of a report
        noActiveConnection,  // no model, or the model is connected through another device
    };

    // `current` is the current connection of the model the store found for `device` (null when
    // it found no model or the model is disconnected).
    static Verdict verdict(uint32_t result, const HidDevice* device, const HIDConnection* current);

    // `verdict`, and the log line for a dropped report: "Pad report callback failed: 0x%08x"
    // with the result, or "Pad report has no active connection". True when the report is to be
    // delivered.
    static bool accept(uint32_t result, const HidDevice* device, const HIDConnection* current);
};

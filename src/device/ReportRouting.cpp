#include "device/ReportRouting.h"

#include "core/Log.h"

ReportRouting::Verdict ReportRouting::verdict(uint32_t result, const HidDevice* device,
                                              const HIDConnection* current) {
    if (device == nullptr) {
        return Verdict::noDevice;
    }
    if (result != 0) {
        return Verdict::callbackFailed;
    }
    if (current == nullptr || !current->belongsTo(device)) {
        return Verdict::noActiveConnection;
    }
    return Verdict::deliver;
}

bool ReportRouting::accept(uint32_t result, const HidDevice* device, const HIDConnection* current) {
    switch (verdict(result, device, current)) {
        case Verdict::deliver:
            return true;
        case Verdict::noDevice:
            return false;
        case Verdict::callbackFailed:
            logLine("Pad report callback failed: 0x%08x", result);
            return false;
        case Verdict::noActiveConnection:
            logLine("Pad report has no active connection");
            return false;
    }
    return false;
}

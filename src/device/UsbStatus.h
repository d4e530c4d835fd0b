#pragma once

#include <QString>

#include <cstdint>

// Result of every USB operation of the image interface: 0 for success, otherwise an error code.
// The codes are the IOKit values of the same meaning, so messages such as
// "Open image interface failed: 0xe00002f0" read the same on every platform and in bug reports.
using IOReturn = uint32_t;

// The one table of USB error codes. Platform backends map their own errors onto it (libusb:
// device/linux/LibusbStatus.h); nothing else spells these numbers.
struct UsbStatus {
    static constexpr IOReturn success = 0;
    static constexpr IOReturn error = 0xe00002bc;  // general failure
    static constexpr IOReturn noMemory = 0xe00002bd;
    static constexpr IOReturn noDevice = 0xe00002c0;  // the device went away
    static constexpr IOReturn badArgument = 0xe00002c2;
    static constexpr IOReturn exclusiveAccess = 0xe00002c5;  // held by another driver or program
    static constexpr IOReturn unsupported = 0xe00002c7;
    static constexpr IOReturn ioError = 0xe00002ca;
    static constexpr IOReturn notOpen = 0xe00002cd;  // no image interface handle
    static constexpr IOReturn timeout = 0xe00002d6;
    static constexpr IOReturn notPermitted = 0xe00002e2;  // no access to the device node
    static constexpr IOReturn overrun = 0xe00002e8;
    static constexpr IOReturn aborted = 0xe00002eb;
    static constexpr IOReturn notFound = 0xe00002f0;
    static constexpr IOReturn pipeStalled = 0xe000404f;  // the endpoint answered with STALL

    // "0x%08x" of the code, the form in which codes appear in messages and log lines.
    static QString hex(IOReturn code) { return QString::asprintf("0x%08x", code); }
};

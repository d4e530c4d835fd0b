#pragma once

#include "device/PadInventory.h"

#include <QString>

#include <vector>

class QTextStream;

// `quorvel --list-devices`: one line per attached supported pad, so a user can see whether the
// pads are found and whether the udev rules give this user access to them.
struct DeviceList {
    // The listing: a line per pad with its name, device id, location, serial number and the
    // access to its HID and USB device nodes, then a hint when some node is out of reach; a
    // sentence saying so when no pad is attached. Ends with a newline.
    static QString text(const std::vector<AttachedPad>& pads);

    // Lists through `inventory` and writes the text to `out`; returns the process exit code:
    // 0 (also with no pad attached), or 1 with the reason on `err` when listing failed.
    // Main thread.
    static int run(HidInventory& inventory, QTextStream& out, QTextStream& err);
};

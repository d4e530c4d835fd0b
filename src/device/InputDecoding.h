#pragma once

#include "device/DeviceKind.h"

#include <QByteArray>

#include <optional>
#include <set>
#include <vector>

// Turns raw input reports of both pads into control events: control numbers, each meaning
// "this control was actuated" (no releases, no amounts). Pure apart from the held-key state the
// caller keeps for a DisplayPad; any thread, though the model calls it on the main thread.
//
// Malformed reports (too short, wrong prefix or marker bytes) yield no event and are not an
// error: pads send other reports (command replies) on the same path.
class InputDecoding {
public:
    // DisplayPad: the keys 1...12 that went down since the previous key-state report, in
    // ascending order. `heldKeys` is the set of keys that were down in that previous report and
    // becomes the set of this one, so a key held across many reports fires once and a released
    // key is forgotten. A report that is not a key-state report leaves `heldKeys` alone and yields
    // nothing.
    static std::vector<int> displayPadPresses(const QByteArray& report, std::set<int>& heldKeys);

    // MSD-TWO: the control number in byte 9 of a report that is at least 10 bytes long, begins
    // with "ACK" and has "OK" in bytes 5 and 6; no value for any other report.
    static std::optional<int> msdTwoControl(const QByteArray& report);

    // The events of one report of a pad of `kind`, in the order they are to be acted on.
    // `heldKeys` is only used (and updated) for the DisplayPad.
    static std::vector<int> controlEvents(DeviceKind kind, const QByteArray& report,
                                          std::set<int>& heldKeys);
};

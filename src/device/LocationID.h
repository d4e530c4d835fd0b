#pragma once

#include <QStringView>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The 32-bit USB location id of a device, built the way macOS builds it so that device ids and
// configuration folders are the same on both systems: the bus number in the top 8 bits, then one
// hexadecimal digit per port from the root hub down, the rest zero. Bus 1, ports 2.3 gives
// 0x01230000. Pure; any thread.
//
// A path with a port above 15 or more than 6 ports does not fit that scheme. Clamping or
// truncating it would give two pads the same id, so such a path is folded instead: the bus in
// the top 8 bits, a zero digit, and 20 bits of a hash of the whole path (never zero). A location
// in that form never equals one of a path that fits, since those have no zero digit before a
// non-zero one; two unfitting paths on the same bus share a location only if their hashes collide
// (one chance in about a million).
struct LocationID {
    static constexpr int maxPorts = 6;
    static constexpr int maxPortNumber = 15;

    // The location of the device at `ports` (root port first) on `bus`. No value when the input
    // cannot describe a USB device: a bus outside 0...255, a port outside 1...255, or more than
    // 7 ports (USB allows at most 5 hubs between the root and a device).
    static std::optional<uint32_t> fromPortPath(int bus, std::span<const int> ports);

    // The ports of a sysfs "devpath" ("2", "2.3", "1.4.2"); no value for anything else, including
    // the root hub's "0" and empty text.
    static std::optional<std::vector<int>> parsePortPath(QStringView devpath);
};

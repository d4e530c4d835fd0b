#include "device/LocationID.h"

#include <QList>
#include <QString>

namespace {
constexpr int maxBus = 255;
constexpr int maxPortOnHub = 255;
constexpr int maxUsbDepth = 7;

// FNV-1a over bus, depth and ports, xor-folded to 20 bits.
uint32_t foldedPath(int bus, std::span<const int> ports) {
    uint32_t hash = 2166136261u;
    const auto mix = [&hash](uint32_t byte) {
        hash ^= byte & 0xFF;
        hash *= 16777619u;
    };
    mix(static_cast<uint32_t>(bus));
    mix(static_cast<uint32_t>(ports.size()));
    for (int port : ports) {
        mix(static_cast<uint32_t>(port));
    }
    uint32_t folded = (hash ^ (hash >> 20)) & 0xFFFFF;
    return folded == 0 ? 1 : folded;
}
}  // namespace

std::optional<uint32_t> LocationID::fromPortPath(int bus, std::span<const int> ports) {
    if (bus < 0 || bus > maxBus || ports.size() > static_cast<size_t>(maxUsbDepth)) {
        return std::nullopt;
    }
    bool fits = ports.size() <= static_cast<size_t>(maxPorts);
    for (int port : ports) {
        if (port < 1 || port > maxPortOnHub) {
            return std::nullopt;
        }
        fits = fits && port <= maxPortNumber;
    }
    const uint32_t busBits = static_cast<uint32_t>(bus) << 24;
    if (!fits) {
        return busBits | foldedPath(bus, ports);
    }
    uint32_t location = busBits;
    int shift = 20;
    for (int port : ports) {
        location |= static_cast<uint32_t>(port) << shift;
        shift -= 4;
    }
    return location;
}

std::optional<std::vector<int>> LocationID::parsePortPath(QStringView devpath) {
    if (devpath.isEmpty()) {
        return std::nullopt;
    }
    std::vector<int> ports;
    for (QStringView part : devpath.split(u'.')) {
        bool ok = false;
        // Digits only: toInt would also take signs and spaces.
        for (QChar c : part) {
            if (c < u'0' || c > u'9') {
                return std::nullopt;
            }
        }
        const int port = part.toInt(&ok);
        if (!ok || port < 1 || port > maxPortOnHub) {
            return std::nullopt;
        }
        ports.push_back(port);
    }
    return ports;
}

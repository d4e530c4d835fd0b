#include "UsbDescriptors.h"

namespace {
constexpr int hubClass = 0x09;
constexpr int hidClass = 0x03;
constexpr int vendorClass = 0xFF;

void appendWord(QByteArray& bytes, int value) {
    bytes.append(static_cast<char>(value & 0xFF));
    bytes.append(static_cast<char>((value >> 8) & 0xFF));
}

QByteArray deviceDescriptor(int deviceClass, int vendorID, int productID) {
    QByteArray d;
    d.append(char(18)).append(char(0x01));
    appendWord(d, 0x0200);  // USB 2.0
    d.append(static_cast<char>(deviceClass)).append(char(0)).append(char(0)).append(char(64));
    appendWord(d, vendorID);
    appendWord(d, productID);
    appendWord(d, 0x0100);
    d.append(char(1)).append(char(2)).append(char(0)).append(char(1));  // strings, 1 config
    return d;
}

QByteArray interfaceDescriptor(int number, int alternate, int interfaceClass,
                               const std::vector<UsbDescriptors::Endpoint>& endpoints) {
    QByteArray d;
    d.append(char(9)).append(char(0x04)).append(static_cast<char>(number));
    d.append(static_cast<char>(alternate));
    d.append(static_cast<char>(endpoints.size())).append(static_cast<char>(interfaceClass));
    d.append(char(0)).append(char(0)).append(char(0));
    if (interfaceClass == hidClass) {
        // HID descriptor: version 1.11, one report descriptor of 32 bytes.
        d.append(char(9)).append(char(0x21));
        appendWord(d, 0x0111);
        d.append(char(0)).append(char(1)).append(char(0x22));
        appendWord(d, 32);
    }
    for (const UsbDescriptors::Endpoint& endpoint : endpoints) {
        d.append(char(7)).append(char(0x05)).append(static_cast<char>(endpoint.address));
        d.append(static_cast<char>(endpoint.attributes));
        appendWord(d, (endpoint.attributes & 0x03) == 0x02 ? 512 : 64);
        d.append(char(1));
    }
    return d;
}

// `interfaceCount` counts interfaces, not the alternate settings among `interfaces`.
QByteArray configurationDescriptor(const std::vector<QByteArray>& interfaces, int interfaceCount) {
    QByteArray body;
    for (const QByteArray& interface : interfaces) {
        body.append(interface);
    }
    QByteArray d;
    d.append(char(9)).append(char(0x02));
    appendWord(d, 9 + static_cast<int>(body.size()));
    d.append(static_cast<char>(interfaceCount)).append(char(1)).append(char(0));
    d.append(char(0x80)).append(char(50));  // bus powered, 100 mA
    return d + body;
}
}  // namespace

QByteArray UsbDescriptors::hub() {
    return deviceDescriptor(hubClass, 0x1d6b, 0x0002) +
           configurationDescriptor({interfaceDescriptor(0, 0, hubClass, {{0x81, 0x03}})}, 1);
}

QByteArray UsbDescriptors::pad(int vendorID, int productID, bool imageInterface,
                               const std::vector<Endpoint>& imageEndpoints,
                               const std::vector<Endpoint>& alternateEndpoints) {
    std::vector<QByteArray> interfaces = {interfaceDescriptor(0, 0, hidClass, {{0x81, 0x03}})};
    if (imageInterface) {
        interfaces.push_back(interfaceDescriptor(1, 0, vendorClass, imageEndpoints));
        if (!alternateEndpoints.empty()) {
            interfaces.push_back(interfaceDescriptor(1, 1, vendorClass, alternateEndpoints));
        }
    }
    return deviceDescriptor(0, vendorID, productID) +
           configurationDescriptor(interfaces, imageInterface ? 2 : 1);
}

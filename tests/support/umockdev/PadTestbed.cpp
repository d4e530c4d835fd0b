#include "PadTestbed.h"

#include <linux/hidraw.h>
#include <linux/usbdevice_fs.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <umockdev.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
constexpr int setupSize = 8;

QString le16(int value) {
    return QString::asprintf("%02x%02x", value & 0xFF, (value >> 8) & 0xFF);
}

// Raw descriptors as sysfs keeps them in a device's "descriptors" file, which libusb reads
// instead of asking the device: the device descriptor, then its one configuration.
QString interfaceHex(int number, int alternate, int interfaceClass,
                     const std::vector<PadTestbed::Endpoint>& endpoints) {
    QString d = QString::asprintf("0904%02x%02x%02x%02x000000", number, alternate,
                                  int(endpoints.size()), interfaceClass);
    if (interfaceClass == 0x03) {  // HID 1.11 with one report descriptor of 32 bytes
        d += QStringLiteral("09211101000122") + le16(32);
    }
    for (const PadTestbed::Endpoint& endpoint : endpoints) {
        d += QString::asprintf("0705%02x%02x", endpoint.address, endpoint.attributes) +
             le16((endpoint.attributes & 0x03) == 0x02 ? 512 : 64) + QStringLiteral("01");
    }
    return d;
}

QString descriptorsHex(int deviceClass, int vendorID, int productID, int interfaceCount,
                       const QString& interfaces) {
    return QString::asprintf("12010002%02x000040", deviceClass) + le16(vendorID) + le16(productID) +
           QStringLiteral("0001010200010902") + le16(9 + int(interfaces.size()) / 2) +
           QString::asprintf("%02x01008032", interfaceCount) + interfaces;
}

// A piece of the caller's memory; changes are written back when the call completes.
struct Resolved {
    Resolved(UMockdevIoctlData* parent, size_t offset, size_t length) {
        data = umockdev_ioctl_data_resolve(parent, offset, length, nullptr);
    }
    ~Resolved() {
        if (data) {
            g_object_unref(data);
        }
    }
    template <typename T>
    T* as() const {
        return reinterpret_cast<T*>(data->data);
    }
    UMockdevIoctlData* data = nullptr;
};

// A control URB's length counts its data stage only, not the setup packet before it.
void finishUrb(UMockdevIoctlData* urb, int status, int shortBy) {
    auto* fields = reinterpret_cast<usbdevfs_urb*>(urb->data);
    const int setup = fields->type == USBDEVFS_URB_TYPE_CONTROL ? setupSize : 0;
    fields->status = status;
    fields->actual_length = status == 0 ? std::max(0, fields->buffer_length - setup - shortBy) : 0;
}
}  // namespace

PadTestbed::PadTestbed() : testbed_(umockdev_testbed_new()), ioctls_(umockdev_ioctl_base_new()) {
    g_signal_connect(ioctls_, "handle-ioctl", G_CALLBACK(onIoctl), this);
}

PadTestbed::~PadTestbed() {
    g_object_unref(testbed_);
    g_object_unref(ioctls_);
    for (auto& [devnode, node] : nodes_) {
        std::for_each(node.done.begin(), node.done.end(), g_object_unref);
    }
}

bool PadTestbed::preloaded() {
    return qEnvironmentVariable("LD_PRELOAD").contains(u"libumockdev-preload");
}

void PadTestbed::add(const QString& record) {
    GError* error = nullptr;
    EXPECT_TRUE(umockdev_testbed_add_from_string(testbed_, record.toUtf8().constData(), &error))
        << (error ? error->message : "") << record.toStdString();
    g_clear_error(&error);
}

void PadTestbed::attach(const QString& devnode) {
    GError* error = nullptr;
    umockdev_testbed_attach_ioctl(testbed_, devnode.toUtf8().constData(), ioctls_, &error);
    EXPECT_EQ(error, nullptr) << (error ? error->message : "");
    g_clear_error(&error);
}

// One USB device as umockdev-record writes it; sysfs values end in a newline, which libusb checks.
QString PadTestbed::addDevice(int bus, const QString& devpath, int vendorID, int productID,
                              const QString& descriptors, const QString& extra) {
    const int devnum = nextDevnum_++;
    const QString name = devpath == u"0" ? QStringLiteral("usb%1").arg(bus)
                                         : QStringLiteral("%1-%2").arg(bus).arg(devpath);
    const qsizetype dot = devpath.lastIndexOf(u'.');
    const QString parent = devpath == u"0" ? QStringLiteral("/devices")
                           : dot < 0
                               ? devices_[QStringLiteral("usb%1").arg(bus)]
                               : devices_[QStringLiteral("%1-%2").arg(bus).arg(devpath.left(dot))];
    const QString path = devices_[name] = parent + u'/' + name;
    add(QString::asprintf(
            "P: %s\nN: bus/usb/%03d/%03d\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n"
            "E: DEVNAME=/dev/bus/usb/%03d/%03d\nE: BUSNUM=%03d\nE: DEVNUM=%03d\n"
            "A: busnum=%d\\n\nA: devnum=%d\\n\nA: devpath=%s\\n\nA: idVendor=%04x\\n\n"
            "A: idProduct=%04x\\n\nA: speed=480\\n\nA: bConfigurationValue=1\\n\n"
            "A: bNumConfigurations=1\\n\nH: descriptors=%s\n",
            qPrintable(path), bus, devnum, bus, devnum, bus, devnum, bus, devnum,
            qPrintable(devpath), vendorID, productID, qPrintable(descriptors)) +
        extra);
    return QString::asprintf("/dev/bus/usb/%03d/%03d", bus, devnum);
}

QString PadTestbed::addUsb(const UsbPad& pad) {
    // The hubs on the way come first, as the kernel enumerates them; libusb reads the port path
    // from their names.
    const QString hub = descriptorsHex(9, 0x1d6b, 2, 1, interfaceHex(0, 0, 0x09, {{0x81, 0x03}}));
    const QStringList ports = QStringList{QStringLiteral("0")} + pad.devpath.split(u'.');
    for (qsizetype i = 0; i + 1 < ports.size(); ++i) {
        const QString path = i == 0 ? QStringLiteral("0") : ports.mid(1, i).join(u'.');
        const QString name = i == 0 ? QStringLiteral("usb%1").arg(pad.bus)
                                    : QStringLiteral("%1-%2").arg(pad.bus).arg(path);
        if (!devices_.contains(name)) {
            addDevice(pad.bus, path, i == 0 ? 0x1d6b : 0x05e3, i == 0 ? 2 : 0x0608, hub);
        }
    }
    const QString devnode = QString::asprintf("/dev/bus/usb/%03d/%03d", pad.bus, nextDevnum_);
    locked([&] {
        nodes_[devnode].interfaces = {{0, {pad.driver0, pad.driver0}},
                                      {1, {pad.driver1, pad.driver1}}};
    });
    // Attached before the device exists, so that libusb's first open already reaches it.
    attach(devnode);
    QString interfaces = interfaceHex(0, 0, 0x03, {{0x81, 0x03}});
    if (pad.imageInterface) {
        interfaces += interfaceHex(1, 0, 0xFF, pad.imageEndpoints);
        if (!pad.alternateEndpoints.empty()) {
            interfaces += interfaceHex(1, 1, 0xFF, pad.alternateEndpoints);
        }
    }
    addDevice(
        pad.bus, pad.devpath, pad.vendorID, pad.productID,
        descriptorsHex(0, pad.vendorID, pad.productID, pad.imageInterface ? 2 : 1, interfaces),
        pad.serial ? QStringLiteral("A: serial=%1\n").arg(*pad.serial) : QString());
    return devnode;
}

void PadTestbed::removeNode(const QString& devnode) {
    gchar* root = umockdev_testbed_get_root_dir(testbed_);
    const QString path = QString::fromUtf8(root) + devnode;
    g_free(root);
    EXPECT_TRUE(QFile::remove(path)) << path.toStdString();
}

std::vector<PadTestbed::Request> PadTestbed::requests(const QString& devnode,
                                                      const QString& name) const {
    std::vector<Request> result = locked([&] { return requests_; });
    std::erase_if(result, [&](const Request& r) {
        return (!devnode.isEmpty() && r.devnode != devnode) || (!name.isEmpty() && r.name != name);
    });
    return result;
}

QByteArray PadTestbed::driver(const QString& devnode, int interface) const {
    return locked([&] { return nodes_.at(devnode).interfaces.at(interface).driver; });
}

gboolean PadTestbed::onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    auto* testbed = static_cast<PadTestbed*>(self);
    std::lock_guard lock(testbed->mutex_);
    if (QByteArray(umockdev_ioctl_client_get_devnode(client)).startsWith("/dev/hidraw")) {
        testbed->handleHidraw(client);
    } else {
        testbed->handleUsbfs(client);
    }
    return TRUE;
}

// hidapi checks that an opened node is hidraw by asking for its descriptor size; a
// pseudo-terminal does not know that request, so it is answered here. HIDIOCSOUTPUT is recorded
// and answered as the test asked.
void PadTestbed::handleHidraw(UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    const bool output = (request & ~(_IOC_SIZEMASK << _IOC_SIZESHIFT)) == HIDIOCSOUTPUT(0);
    if (request != HIDIOCGRDESCSIZE && !output) {
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
        return;
    }
    const size_t size = output ? _IOC_SIZE(request) : sizeof(int);
    const Resolved data(umockdev_ioctl_client_get_arg(client), 0, size);
    if (!data.data) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
    } else if (output) {
        outputReports_.emplace_back(data.as<const char>(), int(size));
        // The kernel answers with the number of bytes sent.
        umockdev_ioctl_client_complete(client, outputError_ ? -1 : glong(size), outputError_);
    } else {
        *data.as<int>() = 32;
        umockdev_ioctl_client_complete(client, 0, 0);
    }
}

void PadTestbed::handleUsbfs(UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    const QString devnode = QString::fromUtf8(umockdev_ioctl_client_get_devnode(client));
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    UsbNode& node = nodes_[devnode];
    const auto complete = [client](int error) {
        umockdev_ioctl_client_complete(client, error ? -1 : 0, error);
    };
    const auto record = [&](const char* name, int interface, int endpoint = -1) {
        requests_.push_back({devnode, QString::fromLatin1(name), interface, -1, endpoint, {}});
    };
    // The interface number a request names, or -1 when its argument cannot be read.
    const auto number = [arg] {
        const Resolved value(arg, 0, sizeof(unsigned int));
        return value.data ? int(*value.as<unsigned int>()) : -1;
    };

    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            const Resolved caps(arg, 0, sizeof(uint32_t));
            *caps.as<uint32_t>() = USBDEVFS_CAP_BULK_CONTINUATION |
                                   USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                   USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
            return complete(0);
        }
        case USBDEVFS_GETDRIVER: {
            const Resolved query(arg, 0, sizeof(usbdevfs_getdriver));
            auto* fields = query.as<usbdevfs_getdriver>();
            const QByteArray driver = node.interfaces[int(fields->interface)].driver;
            std::memset(fields->driver, 0, sizeof fields->driver);
            std::memcpy(fields->driver, driver.constData(), size_t(driver.size()));
            return complete(driver.isEmpty() ? ENODATA : 0);
        }
        case USBDEVFS_DISCONNECT_CLAIM:
        case USBDEVFS_CLAIMINTERFACE: {
            // Both start with the interface number; only the first may unbind a kernel driver.
            const int value = number();
            record("claim", value);
            Interface& interface = node.interfaces[value];
            const int error = (request == USBDEVFS_CLAIMINTERFACE ? !interface.driver.isEmpty()
                                                                  : interface.driver == "usbfs")
                                  ? EBUSY
                                  : 0;
            if (error == 0) {
                interface.driver = "usbfs";
            }
            return complete(error);
        }
        case USBDEVFS_RELEASEINTERFACE: {
            const int value = number();
            record("release", value);
            Interface& interface = node.interfaces[value];
            if (interface.driver != "usbfs") {
                return complete(EINVAL);
            }
            interface.driver.clear();
            return complete(0);
        }
        case USBDEVFS_IOCTL: {
            const Resolved command(arg, 0, sizeof(usbdevfs_ioctl));
            const auto* fields = command.as<usbdevfs_ioctl>();
            Interface& interface = node.interfaces[fields->ifno];
            const auto code = static_cast<unsigned long>(fields->ioctl_code);
            if (code == USBDEVFS_DISCONNECT) {
                record("disconnect", fields->ifno);
                if (behaviour_.disconnectErrno && fields->ifno >= behaviour_.disconnectFailsFrom) {
                    return complete(behaviour_.disconnectErrno);
                }
                const bool bound = !interface.driver.isEmpty();
                interface.driver.clear();
                return complete(bound ? 0 : ENODATA);
            }
            if (code == USBDEVFS_CONNECT) {
                record("connect", fields->ifno);
                const int error = interface.driver.isEmpty() ? 0 : EBUSY;
                if (error == 0) {
                    interface.driver = interface.boundBefore;
                }
                return complete(error);
            }
            unknown_.push_back(code);
            return complete(ENOTTY);
        }
        case USBDEVFS_SETINTERFACE: {
            const Resolved setting(arg, 0, sizeof(usbdevfs_setinterface));
            const auto* fields = setting.as<usbdevfs_setinterface>();
            record("alternate", int(fields->interface), int(fields->altsetting));
            // The kernel would claim a free interface on the spot; refusing instead makes
            // choosing a setting before claiming the interface show.
            return complete(behaviour_.alternateErrno ? behaviour_.alternateErrno
                            : node.interfaces[int(fields->interface)].driver == "usbfs" ? 0
                                                                                        : EINVAL);
        }
        case USBDEVFS_RESET:
            record("reset", -1);
            return complete(behaviour_.resetErrno);
        case USBDEVFS_SUBMITURB: {
            // Every URB is taken at once, with the status and length the test asked for.
            UMockdevIoctlData* urb =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
            const auto* fields = reinterpret_cast<usbdevfs_urb*>(urb->data);
            QByteArray data;
            if (fields->buffer_length > 0) {
                const Resolved buffer(urb, offsetof(usbdevfs_urb, buffer),
                                      size_t(fields->buffer_length));
                data = QByteArray(buffer.as<const char>(), fields->buffer_length);
            }
            requests_.push_back(
                {devnode, QStringLiteral("urb"), -1, fields->type, fields->endpoint, data});
            finishUrb(urb, behaviour_.urbStatus, behaviour_.urbShortBy);
            node.done.push_back(urb);
            return complete(0);
        }
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY: {
            if (node.done.empty()) {
                return complete(EAGAIN);
            }
            const Resolved slot(arg, 0, sizeof(void*));
            UMockdevIoctlData* urb = node.done.front();
            node.done.erase(node.done.begin());
            umockdev_ioctl_data_set_ptr(slot.data, 0, urb);
            complete(0);
            g_object_unref(urb);
            return;
        }
        default:
            unknown_.push_back(request);
            return complete(ENOTTY);
    }
}

PadTestbed::Node PadTestbed::addHid(const HidInterface& interface) {
    const UsbPad& pad = interface.usb;
    const QString usbName = QStringLiteral("%1-%2").arg(pad.bus).arg(pad.devpath);
    if (!devices_.contains(usbName)) {
        addUsb(pad);
    }
    const int minor = nextMinor_++;
    const QString hidName =
        QString::asprintf("0003:%04X:%04X.%04X", pad.vendorID, pad.productID, minor + 1);
    const QString usb = devices_[usbName],
                  usbInterface =
                      usb + QStringLiteral("/%1:1.%2").arg(usbName).arg(interface.interfaceNumber),
                  hid = usbInterface + u'/' + hidName,
                  hidraw = hid + QStringLiteral("/hidraw/hidraw%1").arg(minor);
    Node node{QStringLiteral("/dev/hidraw%1").arg(minor), {}};
    for (const QString& path : {hidraw, hid, usbInterface, usb}) {
        node.sysfs.push_back(QStringLiteral("/sys") + path);
    }
    if (interface.answerIoctls) {
        // Attached before the node is announced, so that the program's open already finds it.
        answerIoctls(node);
    }
    // A vendor-defined report descriptor with one top-level collection on the usage page and
    // input and output reports of the size, as both pads' report interfaces have.
    const QString descriptor = QStringLiteral("06") + le16(interface.usagePage) +
                               QStringLiteral("0901a101150026ff00750896") +
                               le16(interface.reportSize) + QStringLiteral("0901810209019102c0");
    add(
        QString::asprintf("P: %s\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n"
                          "A: bInterfaceNumber=%02x\n",
                          qPrintable(usbInterface), interface.interfaceNumber));
    add(
        QString::asprintf("P: %s\nE: SUBSYSTEM=hid\nE: HID_ID=0003:0000%04X:0000%04X\n"
                          "E: HID_NAME=Test pad\nE: HID_UNIQ=%s\nH: report_descriptor=%s\n",
                          qPrintable(hid), pad.vendorID, pad.productID,
                          qPrintable(pad.serial.value_or(QString())), qPrintable(descriptor)));
    // Without contents the node becomes a pseudo-terminal; the `device` link is what hidapi
    // follows to the descriptor. Adding it sends the "add" uevent.
    add(
        QString::asprintf("P: %s\nN: hidraw%d\nE: DEVNAME=/dev/hidraw%d\nE: SUBSYSTEM=hidraw\n"
                          "E: MAJOR=245\nE: MINOR=%d\nA: dev=245:%d\nL: device=../../../%s\n",
                          qPrintable(hidraw), minor, minor, minor, minor, qPrintable(hidName)));
    node.master = umockdev_testbed_get_dev_fd(testbed_, node.devnode.toUtf8().constData());
    EXPECT_GE(node.master, 0) << "the node is not a pseudo-terminal";
    if (node.master >= 0) {
        // Bytes must pass unchanged in both directions: no line editing, echo or translation.
        termios mode{};
        tcgetattr(node.master, &mode);
        cfmakeraw(&mode);
        tcsetattr(node.master, TCSANOW, &mode);
    }
    return node;
}

void PadTestbed::change(const Node& node) {
    umockdev_testbed_uevent(testbed_, node.sysfs[0].toUtf8().constData(), "change");
}

void PadTestbed::remove(const Node& node) {
    umockdev_testbed_uevent(testbed_, node.sysfs[0].toUtf8().constData(), "remove");
    // Deepest first: umockdev removes a device's own bus and class links, not its children's.
    for (const QString& path : node.sysfs) {
        umockdev_testbed_remove_device(testbed_, path.toUtf8().constData());
    }
    std::erase_if(devices_, [&](const auto& entry) {
        return QStringLiteral("/sys") + entry.second == node.sysfs.back();
    });
}

bool PadTestbed::sendReport(const Node& node, const QByteArray& report) {
    return ::write(node.master, report.constData(), size_t(report.size())) == report.size();
}

QByteArray PadTestbed::readWritten(const Node& node, int expectedSize) {
    QByteArray bytes;
    QElapsedTimer timer;
    timer.start();
    char buffer[4096];
    while (bytes.size() < expectedSize && timer.elapsed() < 10000) {
        pollfd ready{node.master, POLLIN, 0};
        if (::poll(&ready, 1, 100) <= 0) {
            continue;
        }
        const ssize_t count = ::read(node.master, buffer, sizeof buffer);
        if (count <= 0) {
            break;
        }
        bytes.append(buffer, int(count));
    }
    return bytes;
}

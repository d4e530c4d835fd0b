#include "PadTestbed.h"

#include <linux/hidraw.h>
#include <linux/usbdevice_fs.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <umockdev.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
constexpr int setupSize = 8;

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int value : values) {
        out.append(static_cast<char>(value));
    }
    return out;
}

QByteArray word(int value) {
    return bytes({value & 0xFF, (value >> 8) & 0xFF});
}

// Raw descriptors as sysfs keeps them in a device's "descriptors" file, which libusb reads
// instead of asking the device: the device descriptor, then its one configuration.
QByteArray interfaceDescriptor(int number, int alternate, int interfaceClass,
                               const std::vector<PadTestbed::Endpoint>& endpoints) {
    QByteArray d =
        bytes({9, 0x04, number, alternate, int(endpoints.size()), interfaceClass, 0, 0, 0});
    if (interfaceClass == 0x03) {  // HID 1.11 with one report descriptor of 32 bytes
        d += bytes({9, 0x21}) + word(0x0111) + bytes({0, 1, 0x22}) + word(32);
    }
    for (const PadTestbed::Endpoint& endpoint : endpoints) {
        d += bytes({7, 0x05, endpoint.address, endpoint.attributes}) +
             word((endpoint.attributes & 0x03) == 0x02 ? 512 : 64) + bytes({1});
    }
    return d;
}

QByteArray descriptors(int deviceClass, int vendorID, int productID, int interfaceCount,
                       const QByteArray& interfaces) {
    return bytes({18, 0x01}) + word(0x0200) + bytes({deviceClass, 0, 0, 64}) + word(vendorID) +
           word(productID) + word(0x0100) + bytes({1, 2, 0, 1}) + bytes({9, 0x02}) +
           word(9 + int(interfaces.size())) + bytes({interfaceCount, 1, 0, 0x80, 50}) + interfaces;
}

QByteArray hubDescriptors() {
    return descriptors(0x09, 0x1d6b, 0x0002, 1, interfaceDescriptor(0, 0, 0x09, {{0x81, 0x03}}));
}

// A vendor-defined report descriptor with one top-level collection on `usagePage` and input
// and output reports of `size` bytes, as both pads' report interfaces have.
QByteArray reportDescriptor(int usagePage, int size) {
    return bytes({0x06}) + word(usagePage) + bytes({0x09, 0x01, 0xA1, 0x01}) +
           bytes({0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x96}) + word(size) +
           bytes({0x09, 0x01, 0x81, 0x02, 0x09, 0x01, 0x91, 0x02, 0xC0});
}

QString devnodeOf(int bus, int devnum) {
    return QString::asprintf("/dev/bus/usb/%03d/%03d", bus, devnum);
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

usbdevfs_urb* urbOf(UMockdevIoctlData* data) {
    return reinterpret_cast<usbdevfs_urb*>(data->data);
}

void finishUrb(UMockdevIoctlData* urb, int status, int shortBy) {
    usbdevfs_urb* fields = urbOf(urb);
    // A control URB's length counts its data stage only, not the setup packet before it.
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
        for (auto* urbs : {&node.pending, &node.done}) {
            std::for_each(urbs->begin(), urbs->end(), g_object_unref);
        }
    }
}

bool PadTestbed::preloaded() {
    return qEnvironmentVariable("LD_PRELOAD").contains(u"libumockdev-preload");
}

QString PadTestbed::addDevice(int bus, const QString& devpath, const QString& parent, int vendorID,
                              int productID, const QByteArray& raw) {
    const int devnum = nextDevnum_++;
    const QString name = devpath == u"0" ? QStringLiteral("usb%1").arg(bus)
                                         : QStringLiteral("%1-%2").arg(bus).arg(devpath);
    // sysfs values end in a newline, which libusb checks.
    const auto line = [](const QString& text) { return (text + u'\n').toUtf8(); };
    const QByteArray busText = line(QString::number(bus)),
                     devnumText = line(QString::number(devnum));
    const QByteArray vendor = line(QString::asprintf("%04x", vendorID));
    const QByteArray product = line(QString::asprintf("%04x", productID));
    const QByteArray devpathText = line(devpath), devname = devnodeOf(bus, devnum).toUtf8();
    const QByteArray busnum = QByteArray::number(bus).rightJustified(3, '0');
    const QByteArray devnumProperty = QByteArray::number(devnum).rightJustified(3, '0');
    const QByteArray parentPath = parent.toUtf8();
    gchar* path = umockdev_testbed_add_device(
        testbed_, "usb", name.toUtf8().constData(), parent.isEmpty() ? nullptr : parentPath.data(),
        // attributes
        "busnum", busText.constData(), "devnum", devnumText.constData(), "devpath",
        devpathText.constData(), "idVendor", vendor.constData(), "idProduct", product.constData(),
        "speed", "480\n", "bConfigurationValue", "1\n", "bNumConfigurations", "1\n", nullptr,
        // properties
        "DEVTYPE", "usb_device", "DEVNAME", devname.constData(), "BUSNUM", busnum.constData(),
        "DEVNUM", devnumProperty.constData(), nullptr);
    const QString syspath = QString::fromUtf8(path);
    g_free(path);
    QByteArray copy = raw;
    umockdev_testbed_set_attribute_binary(testbed_, syspath.toUtf8().constData(), "descriptors",
                                          reinterpret_cast<guint8*>(copy.data()), copy.size());
    // The usbfs node itself: libusb opens it before its first request reaches the testbed.
    gchar* root = umockdev_testbed_get_root_dir(testbed_);
    const QString node = QString::fromUtf8(root) + QString::fromUtf8(devname);
    g_free(root);
    QDir().mkpath(QFileInfo(node).path());
    QFile file(node);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << node.toStdString();
    syspaths_[name] = syspath;
    return syspath;
}

QString PadTestbed::addUsb(const UsbPad& pad) {
    // The hubs on the way come first, as the kernel enumerates them; libusb reads the port path
    // from their names.
    QString& root = syspaths_[QStringLiteral("usb%1").arg(pad.bus)];
    QString parent = root.isEmpty()
                         ? addDevice(pad.bus, QStringLiteral("0"), {}, 0x1d6b, 2, hubDescriptors())
                         : root;
    const QStringList ports = pad.devpath.split(u'.');
    for (qsizetype i = 1; i < ports.size(); ++i) {
        const QString hub = ports.mid(0, i).join(u'.');
        const QString known = syspaths_[QStringLiteral("%1-%2").arg(pad.bus).arg(hub)];
        parent = known.isEmpty() ? addDevice(pad.bus, hub, parent, 0x05e3, 0x0608, hubDescriptors())
                                 : known;
    }
    const QString devnode = devnodeOf(pad.bus, nextDevnum_);
    {
        std::lock_guard lock(mutex_);
        UsbNode& node = nodes_[devnode];
        node.interfaces[0] = {pad.driver0, pad.driver0};
        node.interfaces[1] = {pad.driver1, pad.driver1};
    }
    // Attached before the device exists, so that libusb's first open already reaches it.
    GError* error = nullptr;
    umockdev_testbed_attach_ioctl(testbed_, devnode.toUtf8().constData(), ioctls_, &error);
    EXPECT_EQ(error, nullptr) << (error ? error->message : "");
    g_clear_error(&error);
    QByteArray interfaces = interfaceDescriptor(0, 0, 0x03, {{0x81, 0x03}});
    if (pad.imageInterface) {
        interfaces += interfaceDescriptor(1, 0, 0xFF, pad.imageEndpoints);
        if (!pad.alternateEndpoints.empty()) {
            interfaces += interfaceDescriptor(1, 1, 0xFF, pad.alternateEndpoints);
        }
    }
    const QString syspath = addDevice(
        pad.bus, pad.devpath, parent, pad.vendorID, pad.productID,
        descriptors(0, pad.vendorID, pad.productID, pad.imageInterface ? 2 : 1, interfaces));
    if (pad.serial) {
        umockdev_testbed_set_attribute(testbed_, syspath.toUtf8().constData(), "serial",
                                       pad.serial->toUtf8().constData());
    }
    return devnode;
}

void PadTestbed::removeNode(const QString& devnode) {
    gchar* root = umockdev_testbed_get_root_dir(testbed_);
    const QString path = QString::fromUtf8(root) + devnode;
    g_free(root);
    EXPECT_TRUE(QFile::remove(path)) << path.toStdString();
}

void PadTestbed::setBehaviour(const Behaviour& behaviour) {
    std::lock_guard lock(mutex_);
    behaviour_ = behaviour;
}

std::vector<PadTestbed::Request> PadTestbed::requests(const QString& devnode) const {
    std::lock_guard lock(mutex_);
    std::vector<Request> result;
    std::copy_if(requests_.begin(), requests_.end(), std::back_inserter(result),
                 [&](const Request& r) { return devnode.isEmpty() || r.devnode == devnode; });
    return result;
}

std::vector<unsigned long> PadTestbed::unknownRequests() const {
    std::lock_guard lock(mutex_);
    return unknown_;
}

QByteArray PadTestbed::driver(const QString& devnode, int interface) const {
    std::lock_guard lock(mutex_);
    const auto node = nodes_.find(devnode);
    return node == nodes_.end() || !node->second.interfaces.contains(interface)
               ? QByteArray()
               : node->second.interfaces.at(interface).driver;
}

void PadTestbed::clearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
    unknown_.clear();
}

void PadTestbed::setOutputReportError(int error) {
    std::lock_guard lock(mutex_);
    outputError_ = error;
}

std::vector<QByteArray> PadTestbed::outputReports() const {
    std::lock_guard lock(mutex_);
    return outputReports_;
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

int PadTestbed::checkControlRecipient(UsbNode& node, const QByteArray& setup) {
    if (setup.size() < setupSize) {
        return EINVAL;
    }
    const auto requestType = static_cast<uint8_t>(setup[0]);
    // The kernel lets vendor requests through, and checks requests to an interface against the
    // handle's claims: an unclaimed interface without a driver is claimed on the spot, one that
    // another driver holds refuses the request.
    if ((requestType & 0x60) == 0x40 || (requestType & 0x1F) != 0x01) {
        return 0;
    }
    Interface& interface = node.interfaces[static_cast<uint8_t>(setup[4])];
    if (interface.driver != "usbfs" && !interface.driver.isEmpty()) {
        return EBUSY;
    }
    interface.driver = "usbfs";
    return 0;
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
            const bool taken = request == USBDEVFS_CLAIMINTERFACE ? !interface.driver.isEmpty()
                                                                  : interface.driver == "usbfs";
            const int error = behaviour_.claimErrno ? behaviour_.claimErrno : taken ? EBUSY : 0;
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
                const int error = behaviour_.connectErrno      ? behaviour_.connectErrno
                                  : interface.driver.isEmpty() ? 0
                                                               : EBUSY;
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
            UMockdevIoctlData* urb =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
            usbdevfs_urb* fields = urbOf(urb);
            QByteArray data;
            if (fields->buffer_length > 0) {
                const Resolved buffer(urb, offsetof(usbdevfs_urb, buffer),
                                      size_t(fields->buffer_length));
                data = QByteArray(buffer.as<const char>(), fields->buffer_length);
            }
            requests_.push_back(
                {devnode, QStringLiteral("urb"), -1, fields->type, fields->endpoint, data});
            const int refused = fields->type == USBDEVFS_URB_TYPE_CONTROL
                                    ? checkControlRecipient(node, data)
                                    : behaviour_.submitErrno;
            if (refused != 0) {
                g_object_unref(urb);
                return complete(refused);
            }
            if (behaviour_.urbsComplete) {
                finishUrb(urb, behaviour_.urbStatus, behaviour_.urbShortBy);
                node.done.push_back(urb);
            } else {
                node.pending.push_back(urb);
            }
            return complete(0);
        }
        case USBDEVFS_DISCARDURB: {
            record("discard", -1);
            if (node.pending.empty()) {
                return complete(EINVAL);
            }
            // All pending URBs belong to the one transfer that timed out; any order will do.
            finishUrb(node.pending.back(), -ENOENT, 0);
            node.done.push_back(node.pending.back());
            node.pending.pop_back();
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
    const QString portKey = QStringLiteral("%1-%2").arg(pad.bus).arg(pad.devpath);
    if (syspaths_[portKey].isEmpty()) {
        addUsb(pad);
    }
    Node node;
    node.usbSyspath = syspaths_[portKey];
    const QByteArray interfaceName =
        (portKey + QStringLiteral(":1.%1").arg(interface.interfaceNumber)).toUtf8();
    const QByteArray interfaceNumber =
        QByteArray::number(interface.interfaceNumber, 16).rightJustified(2, '0');
    gchar* interfacePath = umockdev_testbed_add_device(
        testbed_, "usb", interfaceName.constData(), node.usbSyspath.toUtf8().constData(),
        "bInterfaceNumber", interfaceNumber.constData(), nullptr, "DEVTYPE", "usb_interface",
        nullptr);
    const int minor = nextMinor_++;
    const QByteArray hidName =
        QString::asprintf("0003:%04X:%04X.%04X", pad.vendorID, pad.productID, minor + 1).toUtf8();
    const QByteArray hidId =
        QString::asprintf("0003:0000%04X:0000%04X", pad.vendorID, pad.productID).toUtf8();
    const QByteArray uniq = pad.serial.value_or(QString()).toUtf8();
    gchar* hid = umockdev_testbed_add_device(testbed_, "hid", hidName.constData(), interfacePath,
                                             nullptr, "HID_ID", hidId.constData(), "HID_NAME",
                                             "Test pad", "HID_UNIQ", uniq.constData(), nullptr);
    QByteArray descriptor = reportDescriptor(interface.usagePage, interface.reportSize);
    umockdev_testbed_set_attribute_binary(testbed_, hid, "report_descriptor",
                                          reinterpret_cast<guint8*>(descriptor.data()),
                                          descriptor.size());
    node.devnode = QStringLiteral("/dev/hidraw%1").arg(minor);
    node.hidSyspath = QString::fromUtf8(hid);
    node.syspath = node.hidSyspath + QStringLiteral("/hidraw/hidraw%1").arg(minor);
    node.interfaceSyspath = QString::fromUtf8(interfacePath);
    g_free(hid);
    g_free(interfacePath);
    if (interface.answerIoctls) {
        // Attached before the node is announced, so that the program's open already finds it.
        answerIoctls(node);
    }
    // The node is described as a whole so that umockdev gives it a pseudo-terminal, and the
    // `device` link that hidapi follows to the descriptor exists as in a real sysfs. Adding it
    // sends the "add" uevent.
    const QString record = QStringLiteral(
                               "P: %1\nN: hidraw%2\nE: DEVNAME=%3\nE: SUBSYSTEM=hidraw\n"
                               "E: MAJOR=245\nE: MINOR=%2\nA: dev=245:%2\nL: device=../../../%4\n")
                               .arg(node.syspath.mid(4), QString::number(minor), node.devnode,
                                    QString::fromUtf8(hidName));
    GError* error = nullptr;
    EXPECT_TRUE(umockdev_testbed_add_from_string(testbed_, record.toUtf8().constData(), &error))
        << (error ? error->message : "");
    g_clear_error(&error);
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

void PadTestbed::answerIoctls(const Node& node) {
    GError* error = nullptr;
    umockdev_testbed_attach_ioctl(testbed_, node.devnode.toUtf8().constData(), ioctls_, &error);
    EXPECT_EQ(error, nullptr) << (error ? error->message : "");
    g_clear_error(&error);
}

void PadTestbed::change(const Node& node) {
    umockdev_testbed_uevent(testbed_, node.syspath.toUtf8().constData(), "change");
}

void PadTestbed::remove(const Node& node) {
    umockdev_testbed_uevent(testbed_, node.syspath.toUtf8().constData(), "remove");
    // Deepest first: umockdev removes a device's own bus and class links, not its children's.
    for (const QString& path :
         {node.syspath, node.hidSyspath, node.interfaceSyspath, node.usbSyspath}) {
        umockdev_testbed_remove_device(testbed_, path.toUtf8().constData());
    }
    std::erase_if(syspaths_, [&](const auto& entry) { return entry.second == node.usbSyspath; });
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

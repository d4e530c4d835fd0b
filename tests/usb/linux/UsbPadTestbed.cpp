#include "UsbPadTestbed.h"

#include "UsbDescriptors.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
constexpr int setupSize = 8;

constexpr int bus = 1;

QString devnodeOf(int devnum) {
    return QStringLiteral("/dev/bus/usb/%1/%2")
        .arg(bus, 3, 10, QChar(u'0'))
        .arg(devnum, 3, 10, QChar(u'0'));
}

gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer testbed) {
    return static_cast<UsbPadTestbed*>(testbed)->handle(client) ? TRUE : FALSE;
}

// A resolved piece of the caller's memory; changes are written back when the call completes.
struct Resolved {
    Resolved(UMockdevIoctlData* parent, size_t offset, size_t length) {
        GError* error = nullptr;
        data = umockdev_ioctl_data_resolve(parent, offset, length, &error);
        g_clear_error(&error);
    }
    ~Resolved() {
        if (data) {
            g_object_unref(data);
        }
    }
    Resolved(const Resolved&) = delete;
    Resolved& operator=(const Resolved&) = delete;
    template <typename T>
    T* as() const {
        return reinterpret_cast<T*>(data->data);
    }
    UMockdevIoctlData* data = nullptr;
};

usbdevfs_urb* urbOf(UMockdevIoctlData* data) {
    return reinterpret_cast<usbdevfs_urb*>(data->data);
}
}  // namespace

UsbPadTestbed::UsbPadTestbed()
    : testbed_(umockdev_testbed_new()), ioctls_(umockdev_ioctl_base_new()) {
    g_signal_connect(ioctls_, "handle-ioctl", G_CALLBACK(onIoctl), this);
}

UsbPadTestbed::~UsbPadTestbed() {
    g_object_unref(testbed_);
    g_object_unref(ioctls_);
    for (auto& [devnode, node] : nodes_) {
        for (UMockdevIoctlData* urb : node.pending) {
            g_object_unref(urb);
        }
        for (UMockdevIoctlData* urb : node.done) {
            g_object_unref(urb);
        }
    }
}

QString UsbPadTestbed::rootDir() const {
    gchar* root = umockdev_testbed_get_root_dir(testbed_);
    const QString result = QString::fromUtf8(root);
    g_free(root);
    return result;
}

bool UsbPadTestbed::preloaded() {
    return qEnvironmentVariable("LD_PRELOAD").contains(u"libumockdev-preload");
}

QString UsbPadTestbed::addDevice(const QString& name, const QString& parent, const QString& devpath,
                                 int vendorID, int productID, const QByteArray& descriptors) {
    const int devnum = nextDevnum_++;
    // sysfs values end in a newline, which libusb checks.
    const QByteArray busText = QByteArray::number(bus) + '\n';
    const QByteArray devnumText = QByteArray::number(devnum) + '\n';
    const QByteArray vendor = QByteArray::number(vendorID, 16).rightJustified(4, '0') + '\n';
    const QByteArray product = QByteArray::number(productID, 16).rightJustified(4, '0') + '\n';
    const QByteArray devpathText = devpath.toUtf8() + '\n';
    const QByteArray devname = devnodeOf(devnum).toUtf8();
    const QByteArray parentPath = parent.toUtf8();
    gchar* path = umockdev_testbed_add_device(
        testbed_, "usb", name.toUtf8().constData(), parent.isEmpty() ? nullptr : parentPath.data(),
        // attributes
        "busnum", busText.constData(), "devnum", devnumText.constData(), "devpath",
        devpathText.constData(), "idVendor", vendor.constData(), "idProduct", product.constData(),
        "speed", "480\n", "bConfigurationValue", "1\n", "bNumConfigurations", "1\n", nullptr,
        // properties
        "DEVTYPE", "usb_device", "DEVNAME", devname.constData(), "BUSNUM",
        QByteArray::number(bus).rightJustified(3, '0').constData(), "DEVNUM",
        QByteArray::number(devnum).rightJustified(3, '0').constData(), nullptr);
    const QString syspath = QString::fromUtf8(path);
    g_free(path);
    QByteArray raw = descriptors;
    umockdev_testbed_set_attribute_binary(testbed_, syspath.toUtf8().constData(), "descriptors",
                                          reinterpret_cast<guint8*>(raw.data()), raw.size());
    // The usbfs node itself: libusb opens it before its first request reaches the testbed.
    const QString node = rootDir() + QString::fromUtf8(devname);
    QDir().mkpath(QFileInfo(node).path());
    QFile file(node);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << node.toStdString();
    syspaths_[name] = syspath;
    return syspath;
}

QString UsbPadTestbed::add(const Pad& pad) {
    // The hubs on the way come first, as the kernel enumerates them; libusb reads the port path
    // from their names.
    const QString root = QStringLiteral("usb%1").arg(bus);
    QString parent = syspaths_[root];
    if (parent.isEmpty()) {
        parent = addDevice(root, {}, QStringLiteral("0"), 0x1d6b, 0x0002, UsbDescriptors::hub());
    }
    const QStringList ports = pad.devpath.split(u'.');
    QString devpath;
    for (qsizetype i = 0; i + 1 < ports.size(); ++i) {
        devpath += (devpath.isEmpty() ? QString() : QStringLiteral(".")) + ports[i];
        const QString hub = QString::number(bus) + u'-' + devpath;
        QString& hubPath = syspaths_[hub];
        if (hubPath.isEmpty()) {
            hubPath = addDevice(hub, parent, devpath, 0x05e3, 0x0608, UsbDescriptors::hub());
        }
        parent = hubPath;
    }

    const QString devnode = devnodeOf(nextDevnum_);
    {
        std::lock_guard lock(mutex_);
        Node& node = nodes_[devnode];
        node.interfaces[0] = {pad.driver0, pad.driver0};
        node.interfaces[1] = {pad.driver1, pad.driver1};
    }
    // Attached before the device exists, so that libusb's first open already reaches it.
    GError* error = nullptr;
    umockdev_testbed_attach_ioctl(testbed_, devnode.toUtf8().constData(), ioctls_, &error);
    EXPECT_EQ(error, nullptr) << (error ? error->message : "");
    g_clear_error(&error);
    addDevice(QString::number(bus) + u'-' + pad.devpath, parent, pad.devpath, pad.vendorID,
              pad.productID,
              UsbDescriptors::pad(pad.vendorID, pad.productID, pad.imageInterface,
                                  pad.imageEndpoints, pad.alternateEndpoints));
    return devnode;
}

QString UsbPadTestbed::syspath(const QString& devpath) const {
    const auto found = syspaths_.find(QString::number(bus) + u'-' + devpath);
    return found == syspaths_.end() ? QString() : found->second;
}

void UsbPadTestbed::removeNode(const QString& devnode) {
    const QString path = rootDir() + devnode;
    EXPECT_TRUE(QFile::remove(path)) << path.toStdString();
}

void UsbPadTestbed::setBehaviour(const Behaviour& behaviour) {
    std::lock_guard lock(mutex_);
    behaviour_ = behaviour;
}

std::vector<UsbPadTestbed::Request> UsbPadTestbed::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<UsbPadTestbed::Request> UsbPadTestbed::requests(const QString& devnode) const {
    std::lock_guard lock(mutex_);
    std::vector<Request> result;
    std::copy_if(requests_.begin(), requests_.end(), std::back_inserter(result),
                 [&](const Request& request) { return request.devnode == devnode; });
    return result;
}

std::vector<unsigned long> UsbPadTestbed::unknownRequests() const {
    std::lock_guard lock(mutex_);
    return unknown_;
}

QByteArray UsbPadTestbed::driver(const QString& devnode, int interface) const {
    std::lock_guard lock(mutex_);
    const auto node = nodes_.find(devnode);
    if (node == nodes_.end()) {
        return {};
    }
    const auto found = node->second.interfaces.find(interface);
    return found == node->second.interfaces.end() ? QByteArray() : found->second.driver;
}

void UsbPadTestbed::clearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
    unknown_.clear();
}

void UsbPadTestbed::finishUrb(UMockdevIoctlData* urb, int status, int shortBy) {
    usbdevfs_urb* fields = urbOf(urb);
    // A control URB's length counts its data stage only, not the setup packet before it.
    const int setup = fields->type == USBDEVFS_URB_TYPE_CONTROL ? setupSize : 0;
    fields->status = status;
    fields->actual_length = status == 0 ? std::max(0, fields->buffer_length - setup - shortBy) : 0;
}

int UsbPadTestbed::checkControlRecipient(Node& node, const QByteArray& setup) {
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
    if (interface.driver == "usbfs") {
        return 0;
    }
    if (!interface.driver.isEmpty()) {
        return EBUSY;
    }
    interface.driver = "usbfs";
    return 0;
}

bool UsbPadTestbed::handle(UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    const QString devnode = QString::fromUtf8(umockdev_ioctl_client_get_devnode(client));
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::lock_guard lock(mutex_);
    Node& node = nodes_[devnode];
    const auto fail = [client](int error) {
        umockdev_ioctl_client_complete(client, -1, error);
        return true;
    };
    const auto succeed = [client]() {
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    };
    const auto record = [&](const QString& name, int interface) {
        requests_.push_back({devnode, name, interface, -1, -1, {}});
    };

    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            const Resolved caps(arg, 0, sizeof(uint32_t));
            if (!caps.data) {
                return fail(EFAULT);
            }
            *caps.as<uint32_t>() = USBDEVFS_CAP_BULK_CONTINUATION |
                                   USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                   USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
            return succeed();
        }
        case USBDEVFS_GETDRIVER: {
            const Resolved query(arg, 0, sizeof(usbdevfs_getdriver));
            if (!query.data) {
                return fail(EFAULT);
            }
            auto* fields = query.as<usbdevfs_getdriver>();
            const QByteArray driver = node.interfaces[static_cast<int>(fields->interface)].driver;
            if (driver.isEmpty()) {
                return fail(ENODATA);
            }
            std::memset(fields->driver, 0, sizeof fields->driver);
            std::memcpy(fields->driver, driver.constData(), static_cast<size_t>(driver.size()));
            return succeed();
        }
        case USBDEVFS_DISCONNECT_CLAIM: {
            const Resolved claim(arg, 0, sizeof(usbdevfs_disconnect_claim));
            if (!claim.data) {
                return fail(EFAULT);
            }
            const int number = static_cast<int>(claim.as<usbdevfs_disconnect_claim>()->interface);
            record(QStringLiteral("claim"), number);
            if (behaviour_.claimErrno != 0) {
                return fail(behaviour_.claimErrno);
            }
            Interface& interface = node.interfaces[number];
            if (interface.driver == "usbfs") {
                return fail(EBUSY);
            }
            interface.driver = "usbfs";
            return succeed();
        }
        case USBDEVFS_CLAIMINTERFACE: {
            const Resolved number(arg, 0, sizeof(unsigned int));
            if (!number.data) {
                return fail(EFAULT);
            }
            const int value = static_cast<int>(*number.as<unsigned int>());
            record(QStringLiteral("claim"), value);
            if (behaviour_.claimErrno != 0) {
                return fail(behaviour_.claimErrno);
            }
            Interface& interface = node.interfaces[value];
            if (!interface.driver.isEmpty()) {
                return fail(EBUSY);
            }
            interface.driver = "usbfs";
            return succeed();
        }
        case USBDEVFS_RELEASEINTERFACE: {
            const Resolved number(arg, 0, sizeof(unsigned int));
            if (!number.data) {
                return fail(EFAULT);
            }
            const int value = static_cast<int>(*number.as<unsigned int>());
            record(QStringLiteral("release"), value);
            Interface& interface = node.interfaces[value];
            if (interface.driver != "usbfs") {
                return fail(EINVAL);
            }
            interface.driver.clear();
            return succeed();
        }
        case USBDEVFS_IOCTL: {
            const Resolved command(arg, 0, sizeof(usbdevfs_ioctl));
            if (!command.data) {
                return fail(EFAULT);
            }
            const auto* fields = command.as<usbdevfs_ioctl>();
            Interface& interface = node.interfaces[fields->ifno];
            if (static_cast<unsigned long>(fields->ioctl_code) == USBDEVFS_DISCONNECT) {
                record(QStringLiteral("disconnect"), fields->ifno);
                if (behaviour_.disconnectErrno != 0 &&
                    fields->ifno >= behaviour_.disconnectFailsFrom) {
                    return fail(behaviour_.disconnectErrno);
                }
                if (interface.driver.isEmpty()) {
                    return fail(ENODATA);
                }
                interface.driver.clear();
                return succeed();
            }
            if (static_cast<unsigned long>(fields->ioctl_code) == USBDEVFS_CONNECT) {
                record(QStringLiteral("connect"), fields->ifno);
                if (behaviour_.connectErrno != 0) {
                    return fail(behaviour_.connectErrno);
                }
                if (!interface.driver.isEmpty()) {
                    return fail(EBUSY);
                }
                interface.driver = interface.boundBefore;
                return succeed();
            }
            unknown_.push_back(static_cast<unsigned long>(fields->ioctl_code));
            return fail(ENOTTY);
        }
        case USBDEVFS_SETINTERFACE: {
            const Resolved setting(arg, 0, sizeof(usbdevfs_setinterface));
            if (!setting.data) {
                return fail(EFAULT);
            }
            const auto* fields = setting.as<usbdevfs_setinterface>();
            requests_.push_back({devnode,
                                 QStringLiteral("alternate"),
                                 static_cast<int>(fields->interface),
                                 -1,
                                 static_cast<int>(fields->altsetting),
                                 {}});
            if (behaviour_.alternateErrno != 0) {
                return fail(behaviour_.alternateErrno);
            }
            // The kernel would claim a free interface on the spot; refusing instead makes
            // choosing a setting before claiming the interface show.
            return node.interfaces[static_cast<int>(fields->interface)].driver == "usbfs"
                       ? succeed()
                       : fail(EINVAL);
        }
        case USBDEVFS_RESET:
            record(QStringLiteral("reset"), -1);
            return behaviour_.resetErrno != 0 ? fail(behaviour_.resetErrno) : succeed();
        case USBDEVFS_SUBMITURB: {
            GError* error = nullptr;
            UMockdevIoctlData* urb =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), &error);
            g_clear_error(&error);
            if (!urb) {
                return fail(EFAULT);
            }
            usbdevfs_urb* fields = urbOf(urb);
            QByteArray bytes;
            if (fields->buffer_length > 0) {
                const Resolved buffer(urb, offsetof(usbdevfs_urb, buffer),
                                      static_cast<size_t>(fields->buffer_length));
                if (!buffer.data) {
                    g_object_unref(urb);
                    return fail(EFAULT);
                }
                bytes = QByteArray(reinterpret_cast<const char*>(buffer.data->data),
                                   fields->buffer_length);
            }
            requests_.push_back(
                {devnode, QStringLiteral("urb"), -1, fields->type, fields->endpoint, bytes});
            const int refused = fields->type == USBDEVFS_URB_TYPE_CONTROL
                                    ? checkControlRecipient(node, bytes)
                                    : behaviour_.submitErrno;
            if (refused != 0) {
                g_object_unref(urb);
                return fail(refused);
            }
            if (behaviour_.urbsComplete) {
                finishUrb(urb, behaviour_.urbStatus, behaviour_.urbShortBy);
                node.done.push_back(urb);
            } else {
                node.pending.push_back(urb);
            }
            return succeed();
        }
        case USBDEVFS_DISCARDURB: {
            record(QStringLiteral("discard"), -1);
            if (node.pending.empty()) {
                return fail(EINVAL);
            }
            // The host discards one URB at a time, newest first is as good as any here: all of
            // them belong to the one transfer that timed out.
            UMockdevIoctlData* urb = node.pending.back();
            node.pending.pop_back();
            finishUrb(urb, -ENOENT, 0);
            node.done.push_back(urb);
            return succeed();
        }
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY: {
            if (node.done.empty()) {
                return fail(EAGAIN);
            }
            const Resolved slot(arg, 0, sizeof(void*));
            if (!slot.data) {
                return fail(EFAULT);
            }
            UMockdevIoctlData* urb = node.done.front();
            node.done.erase(node.done.begin());
            umockdev_ioctl_data_set_ptr(slot.data, 0, urb);
            umockdev_ioctl_client_complete(client, 0, 0);
            g_object_unref(urb);
            return true;
        }
        default:
            unknown_.push_back(request);
            return fail(ENOTTY);
    }
}

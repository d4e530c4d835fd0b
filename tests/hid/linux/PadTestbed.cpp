#include "PadTestbed.h"

#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <umockdev.h>
#include <unistd.h>

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace {
// A vendor-defined descriptor with one top-level collection on `usagePage` and input and output
// reports of `size` bytes, as both pads' report interfaces have.
QByteArray reportDescriptor(int usagePage, int size) {
    QByteArray d;
    const auto add = [&d](std::initializer_list<int> bytes) {
        for (int b : bytes) {
            d.append(static_cast<char>(b));
        }
    };
    add({0x06, usagePage & 0xFF, (usagePage >> 8) & 0xFF});  // Usage Page (16 bit)
    add({0x09, 0x01, 0xA1, 0x01});                           // Usage 1, Collection (Application)
    add({0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08});         // 0...255, 8 bits each
    add({0x96, size & 0xFF, (size >> 8) & 0xFF});            // Report Count
    add({0x09, 0x01, 0x81, 0x02});                           // Input (Data, Var, Abs)
    add({0x09, 0x01, 0x91, 0x02});                           // Output (Data, Var, Abs)
    add({0xC0});                                             // End Collection
    return d;
}

QString hex4(int value) {
    return QString::asprintf("%04x", value);
}
}  // namespace

// hidapi checks that an opened node is hidraw by asking for its descriptor size; a
// pseudo-terminal does not know that request, so the testbed answers it. HIDIOCSOUTPUT is
// recorded and answered as the test asked.
gboolean PadTestbed::answerIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    const bool output = (request & ~(_IOC_SIZEMASK << _IOC_SIZESHIFT)) == HIDIOCSOUTPUT(0);
    if (request != HIDIOCGRDESCSIZE && !output) {
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
        return TRUE;
    }
    const size_t size = output ? _IOC_SIZE(request) : sizeof(int);
    GError* error = nullptr;
    UMockdevIoctlData* data =
        umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, size, &error);
    if (!data) {
        g_clear_error(&error);
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return TRUE;
    }
    if (output) {
        OutputReports& reports = static_cast<PadTestbed*>(self)->outputReports;
        std::lock_guard lock(reports.mutex);
        reports.sent.emplace_back(reinterpret_cast<const char*>(data->data), int(size));
        // The kernel answers with the number of bytes sent.
        umockdev_ioctl_client_complete(client, reports.error ? -1 : glong(size), reports.error);
    } else {
        const int descriptorSize = 32;
        std::memcpy(data->data, &descriptorSize, sizeof descriptorSize);
        umockdev_ioctl_client_complete(client, 0, 0);
    }
    g_object_unref(data);
    return TRUE;
}

PadTestbed::PadTestbed(UMockdevTestbed* shared)
    : testbed_(shared ? static_cast<UMockdevTestbed*>(g_object_ref(shared))
                      : umockdev_testbed_new()),
      ioctls_(umockdev_ioctl_base_new()) {
    g_signal_connect(ioctls_, "handle-ioctl", G_CALLBACK(answerIoctl), this);
}

PadTestbed::~PadTestbed() {
    g_object_unref(testbed_);
    g_object_unref(ioctls_);
}

bool PadTestbed::preloaded() {
    return qEnvironmentVariable("LD_PRELOAD").contains(u"libumockdev-preload");
}

PadTestbed::Node PadTestbed::add(const Interface& interface) {
    const QString portKey = QString::number(interface.busNumber) + u'-' + interface.devpath;
    QString usb = interface.usbSyspath;
    for (const auto& [key, syspath] : usbDevices_) {
        if (key == portKey) {
            usb = syspath;
        }
    }
    if (usb.isEmpty()) {
        const QByteArray bus = QByteArray::number(interface.busNumber);
        const QByteArray devnum = QByteArray::number(10 + static_cast<int>(usbDevices_.size()));
        const QByteArray vendor = hex4(interface.vendorID).toUtf8();
        const QByteArray product = hex4(interface.productID).toUtf8();
        const QByteArray devpath = interface.devpath.toUtf8();
        const QByteArray devname = QStringLiteral("/dev/bus/usb/%1/%2")
                                       .arg(interface.busNumber, 3, 10, QChar(u'0'))
                                       .arg(devnum.toInt(), 3, 10, QChar(u'0'))
                                       .toUtf8();
        gchar* path = umockdev_testbed_add_device(
            testbed_, "usb", portKey.toUtf8().constData(), nullptr,
            // attributes
            "busnum", bus.constData(), "devnum", devnum.constData(), "devpath", devpath.constData(),
            "idVendor", vendor.constData(), "idProduct", product.constData(), "bcdDevice", "0100",
            "manufacturer", "Test", "product", "Test pad", nullptr,
            // properties
            "DEVTYPE", "usb_device", "DEVNAME", devname.constData(), nullptr);
        usb = QString::fromUtf8(path);
        g_free(path);
        if (interface.serial) {
            umockdev_testbed_set_attribute(testbed_, usb.toUtf8().constData(), "serial",
                                           interface.serial->toUtf8().constData());
        }
        usbDevices_.emplace_back(portKey, usb);
    }

    const QByteArray interfaceName =
        (portKey + QStringLiteral(":1.%1").arg(interface.interfaceNumber)).toUtf8();
    const QByteArray interfaceNumber = hex4(interface.interfaceNumber).right(2).toUtf8();
    gchar* interfacePath = umockdev_testbed_add_device(
        testbed_, "usb", interfaceName.constData(), usb.toUtf8().constData(), "bInterfaceNumber",
        interfaceNumber.constData(), nullptr, "DEVTYPE", "usb_interface", nullptr);

    const int minor = nextMinor_++;
    const QByteArray hidName =
        QStringLiteral("0003:%1:%2.%3")
            .arg(hex4(interface.vendorID).toUpper(), hex4(interface.productID).toUpper(),
                 hex4(minor + 1).toUpper())
            .toUtf8();
    const QByteArray hidId =
        QStringLiteral("0003:0000%1:0000%2")
            .arg(hex4(interface.vendorID).toUpper(), hex4(interface.productID).toUpper())
            .toUtf8();
    const QByteArray uniq = interface.serial.value_or(QString()).toUtf8();
    gchar* hid = umockdev_testbed_add_device(testbed_, "hid", hidName.constData(), interfacePath,
                                             nullptr, "HID_ID", hidId.constData(), "HID_NAME",
                                             "Test pad", "HID_UNIQ", uniq.constData(), nullptr);
    QByteArray descriptor = reportDescriptor(interface.usagePage, interface.reportSize);
    umockdev_testbed_set_attribute_binary(testbed_, hid, "report_descriptor",
                                          reinterpret_cast<guint8*>(descriptor.data()),
                                          descriptor.size());

    // The node is described as a whole so that umockdev gives it a pseudo-terminal, and the
    // `device` link that hidapi follows to the descriptor exists as in a real sysfs. Adding it
    // sends the "add" uevent.
    Node node;
    node.devnode = QStringLiteral("/dev/hidraw%1").arg(minor);
    node.syspath = QString::fromUtf8(hid) + QStringLiteral("/hidraw/hidraw%1").arg(minor);
    node.hidSyspath = QString::fromUtf8(hid);
    node.interfaceSyspath = QString::fromUtf8(interfacePath);
    node.usbSyspath = usb;
    const QString record = QStringLiteral(
                               "P: %1\nN: hidraw%2\nE: DEVNAME=%3\nE: SUBSYSTEM=hidraw\n"
                               "E: MAJOR=245\nE: MINOR=%2\nA: dev=245:%2\nL: device=../../../%4\n")
                               .arg(node.syspath.mid(4), QString::number(minor), node.devnode,
                                    QString::fromUtf8(hidName));
    GError* error = nullptr;
    if (interface.answerIoctls) {
        // Attached before the node is announced, so the manager's open already finds it.
        umockdev_testbed_attach_ioctl(testbed_, node.devnode.toUtf8().constData(), ioctls_, &error);
        EXPECT_EQ(error, nullptr) << (error ? error->message : "");
        g_clear_error(&error);
    }
    const bool added =
        umockdev_testbed_add_from_string(testbed_, record.toUtf8().constData(), &error);
    EXPECT_TRUE(added) << (error ? error->message : "");
    g_clear_error(&error);
    g_free(hid);
    g_free(interfacePath);

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
    // udev announces the removal of the node, then the devices go.
    umockdev_testbed_uevent(testbed_, node.syspath.toUtf8().constData(), "remove");
    // Deepest first: umockdev removes a device's own bus and class links, not its children's.
    for (const QString& path : {node.syspath, node.hidSyspath, node.interfaceSyspath}) {
        umockdev_testbed_remove_device(testbed_, path.toUtf8().constData());
    }
    umockdev_testbed_remove_device(testbed_, node.usbSyspath.toUtf8().constData());
    std::erase_if(usbDevices_, [&](const auto& entry) { return entry.second == node.usbSyspath; });
}

bool PadTestbed::sendReport(const Node& node, const QByteArray& report) {
    return ::write(node.master, report.constData(), static_cast<size_t>(report.size())) ==
           report.size();
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
        bytes.append(buffer, static_cast<int>(count));
    }
    return bytes;
}

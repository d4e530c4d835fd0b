#pragma once

#include "UsbDescriptors.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

struct _UMockdevTestbed;
struct _UMockdevIoctlBase;
struct _UMockdevIoctlClient;
struct _UMockdevIoctlData;

// A fake USB bus for the libusb backend, built with umockdev: each pad is a USB device in sysfs
// (bus number, device number, port path, ids, raw descriptors) below its root hub and any hubs on
// its port path, with a usbfs node under /dev/bus/usb. The usbfs requests that libusb makes on
// the node (claiming, driver binding, resets, URBs) are answered here, the way the kernel would,
// and recorded with their bytes so that tests check what reached the device.
//
// Needs the umockdev preload library (the test runs under umockdev-wrapper). Devices must be
// added before the libusb context is made: libusb reads the bus when it starts. Requests are
// answered on umockdev's own thread; the accessors may be called from any thread.
class UsbPadTestbed {
public:
    using Endpoint = UsbDescriptors::Endpoint;

    // Pads sit on bus 1.
    struct Pad {
        QString devpath = QStringLiteral("2.3");  // port path from the root hub
        int vendorID = 0x3282;
        int productID = 0x0009;
        bool imageInterface = true;  // whether the configuration has interface 1
        std::vector<Endpoint> imageEndpoints = {{0x02, 0x02}};
        std::vector<Endpoint>
            alternateEndpoints;  // of setting 1 of interface 1; none: no setting 1
        // The kernel drivers bound to interfaces 0 and 1 when the pad appears; empty for none.
        QByteArray driver0 = "usbhid";
        QByteArray driver1;
    };

    // How the device side answers; errno values, 0 for success.
    struct Behaviour {
        int claimErrno = 0;           // claiming an interface (with or without disconnecting)
        int disconnectErrno = 0;      // unbinding a kernel driver
        int disconnectFailsFrom = 0;  // the first interface whose unbinding fails
        int connectErrno = 0;         // binding it again
        int resetErrno = 0;
        int alternateErrno = 0;    // choosing an alternate setting
        int submitErrno = 0;       // refusing a data URB outright
        int urbStatus = 0;         // status of a URB that was taken (a negative errno)
        int urbShortBy = 0;        // bytes the device leaves untaken of each URB
        bool urbsComplete = true;  // false: URBs stay pending until the host discards them
    };

    // One request the host made, as the device saw it.
    struct Request {
        QString devnode;
        QString name;  // "claim", "release", "disconnect", "connect", "reset", "urb", "discard",
                       // "alternate" (with `endpoint` holding the setting's number)
        int interface = -1;
        int urbType = -1;  // USBDEVFS_URB_TYPE_*
        int endpoint = -1;
        QByteArray data;  // a URB's buffer as submitted
    };

    UsbPadTestbed();
    ~UsbPadTestbed();
    UsbPadTestbed(const UsbPadTestbed&) = delete;
    UsbPadTestbed& operator=(const UsbPadTestbed&) = delete;

    // True when this process runs with umockdev's preload library; without it nothing would be
    // redirected and libusb would see the real machine.
    static bool preloaded();

    // Adds the pad (and the hubs on its path that are not there yet); returns its usbfs node.
    QString add(const Pad& pad);

    // The sysfs path of the pad added at port path `devpath`, to hang more of it (such as its
    // HID interface) below; empty when there is none.
    QString syspath(const QString& devpath) const;
    // The umockdev testbed itself, for harnesses that add to the same fake machine.
    _UMockdevTestbed* testbed() const { return testbed_; }

    // Takes the usbfs node away while the device stays in sysfs, so that opening it fails.
    void removeNode(const QString& devnode);

    void setBehaviour(const Behaviour& behaviour);

    // The requests that change the device, in order (queries such as capabilities and the name
    // of a bound driver are answered but not recorded).
    std::vector<Request> requests() const;
    std::vector<Request> requests(const QString& devnode) const;
    // Requests that this device does not know (answered with ENOTTY), by number.
    std::vector<unsigned long> unknownRequests() const;
    // The driver bound to an interface of the node now, "usbfs" while a program holds it.
    QByteArray driver(const QString& devnode, int interface) const;
    void clearRequests();

    // Called on umockdev's thread.
    bool handle(_UMockdevIoctlClient* client);

private:
    struct Interface {
        QByteArray driver;
        QByteArray boundBefore;  // the kernel driver to bind again after a program's release
    };
    struct Node {
        std::map<int, Interface> interfaces;
        std::vector<_UMockdevIoctlData*> pending;  // submitted URBs, owned references
        std::vector<_UMockdevIoctlData*> done;
    };

    QString rootDir() const;
    QString addDevice(const QString& name, const QString& parent, const QString& devpath,
                      int vendorID, int productID, const QByteArray& descriptors);
    void finishUrb(_UMockdevIoctlData* urb, int status, int shortBy);
    // 0 when usbfs lets a control request with this setup packet through, else its errno.
    int checkControlRecipient(Node& node, const QByteArray& setup);

    _UMockdevTestbed* testbed_;
    _UMockdevIoctlBase* ioctls_;
    int nextDevnum_ = 1;
    std::map<QString, QString> syspaths_;  // by sysfs name of the devices added

    mutable std::mutex mutex_;
    Behaviour behaviour_;
    std::map<QString, Node> nodes_;
    std::vector<Request> requests_;
    std::vector<unsigned long> unknown_;
};

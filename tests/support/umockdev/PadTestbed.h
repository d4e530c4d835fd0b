#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

struct _UMockdevTestbed;
struct _UMockdevIoctlBase;
struct _UMockdevIoctlClient;
struct _UMockdevIoctlData;

// A fake machine for the Linux backends, built with umockdev from device records: pads are USB
// devices in sysfs below the hubs of their port path, with raw descriptors and a usbfs node, and
// HID interfaces with a hidraw node (a pseudo-terminal whose other end the test holds). The
// ioctls that hidapi and libusb make on the nodes are answered as the kernel would and recorded.
//
// Needs umockdev's preload library (ctest runs these suites under it). USB devices must exist
// before a libusb context is made: libusb reads the bus when it starts. ioctls are answered on
// umockdev's thread, hence the lock.
class PadTestbed {
    mutable std::mutex mutex_;
    template <typename F>
    auto locked(F&& f) const {
        std::lock_guard lock(mutex_);
        return f();
    }

public:
    struct Endpoint {
        uint8_t address = 0, attributes = 0;  // attributes 2 bulk, 3 interrupt
    };
    // Interface 0 is HID; interface 1, when there is one, is the vendor-specific image interface.
    struct UsbPad {
        int bus = 1;
        QString devpath = QStringLiteral("2.3");  // port path from the root hub
        int vendorID = 0x3282, productID = 0x0009;
        std::optional<QString> serial{};
        bool imageInterface = true;
        std::vector<Endpoint> imageEndpoints = {{0x02, 0x02}};
        std::vector<Endpoint> alternateEndpoints{};  // of setting 1 of interface 1; none: no such
        QByteArray driver0 = "usbhid", driver1{};    // kernel drivers bound at first; empty: none
    };
    struct HidInterface {
        UsbPad usb{};            // added unless a device is already at its bus and port path
        int usagePage = 0xFF00;  // of the report descriptor's one top-level collection
        int reportSize = 64;     // bytes of its input and output reports
        int interfaceNumber = 0;
        bool answerIoctls = true;  // false: the node fails hidapi's open check
    };
    struct Node {
        QString devnode;             // /dev/hidrawN
        std::vector<QString> sysfs;  // the hidraw node's devices, deepest first, up to the USB one
        int master = -1;             // the test's end of the node
    };
    // How the USB device answers; errno values, 0 for success.
    struct Behaviour {
        int disconnectErrno = 0, disconnectFailsFrom = 0;  // from that interface on
        int resetErrno = 0, alternateErrno = 0;
        int urbStatus = 0;   // of each URB (a negative errno)
        int urbShortBy = 0;  // bytes the device leaves untaken of each URB
    };
    // A usbfs request that changes the device: "claim", "release", "disconnect", "connect",
    // "reset", "urb", "alternate" (`endpoint` holds the setting).
    struct Request {
        QString devnode, name;
        int interface = -1;
        int urbType = -1;  // USBDEVFS_URB_TYPE_*
        int endpoint = -1;
        QByteArray data;  // a URB's buffer as submitted
    };

    PadTestbed();
    ~PadTestbed();
    PadTestbed(const PadTestbed&) = delete;
    PadTestbed& operator=(const PadTestbed&) = delete;

    // Without the preload library nothing would be redirected: tests would see the real machine.
    static bool preloaded();

    // Adds the pad and the hubs on its path that are not there yet; returns its usbfs node.
    QString addUsb(const UsbPad& pad);
    // Takes the usbfs node away while the device stays in sysfs, so that opening it fails.
    void removeNode(const QString& devnode);
    void setBehaviour(const Behaviour& behaviour) {
        locked([&] { behaviour_ = behaviour; });
    }
    // Of one node, or all, and of one name, or all; queries (capabilities, bound driver) are not
    // recorded.
    std::vector<Request> requests(const QString& devnode = {}, const QString& name = {}) const;
    // usbfs requests this fake kernel does not know (answered with ENOTTY).
    std::vector<unsigned long> unknownRequests() const {
        return locked([&] { return unknown_; });
    }
    // The driver bound to an interface of the node now, "usbfs" while a program holds it.
    QByteArray driver(const QString& devnode, int interface) const;
    void clearRequests() {
        locked([&] { requests_.clear(); });
    }

    // Adds the interface and announces its hidraw node as udev does.
    Node addHid(const HidInterface& interface);
    // Makes a node added with `answerIoctls` false a working one.
    void answerIoctls(const Node& node) { attach(node.devnode); }
    // Announces a change of the node, as `udevadm trigger` does.
    void change(const Node& node);
    // Announces the node's removal and takes its USB device away.
    void remove(const Node& node);
    // One input report from the device (the bytes a hidraw read returns).
    bool sendReport(const Node& node, const QByteArray& report);
    // The next bytes the host wrote to the node, waiting up to a deadline; short on time-out.
    QByteArray readWritten(const Node& node, int expectedSize);
    // HIDIOCSOUTPUT on the hidraw nodes: each report is recorded (report id first) and answered
    // with `error` (0 takes it; ENOTTY or EINVAL are what a kernel without the request says).
    void setOutputReportError(int error) {
        locked([&] { outputError_ = error; });
    }
    std::vector<QByteArray> outputReports() const {
        return locked([&] { return outputReports_; });
    }

private:
    static int onIoctl(_UMockdevIoctlBase*, _UMockdevIoctlClient* client, void* self);
    void handleHidraw(_UMockdevIoctlClient* client);
    void handleUsbfs(_UMockdevIoctlClient* client);
    void add(const QString& record);
    QString addDevice(int bus, const QString& devpath, int vendorID, int productID,
                      const QString& descriptors, const QString& extra = {});
    void attach(const QString& devnode);

    _UMockdevTestbed* testbed_;
    _UMockdevIoctlBase* ioctls_;
    int nextDevnum_ = 1, nextMinor_ = 0;
    std::map<QString, QString> devices_;  // "/devices/..." paths by sysfs name ("1-2.3")
    Behaviour behaviour_;
    struct Interface {
        QByteArray driver, boundBefore;  // the kernel driver to bind again after a release
    };
    struct UsbNode {
        std::map<int, Interface> interfaces;
        std::vector<_UMockdevIoctlData*> done;  // URBs to reap, owned references
    };
    std::map<QString, UsbNode> nodes_;
    std::vector<Request> requests_;
    std::vector<unsigned long> unknown_;
    int outputError_ = 0;
    std::vector<QByteArray> outputReports_;
};

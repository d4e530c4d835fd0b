#pragma once

#include <QByteArray>
#include <QString>

#include <mutex>
#include <optional>
#include <vector>

struct _UMockdevTestbed;
struct _UMockdevIoctlBase;

// A fake sysfs, udev and /dev for the Linux HID manager, built with umockdev: each pad is a USB
// device with its bus number and port path, one USB interface, its hid device (ids, serial,
// report descriptor) and a hidraw node. The node is a pseudo-terminal whose other end the test
// holds, so reports written there are what the manager reads and what the manager writes can
// be read back; the hidraw ioctl that hidapi's open relies on is answered by the testbed.
//
// Needs the umockdev preload library (the test runs under umockdev-wrapper). Main thread.
class PadTestbed {
public:
    struct Interface {
        int vendorID = 0;
        int productID = 0;
        std::optional<QString> serial;
        int busNumber = 1;
        QString devpath;      // port path, "2" or "1.4"
        int usagePage = 0;    // of the descriptor's one top-level collection
        int reportSize = 64;  // bytes of its input and output reports
        int interfaceNumber = 0;
        bool answerIoctls = true;  // false: the node fails hidapi's open check
        QString usbSyspath;        // a USB device already in the testbed to use; empty: a new one
    };

    struct Node {
        QString devnode;  // /dev/hidrawN
        QString syspath;  // of the hidraw device
        QString hidSyspath;
        QString interfaceSyspath;
        QString usbSyspath;
        int master = -1;  // the test's end of the node
    };

    // With `shared`, builds in that testbed (one that also fakes usbfs) instead of its own.
    explicit PadTestbed(_UMockdevTestbed* shared = nullptr);
    ~PadTestbed();
    PadTestbed(const PadTestbed&) = delete;
    PadTestbed& operator=(const PadTestbed&) = delete;

    // True when this process runs with umockdev's preload library; without it the testbed
    // would not redirect anything and tests would see the real machine.
    static bool preloaded();

    // Adds the interface (and its USB device, unless an earlier interface on the same bus and
    // port path already made it) and announces the hidraw node as udev does.
    Node add(const Interface& interface);
    // Makes a node added with `answerIoctls` false a working one.
    void answerIoctls(const Node& node);
    // Announces a change of the node, as `udevadm trigger` does.
    void change(const Node& node);
    // Announces the node's removal and takes its USB device away.
    void remove(const Node& node);

    // One input report from the device (the bytes a hidraw read returns).
    bool sendReport(const Node& node, const QByteArray& report);
    // The next bytes the host wrote to the node, waiting up to a deadline; empty on time-out.
    QByteArray readWritten(const Node& node, int expectedSize);

    // HIDIOCSOUTPUT on the nodes: each report is recorded (report id first) and answered with
    // `error` (0 takes it; ENOTTY or EINVAL are what a kernel without the request says). Shared
    // with umockdev's thread, hence the lock.
    struct OutputReports {
        std::mutex mutex;
        int error = 0;
        std::vector<QByteArray> sent;
    } outputReports;

private:
    static int answerIoctl(_UMockdevIoctlBase*, struct _UMockdevIoctlClient* client, void* self);

    _UMockdevTestbed* testbed_;
    _UMockdevIoctlBase* ioctls_;
    int nextMinor_ = 0;
    std::vector<std::pair<QString, QString>> usbDevices_;  // port key, syspath
};

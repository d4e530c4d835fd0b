#pragma once

#include "device/HidManager.h"

#include <QString>

#include <map>
#include <memory>

class QSocketNotifier;
class HidrawDevice;
struct HidrawNode;
struct udev;
struct udev_monitor;
struct udev_device;

// HidManager over udev and hidapi: a udev monitor on the hidraw subsystem (watched on the main
// thread) reports nodes coming and going, the nodes present at start are enumerated once, and
// each matching node is opened with hidapi and read by its own thread, whose reports are handed
// to the main thread.
//
// Main thread only, like the interface. A node that cannot be opened is logged once per attach,
// naming the node and, for a permission problem, the udev rules that grant access; it is not
// retried until it is attached again or udev reports a change of it (as `udevadm trigger` does
// after new rules were installed).
class LinuxHidManager : public HidManager {
public:
    LinuxHidManager();
    ~LinuxHidManager() override;
    LinuxHidManager(const LinuxHidManager&) = delete;
    LinuxHidManager& operator=(const LinuxHidManager&) = delete;

    // Calls `stop` first when already started. When hidapi or udev cannot be used at all, or the
    // hidraw devices cannot be listed, reports that through `failed`.
    void start(std::vector<Matching> matching, Handlers handlers) override;
    void stop() override;

private:
    struct Entry;

    void enumerate();
    void reportFailure(uint32_t code, const QString& reason);
    void receiveEvents();
    void added(udev_device* hidraw);
    void removed(const QString& syspath);
    std::optional<int> matchingUsagePage(const HidrawNode& node) const;
    bool idsMatch(int vendor, int product) const;

    std::vector<Matching> matching_;
    // Shared with the calls queued to the main thread, which drop themselves once it is gone.
    std::shared_ptr<Handlers> handlers_;
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool receiving_ = false;                             // inside the notifier's signal
    std::map<QString, std::shared_ptr<Entry>> entries_;  // by sysfs path of the hidraw node
};

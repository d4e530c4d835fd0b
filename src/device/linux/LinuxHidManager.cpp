#include "device/linux/LinuxHidManager.h"

#include "core/Log.h"
#include "core/MainThread.h"
#include "device/UsbStatus.h"
#include "device/linux/HidrawDevice.h"
#include "device/linux/HidrawNode.h"

#include <hidapi/hidapi.h>
#include <libudev.h>

#include <QScopeGuard>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>

// One open node. `live` is read and written on the main thread only: reports queued by the
// reader before removal or stop find it false and are dropped, so nothing arrives afterwards.
struct LinuxHidManager::Entry {
    std::shared_ptr<HidrawDevice> device;
    bool live = true;
};

namespace {
struct UdevDeviceDeleter {
    void operator()(udev_device* device) const { udev_device_unref(device); }
};
using UdevDevicePtr = std::unique_ptr<udev_device, UdevDeviceDeleter>;
}  // namespace

LinuxHidManager::LinuxHidManager() = default;

LinuxHidManager::~LinuxHidManager() {
    stop();
}

void LinuxHidManager::start(std::vector<Matching> matching, Handlers handlers) {
    stop();
    matching_ = std::move(matching);
    handlers_ = std::make_shared<Handlers>(std::move(handlers));
    if (hid_init() != 0) {
        reportFailure(UsbStatus::error, QStringLiteral("hidapi could not start"));
        return;
    }
    errno = 0;
    udev_ = udev_new();
    if (!udev_) {
        reportFailure(errno == ENOMEM ? UsbStatus::noMemory : UsbStatus::error,
                      QStringLiteral("udev is not available"));
        return;
    }
    // The "udev" source announces a node after udev's rules (and so its permissions) applied.
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (monitor_ &&
        udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) == 0 &&
        udev_monitor_enable_receiving(monitor_) == 0) {
        notifier_ =
            std::make_unique<QSocketNotifier>(udev_monitor_get_fd(monitor_), QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                         [this] { receiveEvents(); });
    } else {
        logLine("Pad hot-plug is unavailable: cannot watch udev for hidraw devices");
        if (monitor_) {
            udev_monitor_unref(monitor_);
            monitor_ = nullptr;
        }
    }
    // The monitor is already listening, so a pad plugged in meanwhile is not missed; one that
    // shows up in both is recognised by its sysfs path. Handlers never run inside start().
    std::weak_ptr<Handlers> generation = handlers_;
    runOnMain([this, generation] {
        if (!generation.expired()) {
            enumerate();
        }
    });
}

void LinuxHidManager::stop() {
    if (notifier_) {
        notifier_->setEnabled(false);
        if (receiving_) {
            // A handler stopped the manager from inside the notifier's own signal.
            notifier_.release()->deleteLater();
        }
        notifier_.reset();
    }
    if (monitor_) {
        udev_monitor_unref(monitor_);
        monitor_ = nullptr;
    }
    // Let every reader wind down at once, then wait for each.
    for (auto& [syspath, entry] : entries_) {
        entry->live = false;
        entry->device->requestStop();
    }
    for (auto& [syspath, entry] : entries_) {
        entry->device->close();
    }
    entries_.clear();
    if (udev_) {
        udev_unref(udev_);
        udev_ = nullptr;
    }
    handlers_.reset();
}

void LinuxHidManager::enumerate() {
    if (!udev_) {
        return;
    }
    udev_enumerate* enumeration = udev_enumerate_new(udev_);
    if (!enumeration) {
        reportFailure(UsbStatus::noMemory, QStringLiteral("cannot list the hidraw devices"));
        return;
    }
    udev_enumerate_add_match_subsystem(enumeration, "hidraw");
    if (const int scanned = udev_enumerate_scan_devices(enumeration); scanned < 0) {
        udev_enumerate_unref(enumeration);
        // Without the list only pads plugged in later could be found, if at all.
        reportFailure(UsbStatus::error, QStringLiteral("cannot list the hidraw devices: %1")
                                            .arg(QString::fromLocal8Bit(std::strerror(-scanned))));
        return;
    }
    std::vector<QString> paths;
    udev_list_entry* item = nullptr;
    udev_list_entry_foreach(item, udev_enumerate_get_list_entry(enumeration)) {
        paths.push_back(QString::fromUtf8(udev_list_entry_get_name(item)));
    }
    udev_enumerate_unref(enumeration);
    for (const QString& path : paths) {
        if (!udev_) {
            return;  // a handler stopped the manager
        }
        UdevDevicePtr device(udev_device_new_from_syspath(udev_, path.toUtf8().constData()));
        if (device) {
            added(device.get());
        }
    }
}

// Main thread; never calls the handler from inside start().
void LinuxHidManager::reportFailure(uint32_t code, const QString& reason) {
    std::weak_ptr<Handlers> weak = handlers_;
    runOnMain([weak, code, reason] {
        if (const std::shared_ptr<Handlers> handlers = weak.lock(); handlers && handlers->failed) {
            handlers->failed(code, reason);
        }
    });
}

void LinuxHidManager::receiveEvents() {
    // Drain everything queued; the notifier fires again for anything that comes later.
    receiving_ = true;
    const auto done = qScopeGuard([this] { receiving_ = false; });
    while (monitor_) {
        UdevDevicePtr device(udev_monitor_receive_device(monitor_));
        if (!device) {
            return;
        }
        const QString action = QString::fromUtf8(udev_device_get_action(device.get()));
        // "change" is what `udevadm trigger` sends after new rules were installed: a node that
        // could not be opened before may be accessible now. An open node ignores it.
        if (action == u"add" || action == u"change") {
            added(device.get());
        } else if (action == u"remove") {
            removed(QString::fromUtf8(udev_device_get_syspath(device.get())));
        }
    }
}

bool LinuxHidManager::idsMatch(int vendor, int product) const {
    for (const Matching& rule : matching_) {
        if (rule.vendorID == vendor && rule.productID == product) {
            return true;
        }
    }
    return false;
}

std::optional<int> LinuxHidManager::matchingUsagePage(const HidrawNode& node) const {
    // An interface may carry several top-level collections; it is the pad's when any of them
    // has the page of a rule (the same test the device list applies).
    for (int page : node.usagePages) {
        for (const Matching& rule : matching_) {
            if (rule.vendorID == node.vendorID && rule.productID == node.productID &&
                rule.usagePage == page) {
                return page;
            }
        }
    }
    return std::nullopt;
}

void LinuxHidManager::added(udev_device* hidraw) {
    std::optional<HidrawNode> node = HidrawNode::fromUdev(hidraw);
    if (!node || entries_.count(node->syspath) || !idsMatch(node->vendorID, node->productID)) {
        return;
    }
    node->addHidapiDetails();
    const std::optional<int> usagePage = matchingUsagePage(*node);
    if (!usagePage) {
        return;  // another interface of the same pad, such as its keyboard collection
    }
    HidrawDevice::OpenFailure failure;
    std::shared_ptr<HidrawDevice> device = HidrawDevice::open(node->info(*usagePage), failure);
    if (!device) {
        logLine(failure.message(node->devnode));
        return;
    }
    auto entry = std::make_shared<Entry>();
    entry->device = device;
    entries_[node->syspath] = entry;

    std::weak_ptr<Entry> weakEntry = entry;
    std::weak_ptr<Handlers> weakHandlers = handlers_;
    // Reader thread: the bytes travel to the main thread by value; the device is looked up there.
    device->startReading([weakEntry, weakHandlers](uint32_t result, const QByteArray& report) {
        runOnMain([weakEntry, weakHandlers, result, report] {
            std::shared_ptr<Entry> target = weakEntry.lock();
            std::shared_ptr<Handlers> handlers = weakHandlers.lock();
            if (!target || !target->live || !handlers || !handlers->input) {
                return;
            }
            handlers->input(result, target->device, report);
        });
    });
    if (handlers_->attached) {
        std::shared_ptr<Handlers> handlers = handlers_;  // the handler may stop the manager
        handlers->attached(device);
    }
}

void LinuxHidManager::removed(const QString& syspath) {
    auto found = entries_.find(syspath);
    if (found == entries_.end()) {
        return;
    }
    std::shared_ptr<Entry> entry = found->second;
    entries_.erase(found);
    entry->live = false;
    entry->device->close();
    if (handlers_ && handlers_->removed) {
        std::shared_ptr<Handlers> handlers = handlers_;
        handlers->removed(entry->device);
    }
}

#include "device/virtual/SimulatedHidManager.h"

#include "core/MainThread.h"
#include "device/virtual/VirtualDisplayPad.h"

#include <QPointer>

#include <algorithm>
#include <utility>

SimulatedHidManager::SimulatedHidManager()
    : context_(std::make_unique<QObject>()), usb_(std::make_shared<SimulatedPadUsb>()) {
    QPointer<QObject> guard(context_.get());
    usb_->setReenumerateHandler([this, guard](const std::shared_ptr<VirtualDisplayPad>& pad) {
        if (!guard) {
            pad->unplug();
            return;
        }
        unplug(pad);
        plug(pad);
    });
}

SimulatedHidManager::~SimulatedHidManager() {
    usb_->setReenumerateHandler(nullptr);
    for (Entry& entry : entries_) {
        entry.pad->unplug();
    }
}

void SimulatedHidManager::add(const std::shared_ptr<VirtualPad>& pad) {
    if (!pad || find(pad.get())) {
        return;
    }
    entries_.push_back({pad, nullptr});
    if (auto displayPad = std::dynamic_pointer_cast<VirtualDisplayPad>(pad)) {
        usb_->add(displayPad);
    }
    plug(pad);
}

void SimulatedHidManager::unplug(const std::shared_ptr<VirtualPad>& pad) {
    Entry* entry = find(pad.get());
    if (!entry || !entry->device) {
        return;
    }
    auto device = std::move(entry->device);
    entry->device = nullptr;
    pad->unplug();
    runOnMain(context_.get(), [this, device] { withdraw(device); });
}

void SimulatedHidManager::plug(const std::shared_ptr<VirtualPad>& pad) {
    Entry* entry = find(pad.get());
    if (!entry || entry->device) {
        return;
    }
    QPointer<QObject> guard(context_.get());
    VirtualPad::Link link;
    link.input = [this, guard](const std::shared_ptr<HidDevice>& device, const QByteArray& report) {
        if (guard && started_ && isReported(device) && handlers_.input) {
            handlers_.input(0, device, report);
        }
    };
    link.vanished = [this, guard](const std::shared_ptr<HidDevice>& device) {
        if (!guard) {
            return;
        }
        for (Entry& candidate : entries_) {
            if (candidate.device == device) {
                candidate.device = nullptr;
            }
        }
        withdraw(device);
    };
    entry->device = pad->plugIn(std::move(link));
    runOnMain(context_.get(), [this, device = entry->device] { announce(device); });
}

std::vector<std::shared_ptr<VirtualPad>> SimulatedHidManager::pads() const {
    std::vector<std::shared_ptr<VirtualPad>> pads;
    for (const Entry& entry : entries_) {
        pads.push_back(entry.pad);
    }
    return pads;
}

void SimulatedHidManager::start(std::vector<Matching> matching, Handlers handlers) {
    matching_ = std::move(matching);
    handlers_ = std::move(handlers);
    if (const uint32_t code = std::exchange(startFailure_, 0); code != 0) {
        runOnMain(context_.get(), [this, code] {
            if (handlers_.failed) {
                handlers_.failed(code,
                                 QStringLiteral("the simulated HID manager was told to fail"));
            }
        });
        return;
    }
    started_ = true;
    for (const Entry& entry : entries_) {
        if (entry.device) {
            runOnMain(context_.get(), [this, device = entry.device] { announce(device); });
        }
    }
}

void SimulatedHidManager::stop() {
    started_ = false;
    reported_.clear();
    handlers_ = {};
}

SimulatedHidManager::Entry* SimulatedHidManager::find(const VirtualPad* pad) {
    auto found = std::find_if(entries_.begin(), entries_.end(),
                              [pad](const Entry& entry) { return entry.pad.get() == pad; });
    return found == entries_.end() ? nullptr : &*found;
}

bool SimulatedHidManager::matches(const HidDeviceInfo& info) const {
    return std::any_of(matching_.begin(), matching_.end(), [&](const Matching& rule) {
        return rule.vendorID == info.vendorID && rule.productID == info.productID &&
               rule.usagePage == info.primaryUsagePage;
    });
}

// Main thread, from the event loop: the device may have gone or been reported meanwhile.
void SimulatedHidManager::announce(const std::shared_ptr<HidDevice>& device) {
    const bool current = std::any_of(entries_.begin(), entries_.end(),
                                     [&](const Entry& entry) { return entry.device == device; });
    if (!started_ || !current || isReported(device) || !matches(device->info())) {
        return;
    }
    reported_.push_back(device);
    if (handlers_.attached) {
        handlers_.attached(device);
    }
}

void SimulatedHidManager::withdraw(const std::shared_ptr<HidDevice>& device) {
    if (!isReported(device)) {
        return;
    }
    std::erase(reported_, device);
    if (started_ && handlers_.removed) {
        handlers_.removed(device);
    }
}

bool SimulatedHidManager::isReported(const std::shared_ptr<HidDevice>& device) const {
    return std::find(reported_.begin(), reported_.end(), device) != reported_.end();
}

#include "device/DisplayPadSession.h"

#include "core/Log.h"
#include "core/MainThread.h"
#include "device/DisplayPadProtocol.h"
#include "device/MountainUsb.h"

#include <algorithm>

namespace {
constexpr int openAttempts = 20;
constexpr int activationAttempts = 6;

QString hexList(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' '));
}

QString failedWith(const QString& what, IOReturn code) {
    return QStringLiteral("%1 failed: %2").arg(what, UsbStatus::hex(code));
}

ActionError disconnected() {
    return ActionError::failed(QStringLiteral("DisplayPad disconnected"));
}
}  // namespace

std::shared_ptr<DisplayPadSession> DisplayPadSession::create(std::shared_ptr<HidDevice> device,
                                                             std::shared_ptr<PadUsb> usb,
                                                             Failure failure,
                                                             SessionTiming timing) {
    return std::shared_ptr<DisplayPadSession>(
        new DisplayPadSession(std::move(device), std::move(usb), std::move(failure), timing));
}

DisplayPadSession::DisplayPadSession(std::shared_ptr<HidDevice> device, std::shared_ptr<PadUsb> usb,
                                     Failure failure, SessionTiming timing)
    : device_(std::move(device)),
      padUsb_(std::move(usb)),
      failure_(std::move(failure)),
      timing_(timing) {
}

DisplayPadSession::~DisplayPadSession() {
    // Queued work holds the session, so nothing runs on the queue any more: the interface can be
    // released here, on whichever thread let go of the session last.
    mountain_close(usb_);
}

void DisplayPadSession::receive(const QByteArray& report) {
    if (!report.isEmpty() && static_cast<uint8_t>(report[0]) == 0x01) {
        return;  // key state: the model's business
    }
    {
        std::lock_guard lock(repliesMutex_);
        if (static_cast<int>(received_.size()) >= maxReceived) {
            received_.pop_front();
        }
        received_.push_back(report);
    }
    replies_.notify_all();
}

void DisplayPadSession::start(const Images& images, const QByteArray&, int brightness) {
    queue_.async(
        [self = shared_from_this(), images, brightness] { self->activate(images, brightness); });
}

void DisplayPadSession::update(const Images& images, const QByteArray&) {
    queue_.async([self = shared_from_this(), images] {
        if (self->isStopped()) {
            return;
        }
        const bool drainQueued = self->pendingImages_.has_value();
        self->pendingImages_ = images;
        if (!drainQueued) {
            self->queue_.async([self] { self->drain(); });
        }
    });
}

void DisplayPadSession::setBrightness(int level, std::function<void()> completion) {
    queue_.async([self = shared_from_this(), level, completion = std::move(completion)] {
        if (self->isStopped()) {
            return;
        }
        try {
            self->brightnessCommand(level);
        } catch (const ActionError& error) {
            self->failure_(error);
            return;
        }
        if (completion) {
            completion();
        }
    });
}

void DisplayPadSession::finish(const Images& images, const QByteArray&,
                               std::function<void(Result)> completion) {
    queue_.async([self = shared_from_this(), images, completion = std::move(completion)] {
        self->pendingImages_.reset();
        Result result;
        if (self->isStopped()) {
            result = disconnected();
        } else {
            try {
                // A stop from elsewhere that cut the quit frame short must not read as success.
                if (!self->apply(images)) {
                    result = disconnected();
                }
            } catch (const ActionError& error) {
                result = error;
            }
        }
        self->stop();
        // Quit waits for this answer, so it is delivered even if the session is gone by then.
        runOnMain([completion, result] {
            if (completion) {
                completion(result);
            }
        });
    });
}

void DisplayPadSession::stop() {
    {
        std::lock_guard lock(repliesMutex_);
        stopped_ = true;
    }
    replies_.notify_all();
    std::weak_ptr<DisplayPadSession> weak = weak_from_this();
    queue_.async([weak] {
        if (auto self = weak.lock()) {
            mountain_close(self->usb_);
        }
    });
}

// Session queue.
void DisplayPadSession::activate(const Images& images, int brightness) {
    const uint32_t locationID = device_->info().locationID.value_or(0);
    if (isStopped()) {
        return;
    }
    IOReturn error = 0;
    for (int attempt = 1; attempt <= openAttempts; ++attempt) {
        usb_ = padUsb_ ? mountain_open(*padUsb_, locationID, error) : nullptr;
        if (!padUsb_) {
            error = UsbStatus::notFound;
        }
        if (usb_) {
            break;
        }
        if (attempt < openAttempts && pause(timing_.retryPause)) {
            return;
        }
    }
    if (isStopped()) {
        return;
    }
    try {
        if (!usb_) {
            throw ActionError::failed(failedWith(QStringLiteral("Open image interface"), error));
        }
        if (const IOReturn enabled = enableKeyEventMode(); enabled != 0) {
            throw ActionError::failed(failedWith(QStringLiteral("Enable key-event mode"), enabled));
        }
        for (int attempt = 1;; ++attempt) {
            if (isStopped()) {
                throw disconnected();
            }
            logLine("DisplayPad activation attempt %d", attempt);
            try {
                clearReceived();
                write(DisplayPadProtocol::enableApplication());
                waitForReply(DisplayPadProtocol::enableApplication(), timing_.activationTimeout);
                logLine("DisplayPad activation acknowledged");
                break;
            } catch (const ActionError&) {
                if (isStopped() || attempt >= activationAttempts) {
                    throw;
                }
            }
            pause(timing_.retryPause);
        }
        if (pause(timing_.settlePause)) {
            return;  // stopped while the pad settles: nothing more goes to it
        }
        brightnessCommand(brightness);
        if (!apply(images)) {
            return;  // stopped while uploading: nothing to report
        }
    } catch (const ActionError& failure) {
        failure_(failure);
        return;
    }
    logLine("DisplayPad initial artwork uploaded");
    std::weak_ptr<DisplayPadSession> weak = weak_from_this();
    runOnMain([weak] {
        if (auto self = weak.lock()) {
            self->callReady();
        }
    });
}

// Session queue. Key-event mode is output report 3 for the pad's HID interface. On Linux the
// kernel's HID driver holds that interface, so usbfs refuses the same bytes as a control request
// through the image interface's handle; the HID driver itself sends them when asked through the
// HID device. The control request stays for a system without that request (a kernel before
// 5.11), where it works as long as no driver holds the HID interface. Returns 0 or the code for
// the message: that of the HID path when it exists and failed, else that of the USB request.
IOReturn DisplayPadSession::enableKeyEventMode() {
    const QByteArray node = device_->info().path.toLocal8Bit();
    const uint32_t viaHid = device_->setNumberedOutputReport(
        DisplayPadProtocol::keyEventReportID, DisplayPadProtocol::keyEventModeData());
    if (viaHid == 0) {
        logLine("DisplayPad key-event mode enabled through %s (HID output report 3)",
                node.constData());
        return 0;
    }
    if (viaHid == UsbStatus::unsupported) {
        logLine(
            "DisplayPad key-event mode: %s cannot send output report 3 (the kernel lacks "
            "HIDIOCSOUTPUT, which Linux 5.11 added); trying the USB control request",
            node.constData());
    } else {
        logLine("DisplayPad key-event mode through %s failed: %s; trying the USB control request",
                node.constData(), qUtf8Printable(UsbStatus::hex(viaHid)));
    }
    const IOReturn viaUsb = mountain_prepare(usb_.get());
    if (viaUsb == 0) {
        logLine("DisplayPad key-event mode enabled through the USB control request");
        return 0;
    }
    logLine("DisplayPad key-event mode through the USB control request failed: %s",
            qUtf8Printable(UsbStatus::hex(viaUsb)));
    return viaHid == UsbStatus::unsupported ? viaUsb : viaHid;
}

// Session queue.
void DisplayPadSession::drain() {
    if (!pendingImages_) {
        return;
    }
    if (isStopped()) {
        return;
    }
    const Images images = std::move(*pendingImages_);
    pendingImages_.reset();
    try {
        apply(images);
    } catch (const ActionError& error) {
        failure_(error);
    }
}

// Session queue.
void DisplayPadSession::write(const QByteArray& command) {
    const uint32_t result = device_->setOutputReport(DisplayPadProtocol::outputReport(command));
    if (result != 0) {
        throw ActionError::failed(
            failedWith(QStringLiteral("HID command [%1]").arg(hexList(command.left(2))), result));
    }
}

// Session queue.
void DisplayPadSession::waitForReply(const QByteArray& expected, SessionTiming::Duration timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(repliesMutex_);
    for (;;) {
        if (stopped_) {
            throw disconnected();
        }
        const auto match =
            std::find_if(received_.begin(), received_.end(),
                         [&](const QByteArray& reply) { return reply.startsWith(expected); });
        if (match != received_.end()) {
            received_.erase(match);
            return;
        }
        if (replies_.wait_until(lock, deadline) == std::cv_status::timeout) {
            // One last look: a reply or stop may have come with the deadline.
            if (stopped_) {
                throw disconnected();
            }
            const auto late =
                std::find_if(received_.begin(), received_.end(),
                             [&](const QByteArray& reply) { return reply.startsWith(expected); });
            if (late != received_.end()) {
                received_.erase(late);
                return;
            }
            break;
        }
    }
    throw ActionError::failed(
        QStringLiteral("DisplayPad did not acknowledge command [%1]").arg(hexList(expected)));
}

// Session queue.
void DisplayPadSession::brightnessCommand(int level) {
    write(DisplayPadProtocol::brightnessCommand(level));
}

// Session queue.
bool DisplayPadSession::apply(const Images& images) {
    const bool sizesRight = images.size() == DisplayPadProtocol::keyCount &&
                            std::all_of(images.begin(), images.end(), [](const QByteArray& image) {
                                return image.size() == DisplayPadProtocol::imageByteCount;
                            });
    if (!sizesRight) {
        throw ActionError::failed(QStringLiteral("Could not render all twelve LCD images"));
    }
    const bool known = lastImages_.size() == DisplayPadProtocol::keyCount;
    for (int index = 0; index < DisplayPadProtocol::keyCount; ++index) {
        if (isStopped()) {
            return false;
        }
        if (known && lastImages_[index] == images[index]) {
            continue;
        }
        const int key = index + 1;
        try {
            upload(index, images[index]);
        } catch (const ActionError& error) {
            logLine("DisplayPad key %d upload failed: %s", key, qUtf8Printable(error.message()));
            throw ActionError::failed(
                QStringLiteral("DisplayPad key %1: %2").arg(key).arg(error.message()));
        }
        if (isStopped()) {
            // Abandoned part-way: the pad does not show this key, so neither may lastImages.
            return false;
        }
        logLine("DisplayPad key %d artwork acknowledged", key);
    }
    lastImages_ = images;
    return true;
}

// Session queue. Returns early, without waiting for the pad, when stopped during the transfer.
void DisplayPadSession::upload(int index, const QByteArray& image) {
    if (!usb_) {
        throw ActionError::failed(QStringLiteral("The image interface is disconnected"));
    }
    clearReceived();
    write(DisplayPadProtocol::imageCommand(index));
    waitForReply(DisplayPadProtocol::imageReady(), timing_.imageTimeout);
    const QByteArray payload = DisplayPadProtocol::imagePayload(image);
    clearReceived();
    const auto* bytes = reinterpret_cast<const uint8_t*>(payload.constData());
    for (int offset = 0; offset < payload.size(); offset += DisplayPadProtocol::chunkSize) {
        if (isStopped()) {
            return;
        }
        const IOReturn result =
            mountain_write(usb_.get(), bytes + offset, DisplayPadProtocol::chunkSize);
        if (result != 0) {
            throw ActionError::failed(failedWith(QStringLiteral("Image transfer"), result));
        }
    }
    waitForReply(DisplayPadProtocol::imageComplete(), timing_.imageTimeout);
}

// Session queue.
bool DisplayPadSession::pause(SessionTiming::Duration duration) {
    const auto deadline = std::chrono::steady_clock::now() + duration;
    std::unique_lock lock(repliesMutex_);
    replies_.wait_until(lock, deadline, [this] { return stopped_; });
    return stopped_;
}

bool DisplayPadSession::isStopped() {
    std::lock_guard lock(repliesMutex_);
    return stopped_;
}

void DisplayPadSession::clearReceived() {
    std::lock_guard lock(repliesMutex_);
    received_.clear();
}

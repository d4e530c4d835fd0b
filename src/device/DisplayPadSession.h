#pragma once

#include "core/SerialQueue.h"
#include "device/HidDevice.h"
#include "device/ImageInterface.h"
#include "device/PadDisplaySession.h"

#include <QByteArray>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

// The display session of a Mountain DisplayPad: commands and replies over HID, pixel data over
// the pad's USB image interface, all on the queue "MountainDisplayPad.display". The pad answers
// commands with input reports, which reach the session through `receive` on the main thread and
// are consumed on the queue under the `replies` lock.
//
// Created with `create` (the session must be owned by a std::shared_ptr). The HID device and the
// USB access are injected; the image interface is opened by `start` and owned by the session
// until `stop` (or destruction) closes it.
class DisplayPadSession : public PadDisplaySession,
                          public std::enable_shared_from_this<DisplayPadSession> {
public:
    // Replies kept for the waiter at most; older ones are dropped first.
    static constexpr int maxReceived = 32;

    static std::shared_ptr<DisplayPadSession> create(std::shared_ptr<HidDevice> device,
                                                     std::shared_ptr<PadUsb> usb, Failure failure,
                                                     SessionTiming timing = {});
    ~DisplayPadSession() override;

    // Every input report of the pad, on the main thread. Key-state reports are left to the
    // model; anything else may be the reply a command waits for.
    void receive(const QByteArray& report);

    void start(const Images& images, const QByteArray& background, int brightness) override;
    void update(const Images& images, const QByteArray& background) override;
    void setBrightness(int level, std::function<void()> completion) override;
    void finish(const Images& images, const QByteArray& background,
                std::function<void(Result)> completion) override;
    void stop() override;

    const std::shared_ptr<HidDevice>& device() const { return device_; }

private:
    DisplayPadSession(std::shared_ptr<HidDevice> device, std::shared_ptr<PadUsb> usb,
                      Failure failure, SessionTiming timing);

    // Everything below runs on the session's queue.
    void activate(const Images& images, int brightness);
    IOReturn enableKeyEventMode();
    void drain();
    void write(const QByteArray& command);
    void waitForReply(const QByteArray& expected, SessionTiming::Duration timeout);
    void brightnessCommand(int level);
    // Returns false when the session was stopped before every key was on the pad.
    bool apply(const Images& images);
    void upload(int index, const QByteArray& image);
    // Waits for `duration` or until stopped; true when stopped.
    bool pause(SessionTiming::Duration duration);
    bool isStopped();
    void clearReceived();

    const std::shared_ptr<HidDevice> device_;
    const std::shared_ptr<PadUsb> padUsb_;
    const Failure failure_;
    const SessionTiming timing_;
    SerialQueue queue_{QStringLiteral("MountainDisplayPad.display")};

    // Guards `received_` and `stopped_`; signalled when a reply arrives or the session stops.
    std::mutex repliesMutex_;
    std::condition_variable replies_;
    std::deque<QByteArray> received_;
    bool stopped_ = false;

    // Queue only (and the destructor).
    std::unique_ptr<ImageInterface> usb_;
    Images lastImages_;
    std::optional<Images> pendingImages_;
};

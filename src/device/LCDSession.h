#pragma once

#include "core/SerialQueue.h"
#include "device/HidDevice.h"
#include "device/PadDisplaySession.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

// The display session of the MSD-TWO. Commands and image data travel as 1024-byte HID output
// reports and the pad never answers them, so the session only writes: on the queue
// "Quorvel.display", with a keep-alive every 5 seconds and a delayed re-send of a pressed screen
// button (pressing one leaves a border artefact on the pad's screen).
//
// Created with `create` (owned by a std::shared_ptr). All state below is touched only on the
// session's queue, so there is no lock.
class LCDSession : public PadDisplaySession, public std::enable_shared_from_this<LCDSession> {
public:
    static constexpr int reportSize = 1024;
    static constexpr int buttonCount = 6;
    static constexpr int backgroundByteCount = 153600;  // 240 x 320 pixels, RGB565
    // Screen-button images shorter than this are padded to it; the pad reads at least this much.
    static constexpr int minimumImageTransfer = 8192;
    static constexpr int maximumImageSize = 65535;

    static std::shared_ptr<LCDSession> create(std::shared_ptr<HidDevice> device, Failure failure,
                                              SessionTiming timing = {});
    ~LCDSession() override;

    void start(const Images& images, const QByteArray& background, int brightness) override;
    void update(const Images& images, const QByteArray& background) override;
    void setBrightness(int level, std::function<void()> completion) override;
    void finish(const Images& images, const QByteArray& background,
                std::function<void(Result)> completion) override;
    void stop() override;

    // After the model handled a press of screen button `key` (1...6), on the main thread. Only
    // the last press within the repair delay is repaired.
    void repairBorderAfterKeypress(int key);

    const std::shared_ptr<HidDevice>& device() const { return device_; }

    // The command report "CRT", 00 00, the name, the payload, zero padding to 1024 bytes; throws
    // ActionError "LCD report too large" when it does not fit.
    static QByteArray commandReport(const QString& name, const QByteArray& payload);

private:
    struct Frame {
        Images images;
        QByteArray background;
    };

    LCDSession(std::shared_ptr<HidDevice> device, Failure failure, SessionTiming timing);

    // Session queue only.
    void command(const QString& name, const QByteArray& payload = {});
    void send(const QByteArray& report);
    void sendData(const QByteArray& data);
    void upload(const QByteArray& image, int key);
    void apply(const Images& images, const QByteArray& background);
    void drain();
    void cancelTimer();

    const std::shared_ptr<HidDevice> device_;
    const Failure failure_;
    const SessionTiming timing_;
    SerialQueue queue_{QStringLiteral("Quorvel.display")};

    std::shared_ptr<SerialQueue::RepeatingTimer> timer_;
    bool stopped_ = false;
    Images lastImages_;
    std::optional<QByteArray> lastBackground_;
    quint64 borderRepairGeneration_ = 0;
    std::optional<Frame> pendingFrame_;
};

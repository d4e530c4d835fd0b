#pragma once

#include "device/ImageInterface.h"
#include "device/virtual/VirtualPad.h"

#include <QImage>

#include <array>
#include <chrono>
#include <optional>
#include <set>

// A simulated Mountain DisplayPad. On HID it echoes the activation command, answers an image
// command with the "ready" reply and, once the 31 chunks of the payload have arrived over its
// image interface, with the "complete" reply; it takes the brightness command; key presses and
// releases produce 64-byte key-state input reports. Each key keeps the 102 x 102 picture decoded
// from the BGR bytes it received.
//
// Like the real pad it answers image commands only after activation, and it only accepts pixel
// data after an image command. Anything else is counted in `protocolErrors`.
//
// `picture()` is 612 x 204 pixels: the twelve keys side by side, keys 1 to 6 in the top row from
// left to right, 7 to 12 below; a key that never received an image is black.
class VirtualDisplayPad : public VirtualPad {
public:
    static constexpr int keyCount = 12;
    static constexpr int iconSize = 102;

    static std::shared_ptr<VirtualDisplayPad> create(uint32_t locationID,
                                                     QString serial = QStringLiteral("VDP-1"));

    QImage picture() const override;
    int brightness() const override;
    // The picture key 1...12 shows (a null image before its first upload).
    QImage keyImage(int key) const;
    bool isActivated() const;
    bool isKeyEventModeEnabled() const;
    bool isImageInterfaceOpen() const;
    int openAttempts() const;
    // Images that arrived completely, in all and for one key.
    int imagesReceived() const;
    int imagesReceived(int key) const;
    int protocolErrors() const;

    // Input: a key goes down or up (1...12); each change sends the full key state.
    void press(int key);
    void release(int key);

    // The pad end of the USB image interface, for SimulatedPadUsb. Any thread. Returns null with
    // `error` untouched when the pad is not plugged in (nothing matched), or with `error` set by
    // an injected open failure or when the interface is already held (exclusiveAccess).
    std::unique_ptr<ImageInterface> openImageInterface(IOReturn& error);

    // Fault injection (cleared by clearFaults):
    // no replies at all to HID commands;
    void setAnswering(bool answering);
    // replies (echo, ready, complete) arrive this late;
    void setReplyDelay(std::chrono::milliseconds delay);
    // after `afterTransfers` more transfers, each transfer fails with `code`;
    void rejectTransfers(IOReturn code, int afterTransfers = 0);
    // after `afterTransfers` more transfers the pad drops off the bus;
    void vanishAfterTransfers(int afterTransfers);
    // the image interface does not open: `code` 0 means it is not found at all;
    void failImageInterfaceOpen(IOReturn code);
    // "Enable key-event mode" as HID output report 3 fails with `code` (unsupported: as on a
    // kernel without the request);
    void failKeyEventReport(IOReturn code);
    // "Enable key-event mode" as USB control request fails with `code`.
    void failPrepare(IOReturn code);
    void clearFaults() override;

private:
    class Interface;
    friend class Interface;

    explicit VirtualDisplayPad(HidDeviceInfo info);
    uint32_t handleReportLocked(const QByteArray& report) override;
    uint32_t handleNumberedReportLocked(uint8_t reportID, const QByteArray& data) override;
    IOReturn prepare(quint64 generation);
    IOReturn transfer(quint64 generation, const uint8_t* data, size_t length);
    void closeInterface(quint64 generation);
    void sendKeyStateLocked();
    void replyLocked(const QByteArray& reply);

    bool activated_ = false;
    bool keyEventMode_ = false;
    int brightness_ = -1;
    std::array<QImage, keyCount> keys_;
    std::array<int, keyCount> imagesReceived_{};
    std::optional<int> uploadingKey_;
    QByteArray payload_;
    std::set<int> held_;
    int protocolErrors_ = 0;
    int openAttempts_ = 0;
    bool interfaceOpen_ = false;
    quint64 interfaceGeneration_ = 0;

    bool answering_ = true;
    std::chrono::milliseconds replyDelay_{0};
    IOReturn transferRejectCode_ = 0;
    int transferRejectAfter_ = -1;
    int vanishAfterTransfers_ = -1;
    std::optional<IOReturn> openFailure_;
    IOReturn prepareFailure_ = 0;
    IOReturn keyEventReportFailure_ = 0;
};

#pragma once

#include "device/DeviceKind.h"
#include "device/virtual/VirtualPad.h"

#include <QImage>
#include <QRect>
#include <QStringList>

#include <array>
#include <optional>

// A simulated MSD-TWO. It takes 1024-byte output reports: "CRT" command reports (DIS, LIG, LOG,
// BAT, STP, CONNECT) and the raw data reports that follow LOG and BAT. A background arrives as
// 320 rows of 240 RGB565 pixels, the landscape screen turned a quarter turn clockwise; the pad
// turns it back. Screen-button images are JPEG files. Controls produce the pad's "ACK ... OK"
// input reports, one per press or dial step.
//
// `picture()` is the 320 x 240 screen: the background with each screen button's image drawn
// 64 x 64 at its place (buttons 1 to 3 left to right in the upper row, 4 to 6 below; centres at
// x = 53.33, 160, 266.67 and y = 60, 180 from the top, rounded to whole pixels).
//
// Data phases are counted, not guessed: after LOG or BAT exactly as many data reports are taken
// as the announced length needs (a button image is never shorter than 8192 bytes on the wire),
// then STP must follow. A report that breaks this is counted in `protocolErrors`.
class VirtualMsdTwo : public VirtualPad {
public:
    static constexpr int buttonCount = 6;
    static constexpr int screenWidth = 320;
    static constexpr int screenHeight = 240;
    static constexpr int reportSize = 1024;

    static std::shared_ptr<VirtualMsdTwo> create(uint32_t locationID,
                                                 QString serial = QStringLiteral("MSD-1"));

    // Where screen button 1...6 sits on the screen.
    static QRect buttonRect(int key);

    QImage picture() const override;
    int brightness() const override;
    // The landscape background (null before the first one arrived).
    QImage background() const;
    // The decoded image of screen button 1...6 (null before its first upload or when its bytes
    // were not a JPEG), and the bytes as received.
    QImage buttonImage(int key) const;
    QByteArray buttonBytes(int key) const;
    // Command names in the order received, e.g. "DIS", "LIG", "LOG", "STP".
    QStringList commands() const;
    int protocolErrors() const;
    int backgroundsReceived() const;
    int imagesReceived(int key) const;
    int keepAlives() const;

    // Input: one report per actuation carrying the control number.
    void sendControl(int control);
    void pressScreenButton(int key) { sendControl(key); }
    // Positive steps clockwise, negative counterclockwise; one report per step.
    void turn(const DialGroup& dial, int steps);
    void pressDial(const DialGroup& dial) { sendControl(dial.press); }

private:
    enum class Phase { command, background, button, end };

    explicit VirtualMsdTwo(HidDeviceInfo info);
    uint32_t handleReportLocked(const QByteArray& report) override;
    void handleCommandLocked(const QString& name, const QByteArray& payload);
    void finishDataLocked();

    int brightness_ = -1;
    bool connected_ = false;
    QImage background_;
    std::array<QImage, buttonCount> buttons_;
    std::array<QByteArray, buttonCount> buttonBytes_;
    std::array<int, buttonCount> imagesReceived_{};
    int backgroundsReceived_ = 0;
    int keepAlives_ = 0;
    QStringList commands_;
    int protocolErrors_ = 0;

    Phase phase_ = Phase::command;
    int dataLength_ = 0;  // announced bytes
    int dataReportsLeft_ = 0;
    int dataKey_ = 0;
    bool backgroundData_ = false;
    QByteArray data_;
};

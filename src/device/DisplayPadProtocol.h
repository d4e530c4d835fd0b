#pragma once

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <set>

// The bytes of the Mountain DisplayPad: commands sent as HID output reports, the beginnings of
// the pad's replies, the payload streamed over the USB image interface, and the decoding of
// key-state input reports. Pure functions without state; callable from any thread.
//
// Functions whose arguments the callers control (key index, image size, command length) throw
// std::invalid_argument for a value the pad cannot take instead of sending corrupt bytes.
class DisplayPadProtocol {
public:
    static constexpr int keyCount = 12;
    // Key images are iconSize x iconSize pixels, rows top to bottom, 3 bytes per pixel in the
    // order blue, green, red.
    static constexpr int iconSize = 102;
    static constexpr int imageByteCount = iconSize * iconSize * 3;  // 31212
    // The pad expects one row's worth of zero bytes before the first pixel.
    static constexpr int pixelOffset = iconSize * 3;    // 306
    static constexpr int chunkSize = 1024;              // bytes per USB transfer
    static constexpr int payloadSize = 31 * chunkSize;  // 31744
    // HID output reports carry report id 0 and exactly this many bytes.
    static constexpr int outputReportID = 0;
    static constexpr int outputReportSize = 64;
    static constexpr int maxBrightness = 100;
    // "Enable key-event mode" is output report 3 carrying the one byte 01 (03 01 on the wire),
    // sent to the pad's HID interface before activation.
    static constexpr uint8_t keyEventReportID = 3;

    // 11 80 00 00 01: activation; the pad echoes it.
    static QByteArray enableApplication();
    // 21 00 00 00 k 3D 00 00 65 65: announces an image for key index k (0...11). Throws
    // std::invalid_argument for any other index.
    static QByteArray imageCommand(int key);
    // 21 00 00: beginning of the pad's reply "ready for pixel data".
    static QByteArray imageReady();
    // 21 00 FF: beginning of the pad's reply "whole payload received".
    static QByteArray imageComplete();
    // 31 20 b with b = level clamped to 0...100.
    static QByteArray brightnessCommand(int level);
    // 01: the data of output report keyEventReportID.
    static QByteArray keyEventModeData();

    // The 31744-byte payload for one key image: 306 zero bytes, the 31212 image bytes unchanged,
    // zero bytes to the end. Throws std::invalid_argument unless image has exactly 31212 bytes.
    static QByteArray imagePayload(const QByteArray& image);

    // The 64 data bytes of the HID output report (report id 0, not included) for a command: the
    // command first, zero padding after. Throws std::invalid_argument for a command longer than
    // 64 bytes. Transports that put the report id in front (hidapi) add it themselves.
    static QByteArray outputReport(const QByteArray& command);

    // Keys 1...12 that are down in a key-state input report (possibly none), or no value when
    // the report is not a key-state report (shorter than 48 bytes or byte 0 other than 0x01);
    // such reports may be replies to commands.
    static std::optional<std::set<int>> pressedKeys(const QByteArray& report);
};

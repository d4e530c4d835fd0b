#pragma once

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// What the MSD-TWO's screen shows: a JPEG per LCD screen button and the full-screen background
// as 16-bit RGB565. Same drawing conventions as Artwork (points, origin bottom-left, y up;
// images stretched to fill their rectangle).
//
// Stateless; any thread (the program renders on the main thread); never throws.
class MSDArtwork {
public:
    static constexpr int screenWidth = 320;  // landscape, as the user sees it
    static constexpr int screenHeight = 240;
    static constexpr int columns = 3;
    static constexpr int rows = 2;
    static constexpr int buttonSize = 64;
    // The pad stores its screen in portrait: 240 pixels wide, 320 high, 2 bytes a pixel.
    static constexpr int64_t backgroundByteCount = 153600;
    static constexpr int jpegQuality = 95;

    // Rectangle of screen button `index` (0 top-left ... 5 bottom-right) on the 320 x 240
    // screen canvas.
    static QRectF keyRect(int index);

    // A screen button as a JPEG file: black, then (with `rotate`) turned a quarter turn
    // clockwise, its slice of `wallpaper` (when not null and `keyIndex` is given), `image`
    // stretched over the whole button, `label` in white, and, when `calibrate` is set and the
    // button is 64 x 64, four coloured alignment bars just inside its edges. Absent when the
    // size is not positive or encoding fails.
    static std::optional<QByteArray> jpeg(const QImage& image, int width, int height,
                                          const QString& label = {}, bool rotate = false,
                                          const QImage& wallpaper = {},
                                          std::optional<int> keyIndex = std::nullopt,
                                          bool calibrate = false);

    // Whether the command line asks for the calibration bars ("--calibrate").
    static bool calibrationRequested(const QStringList& arguments);

    // The background in the pad's RGB565 format: `image` stretched over the 320 x 240 screen,
    // stored a quarter turn clockwise in the 240 x 320 buffer, rows from the top, two bytes
    // per pixel, low byte first. A null image gives backgroundByteCount zero bytes (black);
    // an empty array means the bitmap could not be created.
    static QByteArray backgroundRGB565(const QImage& image);

    // One colour (components 0...1) in RGB565; components are truncated toward zero, not
    // rounded, and clamped to their field.
    static uint16_t rgb565(double red, double green, double blue);
};

#pragma once

#include "config/BadgeStyle.h"

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QString>

#include <cstdint>
#include <optional>

// Drawing of key artwork: badges, the built-in Lucide icons, PNG files and the raw pixels of a
// Mountain DisplayPad key. Positions are in points with the origin at the bottom-left and y
// growing upwards, one point per pixel; images drawn into a rectangle are stretched to fill it
// exactly (callers crop beforehand, see requiresCrop).
//
// Stateless. Every function may run on any thread (the program renders on the main thread);
// none throws. "Absent" results are std::nullopt; a null QImage argument means "no image".
class Artwork {
public:
    static constexpr int displayPadKeySize = 102;
    static constexpr int displayPadColumns = 6;
    static constexpr int displayPadRows = 2;
    static constexpr double wallpaperWidth = 612;   // 6 x 102
    static constexpr double wallpaperHeight = 204;  // 2 x 102
    static constexpr int imageSize = 100;           // badged and icon images
    static constexpr double iconBox = 70;           // Lucide icons are fitted into this square

    // Draws `base` (when not null) into a 100 x 100 image and a number badge over it, coloured
    // and placed after `style` (its `value` and `displayed` are the caller's business).
    static QImage badged(const QImage& base, int64_t number, const BadgeStyle& style = {});

    // The built-in icon `name` of the Lucide set, drawn white and centred in a 70-point box of
    // a transparent 100 x 100 image, with `accessibilityDescription` as its "Description"
    // text. Absent (and a log line) when the icon file is missing or does not load.
    static std::optional<QImage> symbol(const QString& name,
                                        const QString& accessibilityDescription);

    // Whether `image` must be cropped to show at width / height = `aspectRatio`.
    static bool requiresCrop(const QImage& image, double aspectRatio);

    // The image as a PNG file at its own pixel size; absent for a null image or when encoding
    // fails.
    static std::optional<QByteArray> png(const QImage& image);
    // The image stretched to exactly width x height pixels, as a PNG file; absent for a null
    // image, a size that is not positive or cannot be allocated, or when encoding fails.
    static std::optional<QByteArray> png(const QImage& image, int width, int height);

    // Rectangle of DisplayPad key `index` (0 top-left ... 11 bottom-right) in the 612 x 204
    // wallpaper canvas.
    static QRectF keyRect(int index);

    // A DisplayPad key's pixels: width x height x 3 bytes, rows from the top, each pixel blue,
    // green, red. The key is black, then shows its own slice of `wallpaper` (when not null and
    // `keyIndex` is given), then `image` stretched over the whole key, then `label` in white.
    // Absent when the bitmap cannot be created (a size that is not positive).
    static std::optional<QByteArray> bgr(const QImage& image, int width, int height,
                                         const QString& label = {}, const QImage& wallpaper = {},
                                         std::optional<int> keyIndex = std::nullopt);
};

#pragma once

#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <cstdint>

// Encoded images built in memory, so that the loader's limits can be tried at their exact
// edges without files of that size on disk.

// A PNG with the given header size. With `withPixels` the pixel data is complete (1-bit grey,
// all black, which compresses to almost nothing); otherwise a far too short data chunk follows.
QByteArray craftedPng(uint32_t width, uint32_t height, bool withPixels);
// A JPEG of `image` that carries an EXIF orientation tag (6 asks for a quarter turn clockwise).
QByteArray jpegWithOrientation(const QImage& image, uint16_t orientation);
// `image` encoded in `format` ("png", "jpeg", ...).
QByteArray encoded(const QImage& image, const char* format);
// An opaque image of one colour.
QImage filled(int width, int height, const QColor& color);
// Whether two colours are equal within `tolerance` per 8-bit channel, alpha included.
bool near(QRgb actual, const QColor& expected, int tolerance = 8);
// The bounding box (y down) of the pixels that pass `test`.
template <typename Test>
QRect boundsWhere(const QImage& image, Test test) {
    QRect box;
    for (int i = 0; i < image.width() * image.height(); ++i) {
        const int x = i % image.width(), y = i / image.width();
        box |= test(image.pixel(x, y)) ? QRect(x, y, 1, 1) : QRect();
    }
    return box;
}

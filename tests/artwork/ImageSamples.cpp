#include "ImageSamples.h"

#include <QBuffer>
#include <QImageWriter>

namespace {
QByteArray bigEndian(uint32_t value) {
    return QByteArray(1, char(value >> 24)) + char(value >> 16) + char(value >> 8) + char(value);
}

void appendChunk(QByteArray& out, const char* type, const QByteArray& data) {
    const QByteArray typed = QByteArray(type) + data;
    uint32_t crc = 0xFFFFFFFFu;  // PNG's CRC-32, bit by bit
    for (char byte : typed) {
        crc ^= uint8_t(byte);
        for (int k = 0; k < 8; ++k) {
            crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
        }
    }
    out += bigEndian(uint32_t(data.size())) + typed + bigEndian(crc ^ 0xFFFFFFFFu);
}
}  // namespace

QByteArray craftedPng(uint32_t width, uint32_t height, bool withPixels) {
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    // 1-bit greyscale, deflate, adaptive filtering, no interlace.
    appendChunk(png, "IHDR", bigEndian(width) + bigEndian(height) + QByteArray("\1\0\0\0\0", 5));
    const QByteArray raw(withPixels ? qsizetype(height) * (1 + (width + 7) / 8) : 16, '\0');
    // qCompress prefixes the zlib stream with its own 4-byte length.
    appendChunk(png, "IDAT", qCompress(raw, 9).mid(4));
    appendChunk(png, "IEND", {});
    return png;
}

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

QByteArray jpegWithOrientation(const QImage& image, uint16_t orientation) {
    const QByteArray jpeg = encoded(image, "jpeg");
    // TIFF, little-endian: one IFD with the single Orientation (0x0112) SHORT entry, no next IFD.
    const QByteArray payload =
        QByteArray("Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 24) +
        char(orientation & 0xFF) + char(orientation >> 8) + QByteArray(6, '\0');
    const int length = int(payload.size()) + 2;
    return jpeg.left(2) + "\xFF\xE1" + char(length >> 8) + char(length & 0xFF) + payload +
           jpeg.mid(2);
}

QImage filled(int width, int height, const QColor& color) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

bool near(QRgb actual, const QColor& expected, int tolerance) {
    return near(QColor(actual), expected, tolerance) &&
           std::abs(qAlpha(actual) - expected.alpha()) <= tolerance;
}

#include "ImageSamples.h"

#include <QBuffer>
#include <QImageWriter>

#include <array>
#include <cstdlib>

namespace {

uint32_t crc32(const QByteArray& bytes) {
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[n] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (char byte : bytes) {
        c = table[(c ^ uint8_t(byte)) & 0xFF] ^ (c >> 8);
    }
    return c ^ 0xFFFFFFFFu;
}

void appendBigEndian(QByteArray& out, uint32_t value) {
    out.append(char(value >> 24)).append(char(value >> 16)).append(char(value >> 8));
    out.append(char(value));
}

void appendChunk(QByteArray& out, const char* type, const QByteArray& data) {
    appendBigEndian(out, uint32_t(data.size()));
    const QByteArray typed = QByteArray(type) + data;
    out.append(typed);
    appendBigEndian(out, crc32(typed));
}

}  // namespace

QByteArray craftedPng(uint32_t width, uint32_t height, bool withPixels) {
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header;
    appendBigEndian(header, width);
    appendBigEndian(header, height);
    header.append(char(1));  // bit depth
    header.append(char(0));  // greyscale
    header.append(3, '\0');  // deflate, adaptive filtering, no interlace
    appendChunk(png, "IHDR", header);
    QByteArray raw;
    if (withPixels) {
        raw = QByteArray(qsizetype(height) * (1 + (width + 7) / 8), '\0');
    } else {
        raw = QByteArray(16, '\0');
    }
    // qCompress prefixes the zlib stream with its own 4-byte length.
    appendChunk(png, "IDAT", qCompress(raw, 9).mid(4));
    appendChunk(png, "IEND", {});
    return png;
}

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.write(image);
    return bytes;
}

QByteArray jpegWithOrientation(const QImage& image, uint16_t orientation) {
    const QByteArray jpeg = encoded(image, "jpeg");
    // TIFF structure, little-endian: one IFD with the single Orientation (0x0112) SHORT entry.
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    tiff.append("\x01\0", 2);                    // one entry
    tiff.append("\x12\x01\x03\0\x01\0\0\0", 8);  // tag, type SHORT, count 1
    tiff.append(char(orientation & 0xFF)).append(char(orientation >> 8)).append(2, '\0');
    tiff.append(4, '\0');  // no next IFD
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1", 2);
    const int length = int(payload.size()) + 2;
    segment.append(char(length >> 8)).append(char(length & 0xFF)).append(payload);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

QImage filled(int width, int height, const QColor& color) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

bool near(QRgb actual, const QColor& expected, int tolerance) {
    return std::abs(qRed(actual) - expected.red()) <= tolerance &&
           std::abs(qGreen(actual) - expected.green()) <= tolerance &&
           std::abs(qBlue(actual) - expected.blue()) <= tolerance &&
           std::abs(qAlpha(actual) - expected.alpha()) <= tolerance;
}

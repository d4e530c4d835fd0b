#include "artwork/MSDArtwork.h"

#include "artwork/ArtworkCanvas.h"

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>
#include <cmath>

namespace {

constexpr double labelFontSize = 30;

int truncatedField(double component, int maximum) {
    if (!(component > 0)) {  // also NaN
        return 0;
    }
    return std::min(int(std::trunc(component * maximum)), maximum);
}

// The bars show whether the pad crops or shifts a button's picture: each sits 3 points inside
// one edge, in a colour that names the edge.
void drawCalibrationMarks(ArtworkCanvas& canvas) {
    canvas.fillRect(QRectF(3, 58, 58, 3), QColor::fromRgbF(1, 0, 0));  // top
    canvas.fillRect(QRectF(58, 3, 3, 58), QColor::fromRgbF(0, 1, 0));  // right
    canvas.fillRect(QRectF(3, 3, 58, 3), QColor::fromRgbF(0, 0, 1));   // bottom
    canvas.fillRect(QRectF(3, 3, 3, 58), QColor::fromRgbF(1, 1, 0));   // left
}

}  // namespace

QRectF MSDArtwork::keyRect(int index) {
    const int column = index % columns;
    const int row = index / columns;
    return QRectF((column + 0.5) * screenWidth / columns - buttonSize / 2.0,
                  (1.5 - row) * (screenHeight / 2.0) - buttonSize / 2.0, buttonSize, buttonSize);
}

std::optional<QByteArray> MSDArtwork::jpeg(const QImage& image, int width, int height,
                                           const QString& label, bool rotate,
                                           const QImage& wallpaper, std::optional<int> keyIndex,
                                           bool calibrate) {
    ArtworkCanvas canvas(width, height, false);
    if (canvas.isNull()) {
        return std::nullopt;
    }
    if (rotate) {
        canvas.rotateQuarterTurn();
    }
    if (!wallpaper.isNull() && keyIndex) {
        const QRectF key = keyRect(*keyIndex);
        canvas.drawImage(QRectF(-key.x(), -key.y(), screenWidth, screenHeight), wallpaper);
    }
    canvas.drawImage(QRectF(0, 0, canvas.drawingWidth(), canvas.drawingHeight()), image);
    if (!label.isEmpty()) {
        canvas.drawText(QPointF(12, 12), label, ArtworkCanvas::systemFont(labelFontSize, false),
                        Qt::white);
    }
    if (calibrate && width == buttonSize && height == buttonSize) {
        drawCalibrationMarks(canvas);
    }
    const QImage pixels = canvas.finish();

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(jpegQuality);
    if (!writer.write(pixels)) {
        return std::nullopt;
    }
    return bytes;
}

bool MSDArtwork::calibrationRequested(const QStringList& arguments) {
    return arguments.contains(QStringLiteral("--calibrate"));
}

uint16_t MSDArtwork::rgb565(double red, double green, double blue) {
    return uint16_t(truncatedField(red, 31) * 2048 + truncatedField(green, 63) * 32 +
                    truncatedField(blue, 31));
}

QByteArray MSDArtwork::backgroundRGB565(const QImage& image) {
    if (image.isNull()) {
        return QByteArray(backgroundByteCount, '\0');
    }
    ArtworkCanvas canvas(screenHeight, screenWidth, false);
    if (canvas.isNull()) {
        return {};
    }
    canvas.rotateQuarterTurn();
    canvas.drawImage(QRectF(0, 0, screenWidth, screenHeight), image);
    const QImage pixels = canvas.finish();

    // Exact integer form of trunc(c / 255 x n) for the bitmap's 8-bit samples; a table keeps
    // the 76800 pixels cheap.
    static const auto fields = [] {
        struct Fields {
            uint16_t red[256], green[256], blue[256];
        } table{};
        for (int c = 0; c < 256; ++c) {
            table.red[c] = uint16_t((c * 31 / 255) << 11);
            table.green[c] = uint16_t((c * 63 / 255) << 5);
            table.blue[c] = uint16_t(c * 31 / 255);
        }
        return table;
    }();
    QByteArray bytes(backgroundByteCount, Qt::Uninitialized);
    char* out = bytes.data();
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            const uint16_t value = fields.red[qRed(line[x])] | fields.green[qGreen(line[x])] |
                                   fields.blue[qBlue(line[x])];
            *out++ = char(value & 0xFF);
            *out++ = char(value >> 8);
        }
    }
    return bytes;
}

#include "artwork/Artwork.h"

#include "artwork/ArtworkCanvas.h"
#include "artwork/LucideIcons.h"
#include "core/Log.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageWriter>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>

namespace {

constexpr double badgeHeight = 32;
constexpr double badgeFontSize = 22;
constexpr double badgeTextRoom = 84;  // widest text before the font shrinks
constexpr double labelFontSize = 30;
// Lucide icons stay small files; anything far larger is not one of ours.
constexpr qint64 maxIconFileBytes = 1 << 20;

QColor badgeFill(const BadgeStyle& style) {
    const QColor resolved =
        BadgeStyle::resolveColor(style.color).value_or(BadgeStyle::accentColor());
    QColor rgb = resolved.toRgb();
    if (!rgb.isValid()) {
        rgb = QColor(0x00, 0x7A, 0xFF);  // the system blue
    }
    return rgb;
}

double horizontalPosition(const QStringList& pieces, double width) {
    const QString piece = pieces.isEmpty() ? QString() : pieces.last();
    if (piece == QLatin1String("left")) {
        return 2;
    }
    if (piece == QLatin1String("right")) {
        return Artwork::imageSize - 2 - width;
    }
    return (Artwork::imageSize - width) / 2;
}

double verticalPosition(const QStringList& pieces) {
    const QString piece = pieces.isEmpty() ? QString() : pieces.first();
    if (piece == QLatin1String("top")) {
        return 66;
    }
    if (piece == QLatin1String("bottom")) {
        return 2;
    }
    return 34;
}

std::optional<QByteArray> encodePng(const QImage& image) {
    // A bare view of the pixels, so that no text or other metadata goes into the file.
    QImage plain(image.constBits(), image.width(), image.height(), image.bytesPerLine(),
                 image.format());
    plain.setColorTable(image.colorTable());
    plain.setColorSpace(image.colorSpace());
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(plain)) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace

QImage Artwork::badged(const QImage& base, int64_t number, const BadgeStyle& style) {
    ArtworkCanvas canvas(imageSize, imageSize, true);
    canvas.drawImage(QRectF(0, 0, imageSize, imageSize), base);

    const QString text =
        style.truncation && number > 99 ? QStringLiteral("99+") : QString::number(number);
    const QColor fill = badgeFill(style);
    const double luminance = 0.2126 * fill.redF() + 0.7152 * fill.greenF() + 0.0722 * fill.blueF();
    const QColor textColor = luminance > 0.6 ? QColor(Qt::black) : QColor(Qt::white);

    QFont font = ArtworkCanvas::systemFont(badgeFontSize, true);
    const double naturalWidth = canvas.measureText(text, font).width();
    if (naturalWidth >= 1 && naturalWidth > badgeTextRoom) {
        font.setPointSizeF(badgeFontSize * badgeTextRoom / naturalWidth);
    }
    const QSizeF textSize = canvas.measureText(text, font);

    const double width = number < 10 ? badgeHeight : std::max(textSize.width() + 12, 38.0);
    const QStringList pieces = style.position.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QRectF pill(horizontalPosition(pieces, width), verticalPosition(pieces), width,
                      badgeHeight);
    canvas.fillRoundedRect(pill, badgeHeight / 2, fill);
    canvas.drawText(QPointF(pill.center().x() - textSize.width() / 2,
                            pill.center().y() - textSize.height() / 2),
                    text, font, textColor);
    return canvas.finish();
}

std::optional<QImage> Artwork::symbol(const QString& name,
                                      const QString& accessibilityDescription) {
    const auto missing = [&name]() -> std::optional<QImage> {
        logLine("Missing or unreadable Lucide icon: %s", qUtf8Printable(name));
        return std::nullopt;
    };
    const auto path = LucideIcons::iconPath(name);
    if (!path) {
        return missing();
    }
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxIconFileBytes) {
        return missing();
    }
    QByteArray svg = file.readAll();
    // The icons stroke in the text colour; keys are black, so they are drawn white.
    svg.replace("currentColor", "#ffffff");
    QSvgRenderer renderer;
    if (!renderer.load(svg) || !renderer.isValid() || renderer.defaultSize().isEmpty()) {
        return missing();
    }
    const QSizeF own(renderer.defaultSize());
    const double scale = iconBox / std::max(own.width(), own.height());
    const QSizeF fitted = own * scale;

    QImage image(imageSize, imageSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    // Centred, so turning y over changes nothing.
    renderer.render(&painter, QRectF(QPointF((imageSize - fitted.width()) / 2,
                                             (imageSize - fitted.height()) / 2),
                                     fitted));
    painter.end();
    image.setText(QStringLiteral("Description"), accessibilityDescription);
    return image;
}

bool Artwork::requiresCrop(const QImage& image, double aspectRatio) {
    const QSizeF size = image.deviceIndependentSize();
    return std::abs(size.width() - size.height() * aspectRatio) >= 0.01;
}

std::optional<QByteArray> Artwork::png(const QImage& image) {
    if (image.isNull()) {
        return std::nullopt;
    }
    return encodePng(image);
}

std::optional<QByteArray> Artwork::png(const QImage& image, int width, int height) {
    if (image.isNull()) {
        return std::nullopt;
    }
    ArtworkCanvas canvas(width, height, true);
    if (canvas.isNull()) {
        return std::nullopt;
    }
    canvas.drawImage(QRectF(0, 0, width, height), image);
    return encodePng(canvas.finish());
}

QRectF Artwork::keyRect(int index) {
    const int column = index % displayPadColumns;
    const int row = index / displayPadColumns;
    return QRectF(column * displayPadKeySize, (1 - row) * displayPadKeySize, displayPadKeySize,
                  displayPadKeySize);
}

std::optional<QByteArray> Artwork::bgr(const QImage& image, int width, int height,
                                       const QString& label, const QImage& wallpaper,
                                       std::optional<int> keyIndex) {
    ArtworkCanvas canvas(width, height, false);
    if (canvas.isNull()) {
        return std::nullopt;
    }
    if (!wallpaper.isNull() && keyIndex) {
        const QRectF key = keyRect(*keyIndex);
        canvas.drawImage(QRectF(-key.x(), -key.y(), wallpaperWidth, wallpaperHeight), wallpaper);
    }
    canvas.drawImage(QRectF(0, 0, width, height), image);
    if (!label.isEmpty()) {
        canvas.drawText(QPointF(12, 12), label, ArtworkCanvas::systemFont(labelFontSize, false),
                        Qt::white);
    }
    const QImage pixels = canvas.finish();

    // The bitmap holds 8-bit samples, so each stored byte already is round(c x 255).
    QByteArray bytes(qsizetype(width) * height * 3, Qt::Uninitialized);
    char* out = bytes.data();
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            *out++ = char(qBlue(line[x]));
            *out++ = char(qGreen(line[x]));
            *out++ = char(qRed(line[x]));
        }
    }
    return bytes;
}

#include "artwork/ArtworkCanvas.h"

#include <QFontMetricsF>

namespace {
// 72 dots per inch, so that a font of n points is n pixels tall on these bitmaps as on the
// pads' own drawing model, whatever the screen's resolution.
constexpr int dotsPerMeterAt72Dpi = 2835;
// Qt's raster engine (6.x) splits a batch of about a hundred spans or more (rows, or pieces of
// rows at antialiased edges) over its GUI thread pool and waits for it. For a 102-row key the
// wake-ups cost more than the work (half the drawing time went to the pool's threads), and on a
// busy machine the wait is for other processes. Drawing through a clip of 16 rows keeps every
// batch small and on the calling thread. The pixels are the same: each is computed from its own
// position whatever the clip.
constexpr int bandRows = 16;
}  // namespace

ArtworkCanvas::ArtworkCanvas(int width, int height, bool alpha) {
    if (width <= 0 || height <= 0) {
        return;
    }
    image_ =
        QImage(width, height, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image_.isNull()) {
        return;
    }
    image_.setDotsPerMeterX(dotsPerMeterAt72Dpi);
    image_.setDotsPerMeterY(dotsPerMeterAt72Dpi);
    image_.fill(alpha ? QColor(Qt::transparent) : QColor(Qt::black));
    painter_ = std::make_unique<QPainter>(&image_);
    painter_->setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                             QPainter::TextAntialiasing);
    drawingWidth_ = width;
    drawingHeight_ = height;
}

ArtworkCanvas::~ArtworkCanvas() = default;

void ArtworkCanvas::rotateQuarterTurn() {
    if (!painter_) {
        return;
    }
    // With y down, the clockwise quarter turn maps drawing (x, y) to bitmap (width - y, x).
    painter_->translate(image_.width(), 0);
    painter_->rotate(90);
    std::swap(drawingWidth_, drawingHeight_);
}

QRectF ArtworkCanvas::toDevice(const QRectF& rect) const {
    return QRectF(rect.x(), drawingHeight_ - rect.y() - rect.height(), rect.width(), rect.height());
}

template <typename Draw>
void ArtworkCanvas::inBands(const QRectF& rect, Draw draw) {
    const QTransform world = painter_->worldTransform();
    const QRect covered = world.mapRect(rect).toAlignedRect().intersected(image_.rect());
    for (int top = covered.top(); top <= covered.bottom(); top += bandRows) {
        painter_->resetTransform();
        painter_->setClipRect(
            QRect(0, top, image_.width(), std::min(bandRows, covered.bottom() + 1 - top)));
        painter_->setTransform(world);
        draw();
    }
    painter_->setClipping(false);
}

void ArtworkCanvas::drawImage(const QRectF& rect, const QImage& image) {
    if (!painter_ || image.isNull()) {
        return;
    }
    const QRectF device = toDevice(rect);
    inBands(device, [&] { painter_->drawImage(device, image, QRectF(image.rect())); });
}

void ArtworkCanvas::fillRect(const QRectF& rect, const QColor& color) {
    if (painter_) {
        const QRectF device = toDevice(rect);
        inBands(device, [&] { painter_->fillRect(device, color); });
    }
}

void ArtworkCanvas::fillRoundedRect(const QRectF& rect, double radius, const QColor& color) {
    if (!painter_) {
        return;
    }
    painter_->setPen(Qt::NoPen);
    painter_->setBrush(color);
    const QRectF device = toDevice(rect);
    inBands(device, [&] { painter_->drawRoundedRect(device, radius, radius); });
}

void ArtworkCanvas::drawText(const QPointF& origin, const QString& text, const QFont& font,
                             const QColor& color) {
    if (!painter_ || text.isEmpty()) {
        return;
    }
    const QFontMetricsF metrics(font, &image_);
    // The line box's bottom edge sits at `origin`; the baseline is one descent above it.
    const double baseline = drawingHeight_ - origin.y() - metrics.descent();
    painter_->setFont(font);
    painter_->setPen(color);
    painter_->drawText(QPointF(origin.x(), baseline), text);
}

QSizeF ArtworkCanvas::measureText(const QString& text, const QFont& font) const {
    const QFontMetricsF metrics(font, &image_);
    return QSizeF(metrics.horizontalAdvance(text), metrics.height());
}

QImage ArtworkCanvas::finish() {
    painter_.reset();
    return image_;
}

QFont ArtworkCanvas::systemFont(double size, bool bold) {
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(size);
    font.setBold(bold);
    return font;
}

#include "ui/SquareCropView.h"

#include <QBuffer>
#include <QMouseEvent>
#include <QPainter>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace {
// The zoom slider works in hundredths of the zoom factor.
constexpr int sliderScale = 100;
}  // namespace

SquareCropView::SquareCropView(double aspectRatio, QWidget* parent) : QWidget(parent) {
    setAspectRatio(aspectRatio);
    setCursor(Qt::OpenHandCursor);
    setAccessibleName(QStringLiteral("Crop"));
}

void SquareCropView::setAspectRatio(double aspectRatio) {
    aspectRatio_ = aspectRatio > 0 && std::isfinite(aspectRatio) ? aspectRatio : 1;
    setFixedSize(300, int(std::lround(300 / aspectRatio_)));
    constrain();
    update();
}

void SquareCropView::setImage(const QImage& image) {
    if (image.isNull()) {
        image_.reset();
    } else {
        image_ = image;
    }
    zoom_ = 1;
    offset_ = {};
    if (zoomSlider_) {
        zoomSlider_->setValue(int(minimumZoom * sliderScale));
    }
    constrain();
    update();
}

QSlider* SquareCropView::makeZoomSlider(QWidget* parent) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setRange(int(minimumZoom * sliderScale), int(maximumZoom * sliderScale));
    slider->setValue(int(zoom_ * sliderScale));
    slider->setAccessibleName(QStringLiteral("Zoom"));
    slider->setToolTip(QStringLiteral("Zoom"));
    connect(slider, &QSlider::valueChanged, this,
            [this](int value) { setZoom(double(value) / sliderScale); });
    zoomSlider_ = slider;
    return slider;
}

void SquareCropView::setZoom(double zoom) {
    zoom_ = std::clamp(std::isfinite(zoom) ? zoom : minimumZoom, minimumZoom, maximumZoom);
    constrain();
    update();
}

void SquareCropView::setOffset(QPointF offset) {
    offset_ = offset;
    constrain();
    update();
}

QRectF SquareCropView::imageRect(QSizeF viewSize) const {
    if (!image_ || image_->width() <= 0 || image_->height() <= 0 || viewSize.isEmpty()) {
        return {};
    }
    const double scale =
        std::max(viewSize.width() / image_->width(), viewSize.height() / image_->height()) * zoom_;
    const QSizeF drawn(image_->width() * scale, image_->height() * scale);
    // The offset is kept in this view's points; another size gets it in proportion.
    const double factor = width() > 0 ? viewSize.width() / width() : 1;
    const QPointF topLeft((viewSize.width() - drawn.width()) / 2 + offset_.x() * factor,
                          (viewSize.height() - drawn.height()) / 2 + offset_.y() * factor);
    return {topLeft, drawn};
}

void SquareCropView::constrain() {
    const QRectF rect = imageRect(size());
    if (rect.isEmpty()) {
        offset_ = {};
        return;
    }
    // The image is at least as large as the view, so it covers the view as long as it is moved
    // by at most half of what it exceeds the view by, either way.
    const double spareX = (rect.width() - width()) / 2;
    const double spareY = (rect.height() - height()) / 2;
    offset_.setX(std::clamp(offset_.x(), -spareX, spareX));
    offset_.setY(std::clamp(offset_.y(), -spareY, spareY));
}

std::optional<QByteArray> SquareCropView::png() const {
    if (!image_) {
        return std::nullopt;
    }
    const int height = std::max(1, int(outputWidth / aspectRatio_));
    QImage output(outputWidth, height, QImage::Format_RGBA8888);
    if (output.isNull()) {
        return std::nullopt;
    }
    output.fill(Qt::transparent);
    {
        QPainter painter(&output);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QRectF target = imageRect(QSizeF(output.size()));
        if (!target.isEmpty()) {
            painter.drawImage(target, *image_);
        }
    }
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    if (!output.save(&buffer, "PNG")) {
        return std::nullopt;
    }
    return data;
}

void SquareCropView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const QRectF target = imageRect(size());
    if (!target.isEmpty()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, *image_);
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void SquareCropView::mousePressEvent(QMouseEvent* event) {
    dragStart_ = event->position();
    originalOffset_ = offset_;
    setCursor(Qt::ClosedHandCursor);
}

void SquareCropView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) {
        return;
    }
    offset_ = originalOffset_ + (event->position() - dragStart_);
    constrain();
    update();
}

void SquareCropView::mouseReleaseEvent(QMouseEvent*) {
    setCursor(Qt::OpenHandCursor);
}

void SquareCropView::resizeEvent(QResizeEvent*) {
    constrain();
}

#pragma once

#include <QByteArray>
#include <QImage>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QWidget>

#include <optional>

// Shows an image filling a view of the wanted shape (width / height = aspect ratio) and lets the
// user zoom (1 to 4) and drag it; the image always covers the whole view. `png()` renders what
// the view shows at 1024 pixels wide. Main thread.
class QSlider;

class SquareCropView : public QWidget {
    Q_OBJECT

public:
    static constexpr int outputWidth = 1024;
    static constexpr double minimumZoom = 1;
    static constexpr double maximumZoom = 4;

    explicit SquareCropView(double aspectRatio = 1, QWidget* parent = nullptr);

    // Changes the wanted shape and sizes the view 300 points wide.
    void setAspectRatio(double aspectRatio);
    double aspectRatio() const { return aspectRatio_; }

    // Shows `image` (a null image empties the view) at zoom 1, centred.
    void setImage(const QImage& image);
    bool hasImage() const { return image_.has_value(); }

    // A horizontal slider for the zoom (in hundredths) that sets this view's zoom; it returns to
    // 1 whenever a new image is set.
    QSlider* makeZoomSlider(QWidget* parent);

    // `zoom` is clamped to 1...4; the offset is constrained again.
    void setZoom(double zoom);
    double zoom() const { return zoom_; }
    QPointF offset() const { return offset_; }
    void setOffset(QPointF offset);

    // The image's rectangle in a view of `viewSize`, at the current zoom and offset (the offset
    // is scaled from this view's size to `viewSize`). Empty without an image or with an image
    // of no size.
    QRectF imageRect(QSizeF viewSize) const;

    // The current crop as a PNG of 1024 x (1024 / aspect ratio) pixels; none without an image.
    std::optional<QByteArray> png() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void constrain();

    double aspectRatio_ = 1;
    std::optional<QImage> image_;
    double zoom_ = 1;
    QPointF offset_;
    QPointF dragStart_;
    QPointF originalOffset_;
    QPointer<QSlider> zoomSlider_;
};

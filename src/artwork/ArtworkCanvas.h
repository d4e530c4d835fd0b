#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>

#include <memory>

// A bitmap and a painter on it, addressed the way key artwork is described: in points, one
// point per pixel, with the origin at the bottom-left corner and y growing upwards. Qt paints
// with y growing downwards, so every rectangle and text origin is turned over here and only
// here; images and text themselves are never mirrored.
//
// Used by Artwork and MSDArtwork on whichever thread renders (the main thread in the program).
// Not copyable; the painter ends when finish() is called or the canvas is destroyed.
class ArtworkCanvas {
public:
    // A width x height bitmap of 8-bit samples: with alpha and cleared to transparent when
    // `alpha` is true, otherwise opaque black. isNull() tells whether it could be created.
    ArtworkCanvas(int width, int height, bool alpha);
    ~ArtworkCanvas();
    ArtworkCanvas(const ArtworkCanvas&) = delete;
    ArtworkCanvas& operator=(const ArtworkCanvas&) = delete;

    bool isNull() const { return image_.isNull(); }

    // Turns the drawing a quarter turn clockwise: drawing point (x, y) lands on bitmap point
    // (y, bitmap height - x), so later drawing has the size (bitmap height, bitmap width).
    void rotateQuarterTurn();

    // The size drawing sees (swapped after a quarter turn).
    double drawingWidth() const { return drawingWidth_; }
    double drawingHeight() const { return drawingHeight_; }

    // Scales the whole image to fill `rect` exactly, source-over at full opacity.
    void drawImage(const QRectF& rect, const QImage& image);
    void fillRect(const QRectF& rect, const QColor& color);
    void fillRoundedRect(const QRectF& rect, double radius, const QColor& color);
    // Draws `text` with the bottom-left corner of its line box at `origin`.
    void drawText(const QPointF& origin, const QString& text, const QFont& font,
                  const QColor& color);
    // Advance width and line height of `text` in `font` on this bitmap.
    QSizeF measureText(const QString& text, const QFont& font) const;

    // Ends painting and hands over the bitmap.
    QImage finish();

    // The desktop's default sans font (through fontconfig) at `size` points.
    static QFont systemFont(double size, bool bold);

private:
    QRectF toDevice(const QRectF& rect) const;
    template <typename Draw>
    void inBands(const QRectF& rect, Draw draw);

    QImage image_;
    std::unique_ptr<QPainter> painter_;
    double drawingWidth_ = 0;
    double drawingHeight_ = 0;
};

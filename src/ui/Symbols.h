#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

class QPainter;
class QRectF;

// The program's own symbols (the Lucide set) in the desktop's colours: the strokes of the SVG
// files are "currentColor", which is replaced by the palette's text colour so that the symbols
// read on light and dark themes alike. Main thread (uses the application palette).
class Symbols {
public:
    // The symbol `name` as an icon; a null icon when the set has no such file.
    static QIcon icon(const QString& name);
    // Draws the symbol into `rect` in `color`; nothing when the set has no such file.
    static void paint(QPainter& painter, const QString& name, const QRectF& rect,
                      const QColor& color);
};

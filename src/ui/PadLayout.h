#pragma once

#include "device/DeviceKind.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

// Where each control of a pad sits in its picture in the configuration window: one table per
// device kind, in canvas units (the picture is scaled to the space it gets, keeping this shape).
// The DisplayPad is two rows of six LCD keys; the MSD-TWO is its 4:3 screen with the six screen
// buttons where the pad draws them, the large dial and the two small dials beside the screen and
// the three circular buttons beneath it.
struct PadControlShape {
    enum class Type { screenButton, roundButton, dialPress, dialClockwise, dialCounterclockwise };

    int code = 0;
    Type type = Type::screenButton;
    // The control's own area: a key's square, a round button's circle, or for the three targets
    // of a dial the dial's whole circle (dialRegion() tells them apart).
    QRectF rect;
    // The dial's name ("Large dial") for dial targets, else empty.
    QString dialName;

    bool isDial() const { return type != Type::screenButton && type != Type::roundButton; }
    // The part of a dial's circle that belongs to this target: the inner disc for the press,
    // the right half of the ring for clockwise, the left half for counterclockwise.
    bool contains(const QPointF& point) const;
    // Where the target's symbol is drawn.
    QRectF symbolRect() const;
    // The Lucide symbol of a dial target or round button; empty for screen buttons.
    QString symbol() const;
};

class PadLayout {
public:
    static QSizeF canvasSize(DeviceKind kind);
    // Every control of the kind, screen buttons first in key order.
    static const QList<PadControlShape>& controls(DeviceKind kind);
    // The MSD-TWO's screen (the background); an empty rectangle for the DisplayPad.
    static QRectF screenRect(DeviceKind kind);
    // The control at `point` (canvas units), if any.
    static std::optional<int> controlAt(DeviceKind kind, const QPointF& point);
    static std::optional<PadControlShape> shape(DeviceKind kind, int code);
    // What the window calls the control: the dial targets as "Large dial: press" and so on,
    // every other control by its default name.
    static QString label(DeviceKind kind, int code);
};

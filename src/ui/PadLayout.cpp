#include "ui/PadLayout.h"

#include "artwork/MSDArtwork.h"

#include <QLineF>

#include <cmath>

namespace {

using Type = PadControlShape::Type;

// DisplayPad: keys of 88 units, 14 apart, inside a 21-unit rim.
constexpr double keySide = 88;
constexpr double keyGap = 14;
constexpr double rim = 21;

// MSD-TWO: the screen at its pixel size, the dials to its right, circular buttons beneath.
constexpr double screenX = 24;
constexpr double screenY = 24;

QList<PadControlShape> displayPadControls() {
    QList<PadControlShape> controls;
    for (int index = 0; index < 12; ++index) {
        const int column = index % 6;
        const int row = index / 6;
        controls.append({index + 1,
                         Type::screenButton,
                         QRectF(rim + column * (keySide + keyGap),
                                rim + 4 + row * (keySide + keyGap), keySide, keySide),
                         {}});
    }
    return controls;
}

void addDial(QList<PadControlShape>& controls, DialGroup dial, const QString& name,
             const QPointF& centre, double radius) {
    const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    controls.append({dial.press, Type::dialPress, circle, name});
    controls.append({dial.clockwise, Type::dialClockwise, circle, name});
    controls.append({dial.counterclockwise, Type::dialCounterclockwise, circle, name});
}

QList<PadControlShape> msdTwoControls() {
    QList<PadControlShape> controls;
    for (int index = 0; index < MSDArtwork::rows * MSDArtwork::columns; ++index) {
        // The artwork places buttons with y pointing up; the window's y points down.
        const QRectF key = MSDArtwork::keyRect(index);
        controls.append(
            {index + 1,
             Type::screenButton,
             QRectF(screenX + key.x(), screenY + MSDArtwork::screenHeight - key.y() - key.height(),
                    key.width(), key.height()),
             {}});
    }
    const std::span<const DialGroup> dials = DeviceKind(DeviceKind::msdTwo).dials();
    const double right = screenX + MSDArtwork::screenWidth + 24;
    addDial(controls, dials[0], QStringLiteral("Large dial"), QPointF(right + 76, 100), 70);
    addDial(controls, dials[1], QStringLiteral("Left small dial"), QPointF(right + 36, 222), 34);
    addDial(controls, dials[2], QStringLiteral("Right small dial"), QPointF(right + 116, 222), 34);
    const QList<int> round = DeviceKind(DeviceKind::msdTwo).roundButtons();
    for (qsizetype index = 0; index < round.size(); ++index) {
        const double x =
            screenX + MSDArtwork::screenWidth * double(2 * index + 1) / double(2 * round.size());
        controls.append({round[index], Type::roundButton, QRectF(x - 20, 290, 40, 40), {}});
    }
    return controls;
}

}  // namespace

bool PadControlShape::contains(const QPointF& point) const {
    if (!isDial()) {
        return type == Type::roundButton ? QLineF(rect.center(), point).length() <= rect.width() / 2
                                         : rect.contains(point);
    }
    const double distance = QLineF(rect.center(), point).length();
    const double radius = rect.width() / 2;
    if (distance > radius) {
        return false;
    }
    if (type == Type::dialPress) {
        return distance <= radius * 0.45;
    }
    if (distance <= radius * 0.45) {
        return false;
    }
    return type == Type::dialClockwise ? point.x() >= rect.center().x()
                                       : point.x() < rect.center().x();
}

QRectF PadControlShape::symbolRect() const {
    const double radius = rect.width() / 2;
    const double side = std::max(12.0, radius * 0.5);
    QPointF centre = rect.center();
    if (type == Type::dialClockwise) {
        centre.rx() += radius * 0.72;
    } else if (type == Type::dialCounterclockwise) {
        centre.rx() -= radius * 0.72;
    }
    if (type == Type::roundButton) {
        return rect.adjusted(rect.width() / 4, rect.height() / 4, -rect.width() / 4,
                             -rect.height() / 4);
    }
    const double scaled = type == Type::dialPress ? side : std::min(side, radius * 0.45);
    return QRectF(centre.x() - scaled / 2, centre.y() - scaled / 2, scaled, scaled);
}

QString PadControlShape::symbol() const {
    switch (type) {
        case Type::dialPress:
            return QStringLiteral("hand");
        case Type::dialClockwise:
            return QStringLiteral("rotate-cw");
        case Type::dialCounterclockwise:
            return QStringLiteral("rotate-ccw");
        case Type::roundButton:
            return QStringLiteral("circle");
        case Type::screenButton:
            break;
    }
    return {};
}

QSizeF PadLayout::canvasSize(DeviceKind kind) {
    if (kind == DeviceKind::mountain) {
        return QSizeF(2 * rim + 6 * keySide + 5 * keyGap, 2 * rim + 8 + 2 * keySide + keyGap);
    }
    return QSizeF(screenX + MSDArtwork::screenWidth + 24 + 152 + 24, 350);
}

const QList<PadControlShape>& PadLayout::controls(DeviceKind kind) {
    static const QList<PadControlShape> displayPad = displayPadControls();
    static const QList<PadControlShape> msdTwo = msdTwoControls();
    return kind == DeviceKind::mountain ? displayPad : msdTwo;
}

QRectF PadLayout::screenRect(DeviceKind kind) {
    if (kind == DeviceKind::mountain) {
        return {};
    }
    return QRectF(screenX, screenY, MSDArtwork::screenWidth, MSDArtwork::screenHeight);
}

std::optional<int> PadLayout::controlAt(DeviceKind kind, const QPointF& point) {
    for (const PadControlShape& control : controls(kind)) {
        if (control.contains(point)) {
            return control.code;
        }
    }
    return std::nullopt;
}

std::optional<PadControlShape> PadLayout::shape(DeviceKind kind, int code) {
    for (const PadControlShape& control : controls(kind)) {
        if (control.code == code) {
            return control;
        }
    }
    return std::nullopt;
}

QString PadLayout::label(DeviceKind kind, int code) {
    const std::optional<PadControlShape> control = shape(kind, code);
    if (!control || !control->isDial()) {
        return kind.controlName(code);
    }
    switch (control->type) {
        case Type::dialPress:
            return control->dialName + QStringLiteral(": press");
        case Type::dialClockwise:
            return control->dialName + QStringLiteral(": clockwise");
        default:
            return control->dialName + QStringLiteral(": counterclockwise");
    }
}

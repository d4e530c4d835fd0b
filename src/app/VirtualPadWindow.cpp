#include "app/VirtualPadWindow.h"

#include "app/VirtualPads.h"
#include "device/DeviceKind.h"
#include "ui/PadLayout.h"
#include "ui/Symbols.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace {
const QColor bodyColor(0x2b, 0x2d, 0x31);
const QColor controlColor(0x3a, 0x3d, 0x42);
const QColor symbolColor(0xd0, 0xd3, 0xd8);

// The DisplayPad's picture is its twelve 102-pixel keys side by side.
constexpr int displayPadKey = 102;
constexpr int displayPadRim = 16;

int dialIndex(DeviceKind kind, int control) {
    const auto dials = kind.dials();
    for (size_t index = 0; index < dials.size(); ++index) {
        if (dials[index].contains(control)) {
            return int(index);
        }
    }
    return -1;
}
}  // namespace

VirtualPadWindow::VirtualPadWindow(VirtualPads& pads, QString name, QWidget* parent)
    : QWidget(parent), pads_(pads), name_(std::move(name)), displayPad_([&] {
          for (const VirtualPads::Listing& listing : pads.list()) {
              if (listing.name == name_) {
                  return listing.kind == DeviceKind(DeviceKind::mountain).rawValue();
              }
          }
          return false;
      }()) {
    setWindowTitle(QStringLiteral("Virtual pad “%1”").arg(name_));
    setAccessibleName(windowTitle());
    // The virtual pads announce nothing when their picture changes; a few looks a second are
    // enough for a person watching.
    poll_.setInterval(200);
    connect(&poll_, &QTimer::timeout, this, &VirtualPadWindow::refresh);
    poll_.start();
}

void VirtualPadWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh();
}

std::vector<std::unique_ptr<VirtualPadWindow>> VirtualPadWindow::showAll(VirtualPads& pads) {
    std::vector<std::unique_ptr<VirtualPadWindow>> windows;
    // One under the other, where the window manager lets a program choose.
    int top = 0;
    for (const VirtualPads::Listing& listing : pads.list()) {
        windows.push_back(std::make_unique<VirtualPadWindow>(pads, listing.name));
        windows.back()->move(0, top);
        windows.back()->show();
        top += windows.back()->frameGeometry().height() + 8;
    }
    return windows;
}

QSize VirtualPadWindow::sizeHint() const {
    if (displayPad_) {
        return QSize(6 * displayPadKey + 2 * displayPadRim,
                     2 * displayPadKey + 2 * displayPadRim + 20);
    }
    return PadLayout::canvasSize(DeviceKind::msdTwo).toSize() + QSize(0, 20);
}

void VirtualPadWindow::refresh() {
    if (!isVisible()) {
        return;
    }
    try {
        const QImage picture = pads_.picture(name_);
        if (picture != picture_) {
            picture_ = picture;
            update();
        }
    } catch (const VirtualPadError& error) {
        problem_ = error.message();
        update();
    }
}

QTransform VirtualPadWindow::canvasTransform() const {
    const QSizeF canvas = sizeHint() - QSize(0, 20);
    const double scale =
        std::min(width() / canvas.width(), std::max(1, height() - 20) / canvas.height());
    QTransform transform;
    transform.translate((width() - canvas.width() * scale) / 2, 0);
    transform.scale(scale, scale);
    return transform;
}

std::optional<int> VirtualPadWindow::controlAt(const QPointF& point) const {
    const QPointF canvas = canvasTransform().inverted().map(point);
    if (!displayPad_) {
        return PadLayout::controlAt(DeviceKind::msdTwo, canvas);
    }
    const QPointF inside = canvas - QPointF(displayPadRim, displayPadRim);
    if (inside.x() < 0 || inside.y() < 0 || inside.x() >= 6 * displayPadKey ||
        inside.y() >= 2 * displayPadKey) {
        return std::nullopt;
    }
    return int(inside.y()) / displayPadKey * 6 + int(inside.x()) / displayPadKey + 1;
}

void VirtualPadWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.save();
    painter.setTransform(canvasTransform());
    const QSizeF canvas = sizeHint() - QSize(0, 20);
    painter.setPen(Qt::NoPen);
    painter.setBrush(bodyColor);
    painter.drawRoundedRect(QRectF(QPointF(), canvas), 16, 16);
    if (displayPad_) {
        painter.drawImage(
            QRectF(displayPadRim, displayPadRim, 6 * displayPadKey, 2 * displayPadKey), picture_);
    } else {
        painter.drawImage(PadLayout::screenRect(DeviceKind::msdTwo), picture_);
        for (const PadControlShape& control : PadLayout::controls(DeviceKind::msdTwo)) {
            if (control.type == PadControlShape::Type::screenButton) {
                continue;
            }
            if (control.type == PadControlShape::Type::roundButton ||
                control.type == PadControlShape::Type::dialPress) {
                painter.setPen(Qt::NoPen);
                painter.setBrush(controlColor);
                painter.drawEllipse(control.rect);
            }
            Symbols::paint(painter, control.symbol(), control.symbolRect(), symbolColor);
        }
    }
    painter.restore();
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(8, height() - 20, width() - 16, 20), Qt::AlignLeft | Qt::AlignVCenter,
                     !problem_.isEmpty() ? problem_
                     : displayPad_       ? QStringLiteral("Click a key to press it")
                                   : QStringLiteral("Click to press; turn dials with the wheel"));
}

void VirtualPadWindow::send(const std::function<void()>& request) {
    try {
        request();
        problem_.clear();
    } catch (const VirtualPadError& error) {
        problem_ = error.message();
    }
    update();
}

void VirtualPadWindow::mousePressEvent(QMouseEvent* event) {
    const std::optional<int> control = controlAt(event->position());
    if (event->button() != Qt::LeftButton || !control) {
        return;
    }
    const DeviceKind kind = displayPad_ ? DeviceKind::mountain : DeviceKind::msdTwo;
    if (*control <= kind.keyCount()) {
        send([&] { pads_.pressButton(name_, *control); });
        return;
    }
    const int dial = dialIndex(kind, *control);
    if (dial >= 0) {
        const QString which = VirtualPads::dialNames().value(dial);
        const DialGroup group = kind.dials()[size_t(dial)];
        // A click on a dial's side turns it one step that way.
        if (*control == group.press) {
            send([&] { pads_.pressDial(name_, which); });
        } else {
            const int steps = *control == group.clockwise ? 1 : -1;
            send([&] { pads_.turnDial(name_, which, steps); });
        }
        return;
    }
    const qsizetype round = kind.roundButtons().indexOf(*control);
    send([&] { pads_.pressRoundButton(name_, VirtualPads::roundButtonNames().value(round)); });
}

void VirtualPadWindow::wheelEvent(QWheelEvent* event) {
    const std::optional<int> control = displayPad_ ? std::nullopt : controlAt(event->position());
    const int dial = control ? dialIndex(DeviceKind::msdTwo, *control) : -1;
    if (dial < 0) {
        event->ignore();
        return;
    }
    // One step per notch (120 units); wheels with finer steps add up. Up turns clockwise.
    wheelRemainder_ += event->angleDelta().y();
    const int steps =
        std::clamp(wheelRemainder_ / 120, -VirtualPads::maximumSteps, VirtualPads::maximumSteps);
    wheelRemainder_ -= steps * 120;
    if (steps != 0) {
        const QString which = VirtualPads::dialNames().value(dial);
        send([&] { pads_.turnDial(name_, which, steps); });
    }
    event->accept();
}

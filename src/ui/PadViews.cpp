#include "ui/PadViews.h"

#include "actions/ActionCatalog.h"
#include "artwork/ImageLoading.h"
#include "model/Model.h"
#include "ui/MimeDropItem.h"
#include "ui/PadAccessibility.h"
#include "ui/Symbols.h"

#include <QAccessible>
#include <QApplication>
#include <QDrag>
#include <QFileInfo>
#include <QHelpEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

namespace {
// The pads' own colours: a dark body and black screens, whatever the desktop's theme.
const QColor bodyColor(0x2b, 0x2d, 0x31);
const QColor rimColor(0x44, 0x47, 0x4d);
const QColor controlColor(0x3a, 0x3d, 0x42);
const QColor symbolColor(0xd0, 0xd3, 0xd8);

const MacroAction& actionOf(const Model& model, int control) {
    for (const Binding& binding : model.activeScene().keys) {
        if (binding.id == control) {
            return ActionCatalog::action(binding.action);
        }
    }
    return ActionCatalog::action(QString());
}

QPainterPath targetPath(const PadControlShape& control) {
    QPainterPath path;
    const QRectF circle = control.rect;
    const double inner = circle.width() / 2 * 0.45;
    const QPointF centre = circle.center();
    const QRectF innerRect(centre.x() - inner, centre.y() - inner, 2 * inner, 2 * inner);
    switch (control.type) {
        case PadControlShape::Type::dialPress:
            path.addEllipse(innerRect);
            break;
        case PadControlShape::Type::dialClockwise:
        case PadControlShape::Type::dialCounterclockwise: {
            // Half of the ring: from the top, round the right (clockwise) or left side.
            const double sweep = control.type == PadControlShape::Type::dialClockwise ? -180 : 180;
            path.arcMoveTo(circle, 90);
            path.arcTo(circle, 90, sweep);
            path.arcTo(innerRect, 270, -sweep);
            path.closeSubpath();
            break;
        }
        case PadControlShape::Type::roundButton:
            path.addEllipse(circle);
            break;
        case PadControlShape::Type::screenButton:
            path.addRoundedRect(circle, 8, 8);
            break;
    }
    return path;
}
}  // namespace

QString PadView::dragMimeType() {
    return QStringLiteral("application/x-quorvel-screen-button");
}

namespace {
void installAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&padViewAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}
}  // namespace

PadView::PadView(Model& model, QWidget* parent)
    : QWidget(parent), model_(&model), kind_(model.kind()) {
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    setMouseTracking(false);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    installAccessibility();
    setAccessibleName(kind_.name());
    connect(&model, &Model::changed, this, &PadView::reload);
    // Run-time icons and badges from scripts change the picture without changing the model's
    // observable fields; the pad's own refresh says when.
    connect(&model, &Model::displayUpdated, this, &PadView::reload);
    reload();
}

void PadView::setSelected(std::optional<int> control) {
    if (selected_ == control) {
        return;
    }
    selected_ = control;
    updateAccessibleText();
    update();
    Q_EMIT selectionChanged();
}

QString PadView::helpText(int control) const {
    const std::optional<PadControlShape> shape = PadLayout::shape(kind_, control);
    if (shape && shape->type == PadControlShape::Type::screenButton) {
        return QStringLiteral("LCD key %1 · Drag onto another screen button to swap").arg(control);
    }
    return PadLayout::label(kind_, control);
}

QTransform PadView::canvasTransform() const {
    const QSizeF canvas = PadLayout::canvasSize(kind_);
    const double scale = std::min(width() / canvas.width(), height() / canvas.height());
    QTransform transform;
    transform.translate((width() - canvas.width() * scale) / 2,
                        (height() - canvas.height() * scale) / 2);
    transform.scale(scale, scale);
    return transform;
}

std::optional<int> PadView::controlAt(const QPoint& point) const {
    return PadLayout::controlAt(kind_, canvasTransform().inverted().map(QPointF(point)));
}

QPoint PadView::controlCentre(int control) const {
    const std::optional<PadControlShape> shape = PadLayout::shape(kind_, control);
    if (!shape) {
        return {};
    }
    QPointF centre = shape->rect.center();
    if (shape->isDial() && shape->type != PadControlShape::Type::dialPress) {
        centre = shape->symbolRect().center();
    }
    return canvasTransform().map(centre).toPoint();
}

QSize PadView::sizeHint() const {
    return PadLayout::canvasSize(kind_).toSize();
}

QSize PadView::minimumSizeHint() const {
    return (PadLayout::canvasSize(kind_) * 0.6).toSize();
}

int PadView::heightForWidth(int width) const {
    const QSizeF canvas = PadLayout::canvasSize(kind_);
    return int(width * canvas.height() / canvas.width());
}

void PadView::reload() {
    if (!model_) {
        return;
    }
    previews_.clear();
    for (const Binding& binding : model_->activeScene().keys) {
        if (binding.action == QLatin1String("None") && !binding.imagePath && !binding.scriptID) {
            continue;
        }
        if (const std::optional<QImage> image = model_->keyPreview(binding)) {
            previews_.insert(int(binding.id), *image);
        }
    }
    const std::optional<QString>& path = model_->activeScene().backgroundPath;
    const QString key =
        path ? *path + QFileInfo(*path).lastModified().toString(Qt::ISODateWithMs) : QString();
    if (key != backgroundKey_) {
        backgroundKey_ = key;
        background_ = QImage();
        if (path) {
            try {
                background_ = ImageLoading::image(QUrl::fromLocalFile(*path));
            } catch (const std::exception&) {
                // The pad shows black for an unreadable background; so does the window.
            }
        }
    }
    updateAccessibleText();
    update();
}

void PadView::updateAccessibleText() {
    if (!model_ || !selected_) {
        setAccessibleDescription(QString());
        return;
    }
    const QString text = PadLayout::label(kind_, *selected_) + QStringLiteral(", ") +
                         actionOf(*model_, *selected_).name();
    setAccessibleDescription(text);
    const QList<PadControlShape>& controls = PadLayout::controls(kind_);
    for (int index = 0; hasFocus() && index < controls.size(); ++index) {
        if (controls[index].code == *selected_) {
            // Screen readers follow the selection as the focus moving between the controls.
            QAccessibleEvent event(this, QAccessible::Focus);
            event.setChild(index);
            QAccessible::updateAccessibility(&event);
        }
    }
}

void PadView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.setTransform(canvasTransform());
    const QSizeF canvas = PadLayout::canvasSize(kind_);
    painter.setPen(QPen(rimColor, 2));
    painter.setBrush(bodyColor);
    painter.drawRoundedRect(QRectF(QPointF(1, 1), canvas - QSizeF(2, 2)), 18, 18);
    paintBody(painter);
    const QColor highlight = palette().color(QPalette::Highlight);
    for (const PadControlShape& control : PadLayout::controls(kind_)) {
        if (hovered_ == control.code) {
            paintOutline(painter, control, 3, highlight.lighter(130));
        }
        if (selected_ == control.code) {
            paintOutline(painter, control, hasFocus() ? 4 : 3, highlight);
        }
    }
}

void PadView::paintScreenButton(QPainter& painter, const PadControlShape& control) {
    const QImage image = previews_.value(control.code);
    painter.save();
    QPainterPath clip;
    clip.addRoundedRect(control.rect, 6, 6);
    painter.setClipPath(clip);
    if (!image.isNull()) {
        painter.drawImage(control.rect, image);
    }
    painter.restore();
    painter.setPen(QPen(rimColor, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(control.rect, 6, 6);
}

void PadView::paintOtherControl(QPainter& painter, const PadControlShape& control) {
    if (control.type == PadControlShape::Type::roundButton ||
        control.type == PadControlShape::Type::dialPress) {
        // A dial's three targets share one circle: draw it once, with the press.
        painter.setPen(QPen(rimColor, 2));
        painter.setBrush(controlColor);
        painter.drawEllipse(control.rect);
        if (control.type == PadControlShape::Type::dialPress) {
            painter.setPen(QPen(rimColor, 1.5));
            painter.drawPath(targetPath(control));
            painter.drawLine(QPointF(control.rect.center().x(), control.rect.top()),
                             QPointF(control.rect.center().x(),
                                     control.rect.top() + control.rect.height() * 0.275));
            painter.drawLine(QPointF(control.rect.center().x(), control.rect.bottom()),
                             QPointF(control.rect.center().x(),
                                     control.rect.bottom() - control.rect.height() * 0.275));
        }
    }
    const QImage image = previews_.value(control.code);
    const QRectF symbol = control.symbolRect();
    if (image.isNull()) {
        Symbols::paint(painter, control.symbol(), symbol, symbolColor);
    } else {
        painter.save();
        QPainterPath clip;
        clip.addEllipse(symbol.adjusted(-2, -2, 2, 2));
        painter.setClipPath(clip);
        painter.drawImage(symbol.adjusted(-2, -2, 2, 2), image);
        painter.restore();
    }
}

void PadView::paintOutline(QPainter& painter, const PadControlShape& control, double width,
                           const QColor& color) {
    painter.setPen(QPen(color, width));
    painter.setBrush(Qt::NoBrush);
    if (control.type == PadControlShape::Type::screenButton) {
        painter.drawRoundedRect(control.rect.adjusted(-3, -3, 3, 3), 9, 9);
    } else {
        painter.drawPath(targetPath(control));
    }
}

void DeviceView::paintBody(QPainter& painter) {
    for (const PadControlShape& control : PadLayout::controls(kind())) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawRoundedRect(control.rect, 6, 6);
        paintScreenButton(painter, control);
    }
}

void MSDDeviceView::paintBody(QPainter& painter) {
    const QRectF screen = PadLayout::screenRect(kind());
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRect(screen);
    if (!background().isNull()) {
        painter.drawImage(screen, background());
    }
    for (const PadControlShape& control : PadLayout::controls(kind())) {
        if (control.type == PadControlShape::Type::screenButton) {
            paintScreenButton(painter, control);
        } else {
            paintOtherControl(painter, control);
        }
    }
}

PadView* makePadView(Model& model, QWidget* parent) {
    if (model.kind() == DeviceKind::mountain) {
        return new DeviceView(model, parent);
    }
    return new MSDDeviceView(model, parent);
}

void PadView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    pressPosition_ = event->position().toPoint();
    pressed_ = controlAt(pressPosition_);
    if (pressed_) {
        setSelected(pressed_);
    }
}

void PadView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton) || !pressed_ || !model_ ||
        (event->position().toPoint() - pressPosition_).manhattanLength() <
            QApplication::startDragDistance()) {
        return;
    }
    const std::optional<ScreenButtonDrag> payload = model_->buttonDragPayload(*pressed_);
    pressed_.reset();
    if (!payload) {
        return;
    }
    auto* data = new QMimeData;
    data->setData(dragMimeType(), payload->encoded());
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    const QImage image = previews_.value(int(payload->keyID));
    if (!image.isNull()) {
        drag->setPixmap(QPixmap::fromImage(
            image.scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        drag->setHotSpot(QPoint(32, 32));
    }
    drag->exec(Qt::MoveAction);
}

void PadView::keyPressEvent(QKeyEvent* event) {
    const QList<PadControlShape>& controls = PadLayout::controls(kind_);
    int index = -1;
    for (int position = 0; position < controls.size(); ++position) {
        if (selected_ == controls[position].code) {
            index = position;
        }
    }
    const int columns = kind_ == DeviceKind::mountain ? 6 : 3;
    const int keys = kind_.keyCount();
    int next = index;
    switch (event->key()) {
        case Qt::Key_Right:
            next = index + 1;
            break;
        case Qt::Key_Left:
            next = index < 0 ? 0 : index - 1;
            break;
        case Qt::Key_Down:
            next =
                index < 0 ? 0 : (index < keys && index + columns < keys ? index + columns : index);
            break;
        case Qt::Key_Up:
            next = index < 0 ? 0 : (index < keys && index >= columns ? index - columns : index);
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    next = std::clamp(next, 0, int(controls.size()) - 1);
    setSelected(controls[next].code);
}

bool PadView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const std::optional<int> control = controlAt(help->pos());
        if (control) {
            QToolTip::showText(help->globalPos(), helpText(*control), this);
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

PadView::DropTarget PadView::dropTarget(const QMimeData& data, const QPoint& point) const {
    if (!model_) {
        return {};
    }
    const std::optional<int> control = controlAt(point);
    if (data.hasFormat(dragMimeType())) {
        const std::optional<ScreenButtonDrag> drag =
            ScreenButtonDrag::decoded(data.data(dragMimeType()));
        if (drag && control && model_->canSwapScreenButtons(*drag, *control)) {
            return {true, control};
        }
        return {};
    }
    if (!MimeDropItem::offersContent(data)) {
        return {};
    }
    if (control) {
        return {true, control};
    }
    if (PadLayout::screenRect(kind_).contains(canvasTransform().inverted().map(QPointF(point)))) {
        return {true, std::nullopt};
    }
    return {};
}

void PadView::dragEnterEvent(QDragEnterEvent* event) {
    // Taken wherever it enters (a button drag starts over its own button, where it cannot
    // drop); each move then says whether the place under the pointer takes it.
    const QMimeData& data = *event->mimeData();
    if (!data.hasFormat(dragMimeType()) && !MimeDropItem::offersContent(data)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    const DropTarget target = dropTarget(data, event->position().toPoint());
    hovered_ = target.valid ? target.control : std::nullopt;
    update();
}

void PadView::dragMoveEvent(QDragMoveEvent* event) {
    const DropTarget target = dropTarget(*event->mimeData(), event->position().toPoint());
    const std::optional<int> hovered = target.valid ? target.control : std::nullopt;
    if (hovered != hovered_) {
        hovered_ = hovered;
        update();
    }
    if (target.valid) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void PadView::dragLeaveEvent(QDragLeaveEvent*) {
    hovered_.reset();
    update();
}

void PadView::dropEvent(QDropEvent* event) {
    hovered_.reset();
    update();
    const DropTarget target = dropTarget(*event->mimeData(), event->position().toPoint());
    if (!target.valid || !model_) {
        event->ignore();
        return;
    }
    if (event->mimeData()->hasFormat(dragMimeType())) {
        const std::optional<ScreenButtonDrag> drag =
            ScreenButtonDrag::decoded(event->mimeData()->data(dragMimeType()));
        if (drag && model_->swapScreenButtons(*drag, *target.control)) {
            setSelected(target.control);
            event->acceptProposedAction();
        }
        return;
    }
    if (model_->acceptDrop(MimeDropItem::items(*event->mimeData()), target.control)) {
        event->acceptProposedAction();
    }
}

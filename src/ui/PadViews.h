#pragma once

#include "device/DeviceKind.h"
#include "ui/PadLayout.h"

#include <QHash>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <optional>

class Model;
class QMimeData;

// The picture of one pad in the configuration window, drawn from what the model would show on
// the pad (Model::keyPreview), with the selected control outlined in the palette's highlight
// colour. Clicking a control selects it; the arrow keys move the selection; a screen button
// dragged onto another one swaps the two; files dropped onto a control go to the model.
// DeviceView draws the Mountain DisplayPad, MSDDeviceView the MSD-TWO.
//
// Holds the model weakly and redraws whenever it changes. Main thread.
class PadView : public QWidget {
    Q_OBJECT

public:
    // The MIME type of an in-window screen-button drag (a ScreenButtonDrag as JSON).
    static QString dragMimeType();

    PadView(Model& model, QWidget* parent = nullptr);

    Model* model() const { return model_; }
    DeviceKind kind() const { return kind_; }
    std::optional<int> selected() const { return selected_; }
    void setSelected(std::optional<int> control);
    // The help text of a control, as its tooltip shows it.
    QString helpText(int control) const;
    // The control under `point` (widget coordinates), if any.
    std::optional<int> controlAt(const QPoint& point) const;
    // The centre of a control in widget coordinates, for drags and clicks from outside.
    QPoint controlCentre(int control) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

Q_SIGNALS:
    void selectionChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

    // Kind-specific parts, drawn in canvas units.
    virtual void paintBody(QPainter& painter) = 0;
    void paintScreenButton(QPainter& painter, const PadControlShape& control);
    void paintOtherControl(QPainter& painter, const PadControlShape& control);
    void paintOutline(QPainter& painter, const PadControlShape& control, double width,
                      const QColor& color);
    QImage preview(int control) const { return previews_.value(control); }
    const QImage& background() const { return background_; }

private:
    // Where a drop at `point` would go: a control, the background (none inside the screen of
    // an MSD-TWO) or nowhere.
    struct DropTarget {
        bool valid = false;
        std::optional<int> control;
    };
    DropTarget dropTarget(const QMimeData& data, const QPoint& point) const;
    QTransform canvasTransform() const;
    void reload();
    void updateAccessibleText();

    QPointer<Model> model_;
    const DeviceKind kind_;
    std::optional<int> selected_;
    std::optional<int> hovered_;
    QHash<int, QImage> previews_;
    QImage background_;
    QString backgroundKey_;
    QPoint pressPosition_;
    std::optional<int> pressed_;
};

class DeviceView : public PadView {
    Q_OBJECT
public:
    explicit DeviceView(Model& model, QWidget* parent = nullptr) : PadView(model, parent) {}

protected:
    void paintBody(QPainter& painter) override;
};

class MSDDeviceView : public PadView {
    Q_OBJECT
public:
    explicit MSDDeviceView(Model& model, QWidget* parent = nullptr) : PadView(model, parent) {}

protected:
    void paintBody(QPainter& painter) override;
};

// The view for the model's kind.
PadView* makePadView(Model& model, QWidget* parent);

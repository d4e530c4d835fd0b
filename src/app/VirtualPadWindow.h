#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class VirtualPads;

// A window that stands in for one virtual pad of --simulate: it shows the picture the pad
// holds, as the pad received it, and sends the pad's input when it is clicked: keys and screen
// buttons, the MSD-TWO's circular buttons and dial presses, and dial turns with the mouse wheel
// over a dial. Refused requests (an unplugged pad) show in the window.
//
// Main thread; `pads` must outlive the window.
class VirtualPadWindow : public QWidget {
    Q_OBJECT
public:
    VirtualPadWindow(VirtualPads& pads, QString name, QWidget* parent = nullptr);

    // One window per virtual pad, shown.
    static std::vector<std::unique_ptr<VirtualPadWindow>> showAll(VirtualPads& pads);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void refresh();
    QTransform canvasTransform() const;
    std::optional<int> controlAt(const QPointF& point) const;
    void send(const std::function<void()>& request);

    VirtualPads& pads_;
    const QString name_;
    const bool displayPad_;
    QImage picture_;
    QString problem_;
    QTimer poll_;
    int wheelRemainder_ = 0;
};

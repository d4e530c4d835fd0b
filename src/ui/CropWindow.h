#pragma once

#include <QByteArray>
#include <QImage>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QSlider;
class SquareCropView;

// The small window that crops an image the program already has (a dropped or chosen file, or a
// picture the image search handed back in another shape): the crop view at the wanted aspect
// ratio, a zoom slider and "Use This Crop". Accepting hands the PNG to the completion and
// closes the window; closing it in any way reports `closed` once. Deletes itself when closed.
// Main thread.
class CropWindow : public QWidget {
    Q_OBJECT

public:
    using Completion = std::function<void(const QByteArray& png)>;

    CropWindow(double aspectRatio, const QImage& image, Completion completion,
               std::function<void()> closed, QWidget* parent = nullptr);
    ~CropWindow() override;

    // Hands the current crop to the completion and closes; without an image it says so in the
    // status line and stays open.
    void useCrop();
    // Closes without a result: the completion never runs afterwards.
    void cancel();
    // Drops both callbacks, so that neither runs any more (closing included).
    void forget();

    SquareCropView* cropView() const { return crop_; }
    QSlider* zoomSlider() const { return zoomSlider_; }
    QPushButton* useButton() const { return use_; }
    QString status() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void reportClosed();

    SquareCropView* crop_;
    QSlider* zoomSlider_;
    QPushButton* use_;
    QLabel* status_;
    Completion completion_;
    std::function<void()> closed_;
};

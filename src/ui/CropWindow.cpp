#include "ui/CropWindow.h"

#include "ui/IconPickerIntl.h"
#include "ui/SquareCropView.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QVBoxLayout>

CropWindow::CropWindow(double aspectRatio, const QImage& image, Completion completion,
                       std::function<void()> closed, QWidget* parent)
    : QWidget(parent, Qt::Window), completion_(std::move(completion)), closed_(std::move(closed)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(IconPickerIntl::chooseDeviceImage());
    auto* layout = new QVBoxLayout(this);
    crop_ = new SquareCropView(aspectRatio, this);
    crop_->setImage(image);
    layout->addWidget(crop_, 0, Qt::AlignHCenter);
    auto* hint = new QLabel(IconPickerIntl::dragToPositionTheSquareCrop(), this);
    hint->setAlignment(Qt::AlignHCenter);
    layout->addWidget(hint);

    zoomSlider_ = crop_->makeZoomSlider(this);
    layout->addWidget(zoomSlider_);

    use_ = new QPushButton(IconPickerIntl::useThisCrop(), this);
    use_->setDefault(true);
    layout->addWidget(use_);
    connect(use_, &QPushButton::clicked, this, &CropWindow::useCrop);
    status_ = new QLabel(this);
    status_->setAccessibleName(QStringLiteral("Status"));
    status_->setWordWrap(true);
    layout->addWidget(status_);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this,
            &CropWindow::cancel);
}

CropWindow::~CropWindow() {
    // Taken down with its parent window, without a close event.
    reportClosed();
}

QString CropWindow::status() const {
    return status_->text();
}

void CropWindow::useCrop() {
    const std::optional<QByteArray> png = crop_->png();
    if (!png) {
        status_->setText(IconPickerIntl::chooseAnImageFirst());
        return;
    }
    Completion completion = std::move(completion_);
    completion_ = nullptr;
    if (completion) {
        completion(*png);
    }
    close();
}

void CropWindow::cancel() {
    completion_ = nullptr;
    close();
}

void CropWindow::forget() {
    completion_ = nullptr;
    closed_ = nullptr;
}

void CropWindow::closeEvent(QCloseEvent* event) {
    completion_ = nullptr;
    event->accept();
    reportClosed();
}

void CropWindow::reportClosed() {
    std::function<void()> closed = std::move(closed_);
    closed_ = nullptr;
    if (closed) {
        closed();
    }
}

#include "ui/WidgetDialogs.h"

#include "artwork/Artwork.h"
#include "artwork/ImageLoading.h"
#include "core/ActionError.h"
#include "model/EditingTypes.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QImageReader>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {
QString imageFilter() {
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    }
    return QStringLiteral("Images (%1)").arg(patterns.join(QLatin1Char(' ')));
}

QString picturesFolder() {
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return QDir(pictures).exists() ? pictures : QDir::homePath();
}
}  // namespace

std::optional<QString> WidgetDialogs::chooseExportPath(const QString& suggestedName) {
    const QString start = QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                              .filePath(suggestedName);
    const QString path =
        QFileDialog::getSaveFileName(window_, QStringLiteral("Export Settings"), start,
                                     QStringLiteral("Quorvel settings (*.quorvel)"));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
}

std::optional<QString> WidgetDialogs::chooseBundle() {
    // Bundles are folders, so the panel picks a folder.
    const QString path = QFileDialog::getExistingDirectory(
        window_, QStringLiteral("Import Settings"),
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
}

ModelDialogs::ImportChoice WidgetDialogs::askImportMode(const QString& message,
                                                        const QString& informativeText) {
    QMessageBox box(window_);
    box.setIcon(QMessageBox::Question);
    box.setText(message);
    box.setInformativeText(informativeText);
    QPushButton* add = box.addButton(QStringLiteral("Add Scenes"), QMessageBox::AcceptRole);
    QPushButton* replace =
        box.addButton(QStringLiteral("Replace Device Settings"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(add);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == add) {
        return ImportChoice::addScenes;
    }
    if (box.clickedButton() == replace) {
        return ImportChoice::replaceDeviceSettings;
    }
    return ImportChoice::cancel;
}

std::optional<QString> WidgetDialogs::chooseImageFile() {
    const QString path = QFileDialog::getOpenFileName(window_, QStringLiteral("Choose Image"),
                                                      picturesFolder(), imageFilter());
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
}

std::shared_ptr<ArtworkPicker> WidgetDialogs::makePicker(double aspectRatio,
                                                         std::function<void()> closed) {
    return std::make_shared<CropPicker>(window_, aspectRatio, std::move(closed));
}

QImage WidgetDialogs::centreCrop(const QImage& image, double aspectRatio) {
    if (image.isNull() || aspectRatio <= 0) {
        return image;
    }
    int width = image.width();
    int height = int(std::lround(width / aspectRatio));
    if (height > image.height()) {
        height = image.height();
        width = std::max(1, int(std::lround(height * aspectRatio)));
    }
    return image.copy((image.width() - width) / 2, (image.height() - height) / 2, width, height);
}

CropPicker::CropPicker(QWidget* window, double aspectRatio, std::function<void()> closed)
    : window_(window), aspectRatio_(aspectRatio), closed_(std::move(closed)) {
}

CropPicker::~CropPicker() {
    close();
}

void CropPicker::showCrop(const QImage& image, Completion completion) {
    close();
    const QImage cropped = WidgetDialogs::centreCrop(image, aspectRatio_);
    auto* dialog = new QDialog(window_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Crop Image"));
    auto* layout = new QVBoxLayout(dialog);
    auto* picture = new QLabel(dialog);
    picture->setAlignment(Qt::AlignCenter);
    picture->setPixmap(QPixmap::fromImage(
        cropped.scaled(320, 240, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    picture->setAccessibleName(QStringLiteral("Cropped image"));
    layout->addWidget(picture);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Use Image"));
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QObject::connect(dialog, &QDialog::accepted, dialog, [cropped, completion] {
        if (const std::optional<QByteArray> png = Artwork::png(cropped)) {
            completion(*png);
        }
    });
    std::function<void()> closed = closed_;
    QObject::connect(dialog, &QDialog::finished, dialog, [closed] {
        if (closed) {
            closed();
        }
    });
    dialog_ = dialog;
    dialog->open();
}

void CropPicker::showSearch(const QString& term, Completion completion) {
    const QString path =
        QFileDialog::getOpenFileName(window_, QStringLiteral("Choose an Image for “%1”").arg(term),
                                     picturesFolder(), imageFilter());
    if (path.isEmpty()) {
        if (closed_) {
            closed_();
        }
        return;
    }
    try {
        showCrop(ImageLoading::image(QUrl::fromLocalFile(path)), std::move(completion));
    } catch (const std::exception& error) {
        QMessageBox::warning(window_, QStringLiteral("Could not read the image"),
                             failureText(error));
        if (closed_) {
            closed_();
        }
    }
}

void CropPicker::close() {
    if (QWidget* dialog = dialog_.data()) {
        dialog_.clear();
        // Closed without a result: the completion must not run any more.
        static_cast<QDialog*>(dialog)->disconnect(SIGNAL(accepted()));
        dialog->close();
    }
}

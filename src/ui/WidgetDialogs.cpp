#include "ui/WidgetDialogs.h"

#include "ui/PickerProcess.h"

#include <QDir>
#include <QFileDialog>
#include <QImageReader>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>

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

std::shared_ptr<ArtworkPicker> WidgetDialogs::makePicker(
    double aspectRatio, std::function<void(const QString& failure)> closed) {
    return std::make_shared<PickerProcess>(window_, aspectRatio, std::move(closed));
}

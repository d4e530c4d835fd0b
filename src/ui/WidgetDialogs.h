#pragma once

#include "model/ModelDialogs.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

// The panels and questions of the editing and settings operations as Qt dialogs, parented to
// the configuration window (which every device model is given while the window exists).
// Main thread.
class WidgetDialogs : public ModelDialogs {
public:
    explicit WidgetDialogs(QWidget* window) : window_(window) {}

    std::optional<QString> chooseExportPath(const QString& suggestedName) override;
    std::optional<QString> chooseBundle() override;
    ImportChoice askImportMode(const QString& message, const QString& informativeText) override;
    std::optional<QString> chooseImageFile() override;
    std::shared_ptr<ArtworkPicker> makePicker(double aspectRatio,
                                              std::function<void()> closed) override;

    // The largest centred part of `image` of width / height = `aspectRatio`.
    static QImage centreCrop(const QImage& image, double aspectRatio);

private:
    QPointer<QWidget> window_;
};

// The artwork picker until the web image search has its own window: the crop view shows the
// centred part of the picture at the wanted shape and asks before using it; a "search" asks for
// an image file instead. Main thread.
class CropPicker : public ArtworkPicker {
public:
    CropPicker(QWidget* window, double aspectRatio, std::function<void()> closed);
    ~CropPicker() override;

    void showCrop(const QImage& image, Completion completion) override;
    void showSearch(const QString& term, Completion completion) override;
    void close() override;

private:
    QPointer<QWidget> window_;
    const double aspectRatio_;
    std::function<void()> closed_;
    QPointer<QWidget> dialog_;
};

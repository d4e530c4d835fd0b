#pragma once

#include "model/ModelDialogs.h"

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
    // A PickerProcess: the crop window here, the web image search in its own program.
    std::shared_ptr<ArtworkPicker> makePicker(
        double aspectRatio, std::function<void(const QString& failure)> closed) override;

private:
    QPointer<QWidget> window_;
};

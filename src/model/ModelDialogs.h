#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// The artwork picker of one device (crop view and web image search), as the editing operations
// use it. The window provides it; at most one is open per device.
//
// Main thread. Completions run on the main thread with the PNG bytes the user accepted, never
// when the picker was closed without a result.
class ArtworkPicker {
public:
    using Completion = std::function<void(const QByteArray& png)>;
    virtual ~ArtworkPicker() = default;

    // Shows the crop view for `image` at the picker's aspect ratio.
    virtual void showCrop(const QImage& image, Completion completion) = 0;
    // Starts a web image search for `term`; a chosen picture goes through the crop view too.
    virtual void showSearch(const QString& term, Completion completion) = 0;
    // Closes the picker's window, if open; no completion runs afterwards.
    virtual void close() = 0;
};

// The modal questions and panels of the settings exchange and the editing operations. The
// configuration window implements them; without a window there is none, and the operations that
// need one say so in the status line instead of guessing an answer.
//
// Main thread; every call returns when the user has answered.
class ModelDialogs {
public:
    enum class ImportChoice { addScenes, replaceDeviceSettings, cancel };

    virtual ~ModelDialogs() = default;

    // A save panel for settings bundles, offering `suggestedName`; none when cancelled.
    virtual std::optional<QString> chooseExportPath(const QString& suggestedName) = 0;
    // An open panel for one settings bundle; none when cancelled.
    virtual std::optional<QString> chooseBundle() = 0;
    // The three-way question of an import, with the buttons "Add Scenes", "Replace Device
    // Settings" and "Cancel" in this order.
    virtual ImportChoice askImportMode(const QString& message, const QString& informativeText) = 0;
    // An open panel for one image file (no folders); none when cancelled.
    virtual std::optional<QString> chooseImageFile() = 0;
    // A new artwork picker for pictures of width / height = `aspectRatio`. `closed` runs once on
    // the main thread when its window closes, with or without a result; `failure` is empty
    // unless the picker failed (the search could not start or ended abnormally), when it is the
    // text to show the user.
    virtual std::shared_ptr<ArtworkPicker> makePicker(
        double aspectRatio, std::function<void(const QString& failure)> closed) = 0;
};

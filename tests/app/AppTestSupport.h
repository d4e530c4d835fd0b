#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <functional>

struct QuorvelScene;

// Device ids of the standard virtual pads.
QString virtualDisplayPadID();
QString virtualMsdTwoID();

// Lays down a bindings file for the virtual DisplayPad under `settingsRoot`: one default scene,
// changed by `edit`.
void writeDisplayPadScene(const QString& settingsRoot,
                          const std::function<void(QuorvelScene&)>& edit);

// Lays down a bindings file for the virtual DisplayPad under `settingsRoot` in which key 1 shows
// a solid image of `color` (written beside it in `imageFolder`).
void writeColoredKeyOne(const QString& settingsRoot, const QString& imageFolder,
                        const QColor& color);

// The colour in the middle of DisplayPad key 1...12 in a picture of the whole pad.
QColor displayPadKeyColor(const QImage& picture, int key);

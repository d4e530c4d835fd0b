#pragma once

#include "config/Binding.h"

#include <QString>

#include <optional>

class Model;
class QLabel;
class QWidget;

// Small pieces the views share. Main thread.

// A section heading ("ACTION", "YOUR DEVICE"): small bold capitals in the palette's muted text
// colour.
QLabel* sectionHeading(const QString& text, QWidget* parent);
// A wrapped help text under a control, in the muted text colour.
QLabel* helpText(const QString& text, QWidget* parent);
// The binding of `control` in the model's active scene; none without a model or such a control.
std::optional<Binding> activeBinding(const Model* model, int control);

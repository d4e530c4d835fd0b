#include "ui/ViewHelpers.h"

#include "model/Model.h"

#include <QLabel>

QLabel* sectionHeading(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 0.85);
    label->setFont(font);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QLabel* helpText(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

std::optional<Binding> activeBinding(const Model* model, int control) {
    if (!model) {
        return std::nullopt;
    }
    for (const Binding& binding : model->activeScene().keys) {
        if (binding.id == control) {
            return binding;
        }
    }
    return std::nullopt;
}

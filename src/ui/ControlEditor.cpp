#include "ui/ControlEditor.h"
#include "ui/ViewHelpers.h"

#include "actions/ActionCatalog.h"
#include "model/Model.h"
#include "scripting/ScriptObjects.h"
#include "ui/ActionEditors.h"
#include "ui/PadLayout.h"
#include "ui/Symbols.h"

#include <QActionGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

ScriptNameEditor::ScriptNameEditor(Model& model, int control, QWidget* parent)
    : QWidget(parent), model_(&model), control_(control) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("Script name"), this);
    name_ = new QLineEdit(this);
    name_->setPlaceholderText(QStringLiteral("Scene1Button1"));
    name_->setAccessibleName(QStringLiteral("Script name"));
    label->setBuddy(name_);
    auto* reset = new QPushButton(QStringLiteral("Reset appearance"), this);
    reset->setToolTip(
        QStringLiteral("Restore configured artwork and clear this button's runtime badges"));
    row->addWidget(label);
    row->addWidget(name_, 1);
    row->addWidget(reset);
    layout->addLayout(row);
    layout->addWidget(
        helpText(QStringLiteral("Use this name to reference the button in AppleScript."), this));
    connect(name_, &QLineEdit::editingFinished, this, &ScriptNameEditor::rename);
    connect(reset, &QPushButton::clicked, this, [this] {
        const std::optional<Binding> binding = activeBinding(model_, control_);
        if (binding && binding->scriptID) {
            model_->setRuntimeIcon(*binding->scriptID, QImage());
            model_->setRuntimeBadges(*binding->scriptID, {});
        }
    });
}

void ScriptNameEditor::rename() {
    const std::optional<Binding> binding = activeBinding(model_, control_);
    if (!binding || !binding->scriptID ||
        name_->text() == binding->scriptName.value_or(QString())) {
        return;
    }
    try {
        ScriptScreenButton(model_, model_->activeSceneID(), *binding->scriptID)
            .setName(name_->text());
    } catch (const ActionError& error) {
        model_->report(error.message());
        name_->setText(binding->scriptName.value_or(QString()));
    }
}

void ScriptNameEditor::refresh(const Binding& binding) {
    if (!name_->hasFocus()) {
        name_->setText(binding.scriptName.value_or(QString()));
    }
}

DialPresetMenu::DialPresetMenu(Model& model, int control, QWidget* parent) : QToolButton(parent) {
    setText(QStringLiteral("Set entire dial…"));
    setPopupMode(QToolButton::InstantPopup);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto* menu = new QMenu(this);
    QPointer<Model> target(&model);
    for (DialPreset preset : DialPresets::allCases) {
        menu->addAction(DialPresets::rawValue(preset), this, [target, preset, control] {
            if (target) {
                target->applyDialPreset(preset, control);
            }
        });
    }
    setMenu(menu);
}

ControlEditor::ControlEditor(Model& model, int control, QWidget* parent)
    : QWidget(parent), model_(&model), control_(control) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* header = new QHBoxLayout;
    preview_ = new QLabel(this);
    preview_->setFixedSize(64, 64);
    preview_->setAccessibleName(QStringLiteral("Preview"));
    name_ = new QLabel(this);
    QFont font = name_->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.25);
    name_->setFont(font);
    name_->setWordWrap(true);
    header->addWidget(preview_);
    header->addWidget(name_, 1);
    layout->addLayout(header);

    const bool screenButton = control >= 1 && control <= model.kind().keyCount();
    const std::optional<Binding> binding = current();
    if (screenButton && binding && binding->scriptID) {
        scriptName_ = new ScriptNameEditor(model, control, this);
        layout->addWidget(scriptName_);
    }
    if (DialPresets::controls(control)) {
        layout->addWidget(new DialPresetMenu(model, control, this), 0, Qt::AlignLeft);
    }

    layout->addSpacing(8);
    layout->addWidget(sectionHeading(QStringLiteral("ACTION"), this));
    actionButton_ = new QPushButton(this);
    actionButton_->setAccessibleName(QStringLiteral("Action"));
    actionMenu_ = new QMenu(QStringLiteral("Action"), this);
    actionButton_->setMenu(actionMenu_);
    buildActionMenu();
    layout->addWidget(actionButton_);
    summary_ = helpText(QString(), this);
    layout->addWidget(summary_);
    actionEditorSlot_ = new QVBoxLayout;
    layout->addLayout(actionEditorSlot_);

    if (screenButton) {
        layout->addSpacing(8);
        layout->addWidget(sectionHeading(QStringLiteral("ICON"), this));
        iconRow_ = new QWidget(this);
        // The state above its buttons: three buttons and the state do not fit in one line.
        auto* iconLines = new QVBoxLayout(iconRow_);
        iconLines->setContentsMargins(0, 0, 0, 0);
        auto* icons = new QHBoxLayout;
        iconState_ = new QLabel(iconRow_);
        auto* choose = new QPushButton(QStringLiteral("Choose image…"), iconRow_);
        auto* search = new QPushButton(QStringLiteral("Search the web…"), iconRow_);
        search->setAccessibleName(QStringLiteral("Search the web for an image"));
        search->setToolTip(QStringLiteral("Search the web for an image for this button"));
        automaticIcon_ = new QPushButton(QStringLiteral("Use automatic icon"), iconRow_);
        iconLines->addWidget(iconState_);
        iconLines->addLayout(icons);
        icons->addWidget(choose);
        icons->addWidget(search);
        icons->addWidget(automaticIcon_);
        icons->addStretch(1);
        layout->addWidget(iconRow_);
        connect(choose, &QPushButton::clicked, this, [this] {
            if (model_) {
                model_->chooseArtwork(control_, false);
            }
        });
        connect(search, &QPushButton::clicked, this, [this] {
            if (model_) {
                model_->chooseArtwork(control_, true);
            }
        });
        connect(automaticIcon_, &QPushButton::clicked, this, [this] {
            if (model_) {
                model_->editActiveBinding(control_,
                                          [](Binding& binding) { binding.imagePath.reset(); });
            }
        });
    }

    layout->addSpacing(8);
    auto* test =
        new QPushButton(Symbols::icon(QStringLiteral("play")), QStringLiteral("Test action"), this);
    connect(test, &QPushButton::clicked, this, [this] {
        if (const std::optional<Binding> binding = current(); binding && model_) {
            model_->execute(*binding);
        }
    });
    layout->addWidget(test, 0, Qt::AlignLeft);
    layout->addStretch(1);

    connect(&model, &Model::changed, this, &ControlEditor::refresh);
    connect(&model, &Model::displayUpdated, this, &ControlEditor::refresh);
    refresh();
}

std::optional<Binding> ControlEditor::current() const {
    return activeBinding(model_, control_);
}

void ControlEditor::chooseAction(const QString& name) {
    if (!model_) {
        return;
    }
    model_->editActiveBinding(control_, [&name](Binding& binding) {
        // A step chosen for one action means nothing to another; the same action changes
        // nothing, and an unchanged binding is not saved.
        if (binding.action != name) {
            binding.adjustmentStep.reset();
            binding.action = name;
        }
    });
}

void ControlEditor::buildActionMenu() {
    auto* group = new QActionGroup(actionMenu_);
    const auto addChoice = [this, group](QMenu* menu, const QString& name) {
        QAction* choice = menu->addAction(name, this, [this, name] { chooseAction(name); });
        choice->setCheckable(true);
        choice->setData(name);
        group->addAction(choice);
    };
    addChoice(actionMenu_, QStringLiteral("None"));
    actionMenu_->addSeparator();
    for (const ActionGroup& actions : ActionCatalog::groups()) {
        QMenu* submenu = actionMenu_->addMenu(actions.name);
        for (const auto& action : actions.actions) {
            addChoice(submenu, action->name());
        }
    }
}

void ControlEditor::checkAction(const QString& name) {
    // Only the check marks change: the menu may be open while the pad redraws.
    for (QAction* choice : actionMenu_->findChildren<QAction*>()) {
        if (choice->isCheckable()) {
            choice->setChecked(choice->data().toString() == name);
        }
    }
}

void ControlEditor::refresh() {
    const std::optional<Binding> binding = current();
    if (!model_ || !binding) {
        setEnabled(false);
        return;
    }
    setEnabled(true);
    const QImage image = model_->keyPreview(*binding).value_or(QImage());
    preview_->setVisible(!image.isNull());
    preview_->setPixmap(image.isNull() ? QPixmap()
                                       : QPixmap::fromImage(image.scaled(
                                             preview_->size() * devicePixelRatioF(),
                                             Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    const QString label = PadLayout::label(model_->kind(), control_);
    // A renamed control keeps its place in the title; a default name says no more than the label.
    const bool renamed = binding->name != model_->kind().controlName(control_);
    name_->setText(renamed ? binding->name + QStringLiteral(" — ") + label : label);
    if (scriptName_) {
        scriptName_->refresh(*binding);
    }

    const MacroAction& action = ActionCatalog::action(binding->action);
    actionButton_->setText(action.name());
    checkAction(action.name());
    const std::optional<QString> summary = action.summary(*model_);
    summary_->setText(summary.value_or(QString()));
    summary_->setVisible(summary.has_value());
    if (editorAction_ != action.name() || !actionEditor_) {
        if (BindingEditor* old = std::exchange(actionEditor_, nullptr)) {
            old->hide();
            old->deleteLater();
        }
        actionEditor_ = makeActionEditor(action, *model_, control_, this);
        editorAction_ = action.name();
        if (actionEditor_) {
            actionEditorSlot_->addWidget(actionEditor_);
        }
    }
    if (actionEditor_) {
        actionEditor_->refresh(*binding);
    }
    if (iconRow_) {
        iconState_->setText(binding->imagePath ? QStringLiteral("Custom icon")
                                               : QStringLiteral("Automatic icon"));
        automaticIcon_->setVisible(binding->imagePath.has_value());
    }
}

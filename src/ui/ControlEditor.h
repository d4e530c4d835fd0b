#pragma once

#include "config/Binding.h"

#include <QPointer>
#include <QToolButton>
#include <QWidget>

#include <optional>

class BindingEditor;
class Model;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;
class QVBoxLayout;

// The script name of a screen button, with "Reset appearance" for what scripts drew on it.
class ScriptNameEditor : public QWidget {
    Q_OBJECT
public:
    ScriptNameEditor(Model& model, int control, QWidget* parent = nullptr);
    void refresh(const Binding& binding);

private:
    void rename();
    QPointer<Model> model_;
    const int control_;
    QLineEdit* name_;
};

// "Set entire dial…": every ready-made layout for the dial that the control belongs to.
class DialPresetMenu : public QToolButton {
    Q_OBJECT
public:
    DialPresetMenu(Model& model, int control, QWidget* parent = nullptr);
};

// The editor of one control's binding: its preview and name, the action menu with the action's
// own editor, the icon choice and "Test action". Follows the model: a change made elsewhere (a
// script, a recording, another scene) shows at once. Main thread; holds the model weakly.
class ControlEditor : public QWidget {
    Q_OBJECT
public:
    ControlEditor(Model& model, int control, QWidget* parent = nullptr);

    int control() const { return control_; }
    // The "Action" menu: groups as submenus, the current action checked.
    QMenu* actionMenu() const { return actionMenu_; }
    // Sets the action: a different one starts again from the action's default step.
    void chooseAction(const QString& name);

private:
    void refresh();
    std::optional<Binding> current() const;
    void buildActionMenu();
    void checkAction(const QString& name);

    QPointer<Model> model_;
    const int control_;
    QLabel* preview_;
    QLabel* name_;
    ScriptNameEditor* scriptName_ = nullptr;
    QPushButton* actionButton_;
    QMenu* actionMenu_;
    QLabel* summary_;
    QVBoxLayout* actionEditorSlot_;
    BindingEditor* actionEditor_ = nullptr;
    QString editorAction_;
    QWidget* iconRow_ = nullptr;
    QLabel* iconState_ = nullptr;
    QPushButton* automaticIcon_ = nullptr;
};

#pragma once

#include "config/Binding.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

class Model;
class MacroAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

// Base of the editors of one control's binding in the configuration window. Every edit is
// applied to the control's binding in the active scene and saved through the model at once.
// Main thread; holds the model weakly.
class BindingEditor : public QWidget {
    Q_OBJECT
public:
    BindingEditor(Model& model, int control, QWidget* parent = nullptr);
    // Shows `binding`, leaving a field the user is typing in alone.
    virtual void refresh(const Binding& binding) = 0;

protected:
    // The control's binding in the active scene; none when it is gone.
    std::optional<Binding> current() const;
    // Changes the binding and saves; a change that leaves it as it was saves nothing.
    void edit(const std::function<void(Binding&)>& change);
    Model* model() const { return model_; }
    int control() const { return control_; }

private:
    QPointer<Model> model_;
    const int control_;
};

// A recorded key combination: "Record keystroke" starts the model's shortcut recording.
class KeystrokeEditor : public BindingEditor {
    Q_OBJECT
public:
    KeystrokeEditor(Model& model, int control, QWidget* parent = nullptr);
    void refresh(const Binding& binding) override;

private:
    QLabel* shortcut_;
    QPushButton* record_;
};

// A web address and the browser that opens it.
class URLEditor : public BindingEditor {
    Q_OBJECT
public:
    URLEditor(Model& model, int control, QWidget* parent = nullptr);
    void refresh(const Binding& binding) override;

private:
    void fillBrowsers(const std::optional<QString>& stored);
    QLineEdit* address_;
    QComboBox* browser_;
    QLabel* invalid_;
};

// Script text, saved shortly after typing stops and when the editor goes away.
class ScriptEditor : public BindingEditor {
    Q_OBJECT
public:
    ScriptEditor(Model& model, int control, QWidget* parent = nullptr);
    ~ScriptEditor() override;
    void refresh(const Binding& binding) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void commit();
    QPlainTextEdit* text_;
    QTimer pending_;
};

// A folder or an application (desktop entry) path with a chooser.
class PathEditor : public BindingEditor {
    Q_OBJECT
public:
    enum class Target { folder, application };
    PathEditor(Target target, Model& model, int control, QWidget* parent = nullptr);
    void refresh(const Binding& binding) override;

private:
    void choose();
    const Target target_;
    QLineEdit* path_;
};

// The step of an adjustment action, in percent points.
class StepEditor : public BindingEditor {
    Q_OBJECT
public:
    StepEditor(Model& model, int control, QWidget* parent = nullptr);
    void refresh(const Binding& binding) override;

private:
    QSpinBox* step_;
};

// The editor the action `action` brings along (none for actions without settings).
BindingEditor* makeActionEditor(const MacroAction& action, Model& model, int control,
                                QWidget* parent);

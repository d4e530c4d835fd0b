#include "ui/ActionEditors.h"
#include "ui/ViewHelpers.h"

#include "actions/ActionCatalog.h"
#include "actions/AdjustmentAction.h"
#include "actions/KeystrokeAction.h"
#include "actions/OpenActions.h"
#include "actions/ScriptActions.h"
#include "actions/Workspace.h"
#include "model/Model.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {
// Leaves the text alone while the user is typing in the field.
void showText(QLineEdit* field, const QString& text) {
    if (!field->hasFocus() && field->text() != text) {
        field->setText(text);
    }
}
}  // namespace

BindingEditor::BindingEditor(Model& model, int control, QWidget* parent)
    : QWidget(parent), model_(&model), control_(control) {
}

std::optional<Binding> BindingEditor::current() const {
    return activeBinding(model_, control_);
}

void BindingEditor::edit(const std::function<void(Binding&)>& change) {
    if (model_) {
        model_->editActiveBinding(control_, change);
    }
}

KeystrokeEditor::KeystrokeEditor(Model& model, int control, QWidget* parent)
    : BindingEditor(model, control, parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* row = new QHBoxLayout;
    shortcut_ = new QLabel(this);
    QFont font = shortcut_->font();
    font.setBold(true);
    shortcut_->setFont(font);
    record_ = new QPushButton(QStringLiteral("Record keystroke"), this);
    row->addWidget(shortcut_, 1);
    row->addWidget(record_);
    layout->addLayout(row);
    layout->addWidget(helpText(
        QStringLiteral("Records one key or key combination. For media keys, select a Media & "
                       "Audio action. Playback requires Accessibility access."),
        this));
    connect(record_, &QPushButton::clicked, this, [this] {
        if (Model* target = this->model()) {
            target->setRecording(this->control());
        }
    });
}

void KeystrokeEditor::refresh(const Binding& binding) {
    const bool recording = model() && model()->recording() == binding.id;
    record_->setEnabled(!recording);
    if (recording) {
        shortcut_->setText(QStringLiteral("Press keys… (Esc cancels)"));
    } else {
        shortcut_->setText(
            binding.recordedShortcut.value_or(QStringLiteral("No keystroke recorded")));
    }
    shortcut_->setAccessibleName(shortcut_->text());
}

URLEditor::URLEditor(Model& model, int control, QWidget* parent)
    : BindingEditor(model, control, parent) {
    auto* layout = new QFormLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    address_ = new QLineEdit(this);
    address_->setPlaceholderText(QStringLiteral("https://example.com"));
    address_->setAccessibleName(QStringLiteral("Web address"));
    browser_ = new QComboBox(this);
    browser_->setAccessibleName(QStringLiteral("Browser"));
    invalid_ = helpText(QStringLiteral("Enter an HTTP or HTTPS URL to enable this action."), this);
    layout->addRow(QStringLiteral("URL"), address_);
    layout->addRow(QStringLiteral("Browser"), browser_);
    layout->addRow(helpText(QStringLiteral("Uses the site's icon automatically. You can choose "
                                           "a custom image above."),
                            this));
    layout->addRow(invalid_);
    connect(address_, &QLineEdit::textEdited, this,
            [this](const QString& text) { invalid_->setVisible(!OpenURLAction::url(text)); });
    connect(address_, &QLineEdit::editingFinished, this, [this] {
        const QString text = address_->text();
        edit([&text](Binding& binding) { binding.argument = text; });
    });
    connect(browser_, &QComboBox::activated, this, [this](int index) {
        const QString id = browser_->itemData(index).toString();
        edit([&id](Binding& binding) {
            binding.browserBundleID = id.isEmpty() ? std::nullopt : std::optional<QString>(id);
        });
    });
    fillBrowsers(current() ? current()->browserBundleID : std::nullopt);
}

void URLEditor::fillBrowsers(const std::optional<QString>& stored) {
    browser_->clear();
    browser_->addItem(QStringLiteral("System Default"), QString());
    QList<InstalledBrowser> browsers;
    if (model() && model()->services().workspace) {
        browsers = InstalledBrowser::all(*model()->services().workspace);
    }
    bool found = !stored;
    for (const InstalledBrowser& browser : browsers) {
        browser_->addItem(browser.name, browser.id);
        found = found || browser.id == *stored;
    }
    if (!found) {
        browser_->addItem(QStringLiteral("Unavailable browser (") + *stored + QStringLiteral(")"),
                          *stored);
    }
}

void URLEditor::refresh(const Binding& binding) {
    showText(address_, binding.argument);
    if (!address_->hasFocus()) {
        invalid_->setVisible(!OpenURLAction::url(binding.argument));
    }
    int index = browser_->findData(binding.browserBundleID.value_or(QString()));
    if (index < 0) {
        fillBrowsers(binding.browserBundleID);
        index = browser_->findData(binding.browserBundleID.value_or(QString()));
    }
    browser_->setCurrentIndex(std::max(index, 0));
}

ScriptEditor::ScriptEditor(Model& model, int control, QWidget* parent)
    : BindingEditor(model, control, parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    text_ = new QPlainTextEdit(this);
    text_->setAccessibleName(QStringLiteral("Script"));
    text_->setTabChangesFocus(true);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setMinimumHeight(120);
    layout->addWidget(text_);
    text_->installEventFilter(this);
    // Saving on every key stroke would rewrite the files and redraw the pad each time.
    pending_.setSingleShot(true);
    pending_.setInterval(500);
    connect(&pending_, &QTimer::timeout, this, &ScriptEditor::commit);
    connect(text_, &QPlainTextEdit::textChanged, this, [this] {
        if (text_->document()->isModified()) {
            pending_.start();
        }
    });
}

ScriptEditor::~ScriptEditor() = default;

bool ScriptEditor::eventFilter(QObject* watched, QEvent* event) {
    // Leaving the field saves at once: a click elsewhere may replace this editor.
    if (watched == text_ && event->type() == QEvent::FocusOut && pending_.isActive()) {
        commit();
    }
    return BindingEditor::eventFilter(watched, event);
}

void ScriptEditor::commit() {
    pending_.stop();
    const QString text = text_->toPlainText();
    text_->document()->setModified(false);
    edit([&text](Binding& binding) { binding.argument = text; });
}

void ScriptEditor::refresh(const Binding& binding) {
    if (!pending_.isActive() && text_->toPlainText() != binding.argument) {
        text_->setPlainText(binding.argument);
        text_->document()->setModified(false);
    }
}

PathEditor::PathEditor(Target target, Model& model, int control, QWidget* parent)
    : BindingEditor(model, control, parent), target_(target) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    path_ = new QLineEdit(this);
    const bool folder = target == Target::folder;
    path_->setPlaceholderText(folder ? QStringLiteral("~/Documents")
                                     : QStringLiteral("/usr/share/applications/….desktop"));
    path_->setAccessibleName(folder ? QStringLiteral("Folder") : QStringLiteral("Application"));
    auto* choose = new QPushButton(QStringLiteral("Choose…"), this);
    choose->setAccessibleName(folder ? QStringLiteral("Choose folder")
                                     : QStringLiteral("Choose application"));
    layout->addWidget(path_, 1);
    layout->addWidget(choose);
    connect(choose, &QPushButton::clicked, this, &PathEditor::choose);
    connect(path_, &QLineEdit::editingFinished, this, [this] {
        const QString text = path_->text().trimmed();
        edit([&text](Binding& binding) { binding.argument = text; });
    });
}

void PathEditor::choose() {
    QString chosen;
    if (target_ == Target::folder) {
        chosen = QFileDialog::getExistingDirectory(this, QStringLiteral("Choose Folder"),
                                                   QDir::homePath());
    } else {
        const QStringList places =
            QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
        chosen = QFileDialog::getOpenFileName(
            this, QStringLiteral("Choose Application"),
            places.isEmpty() ? QStringLiteral("/usr/share/applications") : places.last(),
            QStringLiteral("Applications (*.desktop)"));
    }
    if (chosen.isEmpty()) {
        return;
    }
    path_->setText(chosen);
    edit([&chosen](Binding& binding) { binding.argument = chosen; });
}

void PathEditor::refresh(const Binding& binding) {
    showText(path_, binding.argument);
}

StepEditor::StepEditor(Model& model, int control, QWidget* parent)
    : BindingEditor(model, control, parent) {
    auto* layout = new QFormLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    step_ = new QSpinBox(this);
    step_->setRange(1, 100);
    step_->setSuffix(QStringLiteral(" %"));
    step_->setAccessibleName(QStringLiteral("Step"));
    layout->addRow(QStringLiteral("Step"), step_);
    // Typed values count once the field is left or Return pressed; arrows and the wheel at once.
    step_->setKeyboardTracking(false);
    connect(step_, &QSpinBox::valueChanged, this, [this](int value) {
        edit([value](Binding& binding) { binding.adjustmentStep = value; });
    });
}

void StepEditor::refresh(const Binding& binding) {
    const auto* action =
        dynamic_cast<const AdjustmentAction*>(&ActionCatalog::action(binding.action));
    if (!action || step_->hasFocus()) {
        return;
    }
    const QSignalBlocker blocker(step_);
    step_->setValue(action->step(binding));
}

BindingEditor* makeActionEditor(const MacroAction& action, Model& model, int control,
                                QWidget* parent) {
    if (dynamic_cast<const KeystrokeAction*>(&action)) {
        return new KeystrokeEditor(model, control, parent);
    }
    if (dynamic_cast<const OpenURLAction*>(&action)) {
        return new URLEditor(model, control, parent);
    }
    if (dynamic_cast<const ScriptAction*>(&action)) {
        return new ScriptEditor(model, control, parent);
    }
    if (dynamic_cast<const OpenFolderAction*>(&action)) {
        return new PathEditor(PathEditor::Target::folder, model, control, parent);
    }
    if (dynamic_cast<const OpenApplicationAction*>(&action)) {
        return new PathEditor(PathEditor::Target::application, model, control, parent);
    }
    if (dynamic_cast<const AdjustmentAction*>(&action)) {
        return new StepEditor(model, control, parent);
    }
    return nullptr;
}

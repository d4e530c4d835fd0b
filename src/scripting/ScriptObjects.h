#pragma once

#include "config/BadgeStyle.h"
#include "config/Binding.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QUuid>
#include <QVariant>

#include <exception>
#include <functional>
#include <optional>
#include <string>

class Model;

// A scripting request that was refused. `message` is what the script and the device's status
// line show; `reason` lets a transport name the error without parsing the text.
class ScriptError : public std::exception {
public:
    enum Reason {
        invalidName,
        invalidIcon,
        imageRefused,
        invalidValue,
        invalidColor,
        renameRefused
    };

    ScriptError(Reason reason, QString message)
        : reason_(reason), message_(std::move(message)), utf8_(message_.toStdString()) {}

    Reason reason() const noexcept { return reason_; }
    const QString& message() const noexcept { return message_; }
    const char* what() const noexcept override { return utf8_.c_str(); }

private:
    Reason reason_;
    QString message_;
    std::string utf8_;
};

// The texts scripts see when a value is refused.
namespace ScriptMessages {
inline const QString emptyName = QStringLiteral("A script name cannot be empty");
inline const QString iconLocation = QStringLiteral("Set icon to a local file or missing value");
inline const QString badgeValue =
    QStringLiteral("Badge value must be a nonnegative integer or missing value");
inline const QString badgeColor =
    QStringLiteral("Use a named color, #RRGGBB, #RRGGBBAA, or missing value");
}  // namespace ScriptMessages

// True for what stands for "no value" in a script: an absent or null value.
bool isMissingScriptValue(const QVariant& value);

class ScriptBadge;

// One LCD key of one scene, addressed by its binding's script id; or, when `referenceName` is
// set, every screen button of that name (on every device, or on the device `referenceDeviceID`).
// A value: cheap to copy, made fresh for each request. The model is held weakly, since a script
// may keep the object longer than the pad's model lives; a gone model answers with empty values
// and ignores writes.
//
// Main thread only. Setters throw ScriptError (after showing the message in the device's status
// line) and leave everything unchanged when they do.
class ScriptScreenButton {
public:
    ScriptScreenButton(Model* model, QUuid sceneID, QString uniqueID,
                       std::optional<QString> referenceName = std::nullopt,
                       std::optional<QString> referenceDeviceID = std::nullopt);

    Model* model() const { return model_.data(); }
    const QUuid& sceneID() const { return sceneID_; }
    const QString& uniqueID() const { return uniqueID_; }
    const std::optional<QString>& referenceName() const { return referenceName_; }
    const std::optional<QString>& referenceDeviceID() const { return referenceDeviceID_; }

    // The button itself, or for a by-name object every button of the registry with that name
    // (on the reference device only, when there is one).
    QList<ScriptScreenButton> targets() const;
    // The binding this object stands for (the first target's that has one, by name); none when
    // the model, the scene or the binding is gone.
    std::optional<Binding> binding() const;
    // Applies `change` to the binding of every target and saves each model; gone targets are
    // skipped.
    void edit(const std::function<void(Binding&)>& change) const;

    // The binding's script name; empty when there is none or the binding is gone.
    QString name() const;
    // Through ScriptingRegistry::rename.
    void setName(const QString& name) const;

    // The file the run-time icon was loaded from (of the first target, by name).
    std::optional<QString> icon() const;
    // The path named by `location` (an absolute path or a file: URL); none when it names no
    // local file.
    static std::optional<QString> iconPath(const QString& location);
    static constexpr int runtimeIconSide = 512;
    // Loads the picture at `location` (none: removes the run-time icon) and shows it in place of
    // the configured artwork on every target. The file is read once, through the bounded image
    // loading, and closed before this returns; a larger picture is kept at most
    // `runtimeIconSide` pixels on its longer side.
    void setIcon(const std::optional<QString>& location) const;

    // The nine badge positions, in BadgeStyle::positions() order.
    QList<ScriptBadge> badges() const;

    // Shows `message` in the device's status line when the model still exists, and throws it.
    [[noreturn]] void fail(ScriptError::Reason reason, const QString& message) const;
    // The pad and any window redraw the button: its cached key images are dropped.
    void appearanceChanged() const;

private:
    QPointer<Model> model_;
    QUuid sceneID_;
    QString uniqueID_;
    std::optional<QString> referenceName_;
    std::optional<QString> referenceDeviceID_;
};

// One badge position of a screen button (of all of them, for a by-name button).
class ScriptBadge {
public:
    ScriptBadge(ScriptScreenButton button, QString name)
        : button_(std::move(button)), name_(std::move(name)) {}

    const ScriptScreenButton& button() const { return button_; }
    const QString& name() const { return name_; }

    // The first target's badge at this position, or the default badge there.
    BadgeStyle style() const;
    // Applies `change` to the badge of every target that still has its model and binding.
    void edit(const std::function<void(BadgeStyle&)>& change) const;

    // A whole number 0 <= n < 2^63, of any numeric type; a missing value clears the number.
    void setValue(const QVariant& value) const;
    // A colour BadgeStyle::resolveColor accepts, stored as given; none clears it.
    void setColor(const std::optional<QString>& color) const;
    void setDisplayed(bool displayed) const;
    void setTruncation(bool truncation) const;

private:
    ScriptScreenButton button_;
    QString name_;
};

// One pad's model as scripts see it.
class ScriptDevice {
public:
    explicit ScriptDevice(Model* model) : model_(model) {}

    Model* model() const { return model_.data(); }
    QString uniqueID() const;
    QString name() const;
    // Model::renameDevice; its refusal becomes ScriptError::renameRefused.
    void setName(const QString& name) const;
    bool connected() const;
    QList<ScriptScreenButton> screenButtons() const;
    // A by-name object for every button of that name on this device; none when no button has it.
    std::optional<ScriptScreenButton> screenButtonsWithName(const QString& name) const;

private:
    QPointer<Model> model_;
};

#pragma once

#include "config/QuorvelScene.h"
#include "device/DeviceKind.h"

#include <QList>
#include <QPointer>
#include <QSet>
#include <QString>

#include <memory>
#include <optional>

class DeviceStore;
class Model;
class ModelDirectory;
class ScriptScreenButton;

// The scripting interface's view of all pads. Screen buttons (LCD-key bindings) are addressed
// by the `scriptName` and `scriptID` stored in their bindings; this registry keeps those names
// and ids complete and the ids unique across every device it can see.
//
// One shared instance; main thread only.
class ScriptingRegistry {
public:
    static ScriptingRegistry& shared();

    // Scripts reach the pads of `store` from now on (held weakly), and every pad is redrawn
    // when the desktop's colours change, so that badges coloured by name follow the theme.
    void start(DeviceStore* store);
    // Scripts reach no pad any more; colour changes are no longer followed.
    void stop();
    DeviceStore* store() const;

    // Every screen button of every scene of every device, in the store's order; empty when
    // the store is gone or not started.
    QList<ScriptScreenButton> buttons() const;
    // The first button named `name` (exactly), as a by-name object standing for every button of
    // that name: on all devices, or on the device `deviceID` only. None when there is none.
    std::optional<ScriptScreenButton> screenButtonsWithName(
        const QString& name, const std::optional<QString>& deviceID = std::nullopt) const;
    // Sets the script name of `button` (of all of them, by name) as given. Throws ActionError
    // "A script name cannot be empty" when it is blank after trimming; nothing changes then.
    void rename(const ScriptScreenButton& button, const QString& name) const;

    // Which models exist besides the one being saved. Held weakly: once the directory is gone,
    // or before one is given, ids are only made unique within the model itself.
    void setModelDirectory(std::weak_ptr<const ModelDirectory> directory);

    // Called by Model::save() before writing. Gives every LCD-key binding of every scene of
    // `model` a script name (the automatic "Scene<n>Button<id>" when it has none) and a script
    // id that is UUID text and unique across all scenes of all models of the directory. Valid
    // ids are kept as they are; missing, non-UUID and duplicate ids are replaced by a new
    // upper-case UUID. Other controls are left alone.
    void normalizeNames(Model& model) const;

    // The same rules on a scene list. `used` holds the ids taken elsewhere, each as
    // usedIdentifier() gives it, and receives those handed out here. True when anything changed.
    static bool normalizeNames(QList<QuorvelScene>& scenes, DeviceKind kind, QSet<QString>& used);

    // The form in which identifiers are compared: two spellings of one UUID (letter case) name
    // the same button, so they must not both survive.
    static QString usedIdentifier(const QString& scriptID);

private:
    ScriptingRegistry() = default;
    ~ScriptingRegistry();

    std::weak_ptr<const ModelDirectory> directory_;
    QPointer<DeviceStore> store_;
    // Watches the application for palette changes while started.
    std::unique_ptr<QObject> colorObserver_;
};

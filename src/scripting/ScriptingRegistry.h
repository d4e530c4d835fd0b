#pragma once

#include "config/QuorvelScene.h"
#include "device/DeviceKind.h"

#include <QList>
#include <QSet>
#include <QString>

#include <memory>

class Model;
class ModelDirectory;

// The scripting interface's view of all pads. Screen buttons (LCD-key bindings) are addressed
// by the `scriptName` and `scriptID` stored in their bindings; this registry keeps those names
// and ids complete and the ids unique across every device it can see.
//
// One shared instance; main thread only.
class ScriptingRegistry {
public:
    static ScriptingRegistry& shared();

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

    std::weak_ptr<const ModelDirectory> directory_;
};

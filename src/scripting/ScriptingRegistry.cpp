#include "scripting/ScriptingRegistry.h"

#include "config/ConfigurationJson.h"
#include "model/Model.h"
#include "model/ModelDirectory.h"

ScriptingRegistry& ScriptingRegistry::shared() {
    static ScriptingRegistry registry;
    return registry;
}

void ScriptingRegistry::setModelDirectory(std::weak_ptr<const ModelDirectory> directory) {
    directory_ = std::move(directory);
}

QString ScriptingRegistry::usedIdentifier(const QString& scriptID) {
    return scriptID.toUpper();
}

bool ScriptingRegistry::normalizeNames(QList<QuorvelScene>& scenes, DeviceKind kind,
                                       QSet<QString>& used) {
    bool changed = false;
    for (qsizetype sceneIndex = 0; sceneIndex < scenes.size(); ++sceneIndex) {
        for (Binding& binding : scenes[sceneIndex].keys) {
            if (binding.id < 1 || binding.id > kind.keyCount()) {
                continue;
            }
            if (!binding.scriptName || binding.scriptName->isEmpty()) {
                binding.scriptName =
                    QStringLiteral("Scene%1Button%2").arg(sceneIndex + 1).arg(binding.id);
                changed = true;
            }
            QString candidate;
            if (binding.scriptID && ConfigurationJson::uuidFromText(*binding.scriptID)) {
                candidate = *binding.scriptID;
            } else {
                candidate = ConfigurationJson::uuidText(QUuid::createUuid());
            }
            if (used.contains(usedIdentifier(candidate))) {
                candidate = ConfigurationJson::uuidText(QUuid::createUuid());
            }
            used.insert(usedIdentifier(candidate));
            if (binding.scriptID != candidate) {
                binding.scriptID = candidate;
                changed = true;
            }
        }
    }
    return changed;
}

void ScriptingRegistry::normalizeNames(Model& model) const {
    QSet<QString> used;
    if (const std::shared_ptr<const ModelDirectory> directory = directory_.lock()) {
        for (const Model* other : directory->models()) {
            if (other == &model) {
                continue;
            }
            for (const QuorvelScene& scene : other->scenes()) {
                for (const Binding& binding : scene.keys) {
                    if (binding.scriptID) {
                        used.insert(usedIdentifier(*binding.scriptID));
                    }
                }
            }
        }
    }
    QList<QuorvelScene> scenes = model.scenes();
    if (normalizeNames(scenes, model.kind(), used)) {
        model.setScenes(std::move(scenes));
    }
}

#include "model/Model.h"

#include "config/DefaultConfiguration.h"

#include <algorithm>

namespace {

// The name a screen button gets when the user has not named it; it carries the scene's
// position, so it goes stale when the button moves to another scene.
QString automaticScriptName(int sceneNumber, int64_t control) {
    return QStringLiteral("Scene%1Button%2").arg(sceneNumber).arg(control);
}

}  // namespace

void Model::selectScene(const QUuid& sceneID) {
    const bool exists = std::any_of(scenes_.cbegin(), scenes_.cend(),
                                    [&](const QuorvelScene& scene) { return scene.id == sceneID; });
    if (!exists || activeSceneID_ == sceneID) {
        return;
    }
    setActiveSceneID(sceneID);
    save();
}

void Model::addScene() {
    QuorvelScene scene = DefaultConfiguration::scene(kind_);
    const QUuid sceneID = scene.id;
    QList<QuorvelScene> scenes = scenes_;
    scenes.append(std::move(scene));
    setScenes(std::move(scenes));
    setActiveSceneID(sceneID);
    save();
}

void Model::duplicateActiveScene() {
    const int index = activeSceneIndex();
    QuorvelScene copy = scenes_[index];
    copy.id = QUuid::createUuid();
    for (Binding& binding : copy.keys) {
        // The original keeps its identifiers; the copy's buttons are named afresh on save.
        binding.scriptID.reset();
        if (binding.scriptName == automaticScriptName(index + 1, binding.id)) {
            binding.scriptName.reset();
        }
    }
    const QUuid sceneID = copy.id;
    QList<QuorvelScene> scenes = scenes_;
    scenes.insert(index + 1, std::move(copy));
    setScenes(std::move(scenes));
    setActiveSceneID(sceneID);
    save();
}

void Model::deleteActiveScene() {
    if (scenes_.size() < 2) {
        return;
    }
    const qsizetype removed = activeSceneIndex();
    QList<QuorvelScene> scenes = scenes_;
    scenes.removeAt(removed);
    const qsizetype next = std::min(removed, scenes.size() - 1);
    // Activate the successor before the removal so that observers never see an active id
    // that names no scene.
    setActiveSceneID(scenes[next].id);
    setScenes(std::move(scenes));
    save();
}

void Model::changeScene(int step) {
    const int64_t count = scenes_.size();
    if (count < 2) {
        return;
    }
    // Reduce first: a step of more than one full turn backwards would otherwise give a negative
    // position.
    const int64_t next = ((activeSceneIndex() + step % count) % count + count) % count;
    setActiveSceneID(scenes_[static_cast<qsizetype>(next)].id);
    setMessage(QString());
    save();
}

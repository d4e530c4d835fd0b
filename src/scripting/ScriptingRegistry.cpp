#include "scripting/ScriptingRegistry.h"

#include "config/ConfigurationJson.h"
#include "core/ActionError.h"
#include "model/DeviceStore.h"
#include "model/Model.h"
#include "model/ModelDirectory.h"
#include "scripting/ScriptObjects.h"

#include <QCoreApplication>
#include <QEvent>

namespace {

// Redraws every pad of the store when the application's palette changes: badges without a
// colour use the accent colour, and named colours follow the light or dark appearance.
class ColorObserver : public QObject {
public:
    explicit ColorObserver(QPointer<DeviceStore> store) : store_(std::move(store)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == QCoreApplication::instance() &&
            event->type() == QEvent::ApplicationPaletteChange && store_) {
            for (Model* model : store_->devices()) {
                model->invalidateKeyImages();
            }
        }
        return false;
    }

private:
    QPointer<DeviceStore> store_;
};

}  // namespace

ScriptingRegistry& ScriptingRegistry::shared() {
    static ScriptingRegistry registry;
    return registry;
}

ScriptingRegistry::~ScriptingRegistry() = default;

void ScriptingRegistry::start(DeviceStore* store) {
    store_ = store;
    colorObserver_.reset();
    if (QCoreApplication* application = QCoreApplication::instance()) {
        colorObserver_ = std::make_unique<ColorObserver>(store_);
        application->installEventFilter(colorObserver_.get());
    }
}

DeviceStore* ScriptingRegistry::store() const {
    return store_.data();
}

void ScriptingRegistry::stop() {
    colorObserver_.reset();
    store_.clear();
}

QList<ScriptScreenButton> ScriptingRegistry::buttons() const {
    QList<ScriptScreenButton> result;
    if (!store_) {
        return result;
    }
    for (Model* model : store_->devices()) {
        const int keyCount = model->kind().keyCount();
        for (const QuorvelScene& scene : model->scenes()) {
            for (const Binding& binding : scene.keys) {
                if (binding.id >= 1 && binding.id <= keyCount && binding.scriptID) {
                    result.append(ScriptScreenButton(model, scene.id, *binding.scriptID));
                }
            }
        }
    }
    return result;
}

std::optional<ScriptScreenButton> ScriptingRegistry::screenButtonsWithName(
    const QString& name, const std::optional<QString>& deviceID) const {
    for (const ScriptScreenButton& button : buttons()) {
        if (deviceID && button.model()->id() != *deviceID) {
            continue;
        }
        if (button.name() == name) {
            return ScriptScreenButton(button.model(), button.sceneID(), button.uniqueID(), name,
                                      deviceID);
        }
    }
    return std::nullopt;
}

void ScriptingRegistry::rename(const ScriptScreenButton& button, const QString& name) const {
    if (name.trimmed().isEmpty()) {
        throw ActionError::failed(ScriptMessages::emptyName);
    }
    button.edit([&name](Binding& binding) { binding.scriptName = name; });
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

#pragma once

#include "model/Model.h"
#include "model/ModelDirectory.h"
#include "support/SettingsFiles.h"
#include "support/TestSupport.h"

#include <QStringList>

#include <memory>

// The names of the model's signals in the order they were emitted.
class SignalLog {
public:
    explicit SignalLog(Model& model) {
        const std::pair<void (Model::*)(), const char*> signals[] = {
            {&Model::connectedChanged, "connected"},
            {&Model::messageChanged, "message"},
            {&Model::recordingChanged, "recording"},
            {&Model::scenesChanged, "scenes"},
            {&Model::activeSceneIDChanged, "activeSceneID"},
            {&Model::displayBrightnessChanged, "displayBrightness"},
            {&Model::padFollowMacChanged, "padFollowMac"},
            {&Model::deviceNameChanged, "deviceName"},
            {&Model::changed, "changed"},
            {&Model::siteIconScheduleRequested, "siteIcons"},
            {&Model::displayRefreshRequested, "refresh"}};
        for (const auto& [signal, name] : signals) {
            QObject::connect(&model, signal, [this, name = name] { names.append(name); });
        }
    }
    int count(const char* name) const { return static_cast<int>(names.count(name)); }
    QStringList names;
};

// A model over a settings root in a temporary folder, with its signals logged.
struct TestModel {
    TestModel(const QString& id, DeviceKind kind, const SavedConfiguration& stored = {},
              std::shared_ptr<const ConfigurationFileSystem> files = nullptr,
              const QString& name = "Pad") {
        if (!stored.scenes.isEmpty()) {
            root.putScenes(id, stored);
        }
        model = std::make_unique<Model>(id, kind, name, root.path(), std::move(files));
        log = std::make_unique<SignalLog>(*model);
    }
    Model* operator->() const { return model.get(); }

    SettingsRoot root;
    std::unique_ptr<Model> model;
    std::unique_ptr<SignalLog> log;
};

#include "InputTestSupport.h"

#include "actions/PlatformServices.h"
#include "config/ConfigurationJson.h"
#include "config/DefaultConfiguration.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

QList<int> RecordingInputPoster::pressedKeyCodes() const {
    QList<int> codes;
    for (const SyntheticKeyEvent& event : posted) {
        if (event.down) {
            codes << event.keyCode;
        }
    }
    return codes;
}

InputTestBed::InputTestBed() : services_(std::make_shared<PlatformServices>()) {
    services_->input = input;
}

ModelEnvironment InputTestBed::environment() const {
    ModelEnvironment environment;
    environment.settingsRoot = root_.path();
    environment.timing = quickSessionTiming();
    environment.services = services_;
    return environment;
}

std::unique_ptr<Model> InputTestBed::model(DeviceKind kind, const SavedConfiguration& configuration,
                                           const QString& id) {
    if (!configuration.scenes.isEmpty()) {
        put(configuration, id);
    }
    return std::make_unique<Model>(id, kind, kind.name(), environment());
}

void InputTestBed::put(const SavedConfiguration& configuration, const QString& id) const {
    QDir(root_.path()).mkpath(id);
    QFile out(QDir(root_.path()).filePath(id + QStringLiteral("/bindings.json")));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(ConfigurationJson::encode(configuration));
}

SavedConfiguration InputTestBed::stored(const QString& id) const {
    QFile in(QDir(root_.path()).filePath(id + QStringLiteral("/bindings.json")));
    EXPECT_TRUE(in.open(QIODevice::ReadOnly));
    return ConfigurationJson::decodeConfiguration(in.readAll());
}

bool InputTestBed::storedExists(const QString& id) const {
    return QFile::exists(QDir(root_.path()).filePath(id + QStringLiteral("/bindings.json")));
}

SavedConfiguration keystrokeScenes(DeviceKind kind, int sceneCount) {
    SavedConfiguration configuration;
    for (int index = 0; index < sceneCount; ++index) {
        QuorvelScene scene = DefaultConfiguration::scene(kind);
        for (Binding& binding : scene.keys) {
            binding.action = QStringLiteral("Keystroke");
            binding.keyCode = static_cast<uint16_t>(binding.id);
            binding.recordedShortcut = QStringLiteral("Key %1").arg(binding.id);
        }
        configuration.scenes << scene;
    }
    configuration.activeSceneID = configuration.scenes.first().id;
    return configuration;
}

#include "model/Model.h"

#include "actions/InputPoster.h"
#include "actions/MediaPlayback.h"
#include "config/DefaultConfiguration.h"
#include "core/ActionError.h"
#include "core/Log.h"
#include "core/SerialQueue.h"
#include "scripting/ScriptingRegistry.h"

#include <QDir>
#include <QFileSystemWatcher>
#include <QTimer>

#include <utility>

Model::Model(QString id, DeviceKind kind, QString name, const QString& settingsRoot,
             std::shared_ptr<const ConfigurationFileSystem> files, QObject* parent)
    : Model(std::move(id), kind, std::move(name),
            ModelEnvironment{settingsRoot, std::move(files), nullptr, SessionTiming{}, nullptr},
            parent) {
}

Model::Model(QString id, DeviceKind kind, QString name, ModelEnvironment environment,
             QObject* parent)
    : ActionContext(parent),
      id_(std::move(id)),
      kind_(kind),
      environment_(std::move(environment)),
      services_(environment_.services ? environment_.services
                                      : std::make_shared<const PlatformServices>()),
      configuration_(environment_.settingsRoot.isEmpty()
                         ? DeviceConfigurationStore::defaultSettingsRoot()
                         : environment_.settingsRoot,
                     id_, kind, environment_.files),
      deviceName_(std::move(name)) {
    QObject::connect(this, &Model::displayRefreshRequested, this, &Model::refreshDisplay);
    startInputHandling();

    DeviceConfigurationState state =
        configuration_.load(DeviceAppearance{deviceName_, displayBrightness_, padFollowMac_});
    scenes_ = std::move(state.configuration.scenes);
    activeSceneID_ = state.configuration.activeSceneID;
    deviceName_ = state.appearance.deviceName;
    displayBrightness_ = state.appearance.displayBrightness;
    padFollowMac_ = state.appearance.padFollowMac;
    for (const ConfigurationRecovery& recovery : configuration_.configurationRecoveries()) {
        logRecovery(recovery);
    }
    logUnknownActions();

    if (state.saveDue) {
        save();
    }
    watchFiles();

    adaptiveTimer_ = std::make_unique<QTimer>();
    adaptiveTimer_->setInterval(brightnessFollowInterval);
    QObject::connect(adaptiveTimer_.get(), &QTimer::timeout, this, &Model::syncPadBrightness);
    adaptiveTimer_->start();
    QObject::connect(&MediaPlayback::shared(), &MediaPlayback::isPlayingChanged, this,
                     &Model::playbackChanged);
    // Shortcut recording and site-icon arrivals attach to the loaded model from the input code
    // and the site-icon cache; loading and saving need neither.
    if (environment_.siteIcons) {
        QObject::connect(this, &Model::siteIconScheduleRequested, this, &Model::scheduleSiteIcons);
        observeSiteIcons();
    }
}

Model::~Model() {
    // The session must not outlive its model with the pad still being driven.
    if (display_) {
        display_->stop();
    }
}

template <typename T>
void Model::assign(T& field, T value, void (Model::*signal)()) {
    if (field == value) {
        return;
    }
    field = std::move(value);
    Q_EMIT(this->*signal)();
    Q_EMIT changed();
}

void Model::setMessage(const QString& text) {
    if (text == message_) {
        return;
    }
    assign(message_, text, &Model::messageChanged);
    if (!text.isEmpty()) {
        logLine("%s: %s", qUtf8Printable(deviceName_), qUtf8Printable(text));
    }
}

void Model::setScenes(QList<QuorvelScene> scenes) {
    // Every consumer indexes the active scene; an empty list would leave nothing to show.
    if (scenes.isEmpty()) {
        return;
    }
    assign(scenes_, std::move(scenes), &Model::scenesChanged);
}

void Model::setActiveSceneID(const QUuid& sceneID) {
    assign(activeSceneID_, sceneID, &Model::activeSceneIDChanged);
}

void Model::setDeviceName(const QString& name) {
    assign(deviceName_, name, &Model::deviceNameChanged);
}

void Model::setConnected(bool connected) {
    assign(connected_, connected, &Model::connectedChanged);
}

void Model::setDisplayBrightness(int brightness) {
    assign(displayBrightness_, brightness, &Model::displayBrightnessChanged);
}

void Model::setPadFollowMac(bool follow) {
    assign(padFollowMac_, follow, &Model::padFollowMacChanged);
}

void Model::saveAppearance() {
    takeExternalChanges();
    configuration_.saveAppearance(appearance());
    watchFiles();
}

void Model::setShuttingDown() {
    shuttingDown_ = true;
}

void Model::setRecording(std::optional<int64_t> control) {
    assign(recording_, control, &Model::recordingChanged);
}

void Model::report(const QString& text) {
    setMessage(text);
}

bool Model::requestAccessibilityAccess() {
    if (!services_->input) {
        report(QStringLiteral("Could not create keystroke events"));
        return false;
    }
    const QString problem = services_->input->postingProblem();
    if (!problem.isEmpty()) {
        report(problem);
        return false;
    }
    return true;
}

int Model::activeSceneIndex() const {
    for (qsizetype index = 0; index < scenes_.size(); ++index) {
        if (scenes_[index].id == activeSceneID_) {
            return static_cast<int>(index);
        }
    }
    return 0;
}

DeviceAppearance Model::appearance() const {
    return DeviceAppearance{deviceName_, displayBrightness_, padFollowMac_};
}

bool Model::save() {
    takeExternalChanges();
    ScriptingRegistry::shared().normalizeNames(*this);
    Q_EMIT siteIconScheduleRequested();

    const DeviceSaveResult result =
        configuration_.save(SavedConfiguration{scenes_, activeSceneID_}, appearance());
    watchFiles();
    if (result.status == DeviceSaveResult::Status::failed) {
        setMessage(result.message);
        return false;
    }
    // A protected file was skipped, but what could be written was: the pad shows the change.
    Q_EMIT displayRefreshRequested();
    if (!result.ok()) {
        setMessage(result.message);
        return false;
    }
    return true;
}

void Model::renameDevice(const QString& name) {
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty()) {
        throw ActionError::failed(QStringLiteral("A device name cannot be empty"));
    }
    setDeviceName(trimmed);
    if (!save()) {
        throw ActionError::failed(message_);
    }
}

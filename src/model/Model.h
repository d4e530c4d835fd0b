#pragma once

#include "config/ConfigurationRecovery.h"
#include "config/DeviceAppearance.h"
#include "config/DeviceConfigurationStore.h"
#include "config/QuorvelScene.h"
#include "device/DeviceKind.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <memory>
#include <optional>

class ConfigurationFileSystem;

// The controller of one pad: its configuration (ordered scenes, the active scene, display
// brightness, whether that brightness follows the computer's display, the user's name for the
// pad), loaded once at creation and saved after every change. The device store creates one per
// device id and keeps it, attached or not, for the life of the process; the configuration
// window, the status menu, scripting and actions all talk to that same object.
//
// Threading: lives on the main thread and is used only there. Work finished elsewhere hops to
// the main thread (runOnMain with the model as context) before touching it.
//
// Observers: every change of an observable field emits that field's own argument-less signal
// (read the new value through the getter) followed by `changed()`. Signals fire only when the
// value really changed. The observable fields are `connected`, `message`, `recording`,
// `scenes`, `activeSceneID`, `displayBrightness`, `padFollowMac` and `deviceName`.
//
// Failures: operations that can fail for a reason the user must see throw ActionError; save()
// reports through `message` and its result. Nothing here throws anything else.
class Model : public QObject {
    Q_OBJECT

public:
    // Loads or defaults the files in `settingsRoot`/`id` (the default settings root when
    // `settingsRoot` is empty) and saves at once when an unreadable file was set aside or a
    // legacy entry was migrated. Never fails: unreadable files are recorded in
    // configurationRecoveries(). `files` replaces the real file system (tests make chosen
    // operations fail); null means the real one.
    Model(QString id, DeviceKind kind, QString name, const QString& settingsRoot = {},
          std::shared_ptr<const ConfigurationFileSystem> files = nullptr,
          QObject* parent = nullptr);
    ~Model() override;

    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    // Constant identity.
    const QString& id() const { return id_; }
    DeviceKind kind() const { return kind_; }
    // The bindings file; "appearance.json" sits beside it.
    QString configURL() const { return configuration_.configURL(); }
    QString appearanceURL() const { return configuration_.appearanceURL(); }

    // Observable state.
    bool connected() const { return connected_; }
    // The device's status line; empty shows nothing.
    const QString& message() const { return message_; }
    // The control whose keyboard shortcut is being recorded, if any.
    std::optional<int64_t> recording() const { return recording_; }
    // Never empty.
    const QList<QuorvelScene>& scenes() const { return scenes_; }
    const QUuid& activeSceneID() const { return activeSceneID_; }
    // Percent, 0 to 100.
    int displayBrightness() const { return displayBrightness_; }
    bool padFollowMac() const { return padFollowMac_; }
    const QString& deviceName() const { return deviceName_; }

    // Position of the active scene in scenes(); 0 when no scene has activeSceneID().
    int activeSceneIndex() const;
    const QuorvelScene& activeScene() const { return scenes_[activeSceneIndex()]; }

    // The unreadable files met at start-up, and those of them that could not be copied aside.
    // A protected file is never overwritten during this run.
    const QList<ConfigurationRecovery>& configurationRecoveries() const {
        return configuration_.configurationRecoveries();
    }
    QSet<QString> protectedURLs() const { return configuration_.protectedURLs(); }

    // Set once when the program quits, never cleared; input and display updates stop.
    bool shuttingDown() const { return shuttingDown_; }
    void setShuttingDown();

    // Starts (a control id) or ends (nullopt) shortcut recording.
    void setRecording(std::optional<int64_t> control);

    // Normalises screen-button names and ids, writes both files (protected files excepted) and
    // asks for a display refresh. True when everything was written and nothing is protected.
    // On failure `message` says why: "Could not save: " and the reason (nothing refreshed), or
    // the protected-file notice (the other file was written and the pad still refreshed). The
    // in-memory state keeps every change either way.
    bool save();

    // Trims white space and line breaks from both ends, stores the name and saves. Throws
    // ActionError "A device name cannot be empty" (nothing changed) for a blank name, or with the
    // save's message when saving failed (the new name stays in memory).
    void renameDevice(const QString& name);

    // Scene operations; each saves when it changed something and changes nothing else.
    // Makes the scene with `sceneID` active; unknown or already active ids do nothing.
    void selectScene(const QUuid& sceneID);
    // Appends a scene with the kind's default bindings and no background, and makes it active.
    void addScene();
    // Inserts a copy of the active scene after it, without script ids and without the
    // automatic script names of the original, and makes it active.
    void duplicateActiveScene();
    // Removes the active scene when there is another one; the scene that takes its place (or
    // the new last one) becomes active.
    void deleteActiveScene();
    // Moves the active scene by `step` places, wrapping at both ends, and clears the message.
    // Fewer than two scenes: nothing happens.
    void changeScene(int64_t step);

    // Shows `text` in the status line.
    void report(const QString& text);

Q_SIGNALS:
    void connectedChanged();
    void messageChanged();
    void recordingChanged();
    void scenesChanged();
    void activeSceneIDChanged();
    void displayBrightnessChanged();
    void padFollowMacChanged();
    void deviceNameChanged();
    // After any of the above.
    void changed();

    // Hooks of save(), in the order save() reaches them. The site-icon scheduler connects to
    // the first: it runs after names are normalised and before the files are written. The
    // display pipeline connects to the second: it runs after the files were written (also when
    // a protected file was skipped), never after a failed write.
    void siteIconScheduleRequested();
    void displayRefreshRequested();

private:
    // The scripting registry rewrites screen-button names and ids in place before each save.
    friend class ScriptingRegistry;

    template <typename T>
    void assign(T& field, T value, void (Model::*signal)());
    void setMessage(const QString& text);
    void setScenes(QList<QuorvelScene> scenes);
    void setActiveSceneID(const QUuid& sceneID);
    void setDeviceName(const QString& name);
    DeviceAppearance appearance() const;

    const QString id_;
    const DeviceKind kind_;
    DeviceConfigurationStore configuration_;

    bool connected_ = false;
    QString message_ = QStringLiteral("Waiting for device");
    std::optional<int64_t> recording_;
    QList<QuorvelScene> scenes_;
    QUuid activeSceneID_;
    int displayBrightness_ = 80;
    bool padFollowMac_ = false;
    QString deviceName_;
    bool shuttingDown_ = false;
};

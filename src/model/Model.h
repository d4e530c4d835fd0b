#pragma once

#include "config/BadgeStyle.h"
#include "config/ConfigurationRecovery.h"
#include "config/DeviceAppearance.h"
#include "config/DeviceConfigurationStore.h"
#include "config/QuorvelScene.h"
#include "config/SettingsArchive.h"
#include "core/ActionError.h"
#include "device/DeviceKind.h"
#include "device/HIDConnection.h"
#include "device/HidDevice.h"
#include "device/PadDisplaySession.h"
#include "model/DisplayFrame.h"
#include "model/EditingTypes.h"
#include "model/ModelDialogs.h"
#include "model/ModelEnvironment.h"

#include "actions/ActionContext.h"
#include "actions/PlatformServices.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>

class ConfigurationFileSystem;
class DropItem;
class QFileSystemWatcher;
class SerialQueue;
class QTimer;

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
// Files: the model watches its two files. When one of them changes on disk and the model did
// not write it (a text editor, a sync tool), it is loaded as at start-up, an unreadable one set
// aside, instead of being overwritten by the next save; save() looks before it writes, too.
//
// Log: every new status line goes to the log too, after the device's name, since without a
// window nobody sees it otherwise; so do set-aside files and bindings whose action is unknown.
//
// Failures: operations that can fail for a reason the user must see throw ActionError; save()
// reports through `message` and its result. Nothing here throws anything else, except that
// shutdownFrame() passes on the ImageLoadError of an unreadable background.
//
// Display: while connected the model owns the pad's display session and keeps it in step with
// the configuration. Encoded key images are cached by what they depend on (scene, control,
// action, artwork file and background file with their modification times), so a refresh after
// one change renders one key; refreshes requested within 0.1 s become one update.
class Model : public ActionContext {
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
    // The same, with everything the owner provides for display sessions and brightness
    // following (see ModelEnvironment).
    Model(QString id, DeviceKind kind, QString name, ModelEnvironment environment,
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
    int displayBrightness() const override { return displayBrightness_; }
    bool padFollowMac() const override { return padFollowMac_; }
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

    // Loads a file that changed on disk meanwhile (see Files above) rather than overwriting it,
    // normalises screen-button names and ids, writes both files (protected files excepted) and
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
    void changeScene(int step) override;

    // Shows `text` in the status line.
    void report(const QString& text) override;

    // True when synthetic input may be posted now; otherwise shows what is missing and how to
    // grant it, and answers false.
    bool requestAccessibilityAccess() override;
    // The desktop services given by the owner (empty ones when it gave none).
    const PlatformServices& services() const override { return *services_; }

    // ---- Display pipeline ----

    // Key images are drawn at most this long after the first of a burst of changes.
    static constexpr std::chrono::milliseconds refreshDelay{100};
    // How often the pad brightness is brought into line with the computer display.
    static constexpr std::chrono::milliseconds brightnessFollowInterval{1000};
    // The caches are emptied wholesale when a new entry would exceed these.
    static constexpr int renderedKeysLimit = 256;
    static constexpr int renderedBackgroundsLimit = 16;

    using ReadyHandler = std::function<void()>;
    using InitializationFailedHandler = std::function<void(const ActionError&)>;

    // The pad attached as `device`: tears down any previous session, creates the kind's display
    // session and starts it with the first frame on the next turn of the event loop. `ready`
    // runs on the main thread once the pad shows that frame; `initializationFailed` runs on the
    // main thread when the session fails before that (a failure afterwards only shows its
    // message). Neither runs once the model has connected again or disconnected.
    void connect(std::shared_ptr<HidDevice> device, ReadyHandler ready,
                 InitializationFailedHandler initializationFailed);
    // The pad detached or the program stops: stops the session and forgets the connection.
    void disconnect();
    // The current connection and display session; null while disconnected.
    const std::shared_ptr<HIDConnection>& connection() const { return connection_; }
    const std::shared_ptr<PadDisplaySession>& display() const { return display_; }

    // One raw input report of the connected pad. On a DisplayPad the session sees it first (it
    // may be a command reply); the decoded control events are emitted as controlEvent().
    void receive(const QByteArray& report);
    // DisplayPad keys down in the last key-state report.
    const std::set<int>& heldKeys() const { return heldKeys_; }

    // The picture the pad shows for `binding`: the run-time icon, else the artwork file, else
    // the action's icon, with the run-time badges drawn over it. None when there is nothing.
    std::optional<QImage> keyPreview(const Binding& binding) const;
    // The configured picture only (artwork file, else the action's icon).
    std::optional<QImage> configuredKeyPreview(const Binding& binding) const;

    // The encoded images of the active scene's keys, key 1 first, from the cache where nothing
    // they depend on changed. None when a key has no binding or cannot be rendered.
    std::optional<QList<QByteArray>> keyImages();
    // keyImages() plus the background; none (with the message "Could not render the device
    // artwork" when the keys failed) when the pad cannot be given a complete frame.
    std::optional<DisplayFrame> displayFrame();
    // Blank keys over the active scene's background, for the pad to show after the program
    // quits. Throws ActionError ("Could not render cleared button artwork", "Could not render
    // the background for shutdown") or the ImageLoadError/ActionError of an unreadable
    // background file. Uses no cache.
    DisplayFrame shutdownFrame() const;
    // Asks for the pad to show the current state; any number of requests within refreshDelay
    // give one update, computed when the delay ends. Does nothing while disconnected or
    // shutting down.
    void refreshDisplay();

    // Changes the pad brightness by `step` percent points (clamped to 0...100) and stops
    // following the computer display; the result is saved once the pad took it. Disconnected:
    // only the message "Connect the device to change its display brightness".
    void changePadBrightness(int step) override;
    // While following: reads the computer display's level and passes it on when it changed.
    // A level that cannot be read stops following, with the reason in the message.
    void syncPadBrightness() override;
    // Switches following on or off and saves. Throws ActionError when disconnected ("Connect
    // the device to use adaptive brightness"), when following cannot start because the
    // computer display's level cannot be read, or when the appearance file cannot be written.
    void togglePadFollowMac() override;

    // Run-time artwork set by scripts, never saved. Each change redraws the pad's keys.
    const QHash<QString, QImage>& runtimeIcons() const { return runtimeIcons_; }
    const QHash<QString, QString>& runtimeIconURLs() const { return runtimeIconURLs_; }
    const QHash<QString, QHash<QString, BadgeStyle>>& runtimeBadges() const {
        return runtimeBadges_;
    }
    // A null image removes the button's run-time icon (and its file).
    void setRuntimeIcon(const QString& scriptID, const QImage& image, const QString& fileURL = {});
    // Badges by position name; an empty map removes them.
    void setRuntimeBadges(const QString& scriptID, const QHash<QString, BadgeStyle>& badges);
    // Forgets every cached key image and redraws: for changes the cache keys cannot see (the
    // playing state, a site icon that arrived).
    void invalidateKeyImages();

    // Site icons (with a site-icon cache in the environment; otherwise both do nothing).
    // Asks the cache for the icon of every web-address binding without artwork, in all scenes,
    // `siteIconDelay` after the last call (save() calls it).
    void scheduleSiteIcons();
    // Redraws the keys when an icon one of them shows arrives; then schedules the fetches.
    // Called once the model is loaded.
    void observeSiteIcons();
    static constexpr std::chrono::milliseconds siteIconDelay{600};

    // How long the files must stay quiet after a change on disk before they are read, so that
    // an editor's write is read whole.
    static constexpr std::chrono::milliseconds externalChangeDelay{250};

    // The caches, keyed as DisplayCacheKeys describes.
    const QHash<QString, QByteArray>& renderedKeys() const { return renderedKeys_; }
    const QHash<QString, QByteArray>& renderedBackgrounds() const { return renderedBackgrounds_; }

    // ---- Settings bundles (ModelBundles.cpp) ----

    enum class ImportMode { add, replace };
    // How an import goes when nobody is asked in a window (the command line, scripts).
    struct ImportRequest {
        // None: an unconfigured device is replaced, otherwise the dialogs ask.
        std::optional<ImportMode> mode;
        // Bindings from a stranger that run commands or start programs are applied only when
        // allowed here or confirmed in the import question.
        bool allowCommands = false;
    };
    // Runs on the main thread once the import ended: whether something was imported, and the
    // status line it left (also when cancelled: then empty).
    using ImportCompletion = std::function<void(bool imported, const QString& message)>;

    // The window's panels and questions; none without a window.
    void setDialogs(std::shared_ptr<ModelDialogs> dialogs);
    const std::shared_ptr<ModelDialogs>& dialogs() const { return dialogs_; }

    // The active scene alone or the whole device, with every picture (artwork files, else the
    // action's own icon) as a PNG of the pad's key or background size. Throws ActionError or
    // ImageLoadError. Main thread (action icons come from the desktop).
    SettingsArchive makeArchive(bool sceneOnly) const;
    // The save panel, then the bundle; the outcome goes to the status line.
    void exportSettings(bool sceneOnly);
    // The same without a panel; true when written.
    bool exportSettings(bool sceneOnly, const QString& path);
    static QString suggestedExportName(DeviceKind kind, bool sceneOnly);

    // The open panel, then importSettings(path).
    void importSettings();
    // Imports the bundle at `path`, asking how in the window when the device has configured
    // controls. Returns at once: reading the bundle and decoding and re-encoding its pictures
    // run on a worker thread, the question and every change of the device on the main thread,
    // after every check has passed. The outcome goes to the status line and to `completion`.
    void importSettings(const QString& path, ImportRequest request, ImportCompletion completion);
    void importSettings(const QString& path);
    // A bundle dropped on the device: imported only while the pad is connected.
    void importDroppedSettings(const QString& path);
    // Applies a read archive at once, on this thread (the main thread): every check, the
    // pictures decoded, re-encoded and written to the Images folder, then the device changed
    // and saved. Throws ActionError or ImageLoadError; the device is unchanged then (only
    // picture files already written may remain).
    void applyArchive(const SettingsArchive& archive, ImportMode mode);
    // Any scene has a background, or any binding an action or artwork.
    bool hasConfiguredControls() const;
    // Bindings of the archive that run shell scripts or AppleScript or open an application.
    static int commandBindingCount(const SettingsArchive& archive);
    // Why an import that was not allowed such bindings was refused.
    static QString commandsRefusedMessage(int count);
    // The folder of the device's artwork files.
    QString imagesFolder() const;

    // ---- Editing operations (ModelEditing.cpp) ----

    // A drop onto the control `control`, or onto the background (none). True when the item is
    // being loaded; the outcome arrives later in the status line.
    bool acceptDrop(const QList<std::shared_ptr<DropItem>>& items, std::optional<int64_t> control);
    // Artwork from a file (the open panel) or from the web search, through the picker.
    void chooseArtwork(std::optional<int64_t> control, bool search);
    std::optional<ScreenButtonDrag> buttonDragPayload(int64_t control) const;
    bool canSwapScreenButtons(const ScreenButtonDrag& drag, int64_t target) const;
    bool swapScreenButtons(const ScreenButtonDrag& drag, int64_t target);
    void applyDialPreset(DialPreset preset, int64_t control);
    void clearAction(int64_t control);
    // The open picker, if any.
    const std::shared_ptr<ArtworkPicker>& imagePicker() const { return imagePicker_; }

    // Writes `png` as a new artwork file and sets it on the control (or the scene's background)
    // of the scene `sceneID`, then saves. Failures go to the status line.
    void storeArtwork(const QByteArray& png, std::optional<int64_t> control, const QUuid& sceneID);
    // A decoded image for a control or background: cropped first when its shape differs.
    void applyDroppedImage(const QImage& image, std::optional<int64_t> control,
                           const QUuid& sceneID);

    // The window's edits of one control: replaces the binding with `binding.id` in the scene
    // `sceneID` by `binding` and saves. False, with the message "The control being edited no
    // longer exists", when that scene or control is gone; an unchanged binding saves nothing.
    bool updateBinding(const QUuid& sceneID, const Binding& binding);
    // The same for the binding of `control` in the active scene, as `change` leaves it.
    bool editActiveBinding(int64_t control, const std::function<void(Binding&)>& change);
    // Removes the active scene's background image (the pad shows black behind its buttons) and
    // saves. Nothing happens when the scene has none.
    void removeBackground();

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

    // A control of the connected pad was actuated (key pressed, dial step, button), in the order
    // the pad reported them. Decoded events only; what they run is up to the listener.
    void controlEvent(int control);
    // A coalesced refresh handed a new frame to the display session.
    void displayUpdated();

    // Input handling and shortcut recording (ModelInput.cpp, ShortcutRecorder.*)
public:
    // One key-down event of the computer's keyboard as the shortcut recorder sees it.
    struct KeyDownEvent {
        // Stored (virtual) key code of the physical key; none for a key without one.
        std::optional<uint16_t> keyCode;
        // Modifier flag bits held (shift 0x20000, control 0x40000, option 0x80000, command
        // 0x100000); other bits may be present and are ignored.
        uint64_t modifierFlags = 0;
        // What the key types without modifiers; empty for keys that type nothing visible.
        QString characters;
    };

    // One press of the control `code` (an LCD key, a dial step or press, a circular button).
    // Runs the first binding with that id in the active scene and shows "<name> → <action>" in
    // the status line (the action may replace it). Does nothing while shutting down, while a
    // shortcut is being recorded, or when the active scene has no such binding. On an MSD-TWO
    // the pressed screen button's border is repaired afterwards. Main thread; returns at once.
    void handle(int code);
    // Runs the binding's action now with this model as its context. Never throws: the action
    // reports its own failures. Main thread.
    void execute(const Binding& binding);
    // The readable form of a shortcut: ⌃ ⌥ ⇧ ⌘ for the held modifiers, in that order, then the
    // characters upper-cased, or "Key <code>" when the key types nothing visible.
    static QString shortcutLabel(const KeyDownEvent& event);
    // Offers a key-down event to a running recording. True when the event was used and must go
    // no further: Escape (code 53) ends the recording and stores nothing; a recordable key is
    // stored in the recorded control's binding of the active scene, ends the recording and saves.
    // A control that no longer exists ends the recording with a message and leaves the event
    // alone (false), as does an idle recorder. A key without a stored code shows a message and
    // keeps recording. Main thread.
    bool recordShortcut(const KeyDownEvent& event);

private:
    // Connects control events to handle() and installs the application-wide key filter that
    // feeds recordShortcut(); both live as long as the model.
    void startInputHandling();

private:
    // The scripting registry rewrites screen-button names and ids in place before each save.
    friend class ScriptingRegistry;
    // Scripts edit a screen button's binding in place, then save.
    friend class ScriptScreenButton;

    template <typename T>
    void assign(T& field, T value, void (Model::*signal)());
    void setMessage(const QString& text);
    void setScenes(QList<QuorvelScene> scenes);
    void setActiveSceneID(const QUuid& sceneID);
    void setDeviceName(const QString& name);
    DeviceAppearance appearance() const;
    void setConnected(bool connected);
    void setDisplayBrightness(int brightness);
    void setPadFollowMac(bool follow);
    // Writes the appearance file alone; throws ActionError.
    void saveAppearance();
    // The computer display's level, 0...1; throws ActionError.
    double macBrightnessLevel() const;
    void sessionFailed(const std::weak_ptr<HIDConnection>& connection, const ActionError& error,
                       const InitializationFailedHandler& initializationFailed);
    void startFirstFrame(const std::weak_ptr<HIDConnection>& connection);
    void refreshNow();
    std::shared_ptr<PadDisplaySession> makeSession(const std::shared_ptr<HidDevice>& device,
                                                   PadDisplaySession::Failure failure) const;
    // The image of the active scene's background; a null image when there is none or it cannot
    // be read.
    QImage backgroundImage() const;
    std::optional<QByteArray> renderKey(const Binding& binding, const QImage& wallpaper) const;
    // What the binding's action contributes: its icon and the part of the cache key that
    // changes when that icon does.
    std::optional<QImage> actionIcon(const Binding& binding) const;
    QString actionArtworkKey(const Binding& binding) const;
    // The play/pause key's icon follows the playing state, which no cache key can see.
    void playbackChanged();

    // The device's files on disk (ModelFiles.cpp). Watches both files, the device folder and,
    // for a file that is a link, the folder it leads to; again after every write, since a file
    // replaced by a rename is no longer the one watched.
    void watchFiles();
    // Applies what reloadChangedFiles() found on disk.
    void takeExternalChanges();
    // Log lines about the device's files (ModelFiles.cpp).
    void logRecovery(const ConfigurationRecovery& recovery) const;
    // One line per binding whose stored action name resolves to no action.
    void logUnknownActions() const;

    // Settings bundles and editing (ModelBundles.cpp, ModelEditing.cpp).
    struct PreparedImport;
    void checkApplicable(const SettingsArchive& archive, ImportMode mode) const;
    void decideImport(const std::shared_ptr<PreparedImport>& prepared, ImportRequest request,
                      ImportCompletion completion);
    void writeImport(const std::shared_ptr<PreparedImport>& prepared, ImportMode mode,
                     ImportCompletion completion);
    bool commitImport(const SettingsArchive& archive, const QMap<QString, QString>& written,
                      ImportMode mode);
    void finishImport(const ImportCompletion& completion, bool imported, const QString& message);
    SerialQueue& workQueue();
    void droppedFile(const QUrl& url, std::optional<int64_t> control, const QUuid& sceneID);
    void setDroppedApplication(const QString& application, qsizetype scene, qsizetype key);
    std::shared_ptr<ArtworkPicker> makePicker(double aspectRatio);
    double artworkAspect(std::optional<int64_t> control) const;
    bool isScreenButton(int64_t control) const;

    const QString id_;
    const DeviceKind kind_;
    const ModelEnvironment environment_;
    const std::shared_ptr<const PlatformServices> services_;
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

    std::shared_ptr<HIDConnection> connection_;
    std::shared_ptr<PadDisplaySession> display_;
    std::set<int> heldKeys_;
    QHash<QString, QByteArray> renderedKeys_;
    QHash<QString, QByteArray> renderedBackgrounds_;
    QHash<QString, QImage> runtimeIcons_;
    QHash<QString, QString> runtimeIconURLs_;
    QHash<QString, QHash<QString, BadgeStyle>> runtimeBadges_;
    bool displayRefreshScheduled_ = false;
    std::unique_ptr<QTimer> adaptiveTimer_;
    std::unique_ptr<QTimer> siteIconRequest_;
    QMetaObject::Connection siteIconObserver_;
    std::unique_ptr<QFileSystemWatcher> fileWatcher_;
    std::unique_ptr<QTimer> externalChangeTimer_;
    std::shared_ptr<ModelDialogs> dialogs_;
    std::shared_ptr<ArtworkPicker> imagePicker_;
    std::unique_ptr<SerialQueue> workQueue_;
};

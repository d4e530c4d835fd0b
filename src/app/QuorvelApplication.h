#pragma once

#include "device/HidManager.h"
#include "device/ImageInterface.h"

#include <QDBusConnection>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <optional>

class ApplicationService;
class BundleOpeningDialogs;
class DeviceStore;
class InstanceLock;
class SettingsBundleOpener;
class ScriptingService;
class SettingsService;
class SiteIconCache;
class SleepMonitor;
class VirtualPadService;
class VirtualPads;
struct PlatformServices;

// The running program: owns the device store for the life of the process, makes sure only one
// copy runs (by a lock file in the user's runtime folder and by owning `serviceName` on the
// session bus), starts the process-wide services and the store, and performs the orderly quit
// in which every pad shows its quit frame before the process ends. With `simulate` it adds one
// virtual pad of each kind beside the real ones and offers them on D-Bus (VirtualPadService).
//
// The tray icon (src/shell) is added by main() when a display exists. A second start hands over
// to the running copy through `org.freedesktop.Application` (ApplicationService, offered beside
// the scripting interface): Activate asks for the configuration window
// (`configurationRequested`), Open imports settings bundles.
//
// Threads: main thread only; a QCoreApplication (or QApplication) must exist.
class QuorvelApplication : public QObject {
    Q_OBJECT

public:
    static constexpr const char* serviceName = "org.quorvel.Zodovuvur";

    struct Options {
        // Adds the virtual pads and their D-Bus interface.
        bool simulate = false;
        // Folder into which each virtual pad's picture is written as "<pad name>.png" once the
        // quit frames have been painted; empty writes nothing.
        QString picturesAtQuit;
        // MSD-TWO screen buttons carry the alignment bars ("--calibrate").
        bool calibrate = false;
    };

    // Where the store finds pads and desktop services. realPads() gives the Linux ones; tests
    // give a simulated manager and fakes so that no real pad or user folder is touched.
    struct Backends {
        std::unique_ptr<HidManager> hid;  // may be null: no real pads
        std::shared_ptr<PadUsb> padUsb;   // may be null: no real DisplayPad image interface
        std::shared_ptr<const PlatformServices> services;
        QString settingsRoot;  // empty: the default folder under the XDG data home
        // Where logind announces sleep and resume; none: pads are not brought up after sleep.
        std::optional<QDBusConnection> systemBus;
        // Icons of the sites that web-address keys open; none: those keys show the globe.
        std::shared_ptr<SiteIconCache> siteIcons;
    };

    enum class Launch {
        running,         // the store is started; the event loop should run
        alreadyRunning,  // another copy owns the service name; nothing was touched
    };

    // `bus` is the session bus (or a private one in tests); a disconnected bus means there is
    // none, and the program runs with only the lock file as single-instance check and without
    // D-Bus.
    QuorvelApplication(Options options, Backends backends, QDBusConnection bus,
                       QObject* parent = nullptr);
    ~QuorvelApplication() override;

    // udev/hidapi for HID, libusb for the DisplayPad's image interface, the Linux desktop
    // services and the site-icon cache under $XDG_CACHE_HOME. Opens nothing yet.
    static Backends realPads();

    // Whether the program should run as a widgets application: a display exists (DISPLAY or
    // WAYLAND_DISPLAY is set) and none of `arguments` asks for a run without one.
    static bool wantsDisplay(const QStringList& arguments, const QProcessEnvironment& environment);

    // Takes the instance lock ($XDG_RUNTIME_DIR/Quorvel/instance.lock) and claims the service
    // name, starts media playback watching, builds and starts the store (and the virtual pads).
    // Call once.
    Launch launch();

    // The orderly quit: queued actions are dropped and running scripts ended (ActionQueue::close,
    // ScriptRunner::stopAll), every connected pad gets its quit frame (waiting for each to answer
    // or fail), then the store and media watching stop and `finished(0)` is emitted. Calls after
    // the first are ignored.
    void quit();
    bool isQuitting() const { return quitting_; }

    // Runs the event loop until it ends, and returns its exit code. The loop may end without
    // quit(): the session manager's "die" at logout and a Quit event end it directly. Then the
    // orderly quit runs afterwards, in an event loop of its own, so the pads still get their
    // quit frames.
    int exec();

    // How long after resume the pads are brought up again: a pad the kernel dropped while
    // resuming comes back through udev as a new attach in that time, instead of being driven
    // through its stale node first.
    static constexpr std::chrono::milliseconds resumeSettle{1000};

    // Asks for the configuration window (emits `configurationRequested`). Ignored while
    // quitting.
    void requestConfiguration();
    // Asks for the window, then imports the settings bundles at the absolute `paths` one after
    // another, asking which device receives each (SettingsBundleOpener). After launch().
    void openBundles(const QStringList& paths);
    // The questions of opening bundles; none (the default) sends failures to the log and
    // imports nothing that needs a question.
    void setBundleDialogs(std::shared_ptr<BundleOpeningDialogs> dialogs);

    // Valid after launch().
    DeviceStore* store() const { return store_.get(); }
    SettingsBundleOpener* bundleOpener() const { return bundleOpener_.get(); }
    VirtualPads* virtualPads() const { return virtualPads_.get(); }

Q_SIGNALS:
    // The quit is complete; the event loop may end with `exitCode`.
    void finished(int exitCode);
    // The configuration window should be shown and brought to the front.
    void configurationRequested();

private:
    void finishQuit();
    bool claimSingleInstance();

    const Options options_;
    Backends backends_;
    QDBusConnection bus_;
    std::unique_ptr<DeviceStore> store_;
    std::unique_ptr<VirtualPads> virtualPads_;
    std::unique_ptr<VirtualPadService> service_;
    std::unique_ptr<SettingsService> settingsService_;
    std::unique_ptr<ScriptingService> scriptingService_;
    std::unique_ptr<InstanceLock> instanceLock_;
    std::unique_ptr<SettingsBundleOpener> bundleOpener_;
    std::shared_ptr<BundleOpeningDialogs> bundleDialogs_;
    int pendingQuitParts_ = 0;
    std::unique_ptr<SleepMonitor> sleepMonitor_;
    bool launched_ = false;
    bool quitting_ = false;
    bool quitFinished_ = false;
    bool ownsName_ = false;
};

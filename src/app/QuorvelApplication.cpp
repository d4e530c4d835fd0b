#include "app/QuorvelApplication.h"

#include "actions/ActionQueue.h"
#include "actions/MediaPlayback.h"
#include "actions/PlatformServices.h"
#include "actions/ScriptRunner.h"
#include "actions/linux/LinuxPlatformServices.h"
#include "app/ApplicationService.h"
#include "app/CompositeHidManager.h"
#include "app/CompositePadUsb.h"
#include "app/ScriptingService.h"
#include "app/SettingsService.h"
#include "app/VirtualPadService.h"
#include "app/VirtualPads.h"
#include "app/linux/InstanceLock.h"
#include "app/linux/SleepMonitor.h"
#include "core/Log.h"
#include "core/MainThread.h"
#include "device/linux/LibusbPadUsb.h"
#include "device/linux/LinuxHidManager.h"
#include "device/virtual/SimulatedHidManager.h"
#include "model/DeviceStore.h"
#include "model/Model.h"
#include "scripting/ScriptingRegistry.h"
#include "shell/SettingsBundleOpener.h"
#include "siteicons/SiteIconCache.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QEventLoop>
#include <QPointer>

#include <stdexcept>

namespace {
const QString quitFailurePrefix = QStringLiteral("Could not clear buttons on quit: ");
}

QuorvelApplication::QuorvelApplication(Options options, Backends backends, QDBusConnection bus,
                                       QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      backends_(std::move(backends)),
      bus_(std::move(bus)) {
}

QuorvelApplication::~QuorvelApplication() {
    // The D-Bus object refers to the virtual pads, and they to the store's HID manager.
    sleepMonitor_.reset();
    bundleOpener_.reset();
    scriptingService_.reset();
    settingsService_.reset();
    service_.reset();
    virtualPads_.reset();
    store_.reset();
}

QuorvelApplication::Backends QuorvelApplication::realPads() {
    Backends backends;
    backends.hid = std::make_unique<LinuxHidManager>();
    backends.padUsb = std::make_shared<LibusbPadUsb>();
    backends.services = std::make_shared<const PlatformServices>(linuxPlatformServices());
    backends.systemBus = QDBusConnection::systemBus();
    backends.siteIcons = std::make_shared<SiteIconCache>(SiteIconCache::defaultDirectory());
    return backends;
}

bool QuorvelApplication::wantsDisplay(const QStringList& arguments,
                                      const QProcessEnvironment& environment) {
    const bool display = !environment.value(QStringLiteral("DISPLAY")).isEmpty() ||
                         !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty();
    // Options that never show anything must work over ssh and in scripts, display or not.
    static const QStringList withoutDisplay = {
        QStringLiteral("--headless"), QStringLiteral("--list-devices"),
        QStringLiteral("--help"),     QStringLiteral("--help-all"),
        QStringLiteral("-h"),         QStringLiteral("--version"),
        QStringLiteral("-v"),         QStringLiteral("--export"),
        QStringLiteral("--import")};
    for (const QString& argument : arguments) {
        if (withoutDisplay.contains(argument)) {
            return false;
        }
    }
    return display;
}

bool QuorvelApplication::claimSingleInstance() {
    // The lock file keeps copies apart that do not share a session bus (or have none at all,
    // as over ssh); the bus name is the check where the lock cannot be made.
    instanceLock_ = std::make_unique<InstanceLock>();
    const InstanceLock::Result locked = instanceLock_->acquire(InstanceLock::defaultPath());
    if (locked == InstanceLock::Result::heldElsewhere) {
        return false;
    }
    if (locked == InstanceLock::Result::failed) {
        logLine("Could not lock %s (%s): only the session bus keeps a second copy out",
                qUtf8Printable(instanceLock_->path()), qUtf8Printable(instanceLock_->problem()));
    }
    const char* const fallback = locked == InstanceLock::Result::acquired
                                     ? "the lock file as the single-instance check"
                                     : "without the single-instance check";

    const QString name = QString::fromLatin1(serviceName);
    if (!bus_.isConnected()) {
        logLine("No D-Bus session bus (%s): running with %s%s",
                qUtf8Printable(bus_.lastError().message()), fallback,
                options_.simulate ? " and without the virtual pads' D-Bus interface" : "");
        return true;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus_.interface()->registerService(name, QDBusConnectionInterface::DontQueueService,
                                          QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        logLine("Could not own %s on the session bus (%s): running with %s", serviceName,
                qUtf8Printable(reply.error().message()), fallback);
        return true;
    }
    if (reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        return false;
    }
    ownsName_ = true;
    return true;
}

QuorvelApplication::Launch QuorvelApplication::launch() {
    if (launched_) {
        throw std::logic_error("QuorvelApplication::launch called twice");
    }
    launched_ = true;
    // Decided before anything opens a pad, so a second copy leaves the first one's pads alone.
    if (!claimSingleInstance()) {
        return Launch::alreadyRunning;
    }

    MediaPlayback::shared().start(backends_.services ? backends_.services->nowPlaying : nullptr);

    auto hid = std::make_unique<CompositeHidManager>();
    hid->add(std::move(backends_.hid));
    auto padUsb = std::make_shared<CompositePadUsb>();
    padUsb->add(backends_.padUsb);
    SimulatedHidManager* simulated = nullptr;
    if (options_.simulate) {
        auto manager = std::make_unique<SimulatedHidManager>();
        simulated = manager.get();
        padUsb->add(manager->usb());
        hid->add(std::move(manager));
    }

    ModelEnvironment environment;
    environment.settingsRoot = backends_.settingsRoot;
    environment.padUsb = std::move(padUsb);
    environment.services = backends_.services;
    if (backends_.siteIcons) {
        // The web-address action draws the site's icon from the same cache the models fill.
        PlatformServices services = backends_.services ? *backends_.services : PlatformServices{};
        services.siteIcon =
            [cache = std::weak_ptr<SiteIconCache>(backends_.siteIcons)](const QUrl& address) {
                const std::shared_ptr<SiteIconCache> icons = cache.lock();
                return icons ? icons->image(address) : QImage();
            };
        environment.services = std::make_shared<const PlatformServices>(std::move(services));
        environment.siteIcons = backends_.siteIcons;
    }
    environment.calibrate = options_.calibrate;
    store_ = std::make_unique<DeviceStore>(std::move(hid), std::move(environment));

    if (simulated) {
        virtualPads_ = std::make_unique<VirtualPads>(*simulated);
        virtualPads_->addStandardPads();
        service_ = std::make_unique<VirtualPadService>(*virtualPads_);
        if (bus_.isConnected()) {
            service_->registerOn(bus_);
        }
    }

    if (ownsName_) {
        // `quorvel --export` and `--import` reach the running pads through this.
        settingsService_ = std::make_unique<SettingsService>(*store_);
        settingsService_->registerOn(bus_);
        // Scripts reach the pads on the user's own session bus only, never the system bus.
        scriptingService_ = std::make_unique<ScriptingService>(*store_);
        if (scriptingService_->registerOn(bus_)) {
            // Owned by the scripting root object, whose path it shares.
            new ApplicationService(
                scriptingService_->root(), bus_,
                {[this] { requestConfiguration(); },
                 [this](const QStringList& paths) { openBundles(paths); }, [this] { quit(); }});
        }
    }
    bundleOpener_ = std::make_unique<SettingsBundleOpener>(*store_);
    bundleOpener_->setDialogs(bundleDialogs_);
    ScriptingRegistry::shared().start(store_.get());
    store_->start();
    if (backends_.systemBus) {
        sleepMonitor_ = std::make_unique<SleepMonitor>(*backends_.systemBus);
        connect(sleepMonitor_.get(), &SleepMonitor::goingToSleep, this, [this] {
            if (!quitting_) {
                store_->suspend();
            }
        });
        connect(sleepMonitor_.get(), &SleepMonitor::shuttingDown, this, [this] {
            logLine("The computer is shutting down");
            quit();
        });
        connect(sleepMonitor_.get(), &SleepMonitor::resumed, this, [this] {
            logLine("Resumed from sleep: pads are brought up again in %lld ms",
                    static_cast<long long>(resumeSettle.count()));
            runOnMainAfter(resumeSettle, this, [this] {
                if (!quitting_) {
                    store_->resume();
                }
            });
        });
    }
    logLine("Quorvel Zodovuvur running%s",
            options_.simulate ? ", with one virtual pad of each kind" : "");
    return Launch::running;
}

void QuorvelApplication::requestConfiguration() {
    if (quitting_) {
        return;
    }
    Q_EMIT configurationRequested();
}

void QuorvelApplication::openBundles(const QStringList& paths) {
    if (quitting_ || !bundleOpener_ || paths.isEmpty()) {
        return;
    }
    requestConfiguration();
    bundleOpener_->open(paths);
}

void QuorvelApplication::setBundleDialogs(std::shared_ptr<BundleOpeningDialogs> dialogs) {
    bundleDialogs_ = std::move(dialogs);
    if (bundleOpener_) {
        bundleOpener_->setDialogs(bundleDialogs_);
    }
}

int QuorvelApplication::exec() {
    const int code = QCoreApplication::exec();
    if (quitFinished_) {
        return code;
    }
    logLine("Quorvel Zodovuvur: the event loop was ended from outside (the session is ending)");
    QEventLoop loop;
    connect(this, &QuorvelApplication::finished, &loop, [&loop] { loop.exit(0); });
    quit();
    if (!quitFinished_) {
        loop.exec();
    }
    return code;
}

void QuorvelApplication::quit() {
    if (quitting_) {
        return;
    }
    quitting_ = true;
    if (!store_) {
        QPointer<QuorvelApplication> self(this);
        QMetaObject::invokeMethod(
            this,
            [self] {
                self->quitFinished_ = true;
                Q_EMIT self->finished(0);
            },
            Qt::QueuedConnection);
        return;
    }
    logLine("Quorvel Zodovuvur quitting: showing every pad's quit frame");
    // Scripts change nothing during the quit frames.
    ScriptingRegistry::shared().stop();
    // Nothing a key asked for may happen after this point: queued actions are dropped, and
    // running scripts are ended rather than waited for up to their time limit. The quit ends
    // once both the quit frames and the action queue are done.
    pendingQuitParts_ = 2;
    QPointer<QuorvelApplication> self(this);
    const auto partDone = [self] {
        if (self && --self->pendingQuitParts_ == 0) {
            self->finishQuit();
        }
    };
    ActionQueue::close(partDone);
    if (backends_.services && backends_.services->scripts) {
        backends_.services->scripts->stopAll();
    }
    store_->clearDisplaysForQuit(partDone);
}

void QuorvelApplication::finishQuit() {
    int cleared = 0;
    int failed = 0;
    for (const Model* model : store_->devices()) {
        if (model->message().startsWith(quitFailurePrefix)) {
            ++failed;
        } else if (model->connected()) {
            ++cleared;
        }
    }
    if (virtualPads_ && !options_.picturesAtQuit.isEmpty()) {
        QDir folder(options_.picturesAtQuit);
        if (!folder.mkpath(QStringLiteral("."))) {
            logLine("Could not create %s for the virtual pads' pictures",
                    qUtf8Printable(options_.picturesAtQuit));
        }
        for (const VirtualPads::Listing& pad : virtualPads_->list()) {
            try {
                virtualPads_->savePicture(
                    pad.name, folder.absoluteFilePath(pad.name + QStringLiteral(".png")));
            } catch (const VirtualPadError& error) {
                logLine(error.message());
            }
        }
    }
    service_.reset();
    settingsService_.reset();
    scriptingService_.reset();
    store_->stop();
    MediaPlayback::shared().stop();
    logLine("Quorvel Zodovuvur quit: quit frame shown on %d pads, %d failed", cleared, failed);
    if (sleepMonitor_) {
        sleepMonitor_->releaseShutdownDelay();
    }
    quitFinished_ = true;
    Q_EMIT finished(0);
}

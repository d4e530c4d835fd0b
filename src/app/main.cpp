#include "actions/linux/SpawnScriptRunner.h"
#include "app/ApplicationService.h"
#include "app/DeviceList.h"
#include "app/QuorvelApplication.h"
#include "app/SettingsCommand.h"
#include "app/VirtualPadWindow.h"
#include "app/linux/DisplayProbe.h"
#include "app/linux/TerminationSignals.h"
#include "artwork/MSDArtwork.h"
#include "core/Log.h"
#include "device/linux/HidapiInventory.h"
#include "shell/MessageBoxBundleDialogs.h"
#include "shell/TrayIcon.h"
#include "ui/ConfigurationWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSessionManager>
#include <QTextStream>

#include <malloc.h>
#include <memory>
#include <vector>

namespace {
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char* argv[]) {
    QStringList arguments;
    for (int index = 0; index < argc; ++index) {
        arguments.append(QString::fromLocal8Bit(argv[index]));
    }
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (QuorvelApplication::wantsDisplay(arguments, environment)) {
        HeldDisplayProbe probe;
        const QString problem = displayProblem(argc, argv, std::chrono::seconds(10), &probe);
        if (problem.isEmpty()) {
            auto application = std::make_unique<QApplication>(argc, argv);
            probe.release();
            return application;
        }
        logLine(
            "No display could be reached (DISPLAY=%s, WAYLAND_DISPLAY=%s: %s): running "
            "headless",
            qUtf8Printable(environment.value(QStringLiteral("DISPLAY"))),
            qUtf8Printable(environment.value(QStringLiteral("WAYLAND_DISPLAY"))),
            qUtf8Printable(problem));
    }
    // Badges are drawn with text, and fonts need a GUI application: without a display it runs
    // on the offscreen platform. Given as an argument, not in the environment, so that programs
    // started by actions still find the user's display.
    static std::vector<char*> headless;
    static int headlessCount = 0;
    headless.assign(argv, argv + argc);
    headless.push_back(const_cast<char*>("-platform"));
    headless.push_back(const_cast<char*>("offscreen"));
    headlessCount = int(headless.size());
    headless.push_back(nullptr);
    return std::make_unique<QGuiApplication>(headlessCount, headless.data());
}
// --export and --import: checked here, run by SettingsCommand.
int runSettingsCommand(const QCommandLineParser& parser, QTextStream& out, QTextStream& err) {
    const bool exporting = parser.isSet(QStringLiteral("export"));
    SettingsCommand command;
    command.operation = exporting ? SettingsCommand::Operation::exportBundle
                                  : SettingsCommand::Operation::importBundle;
    command.deviceID = parser.value(QStringLiteral("device"));
    command.sceneOnly = parser.isSet(QStringLiteral("scene"));
    command.mode = parser.value(QStringLiteral("mode"));
    command.allowScripts = parser.isSet(QStringLiteral("allow-scripts"));
    QString problem;
    if (exporting && parser.isSet(QStringLiteral("import"))) {
        problem = QStringLiteral("--export and --import cannot be combined.");
    } else if (command.deviceID.isEmpty()) {
        problem = QStringLiteral("--device is required with --export and --import.");
    } else if (exporting && (parser.isSet(QStringLiteral("mode")) || command.allowScripts)) {
        problem = QStringLiteral("--mode and --allow-scripts belong to --import.");
    } else if (!exporting && command.sceneOnly) {
        problem = QStringLiteral("--scene belongs to --export.");
    } else if (!exporting && command.mode != QLatin1String("add") &&
               command.mode != QLatin1String("replace")) {
        problem = QStringLiteral("--import needs --mode add or --mode replace.");
    }
    if (!problem.isEmpty()) {
        err << problem << "\nTry 'quorvel --help'.\n";
        return 2;
    }
    QString path = parser.value(exporting ? QStringLiteral("export") : QStringLiteral("import"));
    if (exporting && !path.endsWith(QStringLiteral(".quorvel"), Qt::CaseInsensitive)) {
        path += QStringLiteral(".quorvel");
    }
    // The running copy has its own working folder.
    command.path = QFileInfo(path).absoluteFilePath();
    return command.run(QDBusConnection::sessionBus(), QString(), out, err);
}
}  // namespace

int main(int argc, char* argv[]) {
    // Large pictures (a chosen or searched image of 1024 x 1024 is 4 MB decoded) come and go
    // now and then. With glibc's defaults the threshold for giving such blocks their own mapping
    // rises after the first is freed, and the later ones then stay in the heap after use: an
    // all-day process kept some 8 MB more after a few artwork changes. Fixed thresholds return
    // them to the system, while the frames drawn all the time (at most 1.5 MB) stay in the heap
    // and cost no fresh pages.
    mallopt(M_MMAP_THRESHOLD, 2 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 4 * 1024 * 1024);
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quorvel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Quorvel Zodovuvur drives Mountain DisplayPad and MSD-TWO pads.\n"
        "With a display it shows the configuration window, where scenes and bindings are\n"
        "edited, and a tray icon whose menu opens the window, switches scenes and quits;\n"
        "without one (or with --headless) it drives the pads until it receives SIGINT,\n"
        "SIGTERM or SIGHUP. Starting it again while it runs shows the running copy's\n"
        "window, or imports the settings bundles given there."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption listDevices(
        QStringLiteral("list-devices"),
        QStringLiteral("List the attached pads and this user's access to them, then exit."));
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Add one virtual DisplayPad and one virtual MSD-TWO to the real pads, "
                       "driven through D-Bus (org.quorvel.Zodovuvur.VirtualPads) and, with a "
                       "display, through a window of each that shows its picture."));
    const QCommandLineOption headless(
        QStringLiteral("headless"),
        QStringLiteral("Run without tray icon and window (chosen automatically without a "
                       "display)."));
    const QCommandLineOption background(
        QStringLiteral("background"),
        QStringLiteral("Start without showing the configuration window (as at login)."));
    const QCommandLineOption picturesAtQuit(
        QStringLiteral("save-pictures-at-quit"),
        QStringLiteral("With --simulate: once every pad shows its quit frame, save each virtual "
                       "pad's picture as <folder>/<pad>.png."),
        QStringLiteral("folder"));
    const QCommandLineOption virtualOnly(
        QStringLiteral("virtual-only"),
        QStringLiteral("With --simulate: leave real pads alone and drive only the virtual ones."));
    const QCommandLineOption calibrate(
        QStringLiteral("calibrate"),
        QStringLiteral("Draw red, green, blue and yellow alignment bars inside every MSD-TWO "
                       "screen button, to check the picture against the pad's cut-outs."));
    const QCommandLineOption exportBundle(
        QStringLiteral("export"),
        QStringLiteral("Write the settings of the device given with --device, with all its "
                       "artwork, as the settings bundle <file> (.quorvel is added), then exit."),
        QStringLiteral("file"));
    const QCommandLineOption importBundle(
        QStringLiteral("import"),
        QStringLiteral("Import the settings bundle <bundle> into the device given with --device "
                       "as --mode says, then exit."),
        QStringLiteral("bundle"));
    const QCommandLineOption device(
        QStringLiteral("device"),
        QStringLiteral("The device of --export or --import (see --list-devices)."),
        QStringLiteral("id"));
    const QCommandLineOption sceneOnly(QStringLiteral("scene"),
                                       QStringLiteral("With --export: only the active scene."));
    const QCommandLineOption mode(
        QStringLiteral("mode"),
        QStringLiteral("With --import: add the bundle's scenes, or replace every scene and the "
                       "brightness settings."),
        QStringLiteral("add|replace"));
    const QCommandLineOption allowScripts(
        QStringLiteral("allow-scripts"),
        QStringLiteral("With --import: accept bindings that run shell scripts or AppleScript or "
                       "open applications. Bundles from others can run anything this way."));
    parser.addPositionalArgument(
        QStringLiteral("bundles"),
        QStringLiteral("Settings bundles (.quorvel) to import; the device is asked for."),
        QStringLiteral("[bundle...]"));
    parser.addOptions({listDevices, simulate, headless, background, picturesAtQuit, virtualOnly,
                       calibrate, exportBundle, importBundle, device, sceneOnly, mode,
                       allowScripts});

    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!parser.parse(QCoreApplication::arguments())) {
        err << parser.errorText() << "\nTry 'quorvel --help'.\n";
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        parser.showHelp(0);
    }
    if (parser.isSet(QStringLiteral("version"))) {
        parser.showVersion();
    }
    if (parser.isSet(listDevices)) {
        HidapiInventory inventory;
        return DeviceList::run(inventory, out, err);
    }
    if (parser.isSet(exportBundle) || parser.isSet(importBundle)) {
        if (!parser.positionalArguments().isEmpty()) {
            err << "Settings bundles to open cannot be combined with --export or --import.\n";
            return 2;
        }
        return runSettingsCommand(parser, out, err);
    }
    QString bundleProblem;
    const std::optional<QStringList> bundles = ApplicationService::bundleURIs(
        parser.positionalArguments(), QDir::currentPath(), &bundleProblem);
    if (!bundles) {
        err << bundleProblem << "\nTry 'quorvel --help'.\n";
        return 2;
    }
    for (const QCommandLineOption* option : {&device, &sceneOnly, &mode, &allowScripts}) {
        if (parser.isSet(*option)) {
            err << "--" << option->names().first() << " needs --export or --import.\n";
            return 2;
        }
    }
    if (parser.isSet(picturesAtQuit) && !parser.isSet(simulate)) {
        err << "--save-pictures-at-quit needs --simulate: only virtual pads can be saved.\n";
        return 2;
    }
    if (parser.isSet(virtualOnly) && !parser.isSet(simulate)) {
        err << "--virtual-only needs --simulate: without it there would be no pad at all.\n";
        return 2;
    }

    // Installed before anything touches a pad, so that a signal arriving during start-up still
    // leads to the orderly quit. A second signal ends the process at once, and the scripts still
    // running go with it.
    TerminationSignals terminationSignals(&SpawnScriptRunner::killRunningScripts);

    QuorvelApplication::Options options;
    options.simulate = parser.isSet(simulate);
    options.picturesAtQuit = parser.value(picturesAtQuit);
    options.calibrate = MSDArtwork::calibrationRequested(QCoreApplication::arguments());
    QuorvelApplication::Backends backends = QuorvelApplication::realPads();
    if (parser.isSet(virtualOnly)) {
        backends.hid.reset();
        backends.padUsb.reset();
    }
    QuorvelApplication application(options, std::move(backends), QDBusConnection::sessionBus());
    QObject::connect(&terminationSignals, &TerminationSignals::terminationRequested, &application,
                     [&application] { application.quit(); });
    QObject::connect(&application, &QuorvelApplication::finished, app.get(),
                     [](int code) { QCoreApplication::exit(code); });

    if (application.launch() == QuorvelApplication::Launch::alreadyRunning) {
        return ApplicationService::handOver(QDBusConnection::sessionBus(), *bundles,
                                            parser.isSet(background), out, err);
    }
    // With a display: the tray icon with its menu, and the configuration window. Message boxes
    // closing must not end the program, which lives on in the tray.
    std::unique_ptr<TrayIcon> tray;
    std::unique_ptr<ConfigurationWindow> window;  // built when first shown
    bool windowed = false;
    std::vector<std::unique_ptr<VirtualPadWindow>> virtualPadWindows;
    if (qobject_cast<QApplication*>(app.get())) {
        QApplication::setQuitOnLastWindowClosed(false);
        tray = std::make_unique<TrayIcon>(*application.store());
        QObject::connect(tray.get(), &TrayIcon::quitRequested, &application,
                         [&application] { application.quit(); });
        QObject::connect(tray.get(), &TrayIcon::settingsRequested, &application,
                         &QuorvelApplication::requestConfiguration);
        // Without a tray to bring it back, a hidden window could never be opened.
        const bool inTray = tray->show();
        windowed = true;
        window =
            ConfigurationWindow::launch(*application.store(), parser.isSet(background) && inTray);
        if (application.virtualPads()) {
            virtualPadWindows = VirtualPadWindow::showAll(*application.virtualPads());
        }
        application.setBundleDialogs(std::make_shared<MessageBoxBundleDialogs>());
        // Starting at login is the autostart entry's job ("Launch at Login"); a session manager
        // that restarted us on its own would overrule the user's choice.
        QObject::connect(qGuiApp, &QGuiApplication::saveStateRequest, qGuiApp,
                         [](QSessionManager& session) {
                             session.setRestartHint(QSessionManager::RestartNever);
                         });
    }
    // A second start, a launcher, the tray menu or an opened bundle asks for the window; without
    // a display there is only the log to tell.
    if (windowed) {
        QObject::connect(&application, &QuorvelApplication::configurationRequested, &application,
                         [&window, &application] {
                             if (!window) {
                                 window =
                                     std::make_unique<ConfigurationWindow>(*application.store());
                             }
                             window->bringToFront();
                         });
    } else {
        QObject::connect(&application, &QuorvelApplication::configurationRequested, &application,
                         [] { logLine("Quorvel Zodovuvur configuration requested"); });
    }
    QString problem;
    application.openBundles(
        ApplicationService::localPaths(*bundles, &problem).value_or(QStringList()));
    return application.exec();
}

// Pictures of the configuration window for people to look at (README, reviews): the program's
// own window over its two virtual pads, one PNG per pad with a control selected, and beside
// each the picture the virtual pad shows. Runs on any Qt platform; `make screenshots` uses the
// offscreen one, so no display is needed. Touches no user folder: settings, runtime and config
// folders are temporary.

#include "app/QuorvelApplication.h"
#include "app/VirtualPadWindow.h"
#include "app/VirtualPads.h"
#include "model/DeviceStore.h"
#include "model/Model.h"
#include "ui/ConfigurationWindow.h"
#include "ui/PadViews.h"
#include "ui/SettingsView.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QDir>
#include <QPalette>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <functional>

namespace {
bool waitFor(const std::function<bool()>& condition) {
    QDeadlineTimer deadline(20000);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

// A few bindings so that the pictures show more than the defaults.
void bindExamples(Model& model) {
    const QStringList actions = {QStringLiteral("Volume up"), QStringLiteral("Volume down"),
                                 QStringLiteral("Mute"),      QStringLiteral("Open URL"),
                                 QStringLiteral("Keystroke"), QStringLiteral("Next scene")};
    int index = 0;
    // A copy: each update replaces the scene being walked.
    const QList<Binding> keys = model.activeScene().keys;
    for (Binding binding : keys) {
        if (binding.id > model.kind().keyCount() || index >= actions.size()) {
            continue;
        }
        binding.action = actions[index++];
        if (binding.action == QLatin1String("Open URL")) {
            binding.argument = QStringLiteral("https://example.org");
        }
        model.updateBinding(model.activeSceneID(), binding);
    }
}
// A dark desktop palette, as a dark desktop theme hands it to Qt programs.
QPalette darkPalette() {
    QPalette palette;
    const QColor window(45, 45, 48), base(30, 30, 32), text(230, 230, 230);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window.lighter(120));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::PlaceholderText, text.darker(160));
    palette.setColor(QPalette::Highlight, QColor(61, 142, 201));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    return palette;
}
}  // namespace

int main(int argc, char* argv[]) {
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    QStandardPaths::setTestModeEnabled(true);
    QApplication application(argc, argv);
    QTextStream err(stderr);
    const QString folder =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    if (!QDir().mkpath(folder)) {
        err << "Cannot create " << folder << "\n";
        return 1;
    }

    QTemporaryDir settings;
    QuorvelApplication::Backends backends;
    backends.settingsRoot = settings.path();
    QuorvelApplication::Options options;
    options.simulate = true;
    QuorvelApplication program(options, std::move(backends),
                               QDBusConnection(QStringLiteral("none")));
    program.launch();
    DeviceStore& store = *program.store();
    if (!waitFor([&] {
            const QList<Model*> devices = store.devices();
            return devices.size() == 2 && devices[0]->connected() && devices[1]->connected();
        })) {
        err << "The virtual pads did not come up\n";
        return 1;
    }

    ConfigurationWindow window(store);
    window.resize(1050, 720);
    window.show();
    // Each pad with a control selected (a web address, a keystroke, a dial), in the desktop's
    // light palette and again in a dark one.
    const struct {
        QString pad, name;
        int control;
        bool dark;
    } shots[] = {{QStringLiteral("displaypad"), QStringLiteral("displaypad"), 4, false},
                 {QStringLiteral("displaypad"), QStringLiteral("displaypad-keystroke"), 5, false},
                 {QStringLiteral("msd-two"), QStringLiteral("msd-two"), 0x51, false},
                 {QStringLiteral("displaypad"), QStringLiteral("displaypad-dark"), 4, true},
                 {QStringLiteral("msd-two"), QStringLiteral("msd-two-dark"), 0x51, true}};
    const QPalette light = QApplication::palette();
    for (const auto& [pad, name, control, dark] : shots) {
        QApplication::setPalette(dark ? darkPalette() : light);
        const QString id = [&, &pad = pad] {
            for (const VirtualPads::Listing& listing : program.virtualPads()->list()) {
                if (listing.name == pad) {
                    return listing.deviceID;
                }
            }
            return QString();
        }();
        Model* model = store.model(id);
        if (!model) {
            err << "No device for " << pad << "\n";
            return 1;
        }
        bindExamples(*model);
        store.select(id);
        waitFor([&] { return window.rootView()->settingsView() != nullptr; });
        window.rootView()->settingsView()->padView()->setSelected(control);
        // Let the pad redraw and deferred deletions happen.
        QDeadlineTimer settle(600);
        while (!settle.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        const QString path = QDir(folder).filePath(QStringLiteral("window-%1.png").arg(name));
        if (!window.grab().save(path)) {
            err << "Cannot write " << path << "\n";
            return 1;
        }
        program.virtualPads()->savePicture(pad, QDir(folder).absoluteFilePath(pad + ".png"));
        QTextStream(stdout) << path << "\n";
    }
    window.hide();
    QApplication::setPalette(light);
    for (const auto& padWindow : VirtualPadWindow::showAll(*program.virtualPads())) {
        padWindow->resize(padWindow->sizeHint());
        QCoreApplication::processEvents();
        const QString path =
            QDir(folder).filePath(padWindow->windowTitle().section(QChar(0x201c), 1).chopped(1) +
                                  QStringLiteral("-window.png"));
        padWindow->grab().save(path);
        QTextStream(stdout) << path << "\n";
    }
    bool finished = false;
    QObject::connect(&program, &QuorvelApplication::finished, [&] { finished = true; });
    program.quit();
    waitFor([&] { return finished; });
    return 0;
}

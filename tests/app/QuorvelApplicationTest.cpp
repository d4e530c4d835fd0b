#include "app/QuorvelApplication.h"
#include "app/VirtualPads.h"
#include "device/DisplayPadProtocol.h"
#include "device/virtual/VirtualDisplayPad.h"
#include "device/virtual/VirtualMsdTwo.h"
#include "model/DeviceStore.h"
#include "model/Model.h"
#include "support/LocalServers.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(QuorvelApplication, QuitBeforeLaunchFinishesOnTheNextTurnOfTheEventLoop) {
    QTemporaryDir root;
    QuorvelApplication::Backends backends;
    backends.settingsRoot = root.path();
    QuorvelApplication app({}, std::move(backends), QDBusConnection(QStringLiteral("none")));
    std::vector<int> finished;
    QObject::connect(&app, &QuorvelApplication::finished,
                     [&](int code) { finished.push_back(code); });
    app.quit();
    app.quit();
    EXPECT_TRUE(finished.empty());
    EXPECT_TRUE(waitUntil([&] { return !finished.empty(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(finished, std::vector<int>{0});
}

// logind on a private bus as the system bus: after "resume" both virtual pads are activated and
// painted from scratch again, on the same models; "shutdown" quits with the quit frames.
TEST(QuorvelApplication, AfterResumeEveryPadIsPaintedAgainAndAShutdownQuitsInOrder) {
    DbusDaemon bus;
    QDBusConnection logind = QDBusConnection::connectToBus(bus.address(), QStringLiteral("logind"));
    ASSERT_TRUE(logind.registerService(QStringLiteral("org.freedesktop.login1")));
    QTemporaryDir root;
    QuorvelApplication::Backends backends;
    backends.settingsRoot = root.path();
    backends.systemBus = QDBusConnection::connectToBus(bus.address(), QStringLiteral("system"));
    QuorvelApplication::Options options;
    options.simulate = true;
    QuorvelApplication app(options, std::move(backends), QDBusConnection("none"));
    app.launch();
    auto displayPad =
        std::static_pointer_cast<VirtualDisplayPad>(app.virtualPads()->pad("displaypad"));
    auto msdTwo = std::static_pointer_cast<VirtualMsdTwo>(app.virtualPads()->pad("msd-two"));
    // An activation and every key (and the background) per bring-up.
    // A slow machine may need a second activation attempt: each bring-up sends at least one more.
    const auto activations = [&] {
        return displayPad->reports().count(
            DisplayPadProtocol::outputReport(DisplayPadProtocol::enableApplication()));
    };
    qsizetype activationsBefore = 0;
    const auto broughtUp = [&](int times) {
        bool all =
            activations() > activationsBefore && displayPad->imagesReceived() == 12 * times &&
            msdTwo->commands().count("DIS") == times && msdTwo->backgroundsReceived() == times;
        for (int key = 1; key <= VirtualMsdTwo::buttonCount; ++key) {
            all = all && msdTwo->imagesReceived(key) == times;
        }
        return all;
    };
    ASSERT_TRUE(waitUntil([&] { return broughtUp(1); }, std::chrono::seconds(30)));
    activationsBefore = activations();

    LogCapture log;
    for (bool start : {true, false}) {
        QDBusMessage signal = QDBusMessage::createSignal(
            "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep");
        logind.send(signal << start);
    }
    EXPECT_TRUE(waitUntil([&] { return broughtUp(2); }, std::chrono::seconds(30)))
        << log.lines().join('\n').toStdString();
    EXPECT_TRUE(log.contains("Bringing 2 attached pads up again after sleep"));
    EXPECT_EQ(app.store()->devices().size(), 2);
    // A shutdown announced by logind is an orderly quit.
    bool finished = false;
    QObject::connect(&app, &QuorvelApplication::finished, [&] { finished = true; });
    logind.send(QDBusMessage::createSignal("/org/freedesktop/login1",
                                           "org.freedesktop.login1.Manager", "PrepareForShutdown")
                << true);
    EXPECT_TRUE(waitUntil([&] { return finished; }));
    EXPECT_TRUE(log.contains("Quorvel Zodovuvur quit: quit frame shown on 2 pads, 0 failed"));
    QDBusConnection::disconnectFromBus(QStringLiteral("logind"));
}

// The session manager's "die" at logout ends the event loop without asking: the pads still get
// their quit frames.
TEST(QuorvelApplication, EventLoopEndedFromOutsideStillEndsWithTheQuitFrames) {
    QTemporaryDir root;
    qputenv("XDG_RUNTIME_DIR", root.path().toUtf8());  // its own instance lock, beside other tests
    QuorvelApplication::Backends backends;
    backends.settingsRoot = root.path();
    QuorvelApplication::Options options;
    options.simulate = true;
    QuorvelApplication app(options, std::move(backends), QDBusConnection("none"));
    ASSERT_EQ(app.launch(), QuorvelApplication::Launch::running);
    ASSERT_TRUE(waitUntil(
        [&] {
            const QList<Model*> devices = app.store()->devices();
            return devices.size() == 2 && std::all_of(devices.begin(), devices.end(), [](Model* m) {
                       return m->message().endsWith(" ready");
                   });
        },
        std::chrono::seconds(30)));
    LogCapture log;
    QMetaObject::invokeMethod(
        qApp, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    EXPECT_EQ(app.exec(), 0);
    EXPECT_TRUE(log.contains("Quorvel Zodovuvur quit: quit frame shown on 2 pads, 0 failed"))
        << log.lines().join('\n');
}

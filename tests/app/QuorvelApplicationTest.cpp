#include "app/QuorvelApplication.h"
#include "app/VirtualPads.h"
#include "model/DeviceStore.h"
#include "model/Model.h"
#include "support/TestSupport.h"

#include "AppTestSupport.h"
#include "DbusDaemon.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>

#include <gtest/gtest.h>

// The fixture carries the name of the class under test, which lives in the global namespace.
namespace app_test {
// The application over the virtual pads only (no real pad, no desktop service), with its
// settings in a temporary folder and a private bus as its session bus.
class QuorvelApplication : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(bus.address().isEmpty()) << bus.log().toStdString(); }
    void TearDown() override {
        for (const QString& name : connections) {
            QDBusConnection::disconnectFromBus(name);
        }
    }

    QDBusConnection connect(const QString& name) {
        connections.append(name);
        return QDBusConnection::connectToBus(bus.address(), name);
    }
    std::unique_ptr<::QuorvelApplication> make(
        const QString& connection, ::QuorvelApplication::Options options = simulated()) {
        ::QuorvelApplication::Backends backends;
        backends.settingsRoot = root.filePath(QStringLiteral("Devices"));
        return std::make_unique<::QuorvelApplication>(options, std::move(backends),
                                                      connect(connection));
    }
    static ::QuorvelApplication::Options simulated() {
        ::QuorvelApplication::Options options;
        options.simulate = true;
        return options;
    }
    static bool bothReady(const ::QuorvelApplication& app) {
        const QList<Model*> models = app.store()->devices();
        return models.size() == 2 && std::all_of(models.begin(), models.end(), [](Model* model) {
                   return model->message().endsWith(QStringLiteral(" ready"));
               });
    }

    DbusDaemon bus;
    QTemporaryDir root;
    QStringList connections;
};

TEST_F(QuorvelApplication, WidgetsOnlyWithADisplayAndNotAskedToGoWithout) {
    QProcessEnvironment none;
    QProcessEnvironment x11;
    x11.insert(QStringLiteral("DISPLAY"), QStringLiteral(":0"));
    QProcessEnvironment wayland;
    wayland.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-0"));
    QProcessEnvironment emptyDisplay;
    emptyDisplay.insert(QStringLiteral("DISPLAY"), QString());
    const QStringList plain = {QStringLiteral("quorvel"), QStringLiteral("--simulate")};

    EXPECT_FALSE(::QuorvelApplication::wantsDisplay(plain, none));
    EXPECT_FALSE(::QuorvelApplication::wantsDisplay(plain, emptyDisplay));
    EXPECT_TRUE(::QuorvelApplication::wantsDisplay(plain, x11));
    EXPECT_TRUE(::QuorvelApplication::wantsDisplay(plain, wayland));
    for (const char* option : {"--headless", "--list-devices", "--help", "--version"}) {
        EXPECT_FALSE(::QuorvelApplication::wantsDisplay(
            {QStringLiteral("quorvel"), QString::fromLatin1(option)}, x11))
            << option;
    }
}

TEST_F(QuorvelApplication, ASecondCopyStepsAsideWithoutTouchingThePads) {
    auto first = make(QStringLiteral("first"));
    ASSERT_EQ(first->launch(), ::QuorvelApplication::Launch::running);
    QDBusConnection observer = connect(QStringLiteral("observer"));
    EXPECT_TRUE(observer.interface()->isServiceRegistered(
        QString::fromLatin1(::QuorvelApplication::serviceName)));

    auto second = make(QStringLiteral("second"));
    EXPECT_EQ(second->launch(), ::QuorvelApplication::Launch::alreadyRunning);
    EXPECT_EQ(second->store(), nullptr);
    EXPECT_EQ(second->virtualPads(), nullptr);
    EXPECT_TRUE(waitUntil([&] { return bothReady(*first); }));
}

TEST_F(QuorvelApplication, RunsWithoutASessionBus) {
    LogCapture log;
    ::QuorvelApplication::Backends backends;
    backends.settingsRoot = root.filePath(QStringLiteral("Devices"));
    ::QuorvelApplication app(simulated(), std::move(backends),
                             QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent"),
                                                           QStringLiteral("nobus")));
    connections.append(QStringLiteral("nobus"));
    ASSERT_EQ(app.launch(), ::QuorvelApplication::Launch::running);
    EXPECT_TRUE(waitUntil([&] { return bothReady(app); }));
    const QStringList lines = log.lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString& line) {
        return line.startsWith(QStringLiteral("No D-Bus session bus"));
    })) << lines.join('\n').toStdString();
}

TEST_F(QuorvelApplication, QuitShowsEveryPadsQuitFrameBeforeFinishing) {
    writeColoredKeyOne(root.filePath(QStringLiteral("Devices")), root.path(), Qt::red);
    ::QuorvelApplication::Options options = simulated();
    options.picturesAtQuit = root.filePath(QStringLiteral("pictures"));
    auto app = make(QStringLiteral("app"), options);
    ASSERT_EQ(app->launch(), ::QuorvelApplication::Launch::running);
    ASSERT_TRUE(waitUntil([&] { return bothReady(*app); }));
    const QColor before = displayPadKeyColor(app->virtualPads()->picture("displaypad"), 1);
    EXPECT_GT(before.red(), 200);
    EXPECT_LT(before.green(), 50);

    LogCapture log;
    std::vector<int> finished;
    QObject::connect(app.get(), &::QuorvelApplication::finished,
                     [&](int code) { finished.push_back(code); });
    app->quit();
    app->quit();
    EXPECT_TRUE(app->isQuitting());
    ASSERT_TRUE(waitUntil([&] { return !finished.empty(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(finished, std::vector<int>{0});

    EXPECT_EQ(displayPadKeyColor(app->virtualPads()->picture("displaypad"), 1), QColor(Qt::black));
    const QImage saved(QDir(options.picturesAtQuit).filePath("displaypad.png"));
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(displayPadKeyColor(saved, 1), QColor(Qt::black));
    EXPECT_FALSE(QImage(QDir(options.picturesAtQuit).filePath("msd-two.png")).isNull());
    EXPECT_TRUE(log.contains("Quorvel Zodovuvur quit: quit frame shown on 2 pads, 0 failed"))
        << log.lines().join('\n').toStdString();
    for (const Model* model : app->store()->devices()) {
        EXPECT_FALSE(model->connected());
    }
}

TEST_F(QuorvelApplication, QuitBeforeLaunchFinishesAtOnce) {
    auto app = make(QStringLiteral("idle"));
    std::vector<int> finished;
    QObject::connect(app.get(), &::QuorvelApplication::finished,
                     [&](int code) { finished.push_back(code); });
    app->quit();
    EXPECT_TRUE(finished.empty());
    EXPECT_TRUE(waitUntil([&] { return finished == std::vector<int>{0}; }));
}

}  // namespace app_test

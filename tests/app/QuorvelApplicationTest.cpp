#include "app/QuorvelApplication.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Launch, single instance and the quit are driven through the built program in
// QuorvelProgramTest; these are the parts that need no process of their own.

TEST(QuorvelApplication, WidgetsOnlyWithADisplayAndNotAskedToGoWithout) {
    QProcessEnvironment none;
    QProcessEnvironment x11;
    x11.insert(QStringLiteral("DISPLAY"), QStringLiteral(":0"));
    QProcessEnvironment wayland;
    wayland.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-0"));
    QProcessEnvironment emptyDisplay;
    emptyDisplay.insert(QStringLiteral("DISPLAY"), QString());
    const QStringList plain = {QStringLiteral("quorvel"), QStringLiteral("--simulate")};

    EXPECT_FALSE(QuorvelApplication::wantsDisplay(plain, none));
    EXPECT_FALSE(QuorvelApplication::wantsDisplay(plain, emptyDisplay));
    EXPECT_TRUE(QuorvelApplication::wantsDisplay(plain, x11));
    EXPECT_TRUE(QuorvelApplication::wantsDisplay(plain, wayland));
    for (const char* option :
         {"--headless", "--list-devices", "--help", "--help-all", "--version"}) {
        EXPECT_FALSE(QuorvelApplication::wantsDisplay(
            {QStringLiteral("quorvel"), QString::fromLatin1(option)}, x11))
            << option;
    }
}

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

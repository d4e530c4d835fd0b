#include "shell/StatusMenu.h"

#include "shell/LaunchAtLogin.h"
#include "support/ModelHarness.h"
#include "support/SettingsFiles.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>

namespace {
QStringList titles(const QMenu* menu) {
    QStringList list;
    for (const QAction* action : menu->actions()) {
        list << action->text() + (action->isChecked() ? "*" : "") +
                    (action->isEnabled() ? "" : " (off)");
    }
    return list;
}
}  // namespace

TEST(StatusMenu, TitlesAndScenesFollowTheConnectedPads) {
    ModelHarness harness;
    StatusMenu status(harness.store(), true);
    status.prepare(false);
    EXPECT_EQ(titles(status.menu()).first(), "No devices connected (off)");
    EXPECT_EQ(titles(status.scenesMenu()), QStringList{"No devices connected (off)"});

    const auto displayPad = ModelHarness::displayPad();
    harness.putScenes(ModelHarness::idOf(*displayPad),
                      coloredScenes(harness, DeviceKind::mountain, {Qt::red, Qt::green}));
    Model* first = harness.attach(displayPad);
    status.prepare(false);
    EXPECT_EQ(status.settingsItem()->text(), "Configure your device");
    ASSERT_EQ(status.scenesMenu()->actions().size(), 1);
    QMenu* scenes = status.scenesMenu()->actions()[0]->menu();
    EXPECT_EQ(scenes->title(), first->deviceName());
    EXPECT_EQ(titles(scenes), (QStringList{"Scene 1*", "Scene 2"}));
    scenes->actions()[1]->trigger();
    EXPECT_EQ(first->activeSceneID(), first->scenes()[1].id);

    const auto msdTwo = ModelHarness::msdTwo();
    harness.attach(msdTwo);
    status.prepare(false);
    EXPECT_EQ(status.settingsItem()->text(), "Configure your devices");
    EXPECT_TRUE(status.settingsItem()->isEnabled());
    EXPECT_EQ(status.scenesMenu()->actions().size(), 2);

    // A pad unplugged after the menu was built: its scene can no longer be chosen.
    scenes = status.scenesMenu()->actions()[0]->menu();
    harness.hid().unplug(displayPad);
    ASSERT_TRUE(waitUntil([&] { return !first->connected(); }));
    scenes->actions()[0]->trigger();
    EXPECT_EQ(first->activeSceneID(), first->scenes()[1].id);
    EXPECT_EQ(harness.store().message(), "Could not identify the selected scene");
    status.prepare(false);
    EXPECT_EQ(status.settingsItem()->text(), "Configure your device");
    EXPECT_EQ(status.scenesMenu()->actions().size(), 1);
}

TEST(StatusMenu, UpdateItemsAndLaunchAtLogin) {
    ModelHarness harness;
    for (bool site : {true, false}) {
        SCOPED_TRACE(site ? "with an update site" : "without one");
        StatusMenu status(harness.store(), site);
        status.prepare(true);
        EXPECT_EQ(status.checkUpdatesItem()->isVisible(), site) << "Alt held";
        status.prepare(false);
        EXPECT_FALSE(status.checkUpdatesItem()->isVisible() ||
                     status.newVersionItem()->isVisible());
        status.setNewerVersionAvailable(true);
        EXPECT_EQ(status.newVersionItem()->isVisible(), site);
    }

    // The entry starts this program hidden; entries switched off the desktops' ways count as off;
    // an autostart folder that cannot be made is said.
    StatusMenu status(harness.store(), false);
    const QString path = LaunchAtLogin::entryPath(), folder = QFileInfo(path).absolutePath();
    QFile::remove(path);
    for (bool on : {true, false}) {
        status.launchAtLoginItem()->trigger();
        EXPECT_EQ(status.launchAtLoginItem()->isChecked(), on);
        EXPECT_EQ(QFile::exists(path), on);
        EXPECT_EQ(QString(readFile(path))
                      .contains("\nExec=\"" + QCoreApplication::applicationFilePath() +
                                "\" --background\n"),
                  on);
    }
    for (const char* line : {"Hidden=true", "X-GNOME-Autostart-enabled=false"}) {
        writeBytes(path, QByteArray("[Desktop Entry]\nExec=quorvel\n") + line + "\n");
        EXPECT_EQ(LaunchAtLogin::status(), LaunchAtLogin::Status::disabled) << line;
    }
    QDir(folder).removeRecursively();
    writeBytes(folder, "a file where the folder belongs");
    EXPECT_TRUE(LaunchAtLogin::setEnabled(true).contains("could not be created"));
    QFile::remove(folder);
}

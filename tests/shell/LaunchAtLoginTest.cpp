#include "shell/LaunchAtLogin.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

// Turning it on and off through the menu is in StatusMenuTest.
TEST(LaunchAtLogin, EntryStartsThisProgramHiddenAndSwitchedOffEntriesCount) {
    const QString path = LaunchAtLogin::entryPath(), folder = QFileInfo(path).absolutePath();
    ASSERT_EQ(LaunchAtLogin::setEnabled(true), QString());
    EXPECT_TRUE(
        QString(readFile(path))
            .contains("\nExec=\"" + QCoreApplication::applicationFilePath() + "\" --background\n"));
    for (const char* line : {"Hidden=true", "X-GNOME-Autostart-enabled=false"}) {
        SCOPED_TRACE(line);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("[Desktop Entry]\nExec=quorvel\n") + line + "\n");
        file.close();
        EXPECT_EQ(LaunchAtLogin::status(), LaunchAtLogin::Status::disabled);
    }

    // The autostart folder's place is taken by a file.
    QDir(folder).removeRecursively();
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    EXPECT_TRUE(LaunchAtLogin::setEnabled(true).contains("could not be created"));
    EXPECT_EQ(LaunchAtLogin::status(), LaunchAtLogin::Status::disabled);
    blocker.remove();
}

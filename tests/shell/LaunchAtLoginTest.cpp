#include "shell/LaunchAtLogin.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

using Status = LaunchAtLogin::Status;

TEST(LaunchAtLogin, WritesAndRemovesTheAutostartEntryAndHonoursSwitchedOffOnes) {
    const QString path = LaunchAtLogin::entryPath();
    QDir(QFileInfo(path).absolutePath()).removeRecursively();
    EXPECT_EQ(LaunchAtLogin::status(), Status::disabled);

    ASSERT_EQ(LaunchAtLogin::setEnabled(true), QString());
    EXPECT_EQ(LaunchAtLogin::status(), Status::enabled);
    const QString entry = QString::fromUtf8(readFile(path));
    EXPECT_TRUE(
        entry.contains("\nExec=\"" + QCoreApplication::applicationFilePath() + "\" --background\n"))
        << entry.toStdString();

    const QString switchedOff[] = {"Hidden=true", "X-GNOME-Autostart-enabled=false"};
    for (const QString& line : switchedOff) {
        SCOPED_TRACE(line.toStdString());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(("[Desktop Entry]\nExec=quorvel --background\n" + line + "\n").toUtf8());
        file.close();
        EXPECT_EQ(LaunchAtLogin::status(), Status::disabled);
    }

    ASSERT_EQ(LaunchAtLogin::setEnabled(false), QString());
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(LaunchAtLogin::setEnabled(false), QString()) << "already off";

    // The autostart folder's place is taken by a file: the reason names the folder.
    QDir(QFileInfo(path).absolutePath()).removeRecursively();
    QFile blocker(QFileInfo(path).absolutePath());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_TRUE(LaunchAtLogin::setEnabled(true).contains("could not be created"));
    EXPECT_EQ(LaunchAtLogin::status(), Status::disabled);
    QFile::remove(blocker.fileName());
}

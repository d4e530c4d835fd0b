#include "config/DurableWrite.h"

#include "config/ConfigurationFileSystem.h"
#include "support/SettingsFiles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>

TEST(DurableWrite, ReplacesTheWholeFileThroughLinksOrFailsNamingItAndReadingRefusesOversizedFiles) {
    QTemporaryDir dir;
    writeBytes(dir.filePath("dotfiles/bindings.json"), QByteArray(4096, 'x'));
    QDir(dir.path()).mkpath("device/appearance.json");
    // A relative link to a file, and one to a file that does not exist yet.
    for (const char* name : {"bindings.json", "settings.json"}) {
        const QString link = dir.filePath(QString("device/") + name);
        ASSERT_TRUE(QFile::link(QString("../dotfiles/") + name, link));
        writeFileDurably(link, "new");
        EXPECT_TRUE(QFileInfo(link).isSymLink()) << name;
        EXPECT_EQ(readFile(link), "new") << name;
    }
    EXPECT_EQ(folderEntries(dir.filePath("dotfiles")),
              (QStringList{"bindings.json", "settings.json"}));
    EXPECT_TRUE(
        actionErrorOf([&] { writeFileDurably(dir.filePath("device/appearance.json"), "{}"); })
            .startsWith(QString("The file “appearance.json” couldn’t be saved in the folder “%1”: ")
                            .arg(dir.filePath("device"))));
    EXPECT_EQ(folderEntries(dir.filePath("device")),
              (QStringList{"appearance.json", "bindings.json", "settings.json"}));
    EXPECT_NE(actionErrorOf([&] { writeFileDurably(dir.filePath("absent/bindings.json"), "{}"); }),
              "(no error)");
    // Only leftovers of our own writes are swept away.
    QTemporaryDir sweep;
    writeBytes(sweep.filePath(".bindings.json.quorvel-save-a1B2c3"), "half");
    const QStringList kept = {".appearance.json.quorvel-save-a1B2c3", ".bindings.json.backup",
                              ".bindings.json.quorvel-save-a1B2c3.old",
                              ".bindings.json.quorvel-save-notes", "bindings.json"};
    for (const QString& name : kept) {
        writeBytes(sweep.filePath(name), "the user's");
    }
    removeLeftoverTemporaryFiles(sweep.filePath("bindings.json"));
    EXPECT_EQ(folderEntries(sweep.path()), kept);
    // Reading refuses oversized files.
    QFile huge(dir.filePath("huge.json"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) &&
                huge.resize(ConfigurationFileSystem::maximumFileSize + 1));
    EXPECT_EQ(actionErrorOf([&] { ConfigurationFileSystem().read(huge.fileName()); }),
              "The file “huge.json” couldn’t be read because it is too large (67108865 bytes).");
}

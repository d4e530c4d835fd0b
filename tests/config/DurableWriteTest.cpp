#include "config/DurableWrite.h"

#include "config/ConfigurationFileSystem.h"

#include "support/SettingsFiles.h"
#include "support/TestSupport.h"

#include <QDir>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(DurableWrite, ReplacesTheWholeFileThroughLinksOrFailsNamingItLeavingNoTemporaryFile) {
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
}

TEST(DurableWrite, OnlyLeftoversOfOurOwnWritesAreSweptAway) {
    QTemporaryDir dir;
    writeBytes(dir.filePath(".bindings.json.quorvel-save-a1B2c3"), "half");
    const QStringList kept = {".appearance.json.quorvel-save-a1B2c3", ".bindings.json.backup",
                              ".bindings.json.quorvel-save-a1B2c3.old",
                              ".bindings.json.quorvel-save-notes", "bindings.json"};
    for (const QString& name : kept) {
        writeBytes(dir.filePath(name), "the user's");
    }
    removeLeftoverTemporaryFiles(dir.filePath("bindings.json"));
    EXPECT_EQ(folderEntries(dir.path()), kept);
}

TEST(ConfigurationFileSystem, ReadsIntoABufferOfTheFilesSizeRefusingOversizedFiles) {
    QTemporaryDir dir;
    QFile huge(dir.filePath("huge.json"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) &&
                huge.resize(ConfigurationFileSystem::maximumFileSize + 1));
    EXPECT_EQ(actionErrorOf([&] { ConfigurationFileSystem().read(huge.fileName()); }),
              "The file “huge.json” couldn’t be read because it is too large (67108865 bytes).");
    writeBytes(dir.filePath("bindings.json"), QByteArray(2048, 'x'));
    // A child process with far less address space left than the size limit: a read that
    // reserved the limit fails there.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlim_t used = readFile("/proc/self/statm").split(' ').value(0).toULongLong() *
                            static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
        const rlimit limit{used + 16 * 1024 * 1024, used + 16 * 1024 * 1024};
        bool read = false;
        if (::setrlimit(RLIMIT_AS, &limit) == 0) {
            try {
                read = ConfigurationFileSystem().read(dir.filePath("bindings.json")).size() == 2048;
            } catch (...) {
            }
        }
        ::_exit(read ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

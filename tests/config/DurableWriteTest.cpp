#include "config/DurableWrite.h"

#include "config/ConfigurationFileSystem.h"
#include "core/ActionError.h"

#include "ConfigTestSupport.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(DurableWrite, ReplacesTheWholeFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bindings.json"));
    writeBytes(path, QByteArray(4096, 'x'));
    writeFileDurably(path, "short");
    EXPECT_EQ(readBytes(path), QByteArray("short"));
    EXPECT_EQ(folderEntries(dir.path()), QStringList{QStringLiteral("bindings.json")});
}

TEST(DurableWrite, FailureNamesTheFileAndLeavesNoTemporaryFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("appearance.json"));
    ASSERT_TRUE(QDir().mkpath(path));
    try {
        writeFileDurably(path, "{}");
        ADD_FAILURE() << "a folder was replaced by a file";
    } catch (const ActionError& error) {
        EXPECT_TRUE(error.message().startsWith(
            QStringLiteral("The file “appearance.json” couldn’t be saved in the folder “%1”: ")
                .arg(dir.path())))
            << error.what();
    }
    EXPECT_EQ(folderEntries(dir.path()), QStringList{QStringLiteral("appearance.json")});

    EXPECT_THROW(writeFileDurably(dir.filePath(QStringLiteral("absent/bindings.json")), "{}"),
                 ActionError);
}

TEST(DurableWrite, OnlyLeftoversOfOurOwnWritesAreSweptAway) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bindings.json"));
    writeBytes(path, "{}");
    writeBytes(dir.filePath(QStringLiteral(".bindings.json.quorvel-save-a1B2c3")), "half");
    const QStringList kept = {QStringLiteral(".appearance.json.quorvel-save-a1B2c3"),
                              QStringLiteral(".bindings.json.backup"),
                              QStringLiteral(".bindings.json.quorvel-save-a1B2c3.old"),
                              QStringLiteral(".bindings.json.quorvel-save-notes"),
                              QStringLiteral("bindings.json")};
    for (const QString& name : kept) {
        writeBytes(dir.filePath(name), "the user's");
    }
    removeLeftoverTemporaryFiles(path);
    EXPECT_EQ(folderEntries(dir.path()), kept);
}

TEST(DurableWrite, SymbolicLinkIsWrittenThroughAndStaysALink) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("dotfiles")));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("device")));
    writeBytes(dir.filePath(QStringLiteral("dotfiles/bindings.json")), "old");
    // A relative link to a file, and one to a file that does not exist yet.
    const std::pair<const char*, const char*> links[] = {
        {"device/bindings.json", "../dotfiles/bindings.json"},
        {"device/appearance.json", "../dotfiles/appearance.json"}};
    for (const auto& [link, target] : links) {
        SCOPED_TRACE(link);
        const QString linkPath = dir.filePath(QString::fromLatin1(link));
        ASSERT_TRUE(QFile::link(QString::fromLatin1(target), linkPath));
        writeFileDurably(linkPath, "new");
        EXPECT_TRUE(QFileInfo(linkPath).isSymLink());
        EXPECT_EQ(readBytes(linkPath), QByteArray("new"));
    }
    EXPECT_EQ(folderEntries(dir.filePath(QStringLiteral("dotfiles"))),
              (QStringList{QStringLiteral("appearance.json"), QStringLiteral("bindings.json")}));
}

TEST(ConfigurationFileSystem, OversizedFileIsRefusedNotReadIntoMemory) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bindings.json"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(ConfigurationFileSystem::maximumFileSize + 1));
    }
    try {
        ConfigurationFileSystem().read(path);
        ADD_FAILURE() << "an oversized file was read";
    } catch (const ActionError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("The file “bindings.json” couldn’t be read "
                                                  "because it is too large (67108865 bytes)."));
    }
}

TEST(ConfigurationFileSystem, SmallFileIsReadIntoABufferOfItsSize) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bindings.json"));
    writeBytes(path, QByteArray(2048, 'x'));
    // A child process with far less address space left than the size limit: a read that
    // reserved the limit fails there.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        QFile statm(QStringLiteral("/proc/self/statm"));
        statm.open(QIODevice::ReadOnly);
        const rlim_t used = statm.readAll().split(' ').value(0).toULongLong() *
                            static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
        const rlimit limit{used + 16 * 1024 * 1024, used + 16 * 1024 * 1024};
        bool read = false;
        if (::setrlimit(RLIMIT_AS, &limit) == 0) {
            try {
                read = ConfigurationFileSystem().read(path).size() == 2048;
            } catch (...) {
            }
        }
        ::_exit(read ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

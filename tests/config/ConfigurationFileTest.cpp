#include "config/ConfigurationFile.h"

#include "config/ConfigurationJson.h"

#include "ConfigTestSupport.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

const QDateTime morning(QDate(2026, 12, 5), QTime(6, 11, 0), QTimeZone::utc());

AppearanceMap decodeAppearance(const QByteArray& bytes) {
    return ConfigurationJson::decodeAppearance(bytes);
}

ConfigurationLoadResult<AppearanceMap> loadAppearance(
    const QString& path, const ConfigurationFileSystem& files = ConfigurationFileSystem()) {
    return ConfigurationFile::load<AppearanceMap>(path, decodeAppearance, morning, files);
}

// A temporary folder for one test.
struct Folder {
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
};

}  // namespace

TEST(ConfigurationFile, NoFileIsMissingAndAReadableFileIsLoadedLeavingTheFolderAsItIs) {
    const Folder folder;
    EXPECT_TRUE(loadAppearance(folder.path("appearance.json")).isMissing());
    EXPECT_TRUE(folderEntries(folder.dir.path()).isEmpty());
    writeBytes(folder.path("appearance.json"), R"({"deviceName":"Desk"})");
    const auto result = loadAppearance(folder.path("appearance.json"));
    ASSERT_TRUE(result.isLoaded());
    EXPECT_EQ(result.value()->value(QStringLiteral("deviceName")), QStringLiteral("Desk"));
    EXPECT_EQ(folderEntries(folder.dir.path()), QStringList{QStringLiteral("appearance.json")});
}

TEST(ConfigurationFile, UndecodableFileIsCopiedAsideUnderItsUtcDate) {
    const Folder folder;
    const QByteArray damaged = R"({"deviceName":3})";
    writeBytes(folder.path("bindings.json"), damaged);
    // The same moment seen from another time zone must still name the backup in UTC.
    const QDateTime local = morning.toTimeZone(QTimeZone(3600 * 5));
    const auto result = ConfigurationFile::load<AppearanceMap>(folder.path("bindings.json"),
                                                               decodeAppearance, local);
    ASSERT_TRUE(result.isMalformed());
    const ConfigurationRecovery& recovery = *result.recovery();
    EXPECT_EQ(recovery.originalURL, folder.path("bindings.json"));
    EXPECT_EQ(recovery.backupURL, folder.path("bindings.malformed-20261205T061100Z.json"));
    EXPECT_FALSE(recovery.backupProblem);
    EXPECT_EQ(recovery.problem,
              QStringLiteral("The file “bindings.json” isn’t in the correct "
                             "format: \"deviceName\" must be a string, not number"));
    EXPECT_EQ(readBytes(folder.path("bindings.json")), damaged);
    EXPECT_EQ(readBytes(*recovery.backupURL), damaged);
}

TEST(ConfigurationFile, BackupNamesFollowTheExtensionAndAreNumberedWithinOneSecond) {
    const Folder folder;
    const std::pair<const char*, const char*> backups[] = {
        {"bindings.json", "bindings.malformed-20261205T061100Z.json"},
        {"bindings.json", "bindings.malformed-20261205T061100Z-2.json"},
        {"bindings.json", "bindings.malformed-20261205T061100Z-3.json"},
        {"settings", "settings.malformed-20261205T061100Z"},
        {"archive.tar.gz", "archive.tar.malformed-20261205T061100Z.gz"},
    };
    for (const char* name : {"bindings.json", "settings", "archive.tar.gz"}) {
        writeBytes(folder.path(name), "x");
    }
    for (const auto& [original, backup] : backups) {
        EXPECT_EQ(ConfigurationFile::backUp(folder.path(original), morning), folder.path(backup));
    }
    EXPECT_EQ(folderEntries(folder.dir.path()).size(), 8);
}

TEST(ConfigurationFile, UnreadableFileIsKeptAndReportedWhenItCannotBeCopied) {
    const Folder folder;
    // Without permission to read, the copy cannot read either. Where permissions do not bind
    // (root), a folder in the file's place is just as unreadable and uncopyable.
    const QString file = folder.path("appearance.json");
    QByteArray content;
    if (permissionsAreEnforced()) {
        content = R"({"deviceName":"kept"})";
        writeBytes(file, content);
        QFile::setPermissions(file, QFileDevice::Permissions());
    } else {
        ASSERT_TRUE(QDir(folder.dir.path()).mkdir(QStringLiteral("appearance.json")));
    }
    const auto result = loadAppearance(file);
    ASSERT_TRUE(result.isMalformed());
    EXPECT_FALSE(result.recovery()->backupURL);
    ASSERT_TRUE(result.recovery()->backupProblem);
    EXPECT_TRUE(result.recovery()->problem.contains(QStringLiteral("appearance.json")));
    EXPECT_FALSE(result.recovery()->backupProblem->isEmpty());
    EXPECT_EQ(folderEntries(folder.dir.path()), QStringList{QStringLiteral("appearance.json")});
    if (!content.isEmpty()) {
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        EXPECT_EQ(readBytes(file), content);
    }
}

TEST(ConfigurationFile, FailedCopyIsReportedAndLeavesTheOriginal) {
    const Folder folder;
    FailingFileSystem files;
    files.failCopiesFrom.insert(folder.path("appearance.json"));
    writeBytes(folder.path("appearance.json"), "not json");
    const auto result = loadAppearance(folder.path("appearance.json"), files);
    ASSERT_TRUE(result.isMalformed());
    EXPECT_FALSE(result.recovery()->backupURL);
    EXPECT_EQ(result.recovery()->backupProblem,
              QStringLiteral("“%1” couldn’t be copied: Permission denied")
                  .arg(folder.path("appearance.json")));
    EXPECT_TRUE(result.recovery()->problem.startsWith(
        QStringLiteral("The file “appearance.json” isn’t in the correct format: the text is not "
                       "valid JSON")));
    EXPECT_EQ(readBytes(folder.path("appearance.json")), QByteArray("not json"));
}

TEST(ConfigurationFile, FolderInPlaceOfTheFileIsUnreadableNotMissing) {
    const Folder folder;
    ASSERT_TRUE(QDir(folder.dir.path()).mkdir(QStringLiteral("appearance.json")));
    const auto result = loadAppearance(folder.path("appearance.json"));
    ASSERT_TRUE(result.isMalformed());
    EXPECT_EQ(
        result.recovery()->problem,
        QStringLiteral("The file “appearance.json” couldn’t be opened because it is a folder."));
    EXPECT_EQ(
        result.recovery()->backupProblem,
        QStringLiteral("The file “appearance.json” couldn’t be copied because it is a folder."));
}

TEST(ConfigurationFile, PipeInPlaceOfTheFileDoesNotBlock) {
    const Folder folder;
    // Opening a pipe for reading waits for a writer that never comes.
    ASSERT_EQ(QProcess::execute(QStringLiteral("mkfifo"), {folder.path("appearance.json")}), 0);
    const auto result = loadAppearance(folder.path("appearance.json"));
    ASSERT_TRUE(result.isMalformed());
    EXPECT_TRUE(result.recovery()->problem.contains(QStringLiteral("not a regular file")));
    EXPECT_FALSE(result.recovery()->backupURL);
}

TEST(ConfigurationFile, DecoderExceptionsOfAnyKindBecomeTheProblem) {
    const Folder folder;
    writeBytes(folder.path("data.json"), "{}");
    const auto result = ConfigurationFile::load<int>(
        folder.path("data.json"),
        [](const QByteArray&) -> int { throw std::runtime_error("odd data"); }, morning);
    ASSERT_TRUE(result.isMalformed());
    EXPECT_TRUE(result.recovery()->problem.endsWith(QStringLiteral("odd data")));
}

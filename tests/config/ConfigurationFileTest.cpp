#include "config/ConfigurationFile.h"

#include "config/ConfigurationJson.h"
#include "support/SettingsFiles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QProcess>
#include <QTimeZone>

namespace {

const QDateTime morning(QDate(2026, 12, 5), QTime(6, 11, 0), QTimeZone::utc());

ConfigurationLoadResult<AppearanceMap> load(const QString& path,
                                            const ConfigurationFileSystem& files = {},
                                            const QDateTime& now = morning) {
    return ConfigurationFile::load<AppearanceMap>(path, ConfigurationJson::decodeAppearance, now,
                                                  files);
}

}  // namespace

TEST(ConfigurationFile, UndecodableFileIsCopiedAsideUnderItsUtcDateAndAFolderOrPipeIsUnreadable) {
    QTemporaryDir dir;
    const QByteArray damaged = R"({"deviceName":3})";
    writeBytes(dir.filePath("bindings.json"), damaged);
    // The same moment seen from another time zone must still name the backup in UTC.
    const auto result =
        load(dir.filePath("bindings.json"), {}, morning.toTimeZone(QTimeZone(3600 * 5)));
    ASSERT_TRUE(result.isMalformed());
    const ConfigurationRecovery& recovery = *result.recovery();
    EXPECT_EQ(
        QList({std::optional(recovery.originalURL), recovery.backupURL, recovery.backupProblem}),
        QList<std::optional<QString>>({dir.filePath("bindings.json"),
                                       dir.filePath("bindings.malformed-20261205T061100Z.json"),
                                       std::nullopt}));
    EXPECT_EQ(recovery.problem,
              "The file “bindings.json” isn’t in the correct format: "
              "\"deviceName\" must be a string, not number");
    EXPECT_EQ(readFile(dir.filePath("bindings.json")), damaged);
    EXPECT_EQ(readFile(*recovery.backupURL), damaged);

    const std::pair<const char*, const char*> backups[] = {
        {"bindings.json", "bindings.malformed-20261205T061100Z-2.json"},
        {"bindings.json", "bindings.malformed-20261205T061100Z-3.json"},
        {"settings", "settings.malformed-20261205T061100Z"},
        {"archive.tar.gz", "archive.tar.malformed-20261205T061100Z.gz"}};
    for (const auto& [original, backup] : backups) {
        writeBytes(dir.filePath(original), "x");
        EXPECT_EQ(ConfigurationFile::backUp(dir.filePath(original), morning), dir.filePath(backup));
    }
    // A folder or a pipe in place of the file is unreadable, not missing, and does not block.
    ASSERT_TRUE(QDir(dir.path()).mkdir("appearance.json"));
    auto unreadable = load(dir.filePath("appearance.json"));
    ASSERT_TRUE(unreadable.isMalformed());
    EXPECT_EQ(unreadable.recovery()->problem,
              "The file “appearance.json” couldn’t be opened because it is a folder.");
    EXPECT_EQ(unreadable.recovery()->backupProblem,
              "The file “appearance.json” couldn’t be copied because it is a folder.");
    // Opening a pipe for reading waits for a writer that never comes.
    ASSERT_EQ(QProcess::execute("mkfifo", {dir.filePath("pipe.json")}), 0);
    unreadable = load(dir.filePath("pipe.json"));
    ASSERT_TRUE(unreadable.isMalformed());
    EXPECT_TRUE(unreadable.recovery()->problem.contains("not a regular file"));
    EXPECT_FALSE(unreadable.recovery()->backupURL);
}

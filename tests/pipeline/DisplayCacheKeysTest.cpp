#include "model/DisplayCacheKeys.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

// Seconds are the shortest decimal that reads back; file stamps count from 2001-01-01 UTC, a file
// that cannot be read stamps as zero; a key's cache key joins its parts with the unit separator.
TEST(DisplayCacheKeys, PartsAreWrittenExactly) {
    for (const auto& [seconds, text] :
         {std::pair{12.0, "12.0"}, std::pair{0.0, "0.0"}, std::pair{0.1, "0.1"},
          std::pair{-3.25, "-3.25"}, std::pair{786543210.123456, "786543210.123456"}}) {
        EXPECT_EQ(DisplayCacheKeys::seconds(seconds), text);
    }
    QTemporaryDir dir;
    EXPECT_EQ(DisplayCacheKeys::fileStamp(std::nullopt), QStringLiteral("-"));
    const QString path = dir.filePath(QStringLiteral("art.png"));
    EXPECT_EQ(DisplayCacheKeys::fileStamp(path), path + QStringLiteral("@0.0"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("x") == 1 && file.flush());
    for (const auto& [offset, text] : {std::pair{12000, "@12.0"}, std::pair{-1500, "@-1.5"}}) {
        ASSERT_TRUE(file.setFileTime(
            QDateTime(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc()).addMSecs(offset),
            QFileDevice::FileModificationTime));
        EXPECT_EQ(DisplayCacheKeys::fileStamp(path), path + text);
    }
    const QUuid scene = QUuid::fromString(QStringLiteral("{6f1c2a9e-0b7d-4c1e-9a55-3d2e1f0a9b8c}"));
    EXPECT_EQ(DisplayCacheKeys::keyCacheKey(scene, 7, QStringLiteral("Volume up"),
                                            QStringLiteral("volume-2"), QStringLiteral("-"),
                                            QStringLiteral("/bg.png@1.0")),
              QStringLiteral("6F1C2A9E-0B7D-4C1E-9A55-3D2E1F0A9B8C\u001F7\u001FVolume "
                             "up\u001Fvolume-2\u001F-\u001F/bg.png@1.0"));
}

#include "model/DisplayCacheKeys.h"

#include "support/TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

QString fileModifiedAt(const QTemporaryDir& dir, const QDateTime& time) {
    const QString path = dir.filePath(QStringLiteral("art.png"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("x");
    file.flush();  // a write after the time is set would move it again
    EXPECT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
    return path;
}

QDateTime referenceDatePlus(qint64 milliseconds) {
    return QDateTime(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc()).addMSecs(milliseconds);
}

}  // namespace

TEST(DisplayCacheKeys, SecondsAreTheShortestDecimalThatReadsBack) {
    EXPECT_EQ(DisplayCacheKeys::seconds(12.0), QStringLiteral("12.0"));
    EXPECT_EQ(DisplayCacheKeys::seconds(0.0), QStringLiteral("0.0"));
    EXPECT_EQ(DisplayCacheKeys::seconds(0.1), QStringLiteral("0.1"));
    EXPECT_EQ(DisplayCacheKeys::seconds(-3.25), QStringLiteral("-3.25"));
    EXPECT_EQ(DisplayCacheKeys::seconds(786543210.123456), QStringLiteral("786543210.123456"));
}

TEST(DisplayCacheKeys, FileStampCountsFromTheReferenceDate) {
    QTemporaryDir dir;
    EXPECT_EQ(DisplayCacheKeys::fileStamp(std::nullopt), QStringLiteral("-"));
    const QString whole = fileModifiedAt(dir, referenceDatePlus(12000));
    EXPECT_EQ(DisplayCacheKeys::fileStamp(whole), whole + QStringLiteral("@12.0"));
    const QString half = fileModifiedAt(dir, referenceDatePlus(-1500));
    EXPECT_EQ(DisplayCacheKeys::fileStamp(half), half + QStringLiteral("@-1.5"));
}

TEST(DisplayCacheKeys, UnreadableFileStampsAsZero) {
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.png"));
    EXPECT_EQ(DisplayCacheKeys::fileStamp(missing), missing + QStringLiteral("@0.0"));
}

TEST(DisplayCacheKeys, KeyCacheKeyJoinsItsPartsWithTheUnitSeparator) {
    const QUuid scene = QUuid::fromString(QStringLiteral("{6f1c2a9e-0b7d-4c1e-9a55-3d2e1f0a9b8c}"));
    EXPECT_EQ(DisplayCacheKeys::keyCacheKey(scene, 7, QStringLiteral("Volume up"),
                                            QStringLiteral("volume-2"), QStringLiteral("-"),
                                            QStringLiteral("/bg.png@1.0")),
              QStringLiteral("6F1C2A9E-0B7D-4C1E-9A55-3D2E1F0A9B8C\u001F7\u001FVolume "
                             "up\u001Fvolume-2\u001F-\u001F/bg.png@1.0"));
}

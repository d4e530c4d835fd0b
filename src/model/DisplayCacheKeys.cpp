#include "model/DisplayCacheKeys.h"

#include "config/ConfigurationJson.h"

#include <QFile>
#include <QStringList>

#include <charconv>
#include <chrono>
#include <filesystem>
#include <system_error>

namespace {
// 2001-01-01 00:00:00 UTC in seconds since the Unix epoch: the reference date of the stamps.
constexpr int64_t referenceDate = 978307200;
}  // namespace

QString DisplayCacheKeys::seconds(double value) {
    char buffer[64];
    // Fixed notation without a precision gives the shortest digits that read back exactly.
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (error != std::errc()) {
        return QStringLiteral("0.0");
    }
    QString text = QString::fromLatin1(buffer, static_cast<qsizetype>(end - buffer));
    if (!text.contains(u'.') && !text.contains(u'n') && !text.contains(u'i')) {
        text += QStringLiteral(".0");
    }
    return text;
}

QString DisplayCacheKeys::fileStamp(const std::optional<QString>& path) {
    if (!path) {
        return QStringLiteral("-");
    }
    double time = 0.0;
    std::error_code error;
    // Nanoseconds, not Qt's milliseconds: a file rewritten twice within one millisecond must
    // still get a new stamp.
    const auto written = std::filesystem::last_write_time(
        std::filesystem::path(QFile::encodeName(*path).toStdString()), error);
    if (!error) {
        using namespace std::chrono;
        const int64_t nanoseconds =
            duration_cast<std::chrono::nanoseconds>(file_clock::to_sys(written).time_since_epoch())
                .count();
        const int64_t sinceReference = nanoseconds - referenceDate * 1'000'000'000;
        time = static_cast<double>(sinceReference / 1'000'000'000) +
               static_cast<double>(sinceReference % 1'000'000'000) / 1e9;
    }
    return *path + u'@' + seconds(time);
}

QString DisplayCacheKeys::keyCacheKey(const QUuid& sceneID, int64_t control, const QString& action,
                                      const QString& artworkKey, const QString& imageStamp,
                                      const QString& backgroundStamp) {
    const QStringList parts = {ConfigurationJson::uuidText(sceneID),
                               QString::number(control),
                               action,
                               artworkKey,
                               imageStamp,
                               backgroundStamp};
    return parts.join(QChar(separator));
}

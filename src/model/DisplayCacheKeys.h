#pragma once

#include <QString>
#include <QUuid>

#include <cstdint>
#include <optional>

// The keys under which a device model keeps encoded key images and backgrounds, so that a
// refresh draws only what changed. Pure functions apart from reading file times; any thread.
class DisplayCacheKeys {
public:
    // Separates the parts of a key's cache key; it cannot occur in a path, an action name or a
    // UUID typed by a user, so two different keys never join to the same text.
    static constexpr char16_t separator = u'\u001F';

    // "-" without a path; otherwise the path, "@", and the file's modification time in seconds
    // since 2001-01-01 00:00:00 UTC (0.0 when the time cannot be read). Replacing or touching the
    // file changes the stamp, which is how cached images that depend on it go stale.
    static QString fileStamp(const std::optional<QString>& path);

    // Seconds written as the shortest decimal that reads back to the same double, whole
    // numbers with one decimal place ("12.0", "-3.25", "0.1").
    static QString seconds(double value);

    // The scene (upper-case UUID), the control code, the stored action name, the action's own
    // artwork key and the stamps of the key's artwork file and of the scene's background.
    static QString keyCacheKey(const QUuid& sceneID, int64_t control, const QString& action,
                               const QString& artworkKey, const QString& imageStamp,
                               const QString& backgroundStamp);
};

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QUuid>

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>

// What an in-window drag of a screen button carries. Encoded as JSON with the field names as
// keys, `scriptID` left out when absent.
struct ScreenButtonDrag {
    QString deviceID;
    QUuid sceneID;
    int64_t keyID = 0;
    std::optional<QString> scriptID;

    QByteArray encoded() const;
    // None for anything that is not such a payload.
    static std::optional<ScreenButtonDrag> decoded(const QByteArray& bytes);

    friend bool operator==(const ScreenButtonDrag&, const ScreenButtonDrag&) = default;
};

// Ready-made layouts for one MSD-TWO dial: counterclockwise, press, clockwise.
enum class DialPreset { volume, macBrightness, padBrightness, media, scenes, clear };

struct DialPresets {
    static constexpr std::array<DialPreset, 6> allCases = {
        DialPreset::volume, DialPreset::macBrightness, DialPreset::padBrightness,
        DialPreset::media,  DialPreset::scenes,        DialPreset::clear};
    // The text of the dial's preset menu ("Volume", ..., "Clear dial").
    static QString rawValue(DialPreset preset);
    // The dial that `control` belongs to (large, left small, right small, searched in this
    // order), or none.
    static std::optional<std::array<int64_t, 3>> controls(int64_t control);
    // The stored action names of the preset, in the dial's order.
    static std::array<QString, 3> actions(DialPreset preset);
};

// One item dropped on the window, as the window hands it over. Loading is asynchronous; the
// callbacks may run on any thread.
class DropItem {
public:
    using FileCallback = std::function<void(std::optional<QUrl> url, QString error)>;
    using DataCallback = std::function<void(std::optional<QByteArray> data, QString error)>;

    virtual ~DropItem() = default;
    // Whether the item can give a file URL.
    virtual bool hasFileURL() const = 0;
    // The MIME types of the data it offers, in its order of preference.
    virtual QStringList types() const = 0;
    // Exactly one callback per call; `error` non-empty on failure.
    virtual void loadFileURL(FileCallback callback) const = 0;
    virtual void loadData(const QString& type, DataCallback callback) const = 0;
};

// The text shown for a failed editing or import step: the message of our own errors (actions,
// image loading), what() of anything else.
QString failureText(const std::exception& error);

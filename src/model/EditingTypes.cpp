#include "model/EditingTypes.h"

#include "actions/AudioActions.h"
#include "actions/MacBrightnessActions.h"
#include "actions/MediaKey.h"
#include "actions/NoAction.h"
#include "actions/PadBrightnessActions.h"
#include "actions/SceneNavigationAction.h"
#include "artwork/ImageLoadError.h"
#include "config/ConfigurationJson.h"
#include "core/ActionError.h"

#include <nlohmann/json.hpp>

QByteArray ScreenButtonDrag::encoded() const {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    object["deviceID"] = deviceID.toStdString();
    object["sceneID"] = ConfigurationJson::uuidText(sceneID).toStdString();
    object["keyID"] = keyID;
    if (scriptID) {
        object["scriptID"] = scriptID->toStdString();
    }
    return QByteArray::fromStdString(object.dump());
}

std::optional<ScreenButtonDrag> ScreenButtonDrag::decoded(const QByteArray& bytes) {
    const nlohmann::json object = nlohmann::json::parse(bytes.cbegin(), bytes.cend(), nullptr,
                                                        /*allow_exceptions=*/false);
    if (!object.is_object()) {
        return std::nullopt;
    }
    const auto device = object.find("deviceID");
    const auto scene = object.find("sceneID");
    const auto key = object.find("keyID");
    const auto script = object.find("scriptID");
    if (device == object.end() || !device->is_string() || scene == object.end() ||
        !scene->is_string() || key == object.end() || !key->is_number_integer() ||
        (script != object.end() && !script->is_string() && !script->is_null())) {
        return std::nullopt;
    }
    const std::optional<QUuid> sceneID =
        ConfigurationJson::uuidFromText(QString::fromStdString(scene->get<std::string>()));
    if (!sceneID) {
        return std::nullopt;
    }
    ScreenButtonDrag drag;
    drag.deviceID = QString::fromStdString(device->get<std::string>());
    drag.sceneID = *sceneID;
    drag.keyID = key->get<int64_t>();
    if (script != object.end() && script->is_string()) {
        drag.scriptID = QString::fromStdString(script->get<std::string>());
    }
    return drag;
}

QString DialPresets::rawValue(DialPreset preset) {
    switch (preset) {
        case DialPreset::volume:
            return QStringLiteral("Volume");
        case DialPreset::macBrightness:
            return QStringLiteral("Mac brightness");
        case DialPreset::padBrightness:
            return QStringLiteral("Pad brightness");
        case DialPreset::media:
            return QStringLiteral("Media");
        case DialPreset::scenes:
            return QStringLiteral("Scenes");
        case DialPreset::clear:
            break;
    }
    return QStringLiteral("Clear dial");
}

std::optional<std::array<int64_t, 3>> DialPresets::controls(int64_t control) {
    static constexpr std::array<std::array<int64_t, 3>, 3> dials = {
        {{0x50, 0x35, 0x51}, {0x90, 0x33, 0x91}, {0x60, 0x34, 0x61}}};
    for (const auto& dial : dials) {
        if (dial[0] == control || dial[1] == control || dial[2] == control) {
            return dial;
        }
    }
    return std::nullopt;
}

std::array<QString, 3> DialPresets::actions(DialPreset preset) {
    using Direction = AdjustmentDirection;
    const QString none = NoAction().name();
    switch (preset) {
        case DialPreset::volume:
            return {VolumeAdjustment(Direction::down).name(), MuteAction().name(),
                    VolumeAdjustment(Direction::up).name()};
        case DialPreset::macBrightness:
            return {MacBrightnessAdjustment(Direction::down).name(),
                    ToggleMacAutomaticBrightnessAction().name(),
                    MacBrightnessAdjustment(Direction::up).name()};
        case DialPreset::padBrightness:
            return {PadBrightnessAdjustment(Direction::down).name(),
                    TogglePadAdaptiveBrightnessAction().name(),
                    PadBrightnessAdjustment(Direction::up).name()};
        case DialPreset::media:
            return {MediaKey(MediaKey::previousTrack).name(), MediaKey(MediaKey::playPause).name(),
                    MediaKey(MediaKey::nextTrack).name()};
        case DialPreset::scenes:
            return {SceneNavigationAction(SceneNavigationAction::Direction::previous).name(), none,
                    SceneNavigationAction(SceneNavigationAction::Direction::next).name()};
        case DialPreset::clear:
            break;
    }
    return {none, none, none};
}

QString failureText(const std::exception& error) {
    if (const auto* action = dynamic_cast<const ActionError*>(&error)) {
        return action->message();
    }
    if (const auto* image = dynamic_cast<const ImageLoadError*>(&error)) {
        return image->message();
    }
    return QString::fromUtf8(error.what());
}

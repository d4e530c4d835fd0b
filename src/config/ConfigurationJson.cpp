#include "config/ConfigurationJson.h"

#include "core/ActionError.h"

#include <QRegularExpression>

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

// Beyond 2^53 a double no longer holds every integer, so "exactly integral" means nothing
// there: -9223372036854775809 arrives from the parser as the double -2^63 and would otherwise
// read as a valid, different number. Integers written without a fraction never become doubles
// unless they are outside 64 bits, so no valid value is lost by this bound.
constexpr double largestExactInteger = 9007199254740992.0;

QString joinKey(const QString& where, const char* key) {
    const QString name = QString::fromLatin1(key);
    return where.isEmpty() ? name : where + QLatin1Char('.') + name;
}

QString shown(const json& value) {
    QString text =
        QString::fromStdString(value.dump(-1, ' ', false, json::error_handler_t::replace));
    if (text.size() > 60) {
        text = text.left(57) + QStringLiteral("...");
    }
    return text;
}

[[noreturn]] void fail(const QString& key, const QString& what) {
    throw ActionError::failed(QStringLiteral("\"%1\" %2").arg(key, what));
}

[[noreturn]] void wrongType(const QString& key, const char* expected, const json& value) {
    fail(key, QStringLiteral("must be %1, not %2")
                  .arg(QString::fromLatin1(expected), QString::fromLatin1(value.type_name())));
}

const json& required(const json& object, const QString& where, const char* key) {
    const auto found = object.find(key);
    if (found == object.end()) {
        throw ActionError::failed(
            where.isEmpty()
                ? QStringLiteral("the required key \"%1\" is missing").arg(QString::fromLatin1(key))
                : QStringLiteral("\"%1\" lacks the required key \"%2\"")
                      .arg(where, QString::fromLatin1(key)));
    }
    return *found;
}

const json* optional(const json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
        return nullptr;
    }
    return &*found;
}

void requireObject(const json& value, const QString& where) {
    if (!value.is_object()) {
        if (where.isEmpty()) {
            throw ActionError::failed(QStringLiteral("the document must be a JSON object, not %1")
                                          .arg(QString::fromLatin1(value.type_name())));
        }
        wrongType(where, "an object", value);
    }
}

QString readString(const json& value, const QString& key) {
    if (!value.is_string()) {
        wrongType(key, "a string", value);
    }
    return QString::fromStdString(value.get_ref<const std::string&>());
}

// A float is taken only when it is exactly a whole number within ±2^53; the caller checks
// the field's own range.
double integralFloat(const json& value, const QString& key, const QString& range) {
    const double number = value.get<double>();
    if (!std::isfinite(number) || std::trunc(number) != number) {
        fail(key, QStringLiteral("must be a whole number, not %1").arg(shown(value)));
    }
    if (std::fabs(number) > largestExactInteger) {
        fail(key, QStringLiteral("must be an integer %1, not %2").arg(range, shown(value)));
    }
    return number;
}

int64_t readSigned(const json& value, const QString& key, int64_t min, int64_t max,
                   const QString& range) {
    if (!value.is_number()) {
        wrongType(key, "an integer", value);
    }
    const auto outOfRange = [&] {
        fail(key, QStringLiteral("must be an integer %1, not %2").arg(range, shown(value)));
    };
    int64_t result = 0;
    if (value.is_number_unsigned()) {
        const uint64_t number = value.get<uint64_t>();
        if (number > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
            outOfRange();
        }
        result = static_cast<int64_t>(number);
    } else if (value.is_number_integer()) {
        result = value.get<int64_t>();
    } else {
        result = static_cast<int64_t>(integralFloat(value, key, range));
    }
    if (result < min || result > max) {
        outOfRange();
    }
    return result;
}

uint64_t readUnsigned(const json& value, const QString& key, uint64_t max, const QString& range) {
    if (!value.is_number()) {
        wrongType(key, "an integer", value);
    }
    const auto outOfRange = [&] {
        fail(key, QStringLiteral("must be an integer %1, not %2").arg(range, shown(value)));
    };
    uint64_t result = 0;
    if (value.is_number_unsigned()) {
        result = value.get<uint64_t>();
    } else if (value.is_number_integer()) {
        const int64_t number = value.get<int64_t>();
        if (number < 0) {
            outOfRange();
        }
        result = static_cast<uint64_t>(number);
    } else {
        const double number = integralFloat(value, key, range);
        if (number < 0) {
            outOfRange();
        }
        result = static_cast<uint64_t>(number);
    }
    if (result > max) {
        outOfRange();
    }
    return result;
}

int64_t readInt64(const json& value, const QString& key) {
    return readSigned(value, key, std::numeric_limits<int64_t>::min(),
                      std::numeric_limits<int64_t>::max(),
                      QStringLiteral("that fits in 64 signed bits"));
}

std::optional<QString> readOptionalString(const json& object, const QString& where,
                                          const char* key) {
    if (const json* value = optional(object, key)) {
        return readString(*value, joinKey(where, key));
    }
    return std::nullopt;
}

QUuid readUuid(const json& value, const QString& key) {
    const QString text = readString(value, key);
    const std::optional<QUuid> uuid = ConfigurationJson::uuidFromText(text);
    if (!uuid) {
        fail(key, QStringLiteral("must be a UUID such as 3F2504E0-4F89-11D3-9A0C-0305E82C3301, "
                                 "not \"%1\"")
                      .arg(text.left(60)));
    }
    return *uuid;
}

const json& readArray(const json& object, const QString& where, const char* key) {
    const json& value = required(object, where, key);
    if (!value.is_array()) {
        wrongType(joinKey(where, key), "an array", value);
    }
    return value;
}

std::string utf8(const QString& text) {
    return text.toStdString();
}

void putOptional(ordered_json& object, const char* key, const std::optional<QString>& value) {
    if (value) {
        object[key] = utf8(*value);
    }
}

}  // namespace

ordered_json ConfigurationJson::toJson(const Binding& binding) {
    ordered_json object = ordered_json::object();
    object["id"] = binding.id;
    object["name"] = utf8(binding.name);
    object["action"] = utf8(binding.action);
    object["argument"] = utf8(binding.argument);
    object["keyCode"] = binding.keyCode;
    object["modifiers"] = binding.modifiers;
    putOptional(object, "recordedShortcut", binding.recordedShortcut);
    if (binding.adjustmentStep) {
        object["adjustmentStep"] = *binding.adjustmentStep;
    }
    putOptional(object, "browserBundleID", binding.browserBundleID);
    putOptional(object, "scriptID", binding.scriptID);
    putOptional(object, "scriptName", binding.scriptName);
    putOptional(object, "imagePath", binding.imagePath);
    return object;
}

ordered_json ConfigurationJson::toJson(const QuorvelScene& scene) {
    ordered_json keys = ordered_json::array();
    for (const Binding& binding : scene.keys) {
        keys.push_back(toJson(binding));
    }
    ordered_json object = ordered_json::object();
    object["id"] = utf8(uuidText(scene.id));
    object["keys"] = std::move(keys);
    putOptional(object, "backgroundPath", scene.backgroundPath);
    return object;
}

Binding ConfigurationJson::bindingFromJson(const json& value, const QString& where) {
    requireObject(value, where);
    Binding binding;
    binding.id = readInt64(required(value, where, "id"), joinKey(where, "id"));
    binding.name = readString(required(value, where, "name"), joinKey(where, "name"));
    binding.action = readString(required(value, where, "action"), joinKey(where, "action"));
    binding.argument = readString(required(value, where, "argument"), joinKey(where, "argument"));
    binding.keyCode = static_cast<uint16_t>(readUnsigned(required(value, where, "keyCode"),
                                                         joinKey(where, "keyCode"), 65535,
                                                         QStringLiteral("from 0 to 65535")));
    binding.modifiers = readUnsigned(
        required(value, where, "modifiers"), joinKey(where, "modifiers"),
        std::numeric_limits<uint64_t>::max(), QStringLiteral("from 0 to 18446744073709551615"));
    binding.recordedShortcut = readOptionalString(value, where, "recordedShortcut");
    if (const json* step = optional(value, "adjustmentStep")) {
        binding.adjustmentStep = readInt64(*step, joinKey(where, "adjustmentStep"));
    }
    binding.browserBundleID = readOptionalString(value, where, "browserBundleID");
    binding.scriptID = readOptionalString(value, where, "scriptID");
    binding.scriptName = readOptionalString(value, where, "scriptName");
    binding.imagePath = readOptionalString(value, where, "imagePath");
    return binding;
}

QuorvelScene ConfigurationJson::sceneFromJson(const json& value, const QString& where) {
    requireObject(value, where);
    QuorvelScene scene;
    scene.id = readUuid(required(value, where, "id"), joinKey(where, "id"));
    const json& keys = readArray(value, where, "keys");
    const QString keysWhere = joinKey(where, "keys");
    scene.keys.reserve(static_cast<qsizetype>(keys.size()));
    for (size_t index = 0; index < keys.size(); ++index) {
        scene.keys.append(
            bindingFromJson(keys[index], QStringLiteral("%1[%2]").arg(keysWhere).arg(index)));
    }
    scene.backgroundPath = readOptionalString(value, where, "backgroundPath");
    return scene;
}

QByteArray ConfigurationJson::encode(const SavedConfiguration& configuration) {
    ordered_json scenes = ordered_json::array();
    for (const QuorvelScene& scene : configuration.scenes) {
        scenes.push_back(toJson(scene));
    }
    ordered_json root = ordered_json::object();
    root["scenes"] = std::move(scenes);
    root["activeSceneID"] = utf8(uuidText(configuration.activeSceneID));
    return deviceFileText(root);
}

SavedConfiguration ConfigurationJson::decodeConfiguration(const QByteArray& bytes) {
    const json root = parse(bytes);
    requireObject(root, {});
    SavedConfiguration configuration;
    const json& scenes = readArray(root, {}, "scenes");
    configuration.scenes.reserve(static_cast<qsizetype>(scenes.size()));
    for (size_t index = 0; index < scenes.size(); ++index) {
        configuration.scenes.append(
            sceneFromJson(scenes[index], QStringLiteral("scenes[%1]").arg(index)));
    }
    configuration.activeSceneID =
        readUuid(required(root, {}, "activeSceneID"), QStringLiteral("activeSceneID"));
    return configuration;
}

QByteArray ConfigurationJson::encode(const AppearanceMap& appearance) {
    ordered_json root = ordered_json::object();
    for (auto entry = appearance.cbegin(); entry != appearance.cend(); ++entry) {
        root[utf8(entry.key())] = utf8(entry.value());
    }
    return deviceFileText(root);
}

AppearanceMap ConfigurationJson::decodeAppearance(const QByteArray& bytes) {
    const json root = parse(bytes);
    requireObject(root, {});
    AppearanceMap map;
    for (auto entry = root.cbegin(); entry != root.cend(); ++entry) {
        const QString key = QString::fromStdString(entry.key());
        map.insert(key, readString(entry.value(), key));
    }
    return map;
}

json ConfigurationJson::parse(const QByteArray& bytes) {
    try {
        return json::parse(bytes.cbegin(), bytes.cend());
    } catch (const json::parse_error& error) {
        // nlohmann prefixes its messages with "[json.exception.parse_error.101] ", which means
        // nothing to a user.
        QString detail = QString::fromUtf8(error.what());
        const qsizetype bracket = detail.indexOf(QLatin1String("] "));
        if (detail.startsWith(QLatin1Char('[')) && bracket > 0) {
            detail = detail.mid(bracket + 2);
        }
        throw ActionError::failed(QStringLiteral("the text is not valid JSON (%1)").arg(detail));
    }
}

QByteArray ConfigurationJson::deviceFileText(const ordered_json& value) {
    const std::string text = value.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
    // A '/' can only occur inside a string in dumped JSON, so escaping every one is exact.
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(text.size() + text.size() / 16));
    for (const char c : text) {
        if (c == '/') {
            bytes.append('\\');
        }
        bytes.append(c);
    }
    return bytes;
}

QString ConfigurationJson::uuidText(const QUuid& uuid) {
    return uuid.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> ConfigurationJson::uuidFromText(const QString& text) {
    static const QRegularExpression canonical(QStringLiteral(
        "^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    if (!canonical.match(text).hasMatch()) {
        return std::nullopt;
    }
    return QUuid::fromString(text);
}

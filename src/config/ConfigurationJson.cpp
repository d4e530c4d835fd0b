#include "config/ConfigurationJson.h"

#include "core/ActionError.h"

#include <QRegularExpression>

#include <nlohmann/json.hpp>

#include <algorithm>
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

// Where a value sits in the document, for error messages. Built on the stack as the reader
// descends and turned into text only when something is wrong: formatting a key path for every
// field read would cost more than the reading itself.
struct Path {
    const Path* parent = nullptr;
    const char* key = nullptr;
    qsizetype index = -1;
    const QString* prefix = nullptr;

    Path child(const char* name) const { return Path{this, name, -1, nullptr}; }
    Path element(qsizetype position) const { return Path{this, nullptr, position, nullptr}; }

    QString text() const {
        QString result = parent ? parent->text() : (prefix ? *prefix : QString());
        if (key) {
            if (!result.isEmpty()) {
                result += QLatin1Char('.');
            }
            result += QString::fromLatin1(key);
        }
        if (index >= 0) {
            result += QStringLiteral("[%1]").arg(index);
        }
        return result;
    }
};

QString shown(const json& value) {
    QString text =
        QString::fromStdString(value.dump(-1, ' ', false, json::error_handler_t::replace));
    if (text.size() > 60) {
        text = text.left(57) + QStringLiteral("...");
    }
    return text;
}

[[noreturn]] void fail(const Path& path, const QString& what) {
    throw ActionError::failed(QStringLiteral("\"%1\" %2").arg(path.text(), what));
}

[[noreturn]] void wrongType(const Path& path, const char* expected, const json& value) {
    fail(path, QStringLiteral("must be %1, not %2")
                   .arg(QString::fromLatin1(expected), QString::fromLatin1(value.type_name())));
}

const json& required(const json& object, const Path& where, const char* key) {
    const auto found = object.find(key);
    if (found == object.end()) {
        const QString place = where.text();
        throw ActionError::failed(
            place.isEmpty()
                ? QStringLiteral("the required key \"%1\" is missing").arg(QString::fromLatin1(key))
                : QStringLiteral("\"%1\" lacks the required key \"%2\"")
                      .arg(place, QString::fromLatin1(key)));
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

void requireObject(const json& value, const Path& where) {
    if (!value.is_object()) {
        if (where.text().isEmpty()) {
            throw ActionError::failed(QStringLiteral("the document must be a JSON object, not %1")
                                          .arg(QString::fromLatin1(value.type_name())));
        }
        wrongType(where, "an object", value);
    }
}

QString readString(const json& value, const Path& path) {
    if (!value.is_string()) {
        wrongType(path, "a string", value);
    }
    const std::string& text = value.get_ref<const std::string&>();
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A float is taken only when it is exactly a whole number within ±2^53; the caller checks
// the field's own range.
double integralFloat(const json& value, const Path& path, const char* range) {
    const double number = value.get<double>();
    if (!std::isfinite(number) || std::trunc(number) != number) {
        fail(path, QStringLiteral("must be a whole number, not %1").arg(shown(value)));
    }
    if (std::fabs(number) > largestExactInteger) {
        fail(path, QStringLiteral("must be an integer %1, not %2")
                       .arg(QString::fromLatin1(range), shown(value)));
    }
    return number;
}

[[noreturn]] void outOfRange(const Path& path, const char* range, const json& value) {
    fail(path, QStringLiteral("must be an integer %1, not %2")
                   .arg(QString::fromLatin1(range), shown(value)));
}

int64_t readSigned(const json& value, const Path& path) {
    constexpr const char* range = "that fits in 64 signed bits";
    if (!value.is_number()) {
        wrongType(path, "an integer", value);
    }
    if (value.is_number_unsigned()) {
        const uint64_t number = value.get<uint64_t>();
        if (number > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
            outOfRange(path, range, value);
        }
        return static_cast<int64_t>(number);
    }
    if (value.is_number_integer()) {
        return value.get<int64_t>();
    }
    return static_cast<int64_t>(integralFloat(value, path, range));
}

uint64_t readUnsigned(const json& value, const Path& path, uint64_t max, const char* range) {
    if (!value.is_number()) {
        wrongType(path, "an integer", value);
    }
    uint64_t result = 0;
    if (value.is_number_unsigned()) {
        result = value.get<uint64_t>();
    } else if (value.is_number_integer()) {
        const int64_t number = value.get<int64_t>();
        if (number < 0) {
            outOfRange(path, range, value);
        }
        result = static_cast<uint64_t>(number);
    } else {
        const double number = integralFloat(value, path, range);
        if (number < 0) {
            outOfRange(path, range, value);
        }
        result = static_cast<uint64_t>(number);
    }
    if (result > max) {
        outOfRange(path, range, value);
    }
    return result;
}

std::optional<QString> readOptionalString(const json& object, const Path& where, const char* key) {
    if (const json* value = optional(object, key)) {
        return readString(*value, where.child(key));
    }
    return std::nullopt;
}

QUuid readUuid(const json& value, const Path& path) {
    const QString text = readString(value, path);
    const std::optional<QUuid> uuid = ConfigurationJson::uuidFromText(text);
    if (!uuid) {
        fail(path, QStringLiteral("must be a UUID such as 3F2504E0-4F89-11D3-9A0C-0305E82C3301, "
                                  "not \"%1\"")
                       .arg(text.left(60)));
    }
    return *uuid;
}

const json& readArray(const json& object, const Path& where, const char* key) {
    const json& value = required(object, where, key);
    if (!value.is_array()) {
        wrongType(where.child(key), "an array", value);
    }
    return value;
}

std::string utf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void putOptional(ordered_json& object, const char* key, const std::optional<QString>& value) {
    if (value) {
        object.emplace(key, utf8(*value));
    }
}

Binding readBinding(const json& value, const Path& where) {
    requireObject(value, where);
    Binding binding;
    binding.id = readSigned(required(value, where, "id"), where.child("id"));
    binding.name = readString(required(value, where, "name"), where.child("name"));
    binding.action = readString(required(value, where, "action"), where.child("action"));
    binding.argument = readString(required(value, where, "argument"), where.child("argument"));
    binding.keyCode = static_cast<uint16_t>(readUnsigned(
        required(value, where, "keyCode"), where.child("keyCode"), 65535, "from 0 to 65535"));
    binding.modifiers =
        readUnsigned(required(value, where, "modifiers"), where.child("modifiers"),
                     std::numeric_limits<uint64_t>::max(), "from 0 to 18446744073709551615");
    binding.recordedShortcut = readOptionalString(value, where, "recordedShortcut");
    if (const json* step = optional(value, "adjustmentStep")) {
        binding.adjustmentStep = readSigned(*step, where.child("adjustmentStep"));
    }
    binding.browserBundleID = readOptionalString(value, where, "browserBundleID");
    binding.scriptID = readOptionalString(value, where, "scriptID");
    binding.scriptName = readOptionalString(value, where, "scriptName");
    binding.imagePath = readOptionalString(value, where, "imagePath");
    return binding;
}

QuorvelScene readScene(const json& value, const Path& where) {
    requireObject(value, where);
    QuorvelScene scene;
    scene.id = readUuid(required(value, where, "id"), where.child("id"));
    const json& keys = readArray(value, where, "keys");
    const Path keysPath = where.child("keys");
    scene.keys.reserve(static_cast<qsizetype>(keys.size()));
    for (size_t index = 0; index < keys.size(); ++index) {
        scene.keys.append(
            readBinding(keys[index], keysPath.element(static_cast<qsizetype>(index))));
    }
    scene.backgroundPath = readOptionalString(value, where, "backgroundPath");
    return scene;
}

}  // namespace

ordered_json ConfigurationJson::toJson(const Binding& binding) {
    ordered_json object = ordered_json::object();
    // Twelve keys at most: reserving spares the reallocations of growing the object one by one.
    object.get_ref<ordered_json::object_t&>().reserve(12);
    object.emplace("id", binding.id);
    object.emplace("name", utf8(binding.name));
    object.emplace("action", utf8(binding.action));
    object.emplace("argument", utf8(binding.argument));
    object.emplace("keyCode", binding.keyCode);
    object.emplace("modifiers", binding.modifiers);
    putOptional(object, "recordedShortcut", binding.recordedShortcut);
    if (binding.adjustmentStep) {
        object.emplace("adjustmentStep", *binding.adjustmentStep);
    }
    putOptional(object, "browserBundleID", binding.browserBundleID);
    putOptional(object, "scriptID", binding.scriptID);
    putOptional(object, "scriptName", binding.scriptName);
    putOptional(object, "imagePath", binding.imagePath);
    return object;
}

ordered_json ConfigurationJson::toJson(const QuorvelScene& scene) {
    ordered_json keys = ordered_json::array();
    keys.get_ref<ordered_json::array_t&>().reserve(static_cast<size_t>(scene.keys.size()));
    for (const Binding& binding : scene.keys) {
        keys.push_back(toJson(binding));
    }
    ordered_json object = ordered_json::object();
    object.emplace("id", utf8(uuidText(scene.id)));
    object.emplace("keys", std::move(keys));
    putOptional(object, "backgroundPath", scene.backgroundPath);
    return object;
}

Binding ConfigurationJson::bindingFromJson(const json& value, const QString& where) {
    return readBinding(value, Path{nullptr, nullptr, -1, &where});
}

QuorvelScene ConfigurationJson::sceneFromJson(const json& value, const QString& where) {
    return readScene(value, Path{nullptr, nullptr, -1, &where});
}

QByteArray ConfigurationJson::encode(const SavedConfiguration& configuration) {
    ordered_json scenes = ordered_json::array();
    scenes.get_ref<ordered_json::array_t&>().reserve(
        static_cast<size_t>(configuration.scenes.size()));
    for (const QuorvelScene& scene : configuration.scenes) {
        scenes.push_back(toJson(scene));
    }
    ordered_json root = ordered_json::object();
    root.emplace("scenes", std::move(scenes));
    root.emplace("activeSceneID", utf8(uuidText(configuration.activeSceneID)));
    return deviceFileText(root);
}

SavedConfiguration ConfigurationJson::decodeConfiguration(const QByteArray& bytes) {
    const json root = parse(bytes);
    const Path top;
    requireObject(root, top);
    SavedConfiguration configuration;
    const json& scenes = readArray(root, top, "scenes");
    const Path scenesPath = top.child("scenes");
    configuration.scenes.reserve(static_cast<qsizetype>(scenes.size()));
    for (size_t index = 0; index < scenes.size(); ++index) {
        configuration.scenes.append(
            readScene(scenes[index], scenesPath.element(static_cast<qsizetype>(index))));
    }
    configuration.activeSceneID =
        readUuid(required(root, top, "activeSceneID"), top.child("activeSceneID"));
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
    requireObject(root, Path());
    AppearanceMap map;
    for (auto entry = root.cbegin(); entry != root.cend(); ++entry) {
        map.insert(QString::fromStdString(entry.key()),
                   readString(entry.value(), Path().child(entry.key().c_str())));
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
    const auto slashes = std::count(text.cbegin(), text.cend(), '/');
    QByteArray bytes(static_cast<qsizetype>(text.size()) + slashes, Qt::Uninitialized);
    char* out = bytes.data();
    for (const char c : text) {
        if (c == '/') {
            *out++ = '\\';
        }
        *out++ = c;
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

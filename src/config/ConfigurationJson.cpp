#include "config/ConfigurationJson.h"

#include "core/ActionError.h"

#include <QRegularExpression>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

// From 2^53 on a double no longer holds every integer: 9007199254740993.0 arrives from the
// parser as 9007199254740992, and -9223372036854775809 as -2^63, each a valid but different
// number. Integers written without a fraction never become doubles unless they are outside 64
// bits, so no value that can be read exactly is lost by this bound.
constexpr double firstInexactInteger = 9007199254740992.0;

// A number the parser cannot hold (1e400 overflows a double), by where it stands and as it was
// written. The document is parsed again with the largest double of the same sign in its place,
// so that each reader judges it against its own field (an unknown key is still ignored) and
// its message quotes the number as written.
struct UnreadableNumber {
    QString path;
    QString text;
};
using UnreadableNumbers = std::vector<UnreadableNumber>;

// Where a value sits in the document, for error messages. Built on the stack as the reader
// descends and turned into text only when something is wrong: formatting a key path for every
// field read would cost more than the reading itself.
struct Path {
    const Path* parent = nullptr;
    const char* key = nullptr;
    qsizetype index = -1;
    const QString* prefix = nullptr;
    // Set on the root only.
    const UnreadableNumbers* unreadable = nullptr;

    Path child(const char* name) const { return Path{this, name, -1, nullptr, nullptr}; }
    Path element(qsizetype position) const {
        return Path{this, nullptr, position, nullptr, nullptr};
    }

    const Path& root() const { return parent ? parent->root() : *this; }

    QString text() const {
        QString result = parent ? parent->text() : (prefix ? *prefix : QString());
        if (key) {
            if (!result.isEmpty()) {
                result += QLatin1Char('.');
            }
            result += QString::fromUtf8(key);
        }
        if (index >= 0) {
            result += QStringLiteral("[%1]").arg(index);
        }
        return result;
    }
};

// The value at `path` as the message shows it: as written when the parser could not hold it.
QString shown(const json& value, const Path& path) {
    if (const UnreadableNumbers* unreadable = path.root().unreadable;
        unreadable && value.is_number_float()) {
        const QString where = path.text();
        for (const UnreadableNumber& number : *unreadable) {
            if (number.path == where) {
                return number.text;
            }
        }
    }
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

[[noreturn]] void outOfRange(const Path& path, const char* range, const json& value) {
    fail(path, QStringLiteral("must be an integer %1, not %2")
                   .arg(QString::fromLatin1(range), shown(value, path)));
}

// An integer field's bounds: `lowest` is allowed, `beyond` is the first value that is not.
struct IntegerRange {
    double lowest;
    double beyond;
    const char* text;
};

constexpr IntegerRange signedRange{-9223372036854775808.0, 9223372036854775808.0,
                                   "that fits in 64 signed bits"};

// A number written with a fraction part or an exponent, for an integer field: taken only when
// it is a whole number within the field's range that the double holds exactly.
double integralFloat(const json& value, const Path& path, const IntegerRange& range) {
    const double number = value.get<double>();
    if (!std::isfinite(number) || std::trunc(number) != number) {
        fail(path, QStringLiteral("must be a whole number, not %1").arg(shown(value, path)));
    }
    if (number < range.lowest || number >= range.beyond) {
        outOfRange(path, range.text, value);
    }
    if (std::fabs(number) >= firstInexactInteger) {
        // The value shown would be the rounded one, not what the file says.
        fail(path, QStringLiteral("must be an integer %1 written without a fraction part or "
                                  "exponent: from 9007199254740992 on such a number cannot be "
                                  "read exactly")
                       .arg(QString::fromLatin1(range.text)));
    }
    return number;
}

int64_t readSigned(const json& value, const Path& path) {
    if (!value.is_number()) {
        wrongType(path, "an integer", value);
    }
    if (value.is_number_unsigned()) {
        const uint64_t number = value.get<uint64_t>();
        if (number > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
            outOfRange(path, signedRange.text, value);
        }
        return static_cast<int64_t>(number);
    }
    if (value.is_number_integer()) {
        return value.get<int64_t>();
    }
    return static_cast<int64_t>(integralFloat(value, path, signedRange));
}

// Unsigned fields run from 0 to `max`.
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
        // max + 1 as a double; 2^64 - 1 already converts to exactly 2^64.
        const double beyond = static_cast<double>(max) + 1.0;
        result =
            static_cast<uint64_t>(integralFloat(value, path, IntegerRange{0.0, beyond, range}));
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

// The library's messages begin with "[json.exception.parse_error.101] " and the like, which
// means nothing to a user.
QString libraryDetail(const json::exception& error) {
    QString detail = QString::fromUtf8(error.what());
    const qsizetype bracket = detail.indexOf(QLatin1String("] "));
    if (detail.startsWith(QLatin1Char('[')) && bracket > 0) {
        detail = detail.mid(bracket + 2);
    }
    return detail;
}

[[noreturn]] void invalidText(const json::exception& error) {
    throw ActionError::failed(
        QStringLiteral("the text is not valid JSON (%1)").arg(libraryDetail(error)));
}

// Walks a document with the parser's event interface, keeping only the key path, to find where
// the parser gave up on a number that a double cannot hold.
class NumberLocator final : public nlohmann::json_sax<json> {
public:
    bool found = false;
    QString path;
    // The number as written, and the offset just past it.
    std::string text;
    std::size_t end = 0;

    bool null() override { return value(); }
    bool boolean(bool) override { return value(); }
    bool number_integer(number_integer_t) override { return value(); }
    bool number_unsigned(number_unsigned_t) override { return value(); }
    bool number_float(number_float_t, const string_t&) override { return value(); }
    bool string(string_t&) override { return value(); }
    bool binary(binary_t&) override { return value(); }
    bool start_object(std::size_t) override {
        frames_.push_back(Frame{false, 0, {}});
        return true;
    }
    bool key(string_t& name) override {
        frames_.back().key = name;
        return true;
    }
    bool end_object() override {
        frames_.pop_back();
        return value();
    }
    bool start_array(std::size_t) override {
        frames_.push_back(Frame{true, 0, {}});
        return true;
    }
    bool end_array() override {
        frames_.pop_back();
        return value();
    }
    bool parse_error(std::size_t position, const std::string& token,
                     const nlohmann::detail::exception& error) override {
        // 406: a number overflowed; any other error is the caller's to describe.
        if (error.id == 406) {
            found = true;
            path = currentPath();
            text = token;
            end = position;
        }
        return false;
    }

private:
    struct Frame {
        bool array;
        qsizetype index;
        std::string key;
    };

    bool value() {
        if (!frames_.empty() && frames_.back().array) {
            ++frames_.back().index;
        }
        return true;
    }
    // The same form as Path::text().
    QString currentPath() const {
        QString result;
        for (const Frame& frame : frames_) {
            if (frame.array) {
                result += QStringLiteral("[%1]").arg(frame.index);
                continue;
            }
            if (!result.isEmpty()) {
                result += QLatin1Char('.');
            }
            result += QString::fromStdString(frame.key);
        }
        return result;
    }

    std::vector<Frame> frames_;
};

struct ParsedDocument {
    json root;
    UnreadableNumbers unreadable;
};

// Each number too large for a double costs two more passes over the text; a document with more
// of them than this is refused outright.
constexpr std::size_t maximumUnreadableNumbers = 16;

ParsedDocument parseDocument(QByteArray bytes) {
    ParsedDocument document;
    for (;;) {
        try {
            document.root = json::parse(bytes.cbegin(), bytes.cend());
            return document;
        } catch (const json::parse_error& error) {
            invalidText(error);
        } catch (const json::exception& error) {
            NumberLocator locator;
            json::sax_parse(bytes.cbegin(), bytes.cend(), &locator);
            const auto size = static_cast<qsizetype>(locator.text.size());
            const qsizetype start = static_cast<qsizetype>(locator.end) - size;
            if (!locator.found || start < 0 ||
                bytes.mid(start, size) != QByteArray::fromStdString(locator.text)) {
                invalidText(error);
            }
            const QString text = QString::fromStdString(locator.text);
            if (document.unreadable.size() >= maximumUnreadableNumbers) {
                throw ActionError::failed(QStringLiteral("\"%1\" holds %2, a number too large "
                                                         "to be read")
                                              .arg(locator.path, text));
            }
            document.unreadable.push_back(UnreadableNumber{locator.path, text});
            bytes.replace(start, size,
                          text.startsWith(QLatin1Char('-')) ? "-1.7976931348623157e308"
                                                            : "1.7976931348623157e308");
        }
    }
}

// Runs a reader over a parsed document; whatever the library throws becomes an unreadable
// document too, never an exception of the library's own.
template <typename Read>
auto readDocument(const Read& read) {
    try {
        return read();
    } catch (const json::exception& error) {
        throw ActionError::failed(
            QStringLiteral("the document could not be read (%1)").arg(libraryDetail(error)));
    }
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
    const ParsedDocument document = parseDocument(bytes);
    return readDocument([&] {
        const json& root = document.root;
        const Path top{nullptr, nullptr, -1, nullptr, &document.unreadable};
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
    });
}

QByteArray ConfigurationJson::encode(const AppearanceMap& appearance) {
    ordered_json root = ordered_json::object();
    for (auto entry = appearance.cbegin(); entry != appearance.cend(); ++entry) {
        root[utf8(entry.key())] = utf8(entry.value());
    }
    return deviceFileText(root);
}

AppearanceMap ConfigurationJson::decodeAppearance(const QByteArray& bytes) {
    const ParsedDocument document = parseDocument(bytes);
    return readDocument([&] {
        const Path top{nullptr, nullptr, -1, nullptr, &document.unreadable};
        requireObject(document.root, top);
        AppearanceMap map;
        for (auto entry = document.root.cbegin(); entry != document.root.cend(); ++entry) {
            map.insert(QString::fromStdString(entry.key()),
                       readString(entry.value(), top.child(entry.key().c_str())));
        }
        return map;
    });
}

json ConfigurationJson::parse(const QByteArray& bytes) {
    return parseDocument(bytes).root;
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

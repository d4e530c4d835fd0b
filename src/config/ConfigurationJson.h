#pragma once

#include "config/DeviceAppearance.h"
#include "config/SavedConfiguration.h"

#include <QByteArray>
#include <QString>

#include <nlohmann/json_fwd.hpp>

// The JSON form of the configuration records and of the appearance file.
//
// Reading is strict: a missing required key, a value of the wrong JSON type or a number outside
// its field's range makes the whole document unreadable, and the decoder throws ActionError
// with a message that names the offending key (for example
// `"scenes[0].keys[3].keyCode" must be an integer from 0 to 65535, not 70000`). Optional keys
// that are absent or null read as absent; unknown keys are ignored. Numbers written with a
// fraction part are accepted for integer fields when they are exactly integral (3.0 reads as
// 3, 3.5 is refused), as the decoder the files were first written for did, but only below
// 2^53: beyond, a double cannot tell neighbouring integers apart. A number too large for a
// double (1e400) is judged like any other out-of-range value and quoted as written. Nothing
// of the JSON library escapes: every failure is an ActionError.
//
// Writing gives the device-file form: compact, one line, forward slashes escaped as "\/", no
// trailing newline; absent optional fields are left out.
//
// Pure functions of their arguments; safe on any thread.
class ConfigurationJson {
public:
    static QByteArray encode(const SavedConfiguration& configuration);
    static SavedConfiguration decodeConfiguration(const QByteArray& bytes);

    static QByteArray encode(const AppearanceMap& appearance);
    // Every value must be a JSON string.
    static AppearanceMap decodeAppearance(const QByteArray& bytes);

    // Record-level forms, for documents that embed scenes (settings bundles). `where` prefixes
    // key names in error messages, e.g. "scenes[2]".
    static nlohmann::ordered_json toJson(const Binding& binding);
    static nlohmann::ordered_json toJson(const QuorvelScene& scene);
    static Binding bindingFromJson(const nlohmann::json& value, const QString& where);
    static QuorvelScene sceneFromJson(const nlohmann::json& value, const QString& where);

    // Parses bytes into a JSON value; throws ActionError describing the syntax error. A number
    // too large for a double comes back as the largest double of its sign.
    static nlohmann::json parse(const QByteArray& bytes);
    // The device-file text of a value: one line, "/" escaped as "\/", no trailing newline.
    static QByteArray deviceFileText(const nlohmann::ordered_json& value);

    // A UUID in the written form: 36 characters, hyphenated, upper-case hexadecimal.
    static QString uuidText(const QUuid& uuid);
    // Reads the 36-character hyphenated form in any letter case; nothing else (no braces).
    static std::optional<QUuid> uuidFromText(const QString& text);
};

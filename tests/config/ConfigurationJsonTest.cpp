#include "config/ConfigurationJson.h"

#include "config/DefaultConfiguration.h"
#include "core/ActionError.h"
#include "support/SettingsFiles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

const QString sceneID = "6F9619FF-8B86-D011-B42D-00C04FC964FF";

// A binding with every required key, `key` set to `value` (removed when `value` is empty).
QString bindingWith(const QString& key, const QString& value) {
    QMap<QString, QString> fields{{"id", "1"},          {"name", R"("a")"}, {"action", R"("None")"},
                                  {"argument", "\"\""}, {"keyCode", "0"},   {"modifiers", "0"}};
    value.isEmpty() ? void(fields.remove(key)) : void(fields.insert(key, value));
    QStringList parts;
    for (const auto& [name, text] : fields.asKeyValueRange()) {
        parts << "\"" + name + "\":" + text;
    }
    return "{" + parts.join(',') + "}";
}

// A one-scene document whose single binding is `binding` (JSON object text).
QByteArray documentWith(const QString& binding) {
    return QString(R"({"scenes":[{"id":"%1","keys":[%2]}],"activeSceneID":"%1"})")
        .arg(sceneID, binding)
        .toUtf8();
}

// The decoder's message for `bytes`, or an empty string when it decoded.
QString decodeError(const QByteArray& bytes) {
    const QString error = actionErrorOf([&] { ConfigurationJson::decodeConfiguration(bytes); });
    return error == "(no error)" ? QString() : error;
}

Binding decodeBinding(const QString& binding) {
    return ConfigurationJson::decodeConfiguration(documentWith(binding)).scenes[0].keys[0];
}

}  // namespace

// Round trips of every field are the store's to check; here, what the text looks like.
TEST(ConfigurationJson, WritesOneLineWithEscapedSlashesExactNumbersAndUpperCaseUuids) {
    const QByteArray bytes = ConfigurationJson::encode(sampleConfiguration(4));
    EXPECT_FALSE(bytes.contains('\n'));
    EXPECT_TRUE(bytes.contains(R"("argument":"cd \/tmp && echo \"done\" | tee \/tmp\/out\n")"));
    EXPECT_EQ(bytes.count('/'), bytes.count("\\/"));
    // The extremes of the 64-bit fields, modifiers above 2^63 in particular.
    Binding binding(-42, "a");
    binding.modifiers = 0xFFFFFFFFFFFFFFFFull;
    binding.adjustmentStep = -9223372036854775807ll - 1;
    const QString text = QString::fromStdString(ConfigurationJson::toJson(binding).dump());
    EXPECT_TRUE(text.contains("\"modifiers\":18446744073709551615"));
    EXPECT_EQ(decodeBinding(text), binding);
    const QUuid id = QUuid::fromString(QString("6f9619ff-8b86-d011-b42d-00c04fc964ff"));
    EXPECT_EQ(ConfigurationJson::uuidText(id), sceneID);
    EXPECT_EQ(ConfigurationJson::uuidFromText("6f9619ff-8B86-d011-b42d-00c04fc964ff"), id);
    for (const char* bad :
         {"{6f9619ff-8b86-d011-b42d-00c04fc964ff}", "6f9619ff8b86d011b42d00c04fc964ff"}) {
        EXPECT_FALSE(ConfigurationJson::uuidFromText(bad)) << bad;
    }
}

TEST(ConfigurationJson, DefaultFileHasTheExpectedFormWithoutAbsentFields) {
    const SavedConfiguration configuration =
        DefaultConfiguration::configuration(DeviceKind::mountain);
    const QString text = QString::fromUtf8(ConfigurationJson::encode(configuration));
    const QString id = ConfigurationJson::uuidText(configuration.scenes[0].id);
    EXPECT_TRUE(text.startsWith(R"({"scenes":[{"id":")" + id +
                                R"(","keys":[{"id":1,"name":"LCD key 1","action":)"
                                R"("None","argument":"","keyCode":0,"modifiers":0},)"))
        << text;
    EXPECT_TRUE(text.endsWith(R"(],"activeSceneID":")" + id + "\"}"));
    for (const char* absent : {"backgroundPath", "null", "recordedShortcut", "adjustmentStep",
                               "browserBundleID", "scriptID", "scriptName", "imagePath"}) {
        EXPECT_FALSE(text.contains(absent)) << absent;
    }
    // Nulls read as absent.
    EXPECT_EQ(decodeBinding(bindingWith("recordedShortcut", "null")), Binding(1, "a"));
    EXPECT_EQ(decodeBinding(bindingWith("imagePath", "null")), Binding(1, "a"));
}

// Each row: a binding key, its JSON value ("" removes the key) and the message, "" when the
// document decodes, "*" for any message.
TEST(ConfigurationJson, BindingsAndDocumentsThatBreakTheFormatAreUnreadableAndSayWhere) {
    const QString at = R"("scenes[0].keys[0].)";
    const std::tuple<QString, QString, QString> cases[] = {
        {"argument", "", R"("scenes[0].keys[0]" lacks the required key "argument")"},
        {"name", "5", at + R"(name" must be a string, not number)"},
        {"keyCode", R"("12")", at + R"(keyCode" must be an integer, not string)"},
        {"imagePath", "7", at + R"(imagePath" must be a string, not number)"},
        // Ranges: 16 bits for key codes, unsigned 64 for modifiers, signed 64 for ids.
        {"keyCode", "65535", ""},
        {"keyCode", "65536", at + R"(keyCode" must be an integer from 0 to 65535, not 65536)"},
        {"modifiers", "18446744073709551615", ""},
        {"modifiers", "18446744073709551616", "*"},
        {"id", "-9223372036854775808", ""},
        {"id", "9223372036854775807", ""},
        {"id", "9223372036854775808", "*"},
        // Fractions only where they are whole numbers within range.
        {"id", "3.5", at + R"(id" must be a whole number, not 3.5)"},
        {"id", "1e300", "*"},
        // Below 2^53 a double holds every integer; from there on the neighbours are lost.
        {"modifiers", "9007199254740991.0", ""},
        {"modifiers", "9007199254740993.0",
         at + R"(modifiers" must be an integer from 0 to 18446744073709551615 written without a )"
              R"(fraction part or exponent: from 9007199254740992 on such a number cannot be )"
              R"(read exactly)"},
        // Numbers beyond a double are judged by the field they stand in, and quoted as written.
        {"keyCode", "1e400", at + R"(keyCode" must be an integer from 0 to 65535, not 1e400)"},
        {"adjustmentStep", "-1E+400",
         at + R"(adjustmentStep" must be an integer that fits in 64 signed bits, not -1E+400)"},
        {"name", "2e999", at + R"(name" must be a string, not number)"},
        {"extra", "[1e400,-1e400]", ""},
    };
    for (const auto& [key, value, expected] : cases) {
        const QString message = decodeError(documentWith(bindingWith(key, value)));
        EXPECT_TRUE(expected == "*" ? !message.isEmpty() : message == expected)
            << key << "=" << value << " gave " << message;
    }
    // Whole fractions read as integers.
    Binding fractions(3, "a");
    fractions.keyCode = 12;
    fractions.adjustmentStep = -5;
    EXPECT_EQ(decodeBinding(R"({"id":3.0,"name":"a","action":"None","argument":"","keyCode":1.2e1,)"
                            R"("modifiers":0.0,"adjustmentStep":-5.0})"),
              fractions);

    const QString notJson = "the text is not valid JSON";
    const std::pair<QByteArray, QString> documents[] = {
        {R"({"scenes":[]})", R"(the required key "activeSceneID" is missing)"},
        {R"({"activeSceneID":")" + sceneID.toUtf8() + "\"}",
         R"(the required key "scenes" is missing)"},
        {documentWith("").replace(R"(,"keys":[])", ""),
         R"("scenes[0]" lacks the required key "keys")"},
        {documentWith("[1]"), R"("scenes[0].keys[0]" must be an object, not array)"},
        {R"({"scenes":{},"activeSceneID":"x"})", R"("scenes" must be an array, not object)"},
        {"[]", "the document must be a JSON object, not array"},
        {R"({"scenes":[],"activeSceneID":"not-a-uuid"})",
         R"("activeSceneID" must be a UUID such as 3F2504E0-4F89-11D3-9A0C-0305E82C3301, not )"
         R"("not-a-uuid")"},
        {QByteArray(100000, '[') + QByteArray(100000, ']'),
         "the document must be a JSON object, not array"},
        {"", notJson + " ("},
        {QByteArray(200000, '['), "*"},
    };
    for (const auto& [document, expected] : documents) {
        const QString message = decodeError(document);
        EXPECT_TRUE(expected == "*"                ? !message.isEmpty()
                    : expected.startsWith(notJson) ? message.startsWith(expected)
                                                   : message == expected)
            << document.left(60).toStdString() << " gave " << message;
    }
}

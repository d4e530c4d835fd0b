#include "config/ConfigurationJson.h"

#include "config/DefaultConfiguration.h"
#include "core/ActionError.h"

#include "support/SettingsFiles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace {

const char* const sceneID = "6F9619FF-8B86-D011-B42D-00C04FC964FF";

// A one-scene document whose single binding is `binding` (JSON object text).
QByteArray documentWithBinding(const QString& binding) {
    return QStringLiteral(R"({"scenes":[{"id":"%1","keys":[%2]}],"activeSceneID":"%1"})")
        .arg(QString::fromLatin1(sceneID), binding)
        .toUtf8();
}

// The decoder's message for `bytes`, or an empty string when it decoded.
QString decodeError(const QByteArray& bytes) {
    try {
        ConfigurationJson::decodeConfiguration(bytes);
    } catch (const ActionError& error) {
        return error.message();
    }
    return {};
}

Binding decodeBinding(const QString& binding) {
    return ConfigurationJson::decodeConfiguration(documentWithBinding(binding)).scenes[0].keys[0];
}

}  // namespace

TEST(ConfigurationJson, EveryFieldSurvivesAWriteAndAReadOnOneLineWithEscapedSlashes) {
    const SavedConfiguration original = sampleConfiguration(4);
    const QByteArray bytes = ConfigurationJson::encode(original);
    EXPECT_EQ(ConfigurationJson::decodeConfiguration(bytes), original);
    EXPECT_FALSE(bytes.contains('\n'));
    EXPECT_TRUE(bytes.contains(R"("backgroundPath":"\/home\/user\/)"));
    EXPECT_TRUE(bytes.contains(R"("argument":"cd \/tmp && echo \"done\" | tee \/tmp\/out\n")"));
    EXPECT_EQ(bytes.count('/'), bytes.count("\\/"));

    // The extremes of the 64-bit fields, modifiers above 2^63 in particular.
    Binding binding(1, "a");
    binding.modifiers = 0xFFFFFFFFFFFFFFFFull;
    binding.id = -42;
    binding.adjustmentStep = -9223372036854775807ll - 1;
    const QString text = QString::fromStdString(ConfigurationJson::toJson(binding).dump());
    EXPECT_TRUE(text.contains("\"modifiers\":18446744073709551615"));
    EXPECT_EQ(decodeBinding(text), binding);
}

TEST(ConfigurationJson, DefaultFileHasTheExpectedFormWithoutAbsentFieldsOrUnknownKeys) {
    const SavedConfiguration configuration =
        DefaultConfiguration::configuration(DeviceKind::mountain);
    const QString text = QString::fromUtf8(ConfigurationJson::encode(configuration));
    const QString id = ConfigurationJson::uuidText(configuration.scenes[0].id);
    EXPECT_TRUE(text.startsWith(R"({"scenes":[{"id":")" + id +
                                R"(","keys":[{"id":1,"name":"LCD key 1","action":)"
                                R"("None","argument":"","keyCode":0,"modifiers":0},)"))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith(R"(],"activeSceneID":")" + id + "\"}"));
    for (const char* absent : {"backgroundPath", "null", "recordedShortcut", "adjustmentStep",
                               "browserBundleID", "scriptID", "scriptName", "imagePath"}) {
        EXPECT_FALSE(text.contains(absent)) << absent;
    }
    EXPECT_EQ(text.count("\"name\":\"LCD key "), 12);

    const Binding nulls = decodeBinding(
        R"({"id":1,"name":"a","action":"None","argument":"","keyCode":0,"modifiers":0,)"
        R"("recordedShortcut":null,"adjustmentStep":null,"imagePath":null,"scriptID":null,"extra":[1]})");
    EXPECT_EQ(nulls, Binding(1, "a"));
    const QByteArray written = ConfigurationJson::encode(ConfigurationJson::decodeConfiguration(
        R"({"version":3,"scenes":[{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","colour":"red",)"
        R"("keys":[]}],"activeSceneID":"6F9619FF-8B86-D011-B42D-00C04FC964FF"})"));
    EXPECT_FALSE(written.contains("version") || written.contains("colour"));
}

namespace {

// A binding with every required key, `key` set to `value` (added when it is not one of them).
QString bindingWith(const char* key = "", const char* value = "") {
    const std::pair<const char*, const char*> fields[] = {
        {"id", "1"},          {"name", "\"a\""}, {"action", "\"None\""},
        {"argument", "\"\""}, {"keyCode", "0"},  {"modifiers", "0"}};
    QStringList parts;
    bool replaced = false;
    for (const auto& [name, text] : fields) {
        const bool ours = qstrcmp(name, key) == 0;
        replaced = replaced || ours;
        parts << QStringLiteral("\"%1\":%2").arg(name, ours ? value : text);
    }
    if (!replaced && *key != 0) {
        parts << QStringLiteral("\"%1\":%2").arg(key, value);
    }
    return "{" + parts.join(',') + "}";
}

}  // namespace

TEST(ConfigurationJson, DocumentsThatBreakTheFormatAreUnreadableAndSayWhere) {
    const QString any = QStringLiteral("(any message)");
    const std::pair<QByteArray, QString> cases[] = {
        // Required keys.
        {documentWithBinding(
             QStringLiteral(R"({"id":1,"name":"a","action":"None","keyCode":0,"modifiers":0})")),
         R"("scenes[0].keys[0]" lacks the required key "argument")"},
        {R"({"scenes":[]})", R"(the required key "activeSceneID" is missing)"},
        {R"({"activeSceneID":"6F9619FF-8B86-D011-B42D-00C04FC964FF"})",
         R"(the required key "scenes" is missing)"},
        {R"({"scenes":[{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF"}],)"
         R"("activeSceneID":"6F9619FF-8B86-D011-B42D-00C04FC964FF"})",
         R"("scenes[0]" lacks the required key "keys")"},
        // Types.
        {documentWithBinding(bindingWith("name", "5")),
         R"("scenes[0].keys[0].name" must be a string, not number)"},
        {documentWithBinding(bindingWith("keyCode", R"("12")")),
         R"("scenes[0].keys[0].keyCode" must be an integer, not string)"},
        {documentWithBinding(bindingWith("id", "true")),
         R"("scenes[0].keys[0].id" must be an integer, not boolean)"},
        {documentWithBinding(bindingWith("imagePath", "7")),
         R"("scenes[0].keys[0].imagePath" must be a string, not number)"},
        {documentWithBinding(QStringLiteral("[1]")),
         R"("scenes[0].keys[0]" must be an object, not array)"},
        {R"({"scenes":{},"activeSceneID":"x"})", R"("scenes" must be an array, not object)"},
        {"[]", "the document must be a JSON object, not array"},
        // Ranges: 16 bits for key codes, unsigned 64 for modifiers, signed 64 for ids.
        {documentWithBinding(bindingWith("keyCode", "65535")), QString()},
        {documentWithBinding(bindingWith("keyCode", "65536")),
         R"("scenes[0].keys[0].keyCode" must be an integer from 0 to 65535, not 65536)"},
        {documentWithBinding(bindingWith("keyCode", "-1")), any},
        {documentWithBinding(bindingWith("modifiers", "18446744073709551615")), QString()},
        {documentWithBinding(bindingWith("modifiers", "18446744073709551616")), any},
        {documentWithBinding(bindingWith("id", "-9223372036854775808")), QString()},
        {documentWithBinding(bindingWith("id", "9223372036854775807")), QString()},
        {documentWithBinding(bindingWith("id", "9223372036854775808")), any},
        // Fractions only where they are whole numbers within range.
        {documentWithBinding(bindingWith("id", "3.5")),
         R"("scenes[0].keys[0].id" must be a whole number, not 3.5)"},
        {documentWithBinding(bindingWith("id", "1e300")), any},
        // Below 2^53 a double holds every integer; from there on the neighbours are lost.
        {documentWithBinding(bindingWith("modifiers", "9007199254740991.0")), QString()},
        {documentWithBinding(bindingWith("modifiers", "9007199254740993.0")),
         R"("scenes[0].keys[0].modifiers" must be an integer from 0 to 18446744073709551615 )"
         R"(written without a fraction part or exponent: from 9007199254740992 on such a )"
         R"(number cannot be read exactly)"},
        // Numbers beyond a double are judged by the field they stand in, and quoted as written.
        {documentWithBinding(bindingWith("keyCode", "1e400")),
         R"("scenes[0].keys[0].keyCode" must be an integer from 0 to 65535, not 1e400)"},
        {documentWithBinding(bindingWith("adjustmentStep", "-1E+400")),
         R"("scenes[0].keys[0].adjustmentStep" must be an integer that fits in 64 signed )"
         R"(bits, not -1E+400)"},
        {documentWithBinding(bindingWith("name", "2e999")),
         R"("scenes[0].keys[0].name" must be a string, not number)"},
        {documentWithBinding(bindingWith("extra", "[1e400,-1e400]")), QString()},
        {R"({"scenes":[],"activeSceneID":"not-a-uuid"})",
         R"("activeSceneID" must be a UUID such as )"
         R"(3F2504E0-4F89-11D3-9A0C-0305E82C3301, not "not-a-uuid")"},
    };
    for (const auto& [document, expected] : cases) {
        const QString message = decodeError(document);
        EXPECT_EQ(expected == any ? message.isEmpty() : message != expected, false)
            << document.toStdString() << " gave " << message.toStdString();
    }
}

TEST(ConfigurationJson, RequiredKeysMayBeEmptyAndWholeFractionsReadAsIntegers) {
    EXPECT_EQ(decodeBinding(bindingWith()), Binding(1, "a"));
    const Binding fractions = decodeBinding(QStringLiteral(
        R"({"id":3.0,"name":"a","action":"None","argument":"","keyCode":1.2e1,"modifiers":0.0,)"
        R"("adjustmentStep":-5.0})"));
    EXPECT_EQ(fractions.id, 3);
    EXPECT_EQ(fractions.keyCode, 12);
    EXPECT_EQ(fractions.modifiers, 0u);
    EXPECT_EQ(fractions.adjustmentStep, -5);
}

TEST(ConfigurationJson, UuidsAreWrittenUpperCaseAndReadInAnyCase) {
    const QUuid id = QUuid::fromString(QString("6f9619ff-8b86-d011-b42d-00c04fc964ff"));
    EXPECT_EQ(ConfigurationJson::uuidText(id), sceneID);
    EXPECT_EQ(ConfigurationJson::uuidFromText("6f9619ff-8B86-d011-b42d-00c04fc964ff"), id);
    EXPECT_EQ(ConfigurationJson::uuidFromText("00000000-0000-0000-0000-000000000000"), QUuid());
    for (const char* bad :
         {"{6f9619ff-8b86-d011-b42d-00c04fc964ff}", "6f9619ff8b86d011b42d00c04fc964ff",
          "6f9619ff-8b86-d011-b42d-00c04fc964fg"}) {
        EXPECT_FALSE(ConfigurationJson::uuidFromText(bad)) << bad;
    }
    const SavedConfiguration read = ConfigurationJson::decodeConfiguration(
        R"({"scenes":[{"id":"6f9619ff-8b86-d011-b42d-00c04fc964ff",)"
        R"("keys":[]}],"activeSceneID":"6F9619FF-8b86-D011-B42D-00C04FC964FF"})");
    EXPECT_EQ(read.scenes[0].id, id);
    EXPECT_EQ(read.activeSceneID, id);
    EXPECT_TRUE(ConfigurationJson::encode(read).contains(sceneID));
}

TEST(ConfigurationJson, BrokenTextGivesAClearMessageAndNeverCrashes) {
    EXPECT_TRUE(decodeError("").startsWith(QStringLiteral("the text is not valid JSON (")));
    EXPECT_TRUE(
        decodeError("{\"scenes\":[").startsWith(QStringLiteral("the text is not valid JSON")));
    EXPECT_FALSE(decodeError("{} trailing").isEmpty());
    EXPECT_FALSE(decodeError("\xff\xfe{}").isEmpty());
    EXPECT_FALSE(decodeError("{\"scenes\":[],\"activeSceneID\":\"\xc3\"}").isEmpty());
    EXPECT_FALSE(decodeError(QByteArray(200000, '[')).isEmpty());
    const QByteArray deep = QByteArray(100000, '[') + QByteArray(100000, ']');
    EXPECT_EQ(decodeError(deep), QStringLiteral("the document must be a JSON object, not array"));
}

TEST(ConfigurationJson, AppearanceIsAStringToStringObject) {
    const AppearanceMap map{{QStringLiteral("brightness"), QStringLiteral("80")},
                            {QStringLiteral("deviceName"), QStringLiteral("Desk / left")}};
    const QByteArray bytes = ConfigurationJson::encode(map);
    EXPECT_EQ(bytes, QByteArray(R"({"brightness":"80","deviceName":"Desk \/ left"})"));
    EXPECT_EQ(ConfigurationJson::decodeAppearance(bytes), map);
    EXPECT_TRUE(ConfigurationJson::decodeAppearance("{}").isEmpty());

    EXPECT_EQ(actionErrorOf([] {
                  ConfigurationJson::decodeAppearance(R"({"deviceName":"a","brightness":80})");
              }),
              R"("brightness" must be a string, not number)");
    EXPECT_EQ(actionErrorOf([] { ConfigurationJson::decodeAppearance(R"({"brightness":1e400})"); }),
              QStringLiteral(R"("brightness" must be a string, not number)"));
    EXPECT_THROW(ConfigurationJson::decodeAppearance(R"({"followMacBrightness":true})"),
                 ActionError);
    EXPECT_THROW(ConfigurationJson::decodeAppearance(R"(["a"])"), ActionError);
}

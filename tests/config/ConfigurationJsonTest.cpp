#include "config/ConfigurationJson.h"

#include "config/DefaultConfiguration.h"
#include "core/ActionError.h"

#include "ConfigTestSupport.h"
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

TEST(ConfigurationJson, EveryFieldSurvivesAWriteAndARead) {
    const SavedConfiguration original = sampleConfiguration(4);
    const SavedConfiguration read =
        ConfigurationJson::decodeConfiguration(ConfigurationJson::encode(original));
    EXPECT_EQ(read, original);
    EXPECT_EQ(read.scenes[0].keys[1].modifiers, (uint64_t{1} << 63) | 0x100000);
    EXPECT_EQ(read.scenes[0].keys[1].recordedShortcut, QStringLiteral("⌘⇧K"));

    // The extremes of the 64-bit fields, modifiers above 2^63 in particular.
    Binding binding(1, QStringLiteral("a"));
    binding.modifiers = 0xFFFFFFFFFFFFFFFFull;
    binding.id = -42;
    binding.adjustmentStep = -9223372036854775807ll - 1;
    const QString text = QString::fromStdString(ConfigurationJson::toJson(binding).dump());
    EXPECT_TRUE(text.contains(QStringLiteral("\"modifiers\":18446744073709551615")));
    EXPECT_EQ(decodeBinding(text), binding);
}

TEST(ConfigurationJson, DefaultDisplayPadFileHasTheExpectedForm) {
    const SavedConfiguration configuration =
        DefaultConfiguration::configuration(DeviceKind::mountain);
    const QString text = QString::fromUtf8(ConfigurationJson::encode(configuration));
    const QString id = configuration.scenes[0].id.toString(QUuid::WithoutBraces).toUpper();
    EXPECT_TRUE(
        text.startsWith(QStringLiteral(R"({"scenes":[{"id":")") + id +
                        QStringLiteral(R"(","keys":[{"id":1,"name":"LCD key 1","action":)"
                                       R"("None","argument":"","keyCode":0,"modifiers":0},)")))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral(R"(],"activeSceneID":")") + id + "\"}"));
    EXPECT_FALSE(text.contains(QStringLiteral("backgroundPath")));
    EXPECT_FALSE(text.contains(QStringLiteral("null")));
    EXPECT_EQ(text.count(QStringLiteral("\"name\":\"LCD key ")), 12);
}

TEST(ConfigurationJson, OutputIsOneLineWithEscapedSlashesAndNoTrailingNewline) {
    SavedConfiguration configuration = DefaultConfiguration::configuration(DeviceKind::msdTwo);
    configuration.scenes[0].backgroundPath = QStringLiteral("/a/b.png");
    configuration.scenes[0].keys[0].argument = QStringLiteral("line one\nline \"two\" \\ /x");
    const QByteArray bytes = ConfigurationJson::encode(configuration);
    EXPECT_FALSE(bytes.contains('\n'));
    EXPECT_FALSE(bytes.endsWith('\n'));
    EXPECT_TRUE(bytes.contains(R"("backgroundPath":"\/a\/b.png")"));
    EXPECT_TRUE(bytes.contains(R"("argument":"line one\nline \"two\" \\ \/x")"));
    EXPECT_EQ(bytes.count('/'), bytes.count("\\/"));
    EXPECT_EQ(ConfigurationJson::decodeConfiguration(bytes), configuration);
}

TEST(ConfigurationJson, AbsentOrNullOptionalFieldsReadAbsentAndAreLeftOut) {
    Binding binding(7, QStringLiteral("Seven"));
    binding.imagePath = QStringLiteral("Images/7.png");
    const QString text = QString::fromStdString(ConfigurationJson::toJson(binding).dump());
    for (const char* key :
         {"recordedShortcut", "adjustmentStep", "browserBundleID", "scriptID", "scriptName"}) {
        EXPECT_FALSE(text.contains(QString::fromLatin1(key))) << key;
    }
    EXPECT_EQ(decodeBinding(text), binding);
    const Binding nulls = decodeBinding(QStringLiteral(
        R"({"id":1,"name":"a","action":"None","argument":"","keyCode":0,"modifiers":0,)"
        R"("recordedShortcut":null,"adjustmentStep":null,"imagePath":null,"scriptID":null})"));
    EXPECT_FALSE(nulls.recordedShortcut);
    EXPECT_FALSE(nulls.adjustmentStep);
    EXPECT_FALSE(nulls.imagePath);
    EXPECT_FALSE(nulls.scriptID);
}

TEST(ConfigurationJson, UnknownKeysAreIgnoredAndGoneAfterTheNextWrite) {
    const QByteArray document =
        R"({"version":3,"scenes":[{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","colour":"red","keys":[)"
        R"({"id":1,"name":"a","action":"None","argument":"","keyCode":0,"modifiers":0,"extra":[1]}]}],)"
        R"("activeSceneID":"6F9619FF-8B86-D011-B42D-00C04FC964FF"})";
    const QByteArray written =
        ConfigurationJson::encode(ConfigurationJson::decodeConfiguration(document));
    EXPECT_FALSE(written.contains("version"));
    EXPECT_FALSE(written.contains("colour"));
    EXPECT_FALSE(written.contains("extra"));
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
        {documentWithBinding(bindingWith("modifiers", "-1")), any},
        {documentWithBinding(bindingWith("id", "-9223372036854775808")), QString()},
        {documentWithBinding(bindingWith("id", "9223372036854775807")), QString()},
        {documentWithBinding(bindingWith("id", "9223372036854775808")), any},
        {documentWithBinding(bindingWith("id", "-9223372036854775809")), any},
        // Fractions only where they are whole numbers within range.
        {documentWithBinding(bindingWith("id", "3.5")),
         R"("scenes[0].keys[0].id" must be a whole number, not 3.5)"},
        {documentWithBinding(bindingWith("keyCode", "65536.0")), any},
        {documentWithBinding(bindingWith("id", "1e300")), any},
        // Below 2^53 a double holds every integer; from there on the neighbours are lost.
        {documentWithBinding(bindingWith("modifiers", "9007199254740991.0")), QString()},
        {documentWithBinding(bindingWith("modifiers", "9007199254740993.0")),
         R"("scenes[0].keys[0].modifiers" must be an integer from 0 to 18446744073709551615 )"
         R"(written without a fraction part or exponent: from 9007199254740992 on such a )"
         R"(number cannot be read exactly)"},
        {documentWithBinding(bindingWith("id", "-9007199254740992.0")), any},
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
        SCOPED_TRACE(document.toStdString());
        const QString message = decodeError(document);
        if (expected == any) {
            EXPECT_FALSE(message.isEmpty());
        } else {
            EXPECT_EQ(message, expected);
        }
    }
}

TEST(ConfigurationJson, RequiredKeysMayBeEmptyAndWholeFractionsReadAsIntegers) {
    EXPECT_TRUE(decodeBinding(bindingWith()).imagePath == std::nullopt);
    const SavedConfiguration read = ConfigurationJson::decodeConfiguration(
        R"({"scenes":[{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","keys":[]}],)"
        R"("activeSceneID":"6F9619FF-8B86-D011-B42D-00C04FC964FF"})");
    ASSERT_EQ(read.scenes.size(), 1);
    EXPECT_TRUE(read.scenes[0].keys.isEmpty());

    const Binding fractions = decodeBinding(QStringLiteral(
        R"({"id":3.0,"name":"a","action":"None","argument":"","keyCode":1.2e1,"modifiers":0.0,)"
        R"("adjustmentStep":-5.0})"));
    EXPECT_EQ(fractions.id, 3);
    EXPECT_EQ(fractions.keyCode, 12);
    EXPECT_EQ(fractions.modifiers, 0u);
    EXPECT_EQ(fractions.adjustmentStep, -5);
}

TEST(ConfigurationJson, UuidsAreWrittenUpperCaseAndReadInAnyCase) {
    const QUuid id = QUuid::fromString(QStringLiteral("6f9619ff-8b86-d011-b42d-00c04fc964ff"));
    EXPECT_EQ(ConfigurationJson::uuidText(id), QString::fromLatin1(sceneID));
    EXPECT_EQ(
        ConfigurationJson::uuidFromText(QStringLiteral("6f9619ff-8B86-d011-b42d-00c04fc964ff")),
        id);
    EXPECT_FALSE(
        ConfigurationJson::uuidFromText(QStringLiteral("{6f9619ff-8b86-d011-b42d-00c04fc964ff}")));
    EXPECT_FALSE(
        ConfigurationJson::uuidFromText(QStringLiteral("6f9619ff8b86d011b42d00c04fc964ff")));
    EXPECT_FALSE(
        ConfigurationJson::uuidFromText(QStringLiteral("6f9619ff-8b86-d011-b42d-00c04fc964fg")));
    EXPECT_EQ(
        ConfigurationJson::uuidFromText(QStringLiteral("00000000-0000-0000-0000-000000000000")),
        QUuid());

    const QByteArray lower =
        QByteArray(R"({"scenes":[{"id":"6f9619ff-8b86-d011-b42d-00c04fc964ff",)"
                   R"("keys":[]}],"activeSceneID":"6F9619FF-8b86-D011-B42D-00C04FC964FF"})");
    const SavedConfiguration read = ConfigurationJson::decodeConfiguration(lower);
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

    try {
        ConfigurationJson::decodeAppearance(R"({"deviceName":"a","brightness":80})");
        ADD_FAILURE() << "a number was accepted as an appearance value";
    } catch (const ActionError& error) {
        EXPECT_EQ(error.message(), QStringLiteral(R"("brightness" must be a string, not number)"));
    }
    EXPECT_EQ(actionErrorOf([] { ConfigurationJson::decodeAppearance(R"({"brightness":1e400})"); }),
              QStringLiteral(R"("brightness" must be a string, not number)"));
    EXPECT_THROW(ConfigurationJson::decodeAppearance(R"({"followMacBrightness":true})"),
                 ActionError);
    EXPECT_THROW(ConfigurationJson::decodeAppearance(R"(["a"])"), ActionError);
}

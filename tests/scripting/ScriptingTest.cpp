#include "app/VirtualPads.h"
#include "config/ConfigurationJson.h"
#include "config/DefaultConfiguration.h"
#include "scripting/ScriptObjects.h"
#include "scripting/ScriptingRegistry.h"
#include "support/ModelHarness.h"
#include "support/ProgramUnderTest.h"
#include "support/TestSupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

// The running program with its virtual pads on a private session bus, scripted from outside
// through quorvelctl (and, where the client cannot express a value, through D-Bus itself).
namespace {

const QString displayPadID = virtualDisplayPadID();
const QString msdTwoID = virtualMsdTwoID();
const QString sharedID = QStringLiteral("0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0");

class Scripting : public ::testing::Test, public ProgramUnderTest {
protected:
    void SetUp() override {
        // Two scenes on the DisplayPad, one on the MSD-TWO; both devices' key 1 carries the same
        // script id, and DisplayPad key 2 one that is no UUID.
        SavedConfiguration pad;
        pad.scenes = {DefaultConfiguration::scene(DeviceKind::mountain),
                      DefaultConfiguration::scene(DeviceKind::mountain)};
        pad.scenes[0].keys[0].scriptID = sharedID;
        pad.scenes[0].keys[1].scriptID = QStringLiteral("not-a-uuid");
        pad.activeSceneID = pad.scenes[0].id;
        writeScenes(displayPadID, pad);
        SavedConfiguration msd = DefaultConfiguration::configuration(DeviceKind::msdTwo);
        msd.scenes[0].keys[0].scriptID = sharedID;
        writeScenes(msdTwoID, msd);

        start(program);
        ASSERT_TRUE(waitUntil(
            [&] {
                const QJsonArray devices = listing()["devices"].toArray();
                return devices.size() == 2 && devices[0]["connected"].toBool() &&
                       devices[1]["connected"].toBool();
            },
            std::chrono::seconds(30)))
            << log();
    }

    Outcome ctl(const QStringList& arguments, const QString& busAddress = {}) {
        return run(QUORVELCTL_EXECUTABLE, arguments, busAddress);
    }
    QJsonObject json(const QStringList& arguments) {
        return QJsonDocument::fromJson(ctl(QStringList{"--json"} + arguments).out.toUtf8())
            .object();
    }
    QJsonObject listing() { return json({"list"}); }
    QString log() { return output(program); }
    // Waits until the DisplayPad's key shows `color` at (x, y) inside the key.
    bool keyShows(int key, int x, int y, QColor color) {
        return waitUntil(
            [&] { return near(keyPixel(picture("displaypad"), key, x, y), color, 40); });
    }
    QString save(const QString& name, QColor color) {
        QImage image(64, 64, QImage::Format_RGB32);
        image.fill(color);
        EXPECT_TRUE(image.save(path(name)));
        return path(name);
    }
};

}  // namespace

TEST_F(Scripting, ListsEveryScreenButtonWithNamesAndIdsUniqueAcrossDevices) {
    const QJsonArray devices = listing()["devices"].toArray();
    ASSERT_EQ(devices.size(), 2);
    QSet<QString> ids;
    QStringList padNames;
    for (const QJsonValue& button : devices[0]["buttons"].toArray()) {
        padNames << button["name"].toString();
        ids << button["id"].toString();
    }
    EXPECT_EQ(devices[0]["id"].toString(), displayPadID);
    ASSERT_EQ(padNames.size(), 24);
    EXPECT_EQ(padNames.first(), "Scene1Button1");
    EXPECT_EQ(padNames.last(), "Scene2Button12");
    EXPECT_EQ(devices[1]["buttons"].toArray().size(), 6);
    for (const QJsonValue& button : devices[1]["buttons"].toArray()) {
        ids << button["id"].toString();
    }
    EXPECT_EQ(ids.size(), 30) << "script ids must be unique across devices";
    EXPECT_FALSE(ids.contains("not-a-uuid"));
    for (const QString& id : ids) {
        EXPECT_TRUE(ConfigurationJson::uuidFromText(id)) << id.toStdString();
    }
}

TEST_F(Scripting, RefusesBadRequestsWithTheirMessageAndChangesNothing) {
    QFile garbage(path("garbage.png"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly) && garbage.write("not a picture") > 0);
    garbage.close();
    const QJsonObject before = json({"show", "Scene1Button3"});
    DbusDaemon empty;

    struct Row {
        QStringList arguments;
        int exitCode;
        QString error;  // the D-Bus error name --json reports; empty for usage errors
        QString message;
    };
    const QString prefix = "org.quorvel.Zodovuvur.Error.";
    const QList<Row> rows = {
        {{"rename", "Scene1Button3", " \n "},
         1,
         prefix + "InvalidName",
         "A script name cannot be empty"},
        {{"icon", "Scene1Button3", "https://example.com/a.png"},
         1,
         prefix + "InvalidIcon",
         "Set icon to a local file or missing value"},
        {{"icon", "Scene1Button3", path("garbage.png")},
         1,
         prefix + "ImageRefused",
         "The image could not be decoded"},
        {{"icon", "Scene1Button3", path("absent.png")},
         1,
         prefix + "ImageRefused",
         "it does not exist"},
        {{"badge", "Scene1Button3", "top left", "value", "3.5"},
         1,
         prefix + "InvalidValue",
         "Badge value must be a nonnegative integer or missing value"},
        {{"badge", "Scene1Button3", "top left", "value", "1e19"},
         1,
         prefix + "InvalidValue",
         "Badge value must be a nonnegative integer or missing value"},
        {{"badge", "Scene1Button3", "top left", "color", "#12345"},
         1,
         prefix + "InvalidColor",
         "Use a named color, #RRGGBB, #RRGGBBAA, or missing value"},
        {{"rename-device", displayPadID, "  "},
         1,
         prefix + "RenameRefused",
         "A device name cannot be empty"},
        {{"badge", "Scene1Button3", "top centre", "value", "1"},
         4,
         prefix + "NoSuchBadge",
         "No badge position is named \"top centre\""},
        {{"show", "Nobody"}, 4, prefix + "NoSuchButton", "No screen button is named \"Nobody\""},
        {{"show", "Scene1Button3", "--device", "nowhere"},
         4,
         prefix + "NoSuchDevice",
         "No device has the id or name \"nowhere\""},
        {{"badge", "Scene1Button3", "top left", "displayed", "maybe"}, 2, "", "is not yes or no"},
        {{"frobnicate"}, 2, "", "unknown command"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        const Outcome plain = ctl(row.arguments);
        EXPECT_EQ(plain.exitCode, row.exitCode);
        EXPECT_TRUE(plain.err.contains(row.message)) << plain.err.toStdString();
        if (!row.error.isEmpty()) {
            const QJsonObject reply = json(row.arguments);
            EXPECT_EQ(reply["error"].toString(), row.error);
            EXPECT_TRUE(reply["message"].toString().contains(row.message));
        }
    }
    // Refused requests change nothing, and the device's status line (the log, headless) says why.
    EXPECT_EQ(json({"show", "Scene1Button3"}), before);
    EXPECT_TRUE(waitUntil([&] { return log().contains("Use a named color, #RRGGBB"); }));

    // A badge value given as text is text, even when it spells a number.
    const QString badgePath =
        QString("/org/quorvel/Zodovuvur/devices/%1/buttons/%2/badges/top_left")
            .arg(QString(displayPadID).replace("-", "_2d"),
                 QString(before["id"].toString()).replace("-", "_2d"));
    QDBusMessage call = QDBusMessage::createMethodCall("org.quorvel.Zodovuvur", badgePath,
                                                       "org.quorvel.Zodovuvur.Badge", "SetValue");
    call.setArguments({QVariant::fromValue(QDBusVariant(QString("3")))});
    EXPECT_EQ(client->call(call).errorName(), prefix + "InvalidValue");

    const Outcome absent = ctl({"list"}, empty.address());
    EXPECT_EQ(absent.exitCode, 3);
    EXPECT_TRUE(absent.err.contains("Quorvel Zodovuvur is not running"))
        << absent.err.toStdString();
}

TEST_F(Scripting, IconsAndBadgesShowOnThePadsByIdAndByName) {
    const QImage msdBefore = picture("msd-two");
    ASSERT_TRUE(keyShows(3, 51, 51, Qt::black));

    // By id, then the badge: a long number in green at the top right, shortened to "99+".
    const QString id = json({"show", "Scene1Button3"})["id"].toString();
    ASSERT_EQ(ctl({"icon", id, save("red.png", Qt::red)}).exitCode, 0);
    EXPECT_TRUE(keyShows(3, 51, 51, Qt::red));
    ASSERT_EQ(ctl({"badge", id, "top right", "value", "150", "color", "#00FF00"}).exitCode, 0);
    EXPECT_TRUE(keyShows(3, 79, 5, Qt::green)) << log().toStdString();
    EXPECT_EQ(ctl({"badge", id, "top right", "displayed", "no"}).exitCode, 0);
    EXPECT_TRUE(keyShows(3, 79, 5, Qt::red));

    // Values and colours are stored as the Part says: 3.0 as 3, eight digits as given.
    ASSERT_EQ(
        ctl({"badge", id, "top left", "value", "3.0", "color", "#11223344", "truncation", "no"})
            .exitCode,
        0);
    const QJsonObject shown = json({"show", id});
    const QJsonObject topLeft = shown["badges"].toArray()[0].toObject();
    EXPECT_EQ(topLeft["value"].toInteger(), 3);
    EXPECT_EQ(topLeft["color"].toString(), "#11223344");
    EXPECT_FALSE(topLeft["truncation"].toBool());
    EXPECT_EQ(shown["icon"].toString(), path("red.png"));

    // A name with blanks around it is kept as given; by name on one device, then on all.
    ASSERT_EQ(ctl({"rename", "Scene1Button2", " Mail "}).exitCode, 0);
    ASSERT_EQ(ctl({"rename", "Scene1Button1", " Mail ", "--device", msdTwoID}).exitCode, 0);
    EXPECT_EQ(json({"show", " Mail ", "--device", displayPadID})["name"].toString(), " Mail ");
    ASSERT_EQ(
        ctl({"icon", " Mail ", save("blue.png", Qt::blue), "--device", displayPadID}).exitCode, 0);
    EXPECT_TRUE(keyShows(2, 51, 51, Qt::blue));
    EXPECT_EQ(picture("msd-two"), msdBefore);
    ASSERT_EQ(ctl({"icon", " Mail ", save("white.png", Qt::white)}).exitCode, 0);
    EXPECT_TRUE(keyShows(2, 51, 51, Qt::white));
    EXPECT_TRUE(waitUntil([&] { return picture("msd-two") != msdBefore; }));

    // The missing value brings the configured artwork back.
    ASSERT_EQ(ctl({"icon", " Mail ", "--clear"}).exitCode, 0);
    EXPECT_TRUE(keyShows(2, 51, 51, Qt::black));
    EXPECT_TRUE(waitUntil([&] { return picture("msd-two") == msdBefore; }));

    ASSERT_EQ(ctl({"rename-device", msdTwoID, "Desk"}).exitCode, 0);
    EXPECT_EQ(listing()["devices"].toArray()[1].toObject()["name"].toString(), "Desk");
}

// The interfaces the running program exports are those of the interface file kept in the
// repository, member for member.
TEST_F(Scripting, ExportsTheInterfacesOfTheInterfaceFile) {
    const auto interfaces = [](const QString& xml) {
        QMap<QString, QStringList> members;
        QXmlStreamReader reader(xml);
        QString current;
        while (!reader.atEnd()) {
            if (reader.readNext() != QXmlStreamReader::StartElement) {
                continue;
            }
            const QXmlStreamAttributes a = reader.attributes();
            if (reader.name() == QLatin1String("interface")) {
                current = a.value("name").toString();
            } else if (current.startsWith("org.quorvel.Zodovuvur.") &&
                       !current.endsWith("VirtualPads") && !current.endsWith("Settings")) {
                members[current] << reader.name().toString() + " " + a.value("name").toString() +
                                        " " + a.value("type").toString() + " " +
                                        a.value("direction").toString() + " " +
                                        a.value("access").toString();
            }
        }
        return members;
    };
    QFile file(QUORVEL_SOURCE_DIR "/src/app/org.quorvel.Zodovuvur.xml");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QMap<QString, QStringList> declared = interfaces(QString::fromUtf8(file.readAll()));

    const QString button =
        QString("/org/quorvel/Zodovuvur/devices/%1/buttons/%2")
            .arg(QString(displayPadID).replace("-", "_2d"),
                 QString(json({"show", "Scene1Button3"})["id"].toString()).replace("-", "_2d"));
    QMap<QString, QStringList> exported;
    for (const QString& object :
         {QString("/org/quorvel/Zodovuvur"), QString(button).section('/', 0, 5), button,
          button + "/badges/top_left"}) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            "org.quorvel.Zodovuvur", object, "org.freedesktop.DBus.Introspectable", "Introspect");
        const QDBusMessage reply = client->call(call);
        ASSERT_EQ(reply.errorName(), "") << object.toStdString();
        exported.insert(interfaces(reply.arguments().value(0).toString()));
    }
    EXPECT_EQ(exported.keys(), declared.keys());
    for (const QString& name : declared.keys()) {
        EXPECT_EQ(exported[name], declared[name]) << name.toStdString();
    }
}

// A large run-time icon is kept at a size a key can use, not at the size of the file.
TEST(ScriptScreenButton, KeepsLargeIconsSmall) {
    ModelHarness harness;
    Model* model = harness.attach(ModelHarness::displayPad());
    ScriptingRegistry::shared().start(&harness.store());
    const QList<ScriptScreenButton> buttons = ScriptingRegistry::shared().buttons();
    ASSERT_EQ(buttons.size(), 12);
    QImage wide(2000, 1000, QImage::Format_RGB32);
    wide.fill(Qt::red);
    ASSERT_TRUE(wide.save(harness.root() + "/wide.png"));
    buttons[0].setIcon(harness.root() + "/wide.png");
    ScriptingRegistry::shared().stop();
    EXPECT_EQ(model->runtimeIcons().value(buttons[0].uniqueID()).size(), QSize(512, 256));
    EXPECT_EQ(buttons[0].icon(), harness.root() + "/wide.png");
}

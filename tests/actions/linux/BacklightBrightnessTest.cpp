#include "actions/linux/BacklightBrightness.h"

#include "FakeDbusServices.h"
#include "support/LocalServers.h"
#include "support/SettingsFiles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <QProcess>

class BacklightBrightnessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(bus.address().isEmpty()) << bus.log();
        qputenv("GSETTINGS_BACKEND", "memory");  // never the user's settings
        options.sysfsRoot = folder.filePath("backlight");
        options.systemBusAddress = bus.address();
        options.settingsSchema = "org.quorvel.test.power";
    }
    void addPanel(const QString& name, const QByteArray& type, const QByteArray& brightness,
                  const QByteArray& maximum) {
        const QString dir = options.sysfsRoot + "/" + name + "/";
        writeBytes(dir + "type", type + "\n");
        writeBytes(dir + "brightness", brightness + "\n");
        writeBytes(dir + "max_brightness", maximum + "\n");
    }
    QString error(const std::function<void(BacklightBrightness&)>& call) {
        BacklightBrightness display(options);
        return actionErrorOf([&] { call(display); });
    }

    QTemporaryDir folder;
    DbusDaemon bus;
    BacklightBrightness::Options options;
};

// The firmware panel comes before others; changes clamp at the ends, always move the panel and
// are written through logind, or into the backlight file directly without it.
TEST_F(BacklightBrightnessTest, ReadsTheFirmwarePanelFirstAndChangesItThroughLogind) {
    addPanel("intel_backlight", "raw", "30", "120");
    addPanel("panel", "firmware", "500", "1000");
    BacklightBrightness display(options);
    EXPECT_DOUBLE_EQ(display.level(), 0.5);
    {
        FakeSystemServices services(bus.address(), options.sysfsRoot, true, false);
        ASSERT_TRUE(services.registered);
        EXPECT_DOUBLE_EQ(display.change(0.05), 0.55);
        EXPECT_EQ(services.session.calls(), QStringList{"backlight panel 550"});
        EXPECT_DOUBLE_EQ(display.level(), 0.55);
    }
    QDir(options.sysfsRoot + "/intel_backlight").removeRecursively();
    const std::tuple<QByteArray, QByteArray, double, bool, QByteArray> cases[] = {
        {"990", "1000", 0.05, true, "1000"},
        {"20", "1000", -0.05, true, "0"},
        {"3", "7", 0.05, true, "4"},
        {"4", "7", -0.05, true, "3"},
        {"40", "100", 0.1, false, "50"}};
    for (const auto& [brightness, maximum, change, logind, expected] : cases) {
        SCOPED_TRACE(brightness.toStdString() + "/" + maximum.toStdString());
        addPanel("panel", "platform", brightness, maximum);
        FakeSystemServices services(bus.address(), options.sysfsRoot, logind, false);
        BacklightBrightness(options).change(change);
        EXPECT_EQ(readFile(options.sysfsRoot + "/panel/brightness").trimmed(), expected);
    }
}

TEST_F(BacklightBrightnessTest,
       MissingUnreadableOrRefusingPanelsAreReportedAndAutomaticNeedsALightSensor) {
    EXPECT_EQ(error([](auto& d) { d.change(0.05); }),
              "Mac display brightness control is unavailable");
    addPanel("panel", "raw", "garbage", "100");
    addPanel("other", "raw", "10", "0");
    const QString unreadable = "This Mac display does not expose native brightness control";
    EXPECT_EQ(error([](auto& d) { d.level(); }), unreadable);
    QDir(options.sysfsRoot + "/other").removeRecursively();
    EXPECT_EQ(error([](auto& d) { d.change(0.05); }), unreadable);
    // A readable number that even root cannot write.
    QFile::remove(options.sysfsRoot + "/panel/brightness");
    ASSERT_TRUE(
        QFile::link("/proc/sys/kernel/ngroups_max", options.sysfsRoot + "/panel/brightness"));
    const qint64 groups = readFile("/proc/sys/kernel/ngroups_max").trimmed().toLongLong();
    writeBytes(options.sysfsRoot + "/panel/max_brightness", QByteArray::number(groups * 2));
    EXPECT_DOUBLE_EQ(BacklightBrightness(options).level(), 0.5);
    EXPECT_EQ(error([](auto& d) { d.change(0.1); }), "Could not change Mac display brightness");
    // The desktop's switch, given a light sensor and the schema that holds the switch.
    const QString unsupported = "This Mac display does not support automatic brightness";
    {
        FakeSystemServices services(bus.address(), options.sysfsRoot, false, true);
        EXPECT_EQ(error([](auto& d) { d.toggleAutomatic(); }), unsupported);  // no schema
    }
    const QString schemas = folder.filePath("schemas");
    writeBytes(schemas + "/org.quorvel.test.power.gschema.xml",
               R"(<schemalist><schema id="org.quorvel.test.power" path="/org/quorvel/test/power/">
<key name="ambient-enabled" type="b"><default>false</default></key></schema></schemalist>)");
    ASSERT_EQ(QProcess::execute("glib-compile-schemas", {schemas}), 0);
    options.schemaDirectory = schemas;
    {
        FakeSystemServices services(bus.address(), options.sysfsRoot, false, true, false);
        EXPECT_EQ(error([](auto& d) { d.automatic(); }), unsupported);  // no light sensor
    }
    FakeSystemServices services(bus.address(), options.sysfsRoot, false, true);
    ASSERT_TRUE(services.registered);
    BacklightBrightness display(options);
    const bool before = display.automatic();
    display.toggleAutomatic();
    EXPECT_EQ(display.automatic(), !before);
    display.toggleAutomatic();
    EXPECT_EQ(display.automatic(), before);
}

#include "actions/linux/BacklightBrightness.h"

#include "FakeDbusServices.h"
#include "support/LocalServers.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QProcess>

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()) << path;
}

}  // namespace

class BacklightBrightnessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(bus.address().isEmpty()) << bus.log().toStdString();
        qputenv("GSETTINGS_BACKEND", "memory");  // never the user's settings
        options.sysfsRoot = folder.filePath("backlight");
        options.systemBusAddress = bus.address();
        options.settingsSchema = "org.quorvel.test.power";
    }
    void addPanel(const QString& name, const QByteArray& type, const QByteArray& brightness,
                  const QByteArray& maximum) {
        const QString dir = options.sysfsRoot + "/" + name + "/";
        ASSERT_TRUE(QDir().mkpath(dir));
        writeFile(dir + "type", type + "\n");
        writeFile(dir + "brightness", brightness + "\n");
        writeFile(dir + "max_brightness", maximum + "\n");
    }
    // A compiled schema with the desktop's ambient-brightness key, in the test folder.
    QString compileSchema() {
        const QString dir = folder.filePath("schemas");
        QDir().mkpath(dir);
        writeFile(
            dir + "/org.quorvel.test.power.gschema.xml",
            R"(<schemalist><schema id="org.quorvel.test.power" path="/org/quorvel/test/power/">
<key name="ambient-enabled" type="b"><default>false</default></key></schema></schemalist>)");
        EXPECT_EQ(QProcess::execute("glib-compile-schemas", {dir}), 0);
        return dir;
    }

    QTemporaryDir folder;
    DbusDaemon bus;
    BacklightBrightness::Options options;
};

TEST_F(BacklightBrightnessTest, ReadsTheFirmwarePanelBeforeOthersAndWritesThroughLogind) {
    addPanel("intel_backlight", "raw", "30", "120");
    addPanel("panel", "firmware", "500", "1000");
    BacklightBrightness display(options);
    EXPECT_DOUBLE_EQ(display.level(), 0.5);
    FakeSystemServices services(bus.address(), options.sysfsRoot, true, false);
    ASSERT_TRUE(services.registered);
    EXPECT_DOUBLE_EQ(display.change(0.05), 0.55);
    EXPECT_EQ(services.session.calls(), QStringList{"backlight panel 550"});
    EXPECT_DOUBLE_EQ(display.level(), 0.55);
}

TEST_F(BacklightBrightnessTest, ChangesClampAtTheEndsAndAlwaysMoveThePanel) {
    const struct {
        QByteArray type, brightness, maximum;
        double change;
        bool logind;
        QByteArray expected;
    } cases[] = {
        {"raw", "990", "1000", 0.05, true, "1000"},
        {"raw", "20", "1000", -0.05, true, "0"},
        // A step smaller than the panel's own step still moves it.
        {"platform", "3", "7", 0.05, true, "4"},
        {"platform", "4", "7", -0.05, true, "3"},
        // Without logind the backlight file is written directly.
        {"raw", "40", "100", 0.1, false, "50"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.brightness.toStdString() + "/" + c.maximum.toStdString());
        addPanel("panel", c.type, c.brightness, c.maximum);
        FakeSystemServices services(bus.address(), options.sysfsRoot, c.logind, false);
        BacklightBrightness(options).change(c.change);
        EXPECT_EQ(readFile(options.sysfsRoot + "/panel/brightness").trimmed(), c.expected);
    }
}

TEST_F(BacklightBrightnessTest, MissingUnreadableOrRefusingPanelsAreReported) {
    BacklightBrightness display(options);
    EXPECT_EQ(actionErrorOf([&] { display.level(); }),
              "Mac display brightness control is unavailable");
    EXPECT_EQ(actionErrorOf([&] { display.change(0.05); }),
              "Mac display brightness control is unavailable");
    addPanel("panel", "raw", "garbage", "100");
    addPanel("other", "raw", "10", "0");
    const QString unreadable = "This Mac display does not expose native brightness control";
    EXPECT_EQ(actionErrorOf([&] { BacklightBrightness(options).level(); }), unreadable);
    QDir(options.sysfsRoot + "/other").removeRecursively();
    EXPECT_EQ(actionErrorOf([&] { BacklightBrightness(options).change(0.05); }), unreadable);

    // A readable number that even root cannot write.
    QFile::remove(options.sysfsRoot + "/panel/brightness");
    ASSERT_TRUE(
        QFile::link("/proc/sys/kernel/ngroups_max", options.sysfsRoot + "/panel/brightness"));
    const qint64 groups = readFile("/proc/sys/kernel/ngroups_max").trimmed().toLongLong();
    writeFile(options.sysfsRoot + "/panel/max_brightness", QByteArray::number(groups * 2));
    BacklightBrightness refusing(options);
    EXPECT_DOUBLE_EQ(refusing.level(), 0.5);
    EXPECT_EQ(actionErrorOf([&] { refusing.change(0.1); }),
              "Could not change Mac display brightness");
}

TEST_F(BacklightBrightnessTest, AutomaticBrightnessTogglesTheDesktopSwitchGivenALightSensor) {
    const QString unsupported = "This Mac display does not support automatic brightness";
    {
        FakeSystemServices services(bus.address(), options.sysfsRoot, false, true);
        BacklightBrightness::Options absent = options;
        absent.settingsSchema = "org.quorvel.absent.power";
        EXPECT_EQ(actionErrorOf([&] { BacklightBrightness(absent).toggleAutomatic(); }),
                  unsupported);
    }
    options.schemaDirectory = compileSchema();
    {
        FakeSystemServices services(bus.address(), options.sysfsRoot, false, true, false);
        EXPECT_EQ(actionErrorOf([&] { BacklightBrightness(options).automatic(); }), unsupported);
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

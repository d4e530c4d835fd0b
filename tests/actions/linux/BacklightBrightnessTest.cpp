#include "DbusDaemon.h"
#include "FakeSystemServices.h"
#include "actions/linux/BacklightBrightness.h"

#include "core/ActionError.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include <functional>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

class BacklightBrightnessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        ASSERT_FALSE(bus.address().isEmpty()) << bus.log().toStdString();
        // Settings live in memory for the whole test program, never in the user's files.
        qputenv("GSETTINGS_BACKEND", "memory");
    }

    QString sysfs() const { return folder.filePath("backlight"); }

    void addPanel(const QString& name, const QByteArray& type, const QByteArray& brightness,
                  const QByteArray& maximum) {
        ASSERT_TRUE(QDir().mkpath(sysfs() + "/" + name));
        ASSERT_TRUE(writeFile(sysfs() + "/" + name + "/type", type + "\n"));
        ASSERT_TRUE(writeFile(sysfs() + "/" + name + "/brightness", brightness + "\n"));
        ASSERT_TRUE(writeFile(sysfs() + "/" + name + "/max_brightness", maximum + "\n"));
    }

    // A compiled schema with the desktop's ambient-brightness key, in the test folder.
    QString compileSchema() {
        const QString dir = folder.filePath("schemas");
        QDir().mkpath(dir);
        writeFile(dir + "/org.quorvel.test.power.gschema.xml", R"(<schemalist>
  <schema id="org.quorvel.test.power" path="/org/quorvel/test/power/">
    <key name="ambient-enabled" type="b"><default>false</default></key>
  </schema>
</schemalist>
)");
        QProcess compiler;
        compiler.start("glib-compile-schemas", {dir});
        EXPECT_TRUE(compiler.waitForFinished() && compiler.exitCode() == 0)
            << compiler.readAllStandardError().toStdString();
        return dir;
    }

    BacklightBrightness::Options options() const {
        BacklightBrightness::Options result;
        result.sysfsRoot = sysfs();
        result.systemBusAddress = bus.address();
        result.settingsSchema = "org.quorvel.test.power";
        return result;
    }

    QTemporaryDir folder;
    DbusDaemon bus;
};

TEST_F(BacklightBrightnessTest, ReadsTheBuiltInPanelBeforeOtherBacklights) {
    addPanel("intel_backlight", "raw", "100", "1000");
    addPanel("acpi_video0", "firmware", "30", "120");
    BacklightBrightness display(options());
    EXPECT_DOUBLE_EQ(display.level(), 0.25);
}

TEST_F(BacklightBrightnessTest, ChangeIsWrittenThroughLogind) {
    addPanel("panel", "raw", "500", "1000");
    FakeSystemServices services(bus.address(), sysfs(), true, false);
    ASSERT_TRUE(services.isRegistered());
    BacklightBrightness display(options());
    EXPECT_DOUBLE_EQ(display.change(0.05), 0.55);
    EXPECT_EQ(services.logindCalls(), QStringList{"backlight panel 550"});
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
        ASSERT_TRUE(QDir(sysfs()).removeRecursively());
        addPanel("panel", c.type, c.brightness, c.maximum);
        FakeSystemServices services(bus.address(), sysfs(), c.logind, false);
        BacklightBrightness display(options());
        display.change(c.change);
        EXPECT_EQ(readFile(sysfs() + "/panel/brightness").trimmed(), c.expected);
    }
}

TEST_F(BacklightBrightnessTest, RefusedWriteReportsItsMessage) {
    ASSERT_TRUE(QDir().mkpath(sysfs() + "/panel"));
    // A readable number that even root cannot write.
    ASSERT_TRUE(QFile::link("/proc/sys/kernel/ngroups_max", sysfs() + "/panel/brightness"));
    const QByteArray groups = readFile("/proc/sys/kernel/ngroups_max").trimmed();
    ASSERT_TRUE(
        writeFile(sysfs() + "/panel/max_brightness", QByteArray::number(groups.toLongLong() * 2)));
    BacklightBrightness display(options());
    EXPECT_DOUBLE_EQ(display.level(), 0.5);
    EXPECT_EQ(actionErrorOf([&] { display.change(0.1); }),
              "Could not change Mac display brightness");
}

TEST_F(BacklightBrightnessTest, NoBacklightIsUnavailable) {
    BacklightBrightness display(options());
    EXPECT_EQ(actionErrorOf([&] { display.level(); }),
              "Mac display brightness control is unavailable");
    EXPECT_EQ(actionErrorOf([&] { display.change(0.05); }),
              "Mac display brightness control is unavailable");
}

TEST_F(BacklightBrightnessTest, UnreadableLevelIsReportedNotTakenAsZero) {
    addPanel("panel", "raw", "garbage", "100");
    addPanel("other", "raw", "10", "0");
    BacklightBrightness display(options());
    EXPECT_EQ(actionErrorOf([&] { display.level(); }),
              "This Mac display does not expose native brightness control");
    QDir(sysfs() + "/other").removeRecursively();
    EXPECT_EQ(actionErrorOf([&] { display.change(0.05); }),
              "This Mac display does not expose native brightness control");
}

TEST_F(BacklightBrightnessTest, AutomaticBrightnessNeedsTheDesktopSwitchAndALightSensor) {
    {
        FakeSystemServices services(bus.address(), sysfs(), false, true);
        BacklightBrightness::Options settings = options();
        settings.settingsSchema = "org.quorvel.absent.power";
        BacklightBrightness display(settings);
        EXPECT_EQ(actionErrorOf([&] { display.toggleAutomatic(); }),
                  "This Mac display does not support automatic brightness");
    }
    FakeSystemServices services(bus.address(), sysfs(), false, true, false);
    BacklightBrightness::Options settings = options();
    settings.schemaDirectory = compileSchema();
    BacklightBrightness display(settings);
    EXPECT_EQ(actionErrorOf([&] { display.automatic(); }),
              "This Mac display does not support automatic brightness");
}

TEST_F(BacklightBrightnessTest, AutomaticBrightnessTogglesTheDesktopSwitch) {
    FakeSystemServices services(bus.address(), sysfs(), false, true);
    ASSERT_TRUE(services.isRegistered());
    BacklightBrightness::Options settings = options();
    settings.schemaDirectory = compileSchema();
    BacklightBrightness display(settings);
    const bool before = display.automatic();
    display.toggleAutomatic();
    EXPECT_EQ(display.automatic(), !before);
    display.toggleAutomatic();
    EXPECT_EQ(display.automatic(), before);
}

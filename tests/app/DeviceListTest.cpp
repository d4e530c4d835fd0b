#include "app/DeviceList.h"

#include "core/ActionError.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QTextStream>

#include <gtest/gtest.h>

namespace {
AttachedPad displayPad() {
    return AttachedPad{DeviceKind::mountain,
                       QStringLiteral("mountain-73657269616c2d414243"),
                       0x01230000,
                       QStringLiteral("ABC"),
                       QStringLiteral("/dev/hidraw3"),
                       QStringLiteral("/dev/bus/usb/001/007"),
                       true,
                       true};
}

class ListedInterfaces : public HidInventory {
public:
    std::vector<HidInterfaceInfo> interfaces;
    bool fail = false;
    std::vector<HidInterfaceInfo> hidInterfaces() override {
        if (fail) {
            throw ActionError::failed(QStringLiteral("HID access failed: no hidraw"));
        }
        return interfaces;
    }
};
}  // namespace

TEST(DeviceList, NoPadIsSaidInASentence) {
    EXPECT_EQ(DeviceList::text({}), "No Mountain DisplayPad or MSD-TWO is attached.\n");
}

TEST(DeviceList, PadLineNamesKindIdLocationSerialAndAccess) {
    EXPECT_EQ(DeviceList::text({displayPad()}),
              "Mountain DisplayPad, id mountain-73657269616c2d414243, location 0x01230000, "
              "serial \"ABC\", HID /dev/hidraw3 read/write, USB /dev/bus/usb/001/007 read/write\n");
}

TEST(DeviceList, MissingAccessIsShownWithAHintToTheRules) {
    AttachedPad pad = displayPad();
    pad.kind = DeviceKind::msdTwo;
    pad.serial.reset();
    pad.locationID.reset();
    pad.usbAccessible = false;
    pad.hidPath.clear();
    const QString text = DeviceList::text({pad});
    EXPECT_TRUE(
        text.startsWith("MSD-TWO, id mountain-73657269616c2d414243, location unknown, "
                        "no serial number, HID node unknown, "
                        "USB /dev/bus/usb/001/007 no access\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("Access to the pads (udev rules)"));
}

TEST(DeviceList, RunListsSupportedPadsAndExitsZero) {
    ListedInterfaces inventory;
    HidInterfaceInfo info;
    info.hidPath = QStringLiteral("/dev/hidraw9");
    info.vendorID = 0x0B00;
    info.productID = 0x1001;
    info.usagePage = 0xFFA0;
    info.locationID = 0x2A;
    info.hidAccessible = info.usbAccessible = true;
    info.usbPath = QStringLiteral("/dev/bus/usb/002/004");
    inventory.interfaces = {info};
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    EXPECT_EQ(DeviceList::run(inventory, outStream, errStream), 0);
    EXPECT_EQ(out,
              "MSD-TWO, id msdTwo-706f72742d3030303030303261, location 0x0000002a, "
              "no serial number, HID /dev/hidraw9 read/write, USB /dev/bus/usb/002/004 "
              "read/write\n");
    EXPECT_TRUE(err.isEmpty());
}

TEST(DeviceList, ListingFailureIsReportedWithExitCodeOne) {
    ListedInterfaces inventory;
    inventory.fail = true;
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    EXPECT_EQ(DeviceList::run(inventory, outStream, errStream), 1);
    EXPECT_TRUE(out.isEmpty());
    EXPECT_EQ(err, "HID access failed: no hidraw\n");
}

// The program itself, on this machine's real HID stack (no pads attached in test environments).
TEST(DeviceList, ProgramListsWithoutPadsAndExitsZero) {
    QProcess program;
    program.start(QStringLiteral(QUORVEL_EXECUTABLE), {QStringLiteral("--list-devices")});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    const QString out = QString::fromUtf8(program.readAllStandardOutput());
    EXPECT_TRUE(out == "No Mountain DisplayPad or MSD-TWO is attached.\n" ||
                out.contains("Mountain DisplayPad, id ") || out.contains("MSD-TWO, id "))
        << out.toStdString();
}

TEST(DeviceList, ProgramRejectsUnknownOptionClearly) {
    QProcess program;
    program.start(QStringLiteral(QUORVEL_EXECUTABLE), {QStringLiteral("--list-device")});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 2);
    EXPECT_TRUE(program.readAllStandardError().contains("Unknown option 'list-device'"));
}

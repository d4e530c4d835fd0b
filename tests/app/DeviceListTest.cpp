#include "app/DeviceList.h"

#include "core/ActionError.h"
#include "support/TestSupport.h"

#include <QTextStream>

#include <gtest/gtest.h>

namespace {
class ListedInterfaces : public HidInventory {
public:
    std::vector<HidInterfaceInfo> interfaces;
    bool fail = false;
    std::vector<HidInterfaceInfo> hidInterfaces() override {
        return fail ? throw ActionError::failed("HID access failed: no hidraw") : interfaces;
    }
};
}  // namespace

// A line per pad with its kind, id, location, serial and access, and a hint when access is
// missing.
TEST(DeviceList, PadLineNamesKindIdLocationSerialAndAccess) {
    AttachedPad pad{DeviceKind::mountain, "mountain-73657269616c2d414243", 0x01230000, "ABC",
                    "/dev/hidraw3",       "/dev/bus/usb/001/007",          true,       true};
    EXPECT_EQ(DeviceList::text({}), "No Mountain DisplayPad or MSD-TWO is attached.\n");
    EXPECT_EQ(DeviceList::text({pad}),
              "Mountain DisplayPad, id mountain-73657269616c2d414243, location 0x01230000, "
              "serial \"ABC\", HID /dev/hidraw3 read/write, USB /dev/bus/usb/001/007 read/write\n");
    pad.kind = DeviceKind::msdTwo;
    pad.serial.reset();
    pad.locationID.reset();
    pad.usbAccessible = false;
    pad.hidPath.clear();
    const QString text = DeviceList::text({pad});
    EXPECT_TRUE(text.startsWith("MSD-TWO, id mountain-73657269616c2d414243, location unknown, "
                                "no serial number, HID node unknown, "
                                "USB /dev/bus/usb/001/007 no access\n") &&
                text.contains("Access to the pads (udev rules)"))
        << text;
}

TEST(DeviceList, RunListsSupportedPadsWithExitCodeZeroAndFailuresWithOne) {
    ListedInterfaces inventory;
    HidInterfaceInfo info;
    info.hidPath = "/dev/hidraw9";
    info.vendorID = 0x0B00;
    info.productID = 0x1001;
    info.usagePage = 0xFFA0;
    info.locationID = 0x2A;
    info.hidAccessible = info.usbAccessible = true;
    info.usbPath = "/dev/bus/usb/002/004";
    inventory.interfaces = {info};
    for (const bool fail : {false, true}) {
        inventory.fail = fail;
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        EXPECT_EQ(DeviceList::run(inventory, outStream, errStream), fail ? 1 : 0);
        EXPECT_EQ(out + "|" + err,
                  fail ? "|HID access failed: no hidraw\n"
                       : "MSD-TWO, id msdTwo-706f72742d3030303030303261, location "
                         "0x0000002a, no serial number, HID /dev/hidraw9 read/write, "
                         "USB /dev/bus/usb/002/004 read/write\n|");
    }
}

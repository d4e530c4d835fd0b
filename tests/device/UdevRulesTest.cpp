#include "device/DeviceKind.h"

#include "support/TestSupport.h"

#include <QStringList>

#include <gtest/gtest.h>

// The ids are written once, in DeviceKind; the rules file must agree with it (as four lower-case
// digits: udev compares sysfs text) and cover both kinds on both paths: hidraw for reports, with
// the ids on the USB ancestor (ATTRS), and the usbfs node for the image interface and recovery,
// with USB autosuspend off (it would take the pad out of host-controlled mode). uinput goes to the
// seat's user.
TEST(UdevRules, EveryKindIsCoveredOnBothSubsystemsWithItsIds) {
    QStringList expected;
    for (DeviceKind kind : DeviceKind::allCases) {
        const QString ids = QString::asprintf("{idVendor}==\"%04x\", %%1{idProduct}==\"%04x\"",
                                              kind.vendorID(), kind.productID());
        expected << "SUBSYSTEM==\"hidraw\", ATTRS" + ids.arg("ATTRS") + ", TAG+=\"uaccess\""
                 << "SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", ATTR" + ids.arg("ATTR") +
                        ", TAG+=\"uaccess\", ATTR{power/control}=\"on\"";
    }
    expected << "KERNEL==\"uinput\", SUBSYSTEM==\"misc\", OPTIONS+=\"static_node=uinput\", "
                "TAG+=\"uaccess\"";
    QStringList rules;
    for (const QString& line :
         QString::fromUtf8(
             readFile(QStringLiteral(QUORVEL_SOURCE_DIR "/packaging/70-quorvel.rules")))
             .split(u'\n')) {
        if (!line.trimmed().isEmpty() && !line.trimmed().startsWith(u'#')) {
            rules << line.trimmed();
        }
    }
    EXPECT_EQ(rules, expected);
}

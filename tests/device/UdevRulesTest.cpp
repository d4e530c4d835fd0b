#include "device/DeviceKind.h"

#include "support/TestSupport.h"

#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

// The ids are written once, in DeviceKind; the rules file must agree with it and cover both kinds
// on both paths (hidraw for reports, the usbfs node for the image interface and recovery), keep
// USB autosuspend off both pads, and give uinput to the seat's user.
TEST(UdevRules, EveryIdBelongsToAKindAndEveryKindIsCoveredOnBothSubsystems) {
    const QString text = QString::fromUtf8(
        readFile(QStringLiteral(QUORVEL_SOURCE_DIR "/packaging/70-quorvel.rules")));
    ASSERT_FALSE(text.isEmpty());
    const auto match = [](const QString& line, const char* pattern) {
        return QRegularExpression(QString::fromLatin1(pattern)).match(line).captured(1);
    };
    QSet<QString> covered;
    int uinputRules = 0;
    for (const QString& untrimmed : text.split(u'\n')) {
        const QString line = untrimmed.trimmed();
        const std::string shown = line.toStdString();
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        EXPECT_TRUE(line.contains(u"TAG+=\"uaccess\"")) << shown;
        if (line.contains(u"uinput")) {
            ++uinputRules;
            EXPECT_TRUE(line.contains(u"KERNEL==\"uinput\"") &&
                        line.contains(u"OPTIONS+=\"static_node=uinput\""))
                << shown;
            continue;
        }
        const QString subsystem = match(line, "SUBSYSTEM==\"([a-z]+)\"");
        const QString vendor = match(line, "idVendor}==\"([0-9a-fA-F]+)\"");
        const QString product = match(line, "idProduct}==\"([0-9a-fA-F]+)\"");
        const auto kind =
            DeviceKind::matching(vendor.toInt(nullptr, 16), product.toInt(nullptr, 16));
        ASSERT_TRUE(kind) << "ids of no pad: " << shown;
        // sysfs writes the ids as four lower-case digits and udev compares text.
        EXPECT_EQ(vendor + product,
                  QString::asprintf("%04x%04x", kind->vendorID(), kind->productID()))
            << shown;
        if (subsystem == u"usb") {
            EXPECT_TRUE(line.contains(u"ENV{DEVTYPE}==\"usb_device\"")) << shown;
            EXPECT_TRUE(line.contains(u"ATTR{idVendor}")) << shown;
            // Autosuspend would take the pad out of host-controlled mode.
            EXPECT_TRUE(line.contains(u"ATTR{power/control}=\"on\"")) << shown;
        } else {
            EXPECT_EQ(subsystem, u"hidraw") << shown;
            // hidraw nodes carry the ids on their USB ancestor, hence ATTRS.
            EXPECT_TRUE(line.contains(u"ATTRS{idVendor}")) << shown;
        }
        EXPECT_FALSE(covered.contains(kind->rawValue() + u'/' + subsystem)) << shown;
        covered.insert(kind->rawValue() + u'/' + subsystem);
    }
    EXPECT_EQ(covered,
              (QSet<QString>{"mountain/hidraw", "mountain/usb", "msdTwo/hidraw", "msdTwo/usb"}));
    EXPECT_EQ(uinputRules, 1);
}

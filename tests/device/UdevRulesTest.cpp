#include "device/DeviceKind.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <gtest/gtest.h>

namespace {
QStringList ruleLines() {
    QFile file(QStringLiteral(QUORVEL_SOURCE_DIR "/packaging/70-quorvel.rules"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        ADD_FAILURE() << "cannot read " << file.fileName().toStdString();
        return {};
    }
    QStringList lines;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const QString rule = line.trimmed();
        if (!rule.isEmpty() && !rule.startsWith(QLatin1Char('#'))) {
            lines << rule;
        }
    }
    return lines;
}

QString match(const QString& line, const QString& pattern) {
    return QRegularExpression(pattern).match(line).captured(1);
}
}  // namespace

// The ids are written once, in DeviceKind; the rules file must agree with it and cover both kinds
// on both paths (hidraw for reports, the usbfs node for the image interface and recovery), and
// keep USB autosuspend off both pads.
TEST(UdevRules, EveryIdBelongsToAKindAndEveryKindIsCoveredOnBothSubsystems) {
    QSet<QString> covered;
    int deviceRules = 0;
    for (const QString& line : ruleLines()) {
        if (line.contains(QStringLiteral("uinput"))) {
            continue;
        }
        ++deviceRules;
        const QString subsystem = match(line, QStringLiteral("SUBSYSTEM==\"([a-z]+)\""));
        const QString vendor = match(line, QStringLiteral("idVendor}==\"([0-9a-fA-F]+)\""));
        const QString product = match(line, QStringLiteral("idProduct}==\"([0-9a-fA-F]+)\""));
        ASSERT_FALSE(vendor.isEmpty() || product.isEmpty()) << line.toStdString();
        bool ok = false;
        const auto kind = DeviceKind::matching(vendor.toInt(&ok, 16), product.toInt(&ok, 16));
        ASSERT_TRUE(kind) << "ids of no pad: " << line.toStdString();
        // sysfs writes the ids as four lower-case digits and udev compares text.
        EXPECT_EQ(vendor, QString::asprintf("%04x", kind->vendorID())) << line.toStdString();
        EXPECT_EQ(product, QString::asprintf("%04x", kind->productID())) << line.toStdString();
        EXPECT_TRUE(line.contains(QStringLiteral("TAG+=\"uaccess\""))) << line.toStdString();
        if (subsystem == QStringLiteral("usb")) {
            EXPECT_TRUE(line.contains(QStringLiteral("ENV{DEVTYPE}==\"usb_device\"")))
                << line.toStdString();
            EXPECT_TRUE(line.contains(QStringLiteral("ATTR{idVendor}"))) << line.toStdString();
            // Autosuspend would take the pad out of host-controlled mode.
            EXPECT_TRUE(line.contains(QStringLiteral("ATTR{power/control}=\"on\"")))
                << line.toStdString();
        } else {
            EXPECT_EQ(subsystem, QStringLiteral("hidraw")) << line.toStdString();
            // hidraw nodes carry the ids on their USB ancestor, hence ATTRS.
            EXPECT_TRUE(line.contains(QStringLiteral("ATTRS{idVendor}"))) << line.toStdString();
        }
        covered.insert(kind->rawValue() + QLatin1Char('/') + subsystem);
    }
    for (DeviceKind::Value value : DeviceKind::allCases) {
        const QString raw = DeviceKind(value).rawValue();
        EXPECT_TRUE(covered.contains(raw + QStringLiteral("/hidraw"))) << raw.toStdString();
        EXPECT_TRUE(covered.contains(raw + QStringLiteral("/usb"))) << raw.toStdString();
    }
    EXPECT_EQ(deviceRules, 4);
}

TEST(UdevRules, UinputIsGivenToTheSeatUser) {
    int uinputRules = 0;
    for (const QString& line : ruleLines()) {
        if (line.contains(QStringLiteral("uinput"))) {
            ++uinputRules;
            EXPECT_TRUE(line.contains(QStringLiteral("KERNEL==\"uinput\"")));
            EXPECT_TRUE(line.contains(QStringLiteral("OPTIONS+=\"static_node=uinput\"")));
            EXPECT_TRUE(line.contains(QStringLiteral("TAG+=\"uaccess\"")));
        }
    }
    EXPECT_EQ(uinputRules, 1);
}

#include "device/HIDConnection.h"
#include "device/ReportRouting.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {
// A device whose object identity is all that matters.
struct PathDevice : HidDevice {
    explicit PathDevice(QString path) { info_.path = std::move(path); }
    const HidDeviceInfo& info() const override { return info_; }
    uint32_t setOutputReport(const QByteArray&) override { return 0; }
    HidDeviceInfo info_;
};
}  // namespace

TEST(ReportRouting, OnlyReportsOfTheCurrentConnectionAreDelivered) {
    auto device = std::make_shared<PathDevice>(QStringLiteral("/dev/hidraw2"));
    auto old = std::make_shared<PathDevice>(QStringLiteral("/dev/hidraw2"));
    HIDConnection connection(device);
    EXPECT_THROW(HIDConnection(nullptr), std::invalid_argument);
    const struct {
        uint32_t result;
        const HidDevice* from;
        const HIDConnection* current;
        const char* logged;  // empty: delivered, or dropped silently without a device
    } cases[] = {
        {0, device.get(), &connection, ""},
        {0, old.get(), &connection, "Pad report has no active connection"},  // replaced device
        {0, device.get(), nullptr, "Pad report has no active connection"},
        {0xe00002c0, device.get(), &connection, "Pad report callback failed: 0xe00002c0"},
        {0, nullptr, nullptr, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.logged);
        LogCapture log;
        EXPECT_EQ(ReportRouting::accept(c.result, c.from, c.current),
                  c.from == device.get() && c.current && !c.result);
        EXPECT_EQ(log.lines().join(""), c.logged);
    }
    EXPECT_EQ(ReportRouting::verdict(0xe00002ca, nullptr, nullptr),
              ReportRouting::Verdict::noDevice);
}

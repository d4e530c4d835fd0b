#include "app/CompositeHidManager.h"
#include "app/CompositePadUsb.h"
#include "device/virtual/SimulatedHidManager.h"
#include "device/virtual/VirtualDisplayPad.h"
#include "device/virtual/VirtualMsdTwo.h"
#include "support/TestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {
// A backend with a scripted answer for open() and reenumerate().
class ScriptedPadUsb : public PadUsb {
public:
    bool opens = false;
    IOReturn openError = UsbStatus::success;  // success: the location is unknown here
    IOReturn reenumerateResult = UsbStatus::notFound;
    int reenumerateCalls = 0;

    std::unique_ptr<ImageInterface> open(uint32_t, IOReturn& error) override {
        if (opens) {
            return std::make_unique<Interface>();
        }
        if (openError != UsbStatus::success) {
            error = openError;
        }
        return nullptr;
    }
    IOReturn reenumerate(uint32_t) override {
        ++reenumerateCalls;
        return reenumerateResult;
    }

private:
    struct Interface : ImageInterface {
        IOReturn prepare() override { return 0; }
        IOReturn write(const uint8_t*, size_t) override { return 0; }
    };
};

std::vector<HidManager::Matching> bothKinds() {
    std::vector<HidManager::Matching> matching;
    for (DeviceKind::Value value : DeviceKind::allCases) {
        const DeviceKind kind(value);
        matching.push_back({kind.vendorID(), kind.productID(), kind.usagePage()});
    }
    return matching;
}
}  // namespace

TEST(CompositePadUsb, FirstMemberThatOpensWinsElseTheFirstFailureIsReported) {
    auto unknown = std::make_shared<ScriptedPadUsb>(), knows = std::make_shared<ScriptedPadUsb>();
    auto denied = std::make_shared<ScriptedPadUsb>(), busy = std::make_shared<ScriptedPadUsb>();
    knows->opens = true;
    denied->openError = UsbStatus::notPermitted;
    busy->openError = UsbStatus::exclusiveAccess;
    const struct {
        QList<std::shared_ptr<ScriptedPadUsb>> members;
        bool opened;
        IOReturn error;
    } rows[] = {{{unknown, knows}, true, 0x1234},
                // No member knows the location: the error is left as it was.
                {{unknown, nullptr, unknown}, false, 0x1234},
                // A later member that knows nothing does not hide a failure.
                {{unknown, denied, busy, unknown}, false, UsbStatus::notPermitted}};
    for (const auto& row : rows) {
        CompositePadUsb usb;
        for (const auto& member : row.members) {
            usb.add(member);
        }
        EXPECT_EQ(usb.size(), static_cast<size_t>(row.members.size() - row.members.count(nullptr)));
        IOReturn error = 0x1234;
        EXPECT_EQ(usb.open(0x01200000, error) != nullptr, row.opened);
        EXPECT_EQ(error, row.error);
    }
}

TEST(CompositePadUsb, ReenumerationGoesToTheMemberThatHasThePad) {
    auto absent = std::make_shared<ScriptedPadUsb>();
    auto present = std::make_shared<ScriptedPadUsb>();
    present->reenumerateResult = UsbStatus::success;
    auto never = std::make_shared<ScriptedPadUsb>();
    CompositePadUsb usb;
    EXPECT_EQ(usb.reenumerate(0x01200000), UsbStatus::notFound);
    usb.add(absent);
    EXPECT_EQ(usb.reenumerate(0x01200000), UsbStatus::notFound);
    usb.add(present);
    usb.add(never);
    EXPECT_EQ(usb.reenumerate(0x01200000), UsbStatus::success);
    present->reenumerateResult = UsbStatus::noDevice;
    EXPECT_EQ(usb.reenumerate(0x01200000), UsbStatus::noDevice);
    EXPECT_EQ(never->reenumerateCalls, 0);
}

TEST(CompositeHidManager, ReportsThePadsOfEveryMemberAsTheirOwnDevices) {
    auto first = std::make_unique<SimulatedHidManager>(),
         second = std::make_unique<SimulatedHidManager>();
    auto displayPad = VirtualDisplayPad::create(0x01100000);
    auto msdTwo = VirtualMsdTwo::create(0x01200000);
    first->add(displayPad);
    second->add(msdTwo);
    CompositeHidManager manager;
    manager.add(std::move(first));
    manager.add(std::move(second));
    manager.add(nullptr);
    EXPECT_EQ(manager.size(), 2u);

    std::vector<std::shared_ptr<HidDevice>> attached, removed;
    std::vector<QByteArray> reports;
    HidManager::Handlers handlers;
    handlers.attached = [&](const std::shared_ptr<HidDevice>& device) {
        attached.push_back(device);
    };
    handlers.removed = [&](const std::shared_ptr<HidDevice>& device) { removed.push_back(device); };
    handlers.input = [&](uint32_t, const std::shared_ptr<HidDevice>& device,
                         const QByteArray& report) {
        if (device == msdTwo->device()) {
            reports.push_back(report);
        }
    };
    manager.start(bothKinds(), handlers);
    ASSERT_TRUE(waitUntil([&] { return attached.size() == 2; }));
    EXPECT_NE(std::find(attached.begin(), attached.end(), displayPad->device()), attached.end());
    EXPECT_NE(std::find(attached.begin(), attached.end(), msdTwo->device()), attached.end());

    msdTwo->pressScreenButton(3);
    EXPECT_TRUE(waitUntil([&] { return reports.size() == 1; }));

    manager.stop();
    // Reports of a stopped manager go nowhere, even those already on their way.
    msdTwo->pressScreenButton(4);
    QCoreApplication::processEvents();
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_TRUE(removed.empty());
}

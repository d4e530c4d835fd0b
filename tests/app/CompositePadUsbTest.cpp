#include "app/CompositePadUsb.h"
#include "device/ImageInterface.h"
#include "device/UsbStatus.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {
// A backend with a scripted answer for open() and reenumerate().
class ScriptedPadUsb : public PadUsb {
public:
    explicit ScriptedPadUsb(IOReturn openError = UsbStatus::success,
                            IOReturn reenumerateResult = UsbStatus::notFound)
        : openError(openError), reenumerateResult(reenumerateResult) {}
    // success: the location is unknown here; opens: the pad is here and opens.
    static constexpr IOReturn opens = 1;
    IOReturn openError, reenumerateResult;
    int reenumerateCalls = 0;

    std::unique_ptr<ImageInterface> open(uint32_t, IOReturn& error) override {
        if (openError == opens) {
            return std::make_unique<Interface>();
        }
        error = openError == UsbStatus::success ? error : openError;
        return nullptr;
    }
    IOReturn reenumerate(uint32_t) override { return ++reenumerateCalls, reenumerateResult; }

private:
    struct Interface : ImageInterface {
        IOReturn prepare() override { return 0; }
        IOReturn write(const uint8_t*, size_t) override { return 0; }
    };
};
}  // namespace

// The first member that opens wins, else the first failure is reported; reenumeration goes to
// the member that has the pad.
TEST(CompositePadUsb, OpensAndReenumeratesThroughTheMemberThatKnowsThePad) {
    auto unknown = std::make_shared<ScriptedPadUsb>();
    auto knows = std::make_shared<ScriptedPadUsb>(ScriptedPadUsb::opens, UsbStatus::success);
    auto denied = std::make_shared<ScriptedPadUsb>(UsbStatus::notPermitted);
    auto busy = std::make_shared<ScriptedPadUsb>(UsbStatus::exclusiveAccess);
    const struct {
        QList<std::shared_ptr<ScriptedPadUsb>> members;
        bool opened;
        IOReturn error, reenumerated;
    } rows[] = {
        {{}, false, 0x1234, UsbStatus::notFound},
        {{unknown, knows, busy}, true, 0x1234, UsbStatus::success},
        // No member knows the location: the error is left as it was.
        {{unknown, nullptr, unknown}, false, 0x1234, UsbStatus::notFound},
        // A later member that knows nothing does not hide a failure.
        {{unknown, denied, busy, unknown}, false, UsbStatus::notPermitted, UsbStatus::notFound}};
    for (const auto& row : rows) {
        CompositePadUsb usb;
        for (const auto& member : row.members) {
            usb.add(member);
        }
        EXPECT_EQ(usb.size(), static_cast<size_t>(row.members.size() - row.members.count(nullptr)));
        IOReturn error = 0x1234;
        EXPECT_EQ(usb.open(0x01200000, error) != nullptr, row.opened);
        EXPECT_EQ(error, row.error);
        EXPECT_EQ(usb.reenumerate(0x01200000), row.reenumerated);
    }
    EXPECT_EQ(busy->reenumerateCalls, 1);
}

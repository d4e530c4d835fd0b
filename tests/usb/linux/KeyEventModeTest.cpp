#include "core/Log.h"
#include "device/DisplayPadSession.h"
#include "device/linux/HidrawDevice.h"
#include "device/linux/LibusbPadUsb.h"
#include "support/QuickTiming.h"
#include "support/TestSupport.h"
#include "support/umockdev/PadTestbed.h"

#include <gtest/gtest.h>

// "Enable key-event mode" as Linux has it: the HID interface 0 with its hidraw node beside the
// usbfs node in one machine, and a real session through the real hidraw and libusb code up to
// its first activation attempt.
TEST(DisplayPadSession, KeyEventModeGoesThroughHidrawAndFallsBackToTheUsbRequest) {
    const struct {
        int hidrawErrno;     // the answer to HIDIOCSOUTPUT
        QByteArray driver0;  // holding interface 0
        const char* path;    // in the log line that names the path
        const char* outcome;
    } cases[] = {
        {0, "usbhid", "enabled through /dev/hidraw0 (HID output report 3)", "activation attempt 1"},
        {EINVAL, {}, "enabled through the USB control request", "activation attempt 1"},
        {ENOTTY, "usbhid", "lacks HIDIOCSOUTPUT", "Enable key-event mode failed: 0xe00002ca"},
        {EPIPE, "usbhid", "/dev/hidraw0 failed: 0xe000404f",
         "Enable key-event mode failed: 0xe000404f"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ASSERT_TRUE(PadTestbed::preloaded()) << "run this test under umockdev-wrapper";
        PadTestbed testbed;
        testbed.setOutputReportError(c.hidrawErrno);
        HidDeviceInfo info;
        info.locationID = 0x01230000;
        info.path = testbed.addHid({.usb = {.driver0 = c.driver0}}).devnode;
        HidrawDevice::OpenFailure openFailure;
        const auto device = HidrawDevice::open(info, openFailure);
        ASSERT_TRUE(device) << openFailure.reason.toStdString();

        LogCapture log;
        const auto logged = [&](const char* part) { return log.lines().join('\n').contains(part); };
        auto session = DisplayPadSession::create(
            device, std::make_shared<LibusbPadUsb>(),
            [](const ActionError& error) { logLine(error.message()); }, quickSessionTiming());
        session->start(QList<QByteArray>(12, QByteArray(31212, '\0')), {}, 50);
        EXPECT_TRUE(waitUntil([&] { return logged(c.outcome); }));
        EXPECT_TRUE(logged(c.path)) << log.lines().join('\n').toStdString();
        // Report 3 carrying 01, through hidraw (the USB request's bytes are LibusbPadUsb's).
        EXPECT_EQ(testbed.outputReports(), std::vector<QByteArray>{hexBytes("03 01")});
        session->stop();
        ASSERT_TRUE(waitUntil([&] { return session.use_count() == 1; }));
        device->close();
    }
}

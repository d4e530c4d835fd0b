#include "SessionTestSupport.h"

#include "device/DeviceKind.h"

#include <QBuffer>

void SimulatedPadHarness::startWith(const std::shared_ptr<VirtualPad>& pad) {
    manager.add(pad);
    std::vector<HidManager::Matching> matching;
    for (DeviceKind kind : DeviceKind::allCases) {
        matching.push_back({kind.vendorID(), kind.productID(), kind.usagePage()});
    }
    HidManager::Handlers handlers;
    handlers.attached = [this](const std::shared_ptr<HidDevice>& added) { device = added; };
    handlers.removed = [this](const std::shared_ptr<HidDevice>& gone) {
        removed.push_back(gone);
        device = device == gone ? nullptr : device;
    };
    handlers.input = [this](uint32_t, const std::shared_ptr<HidDevice>& from,
                            const QByteArray& report) {
        if (from == device) {
            inputs << report;
            if (onInput) {
                onInput(report);
            }
        }
    };
    manager.start(std::move(matching), std::move(handlers));
    waitUntil([this] { return device != nullptr; });
}

QByteArray solidKey(const QColor& color) {
    const char bgr[] = {char(color.blue()), char(color.green()), char(color.red())};
    return QByteArray(bgr, 3).repeated(102 * 102);
}

QByteArray gradientKey(int blue) {
    QByteArray bytes;
    for (int i = 0; i < 102 * 102; ++i) {
        bytes.append(char(blue)).append(char(2 * (i / 102))).append(char(2 * (i % 102)));
    }
    return bytes;
}

QList<QByteArray> displayPadFrame(int seed) {
    QList<QByteArray> frame;
    for (int key = 0; key < 12; ++key) {
        frame << solidKey(QColor::fromHsv((key * 30 + seed * 7) % 360, 255, 100 + seed * 10 % 150));
    }
    return frame;
}

QByteArray jpegButton(const QColor& color) {
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return bytes;
}

QByteArray solidBackground(const QColor& color) {
    const int value = (color.red() * 31 / 255) << 11 | (color.green() * 63 / 255) << 5 |
                      (color.blue() * 31 / 255);
    return QByteArray(1, char(value & 0xff)).append(char(value >> 8)).repeated(320 * 240);
}

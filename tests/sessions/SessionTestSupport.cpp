#include "SessionTestSupport.h"

#include "device/DeviceKind.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QPainter>

#include <cstdlib>

void SimulatedPadHarness::startWith(const std::shared_ptr<VirtualPad>& pad) {
    manager.add(pad);
    std::vector<HidManager::Matching> matching;
    for (auto kind : DeviceKind::allCases) {
        const DeviceKind deviceKind = kind;
        matching.push_back({deviceKind.vendorID(), deviceKind.productID(), deviceKind.usagePage()});
    }
    HidManager::Handlers handlers;
    handlers.attached = [this](const std::shared_ptr<HidDevice>& added) {
        attached.push_back(added);
        device = added;
    };
    handlers.removed = [this](const std::shared_ptr<HidDevice>& gone) {
        removed.push_back(gone);
        if (device == gone) {
            device = nullptr;
        }
    };
    handlers.input = [this](uint32_t, const std::shared_ptr<HidDevice>& from,
                            const QByteArray& report) {
        if (from != device) {
            return;
        }
        inputs << report;
        if (onInput) {
            onInput(report);
        }
    };
    manager.start(std::move(matching), std::move(handlers));
    waitUntil([this] { return device != nullptr; });
}

QByteArray solidKey(const QColor& color) {
    QByteArray bytes;
    for (int pixel = 0; pixel < 102 * 102; ++pixel) {
        bytes.append(static_cast<char>(color.blue()));
        bytes.append(static_cast<char>(color.green()));
        bytes.append(static_cast<char>(color.red()));
    }
    return bytes;
}

QByteArray gradientKey(int blue) {
    QByteArray bytes;
    for (int y = 0; y < 102; ++y) {
        for (int x = 0; x < 102; ++x) {
            bytes.append(static_cast<char>(blue));
            bytes.append(static_cast<char>(2 * y));
            bytes.append(static_cast<char>(2 * x));
        }
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

QByteArray background565(const QImage& landscape) {
    const QImage source = landscape.convertToFormat(QImage::Format_RGB32);
    QByteArray bytes;
    for (int row = 0; row < 320; ++row) {
        for (int column = 0; column < 240; ++column) {
            const QRgb pixel = source.pixel(row, 239 - column);
            const int value = (qRed(pixel) * 31 / 255) << 11 | (qGreen(pixel) * 63 / 255) << 5 |
                              (qBlue(pixel) * 31 / 255);
            bytes.append(static_cast<char>(value & 0xff));
            bytes.append(static_cast<char>(value >> 8));
        }
    }
    return bytes;
}

QByteArray solidBackground(const QColor& color) {
    QImage image(320, 240, QImage::Format_RGB32);
    image.fill(color);
    return background565(image);
}

bool near(QRgb actual, const QColor& expected, int tolerance) {
    return std::abs(qRed(actual) - expected.red()) <= tolerance &&
           std::abs(qGreen(actual) - expected.green()) <= tolerance &&
           std::abs(qBlue(actual) - expected.blue()) <= tolerance;
}

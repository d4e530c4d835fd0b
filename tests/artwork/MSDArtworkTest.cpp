#include "ImageSamples.h"
#include "artwork/MSDArtwork.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

QImage decodedJpeg(const std::optional<QByteArray>& bytes) {
    EXPECT_TRUE(bytes);
    if (!bytes) {
        return {};
    }
    EXPECT_TRUE(bytes->startsWith("\xff\xd8"));
    return QImage::fromData(*bytes, "jpeg");
}

// The RGB565 pair at (x, y) of the portrait background buffer.
QByteArray pairAt(const QByteArray& buffer, int x, int y) {
    return buffer.mid((qsizetype(y) * 240 + x) * 2, 2);
}

// A 320 x 240 screen picture with one colour per screen button cell (3 x 2).
QColor cellColor(int cell) {
    return QColor::fromHsv(cell * 60, 255, 255);
}
QImage cellWallpaper() {
    QImage image(320, 240, QImage::Format_RGB32);
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            image.setPixel(x, y, cellColor((y / 120) * 3 + x * 3 / 320).rgb());
        }
    }
    return image;
}

}  // namespace

TEST(MSDArtwork, KeyRectsAreCentredInTheirCells) {
    const QRectF first = MSDArtwork::keyRect(0);
    EXPECT_NEAR(first.x(), 21.333, 0.001);
    EXPECT_DOUBLE_EQ(first.y(), 148);
    EXPECT_EQ(first.size(), QSizeF(64, 64));
    EXPECT_EQ(MSDArtwork::keyRect(4), QRectF(128, 28, 64, 64));
}

TEST(MSDArtwork, EmptyButtonIsABlackJpeg) {
    const QImage image = decodedJpeg(MSDArtwork::jpeg(QImage(), 64, 64));
    ASSERT_EQ(image.size(), QSize(64, 64));
    EXPECT_TRUE(near(image.pixel(32, 32), Qt::black, 4));
    EXPECT_FALSE(MSDArtwork::jpeg(QImage(), 0, 64));
}

TEST(MSDArtwork, ButtonShowsItsImageOverItsWallpaperSlice) {
    const QImage wallpaper = cellWallpaper();
    for (int key : {0, 2, 4}) {
        const QImage image =
            decodedJpeg(MSDArtwork::jpeg(QImage(), 64, 64, {}, false, wallpaper, key));
        EXPECT_TRUE(near(image.pixel(32, 32), cellColor(key), 12)) << key;
    }
    const QImage red =
        decodedJpeg(MSDArtwork::jpeg(filled(8, 8, Qt::red), 64, 64, {}, false, wallpaper, 1));
    EXPECT_TRUE(near(red.pixel(32, 32), Qt::red, 12));
}

TEST(MSDArtwork, RotatedButtonTurnsAQuarterClockwise) {
    QImage image = filled(64, 64, Qt::blue);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 64; ++x) {
            image.setPixel(x, y, qRgb(255, 0, 0));  // top half red
        }
    }
    const QImage plain = decodedJpeg(MSDArtwork::jpeg(image, 64, 64));
    EXPECT_TRUE(near(plain.pixel(32, 8), Qt::red, 16));
    const QImage turned = decodedJpeg(MSDArtwork::jpeg(image, 64, 64, {}, true));
    EXPECT_TRUE(near(turned.pixel(56, 32), Qt::red, 16));
    EXPECT_TRUE(near(turned.pixel(8, 32), Qt::blue, 16));
}

TEST(MSDArtwork, CalibrationBarsMarkEachEdgeOnlyAtButtonSize) {
    const QImage marked = decodedJpeg(MSDArtwork::jpeg(QImage(), 64, 64, {}, false, {}, {}, true));
    EXPECT_TRUE(near(marked.pixel(32, 4), Qt::red, 60));
    EXPECT_TRUE(near(marked.pixel(59, 32), Qt::green, 60));
    EXPECT_TRUE(near(marked.pixel(32, 59), Qt::blue, 60));
    EXPECT_TRUE(near(marked.pixel(4, 32), Qt::yellow, 60));
    EXPECT_TRUE(near(marked.pixel(32, 32), Qt::black, 8));

    const QImage larger = decodedJpeg(MSDArtwork::jpeg(QImage(), 80, 80, {}, false, {}, {}, true));
    EXPECT_TRUE(near(larger.pixel(32, 4), Qt::black, 8));

    EXPECT_TRUE(MSDArtwork::calibrationRequested({"quorvel", "--calibrate"}));
    EXPECT_FALSE(MSDArtwork::calibrationRequested({"quorvel", "--background"}));
}

TEST(MSDArtwork, PureColoursBecomeLittleEndianPairs) {
    const struct {
        QColor color;
        const char* pair;
    } cases[] = {
        {Qt::white, "\xff\xff"}, {Qt::red, "\x00\xf8"},
        {Qt::green, "\xe0\x07"}, {Qt::blue, "\x1f\x00"},
        {Qt::black, "\x00\x00"}, {QColor(), "\x00\x00"}};  // no image at all: a black screen
    for (const auto& c : cases) {
        const QByteArray bytes =
            MSDArtwork::backgroundRGB565(c.color.isValid() ? filled(32, 24, c.color) : QImage());
        ASSERT_EQ(bytes.size(), 153600);
        EXPECT_EQ(bytes, QByteArray(c.pair, 2).repeated(240 * 320)) << c.color.name().toStdString();
    }
}

TEST(MSDArtwork, ComponentsAreTruncatedNotRounded) {
    EXPECT_EQ(MSDArtwork::rgb565(0.99, 0, 0), 30 << 11);
    EXPECT_EQ(MSDArtwork::rgb565(0, 0.99, 0), 62 << 5);
    EXPECT_EQ(MSDArtwork::rgb565(0, 0, 0.99), 30);
    EXPECT_EQ(MSDArtwork::rgb565(1, 1, 1), 0xFFFF);
    EXPECT_EQ(MSDArtwork::rgb565(1.5, -0.5, 2), (31 << 11) | 31);
    // 0.99 stored in 8 bits is 252: still 30, where rounding would give 31.
    const QByteArray bytes =
        MSDArtwork::backgroundRGB565(filled(4, 4, QColor::fromRgbF(0.99, 0, 0)));
    EXPECT_EQ(pairAt(bytes, 100, 100), QByteArray("\x00\xf0", 2));
}

TEST(MSDArtwork, BackgroundIsStoredAQuarterTurnClockwise) {
    // The landscape top-left cell lands at the portrait buffer's top-right.
    const QByteArray bytes = MSDArtwork::backgroundRGB565(cellWallpaper());
    const auto pairOf = [](const QColor& color) {
        const uint16_t v = MSDArtwork::rgb565(color.redF(), color.greenF(), color.blueF());
        return QByteArray(1, char(v & 0xFF)) + char(v >> 8);
    };
    EXPECT_EQ(pairAt(bytes, 200, 40), pairOf(cellColor(0)));   // landscape top-left
    EXPECT_EQ(pairAt(bytes, 200, 280), pairOf(cellColor(2)));  // landscape top-right
    EXPECT_EQ(pairAt(bytes, 40, 40), pairOf(cellColor(3)));    // landscape bottom-left
    EXPECT_EQ(pairAt(bytes, 40, 280), pairOf(cellColor(5)));   // landscape bottom-right
}

#include "ImageSamples.h"
#include "artwork/MSDArtwork.h"

#include <QPainter>

namespace {
QImage decodedJpeg(const std::optional<QByteArray>& bytes) {
    EXPECT_TRUE(bytes && bytes->startsWith("\xff\xd8"));
    return bytes ? QImage::fromData(*bytes, "jpeg") : QImage();
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
    QPainter painter(&image);
    for (int cell = 0; cell < 6; ++cell) {
        painter.fillRect(QRectF((cell % 3) * 320 / 3.0, (cell / 3) * 120, 320 / 3.0, 120),
                         cellColor(cell));
    }
    return image;
}
}  // namespace

// A button is its image over its slice of the wallpaper, black without either; a rotated one
// turns a quarter clockwise.
TEST(MSDArtwork, ButtonShowsItsImageOverItsWallpaperSliceAndTheBackgroundIsTurnedRGB565) {
    EXPECT_EQ(MSDArtwork::keyRect(4), QRectF(128, 28, 64, 64));
    const QImage empty = decodedJpeg(MSDArtwork::jpeg(QImage(), 64, 64));
    EXPECT_TRUE(empty.size() == QSize(64, 64) && near(empty.pixel(32, 32), Qt::black, 4));
    EXPECT_FALSE(MSDArtwork::jpeg(QImage(), 0, 64));
    const QImage wallpaper = cellWallpaper();
    for (int key : {0, 4}) {
        const QImage image =
            decodedJpeg(MSDArtwork::jpeg(QImage(), 64, 64, {}, false, wallpaper, key));
        EXPECT_TRUE(near(image.pixel(32, 32), cellColor(key), 12)) << key;
    }
    const QImage red =
        decodedJpeg(MSDArtwork::jpeg(filled(8, 8, Qt::red), 64, 64, {}, false, wallpaper, 1));
    EXPECT_TRUE(near(red.pixel(32, 32), Qt::red, 12));

    QImage halves = filled(64, 64, Qt::blue);
    QPainter(&halves).fillRect(0, 0, 64, 32, Qt::red);  // top half red
    EXPECT_TRUE(near(decodedJpeg(MSDArtwork::jpeg(halves, 64, 64)).pixel(32, 8), Qt::red, 16));
    const QImage turned = decodedJpeg(MSDArtwork::jpeg(halves, 64, 64, {}, true));
    EXPECT_TRUE(near(turned.pixel(56, 32), Qt::red, 16) && near(turned.pixel(8, 32), Qt::blue, 16));
    // Little-endian pairs with components truncated, not rounded; the landscape picture is stored a
    // quarter turn clockwise, its top-left cell at the portrait buffer's top-right.
    const std::pair<QColor, const char*> cases[] = {{Qt::red, "\x00\xf8"},
                                                    {Qt::green, "\xe0\x07"},
                                                    {Qt::blue, "\x1f\x00"},
                                                    {QColor(), "\x00\x00"}};  // no image
    for (const auto& [color, pair] : cases) {
        const QByteArray bytes =
            MSDArtwork::backgroundRGB565(color.isValid() ? filled(32, 24, color) : QImage());
        EXPECT_EQ(bytes, QByteArray(pair, 2).repeated(240 * 320)) << color.name().toStdString();
    }
    EXPECT_EQ(MSDArtwork::rgb565(0.99, 0.99, 0.99), 30 << 11 | 62 << 5 | 30);
    EXPECT_EQ(MSDArtwork::rgb565(1.5, -0.5, 2), (31 << 11) | 31);
    // 0.99 stored in 8 bits is 252: still 30, where rounding would give 31.
    EXPECT_EQ(
        pairAt(MSDArtwork::backgroundRGB565(filled(4, 4, QColor::fromRgbF(0.99, 0, 0))), 100, 100),
        QByteArray("\x00\xf0", 2));

    const QByteArray bytes = MSDArtwork::backgroundRGB565(cellWallpaper());
    const auto pairOf = [](int cell) {
        const QColor color = cellColor(cell);
        const uint16_t v = MSDArtwork::rgb565(color.redF(), color.greenF(), color.blueF());
        return QByteArray(1, char(v & 0xFF)) + char(v >> 8);
    };
    EXPECT_EQ(pairAt(bytes, 200, 40), pairOf(0));  // landscape top-left
    EXPECT_EQ(pairAt(bytes, 40, 280), pairOf(5));  // landscape bottom-right
}

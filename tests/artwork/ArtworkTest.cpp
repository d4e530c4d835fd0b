#include "ImageSamples.h"
#include "artwork/Artwork.h"

#include <QPainter>

namespace {
// The bounding box (y down) of the pixels near `color`, and how many there are in `area`.
QRect boundsOf(const QImage& image, const QColor& color) {
    return boundsWhere(image, [&](QRgb pixel) { return near(pixel, color, 24); });
}
int countNear(const QImage& image, const QRect& area, const QColor& color) {
    int count = 0;
    for (int i = 0; i < area.width() * area.height(); ++i) {
        count += near(image.pixel(area.left() + i % area.width(), area.top() + i / area.width()),
                      color, 40);
    }
    return count;
}

QImage badge(int64_t number, const QString& color, const QString& position,
             bool truncation = true) {
    return Artwork::badged(QImage(), number,
                           BadgeStyle(std::nullopt, true, color, position, truncation));
}

// A DisplayPad key's bytes as an image, to read pixels back (y down).
QImage keyImage(const std::optional<QByteArray>& bgr) {
    EXPECT_TRUE(bgr);
    return bgr ? QImage(reinterpret_cast<const uchar*>(bgr->constData()), 102, 102, 306,
                        QImage::Format_BGR888)
                     .copy()
               : QImage();
}

// A wallpaper with one colour per key, so every key's slice is known.
QColor keyColor(int key) {
    return QColor::fromHsv(key * 30, 255, 255);
}
QImage keyedWallpaper(int keySide) {
    QImage wallpaper(6 * keySide, 2 * keySide, QImage::Format_RGB32);
    QPainter painter(&wallpaper);
    for (int key = 0; key < 12; ++key) {
        painter.fillRect((key % 6) * keySide, (key / 6) * keySide, keySide, keySide, keyColor(key));
    }
    return wallpaper;
}
}  // namespace

TEST(Artwork, KeyIsItsWallpaperSliceUnderItsImageUnderItsLabel) {
    EXPECT_EQ(Artwork::bgr(QImage(), 102, 102), QByteArray(31212, '\0'));
    EXPECT_FALSE(Artwork::bgr(QImage(), 0, 102));
    // Pure colours are blue, green, red triples.
    EXPECT_EQ(Artwork::bgr(filled(40, 40, Qt::blue), 102, 102),
              QByteArray("\xff\x00\x00", 3).repeated(102 * 102));
    // Keys 1 to 6 are the wallpaper's top row (the key rects count with y up).
    const QImage wallpaper = keyedWallpaper(51);  // half size: stretched over the grid
    for (int key : {0, 5, 6, 11}) {
        const QImage image = keyImage(Artwork::bgr(QImage(), 102, 102, {}, wallpaper, key));
        for (const QPoint point : {QPoint(3, 3), QPoint(51, 51), QPoint(98, 98)}) {
            EXPECT_TRUE(near(image.pixel(point), keyColor(key), 2)) << key;
        }
    }
    EXPECT_EQ(Artwork::bgr(QImage(), 102, 102, {}, wallpaper, std::nullopt),
              QByteArray(31212, '\0'));

    QImage image = filled(102, 102, Qt::transparent);
    QPainter(&image).fillRect(0, 10, 102, 1, Qt::white);  // one opaque white row
    const QImage key = keyImage(Artwork::bgr(image, 102, 102, {}, keyedWallpaper(102), 7));
    EXPECT_TRUE(key.pixel(50, 10) == qRgb(255, 255, 255) &&
                near(key.pixel(50, 90), keyColor(7), 2));
    // 30-point white text whose line box starts 12 points in from the left and the bottom.
    const QImage labelled = keyImage(Artwork::bgr(QImage(), 102, 102, QStringLiteral("88")));
    const QRect textBox(12, 102 - 12 - 36, 48, 36);
    EXPECT_GT(countNear(labelled, textBox, Qt::white), 100);
    EXPECT_EQ(boundsOf(labelled, Qt::white) | textBox, textBox);
}

// A pill sized by its text at its position, its text black or white by the fill's luminance.
TEST(Artwork, BadgeIsAPillSizedByItsTextAtItsPosition) {
    const QImage image = badge(7, "#FF0000", "top left");
    // (2, 66, 32, 32) with y up is rows 2 to 33 with y down: a circle for one digit, its rounded
    // corners clear.
    const QRect pill = boundsOf(image, Qt::red);
    EXPECT_EQ(std::tuple(image.size(), qAlpha(image.pixel(3, 3))), std::tuple(QSize(100, 100), 0));
    EXPECT_TRUE(QRect(1, 1, 3, 3).contains(pill.topLeft()));  // each edge within a pixel
    EXPECT_TRUE(QRect(32, 32, 3, 3).contains(pill.bottomRight()));
    EXPECT_GT(countNear(image, pill, Qt::white), 10);

    const QColor red(0xFF3B30);
    const int two = boundsOf(badge(12, "red", "top left"), red).width();
    EXPECT_TRUE(two >= 38 && two < 50) << two;
    // Long text shrinks to 84 points, so the pill never leaves the image.
    EXPECT_NEAR(boundsOf(badge(12345678901234, "red", "top left", false), red).width(), 96, 2);
    // Truncation turns everything above 99 into "99+".
    EXPECT_EQ(badge(150, "blue", ""), badge(100000, "blue", ""));
    EXPECT_EQ(badge(99, "blue", "", true), badge(99, "blue", "", false));

    const auto pillOf = [](const QString& position) {
        return boundsOf(badge(4, "#00FF00", position), Qt::green);
    };
    const QRect bottomRight = pillOf("bottom right"), centre = pillOf("middle middle");
    EXPECT_TRUE(QRect(65, 96, 3, 3).contains(bottomRight.bottomLeft()));  // (66, 2) y up
    EXPECT_NEAR(centre.left(), 34, 1);
    EXPECT_EQ(pillOf("TOP LEFT"), centre);  // matching is exact
    EXPECT_EQ(pillOf("  top   left "), pillOf("top left"));
    EXPECT_EQ(pillOf("top").topLeft(), QPoint(34, 2));  // one piece serves both directions

    const QRect inside(10, 10, 16, 16);  // within the circle at (2, 2, 32, 32), y down
    EXPECT_GT(countNear(badge(5, "black", "top left"), inside, Qt::white), 10);
    EXPECT_GT(countNear(badge(5, "#FFFF00", "top left"), inside, Qt::black), 10);  // L > 0.6
    // A colour that does not resolve, and no colour at all, give the accent colour.
    EXPECT_TRUE(
        near(badge(3, "chartreuse", "top left").pixel(6, 18), BadgeStyle::accentColor(), 2));
    const QImage absent = Artwork::badged(filled(10, 10, Qt::blue), 3, BadgeStyle());
    EXPECT_TRUE(near(absent.pixel(93, 18), BadgeStyle::accentColor(), 2));
    EXPECT_EQ(QColor(absent.pixel(5, 95)), QColor(Qt::blue));  // the base image shows
}

TEST(Artwork, PngKeepsThePixelsAtTheAskedSizeWithoutTexts) {
    EXPECT_FALSE(Artwork::requiresCrop(filled(300, 100, Qt::red), 3.0));
    EXPECT_TRUE(Artwork::requiresCrop(filled(300, 101, Qt::red), 3.0));
    QImage image = filled(10, 10, Qt::red);
    for (int x = 0; x < 10; ++x) {
        image.setPixel(x, 9, qRgba(0, 0, 0, 0));  // transparent bottom row
    }
    image.setText("Description", "secret");
    const QImage own = QImage::fromData(Artwork::png(image).value_or(QByteArray()), "png");
    EXPECT_EQ(std::tuple(own.size(), own.pixel(3, 9), own.text("Description")),
              std::tuple(QSize(10, 10), qRgba(0, 0, 0, 0), QString()));
    const QImage scaled = QImage::fromData(Artwork::png(image, 64, 100).value_or(QByteArray()));
    EXPECT_EQ(std::tuple(scaled.size(), qAlpha(scaled.pixel(30, 99))),
              std::tuple(QSize(64, 100), 0));
    EXPECT_TRUE(near(scaled.pixel(30, 3), Qt::red, 2));
    EXPECT_FALSE(Artwork::png(QImage()) || Artwork::png(image, 0, 32));
}

#include "ImageSamples.h"
#include "artwork/Artwork.h"

#include "support/TestSupport.h"

#include <QBuffer>
#include <QImageReader>

#include <gtest/gtest.h>

namespace {

// The bounding box (y down) of the pixels near `color`.
QRect boundsOf(const QImage& image, const QColor& color, int tolerance = 24) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (near(image.pixel(x, y), color, tolerance)) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

int countNear(const QImage& image, const QRect& area, const QColor& color, int tolerance = 40) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += near(image.pixel(x, y), color, tolerance) ? 1 : 0;
        }
    }
    return count;
}

BadgeStyle styled(const QString& color, const QString& position, bool truncation = true) {
    return BadgeStyle(std::nullopt, true, color, position, truncation);
}

// The pixel at (x, y) of a DisplayPad key's bytes, as an opaque colour.
QColor keyPixel(const QByteArray& bgr, int x, int y, int width = 102) {
    const qsizetype at = (qsizetype(y) * width + x) * 3;
    return QColor(uint8_t(bgr[at + 2]), uint8_t(bgr[at + 1]), uint8_t(bgr[at]));
}

// A wallpaper with one colour per key, so every key's slice is known.
QColor keyColor(int key) {
    return QColor::fromHsv(key * 30, 255, 255);
}
QImage keyedWallpaper() {
    QImage wallpaper(612, 204, QImage::Format_RGB32);
    for (int key = 0; key < 12; ++key) {
        const int column = key % 6;
        const int row = key / 6;
        for (int y = row * 102; y < (row + 1) * 102; ++y) {
            for (int x = column * 102; x < (column + 1) * 102; ++x) {
                wallpaper.setPixel(x, y, keyColor(key).rgb());
            }
        }
    }
    return wallpaper;
}

}  // namespace

TEST(Artwork, KeyRectsFollowTheGridWithYUp) {
    EXPECT_EQ(Artwork::keyRect(0), QRectF(0, 102, 102, 102));
    EXPECT_EQ(Artwork::keyRect(5), QRectF(510, 102, 102, 102));
    EXPECT_EQ(Artwork::keyRect(6), QRectF(0, 0, 102, 102));
    EXPECT_EQ(Artwork::keyRect(11), QRectF(510, 0, 102, 102));
}

TEST(Artwork, EmptyKeyIsAllBlack) {
    const auto bytes = Artwork::bgr(QImage(), 102, 102);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->size(), 31212);
    EXPECT_EQ(*bytes, QByteArray(31212, '\0'));
}

TEST(Artwork, PureColoursBecomeBlueGreenRedTriples) {
    const struct {
        QColor color;
        const char* triple;
    } cases[] = {{Qt::red, "\x00\x00\xff"},
                 {Qt::green, "\x00\xff\x00"},
                 {Qt::blue, "\xff\x00\x00"},
                 {Qt::white, "\xff\xff\xff"}};
    for (const auto& c : cases) {
        const auto bytes = Artwork::bgr(filled(40, 40, c.color), 102, 102);
        ASSERT_TRUE(bytes);
        ASSERT_EQ(bytes->size(), 31212);
        const QByteArray triple(c.triple, 3);
        EXPECT_EQ(*bytes, triple.repeated(102 * 102)) << c.color.name().toStdString();
    }
}

TEST(Artwork, KeyShowsItsOwnSliceOfTheWallpaper) {
    const QImage wallpaper = keyedWallpaper();
    for (int key : {0, 5, 6, 11}) {
        const auto bytes = Artwork::bgr(QImage(), 102, 102, {}, wallpaper, key);
        ASSERT_TRUE(bytes);
        for (const QPoint point : {QPoint(3, 3), QPoint(51, 51), QPoint(98, 98)}) {
            EXPECT_TRUE(near(keyPixel(*bytes, point.x(), point.y()).rgb(), keyColor(key), 2))
                << "key " << key << " at " << point.x() << "," << point.y();
        }
    }
}

TEST(Artwork, WallpaperIsStretchedOverTheWholeGrid) {
    // A wallpaper of another size is scaled to 612 x 204 first: key 0 still shows only the
    // top-left sixth of the top half.
    const QImage wallpaper = keyedWallpaper().scaled(306, 102);
    const auto bytes = Artwork::bgr(QImage(), 102, 102, {}, wallpaper, 0);
    ASSERT_TRUE(bytes);
    EXPECT_TRUE(near(keyPixel(*bytes, 51, 51).rgb(), keyColor(0), 4));
    const auto withoutIndex = Artwork::bgr(QImage(), 102, 102, {}, wallpaper, std::nullopt);
    EXPECT_EQ(*withoutIndex, QByteArray(31212, '\0'));
}

TEST(Artwork, TransparentPartsOfTheImageShowTheWallpaper) {
    QImage image = filled(102, 102, Qt::transparent);
    for (int y = 0; y < 51; ++y) {
        for (int x = 0; x < 102; ++x) {
            image.setPixel(x, y, qRgba(255, 255, 255, 255));
        }
    }
    const auto bytes = Artwork::bgr(image, 102, 102, {}, keyedWallpaper(), 7);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(keyPixel(*bytes, 50, 10), QColor(Qt::white));
    EXPECT_TRUE(near(keyPixel(*bytes, 50, 90).rgb(), keyColor(7), 2));
}

TEST(Artwork, LabelIsWhiteTextNearTheBottomLeft) {
    const auto bytes = Artwork::bgr(QImage(), 102, 102, QStringLiteral("88"));
    ASSERT_TRUE(bytes);
    int whiteInCorner = 0;
    int litElsewhere = 0;
    for (int y = 0; y < 102; ++y) {
        for (int x = 0; x < 102; ++x) {
            const QColor pixel = keyPixel(*bytes, x, y);
            const bool lit = pixel.value() > 0;
            // 30-point text whose line box starts 12 points in from the left and bottom.
            const bool inTextBox = x >= 12 && x < 60 && y >= 102 - 12 - 36 && y < 102 - 12;
            if (inTextBox) {
                whiteInCorner += pixel == QColor(Qt::white) ? 1 : 0;
            } else {
                litElsewhere += lit ? 1 : 0;
            }
            EXPECT_EQ(pixel.red(), pixel.blue());  // white text on black: greys only
        }
    }
    EXPECT_GT(whiteInCorner, 100);
    EXPECT_EQ(litElsewhere, 0);
}

TEST(Artwork, NonPositiveKeySizeGivesNothing) {
    EXPECT_FALSE(Artwork::bgr(QImage(), 0, 102));
    EXPECT_FALSE(Artwork::bgr(QImage(), 102, -1));
}

TEST(Artwork, SingleDigitBadgeIsACircleAtTheTopLeft) {
    const QImage image = Artwork::badged(QImage(), 7, styled("#FF0000", "top left"));
    EXPECT_EQ(image.size(), QSize(100, 100));
    const QRect pill = boundsOf(image, Qt::red);
    // (2, 66, 32, 32) with y up is rows 2 to 33 with y down.
    EXPECT_NEAR(pill.left(), 2, 1);
    EXPECT_NEAR(pill.right(), 33, 1);
    EXPECT_NEAR(pill.top(), 2, 1);
    EXPECT_NEAR(pill.bottom(), 33, 1);
    // Rounded by half its height: the corners of the box stay clear.
    EXPECT_EQ(qAlpha(image.pixel(3, 3)), 0);
    EXPECT_GT(countNear(image, pill, Qt::white), 10);
}

TEST(Artwork, BadgeWidthGrowsWithTheText) {
    const QRect two =
        boundsOf(Artwork::badged(QImage(), 12, styled("red", "top left")), QColor(0xFF3B30));
    EXPECT_GE(two.width(), 38);
    EXPECT_LT(two.width(), 50);
    const QRect negative =
        boundsOf(Artwork::badged(QImage(), -4, styled("red", "top left")), QColor(0xFF3B30));
    EXPECT_NEAR(negative.width(), 32, 1);
    const QRect huge =
        boundsOf(Artwork::badged(QImage(), 12345678901234, styled("red", "top left", false)),
                 QColor(0xFF3B30));
    // The text is shrunk to 84 points, so the pill never leaves the image.
    EXPECT_NEAR(huge.width(), 96, 2);
}

TEST(Artwork, TruncationShowsNinetyNinePlus) {
    const BadgeStyle truncating = styled("blue", "middle middle", true);
    const BadgeStyle full = styled("blue", "middle middle", false);
    const QImage a = Artwork::badged(QImage(), 150, truncating);
    EXPECT_EQ(a, Artwork::badged(QImage(), 100000, truncating));
    EXPECT_EQ(Artwork::badged(QImage(), 99, truncating), Artwork::badged(QImage(), 99, full));
    const QImage b = Artwork::badged(QImage(), 150, full);
    EXPECT_NE(a, b);
    EXPECT_NE(b, Artwork::badged(QImage(), 151, full));
}

TEST(Artwork, TextColourFollowsTheFillLuminance) {
    const QImage onWhite =
        Artwork::badged(filled(100, 100, Qt::gray), 5, styled("white", "top left"));
    // The inner square of the circle at (2, 2, 32, 32), y down.
    const QRect pill(10, 10, 16, 16);
    EXPECT_GT(countNear(onWhite, pill, Qt::black), 10);
    EXPECT_GT(countNear(onWhite, pill, Qt::white, 2), 50);

    const QImage onBlack = Artwork::badged(QImage(), 5, styled("black", "top left"));
    EXPECT_GT(countNear(onBlack, pill, Qt::white), 10);
    // Yellow is light (L above 0.6) and takes black text; blue is dark and takes white.
    EXPECT_GT(
        countNear(Artwork::badged(QImage(), 5, styled("#FFFF00", "top left")), pill, Qt::black),
        10);
    EXPECT_GT(
        countNear(Artwork::badged(QImage(), 5, styled("#0000FF", "top left")), pill, Qt::white),
        10);
}

TEST(Artwork, UnresolvedColourFallsBackToTheAccent) {
    const QImage image = Artwork::badged(QImage(), 3, styled("chartreuse", "top left"));
    EXPECT_TRUE(near(image.pixel(6, 18), BadgeStyle::accentColor(), 2));
    const QImage absent = Artwork::badged(QImage(), 3, BadgeStyle());
    EXPECT_TRUE(near(absent.pixel(97 - 4, 18), BadgeStyle::accentColor(), 2));
}

TEST(Artwork, BadgePositions) {
    const auto pillOf = [](const QString& position) {
        return boundsOf(Artwork::badged(QImage(), 4, styled("#00FF00", position)), Qt::green);
    };
    // (98 - 32, 2) with y up.
    const QRect bottomRight = pillOf("bottom right");
    EXPECT_NEAR(bottomRight.left(), 66, 1);
    EXPECT_NEAR(bottomRight.bottom(), 97, 1);
    const QRect centre = pillOf("middle middle");
    EXPECT_NEAR(centre.left(), 34, 1);
    EXPECT_NEAR(centre.top(), 34, 1);
    EXPECT_EQ(pillOf("somewhere"), centre);
    EXPECT_EQ(pillOf(""), centre);
    EXPECT_EQ(pillOf("TOP LEFT"), centre);  // matching is exact
    EXPECT_EQ(pillOf("  top   left "), pillOf("top left"));
    const QRect topMiddle = pillOf("top");  // one piece serves both directions
    EXPECT_NEAR(topMiddle.top(), 2, 1);
    EXPECT_NEAR(topMiddle.left(), 34, 1);
}

TEST(Artwork, BadgeIsDrawnOverTheBaseImage) {
    const QImage image = Artwork::badged(filled(10, 10, Qt::blue), 1, BadgeStyle());
    EXPECT_EQ(QColor(image.pixel(5, 95)), QColor(Qt::blue));
    EXPECT_EQ(QColor(image.pixel(50, 50)), QColor(Qt::blue));
}

TEST(Artwork, CropIsNeededOnlyWhenTheShapeDiffers) {
    EXPECT_FALSE(Artwork::requiresCrop(filled(300, 100, Qt::red), 3.0));
    EXPECT_TRUE(Artwork::requiresCrop(filled(300, 101, Qt::red), 3.0));
    EXPECT_FALSE(Artwork::requiresCrop(filled(64, 64, Qt::red), 1.0));
    EXPECT_TRUE(Artwork::requiresCrop(filled(320, 200, Qt::red), 4.0 / 3.0));
}

TEST(Artwork, PngKeepsTheImageAndDropsItsTexts) {
    QImage image = filled(30, 20, Qt::transparent);
    image.setPixel(3, 4, qRgba(0, 0, 255, 255));
    image.setText("Description", "secret");
    const auto bytes = Artwork::png(image);
    ASSERT_TRUE(bytes);
    QBuffer buffer(const_cast<QByteArray*>(&*bytes));
    QImageReader reader(&buffer, "png");
    const QImage back = reader.read();
    EXPECT_EQ(back.size(), QSize(30, 20));
    EXPECT_EQ(back.pixel(3, 4), qRgba(0, 0, 255, 255));
    EXPECT_EQ(qAlpha(back.pixel(10, 10)), 0);
    EXPECT_TRUE(back.text("Description").isEmpty());
    EXPECT_FALSE(Artwork::png(QImage()));
}

TEST(Artwork, ScaledPngHasExactlyTheAskedSize) {
    QImage image = filled(10, 10, Qt::red);
    for (int y = 5; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            image.setPixel(x, y, qRgba(0, 0, 0, 0));
        }
    }
    const auto bytes = Artwork::png(image, 64, 32);
    ASSERT_TRUE(bytes);
    const QImage back = QImage::fromData(*bytes, "png");
    EXPECT_EQ(back.size(), QSize(64, 32));
    EXPECT_TRUE(near(back.pixel(30, 3), Qt::red, 2));
    EXPECT_EQ(qAlpha(back.pixel(30, 29)), 0);
    EXPECT_FALSE(Artwork::png(image, 0, 32));
    EXPECT_FALSE(Artwork::png(QImage(), 32, 32));
}

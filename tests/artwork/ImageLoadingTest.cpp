#include "ImageSamples.h"
#include "artwork/ImageLoading.h"
#include "core/ActionError.h"

#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Runs `load` and returns the refusal it threw; fails the test when it returned an image.
ImageLoadError::Kind refusal(const std::function<QImage()>& load) {
    try {
        const QImage image = load();
        ADD_FAILURE() << "expected a refusal, got a " << image.width() << " x " << image.height()
                      << " image";
    } catch (const ImageLoadError& error) {
        return error.kind();
    }
    return ImageLoadError::Kind(-1);
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_EQ(file.write(bytes), bytes.size());
    return path;
}

const char* const svgSample =
    "<svg xmlns='http://www.w3.org/2000/svg' width='40' height='20' viewBox='0 0 40 20'>"
    "<rect x='0' y='0' width='20' height='20' fill='#ff0000'/>"
    "<rect x='20' y='0' width='20' height='20' fill='#0000ff'/></svg>";

}  // namespace

TEST(ImageLoadError, TextsAreTheUserFacingMessages) {
    EXPECT_EQ(ImageLoadError(ImageLoadError::tooLarge).message(),
              "The image file is larger than 30 MB");
    EXPECT_EQ(ImageLoadError(ImageLoadError::tooManyPixels).message(),
              "The image has more than 100 megapixels");
    EXPECT_EQ(ImageLoadError(ImageLoadError::unreadable).message(),
              "The image could not be decoded");
    EXPECT_STREQ(ImageLoadError(ImageLoadError::unreadable).what(),
                 "The image could not be decoded");
}

TEST(ImageLoading, PixelLimitIsInclusiveAndOverflowIsRefused) {
    EXPECT_NO_THROW(ImageLoading::validatePixels(10000, 10000));
    EXPECT_NO_THROW(ImageLoading::validatePixels(0, 0));
    EXPECT_EQ(refusal([] {
                  ImageLoading::validatePixels(10001, 10000);
                  return QImage();
              }),
              ImageLoadError::tooManyPixels);
    EXPECT_EQ(refusal([] {
                  ImageLoading::validatePixels(INT64_MAX / 2, 3);
                  return QImage();
              }),
              ImageLoadError::tooManyPixels);
}

TEST(ImageLoading, ByteLimitIsCheckedBeforeDecoding) {
    // The limit itself passes the byte check and only then fails as undecodable zeros.
    QByteArray atLimit(ImageLoading::maxBytes, '\0');
    EXPECT_EQ(refusal([&] { return ImageLoading::image(atLimit); }), ImageLoadError::unreadable);
    atLimit.append('\0');
    EXPECT_EQ(refusal([&] { return ImageLoading::image(atLimit); }), ImageLoadError::tooLarge);
}

TEST(ImageLoading, FileOfExactlyTheLimitIsReadAndOneByteMoreIsNot) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A valid PNG padded to the limit: decoders ignore what follows the end chunk.
    QByteArray png = encoded(filled(3, 2, Qt::green), "png");
    png.append(QByteArray(ImageLoading::maxBytes - png.size(), '\0'));
    const QString atLimit = writeFile(dir, "limit.png", png);
    const QImage image = ImageLoading::image(QUrl::fromLocalFile(atLimit));
    EXPECT_EQ(image.size(), QSize(3, 2));

    // One byte more is refused from its size alone: the file is unreadable to us, yet the
    // refusal is still about its size.
    const QString over = writeFile(dir, "over.png", png + '\0');
    ASSERT_TRUE(QFile::setPermissions(over, QFileDevice::Permissions()));
    EXPECT_EQ(refusal([&] { return ImageLoading::image(QUrl::fromLocalFile(over)); }),
              ImageLoadError::tooLarge);
}

TEST(ImageLoading, HundredMegapixelsDecodeScaledToTheCap) {
    const QImage image = ImageLoading::image(craftedPng(10000, 10000, true));
    EXPECT_EQ(image.size(), QSize(4096, 4096));
    EXPECT_EQ(QColor(image.pixel(2000, 2000)), QColor(Qt::black));
}

TEST(ImageLoading, MorePixelsThanTheLimitAreRefusedFromTheHeaderAlone) {
    // The data chunk could never fill this picture: the refusal comes before any decoding.
    EXPECT_EQ(refusal([] { return ImageLoading::image(craftedPng(10001, 10000, false)); }),
              ImageLoadError::tooManyPixels);
}

TEST(ImageLoading, SmallImagesKeepTheirSize) {
    const QImage image = ImageLoading::image(encoded(filled(50, 20, Qt::red), "png"));
    EXPECT_EQ(image.size(), QSize(50, 20));
    EXPECT_TRUE(near(image.pixel(25, 10), Qt::red, 0));
}

TEST(ImageLoading, LongSideAboveTheCapShrinksKeepingTheShape) {
    const QImage image = ImageLoading::image(craftedPng(8192, 1024, true));
    EXPECT_EQ(image.size(), QSize(4096, 512));
}

TEST(ImageLoading, OrientationTagIsApplied) {
    QImage source = filled(40, 20, Qt::blue);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 10; ++x) {
            source.setPixel(x, y, qRgb(255, 0, 0));  // the left quarter red
        }
    }
    const QImage image = ImageLoading::image(jpegWithOrientation(source, 6));
    ASSERT_EQ(image.size(), QSize(20, 40));
    // A quarter turn clockwise brings the left edge to the top.
    EXPECT_TRUE(near(image.pixel(10, 2), Qt::red, 40));
    EXPECT_TRUE(near(image.pixel(10, 37), Qt::blue, 40));
}

TEST(ImageLoading, FormatComesFromTheContentNotTheName) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = writeFile(dir, "picture.jpg", encoded(filled(7, 5, Qt::red), "png"));
    EXPECT_EQ(ImageLoading::image(QUrl::fromLocalFile(path)).size(), QSize(7, 5));
    const QString text = writeFile(dir, "notes.png", "Just some words.\n");
    EXPECT_EQ(refusal([&] { return ImageLoading::image(QUrl::fromLocalFile(text)); }),
              ImageLoadError::unreadable);
}

TEST(ImageLoading, HostileOrBrokenBytesAreUnreadable) {
    const QByteArray png = encoded(filled(64, 64, Qt::red), "png");
    const QByteArray jpeg = encoded(filled(64, 64, Qt::red), "jpeg");
    EXPECT_EQ(refusal([] { return ImageLoading::image(QByteArray()); }),
              ImageLoadError::unreadable);
    EXPECT_EQ(refusal([] { return ImageLoading::image(QByteArray("hello, world")); }),
              ImageLoadError::unreadable);
    EXPECT_EQ(refusal([&] { return ImageLoading::image(png.left(40)); }),
              ImageLoadError::unreadable);
    EXPECT_EQ(refusal([&] { return ImageLoading::image(png.left(8)); }),
              ImageLoadError::unreadable);
    EXPECT_EQ(refusal([&] { return ImageLoading::image(jpeg.left(4)); }),
              ImageLoadError::unreadable);
    // A header of zero width is no picture.
    EXPECT_EQ(refusal([] { return ImageLoading::image(craftedPng(0, 10, false)); }),
              ImageLoadError::unreadable);
}

TEST(ImageLoading, TruncatedPixelDataStaysBounded) {
    // A header that promises far more rows than the data holds: refused or a bounded picture,
    // never more than the header said.
    try {
        const QImage image = ImageLoading::image(craftedPng(3000, 3000, false));
        EXPECT_LE(std::max(image.width(), image.height()), 3000);
    } catch (const ImageLoadError& error) {
        EXPECT_EQ(error.kind(), ImageLoadError::unreadable);
    }
}

TEST(ImageLoading, SvgIsDrawnAsAVectorImage) {
    const QImage image = ImageLoading::image(QByteArray(svgSample));
    // Small intrinsic sizes are drawn large enough for any key, in the same shape.
    EXPECT_EQ(image.size(),
              QSize(ImageLoading::vectorRenderSide, ImageLoading::vectorRenderSide / 2));
    EXPECT_TRUE(near(image.pixel(100, 256), Qt::red, 0));
    EXPECT_TRUE(near(image.pixel(900, 256), Qt::blue, 0));
}

TEST(ImageLoading, HugeSvgIsDrawnNoLargerThanTheCap) {
    const QByteArray svg =
        "<svg xmlns='http://www.w3.org/2000/svg' width='1000000' height='500000'>"
        "<rect width='1000000' height='500000' fill='#00ff00'/></svg>";
    const QImage image = ImageLoading::image(svg);
    EXPECT_EQ(image.size(), QSize(4096, 2048));
}

TEST(ImageLoading, CompressedSvgIsRefused) {
    // gzip framing around any content: the SVG parser would inflate it without a bound.
    QByteArray gz("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
    gz.append(qCompress(QByteArray(svgSample)).mid(6));
    EXPECT_EQ(refusal([&] { return ImageLoading::image(gz); }), ImageLoadError::unreadable);
}

TEST(ImageLoading, UnreadableFilesReportWhy) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto failure = [](const QUrl& url) -> QString {
        try {
            ImageLoading::image(url);
        } catch (const ActionError& error) {
            return error.message();
        }
        return {};
    };
    EXPECT_TRUE(
        failure(QUrl::fromLocalFile(dir.filePath("absent.png"))).contains("does not exist"));
    EXPECT_TRUE(failure(QUrl::fromLocalFile(dir.path())).contains("folder"));
    EXPECT_TRUE(failure(QUrl("https://example.com/a.png")).contains("not a local file"));
}

TEST(ImageLoading, EndlessDeviceIsCutOffAtTheByteLimit) {
    // /dev/zero reports no size; reading stops one byte past the limit.
    EXPECT_EQ(refusal([] { return ImageLoading::image(QUrl::fromLocalFile("/dev/zero")); }),
              ImageLoadError::tooLarge);
}

#include "ImageSamples.h"
#include "artwork/ImageLoading.h"
#include "core/ActionError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <atomic>
#include <thread>

namespace {
// The refusal that decoding `bytes` (or the file at `url`) throws; -1 when it returned.
template <typename Source>
int refusal(const Source& source) {
    try {
        ImageLoading::image(source);
    } catch (const ImageLoadError& error) {
        return error.kind();
    }
    return -1;
}

QUrl writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    return QUrl::fromLocalFile(file.fileName());
}
}  // namespace

// Limits are inclusive, each refusal with its own message; pictures up to the pixel limit are
// scaled to the cap, larger ones refused before any decoding.
TEST(ImageLoading, LimitsAreInclusiveFormatComesFromTheContentAndOrientationIsApplied) {
    EXPECT_STREQ(ImageLoadError(ImageLoadError::tooLarge).what(),
                 "The image file is larger than 30 MB");
    EXPECT_THROW(ImageLoading::validatePixels(INT64_MAX / 2, 3), ImageLoadError);
    QByteArray data(ImageLoading::maxBytes, '\0');
    EXPECT_EQ(refusal(data), ImageLoadError::unreadable);  // passed the byte check
    EXPECT_EQ(refusal(data + '\0'), ImageLoadError::tooLarge);

    QTemporaryDir dir;
    // A valid PNG padded to the limit: decoders ignore what follows the end chunk.
    QByteArray png = encoded(filled(3, 2, Qt::green), "png");
    png.append(QByteArray(ImageLoading::maxBytes - png.size(), '\0'));
    EXPECT_EQ(ImageLoading::image(writeFile(dir, "limit.png", png)).size(), QSize(3, 2));
    EXPECT_EQ(refusal(writeFile(dir, "over.png", png + '\0')), ImageLoadError::tooLarge);

    const auto size = [](uint32_t w, uint32_t h) {
        return ImageLoading::image(craftedPng(w, h, true)).size();
    };
    EXPECT_EQ(std::tuple(size(10000, 10000), size(8192, 1024)),
              std::tuple(QSize(4096, 4096), QSize(4096, 512)));
    // The data chunk could never fill this picture: the refusal comes before any decoding.
    EXPECT_EQ(refusal(craftedPng(10001, 10000, false)), ImageLoadError::tooManyPixels);
    // The format comes from the content, not the name; broken bytes are unreadable; the EXIF
    // orientation is applied.
    const QByteArray small = encoded(filled(7, 5, Qt::red), "png");
    EXPECT_EQ(ImageLoading::image(writeFile(dir, "picture.jpg", small)).size(), QSize(7, 5));
    EXPECT_EQ(refusal(writeFile(dir, "notes.png", "Just some words.\n")),
              ImageLoadError::unreadable);
    // gzip framing: the SVG parser would inflate it without a bound.
    const QByteArray gz = QByteArray("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10) +
                          qCompress("<svg xmlns='http://www.w3.org/2000/svg'/>").mid(6);
    const QByteArray jpeg = encoded(filled(64, 64, Qt::red), "jpeg");
    for (const QByteArray& bytes : {QByteArray(), small.left(40), jpeg.left(4),
                                    craftedPng(0, 10, false), craftedPng(3000, 3000, false), gz}) {
        EXPECT_EQ(refusal(bytes), ImageLoadError::unreadable) << bytes.left(16).toHex().data();
    }

    QImage source = filled(40, 20, Qt::blue);
    QPainter(&source).fillRect(0, 0, 10, 20, Qt::red);  // the left quarter red
    const QImage image = ImageLoading::image(jpegWithOrientation(source, 6));
    ASSERT_EQ(image.size(), QSize(20, 40));
    // A quarter turn clockwise brings the left edge to the top.
    EXPECT_TRUE(near(image.pixel(10, 2), Qt::red, 40) && near(image.pixel(10, 37), Qt::blue, 40));
}

// An SVG is drawn as a vector within the cap; one that names other files is refused.
TEST(ImageLoading, SvgIsDrawnWithinTheCapAndMayNotNameOtherFilesAndUnreadableFilesSayWhy) {
    const QImage small = ImageLoading::image(QByteArray(
        "<svg xmlns='http://www.w3.org/2000/svg' width='40' height='20' viewBox='0 0 40 20'>"
        "<rect width='20' height='20' fill='#ff0000'/>"
        "<rect x='20' width='20' height='20' fill='#0000ff'/></svg>"));
    // A small intrinsic size is drawn large enough for any key, in the same shape.
    EXPECT_EQ(std::tuple(small.size(), small.pixel(100, 256), small.pixel(900, 256)),
              std::tuple(QSize(1024, 512), qRgb(255, 0, 0), qRgb(0, 0, 255)));
    const QImage huge = ImageLoading::image(
        QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='1000000' height='500000'/>"));
    EXPECT_EQ(huge.size(), QSize(4096, 2048));

    QTemporaryDir dir;
    const QUrl png = writeFile(dir, "private.png", encoded(filled(4, 4, Qt::red), "png"));
    const QString svg =
        "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
        "width='4' height='4'><image %1='%2' width='4' height='4'/></svg>";
    EXPECT_EQ(refusal(svg.arg("href", png.toString()).toUtf8()), ImageLoadError::unreadable);
    EXPECT_EQ(refusal(svg.arg("xlink:href", png.toLocalFile()).toUtf8()),
              ImageLoadError::unreadable);
    const QByteArray embedded =
        "data:image/png;base64," + encoded(filled(4, 4, Qt::red), "png").toBase64();
    const QImage image = ImageLoading::image(svg.arg("xlink:href", embedded).toUtf8());
    EXPECT_TRUE(near(image.pixel(512, 512), Qt::red, 2));
    // Files that cannot be read say why.
    const auto failure = [](const QString& path) {
        const QUrl url = path.contains(u':') ? QUrl(path) : QUrl::fromLocalFile(path);
        return actionErrorOf([&] { ImageLoading::image(url); });
    };
    EXPECT_TRUE(failure(dir.filePath("gone.png")).contains("does not exist"));
    EXPECT_TRUE(failure(dir.path()).contains("folder"));
    EXPECT_TRUE(failure("https://example.com/a.png").contains("not a local file"));
    // A FIFO would block the open until a writer comes; the load runs on a thread so that a
    // hang fails the test instead of stalling it, and a writer is opened to release it.
    const QByteArray fifo = QFile::encodeName(dir.filePath("pipe.png"));
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    std::atomic<bool> done{false};
    QString message;
    std::thread loader([&] {
        message = failure(QString::fromLocal8Bit(fifo));
        done = true;
    });
    EXPECT_TRUE(waitUntil([&] { return done.load(); }));
    if (!done) {
        ::close(::open(fifo.constData(), O_WRONLY | O_NONBLOCK));
    }
    loader.join();
    EXPECT_TRUE(message.contains("not a regular file")) << message.toStdString();
}

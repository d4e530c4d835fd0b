#include "artwork/ImageLoading.h"

#include "core/ActionError.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Largest buffer, in MiB, that a decoder may allocate for one picture. A source within the
// pixel limit needs at most 100 megapixels x 4 bytes when its decoder cannot scale while
// decoding; anything beyond that means the header lied about the size.
constexpr int allocationLimitMiB = 400;

bool isVectorFormat(const QByteArray& format) {
    return format == "svg" || format == "svgz";
}

// The size a picture of `source` pixels is decoded to: the longer side at most maxDimension,
// the shape kept, never enlarged.
QSize boundedSize(QSize source) {
    const int longer = std::max(source.width(), source.height());
    if (longer <= ImageLoading::maxDimension) {
        return source;
    }
    const double scale = double(ImageLoading::maxDimension) / longer;
    return QSize(std::max(1, int(std::lround(source.width() * scale))),
                 std::max(1, int(std::lround(source.height() * scale))));
}

// Whether an SVG pulls pictures from other files. The SVG parser would read any local image
// it names, outside every limit here, and show it on a key (from where it could travel on in
// an exported settings bundle). Pictures embedded as data stay allowed.
bool referencesOtherFiles(const QByteArray& svg) {
    QXmlStreamReader xml(svg);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        for (const QXmlStreamAttribute& attribute : xml.attributes()) {
            if (attribute.name() == QLatin1String("href") &&
                !attribute.value().trimmed().startsWith(QLatin1Char('#')) &&
                !attribute.value().trimmed().startsWith(QLatin1String("data:"))) {
                return true;
            }
        }
    }
    return false;
}

QImage vectorImage(const QByteArray& data) {
    // A compressed SVG inflates without bound inside the SVG parser, past every limit here.
    if (data.startsWith("\x1f\x8b") || referencesOtherFiles(data)) {
        throw ImageLoadError(ImageLoadError::unreadable);
    }
    QSvgRenderer renderer;
    if (!renderer.load(data) || !renderer.isValid()) {
        throw ImageLoadError(ImageLoadError::unreadable);
    }
    const QSizeF intrinsic(renderer.defaultSize());
    if (!(intrinsic.width() > 0) || !(intrinsic.height() > 0)) {
        throw ImageLoadError(ImageLoadError::unreadable);
    }
    const double longer = std::max(intrinsic.width(), intrinsic.height());
    const double side = std::clamp(longer, double(ImageLoading::vectorRenderSide),
                                   double(ImageLoading::maxDimension));
    const double scale = side / longer;
    const QSize pixels(
        std::clamp(int(std::lround(intrinsic.width() * scale)), 1, ImageLoading::maxDimension),
        std::clamp(int(std::lround(intrinsic.height() * scale)), 1, ImageLoading::maxDimension));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        throw ImageLoadError(ImageLoadError::unreadable);
    }
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    painter.end();
    return image;
}

}  // namespace

void ImageLoading::validatePixels(int64_t width, int64_t height) {
    int64_t pixels = 0;
    if (__builtin_mul_overflow(width, height, &pixels) || pixels > maxSourcePixels) {
        throw ImageLoadError(ImageLoadError::tooManyPixels);
    }
}

QImage ImageLoading::image(const QUrl& fileUrl) {
    QString path;
    if (fileUrl.isLocalFile()) {
        path = fileUrl.toLocalFile();
    } else if (fileUrl.scheme().isEmpty()) {
        path = fileUrl.path();
    }
    if (path.isEmpty()) {
        throw ActionError::failed(
            QStringLiteral("“%1” is not a local file").arg(fileUrl.toDisplayString()));
    }
    // Opened without blocking and checked on the descriptor itself: opening a FIFO for reading
    // waits for a writer, and a name checked before the open could be swapped for one after.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        throw ActionError::failed(
            QStringLiteral("The file “%1” could not be read: %2")
                .arg(path, error == ENOENT ? QStringLiteral("it does not exist")
                                           : QString::fromLocal8Bit(std::strerror(error))));
    }
    const struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        throw ActionError::failed(QStringLiteral("The file “%1” could not be read: %2")
                                      .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    if (S_ISDIR(status.st_mode)) {
        throw ActionError::failed(
            QStringLiteral("The file “%1” could not be read: it is a folder").arg(path));
    }
    // Pipes, sockets and devices may never end or may block in a read.
    if (!S_ISREG(status.st_mode)) {
        throw ActionError::failed(
            QStringLiteral("The file “%1” could not be read: it is not a regular file").arg(path));
    }
    if (status.st_size > maxBytes) {
        throw ImageLoadError(ImageLoadError::tooLarge);
    }
    // Read by the measured size, one byte more to notice a file that grew meanwhile; growth is
    // followed up to one byte past the limit so that the byte check below still sees it.
    QByteArray data;
    data.resize(qsizetype(status.st_size) + 1);
    int64_t filled = 0;
    for (;;) {
        if (filled == int64_t(data.size())) {
            if (filled > maxBytes) {
                break;
            }
            data.resize(qsizetype(std::min(filled * 2, maxBytes + 1)));
        }
        const ssize_t got = ::read(fd, data.data() + filled, size_t(data.size() - filled));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw ActionError::failed(QStringLiteral("The file “%1” could not be read: %2")
                                          .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        }
        if (got == 0) {
            break;
        }
        filled += got;
    }
    data.truncate(filled);
    return image(data);
}

QImage ImageLoading::image(const QByteArray& data) {
    if (data.size() > maxBytes) {
        throw ImageLoadError(ImageLoadError::tooLarge);
    }
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAllocationLimit(allocationLimitMiB);
    const QByteArray format = reader.format();
    // Formats without a pixel decoder (SVG) take the vector path; so does anything no decoder
    // recognises, where the SVG parser is the last one to refuse it.
    if (format.isEmpty() || isVectorFormat(format)) {
        return vectorImage(data);
    }
    const QSize source = reader.size();
    if (!source.isValid() || source.width() <= 0 || source.height() <= 0) {
        throw ImageLoadError(ImageLoadError::unreadable);
    }
    validatePixels(source.width(), source.height());

    const QSize target = boundedSize(source);
    if (target != source) {
        reader.setScaledSize(target);
    }
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull()) {
        throw ImageLoadError(ImageLoadError::unreadable);
    }
    // A decoder whose header disagreed with its pixels must not slip past the cap.
    if (std::max(image.width(), image.height()) > maxDimension) {
        image = image.scaled(boundedSize(image.size()), Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
    }
    return image;
}

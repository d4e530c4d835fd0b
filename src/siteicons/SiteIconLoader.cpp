#include "siteicons/SiteIconLoader.h"

#include "artwork/Artwork.h"
#include "artwork/ImageLoadError.h"
#include "artwork/ImageLoading.h"
#include "core/ActionError.h"
#include "core/MainThread.h"

#include <QBuffer>
#include <QImageReader>
#include <QPointer>
#include <QStringDecoder>
#include <QThreadPool>

#include <algorithm>
#include <cmath>

namespace {

// The same allocation cap as the image loader: a frame within the pixel limit never needs more.
constexpr int allocationLimitMiB = 400;

QSize fitted(QSize size, int side) {
    const int longer = std::max(size.width(), size.height());
    if (longer <= side) {
        return size;
    }
    const double scale = double(side) / longer;
    return QSize(std::max(1, int(std::lround(size.width() * scale))),
                 std::max(1, int(std::lround(size.height() * scale))));
}

std::optional<SiteIconLoader::NormalizedIcon> encoded(QImage image) {
    if (image.isNull()) {
        return std::nullopt;
    }
    // A decoder whose header understated its size must not pass a larger picture on.
    const QSize size = fitted(image.size(), SiteIconLoader::maxIconSide);
    if (size != image.size()) {
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    std::optional<QByteArray> png = Artwork::png(image);
    if (!png) {
        return std::nullopt;
    }
    return SiteIconLoader::NormalizedIcon{*png, std::min(image.width(), image.height())};
}

QString describe(const QUrl& url) {
    return url.toDisplayString();
}

}  // namespace

std::optional<SiteIconLoader::NormalizedIcon> SiteIconLoader::normalizedIcon(
    const QByteArray& data) {
    if (data.size() > ImageLoading::maxBytes) {
        return std::nullopt;
    }
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader probe(&buffer);
    probe.setAllocationLimit(allocationLimitMiB);
    const QByteArray format = probe.format();
    // No raster decoder knows it (an SVG icon, or not an image at all): the image loader decides,
    // with its own limits for vector pictures.
    if (format.isEmpty() || format == "svg" || format == "svgz") {
        try {
            return encoded(ImageLoading::image(data));
        } catch (const ImageLoadError&) {
            return std::nullopt;
        } catch (const ActionError&) {
            return std::nullopt;
        }
    }

    struct Frame {
        int index;
        QSize size;
    };
    QList<Frame> frames;
    const int count = std::clamp(probe.imageCount(), 1, maxFrames);
    for (int index = 0; index < count; ++index) {
        if (index > 0 && !probe.jumpToImage(index)) {
            break;
        }
        const QSize size = probe.size();
        if (!size.isValid() || size.isEmpty()) {
            continue;
        }
        try {
            ImageLoading::validatePixels(size.width(), size.height());
        } catch (const ImageLoadError&) {
            continue;
        }
        frames.append({index, size});
    }
    std::stable_sort(frames.begin(), frames.end(), [](const Frame& a, const Frame& b) {
        return qint64(a.size.width()) * a.size.height() > qint64(b.size.width()) * b.size.height();
    });
    // The largest frame that decodes: one broken frame must not cost the others.
    for (const Frame& frame : frames) {
        QBuffer frameBuffer;
        frameBuffer.setData(data);
        frameBuffer.open(QIODevice::ReadOnly);
        QImageReader reader(&frameBuffer, format);
        reader.setAllocationLimit(allocationLimitMiB);
        if (frame.index > 0 && !reader.jumpToImage(frame.index)) {
            continue;
        }
        reader.setAutoTransform(true);
        const QSize target = fitted(frame.size, maxIconSide);
        if (target != frame.size) {
            reader.setScaledSize(target);
        }
        if (std::optional<NormalizedIcon> icon = encoded(reader.read())) {
            return icon;
        }
    }
    return std::nullopt;
}

SiteIconLoad::SiteIconLoad(const QUrl& address, QObject* parent)
    : QObject(parent), address_(address) {
}

SiteIconLoad::~SiteIconLoad() = default;

BoundedDownload::Settings SiteIconLoad::downloadSettings() {
    BoundedDownload::Settings settings;
    settings.idleTimeout = idleTimeout;
    settings.timeout = transferTimeout;
    settings.userAgent = userAgent;
    return settings;
}

void SiteIconLoad::start() {
    if (started_) {
        return;
    }
    started_ = true;
    download(address_, pageLimit,
             [this](const BoundedDownload::Result& result) { pageArrived(result); });
}

void SiteIconLoad::download(const QUrl& url, qint64 limit,
                            std::function<void(const BoundedDownload::Result&)> then) {
    transfer_ = std::make_unique<BoundedDownload>(
        url, limit,
        [this, then = std::move(then)](const BoundedDownload::Result& result) { then(result); },
        downloadSettings());
}

void SiteIconLoad::pageArrived(const BoundedDownload::Result& result) {
    if (result.error) {
        // The site may still serve its icons at the usual places.
        problems_ << QStringLiteral("page: %1").arg(result.error->message);
        base_ = address_;
        tryCandidates();
        return;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString html = utf8.decode(result.data);
    if (utf8.hasError()) {
        html = QString::fromLatin1(result.data);
    }
    base_ = result.url;
    const SiteIconDiscovery::Links links = SiteIconDiscovery::links(html, base_);
    candidates_ = links.icons;
    manifests_ = links.manifests.mid(0, manifestsPerPage);
    nextManifest();
}

void SiteIconLoad::nextManifest() {
    if (manifests_.isEmpty()) {
        tryCandidates();
        return;
    }
    const QUrl manifest = manifests_.takeFirst();
    download(manifest, manifestLimit, [this, manifest](const BoundedDownload::Result& result) {
        if (result.error) {
            problems_ << QStringLiteral("%1: %2").arg(describe(manifest), result.error->message);
        } else {
            candidates_ += SiteIconDiscovery::manifestIcons(result.data, result.url);
        }
        nextManifest();
    });
}

void SiteIconLoad::tryCandidates() {
    const struct {
        const char* path;
        int size;
    } fallbacks[] = {
        {"/apple-touch-icon.png", SiteIconDiscovery::touchIconFallbackSize},
        {"/apple-touch-icon-precomposed.png", SiteIconDiscovery::touchIconFallbackSize},
        {"/favicon.ico", faviconFallbackSize}};
    for (const auto& fallback : fallbacks) {
        const QUrl url = SiteIconDiscovery::webURL(QString::fromLatin1(fallback.path), base_);
        if (!url.isEmpty()) {
            candidates_.append({url, fallback.size});
        }
    }
    candidates_ = SiteIconDiscovery::ranked(std::move(candidates_)).mid(0, candidatesPerPage);
    next_ = 0;
    nextCandidate();
}

void SiteIconLoad::nextCandidate() {
    if (next_ >= candidates_.size()) {
        done();
        return;
    }
    const QUrl url = candidates_[next_++].url;
    download(url, iconLimit, [this, url](const BoundedDownload::Result& result) {
        if (result.error) {
            problems_ << QStringLiteral("%1: %2").arg(describe(url), result.error->message);
            nextCandidate();
            return;
        }
        // Decoding a large picture takes long enough to be felt; it runs on a worker.
        QPointer<SiteIconLoad> self(this);
        QThreadPool::globalInstance()->start([self, url, data = result.data] {
            std::optional<SiteIconLoader::NormalizedIcon> icon =
                SiteIconLoader::normalizedIcon(data);
            runOnMain([self, url, icon = std::move(icon)] {
                if (!self) {
                    return;
                }
                if (!icon) {
                    self->problems_ << QStringLiteral("%1: not a usable image").arg(describe(url));
                } else if (icon->size > self->bestSize_) {
                    self->best_ = icon->png;
                    self->bestSize_ = icon->size;
                }
                if (self->bestSize_ >= SiteIconLoader::goodEnoughSide) {
                    self->done();
                } else {
                    self->nextCandidate();
                }
            });
        });
    });
}

void SiteIconLoad::done() {
    transfer_.reset();
    if (best_.isEmpty() && problems_.isEmpty()) {
        problems_ << QStringLiteral("no icon candidates");
    }
    Q_EMIT finished(best_, problems_);
}

#pragma once

#include "siteicons/BoundedDownload.h"
#include "siteicons/SiteIconDiscovery.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// Fetches the best icon of one web site: its page, up to two of the page's manifests, then the
// eight best of the found and the usual fallback candidates, stopping early at a large enough
// icon. The result is a PNG of at most `maxIconSide` pixels on its longer side.
//
// A SiteIconLoad runs on the main thread without ever blocking it: every transfer is
// asynchronous with the limits and time-outs below enforced while the body arrives, and icons
// are decoded on a worker thread. Destroying the load cancels it; `finished` is emitted once
// otherwise.
class SiteIconLoad : public QObject {
    Q_OBJECT

public:
    static constexpr qint64 pageLimit = 1048576;
    static constexpr qint64 manifestLimit = 262144;
    static constexpr qint64 iconLimit = 4194304;
    static constexpr int manifestsPerPage = 2;
    static constexpr int candidatesPerPage = 8;
    // A favicon.ico is assumed this small until it is looked at.
    static constexpr int faviconFallbackSize = 16;
    // No byte for this long ends a transfer; so does a whole transfer taking longer than
    // `transferTimeout` (which makes a slow trickle end too).
    static constexpr std::chrono::milliseconds idleTimeout{6000};
    static constexpr std::chrono::milliseconds transferTimeout{10000};
    static constexpr const char* userAgent = "Quorvel/0.1";

    explicit SiteIconLoad(const QUrl& address, QObject* parent = nullptr);
    ~SiteIconLoad() override;

    void start();
    const QUrl& address() const { return address_; }

    // The settings every site-icon transfer uses.
    static BoundedDownload::Settings downloadSettings();

Q_SIGNALS:
    // `png` is empty when the site gave no usable icon; `problems` then says why, one entry per
    // failed step.
    void finished(const QByteArray& png, const QStringList& problems);

private:
    void pageArrived(const BoundedDownload::Result& result);
    void nextManifest();
    void tryCandidates();
    void nextCandidate();
    void download(const QUrl& url, qint64 limit,
                  std::function<void(const BoundedDownload::Result&)> then);
    void done();

    const QUrl address_;
    QUrl base_;
    QList<QUrl> manifests_;
    QList<SiteIconDiscovery::Candidate> candidates_;
    qsizetype next_ = 0;
    QByteArray best_;
    int bestSize_ = -1;
    QStringList problems_;
    std::unique_ptr<BoundedDownload> transfer_;
    bool started_ = false;
};

namespace SiteIconLoader {

struct NormalizedIcon {
    QByteArray png;
    int size = 0;  // the smaller side of the normalised picture
};

// Longest side of a normalised icon, and the smaller side from which no better one is searched.
constexpr int maxIconSide = 512;
constexpr int goodEnoughSide = 256;
// Frames looked at in one icon file (ICO files hold one per size).
constexpr int maxFrames = 64;

// The icon in `data` as a PNG: of a file with several frames (ICO) the one with the most pixels
// that can be decoded (a broken frame falls back to the next best), scaled down to at most
// maxIconSide with the file's orientation applied. None when nothing in it can be decoded within
// the image limits. Any thread.
std::optional<NormalizedIcon> normalizedIcon(const QByteArray& data);

}  // namespace SiteIconLoader

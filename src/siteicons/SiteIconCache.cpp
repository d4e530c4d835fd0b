#include "siteicons/SiteIconCache.h"

#include "artwork/ImageLoadError.h"
#include "artwork/ImageLoading.h"
#include "core/ActionError.h"
#include "core/Log.h"
#include "siteicons/SiteIconLoader.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

QString SiteIconCache::defaultDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/Quorvel/SiteIcons");
}

SiteIconCache::SiteIconCache(QString directory, QObject* parent)
    : QObject(parent),
      directory_(std::move(directory)),
      clock_([] { return QDateTime::currentDateTimeUtc(); }) {
}

SiteIconCache::~SiteIconCache() {
    // The loads are children; they are cancelled with their transfers as they go.
    running_.clear();
}

QString SiteIconCache::key(const QUrl& address) {
    if (!address.isValid()) {
        return address.toString(QUrl::FullyEncoded);
    }
    return address.adjusted(QUrl::RemoveFragment).toString(QUrl::FullyEncoded);
}

QString SiteIconCache::diskFileForKey(const QString& key) const {
    const QByteArray digest =
        QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex();
    return directory_ + u'/' + QString::fromLatin1(digest) + QStringLiteral(".png");
}

QString SiteIconCache::diskFile(const QUrl& address) const {
    return diskFileForKey(key(address));
}

QImage SiteIconCache::image(const QUrl& address) {
    const QString key = SiteIconCache::key(address);
    if (const auto found = images_.constFind(key); found != images_.cend()) {
        return *found;
    }
    if (checkedDisk_.contains(key)) {
        return {};
    }
    checkedDisk_.insert(key);
    const QString file = diskFileForKey(key);
    if (!QFileInfo::exists(file)) {
        return {};
    }
    try {
        QImage image = ImageLoading::image(QUrl::fromLocalFile(file));
        images_.insert(key, image);
        return image;
    } catch (const ImageLoadError& error) {
        logLine("Cached site icon %s is unreadable: %s", qUtf8Printable(file),
                qUtf8Printable(error.message()));
    } catch (const ActionError& error) {
        logLine("Cached site icon %s is unreadable: %s", qUtf8Printable(file),
                qUtf8Printable(error.message()));
    }
    return {};
}

void SiteIconCache::request(const QUrl& address) {
    const QString key = SiteIconCache::key(address);
    const QDateTime now = clock_();
    if (const auto last = attempts_.constFind(key);
        last != attempts_.cend() && last->secsTo(now) < attemptWindow.count()) {
        return;
    }
    if (attempts_.size() >= attemptRecordLimit) {
        attempts_.removeIf(
            [&](const auto& entry) { return entry.value().secsTo(now) >= attemptWindow.count(); });
    }
    attempts_.insert(key, now);

    image(address);
    if (images_.contains(key)) {
        const QFileInfo file(diskFileForKey(key));
        const QDateTime modified = file.exists() ? file.lastModified() : QDateTime();
        if (modified.isValid() && modified.secsTo(now) < refreshAge.count()) {
            return;
        }
    }
    if (running_.contains(key) ||
        std::any_of(waiting_.cbegin(), waiting_.cend(),
                    [&](const auto& waiting) { return waiting.first == key; })) {
        return;
    }
    waiting_.append({key, address});
    startFetches();
}

void SiteIconCache::startFetches() {
    while (running_.size() < concurrentFetches && !waiting_.isEmpty()) {
        const auto [key, address] = waiting_.takeFirst();
        auto* load = new SiteIconLoad(address, this);
        running_.insert(key, load);
        QObject::connect(
            load, &SiteIconLoad::finished, this,
            [this, load, address, key](const QByteArray& png, const QStringList& problems) {
                running_.remove(key);
                load->deleteLater();
                arrived(address, key, png, problems);
                startFetches();
            });
        load->start();
    }
}

void SiteIconCache::arrived(const QUrl& address, const QString& key, const QByteArray& png,
                            const QStringList& problems) {
    const QString where = address.toDisplayString();
    if (png.isEmpty()) {
        logLine("No site icon for %s: %s", qUtf8Printable(where),
                qUtf8Printable(problems.join(QStringLiteral("; "))));
        return;
    }
    QImage image;
    try {
        image = ImageLoading::image(png);
    } catch (const ImageLoadError& error) {
        logLine("No site icon for %s: %s", qUtf8Printable(where), qUtf8Printable(error.message()));
        return;
    } catch (const ActionError& error) {
        logLine("No site icon for %s: %s", qUtf8Printable(where), qUtf8Printable(error.message()));
        return;
    }
    if (images_.size() >= memoryLimit) {
        images_.clear();
    }
    images_.insert(key, image);
    checkedDisk_.insert(key);
    if (png.size() <= ImageLoading::maxBytes) {
        const QString file = diskFileForKey(key);
        QSaveFile out(file);
        if (!QDir().mkpath(directory_) || !out.open(QIODevice::WriteOnly) ||
            out.write(png) != png.size() || !out.commit()) {
            logLine("Could not store the site icon of %s in %s: %s", qUtf8Printable(where),
                    qUtf8Printable(file), qUtf8Printable(out.errorString()));
        }
    }
    logLine("Site icon of %s: %dx%d", qUtf8Printable(where), image.width(), image.height());
    Q_EMIT siteIconUpdated(key);
}

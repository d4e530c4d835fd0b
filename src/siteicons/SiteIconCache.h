#pragma once

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>

class SiteIconLoad;

// The icons of web sites that keys bound to web addresses show: kept in memory and as PNG files
// named by the SHA-256 of the address, so that they show without network after a restart. The
// program makes one at start-up and hands it to every device model and to the web-address
// action's icon.
//
// Fetches are started by request() and run in the background (SiteIconLoad); each site is tried
// at most once an hour, and a cached icon is fetched again once its file is a week old. Every
// arrival is announced with `siteIconUpdated`. Failures are never shown to the user (the key
// keeps its globe), only logged.
//
// Main thread only.
class SiteIconCache : public QObject {
    Q_OBJECT

public:
    static constexpr int memoryLimit = 128;
    static constexpr std::chrono::seconds attemptWindow{3600};
    static constexpr std::chrono::seconds refreshAge{604800};
    // Records of past attempts beyond this many are pruned of those older than the window.
    static constexpr int attemptRecordLimit = 1024;
    // Sites fetched at the same time; the others wait their turn, so that a configuration with
    // a hundred web-address keys does not open a hundred connections at once.
    static constexpr int concurrentFetches = 4;

    // $XDG_CACHE_HOME/Quorvel/SiteIcons.
    static QString defaultDirectory();

    explicit SiteIconCache(QString directory, QObject* parent = nullptr);
    ~SiteIconCache() override;

    // The address without its fragment: addresses that differ only there share one icon.
    static QString key(const QUrl& address);
    // directory/<sha256 of the key in hex>.png
    QString diskFile(const QUrl& address) const;
    const QString& directory() const { return directory_; }

    // The cached icon, from memory or else from disk (a missing file is looked for once per
    // process); a null image when there is none. Never touches the network.
    QImage image(const QUrl& address);
    // Starts a background fetch of the site's icon unless one was attempted within the hour or
    // the cached icon is less than a week old. Returns at once.
    void request(const QUrl& address);

    // The clock used for the attempt window and the age of files; tests move it.
    void setClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }
    // Fetches running now, and waiting for their turn.
    int runningFetches() const { return int(running_.size() + waiting_.size()); }

Q_SIGNALS:
    // A new icon for `key` is in the cache.
    void siteIconUpdated(const QString& key);

private:
    void arrived(const QUrl& address, const QString& key, const QByteArray& png,
                 const QStringList& problems);
    QString diskFileForKey(const QString& key) const;
    void startFetches();

    const QString directory_;
    QHash<QString, QImage> images_;
    QSet<QString> checkedDisk_;
    QHash<QString, QDateTime> attempts_;
    QHash<QString, SiteIconLoad*> running_;
    QList<std::pair<QString, QUrl>> waiting_;
    std::function<QDateTime()> clock_;
};

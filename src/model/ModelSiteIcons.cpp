#include "model/Model.h"

#include "actions/OpenActions.h"
#include "siteicons/SiteIconCache.h"

#include <QTimer>

namespace {

// Web addresses of the bindings that show their site's icon (web-address action, no artwork),
// in scene and binding order, each once.
QList<QUrl> siteAddresses(const QList<QuorvelScene>& scenes) {
    const QString openURL = OpenURLAction().name();
    QList<QUrl> addresses;
    QSet<QString> seen;
    for (const QuorvelScene& scene : scenes) {
        for (const Binding& binding : scene.keys) {
            if (binding.action != openURL || binding.imagePath) {
                continue;
            }
            const std::optional<QUrl> address = OpenURLAction::url(binding.argument);
            if (address && !seen.contains(address->toString())) {
                seen.insert(address->toString());
                addresses.append(*address);
            }
        }
    }
    return addresses;
}

}  // namespace

void Model::scheduleSiteIcons() {
    const std::shared_ptr<SiteIconCache>& cache = environment_.siteIcons;
    if (!cache) {
        return;
    }
    // Typing an address saves at every keystroke; only the address that stays is fetched.
    if (!siteIconRequest_) {
        siteIconRequest_ = std::make_unique<QTimer>();
        siteIconRequest_->setSingleShot(true);
        siteIconRequest_->setInterval(siteIconDelay);
        QObject::connect(siteIconRequest_.get(), &QTimer::timeout, this, [this] {
            for (const QUrl& address : siteAddresses(scenes_)) {
                environment_.siteIcons->request(address);
            }
        });
    }
    siteIconRequest_->start();
}

void Model::observeSiteIcons() {
    const std::shared_ptr<SiteIconCache>& cache = environment_.siteIcons;
    if (!cache) {
        return;
    }
    QObject::disconnect(siteIconObserver_);
    siteIconObserver_ = QObject::connect(cache.get(), &SiteIconCache::siteIconUpdated, this,
                                         [this](const QString& key) {
                                             for (const QUrl& address : siteAddresses(scenes_)) {
                                                 if (SiteIconCache::key(address) == key) {
                                                     Q_EMIT changed();
                                                     invalidateKeyImages();
                                                     return;
                                                 }
                                             }
                                         });
    scheduleSiteIcons();
}

#include "model/Model.h"

#include "actions/ActionCatalog.h"
#include "actions/MediaKey.h"
#include "artwork/Artwork.h"
#include "artwork/ImageLoadError.h"
#include "artwork/ImageLoading.h"
#include "artwork/MSDArtwork.h"
#include "core/MainThread.h"
#include "model/DisplayCacheKeys.h"

#include <QUrl>

namespace {

// An image named by the configuration, or a null image when the file cannot be used: a key
// whose artwork went missing shows its action's icon instead of failing the whole frame.
QImage readImage(const std::optional<QString>& path) {
    if (!path) {
        return {};
    }
    try {
        return ImageLoading::image(QUrl::fromLocalFile(*path));
    } catch (const ImageLoadError&) {
        return {};
    } catch (const ActionError&) {
        return {};
    }
}

const Binding* findBinding(const QuorvelScene& scene, int64_t control) {
    for (const Binding& binding : scene.keys) {
        if (binding.id == control) {
            return &binding;
        }
    }
    return nullptr;
}

}  // namespace

std::optional<QImage> Model::actionIcon(const Binding& binding) const {
    return ActionCatalog::action(binding.action).icon(binding, *this);
}

QString Model::actionArtworkKey(const Binding& binding) const {
    return ActionCatalog::action(binding.action).artworkKey(binding);
}

void Model::playbackChanged() {
    if (shuttingDown_) {
        return;
    }
    const QString playPause = MediaKey(MediaKey::playPause).name();
    for (const Binding& binding : activeScene().keys) {
        if (binding.action == playPause && !binding.imagePath) {
            Q_EMIT changed();
            invalidateKeyImages();
            return;
        }
    }
}

std::optional<QImage> Model::configuredKeyPreview(const Binding& binding) const {
    const QImage image = readImage(binding.imagePath);
    if (!image.isNull()) {
        return image;
    }
    return actionIcon(binding);
}

std::optional<QImage> Model::keyPreview(const Binding& binding) const {
    std::optional<QImage> image;
    if (binding.scriptID) {
        const auto icon = runtimeIcons_.constFind(*binding.scriptID);
        if (icon != runtimeIcons_.cend() && !icon->isNull()) {
            image = *icon;
        }
    }
    if (!image) {
        image = configuredKeyPreview(binding);
    }
    if (!binding.scriptID) {
        return image;
    }
    const auto badges = runtimeBadges_.constFind(*binding.scriptID);
    if (badges == runtimeBadges_.cend()) {
        return image;
    }
    // Later positions are drawn over earlier ones.
    for (const QString& position : BadgeStyle::positions()) {
        const auto style = badges->constFind(position);
        if (style != badges->cend() && style->displayed && style->value) {
            image = Artwork::badged(image.value_or(QImage()), *style->value, *style);
        }
    }
    return image;
}

QImage Model::backgroundImage() const {
    return readImage(activeScene().backgroundPath);
}

std::optional<QByteArray> Model::renderKey(const Binding& binding, const QImage& wallpaper) const {
    const QImage image = keyPreview(binding).value_or(QImage());
    const int keyIndex = static_cast<int>(binding.id) - 1;
    switch (kind_.value()) {
        case DeviceKind::mountain:
            return Artwork::bgr(image, Artwork::displayPadKeySize, Artwork::displayPadKeySize, {},
                                wallpaper, keyIndex);
        case DeviceKind::msdTwo:
            return MSDArtwork::jpeg(image, MSDArtwork::buttonSize, MSDArtwork::buttonSize, {},
                                    false, wallpaper, keyIndex, environment_.calibrate);
    }
    return std::nullopt;
}

std::optional<QList<QByteArray>> Model::keyImages() {
    // A copy: nothing below may change the scene, but rendering must not depend on that.
    const QuorvelScene scene = activeScene();
    const QString backgroundStamp = DisplayCacheKeys::fileStamp(scene.backgroundPath);
    std::optional<QImage> wallpaper;

    QList<QByteArray> images;
    for (int control = 1; control <= kind_.keyCount(); ++control) {
        const Binding* binding = findBinding(scene, control);
        if (!binding) {
            return std::nullopt;
        }
        const QString key = DisplayCacheKeys::keyCacheKey(
            scene.id, control, binding->action, actionArtworkKey(*binding),
            DisplayCacheKeys::fileStamp(binding->imagePath), backgroundStamp);
        if (const auto cached = renderedKeys_.constFind(key); cached != renderedKeys_.cend()) {
            images.append(*cached);
            continue;
        }
        if (!wallpaper) {
            wallpaper = readImage(scene.backgroundPath);
        }
        std::optional<QByteArray> bytes = renderKey(*binding, *wallpaper);
        if (!bytes) {
            return std::nullopt;
        }
        if (renderedKeys_.size() >= renderedKeysLimit) {
            renderedKeys_.clear();
        }
        renderedKeys_.insert(key, *bytes);
        images.append(*bytes);
    }
    return images;
}

std::optional<DisplayFrame> Model::displayFrame() {
    std::optional<QList<QByteArray>> images = keyImages();
    if (!images) {
        setMessage(QStringLiteral("Could not render the device artwork"));
        return std::nullopt;
    }
    DisplayFrame frame{std::move(*images), {}};
    if (kind_ == DeviceKind::mountain) {
        return frame;
    }
    const std::optional<QString>& path = activeScene().backgroundPath;
    const QString stamp = DisplayCacheKeys::fileStamp(path);
    if (const auto cached = renderedBackgrounds_.constFind(stamp);
        cached != renderedBackgrounds_.cend()) {
        frame.background = *cached;
        return frame;
    }
    QByteArray background = MSDArtwork::backgroundRGB565(readImage(path));
    if (background.size() != MSDArtwork::backgroundByteCount) {
        return std::nullopt;
    }
    if (renderedBackgrounds_.size() >= renderedBackgroundsLimit) {
        renderedBackgrounds_.clear();
    }
    renderedBackgrounds_.insert(stamp, background);
    frame.background = std::move(background);
    return frame;
}

DisplayFrame Model::shutdownFrame() const {
    const std::optional<QString>& path = activeScene().backgroundPath;
    // Unlike a normal frame, an unreadable background is an error here: the store reports it,
    // and the pad keeps its last picture rather than a half-cleared one.
    const QImage background = path ? ImageLoading::image(QUrl::fromLocalFile(*path)) : QImage();
    DisplayFrame frame;
    for (int index = 0; index < kind_.keyCount(); ++index) {
        std::optional<QByteArray> bytes =
            kind_ == DeviceKind::mountain
                ? Artwork::bgr(QImage(), Artwork::displayPadKeySize, Artwork::displayPadKeySize, {},
                               background, index)
                : MSDArtwork::jpeg(QImage(), MSDArtwork::buttonSize, MSDArtwork::buttonSize, {},
                                   false, background, index, environment_.calibrate);
        if (!bytes) {
            throw ActionError::failed(QStringLiteral("Could not render cleared button artwork"));
        }
        frame.images.append(*bytes);
    }
    if (kind_ == DeviceKind::msdTwo) {
        frame.background = MSDArtwork::backgroundRGB565(background);
        if (frame.background.size() != MSDArtwork::backgroundByteCount) {
            throw ActionError::failed(
                QStringLiteral("Could not render the background for shutdown"));
        }
    }
    return frame;
}

void Model::refreshDisplay() {
    if (shuttingDown_ || !display_ || displayRefreshScheduled_) {
        return;
    }
    displayRefreshScheduled_ = true;
    runOnMainAfter(refreshDelay, this, [this] { refreshNow(); });
}

void Model::refreshNow() {
    displayRefreshScheduled_ = false;
    if (shuttingDown_ || !display_) {
        return;
    }
    // Computed now, not when the refresh was asked for: the burst of changes is over.
    if (const std::optional<DisplayFrame> frame = displayFrame()) {
        display_->update(frame->images, frame->background);
        Q_EMIT displayUpdated();
    }
}

void Model::invalidateKeyImages() {
    renderedKeys_.clear();
    refreshDisplay();
}

void Model::setRuntimeIcon(const QString& scriptID, const QImage& image, const QString& fileURL) {
    if (image.isNull()) {
        runtimeIcons_.remove(scriptID);
        runtimeIconURLs_.remove(scriptID);
    } else {
        runtimeIcons_.insert(scriptID, image);
        runtimeIconURLs_.insert(scriptID, fileURL);
    }
    Q_EMIT changed();
    invalidateKeyImages();
}

void Model::setRuntimeBadges(const QString& scriptID, const QHash<QString, BadgeStyle>& badges) {
    if (badges.isEmpty()) {
        runtimeBadges_.remove(scriptID);
    } else {
        runtimeBadges_.insert(scriptID, badges);
    }
    Q_EMIT changed();
    invalidateKeyImages();
}

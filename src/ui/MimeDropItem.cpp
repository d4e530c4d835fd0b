#include "ui/MimeDropItem.h"

#include <QBuffer>
#include <QImage>
#include <QMimeData>

QList<std::shared_ptr<DropItem>> MimeDropItem::items(const QMimeData& data) {
    QList<std::shared_ptr<DropItem>> items;
    if (data.hasUrls()) {
        for (const QUrl& url : data.urls()) {
            auto item = std::make_shared<MimeDropItem>();
            item->url_ = url;
            items.append(item);
        }
        return items;
    }
    auto item = std::make_shared<MimeDropItem>();
    for (const QString& type : data.formats()) {
        item->types_.append(type);
        item->data_.insert(type, data.data(type));
    }
    if (data.hasImage() && !item->types_.contains(QStringLiteral("image/png"))) {
        // Some sources offer only a native image; hand it on as PNG.
        const QImage image = qvariant_cast<QImage>(data.imageData());
        QByteArray png;
        if (!image.isNull()) {
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
            item->types_.append(QStringLiteral("image/png"));
            item->data_.insert(QStringLiteral("image/png"), png);
        }
    }
    items.append(item);
    return items;
}

bool MimeDropItem::offersContent(const QMimeData& data) {
    if (data.hasUrls() || data.hasImage()) {
        return true;
    }
    for (const QString& type : data.formats()) {
        if (type.startsWith(QLatin1String("image/"))) {
            return true;
        }
    }
    return false;
}

void MimeDropItem::loadFileURL(FileCallback callback) const {
    if (!url_) {
        callback(std::nullopt, QStringLiteral("The item is not a file"));
        return;
    }
    callback(url_, {});
}

void MimeDropItem::loadData(const QString& type, DataCallback callback) const {
    const auto found = data_.constFind(type);
    if (found == data_.constEnd()) {
        callback(std::nullopt, QStringLiteral("The item has no data of type %1").arg(type));
        return;
    }
    callback(*found, {});
}

#pragma once

#include "model/EditingTypes.h"

#include <QHash>
#include <QList>

#include <memory>
#include <optional>

class QMimeData;

// One item of a drop on the window, copied out of the drag's data while the drop happens (the
// data is gone once the drop event returns): a URL list gives one item per URL, anything else
// one item with the data of each offered type. The loads answer at once, on the calling thread.
class MimeDropItem : public DropItem {
public:
    static QList<std::shared_ptr<DropItem>> items(const QMimeData& data);
    // Whether the drag carries anything the window takes: files or image data.
    static bool offersContent(const QMimeData& data);

    bool hasFileURL() const override { return url_.has_value(); }
    QStringList types() const override { return types_; }
    void loadFileURL(FileCallback callback) const override;
    void loadData(const QString& type, DataCallback callback) const override;

private:
    std::optional<QUrl> url_;
    QStringList types_;
    QHash<QString, QByteArray> data_;
};

#include "app/ScriptingService.h"

#include "app/ScriptingAdaptors.h"
#include "core/Log.h"
#include "model/DeviceStore.h"
#include "model/Model.h"
#include "scripting/ScriptObjects.h"
#include "scripting/ScriptingRegistry.h"

#include <QSet>

namespace {
constexpr QDBusConnection::RegisterOptions exported =
    QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties;
}

ScriptingService::ScriptingService(DeviceStore& store, QObject* parent)
    : QObject(parent), store_(store) {
    connect(&store_, &DeviceStore::devicesChanged, this, [this] {
        for (Model* model : store_.devices()) {
            // Unique: a model already followed is not connected twice.
            connect(model, &Model::scenesChanged, this, &ScriptingService::scheduleSync,
                    Qt::UniqueConnection);
        }
        scheduleSync();
    });
}

ScriptingService::~ScriptingService() {
    if (connection_) {
        for (const auto& [path, object] : objects_) {
            connection_->unregisterObject(path);
        }
        connection_->unregisterObject(QString::fromLatin1(rootPath));
    }
}

bool ScriptingService::registerOn(QDBusConnection connection) {
    auto application = std::make_unique<ScriptApplicationAdaptor>(*this);
    // Adaptors too: org.freedesktop.Application shares the root path (ApplicationService).
    if (!connection.registerObject(QString::fromLatin1(rootPath), application.get(),
                                   exported | QDBusConnection::ExportAdaptors)) {
        logLine("Could not offer scripting on D-Bus at %s: %s", rootPath,
                qUtf8Printable(connection.lastError().message()));
        return false;
    }
    application_ = std::move(application);
    connection_ = connection;
    for (Model* model : store_.devices()) {
        connect(model, &Model::scenesChanged, this, &ScriptingService::scheduleSync,
                Qt::UniqueConnection);
    }
    sync();
    return true;
}

QString ScriptingService::pathElement(const QString& text) {
    if (text.isEmpty()) {
        return QStringLiteral("_");
    }
    QString element;
    for (const char byte : text.toUtf8()) {
        const auto c = static_cast<unsigned char>(byte);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            element += QLatin1Char(char(c));
        } else {
            element += QStringLiteral("_%1").arg(c, 2, 16, QLatin1Char('0'));
        }
    }
    return element;
}

QString ScriptingService::devicePath(const QString& deviceID) {
    return QString::fromLatin1(rootPath) + QStringLiteral("/devices/") + pathElement(deviceID);
}

QString ScriptingService::buttonPath(const QString& deviceID, const QString& scriptID) {
    return devicePath(deviceID) + QStringLiteral("/buttons/") + pathElement(scriptID);
}

QString ScriptingService::namedPath(const QString& name, const std::optional<QString>& deviceID) {
    const QString base = deviceID ? devicePath(*deviceID) : QString::fromLatin1(rootPath);
    return base + QStringLiteral("/named/") + pathElement(name);
}

QString ScriptingService::badgePath(const QString& buttonPath, const QString& position) {
    // The nine position names are lower-case words, so a blank as "_" cannot collide.
    return buttonPath + QStringLiteral("/badges/") + QString(position).replace(' ', '_');
}

QString ScriptingService::pathOf(const ScriptScreenButton& button) {
    if (button.referenceName()) {
        return namedPath(*button.referenceName(), button.referenceDeviceID());
    }
    return buttonPath(button.model() ? button.model()->id() : QString(), button.uniqueID());
}

void ScriptingService::scheduleSync() {
    if (syncScheduled_) {
        return;
    }
    syncScheduled_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            syncScheduled_ = false;
            sync();
        },
        Qt::QueuedConnection);
}

void ScriptingService::exportObject(const QString& path, std::unique_ptr<QObject> object) {
    if (!connection_->registerObject(path, object.get(), exported)) {
        logLine("Could not offer %s on D-Bus: %s", qUtf8Printable(path),
                qUtf8Printable(connection_->lastError().message()));
        return;
    }
    objects_[path] = std::move(object);
}

void ScriptingService::exportButton(const QString& path, const ScriptScreenButton& button) {
    const auto existing = objects_.find(path);
    if (existing != objects_.end()) {
        static_cast<ScriptButtonAdaptor*>(existing->second.get())->setButton(button);
        for (const ScriptBadge& badge : button.badges()) {
            const auto object = objects_.find(badgePath(path, badge.name()));
            if (object != objects_.end()) {
                static_cast<ScriptBadgeAdaptor*>(object->second.get())->setBadge(badge);
            }
        }
        return;
    }
    exportObject(path, std::make_unique<ScriptButtonAdaptor>(*this, button, path));
    for (const ScriptBadge& badge : button.badges()) {
        exportObject(badgePath(path, badge.name()),
                     std::make_unique<ScriptBadgeAdaptor>(*this, badge));
    }
}

QString ScriptingService::exportNamed(const ScriptScreenButton& button) {
    const QString path = pathOf(button);
    if (connection_) {
        exportButton(path, button);
    }
    return path;
}

void ScriptingService::sync() {
    if (!connection_) {
        return;
    }
    QSet<QString> wanted;
    const auto keepButton = [&](const QString& path, const ScriptScreenButton& button) {
        exportButton(path, button);
        wanted.insert(path);
        for (const QString& position : BadgeStyle::positions()) {
            wanted.insert(badgePath(path, position));
        }
    };
    // By-name references stay while a button still has the name; they then stand for the
    // first button of that name as it is now.
    std::vector<ScriptScreenButton> named;
    for (const auto& [path, object] : objects_) {
        if (const auto* adaptor = qobject_cast<const ScriptButtonAdaptor*>(object.get())) {
            if (adaptor->button().referenceName()) {
                named.push_back(adaptor->button());
            }
        }
    }
    for (const ScriptScreenButton& reference : named) {
        const std::optional<ScriptScreenButton> current =
            ScriptingRegistry::shared().screenButtonsWithName(*reference.referenceName(),
                                                              reference.referenceDeviceID());
        if (current) {
            keepButton(pathOf(*current), *current);
        }
    }
    for (Model* model : store_.devices()) {
        const QString device = devicePath(model->id());
        if (!objects_.contains(device)) {
            exportObject(device, std::make_unique<ScriptDeviceAdaptor>(*this, ScriptDevice(model)));
        }
        wanted.insert(device);
        for (const ScriptScreenButton& button : ScriptDevice(model).screenButtons()) {
            const QString path = pathOf(button);
            // A script id that two bindings of one device share (a hand-edited file before
            // its first save) is the first binding's, as for every lookup.
            if (!wanted.contains(path)) {
                keepButton(path, button);
            }
        }
    }
    for (auto it = objects_.begin(); it != objects_.end();) {
        if (wanted.contains(it->first)) {
            ++it;
        } else {
            connection_->unregisterObject(it->first);
            it = objects_.erase(it);
        }
    }
}

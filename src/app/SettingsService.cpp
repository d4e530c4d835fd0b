#include "app/SettingsService.h"

#include "core/Log.h"
#include "model/DeviceStore.h"
#include "model/Model.h"

#include <QDBusMessage>

namespace {
QString errorName(const char* suffix) {
    return QString::fromLatin1(SettingsService::errorPrefix) + QString::fromLatin1(suffix);
}
}  // namespace

SettingsService::SettingsService(DeviceStore& store, QObject* parent)
    : QObject(parent), store_(store) {
}

SettingsService::~SettingsService() {
    if (connection_) {
        connection_->unregisterObject(QString::fromLatin1(objectPath));
    }
}

bool SettingsService::registerOn(QDBusConnection connection) {
    if (!connection.registerObject(QString::fromLatin1(objectPath), this,
                                   QDBusConnection::ExportAllSlots)) {
        logLine("Could not offer settings bundles on D-Bus at %s: %s", objectPath,
                qUtf8Printable(connection.lastError().message()));
        return false;
    }
    connection_ = connection;
    return true;
}

Model* SettingsService::knownModel(const QString& device) {
    Model* model = store_.model(device);
    if (!model) {
        sendErrorReply(
            errorName("UnknownDevice"),
            QStringLiteral("No device %1 has been seen by the running program").arg(device));
    }
    return model;
}

QString SettingsService::Export(const QString& device, const QString& path, bool sceneOnly) {
    Model* model = knownModel(device);
    if (!model) {
        return {};
    }
    if (!model->exportSettings(sceneOnly, path)) {
        sendErrorReply(errorName("Failed"), model->message());
        return {};
    }
    return model->message();
}

QString SettingsService::Import(const QString& device, const QString& path, const QString& mode,
                                bool allowScripts) {
    Model* model = knownModel(device);
    if (!model) {
        return {};
    }
    Model::ImportRequest request;
    request.allowCommands = allowScripts;
    if (mode == QLatin1String("add")) {
        request.mode = Model::ImportMode::add;
    } else if (mode == QLatin1String("replace")) {
        request.mode = Model::ImportMode::replace;
    } else {
        sendErrorReply(errorName("Failed"),
                       QStringLiteral("The import mode must be add or replace, not %1").arg(mode));
        return {};
    }
    setDelayedReply(true);
    const QDBusMessage call = message();
    QDBusConnection bus = connection();
    model->importSettings(path, request, [call, bus](bool imported, const QString& text) {
        bus.send(imported ? call.createReply(text)
                          : call.createErrorReply(errorName("Failed"), text));
    });
    return {};
}

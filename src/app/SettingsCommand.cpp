#include "app/SettingsCommand.h"

#include "app/QuorvelApplication.h"
#include "app/SettingsService.h"
#include "artwork/ImageLoadError.h"
#include "config/DeviceConfigurationStore.h"
#include "config/SettingsArchive.h"
#include "model/Model.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QRegularExpression>

namespace {

// An import of a large bundle reads, decodes and writes thousands of pictures.
constexpr int callTimeoutMs = 10 * 60 * 1000;

QString scriptsHint(const QString& message) {
    return message.contains(QLatin1String("only when allowed"))
               ? message + QStringLiteral(" (--allow-scripts)")
               : message;
}

}  // namespace

bool SettingsCommand::isDeviceID(const QString& id) {
    static const QRegularExpression pattern(QStringLiteral("^(mountain|msdTwo)-[0-9A-Fa-f]+$"));
    return pattern.match(id).hasMatch();
}

int SettingsCommand::run(QDBusConnection bus, const QString& settingsRoot, QTextStream& out,
                         QTextStream& err) const {
    if (!isDeviceID(deviceID)) {
        err << "quorvel: \"" << deviceID
            << "\" is not a device id; quorvel --list-devices shows them (such as "
               "msdTwo-73657269616c2d31)\n";
        return 1;
    }
    if (const std::optional<int> status = runInInstance(bus, out, err)) {
        return *status;
    }
    return runOnFiles(settingsRoot, out, err);
}

std::optional<int> SettingsCommand::runInInstance(QDBusConnection& bus, QTextStream& out,
                                                  QTextStream& err) const {
    const QString service = QString::fromLatin1(QuorvelApplication::serviceName);
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(service).value()) {
        return std::nullopt;
    }
    const bool exporting = operation == Operation::exportBundle;
    QDBusMessage call = QDBusMessage::createMethodCall(
        service, QString::fromLatin1(SettingsService::objectPath),
        QString::fromLatin1(SettingsService::interfaceName),
        exporting ? QStringLiteral("Export") : QStringLiteral("Import"));
    if (exporting) {
        call << deviceID << path << sceneOnly;
    } else {
        call << deviceID << path << mode << allowScripts;
    }
    const QDBusMessage reply = bus.call(call, QDBus::Block, callTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        out << reply.arguments().value(0).toString() << '\n';
        return 0;
    }
    if (reply.errorName() ==
        QString::fromLatin1(SettingsService::errorPrefix) + QStringLiteral("UnknownDevice")) {
        return std::nullopt;
    }
    err << "quorvel: " << scriptsHint(reply.errorMessage()) << '\n';
    return 1;
}

int SettingsCommand::runOnFiles(const QString& settingsRoot, QTextStream& out,
                                QTextStream& err) const {
    const QString root =
        settingsRoot.isEmpty() ? DeviceConfigurationStore::defaultSettingsRoot() : settingsRoot;
    const DeviceKind kind = *DeviceKind::fromRawValue(deviceID.section(QLatin1Char('-'), 0, 0));
    const bool exporting = operation == Operation::exportBundle;
    // Exporting a device that was never set up would invent its settings (and write them).
    if (exporting && !QDir(root).exists(deviceID)) {
        err << "quorvel: no settings are stored for device " << deviceID << " in "
            << QDir::toNativeSeparators(root) << '\n';
        return 1;
    }
    Model model(deviceID, kind, kind.name(), root);
    if (exporting) {
        if (!model.exportSettings(sceneOnly, path)) {
            err << "quorvel: " << model.message() << '\n';
            return 1;
        }
        out << model.message() << '\n';
        return 0;
    }
    try {
        const SettingsArchive archive = SettingsArchive::read(path);
        if (!(archive.kind == kind)) {
            throw ActionError::failed(
                QStringLiteral("This file is for %1; select that device before importing")
                    .arg(archive.kind.name()));
        }
        if (const int commands = Model::commandBindingCount(archive);
            commands > 0 && !allowScripts) {
            throw ActionError::failed(Model::commandsRefusedMessage(commands));
        }
        model.applyArchive(archive, mode == QLatin1String("add") ? Model::ImportMode::add
                                                                 : Model::ImportMode::replace);
    } catch (const ActionError& error) {
        err << "quorvel: " << scriptsHint(error.message()) << '\n';
        return 1;
    } catch (const ImageLoadError& error) {
        err << "quorvel: " << error.message() << '\n';
        return 1;
    }
    out << model.message() << '\n';
    return 0;
}

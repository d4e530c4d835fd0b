#include "actions/linux/BacklightBrightness.h"

#include "core/ActionError.h"
#include "core/Log.h"

#include <QAtomicInteger>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>

#include <gio/gio.h>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

const QString unavailable = QStringLiteral("Mac display brightness control is unavailable");
const QString unreadable =
    QStringLiteral("This Mac display does not expose native brightness control");
const QString cannotChange = QStringLiteral("Could not change Mac display brightness");
const QString noAutomatic =
    QStringLiteral("This Mac display does not support automatic brightness");
const QString cannotReadAutomatic = QStringLiteral("Could not read Mac automatic brightness");
const QString cannotToggleAutomatic = QStringLiteral("Could not toggle Mac automatic brightness");
const char* const ambientKey = "ambient-enabled";

QAtomicInteger<quint64> connectionCounter;

std::optional<long long> readNumber(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    bool ok = false;
    const long long value = file.read(64).trimmed().toLongLong(&ok);
    if (!ok) {
        return std::nullopt;
    }
    return value;
}

int typeRank(const QString& folder) {
    QFile file(folder + "/type");
    const QByteArray type = file.open(QIODevice::ReadOnly) ? file.read(32).trimmed() : "raw";
    if (type == "firmware") {
        return 0;
    }
    if (type == "platform") {
        return 1;
    }
    return 2;
}

// The compiled schema, or null when the desktop has no such setting. Caller unrefs.
GSettingsSchema* lookUpSchema(const QString& directory, const QString& id) {
    GSettingsSchemaSource* installed = g_settings_schema_source_get_default();
    GSettingsSchemaSource* source = installed ? g_settings_schema_source_ref(installed) : nullptr;
    if (!directory.isEmpty()) {
        GError* error = nullptr;
        GSettingsSchemaSource* extra = g_settings_schema_source_new_from_directory(
            QFile::encodeName(directory).constData(), source, FALSE, &error);
        if (extra == nullptr) {
            logLine("Settings schemas in %s unreadable: %s", qUtf8Printable(directory),
                    error ? error->message : "unknown error");
            g_clear_error(&error);
        } else {
            if (source) {
                g_settings_schema_source_unref(source);
            }
            source = extra;
        }
    }
    if (source == nullptr) {
        return nullptr;
    }
    GSettingsSchema* schema =
        g_settings_schema_source_lookup(source, id.toUtf8().constData(), TRUE);
    g_settings_schema_source_unref(source);
    if (schema != nullptr && !g_settings_schema_has_key(schema, ambientKey)) {
        g_settings_schema_unref(schema);
        return nullptr;
    }
    return schema;
}

}  // namespace

BacklightBrightness::BacklightBrightness() : BacklightBrightness(Options{}) {
}

BacklightBrightness::BacklightBrightness(Options options) : options_(std::move(options)) {
    if (options_.systemBusAddress.isEmpty()) {
        connectionName_ = QDBusConnection::systemBus().name();
    } else {
        connectionName_ =
            QStringLiteral("quorvel-backlight-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
        QDBusConnection::connectToBus(options_.systemBusAddress, connectionName_);
    }
}

BacklightBrightness::~BacklightBrightness() {
    if (connectionName_.startsWith(QLatin1String("quorvel-backlight-"))) {
        QDBusConnection::disconnectFromBus(connectionName_);
    }
}

BacklightBrightness::Panel BacklightBrightness::panel() const {
    const QDir root(options_.sysfsRoot);
    QStringList names =
        root.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    if (names.isEmpty()) {
        throw ActionError::failed(unavailable);
    }
    std::stable_sort(names.begin(), names.end(), [&](const QString& a, const QString& b) {
        return typeRank(root.filePath(a)) < typeRank(root.filePath(b));
    });
    return {names.constFirst(), root.filePath(names.constFirst())};
}

double BacklightBrightness::level() {
    const Panel device = panel();
    const auto current = readNumber(device.folder + "/brightness");
    const auto maximum = readNumber(device.folder + "/max_brightness");
    if (!current || !maximum || *maximum <= 0) {
        throw ActionError::failed(unreadable);
    }
    return std::clamp(static_cast<double>(*current) / static_cast<double>(*maximum), 0.0, 1.0);
}

void BacklightBrightness::setLevel(double level) {
    const Panel device = panel();
    const auto current = readNumber(device.folder + "/brightness");
    const auto maximum = readNumber(device.folder + "/max_brightness");
    if (!current || !maximum || *maximum <= 0) {
        throw ActionError::failed(unreadable);
    }
    const double target = std::clamp(level, 0.0, 1.0);
    long long raw = std::llround(target * static_cast<double>(*maximum));
    // Panels with few steps (some have 7 or 15) would swallow a 5 % change entirely.
    const double currentLevel = static_cast<double>(*current) / static_cast<double>(*maximum);
    if (raw == *current && std::abs(target - currentLevel) > 1e-9) {
        raw += target > currentLevel ? 1 : -1;
    }
    raw = std::clamp(raw, 0LL, *maximum);

    QDBusMessage call =
        QDBusMessage::createMethodCall("org.freedesktop.login1", options_.sessionPath,
                                       "org.freedesktop.login1.Session", "SetBrightness");
    call << QStringLiteral("backlight") << device.name << static_cast<quint32>(raw);
    const QDBusMessage reply =
        QDBusConnection(connectionName_)
            .call(call, QDBus::Block, static_cast<int>(options_.callTimeout.count()));
    if (reply.type() == QDBusMessage::ReplyMessage) {
        return;
    }
    // Without a logind session (a root service, a plain console) the file itself may still be
    // writable.
    QFile file(device.folder + "/brightness");
    if (file.open(QIODevice::WriteOnly) && file.write(QByteArray::number(raw)) > 0 &&
        file.flush()) {
        return;
    }
    logLine("Backlight %s not set: %s", qUtf8Printable(device.name),
            qUtf8Printable(reply.errorMessage()));
    throw ActionError::failed(cannotChange);
}

bool BacklightBrightness::hasAmbientLightSensor() const {
    QDBusMessage get =
        QDBusMessage::createMethodCall("net.hadess.SensorProxy", "/net/hadess/SensorProxy",
                                       "org.freedesktop.DBus.Properties", "Get");
    get << QStringLiteral("net.hadess.SensorProxy") << QStringLiteral("HasAmbientLight");
    const QDBusMessage reply =
        QDBusConnection(connectionName_)
            .call(get, QDBus::Block, static_cast<int>(options_.callTimeout.count()));
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

GSettings* BacklightBrightness::ambientSettings() const {
    GSettingsSchema* schema = lookUpSchema(options_.schemaDirectory, options_.settingsSchema);
    if (schema == nullptr || !hasAmbientLightSensor()) {
        if (schema) {
            g_settings_schema_unref(schema);
        }
        throw ActionError::failed(noAutomatic);
    }
    GSettings* settings = g_settings_new_full(schema, nullptr, nullptr);
    g_settings_schema_unref(schema);
    return settings;
}

bool BacklightBrightness::automatic() {
    GSettings* settings = ambientSettings();
    if (settings == nullptr) {
        throw ActionError::failed(cannotReadAutomatic);
    }
    const bool on = g_settings_get_boolean(settings, ambientKey) != FALSE;
    g_object_unref(settings);
    return on;
}

void BacklightBrightness::setAutomatic(bool on) {
    GSettings* settings = ambientSettings();
    const bool written =
        settings != nullptr && g_settings_set_boolean(settings, ambientKey, on ? TRUE : FALSE);
    if (settings) {
        g_settings_sync();
        g_object_unref(settings);
    }
    if (!written) {
        throw ActionError::failed(cannotToggleAutomatic);
    }
}

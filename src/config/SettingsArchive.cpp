#include "config/SettingsArchive.h"

#include "artwork/ImageLoading.h"
#include "artwork/LucideIcons.h"
#include "config/ConfigurationJson.h"
#include "config/DefaultConfiguration.h"
#include "config/SettingsBundleFolder.h"
#include "core/ActionError.h"

#include <QFile>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

using nlohmann::json;

namespace {

[[noreturn]] void fail(const QString& message) {
    throw ActionError::failed(message);
}

QString scopeText(SettingsArchive::Scope scope) {
    return scope == SettingsArchive::Scope::scene ? QStringLiteral("scene")
                                                  : QStringLiteral("device");
}

std::string utf8(const QString& text) {
    return text.toStdString();
}

// A manifest that the JSON reader refuses: the common message, then what exactly was wrong, so
// that someone who wrote the file by hand can mend it.
[[noreturn]] void unreadableManifest(const QString& detail) {
    fail(SettingsArchive::invalidFileMessage() + QStringLiteral(": ") + detail);
}

const json& requiredKey(const json& root, const char* key) {
    const auto found = root.find(key);
    if (found == root.end()) {
        unreadableManifest(
            QStringLiteral("the required key \"%1\" is missing").arg(QString::fromLatin1(key)));
    }
    return *found;
}

[[noreturn]] void wrongType(const char* key, const char* expected, const json& value) {
    unreadableManifest(QStringLiteral("\"%1\" must be %2, not %3")
                           .arg(QString::fromLatin1(key), QString::fromLatin1(expected),
                                QString::fromLatin1(value.type_name())));
}

QString stringKey(const json& root, const char* key) {
    const json& value = requiredKey(root, key);
    if (!value.is_string()) {
        wrongType(key, "a string", value);
    }
    return QString::fromStdString(value.get<std::string>());
}

int64_t integerKey(const json& root, const char* key) {
    const json& value = requiredKey(root, key);
    if (value.is_number_integer()) {
        // Unsigned values beyond 2^63 are out of every range checked later.
        if (value.is_number_unsigned() && value.get<uint64_t>() > uint64_t(INT64_MAX)) {
            return INT64_MAX;
        }
        return value.get<int64_t>();
    }
    if (value.is_number_float()) {
        const double number = value.get<double>();
        // Range first: converting a double beyond 64 bits to an integer is undefined.
        if (std::abs(number) < 9007199254740992.0 && std::trunc(number) == number) {
            return int64_t(number);
        }
        unreadableManifest(QStringLiteral("\"%1\" must be a whole number").arg(key));
    }
    wrongType(key, "an integer", value);
}

}  // namespace

QString SettingsArchive::invalidFileMessage() {
    return QStringLiteral("Invalid or unsupported Quorvel Zodovuvur settings file");
}

QString SettingsArchive::symbolicLinkMessage() {
    return QStringLiteral("Settings bundles cannot contain symbolic links or special files");
}

QString SettingsArchive::oversizedMessage() {
    return QStringLiteral("The settings file exceeds 64 MB");
}

QString SettingsArchive::scenePrefix(const QUuid& sceneID) {
    return assetsFolder() + QLatin1Char('/') + ConfigurationJson::uuidText(sceneID);
}

QString SettingsArchive::backgroundPath(const QUuid& sceneID) {
    return scenePrefix(sceneID) + QStringLiteral("/background.png");
}

QString SettingsArchive::imagePath(const QUuid& sceneID, int64_t control) {
    return scenePrefix(sceneID) + QStringLiteral("/%1.png").arg(control);
}

QSet<QString> SettingsArchive::assetReferences() const {
    QSet<QString> references;
    for (const QuorvelScene& scene : scenes) {
        if (scene.backgroundPath) {
            references.insert(*scene.backgroundPath);
        }
        for (const Binding& binding : scene.keys) {
            if (binding.imagePath) {
                references.insert(*binding.imagePath);
            }
        }
    }
    return references;
}

void SettingsArchive::validateStructure() const {
    if (format != QLatin1String("Quorvel") || version != 2 || scenes.isEmpty() ||
        scenes.size() > maximumScenes || (scope == Scope::scene && scenes.size() != 1) ||
        brightness < 0 || brightness > 100) {
        fail(invalidFileMessage());
    }
    QSet<QUuid> ids;
    for (const QuorvelScene& scene : scenes) {
        ids.insert(scene.id);
    }
    if (ids.size() != scenes.size() || !ids.contains(activeSceneID)) {
        fail(invalidFileMessage());
    }

    QSet<int64_t> controls;
    const QList<Binding> defaults = DefaultConfiguration::bindings(kind);
    for (const Binding& binding : defaults) {
        controls.insert(binding.id);
    }
    for (const QuorvelScene& scene : scenes) {
        QSet<int64_t> present;
        for (const Binding& binding : scene.keys) {
            present.insert(binding.id);
        }
        if (present != controls || scene.keys.size() != defaults.size()) {
            fail(QStringLiteral("The scene controls do not match this device type"));
        }
    }
    // Exact paths only: no "..", no other scene's folder, no other control's picture.
    for (const QuorvelScene& scene : scenes) {
        if (scene.backgroundPath && *scene.backgroundPath != backgroundPath(scene.id)) {
            fail(QStringLiteral("Invalid artwork path in settings bundle"));
        }
        for (const Binding& binding : scene.keys) {
            if (binding.imagePath && *binding.imagePath != imagePath(scene.id, binding.id)) {
                fail(QStringLiteral("Invalid artwork path in settings bundle"));
            }
        }
    }
}

void SettingsArchive::validate() const {
    validateStructure();
    const QSet<QString> references = assetReferences();
    int64_t total = 0;
    bool fits = images.size() <= maximumImages;
    for (auto image = images.cbegin(); fits && image != images.cend(); ++image) {
        total += image.value().size();
        fits = references.contains(image.key()) && image.value().size() <= ImageLoading::maxBytes &&
               total <= maximumFileSize;
    }
    if (!fits) {
        fail(QStringLiteral("Missing artwork or oversized settings file"));
    }
}

QByteArray SettingsArchive::manifest() const {
    json sceneList = json::array();
    for (const QuorvelScene& scene : scenes) {
        // The plain json type keeps its object keys sorted, at every level.
        sceneList.push_back(json(ConfigurationJson::toJson(scene)));
    }
    json root = json::object();
    root["activeSceneID"] = utf8(ConfigurationJson::uuidText(activeSceneID));
    root["brightness"] = brightness;
    root["followMac"] = followMac;
    root["format"] = utf8(format);
    root["kind"] = utf8(kind.rawValue());
    root["scenes"] = std::move(sceneList);
    root["scope"] = utf8(scopeText(scope));
    root["version"] = version;
    const std::string text = root.dump(2, ' ', false, json::error_handler_t::replace);
    return QByteArray::fromStdString(text);
}

SettingsArchive SettingsArchive::fromManifest(const QByteArray& bytes) {
    json root;
    try {
        root = ConfigurationJson::parse(bytes);
    } catch (const ActionError& error) {
        unreadableManifest(error.message());
    }
    if (!root.is_object()) {
        unreadableManifest(QStringLiteral("the manifest must be a JSON object, not %1")
                               .arg(QString::fromLatin1(root.type_name())));
    }
    SettingsArchive archive;
    try {
        const QString active = stringKey(root, "activeSceneID");
        const std::optional<QUuid> activeID = ConfigurationJson::uuidFromText(active);
        if (!activeID) {
            unreadableManifest(QStringLiteral("\"activeSceneID\" must be a UUID"));
        }
        archive.activeSceneID = *activeID;
        archive.brightness = integerKey(root, "brightness");
        const json& follow = requiredKey(root, "followMac");
        if (!follow.is_boolean()) {
            wrongType("followMac", "a Boolean", follow);
        }
        archive.followMac = follow.get<bool>();
        archive.format = stringKey(root, "format");
        const std::optional<DeviceKind> kind = DeviceKind::fromRawValue(stringKey(root, "kind"));
        if (!kind) {
            unreadableManifest(QStringLiteral("\"kind\" must be \"mountain\" or \"msdTwo\""));
        }
        archive.kind = *kind;
        const json& sceneList = requiredKey(root, "scenes");
        if (!sceneList.is_array()) {
            wrongType("scenes", "an array", sceneList);
        }
        // Counted before the scenes are read: a manifest of a million scenes is refused
        // without building them.
        if (sceneList.empty() || sceneList.size() > size_t(maximumScenes)) {
            fail(invalidFileMessage());
        }
        for (size_t index = 0; index < sceneList.size(); ++index) {
            archive.scenes.append(ConfigurationJson::sceneFromJson(
                sceneList[index], QStringLiteral("scenes[%1]").arg(index)));
        }
        const QString scope = stringKey(root, "scope");
        if (scope != QLatin1String("scene") && scope != QLatin1String("device")) {
            unreadableManifest(QStringLiteral("\"scope\" must be \"scene\" or \"device\""));
        }
        archive.scope = scope == QLatin1String("scene") ? Scope::scene : Scope::device;
        archive.version = integerKey(root, "version");
    } catch (const ActionError& error) {
        if (error.message().startsWith(invalidFileMessage())) {
            throw;
        }
        unreadableManifest(error.message());
    } catch (const json::exception& error) {
        unreadableManifest(QString::fromUtf8(error.what()));
    }
    archive.validateStructure();
    return archive;
}

void SettingsArchive::write(const QString& path) const {
    validate();
    const QByteArray json = manifest();
    const std::optional<QString> licensePath = LucideIcons::licensePath();
    if (!licensePath) {
        fail(QStringLiteral("Missing Lucide license; cannot export artwork"));
    }
    QFile licenseFile(*licensePath);
    if (!licenseFile.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("Could not read the Lucide license “%1”: %2")
                 .arg(*licensePath, licenseFile.errorString()));
    }
    const QByteArray license = licenseFile.readAll();
    int64_t total = json.size() + license.size();
    for (const QByteArray& image : images) {
        total += image.size();
    }
    if (total > maximumFileSize) {
        fail(QStringLiteral("The exported bundle exceeds 64 MB"));
    }

    QStringList folders{assetsFolder()};
    QList<QPair<QString, QByteArray>> files{{manifestName(), json},
                                            {LucideIcons::licenseFileName(), license}};
    const QSet<QString> references = assetReferences();
    qsizetype written = 0;
    for (const QuorvelScene& scene : scenes) {
        const QString prefix = scenePrefix(scene.id) + QLatin1Char('/');
        folders.append(scenePrefix(scene.id));
        for (const QString& reference : references) {
            if (!reference.startsWith(prefix)) {
                continue;
            }
            const auto image = images.constFind(reference);
            if (image == images.cend()) {
                fail(QStringLiteral("Missing artwork in settings bundle"));
            }
            files.append({reference, *image});
            ++written;
        }
    }
    if (written != images.size()) {
        fail(QStringLiteral("Missing artwork in settings bundle"));
    }
    SettingsBundleFolder::write(path, folders, files);
}

SettingsArchive SettingsArchive::read(const QString& path) {
    const SettingsBundleFolder folder(path);
    const QByteArray json = folder.readFile(manifestName(), maximumFileSize, oversizedMessage());
    SettingsArchive archive = fromManifest(json);
    folder.requireFolder(assetsFolder());
    for (const QuorvelScene& scene : archive.scenes) {
        folder.requireFolder(scenePrefix(scene.id));
    }
    int64_t budget = maximumFileSize - json.size();
    // In a fixed order, so that the same bundle always fails at the same file.
    QList<QString> references = archive.assetReferences().values();
    std::sort(references.begin(), references.end());
    for (const QString& reference : references) {
        const int64_t allowed = std::min<int64_t>(ImageLoading::maxBytes, budget);
        QByteArray bytes = folder.readFile(reference, allowed, oversizedMessage());
        budget -= bytes.size();
        archive.images.insert(reference, std::move(bytes));
    }
    archive.validate();
    return archive;
}

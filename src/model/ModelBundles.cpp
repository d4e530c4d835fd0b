#include "model/Model.h"

#include "actions/ActionCatalog.h"
#include "artwork/Artwork.h"
#include "artwork/ImageLoading.h"
#include "config/ConfigurationJson.h"
#include "config/DurableWrite.h"
#include "core/MainThread.h"
#include "core/SerialQueue.h"

#include <QDir>
#include <QFileInfo>

// Everything an import carries from the worker thread to the main thread. Filled on the worker
// before it hops, only read on the main thread afterwards.
struct Model::PreparedImport {
    SettingsArchive archive;
    // The pictures as this program encoded them, by bundle path; the bundle's own bytes never
    // reach the disk.
    QMap<QString, QByteArray> reencoded;
    // Where the pictures were written, by bundle path.
    QMap<QString, QString> written;
    QString error;
};

namespace {

// Decodes every picture of the bundle through the bounded loader and encodes it again, so that
// a crafted file (a PNG with a hostile chunk, a decompression bomb) is either refused here or
// rewritten by our own encoder. Any thread.
QMap<QString, QByteArray> reencodeImages(const SettingsArchive& archive) {
    QMap<QString, QByteArray> result;
    for (auto image = archive.images.cbegin(); image != archive.images.cend(); ++image) {
        const std::optional<QByteArray> png = Artwork::png(ImageLoading::image(image.value()));
        if (!png) {
            throw ActionError::failed(QStringLiteral("Invalid artwork in settings file"));
        }
        result.insert(image.key(), *png);
    }
    return result;
}

// Writes the pictures under fresh names in `folder`; files already written stay when one fails.
// Any thread.
QMap<QString, QString> writeImages(const QString& folder, const QMap<QString, QByteArray>& images) {
    if (!QDir().mkpath(folder)) {
        throw ActionError::failed(QStringLiteral("Could not create the folder “%1”")
                                      .arg(QDir::toNativeSeparators(folder)));
    }
    QMap<QString, QString> written;
    for (auto image = images.cbegin(); image != images.cend(); ++image) {
        const QString path = QDir(folder).absoluteFilePath(
            ConfigurationJson::uuidText(QUuid::createUuid()) + QStringLiteral(".png"));
        writeFileDurably(path, image.value());
        written.insert(image.key(), path);
    }
    return written;
}

bool runsCommands(const QString& action) {
    static const QStringList names = {QStringLiteral("Shell script"), QStringLiteral("AppleScript"),
                                      QStringLiteral("Open application")};
    return names.contains(ActionCatalog::action(action).name());
}

}  // namespace

void Model::setDialogs(std::shared_ptr<ModelDialogs> dialogs) {
    dialogs_ = std::move(dialogs);
}

QString Model::imagesFolder() const {
    return QFileInfo(configURL()).absoluteDir().filePath(QStringLiteral("Images"));
}

SerialQueue& Model::workQueue() {
    if (!workQueue_) {
        workQueue_ = std::make_unique<SerialQueue>(QStringLiteral("Quorvel.import"));
    }
    return *workQueue_;
}

bool Model::hasConfiguredControls() const {
    for (const QuorvelScene& scene : scenes_) {
        if (scene.backgroundPath) {
            return true;
        }
        for (const Binding& binding : scene.keys) {
            if (binding.action != QLatin1String("None") || binding.imagePath) {
                return true;
            }
        }
    }
    return false;
}

int Model::commandBindingCount(const SettingsArchive& archive) {
    int count = 0;
    for (const QuorvelScene& scene : archive.scenes) {
        for (const Binding& binding : scene.keys) {
            count += runsCommands(binding.action) ? 1 : 0;
        }
    }
    return count;
}

QString Model::commandsRefusedMessage(int count) {
    return QStringLiteral(
               "The settings file has %1 bindings that run commands or open "
               "applications; they are imported only when allowed")
        .arg(count);
}

QString Model::suggestedExportName(DeviceKind kind, bool sceneOnly) {
    return sceneOnly ? QStringLiteral("Quorvel Zodovuvur Scene.quorvel")
                     : QStringLiteral("Quorvel Zodovuvur %1.quorvel").arg(kind.name());
}

SettingsArchive Model::makeArchive(bool sceneOnly) const {
    const bool mountain = kind_ == DeviceKind::mountain;
    const QSize backgroundSize = mountain ? QSize(612, 204) : QSize(320, 240);
    const int keySide = mountain ? Artwork::displayPadKeySize : 64;

    SettingsArchive archive;
    archive.kind = kind_;
    archive.scope = sceneOnly ? SettingsArchive::Scope::scene : SettingsArchive::Scope::device;
    archive.scenes = sceneOnly ? QList<QuorvelScene>{activeScene()} : scenes_;
    archive.activeSceneID = activeScene().id;
    archive.brightness = displayBrightness_;
    archive.followMac = padFollowMac_;
    const auto store = [&](const QString& path, const QImage& image, QSize size) {
        const std::optional<QByteArray> png = Artwork::png(image, size.width(), size.height());
        if (!png) {
            throw ActionError::failed(QStringLiteral("Could not export artwork"));
        }
        archive.images.insert(path, *png);
        return path;
    };
    for (QuorvelScene& scene : archive.scenes) {
        if (scene.backgroundPath) {
            scene.backgroundPath = store(
                SettingsArchive::backgroundPath(scene.id),
                ImageLoading::image(QUrl::fromLocalFile(*scene.backgroundPath)), backgroundSize);
        }
        for (Binding& binding : scene.keys) {
            std::optional<QImage> image;
            if (binding.imagePath) {
                image = ImageLoading::image(QUrl::fromLocalFile(*binding.imagePath));
            } else {
                image = actionIcon(binding);
            }
            binding.imagePath.reset();
            if (image && !image->isNull()) {
                binding.imagePath = store(SettingsArchive::imagePath(scene.id, binding.id), *image,
                                          QSize(keySide, keySide));
            }
        }
    }
    archive.validate();
    return archive;
}

void Model::exportSettings(bool sceneOnly) {
    if (!dialogs_) {
        setMessage(QStringLiteral("Exporting needs the configuration window"));
        return;
    }
    if (const std::optional<QString> path =
            dialogs_->chooseExportPath(suggestedExportName(kind_, sceneOnly))) {
        exportSettings(sceneOnly, *path);
    }
}

bool Model::exportSettings(bool sceneOnly, const QString& path) {
    try {
        makeArchive(sceneOnly).write(path);
    } catch (const std::exception& error) {
        setMessage(failureText(error));
        return false;
    }
    setMessage(sceneOnly ? QStringLiteral("Scene exported with artwork")
                         : QStringLiteral("Device settings exported with artwork"));
    return true;
}

void Model::importSettings() {
    if (!dialogs_) {
        setMessage(QStringLiteral("Importing needs the configuration window"));
        return;
    }
    if (const std::optional<QString> path = dialogs_->chooseBundle()) {
        importSettings(*path);
    }
}

void Model::importSettings(const QString& path) {
    importSettings(path, ImportRequest{}, {});
}

void Model::importDroppedSettings(const QString& path) {
    if (!connected_ || shuttingDown_) {
        setMessage(QStringLiteral("Connect the selected device before importing settings"));
        return;
    }
    importSettings(path);
}

void Model::importSettings(const QString& path, ImportRequest request,
                           ImportCompletion completion) {
    auto prepared = std::make_shared<PreparedImport>();
    const DeviceKind kind = kind_;
    // Reading up to 64 MiB and decoding thousands of pictures would stall the pads and the
    // window; only the answer comes back to the main thread.
    workQueue().async([this, prepared, path, kind, request, completion] {
        try {
            prepared->archive = SettingsArchive::read(path);
            if (!(prepared->archive.kind == kind)) {
                throw ActionError::failed(
                    QStringLiteral("This file is for %1; select that device before importing")
                        .arg(prepared->archive.kind.name()));
            }
            prepared->reencoded = reencodeImages(prepared->archive);
        } catch (const std::exception& error) {
            prepared->error = failureText(error);
        }
        runOnMain(this, [this, prepared, request, completion] {
            decideImport(prepared, request, completion);
        });
    });
}

void Model::decideImport(const std::shared_ptr<PreparedImport>& prepared, ImportRequest request,
                         ImportCompletion completion) {
    if (!prepared->error.isEmpty()) {
        finishImport(completion, false, prepared->error);
        return;
    }
    const SettingsArchive& archive = prepared->archive;
    const int commands = commandBindingCount(archive);
    std::optional<ImportMode> mode = request.mode;
    if (mode) {
        if (commands > 0 && !request.allowCommands) {
            finishImport(completion, false, commandsRefusedMessage(commands));
            return;
        }
    } else if (!hasConfiguredControls() && (commands == 0 || request.allowCommands)) {
        mode = ImportMode::replace;
    } else if (!dialogs_) {
        finishImport(completion, false,
                     QStringLiteral("Adding scenes or replacing the device settings is chosen "
                                    "in the configuration window, which is not open"));
        return;
    } else {
        QString informative =
            QStringLiteral(
                "Add %1 imported scenes, keeping current scenes and brightness "
                "settings, or replace all scenes and brightness settings with those in "
                "the file.")
                .arg(archive.scenes.size());
        // The user must know before a stranger's file can start programs from a key press.
        if (commands > 0) {
            informative += QStringLiteral(" %1 of its bindings run commands or open applications.")
                               .arg(commands);
        }
        switch (dialogs_->askImportMode(QStringLiteral("Import settings for %1").arg(deviceName_),
                                        informative)) {
            case ModelDialogs::ImportChoice::addScenes:
                mode = ImportMode::add;
                break;
            case ModelDialogs::ImportChoice::replaceDeviceSettings:
                mode = ImportMode::replace;
                break;
            case ModelDialogs::ImportChoice::cancel:
                if (completion) {
                    completion(false, QString());
                }
                return;
        }
    }
    writeImport(prepared, *mode, std::move(completion));
}

void Model::checkApplicable(const SettingsArchive& archive, ImportMode mode) const {
    archive.validate();
    if (!(archive.kind == kind_)) {
        throw ActionError::failed(QStringLiteral("Device types do not match"));
    }
    if (mode == ImportMode::add &&
        scenes_.size() + archive.scenes.size() > SettingsArchive::maximumScenes) {
        throw ActionError::failed(
            QStringLiteral("Adding these scenes would exceed the 256-scene export limit"));
    }
}

void Model::writeImport(const std::shared_ptr<PreparedImport>& prepared, ImportMode mode,
                        ImportCompletion completion) {
    try {
        checkApplicable(prepared->archive, mode);
    } catch (const std::exception& error) {
        finishImport(completion, false, failureText(error));
        return;
    }
    const QString folder = imagesFolder();
    workQueue().async([this, prepared, folder, mode, completion] {
        try {
            prepared->written = writeImages(folder, prepared->reencoded);
        } catch (const std::exception& error) {
            prepared->error = failureText(error);
        }
        runOnMain(this, [this, prepared, mode, completion] {
            if (!prepared->error.isEmpty()) {
                finishImport(completion, false, prepared->error);
                return;
            }
            try {
                // The device may have changed while the pictures were written.
                checkApplicable(prepared->archive, mode);
            } catch (const std::exception& error) {
                finishImport(completion, false, failureText(error));
                return;
            }
            const bool saved = commitImport(prepared->archive, prepared->written, mode);
            if (completion) {
                completion(saved, message_);
            }
        });
    });
}

void Model::finishImport(const ImportCompletion& completion, bool imported,
                         const QString& message) {
    setMessage(message);
    if (completion) {
        completion(imported, message);
    }
}

void Model::applyArchive(const SettingsArchive& archive, ImportMode mode) {
    checkApplicable(archive, mode);
    const QMap<QString, QString> written = writeImages(imagesFolder(), reencodeImages(archive));
    if (!commitImport(archive, written, mode)) {
        throw ActionError::failed(message_);
    }
}

bool Model::commitImport(const SettingsArchive& archive, const QMap<QString, QString>& written,
                         ImportMode mode) {
    QList<QuorvelScene> imported = archive.scenes;
    const auto local = [&](std::optional<QString>& path) {
        if (path) {
            const auto file = written.constFind(*path);
            path = file == written.cend() ? std::nullopt : std::optional<QString>(*file);
        }
    };
    for (QuorvelScene& scene : imported) {
        local(scene.backgroundPath);
        for (Binding& binding : scene.keys) {
            local(binding.imagePath);
        }
    }

    setRecording(std::nullopt);
    if (imagePicker_) {
        imagePicker_->close();
        imagePicker_.reset();
    }
    if (mode == ImportMode::add) {
        QUuid active;
        for (QuorvelScene& scene : imported) {
            const bool wasActive = scene.id == archive.activeSceneID;
            scene.id = QUuid::createUuid();
            if (wasActive) {
                active = scene.id;
            }
            // Script ids are unique across devices; the save hands out fresh ones.
            for (Binding& binding : scene.keys) {
                binding.scriptID.reset();
            }
        }
        setScenes(scenes_ + imported);
        if (!active.isNull()) {
            setActiveSceneID(active);
        }
    } else {
        setScenes(std::move(imported));
        setActiveSceneID(archive.activeSceneID);
        setPadFollowMac(archive.followMac);
        setDisplayBrightness(static_cast<int>(archive.brightness));
        if (display_) {
            display_->setBrightness(displayBrightness_, {});
        }
    }
    runtimeIcons_.clear();
    runtimeIconURLs_.clear();
    runtimeBadges_.clear();
    renderedKeys_.clear();
    renderedBackgrounds_.clear();
    if (!save()) {
        return false;
    }
    setMessage(mode == ImportMode::add
                   ? QStringLiteral("%1 scenes added").arg(archive.scenes.size())
                   : QStringLiteral("Device settings replaced"));
    return true;
}

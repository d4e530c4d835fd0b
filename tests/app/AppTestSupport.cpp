#include "AppTestSupport.h"

#include "app/VirtualPads.h"
#include "config/ConfigurationJson.h"
#include "config/DefaultConfiguration.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

QString virtualDisplayPadID() {
    return DeviceKind(DeviceKind::mountain)
        .identity(QString::fromLatin1(VirtualPads::displayPadSerial),
                  VirtualPads::displayPadLocation);
}

QString virtualMsdTwoID() {
    return DeviceKind(DeviceKind::msdTwo)
        .identity(QString::fromLatin1(VirtualPads::msdTwoSerial), VirtualPads::msdTwoLocation);
}

void writeDisplayPadScene(const QString& settingsRoot,
                          const std::function<void(QuorvelScene&)>& edit) {
    SavedConfiguration configuration;
    QuorvelScene scene = DefaultConfiguration::scene(DeviceKind::mountain);
    edit(scene);
    configuration.scenes.append(scene);
    configuration.activeSceneID = scene.id;

    const QDir folder(QDir(settingsRoot).filePath(virtualDisplayPadID()));
    ASSERT_TRUE(folder.mkpath(QStringLiteral(".")));
    QFile out(folder.filePath(QStringLiteral("bindings.json")));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(ConfigurationJson::encode(configuration));
}

void writeColoredKeyOne(const QString& settingsRoot, const QString& imageFolder,
                        const QColor& color) {
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(color);
    const QString imagePath = QDir(imageFolder).filePath(QStringLiteral("key-one.png"));
    ASSERT_TRUE(image.save(imagePath, "PNG"));
    writeDisplayPadScene(settingsRoot,
                         [&](QuorvelScene& scene) { scene.keys[0].imagePath = imagePath; });
}

QColor displayPadKeyColor(const QImage& picture, int key) {
    const int size = 102;
    const int index = key - 1;
    return picture.pixelColor(index % 6 * size + size / 2, index / 6 * size + size / 2);
}

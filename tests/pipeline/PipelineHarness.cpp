#include "PipelineHarness.h"

#include "config/ConfigurationJson.h"
#include "config/DefaultConfiguration.h"
#include "core/ActionError.h"

#include <QDir>
#include <QFile>

#include <algorithm>

#include <gtest/gtest.h>

double FakeMacBrightness::level() {
    std::lock_guard lock(mutex_);
    if (!level_) {
        throw ActionError::failed(
            QStringLiteral("This Mac display does not expose native brightness control"));
    }
    return *level_;
}

PipelineHarness::PipelineHarness() {
    auto manager = std::make_unique<SimulatedHidManager>();
    hid_ = manager.get();
    ModelEnvironment environment;
    environment.settingsRoot = root_.path();
    environment.padUsb = hid_->usb();
    environment.timing = quickSessionTiming();
    auto services = std::make_shared<PlatformServices>();
    services->displayBrightness = mac_;
    environment.services = services;
    store_ = std::make_unique<DeviceStore>(std::move(manager), std::move(environment));
}

PipelineHarness::~PipelineHarness() {
    store_->stop();
}

std::shared_ptr<VirtualDisplayPad> PipelineHarness::displayPad(uint32_t location,
                                                               const QString& serial) {
    return VirtualDisplayPad::create(location, serial);
}

std::shared_ptr<VirtualMsdTwo> PipelineHarness::msdTwo(uint32_t location, const QString& serial) {
    return VirtualMsdTwo::create(location, serial);
}

QString PipelineHarness::idOf(const VirtualPad& pad) {
    return pad.kind().identity(pad.info().serialNumber, pad.info().locationID.value_or(0));
}

Model* PipelineHarness::attach(const std::shared_ptr<VirtualPad>& pad) {
    if (!started_) {
        store_->start();
        started_ = true;
    }
    const std::vector<std::shared_ptr<VirtualPad>> pads = hid_->pads();
    const bool known = std::find(pads.begin(), pads.end(), pad) != pads.end();
    if (known) {
        hid_->plug(pad);
    } else {
        hid_->add(pad);
    }
    const QString id = idOf(*pad);
    const QString ready = pad->kind().name() + QStringLiteral(" ready");
    const bool came = waitUntil([&] {
        Model* model = store_->model(id);
        return model && model->connection() &&
               model->connection()->belongsTo(pad->device().get()) && model->message() == ready;
    });
    EXPECT_TRUE(came) << "pad did not come up: "
                      << (store_->model(id) ? store_->model(id)->message().toStdString() : "");
    return store_->model(id);
}

void PipelineHarness::putScenes(const QString& deviceID, const SavedConfiguration& configuration) {
    QDir(root_.path()).mkpath(deviceID);
    QFile out(QDir(root_.path()).filePath(deviceID + QStringLiteral("/bindings.json")));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(ConfigurationJson::encode(configuration));
}

QByteArray PipelineHarness::readFile(const QString& deviceID, const char* name) const {
    QFile in(QDir(root_.path()).filePath(deviceID + u'/' + QString::fromLatin1(name)));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

QString PipelineHarness::solidImage(const QString& name, const QColor& color) const {
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(color);
    const QString path = QDir(root_.path()).filePath(name + QStringLiteral(".png"));
    EXPECT_TRUE(image.save(path, "PNG"));
    return path;
}

bool near(const QColor& actual, const QColor& expected, int tolerance) {
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

QColor keyColor(const VirtualDisplayPad& pad, int key) {
    const QImage image = pad.keyImage(key);
    return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
}

QColor buttonColor(const VirtualMsdTwo& pad, int key) {
    const QImage image = pad.buttonImage(key);
    return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
}

SavedConfiguration coloredScenes(const PipelineHarness& harness, DeviceKind kind,
                                 const QList<QColor>& colors) {
    SavedConfiguration configuration;
    for (const QColor& color : colors) {
        QuorvelScene scene = DefaultConfiguration::scene(kind);
        scene.keys[0].imagePath = harness.solidImage(color.name().mid(1), color);
        configuration.scenes.append(scene);
    }
    configuration.activeSceneID = configuration.scenes.first().id;
    return configuration;
}

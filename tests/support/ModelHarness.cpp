#include "support/ModelHarness.h"

#include "actions/PlatformServices.h"
#include "app/VirtualPads.h"
#include "config/ConfigurationJson.h"
#include "config/DefaultConfiguration.h"
#include "core/ActionError.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>

SessionTiming quickSessionTiming() {
    SessionTiming timing;
    timing.activationTimeout = std::chrono::milliseconds(40);
#if defined(__SANITIZE_THREAD__)
    // Under ThreadSanitizer on a loaded machine a thread can wait over a second for a core.
    timing.imageTimeout = std::chrono::milliseconds(5000);
#else
    timing.imageTimeout = std::chrono::milliseconds(1000);
#endif
    timing.retryPause = std::chrono::milliseconds(2);
    timing.settlePause = std::chrono::milliseconds(2);
    timing.backgroundSettle = std::chrono::milliseconds(2);
    timing.borderRepairDelay = std::chrono::milliseconds(20);
    return timing;
}

double FakeMacBrightness::level() {
    std::lock_guard lock(mutex_);
    if (!level_) {
        throw ActionError::failed(
            QStringLiteral("This Mac display does not expose native brightness control"));
    }
    return *level_;
}

QList<int> RecordingInputPoster::pressedKeyCodes() const {
    QList<int> codes;
    for (const SyntheticKeyEvent& event : posted) {
        if (event.down) {
            codes << event.keyCode;
        }
    }
    return codes;
}

ModelHarness::ModelHarness() : services_(std::make_shared<PlatformServices>()) {
    services_->displayBrightness = mac_;
    services_->input = input;
    auto manager = std::make_unique<SimulatedHidManager>();
    hid_ = manager.get();
    store_ = std::make_unique<DeviceStore>(std::move(manager), environment());
}

ModelHarness::~ModelHarness() {
    store_->stop();
    pads_.reset();
}

ModelEnvironment ModelHarness::environment() const {
    ModelEnvironment environment;
    environment.settingsRoot = root_.path();
    environment.padUsb = hid_ ? hid_->usb() : nullptr;
    environment.timing = quickSessionTiming();
    environment.services = services_;
    return environment;
}

QString ModelHarness::idOf(const VirtualPad& pad) {
    return pad.kind().identity(pad.info().serialNumber, pad.info().locationID.value_or(0));
}

Model* ModelHarness::attach(const std::shared_ptr<VirtualPad>& pad) {
    if (!started_) {
        store_->start();
        started_ = true;
    }
    const auto pads = hid_->pads();
    std::find(pads.begin(), pads.end(), pad) != pads.end() ? hid_->plug(pad) : hid_->add(pad);
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

VirtualPads& ModelHarness::standardPads() {
    pads_ = std::make_unique<VirtualPads>(*hid_);
    pads_->addStandardPads();
    if (!started_) {
        store_->start();
        started_ = true;
    }
    const QList<VirtualPads::Listing> listed = pads_->list();
    EXPECT_TRUE(waitUntil([&] {
        return std::all_of(listed.begin(), listed.end(), [&](const VirtualPads::Listing& pad) {
            const Model* model = store_->model(pad.deviceID);
            return model && model->message().endsWith(QStringLiteral(" ready"));
        });
    })) << "the virtual pads did not come up";
    return *pads_;
}

Model* ModelHarness::modelOf(const QString& padName) const {
    for (const VirtualPads::Listing& listing : pads_->list()) {
        if (listing.name == padName) {
            return store_->model(listing.deviceID);
        }
    }
    return nullptr;
}

std::unique_ptr<Model> ModelHarness::model(DeviceKind kind, const SavedConfiguration& configuration,
                                           const QString& id) {
    if (!configuration.scenes.isEmpty()) {
        putScenes(id, configuration);
    }
    return std::make_unique<Model>(id, kind, kind.name(), environment());
}

void ModelHarness::putScenes(const QString& deviceID, const SavedConfiguration& configuration) {
    QDir(root_.path()).mkpath(deviceID);
    QFile out(QDir(root_.path()).filePath(deviceID + QStringLiteral("/bindings.json")));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(ConfigurationJson::encode(configuration));
}

QByteArray ModelHarness::readFile(const QString& deviceID, const char* name) const {
    return ::readFile(QDir(root_.path()).filePath(deviceID + u'/' + QString::fromLatin1(name)));
}

SavedConfiguration ModelHarness::stored(const QString& deviceID) const {
    return ConfigurationJson::decodeConfiguration(readFile(deviceID, "bindings.json"));
}

QString ModelHarness::solidImage(const QString& name, const QColor& color) const {
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(color);
    const QString path = QDir(root_.path()).filePath(name + QStringLiteral(".png"));
    EXPECT_TRUE(image.save(path, "PNG"));
    return path;
}

static QColor centre(const QImage& image) {
    return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
}

QColor keyColor(const VirtualDisplayPad& pad, int key) {
    return centre(pad.keyImage(key));
}

QColor buttonColor(const VirtualMsdTwo& pad, int key) {
    return centre(pad.buttonImage(key));
}

SavedConfiguration coloredScenes(const ModelHarness& harness, DeviceKind kind,
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

SavedConfiguration keystrokeScenes(DeviceKind kind, int sceneCount) {
    SavedConfiguration configuration;
    for (int index = 0; index < sceneCount; ++index) {
        QuorvelScene scene = DefaultConfiguration::scene(kind);
        for (Binding& binding : scene.keys) {
            binding.action = QStringLiteral("Keystroke");
            binding.keyCode = static_cast<uint16_t>(binding.id);
            binding.recordedShortcut = QStringLiteral("Key %1").arg(binding.id);
        }
        configuration.scenes << scene;
    }
    configuration.activeSceneID = configuration.scenes.first().id;
    return configuration;
}

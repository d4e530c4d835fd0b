// What the display pipeline and the store cost on the main thread: a refresh after one binding
// changed (one key drawn, eleven from the cache) against a refresh that must draw every key, and
// the time from a pad's input report to the model's control event through the store.
#include "actions/PlatformServices.h"
#include "config/ConfigurationJson.h"
#include "config/DefaultConfiguration.h"
#include "core/Log.h"
#include "core/MainThread.h"
#include "device/DeviceKind.h"
#include "device/virtual/SimulatedHidManager.h"
#include "device/virtual/VirtualDisplayPad.h"
#include "model/DeviceStore.h"
#include "model/Model.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

// A DisplayPad model whose twelve keys each show a photo-like artwork file.
struct ArtworkModel {
    QTemporaryDir root;
    QStringList paths;
    std::unique_ptr<Model> model;

    ArtworkModel() {
        SavedConfiguration configuration =
            DefaultConfiguration::configuration(DeviceKind::mountain);
        for (int key = 0; key < 12; ++key) {
            QImage image(512, 512, QImage::Format_RGB32);
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    image.setPixel(x, y, qRgb((x + key * 20) & 0xff, y & 0xff, (x ^ y) & 0xff));
                }
            }
            paths << root.filePath(QStringLiteral("key%1.png").arg(key + 1));
            image.save(paths.last(), "PNG");
            configuration.scenes[0].keys[key].imagePath = paths.last();
        }
        const QString id = QStringLiteral("mountain-bench");
        QDir(root.path()).mkpath(id);
        QFile file(QDir(root.path()).filePath(id + QStringLiteral("/bindings.json")));
        file.open(QIODevice::WriteOnly);
        file.write(ConfigurationJson::encode(configuration));
        file.close();
        model =
            std::make_unique<Model>(id, DeviceKind::mountain, QStringLiteral("Bench"), root.path());
    }

    // Gives key 1's artwork file a new modification time, as replacing it would.
    void touchKey1(qint64 step) {
        QFile file(paths.first());
        file.open(QIODevice::ReadWrite);
        file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(step),
                         QFileDevice::FileModificationTime);
    }
};

void BM_RefreshAfterOneBindingChanged(benchmark::State& state) {
    ArtworkModel bench;
    if (!bench.model->displayFrame()) {
        state.SkipWithError("no frame");
        return;
    }
    qint64 step = 0;
    for (auto _ : state) {
        state.PauseTiming();
        bench.touchKey1(++step);
        state.ResumeTiming();
        benchmark::DoNotOptimize(bench.model->displayFrame());
    }
    state.counters["cachedKeys"] = static_cast<double>(bench.model->renderedKeys().size());
}
BENCHMARK(BM_RefreshAfterOneBindingChanged)->Unit(benchmark::kMillisecond);

void BM_RefreshDrawingEveryKey(benchmark::State& state) {
    ArtworkModel bench;
    for (auto _ : state) {
        state.PauseTiming();
        bench.model->invalidateKeyImages();
        state.ResumeTiming();
        benchmark::DoNotOptimize(bench.model->displayFrame());
    }
}
BENCHMARK(BM_RefreshDrawingEveryKey)->Unit(benchmark::kMillisecond);

// From the virtual pad's key-state report to the performed action: the HID manager's hop to the
// main thread, the store's routing, the session's look at the report, decoding and dispatch.
void BM_InputReportToPerformedAction(benchmark::State& state) {
    QTemporaryDir root;
    auto manager = std::make_unique<SimulatedHidManager>();
    SimulatedHidManager* hid = manager.get();
    ModelEnvironment environment;
    environment.settingsRoot = root.path();
    environment.padUsb = hid->usb();
    DeviceStore store(std::move(manager), environment);
    auto pad = VirtualDisplayPad::create(0x01230000);
    store.start();
    hid->add(pad);
    Model* model = nullptr;
    if (!pump([&] {
            model = store.devices().isEmpty() ? nullptr : store.devices().first();
            return model && model->message() == QStringLiteral("Mountain DisplayPad ready");
        })) {
        state.SkipWithError("pad did not come up");
        return;
    }
    // The model's own handler (the press runs its binding's action) is connected first, so this
    // counter sees the event after the action was performed.
    int events = 0;
    QObject::connect(model, &Model::controlEvent, [&events](int) { ++events; });
    std::vector<qint64> nanoseconds;
    QElapsedTimer clock;
    for (auto _ : state) {
        const int before = events;
        clock.start();
        pad->press(3);
        pump([&] { return events > before; });
        nanoseconds.push_back(clock.nsecsElapsed());
        state.PauseTiming();
        pad->release(3);
        pump([&] { return model->heldKeys().empty(); });
        state.ResumeTiming();
    }
    store.stop();
    if (!nanoseconds.empty()) {
        std::sort(nanoseconds.begin(), nanoseconds.end());
        const auto at = [&](double quantile) {
            const size_t index = static_cast<size_t>(quantile * (nanoseconds.size() - 1));
            return static_cast<double>(nanoseconds[index]) / 1000.0;
        };
        state.counters["p50_us"] = at(0.50);
        state.counters["p99_us"] = at(0.99);
    }
}
BENCHMARK(BM_InputReportToPerformedAction)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Iterations(2000);

// Runs the event loop until `condition` holds, resting briefly between looks: the pad receives
// on the session's thread, and a main thread spinning flat out would take the core it needs on a
// small machine. False after 10 s.
template <typename Condition>
bool await(Condition condition) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > 10000) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (!condition()) {
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    }
    return true;
}

// A virtual DisplayPad whose two scenes show a different photo-like artwork on each of their
// twelve keys; key 1 runs "Next scene" in both, so each press shows the other scene.
struct TwoSceneDisplayPad {
    static constexpr uint32_t location = 0x01230000;
    QTemporaryDir root;
    SimulatedHidManager* hid = nullptr;
    std::unique_ptr<DeviceStore> store;
    std::shared_ptr<VirtualDisplayPad> pad = VirtualDisplayPad::create(location);
    Model* model = nullptr;

    bool start() {
        SavedConfiguration configuration =
            DefaultConfiguration::configuration(DeviceKind::mountain);
        configuration.scenes.append(DefaultConfiguration::scene(DeviceKind::mountain));
        for (int scene = 0; scene < 2; ++scene) {
            for (int key = 0; key < 12; ++key) {
                QImage image(512, 512, QImage::Format_RGB32);
                for (int y = 0; y < image.height(); ++y) {
                    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                    for (int x = 0; x < image.width(); ++x) {
                        line[x] =
                            qRgb((x + key * 20) & 0xff, (y + scene * 90) & 0xff, (x ^ y) & 0xff);
                    }
                }
                const QString path =
                    root.filePath(QStringLiteral("s%1k%2.png").arg(scene).arg(key));
                image.save(path, "PNG");
                Binding& binding = configuration.scenes[scene].keys[key];
                binding.imagePath = path;
                if (key == 0) {
                    binding.action = QStringLiteral("Next scene");
                }
            }
        }
        const QString id =
            DeviceKind(DeviceKind::mountain).identity(QStringLiteral("VDP-1"), location);
        QDir(root.path()).mkpath(id);
        QFile file(QDir(root.path()).filePath(id + QStringLiteral("/bindings.json")));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(ConfigurationJson::encode(configuration)) <= 0) {
            return false;
        }
        file.close();

        auto manager = std::make_unique<SimulatedHidManager>();
        hid = manager.get();
        ModelEnvironment environment;
        environment.settingsRoot = root.path();
        environment.padUsb = hid->usb();
        store = std::make_unique<DeviceStore>(std::move(manager), environment);
        store->start();
        hid->add(pad);
        return await([&] {
            model = store->devices().isEmpty() ? nullptr : store->devices().first();
            return model && model->scenes().size() == 2 &&
                   model->message() == QStringLiteral("Mountain DisplayPad ready");
        });
    }
};

// From the "Next scene" key going down on the virtual DisplayPad to the last byte of the new
// scene's twelfth key arriving at the pad: input report, action, drawing (or the cache), and the
// upload of twelve keys. Cold: the drawn keys are forgotten before each press, so every key's
// file is read and drawn again; warm: both scenes' keys come from the cache.
void NextScene(benchmark::State& state, bool cold) {
    TwoSceneDisplayPad bench;
    if (!bench.start()) {
        state.SkipWithError("the pad did not come up with two scenes");
        return;
    }
    Model* model = bench.model;
    VirtualDisplayPad& pad = *bench.pad;
    int updates = 0;
    QObject::connect(model, &Model::displayUpdated, [&updates] { ++updates; });
    std::vector<qint64> nanoseconds;
    QElapsedTimer clock;
    for (auto _ : state) {
        state.PauseTiming();
        if (cold) {
            // The redraw of the scene on show is not part of the switch: wait it out.
            const int drawn = updates;
            model->invalidateKeyImages();
            await([&] { return updates > drawn; });
        }
        const int before = pad.imagesReceived();
        state.ResumeTiming();
        clock.start();
        pad.press(1);
        const bool arrived = await([&] { return pad.imagesReceived() >= before + 12; });
        nanoseconds.push_back(clock.nsecsElapsed());
        state.PauseTiming();
        pad.release(1);
        if (!arrived || !await([&] { return model->heldKeys().empty(); })) {
            state.SkipWithError("the new scene did not arrive");
            break;
        }
        state.ResumeTiming();
    }
    bench.store->stop();
    if (!nanoseconds.empty()) {
        std::sort(nanoseconds.begin(), nanoseconds.end());
        const auto at = [&](double quantile) {
            const size_t index = static_cast<size_t>(quantile * double(nanoseconds.size() - 1));
            return static_cast<double>(nanoseconds[index]) / 1e6;
        };
        state.counters["p50_ms"] = at(0.50);
        state.counters["p99_ms"] = at(0.99);
    }
}
BENCHMARK_CAPTURE(NextScene, cold, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(200);
BENCHMARK_CAPTURE(NextScene, warm, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(200);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return runBenchmarks<QGuiApplication>(argc, argv);
}

// What the display pipeline and the store cost on the main thread: a refresh after one binding
// changed (one key drawn, eleven from the cache) against a refresh that must draw every key, and
// the time from a pad's input report to the model's control event through the store.
#include "actions/PlatformServices.h"
#include "config/ConfigurationJson.h"
#include "config/DefaultConfiguration.h"
#include "core/Log.h"
#include "core/MainThread.h"
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
#include <memory>
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

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return runBenchmarks<QGuiApplication>(argc, argv);
}

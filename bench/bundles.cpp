// Settings bundles of a large device: a DisplayPad with 32 scenes and a 512 x 512 picture on
// every key. Export builds the bundle on the main thread; the import (add) reads, decodes and
// re-encodes on a worker and must leave the main thread free meanwhile, which the
// max_main_block_ms counter shows: the widest gap between the ticks of a 1 ms main-thread timer
// during the import.
#include "BenchSupport.h"

#include "config/ConfigurationJson.h"
#include "config/DefaultConfiguration.h"
#include "model/Model.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace {

constexpr int sceneCount = 32;

// A device folder with the 32 scenes laid down, and its pictures (one per key position, in
// distinct colours, drawn with a gradient so that they compress like real artwork).
struct LargeDevice {
    QTemporaryDir root;

    LargeDevice() {
        SavedConfiguration configuration;
        QStringList pictures;
        for (int key = 1; key <= 12; ++key) {
            QImage image(512, 512, QImage::Format_ARGB32);
            QPainter painter(&image);
            QLinearGradient gradient(0, 0, 512, 512);
            gradient.setColorAt(0, QColor::fromHsv(key * 30, 255, 255));
            gradient.setColorAt(1, QColor::fromHsv((key * 30 + 90) % 360, 200, 120));
            painter.fillRect(image.rect(), gradient);
            painter.drawText(image.rect(), Qt::AlignCenter, QString::number(key));
            painter.end();
            pictures << root.filePath(QStringLiteral("key%1.png").arg(key));
            image.save(pictures.last(), "PNG");
        }
        for (int scene = 0; scene < sceneCount; ++scene) {
            QuorvelScene each = DefaultConfiguration::scene(DeviceKind::mountain);
            for (int key = 0; key < 12; ++key) {
                each.keys[key].imagePath = pictures[key];
            }
            configuration.scenes.append(each);
        }
        configuration.activeSceneID = configuration.scenes.first().id;
        QDir(root.path()).mkpath(QStringLiteral("mountain-01"));
        QFile file(root.filePath(QStringLiteral("mountain-01/bindings.json")));
        file.open(QIODevice::WriteOnly);
        file.write(ConfigurationJson::encode(configuration));
    }
    std::unique_ptr<Model> model() const {
        return std::make_unique<Model>(QStringLiteral("mountain-01"), DeviceKind::mountain,
                                       QStringLiteral("Bench"), root.path());
    }
    QString bundle() const { return root.filePath(QStringLiteral("large.quorvel")); }
};

const LargeDevice& device() {
    static const LargeDevice shared;
    return shared;
}

void BM_ExportDevice(benchmark::State& state) {
    const std::unique_ptr<Model> model = device().model();
    for (auto _ : state) {
        if (!model->exportSettings(false, device().bundle())) {
            state.SkipWithError(qPrintable(model->message()));
            return;
        }
    }
}
BENCHMARK(BM_ExportDevice)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ImportAdd(benchmark::State& state) {
    if (!QDir(device().bundle()).exists()) {
        device().model()->exportSettings(false, device().bundle());
    }
    double longestBlock = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // A fresh device each time, so that every run adds 32 scenes to 32.
        QTemporaryDir copy;
        auto model = std::make_unique<Model>(QStringLiteral("mountain-01"), DeviceKind::mountain,
                                             QStringLiteral("Bench"), copy.path());
        state.ResumeTiming();

        bool done = false;
        QString message;
        // A tick every millisecond; the widest gap between two ticks is the longest time the
        // main thread could not answer (a window, a pad's input).
        QElapsedTimer gap;
        QTimer ticks;
        ticks.setInterval(1);
        QObject::connect(&ticks, &QTimer::timeout, [&] {
            longestBlock = std::max(longestBlock, gap.nsecsElapsed() / 1e6);
            gap.restart();
        });
        gap.start();
        ticks.start();
        model->importSettings(device().bundle(), {Model::ImportMode::add, false},
                              [&](bool, const QString& text) {
                                  done = true;
                                  message = text;
                              });
        while (!done) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        if (message != QStringLiteral("32 scenes added")) {
            state.SkipWithError(qPrintable(message));
            return;
        }
    }
    state.counters["max_main_block_ms"] = longestBlock;
}
BENCHMARK(BM_ImportAdd)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    // Text is drawn into the pictures, which needs a GUI application but never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    return runBenchmarks<QGuiApplication>(argc, argv);
}

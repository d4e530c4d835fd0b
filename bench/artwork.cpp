// Rendering cost of a full frame for each pad: the display pipeline draws changed keys on the
// main thread, so a whole frame must stay well inside one refresh.
#include "artwork/Artwork.h"
#include "artwork/MSDArtwork.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <array>

namespace {

QImage gradientWallpaper(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, Qt::darkBlue);
    gradient.setColorAt(1, Qt::darkRed);
    painter.fillRect(image.rect(), gradient);
    return image;
}

const std::array<const char*, 12> iconNames = {"volume-2", "volume-1",     "volume-x", "skip-back",
                                               "play",     "skip-forward", "sun",      "sun-dim",
                                               "sun-moon", "keyboard",     "folder",   "globe"};

// All twelve DisplayPad keys: built-in icon, a badge over it, and the key's wallpaper slice.
void DisplayPadFrame(benchmark::State& state) {
    const QImage wallpaper = gradientWallpaper(1224, 408);
    std::array<QImage, 12> icons;
    for (size_t key = 0; key < icons.size(); ++key) {
        icons[key] = Artwork::symbol(iconNames[key], iconNames[key]).value_or(QImage());
        if (icons[key].isNull()) {
            state.SkipWithError("Lucide icons are missing");
            return;
        }
    }
    for (auto _ : state) {
        for (int key = 0; key < 12; ++key) {
            const QImage badged = Artwork::badged(icons[key], key * 9, BadgeStyle());
            benchmark::DoNotOptimize(Artwork::bgr(badged, 102, 102, {}, wallpaper, key));
        }
    }
    state.counters["per_key_us"] = benchmark::Counter(
        12, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert,
        benchmark::Counter::kIs1000);
}
BENCHMARK(DisplayPadFrame)->Unit(benchmark::kMillisecond);

// All six MSD-TWO screen buttons as JPEG over their background slices.
void MSDTwoButtons(benchmark::State& state) {
    const QImage wallpaper = gradientWallpaper(1280, 960);
    const auto icon = Artwork::symbol("folder", "Folder");
    if (!icon) {
        state.SkipWithError("Lucide icons are missing");
        return;
    }
    for (auto _ : state) {
        for (int key = 0; key < 6; ++key) {
            benchmark::DoNotOptimize(MSDArtwork::jpeg(*icon, 64, 64, {}, false, wallpaper, key));
        }
    }
    state.counters["per_key_us"] = benchmark::Counter(
        6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert,
        benchmark::Counter::kIs1000);
}
BENCHMARK(MSDTwoButtons)->Unit(benchmark::kMillisecond);

// One MSD-TWO background from a photo-sized picture.
void MSDTwoBackground(benchmark::State& state) {
    const QImage wallpaper = gradientWallpaper(1280, 960);
    for (auto _ : state) {
        benchmark::DoNotOptimize(MSDArtwork::backgroundRGB565(wallpaper));
    }
}
BENCHMARK(MSDTwoBackground)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    return runBenchmarks<QGuiApplication>(argc, argv);
}

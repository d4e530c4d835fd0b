// Rendering cost of a full frame for each pad: the display pipeline draws changed keys on the
// main thread, so a whole frame must stay well inside one refresh. CPU time is the process's,
// so that work Qt hands to its own threads is counted too.
#include "artwork/Artwork.h"
#include "artwork/MSDArtwork.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLinearGradient>
#include <QPainter>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstring>

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
BENCHMARK(DisplayPadFrame)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

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
BENCHMARK(MSDTwoButtons)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// One MSD-TWO background from a photo-sized picture.
void MSDTwoBackground(benchmark::State& state) {
    const QImage wallpaper = gradientWallpaper(1280, 960);
    for (auto _ : state) {
        benchmark::DoNotOptimize(MSDArtwork::backgroundRGB565(wallpaper));
    }
}
BENCHMARK(MSDTwoBackground)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

bool writeFile(const QDir& folder, const QString& name, const QByteArray& bytes) {
    QFile file(folder.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Writes the inputs of the benchmarks above for the Pillow peer (bench/peer/pillow_keys.py) and
// what our code makes of them, so that the comparison can check both sides drew the same thing
// and that our pictures did not change: the wallpapers and icons as PNG, the badge colours, the
// twelve DisplayPad keys (ours-displaypad.bgr), the six MSD-TWO buttons (ours-msdtwo-N.jpg) and
// the background (ours-background.565).
bool writePeerInputs(const QString& path) {
    QDir folder(path);
    if (!folder.mkpath(QStringLiteral("."))) {
        return false;
    }
    const QImage padWallpaper = gradientWallpaper(1224, 408);
    const QImage msdWallpaper = gradientWallpaper(1280, 960);
    bool written = padWallpaper.save(folder.filePath(QStringLiteral("wallpaper-displaypad.png"))) &&
                   msdWallpaper.save(folder.filePath(QStringLiteral("wallpaper-msdtwo.png")));
    QByteArray keys;
    QJsonArray names;
    for (int key = 0; key < 12; ++key) {
        const auto icon = Artwork::symbol(iconNames[size_t(key)], iconNames[size_t(key)]);
        if (!icon) {
            return false;
        }
        names.append(QString::fromLatin1(iconNames[size_t(key)]));
        written =
            written &&
            icon->save(folder.filePath(QStringLiteral("icon-%1.png").arg(iconNames[size_t(key)])));
        keys += Artwork::bgr(Artwork::badged(*icon, key * 9, BadgeStyle()), 102, 102, {},
                             padWallpaper, key)
                    .value_or(QByteArray());
    }
    written = written && writeFile(folder, QStringLiteral("ours-displaypad.bgr"), keys);
    const auto folderIcon = Artwork::symbol("folder", "Folder");
    if (!folderIcon) {
        return false;
    }
    for (int key = 0; key < 6; ++key) {
        written =
            written && writeFile(folder, QStringLiteral("ours-msdtwo-%1.jpg").arg(key),
                                 MSDArtwork::jpeg(*folderIcon, 64, 64, {}, false, msdWallpaper, key)
                                     .value_or(QByteArray()));
    }
    written = written && writeFile(folder, QStringLiteral("ours-background.565"),
                                   MSDArtwork::backgroundRGB565(msdWallpaper));

    // Paths the timed work does not take, so that the reference covers them too: labels,
    // badges in every place and colour, a translucent non-square picture, no wallpaper, the
    // rotated and calibrated MSD-TWO button and a background of another aspect.
    QImage translucent(60, 100, QImage::Format_ARGB32);
    for (int y = 0; y < translucent.height(); ++y) {
        for (int x = 0; x < translucent.width(); ++x) {
            translucent.setPixel(x, y,
                                 qRgba(x * 4, 255 - y * 2, (x * y) & 0xff, (x + y) * 255 / 158));
        }
    }
    const QStringList colours = {QString(), QStringLiteral("white"), QStringLiteral("black"),
                                 QStringLiteral("no such colour")};
    const QList<int64_t> numbers = {7, 12, 150, -4, 123456789};
    QByteArray variants;
    for (int index = 0; index < BadgeStyle::positions().size(); ++index) {
        BadgeStyle style;
        style.position = BadgeStyle::positions()[index];
        style.color = colours[index % colours.size()].isEmpty()
                          ? std::nullopt
                          : std::optional<QString>(colours[index % colours.size()]);
        style.truncation = index % 2 == 0;
        const QImage badged = Artwork::badged(index % 3 == 0 ? translucent : QImage(),
                                              numbers[index % numbers.size()], style);
        variants += Artwork::bgr(badged, 102, 102, index % 2 ? QStringLiteral("Ab") : QString(),
                                 index % 4 == 1 ? QImage() : padWallpaper, index)
                        .value_or(QByteArray());
    }
    variants += Artwork::bgr(translucent, 102, 102).value_or(QByteArray());
    variants += Artwork::bgr(QImage(), 102, 102).value_or(QByteArray());
    variants += MSDArtwork::jpeg(translucent, 64, 64, QStringLiteral("Ab"), true, msdWallpaper, 4)
                    .value_or(QByteArray());
    variants += MSDArtwork::jpeg(QImage(), 64, 64, {}, false, {}, std::nullopt, true)
                    .value_or(QByteArray());
    variants += MSDArtwork::backgroundRGB565(translucent);
    variants += Artwork::png(translucent, 102, 102).value_or(QByteArray());
    written = written && writeFile(folder, QStringLiteral("ours-variants.bin"), variants);

    // The default badge: the accent colour, with the text colour its luminance calls for.
    const QColor fill = BadgeStyle::resolveColor(std::nullopt).value_or(QColor()).toRgb();
    const double luminance = 0.2126 * fill.redF() + 0.7152 * fill.greenF() + 0.0722 * fill.blueF();
    const int text = luminance > 0.6 ? 0 : 255;
    QJsonObject manifest{
        {QStringLiteral("icons"), names},
        {QStringLiteral("badgeFill"), QJsonArray{fill.red(), fill.green(), fill.blue(), 255}},
        {QStringLiteral("badgeText"), QJsonArray{text, text, text, 255}}};
    return written &&
           writeFile(folder, QStringLiteral("inputs.json"), QJsonDocument(manifest).toJson());
}

}  // namespace

// `--peer-inputs=FOLDER` (before the benchmark options) first writes the peer's inputs there.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static constexpr char peerOption[] = "--peer-inputs=";
    QString peerFolder;
    if (argc > 1 && std::strncmp(argv[1], peerOption, sizeof peerOption - 1) == 0) {
        peerFolder = QString::fromLocal8Bit(argv[1] + sizeof peerOption - 1);
        for (int index = 1; index < argc; ++index) {
            argv[index] = argv[index + 1];
        }
        --argc;
    }
    return runBenchmarks<QGuiApplication>(argc, argv, [&peerFolder] {
        if (!peerFolder.isEmpty() && !writePeerInputs(peerFolder)) {
            std::fprintf(stderr, "bench_artwork: could not write the peer inputs to %s\n",
                         qUtf8Printable(peerFolder));
            return false;
        }
        return true;
    });
}

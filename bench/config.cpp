// Loading, merging and saving a large MSD-TWO configuration: 256 scenes of 18 bindings with
// names, actions, arguments full of slashes and a share of optional fields.

#include "config/ConfigurationFile.h"
#include "config/ConfigurationJson.h"
#include "config/DefaultConfiguration.h"
#include "config/DeviceConfigurationStore.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const QString deviceID = QStringLiteral("msdTwo-73657269616c2d42454e4348");

SavedConfiguration largeConfiguration() {
    SavedConfiguration configuration;
    const QList<Binding> defaults = DefaultConfiguration::bindings(DeviceKind::msdTwo);
    for (int s = 0; s < 256; ++s) {
        QuorvelScene scene{QUuid::createUuid(), defaults, std::nullopt};
        if (s % 4 == 0) {
            scene.backgroundPath =
                QStringLiteral("/home/user/.local/share/Quorvel/Devices/%1/Images/bg-%2.png")
                    .arg(deviceID)
                    .arg(s);
        }
        for (qsizetype k = 0; k < scene.keys.size(); ++k) {
            Binding& binding = scene.keys[k];
            binding.name = QStringLiteral("Scene %1 · %2").arg(s + 1).arg(binding.name);
            binding.scriptName = QStringLiteral("Scene%1Button%2").arg(s + 1).arg(binding.id);
            binding.scriptID = QUuid::createUuid().toString(QUuid::WithoutBraces);
            switch (k % 5) {
                case 0:
                    binding.action = QStringLiteral("Open Web Address");
                    binding.argument =
                        QStringLiteral("https://intranet.example.com/teams/%1/board?view=week")
                            .arg(s);
                    binding.browserBundleID = QStringLiteral("org.mozilla.firefox");
                    binding.imagePath = QStringLiteral("Images/key-%1-%2.png").arg(s).arg(k);
                    break;
                case 1:
                    binding.action = QStringLiteral("Keyboard Shortcut");
                    binding.keyCode = 0x28;
                    binding.modifiers = 0x180000;
                    binding.recordedShortcut = QStringLiteral("⌃⌘K");
                    break;
                case 2:
                    binding.action = QStringLiteral("Volume Up");
                    binding.adjustmentStep = 4;
                    break;
                case 3:
                    binding.action = QStringLiteral("Shell Script");
                    binding.argument = QStringLiteral(
                        "cd ~/src/project && git pull --rebase && make -C build/ test");
                    break;
                default:
                    break;
            }
        }
        configuration.scenes.append(scene);
    }
    configuration.activeSceneID = configuration.scenes[17].id;
    return configuration;
}

void BM_LoadAndMerge(benchmark::State& state) {
    QTemporaryDir root;
    DeviceConfigurationStore store(root.path(), deviceID, DeviceKind::msdTwo);
    store.save(largeConfiguration(), DeviceAppearance{QStringLiteral("Desk"), 70, false});
    for (auto _ : state) {
        DeviceConfigurationStore loader(root.path(), deviceID, DeviceKind::msdTwo);
        DeviceConfigurationState loaded = loader.load(DeviceAppearance{});
        benchmark::DoNotOptimize(loaded);
        if (loaded.configuration.scenes.size() != 256) {
            state.SkipWithError("the configuration did not load");
        }
    }
}
BENCHMARK(BM_LoadAndMerge)->Unit(benchmark::kMillisecond);

void BM_Decode(benchmark::State& state) {
    const QByteArray bytes = ConfigurationJson::encode(largeConfiguration());
    state.counters["bytes"] = static_cast<double>(bytes.size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(ConfigurationJson::decodeConfiguration(bytes));
    }
}
BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond);

void BM_Save(benchmark::State& state) {
    QTemporaryDir root;
    DeviceConfigurationStore store(root.path(), deviceID, DeviceKind::msdTwo);
    const SavedConfiguration configuration = largeConfiguration();
    const DeviceAppearance appearance{QStringLiteral("Desk"), 70, false};
    for (auto _ : state) {
        if (!store.save(configuration, appearance).ok()) {
            state.SkipWithError("the save failed");
        }
    }
}
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond);

void BM_Encode(benchmark::State& state) {
    const SavedConfiguration configuration = largeConfiguration();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ConfigurationJson::encode(configuration));
    }
}
BENCHMARK(BM_Encode)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

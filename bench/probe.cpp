// The display probe that start-up runs before choosing a widget or a console application: a
// forked child starts Qt on $DISPLAY and exits. Its whole time is added to every start with a
// display, so it is timed alone here (bench/startup.py runs this against its own Xvfb).
#include "app/linux/DisplayProbe.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>

namespace {

int savedArgc = 0;
char** savedArgv = nullptr;

void DisplayProbe(benchmark::State& state) {
    if (std::getenv("DISPLAY") == nullptr) {
        state.SkipWithError("no DISPLAY to probe");
        return;
    }
    for (auto _ : state) {
        const QString problem = displayProblem(savedArgc, savedArgv, std::chrono::seconds(10));
        if (!problem.isEmpty()) {
            state.SkipWithError(qPrintable(problem));
            return;
        }
    }
}
BENCHMARK(DisplayProbe)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

}  // namespace

// No Qt application here: the probe's child makes the first one of the process, as at start-up.
int main(int argc, char** argv) {
    savedArgc = argc;
    savedArgv = argv;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

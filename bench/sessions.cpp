// What a DisplayPad frame costs: bytes on the wire for a full frame and for a one-key change, and
// the time the session spends outside the (virtual) device per key sent. The pad's replies travel
// through the main thread's event loop as they would from the HID layer, so "own" time includes
// those hops as well as the session's queue work.
#include "core/Log.h"
#include "device/DisplayPadProtocol.h"
#include "device/DisplayPadSession.h"
#include "device/virtual/SimulatedHidManager.h"
#include "device/virtual/VirtualDisplayPad.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace {
QByteArray solidKey(int shade) {
    QByteArray bytes(DisplayPadProtocol::imageByteCount, '\0');
    for (int index = 0; index < bytes.size(); ++index) {
        bytes[index] = static_cast<char>((shade + index % 3 * 40) & 0xff);
    }
    return bytes;
}

QList<QByteArray> frame(int shade) {
    QList<QByteArray> keys;
    for (int key = 0; key < DisplayPadProtocol::keyCount; ++key) {
        keys << solidKey(shade + key);
    }
    return keys;
}

// One activated DisplayPad session against a virtual pad.
struct Rig {
    SimulatedHidManager manager;
    std::shared_ptr<VirtualDisplayPad> pad = VirtualDisplayPad::create(0x01230000);
    std::shared_ptr<DisplayPadSession> session;
    std::shared_ptr<HidDevice> device;

    Rig() {
        manager.add(pad);
        HidManager::Handlers handlers;
        handlers.attached = [this](const std::shared_ptr<HidDevice>& added) { device = added; };
        handlers.input = [this](uint32_t, const std::shared_ptr<HidDevice>&,
                                const QByteArray& report) {
            if (session) {
                session->receive(report);
            }
        };
        const DeviceKind kind = DeviceKind::mountain;
        manager.start({{kind.vendorID(), kind.productID(), kind.usagePage()}}, handlers);
        pump([this] { return device != nullptr; });
        session = DisplayPadSession::create(device, manager.usb(), [](const ActionError&) {});
        bool ready = false;
        session->setReady([&ready] { ready = true; });
        session->start(frame(0), {}, 50);
        pump([&ready] { return ready; });
    }

    ~Rig() {
        session->stop();
        pump([this] { return session.use_count() == 1; });
    }

    // Shows `keys` and waits until the pad has taken `expected` more images.
    void show(const QList<QByteArray>& keys, int expected) {
        const int before = pad->imagesReceived();
        session->update(keys, {});
        pump([&] { return pad->imagesReceived() == before + expected; });
    }
};

void report(benchmark::State& state, Rig& rig, int keysPerIteration, double wallSeconds) {
    const auto counters = rig.pad->counters();
    const double iterations = static_cast<double>(state.iterations());
    const double device = std::chrono::duration<double>(counters.deviceTime).count();
    state.counters["hidBytes"] = counters.reportBytes / iterations;
    state.counters["usbBytes"] = counters.transferBytes / iterations;
    state.counters["usbTransfers"] = counters.transfers / iterations;
    state.counters["deviceUsPerKey"] = device * 1e6 / (iterations * keysPerIteration);
    state.counters["ownUsPerKey"] = (wallSeconds - device) * 1e6 / (iterations * keysPerIteration);
}

void BM_DisplayPadFullFrame(benchmark::State& state) {
    Rig rig;
    const QList<QByteArray> frames[2] = {frame(100), frame(200)};
    rig.pad->resetCounters();
    int turn = 0;
    QElapsedTimer wall;
    wall.start();
    for (auto _ : state) {
        rig.show(frames[turn++ % 2], DisplayPadProtocol::keyCount);
    }
    report(state, rig, DisplayPadProtocol::keyCount, wall.nsecsElapsed() / 1e9);
}
BENCHMARK(BM_DisplayPadFullFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DisplayPadOneKeyChange(benchmark::State& state) {
    Rig rig;
    QList<QByteArray> frames[2] = {frame(0), frame(0)};
    frames[1][6] = solidKey(77);
    rig.pad->resetCounters();
    int turn = 1;
    QElapsedTimer wall;
    wall.start();
    for (auto _ : state) {
        rig.show(frames[turn++ % 2], 1);
    }
    report(state, rig, 1, wall.nsecsElapsed() / 1e9);
}
BENCHMARK(BM_DisplayPadOneKeyChange)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_DisplayPadUnchangedFrame(benchmark::State& state) {
    Rig rig;
    const QList<QByteArray> same = frame(0);
    rig.pad->resetCounters();
    for (auto _ : state) {
        rig.session->update(same, {});
        pump([&rig] { return rig.session.use_count() == 1; });
    }
    const auto counters = rig.pad->counters();
    state.counters["hidBytes"] = static_cast<double>(counters.reportBytes);
    state.counters["usbBytes"] = static_cast<double>(counters.transferBytes);
}
BENCHMARK(BM_DisplayPadUnchangedFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();
}  // namespace

int main(int argc, char** argv) {
    return runBenchmarks<QCoreApplication>(argc, argv);
}

#include "model/Model.h"

#include "core/Log.h"
#include "core/MainThread.h"
#include "device/DisplayPadSession.h"
#include "device/InputDecoding.h"
#include "device/LCDSession.h"

#include <QPointer>

#include <utility>

std::shared_ptr<PadDisplaySession> Model::makeSession(const std::shared_ptr<HidDevice>& device,
                                                      PadDisplaySession::Failure failure) const {
    switch (kind_.value()) {
        case DeviceKind::mountain:
            return DisplayPadSession::create(device, environment_.padUsb, std::move(failure),
                                             environment_.timing);
        case DeviceKind::msdTwo:
            return LCDSession::create(device, std::move(failure), environment_.timing);
    }
    return nullptr;
}

void Model::connect(std::shared_ptr<HidDevice> device, ReadyHandler ready,
                    InitializationFailedHandler initializationFailed) {
    disconnect();
    setConnected(true);
    setMessage(QStringLiteral("Connecting %1\u2026").arg(kind_.name()));

    auto connection = std::make_shared<HIDConnection>(device);
    connection_ = connection;
    const std::weak_ptr<HIDConnection> weakConnection = connection;
    // Made here, on the main thread; the session's queue only copies it and hops back.
    const QPointer<Model> self(this);

    PadDisplaySession::Failure failure = [self, weakConnection,
                                          initializationFailed](const ActionError& error) {
        runOnMain([self, weakConnection, initializationFailed, error] {
            if (self) {
                self->sessionFailed(weakConnection, error, initializationFailed);
            }
        });
    };
    display_ = makeSession(device, std::move(failure));
    display_->setReady([self, weakConnection, ready = std::move(ready)] {
        const std::shared_ptr<HIDConnection> current = weakConnection.lock();
        if (!self || !current || current != self->connection_) {
            return;
        }
        current->initialized = true;
        self->setMessage(self->kind_.name() + QStringLiteral(" ready"));
        if (ready) {
            ready();
        }
    });

    // The first frame is drawn on the next turn of the event loop, so that whoever connected us
    // finishes its own bookkeeping (and may even disconnect again) before the pad is driven.
    runOnMain(this, [this, weakConnection] { startFirstFrame(weakConnection); });
}

void Model::startFirstFrame(const std::weak_ptr<HIDConnection>& connection) {
    const std::shared_ptr<HIDConnection> current = connection.lock();
    if (!current || current != connection_ || shuttingDown_) {
        return;
    }
    const std::optional<DisplayFrame> frame = displayFrame();
    if (frame && display_) {
        display_->start(frame->images, frame->background, displayBrightness_);
    }
}

void Model::sessionFailed(const std::weak_ptr<HIDConnection>& connection, const ActionError& error,
                          const InitializationFailedHandler& initializationFailed) {
    const std::shared_ptr<HIDConnection> current = connection.lock();
    if (!current || current != connection_) {
        return;  // an earlier session's failure: the pad has moved on
    }
    // A new status line is logged with the device's name; the same failure again is logged too.
    if (message_ == error.message()) {
        logLine("%s: %s", qUtf8Printable(deviceName_), qUtf8Printable(error.message()));
    }
    setMessage(error.message());
    if (!current->initialized && initializationFailed) {
        initializationFailed(error);
    }
}

void Model::disconnect() {
    if (display_) {
        display_->stop();
    }
    display_.reset();
    connection_.reset();
    heldKeys_.clear();
    setConnected(false);
    setMessage(QStringLiteral("Device disconnected"));
}

void Model::receive(const QByteArray& report) {
    if (auto session = std::dynamic_pointer_cast<DisplayPadSession>(display_)) {
        session->receive(report);
    }
    for (int control : InputDecoding::controlEvents(kind_, report, heldKeys_)) {
        Q_EMIT controlEvent(control);
    }
}

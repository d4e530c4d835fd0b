#include "device/LCDSession.h"

#include "core/MainThread.h"
#include "device/UsbStatus.h"

#include <algorithm>
#include <thread>

namespace {
ActionError writeFailed(uint32_t code) {
    return ActionError::failed(QStringLiteral("LCD write failed: %1").arg(UsbStatus::hex(code)));
}

QByteArray levelPayload(int level) {
    QByteArray payload(2, '\0');
    payload.append(static_cast<char>(std::clamp(level, 0, 100)));
    return payload;
}
}  // namespace

std::shared_ptr<LCDSession> LCDSession::create(std::shared_ptr<HidDevice> device, Failure failure,
                                               SessionTiming timing) {
    return std::shared_ptr<LCDSession>(
        new LCDSession(std::move(device), std::move(failure), timing));
}

LCDSession::LCDSession(std::shared_ptr<HidDevice> device, Failure failure, SessionTiming timing)
    : device_(std::move(device)), failure_(std::move(failure)), timing_(timing) {
}

LCDSession::~LCDSession() {
    cancelTimer();
}

QByteArray LCDSession::commandReport(const QString& name, const QByteArray& payload) {
    QByteArray report("CRT\0\0", 5);
    report.append(name.toLatin1());
    report.append(payload);
    if (report.size() > reportSize) {
        throw ActionError::failed(QStringLiteral("LCD report too large"));
    }
    report.append(reportSize - report.size(), '\0');
    return report;
}

void LCDSession::start(const Images& images, const QByteArray& background, int brightness) {
    queue_.async([self = shared_from_this(), images, background, brightness] {
        if (self->stopped_) {
            return;  // stopped before it began: the pad is not ours any more
        }
        try {
            self->command(QStringLiteral("DIS"));
            self->command(QStringLiteral("LIG"), levelPayload(0));
            self->command(QStringLiteral("LIG"), levelPayload(brightness));
            self->apply(images, background);
            self->command(QStringLiteral("CONNECT"));
        } catch (const ActionError& error) {
            self->failure_(error);
            return;
        }
        // The timer holds the session weakly: it must not keep a released session alive.
        std::weak_ptr<LCDSession> weak = self;
        self->timer_ = self->queue_.repeating(self->timing_.keepAliveInterval, [weak] {
            auto session = weak.lock();
            if (!session || session->stopped_) {
                return;
            }
            try {
                session->command(QStringLiteral("CONNECT"));
            } catch (const ActionError& error) {
                session->failure_(error);
            }
        });
        runOnMain([weak] {
            if (auto session = weak.lock()) {
                session->callReady();
            }
        });
    });
}

void LCDSession::update(const Images& images, const QByteArray& background) {
    queue_.async([self = shared_from_this(), images, background] {
        if (self->stopped_) {
            return;
        }
        const bool drainQueued = self->pendingFrame_.has_value();
        self->pendingFrame_ = Frame{images, background};
        if (!drainQueued) {
            self->queue_.async([self] { self->drain(); });
        }
    });
}

void LCDSession::setBrightness(int level, std::function<void()> completion) {
    queue_.async([self = shared_from_this(), level, completion = std::move(completion)] {
        if (self->stopped_) {
            return;
        }
        try {
            self->command(QStringLiteral("LIG"), levelPayload(level));
        } catch (const ActionError& error) {
            self->failure_(error);
            return;
        }
        if (completion) {
            completion();
        }
    });
}

void LCDSession::repairBorderAfterKeypress(int key) {
    queue_.async([self = shared_from_this(), key] {
        const quint64 generation = ++self->borderRepairGeneration_;
        std::weak_ptr<LCDSession> weak = self;
        self->queue_.asyncAfter(self->timing_.borderRepairDelay, [weak, generation, key] {
            auto session = weak.lock();
            if (!session || session->stopped_ || session->borderRepairGeneration_ != generation ||
                key < 1 || key > buttonCount || session->lastImages_.size() != buttonCount) {
                return;
            }
            try {
                session->upload(session->lastImages_[key - 1], key);
            } catch (const ActionError& error) {
                session->failure_(error);
            }
        });
    });
}

void LCDSession::finish(const Images& images, const QByteArray& background,
                        std::function<void(Result)> completion) {
    queue_.async(
        [self = shared_from_this(), images, background, completion = std::move(completion)] {
            self->pendingFrame_.reset();
            ++self->borderRepairGeneration_;
            self->cancelTimer();
            Result result;
            if (self->stopped_) {
                result = ActionError::failed(QStringLiteral("LCD disconnected"));
            } else {
                try {
                    self->apply(images, background);
                } catch (const ActionError& error) {
                    result = error;
                }
            }
            self->stopped_ = true;
            // Quit waits for this answer, so it is delivered even if the session is gone by then.
            runOnMain([completion, result] {
                if (completion) {
                    completion(result);
                }
            });
        });
}

void LCDSession::stop() {
    std::weak_ptr<LCDSession> weak = weak_from_this();
    queue_.async([weak] {
        if (auto self = weak.lock()) {
            self->stopped_ = true;
            self->cancelTimer();
        }
    });
}

// Session queue.
void LCDSession::command(const QString& name, const QByteArray& payload) {
    send(commandReport(name, payload));
}

// Session queue.
void LCDSession::send(const QByteArray& report) {
    const uint32_t result = device_->setOutputReport(report);
    if (result != 0) {
        throw writeFailed(result);
    }
}

// Session queue. Raw data reports: consecutive 1024-byte slices, the last one zero-padded.
void LCDSession::sendData(const QByteArray& data) {
    for (qsizetype offset = 0; offset < data.size(); offset += reportSize) {
        QByteArray slice = data.mid(offset, reportSize);
        slice.append(reportSize - slice.size(), '\0');
        send(slice);
    }
}

// Session queue.
void LCDSession::upload(const QByteArray& image, int key) {
    if (image.size() > maximumImageSize) {
        throw ActionError::failed(QStringLiteral("LCD image too large"));
    }
    const auto length = static_cast<uint16_t>(image.size());
    QByteArray payload(2, '\0');
    payload.append(static_cast<char>(length >> 8));
    payload.append(static_cast<char>(length & 0xff));
    payload.append(static_cast<char>(key));
    command(QStringLiteral("BAT"), payload);
    QByteArray data = image;
    if (data.size() < minimumImageTransfer) {
        data.append(minimumImageTransfer - data.size(), '\0');
    }
    sendData(data);
    command(QStringLiteral("STP"));
}

// Session queue.
void LCDSession::apply(const Images& images, const QByteArray& background) {
    const bool frameRight = images.size() == buttonCount &&
                            std::none_of(images.begin(), images.end(),
                                         [](const QByteArray& image) { return image.isEmpty(); }) &&
                            background.size() == backgroundByteCount;
    if (!frameRight) {
        throw ActionError::failed(
            QStringLiteral("Cannot render LCD images; the display was not updated"));
    }
    if (!lastBackground_ || *lastBackground_ != background) {
        // A new background covers the buttons too, so all six go again.
        lastImages_.clear();
        const auto length = static_cast<uint32_t>(background.size());
        QByteArray payload;
        for (int shift = 24; shift >= 0; shift -= 8) {
            payload.append(static_cast<char>((length >> shift) & 0xff));
        }
        payload.append('\x01');
        command(QStringLiteral("LOG"), payload);
        sendData(background);
        command(QStringLiteral("STP"));
        lastBackground_ = background;
        std::this_thread::sleep_for(timing_.backgroundSettle);
    }
    const bool known = lastImages_.size() == buttonCount;
    for (int key = 1; key <= buttonCount; ++key) {
        if (known && images[key - 1] == lastImages_[key - 1]) {
            continue;
        }
        upload(images[key - 1], key);
    }
    lastImages_ = images;
}

// Session queue.
void LCDSession::drain() {
    if (!pendingFrame_) {
        return;
    }
    const Frame frame = std::move(*pendingFrame_);
    pendingFrame_.reset();
    if (stopped_) {
        return;
    }
    try {
        apply(frame.images, frame.background);
    } catch (const ActionError& error) {
        failure_(error);
    }
}

// Session queue (or destruction).
void LCDSession::cancelTimer() {
    if (timer_) {
        timer_->cancel();
        timer_.reset();
    }
}

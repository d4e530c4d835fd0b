#include "actions/linux/PulseAudioOutput.h"

#include "core/ActionError.h"
#include "core/Log.h"

#include <pulse/pulseaudio.h>

#include <cmath>
#include <functional>
#include <optional>

namespace {

const QString noOutput = QStringLiteral("No default audio output");
const QString noVolumeControl =
    QStringLiteral("This audio output does not expose software volume control");
const QString cannotSetMute = QStringLiteral("Cannot set mute");

struct SinkState {
    uint32_t index = PA_INVALID_INDEX;
    pa_cvolume volume{};
    bool muted = false;
};

// One connection to the server on its own threaded main loop. All members run on the calling
// thread with the loop's lock held; callbacks run on the loop's thread, also under the lock.
class PulseSession {
public:
    PulseSession(const QString& server, std::chrono::milliseconds timeout) : timeout_(timeout) {
        loop_ = pa_threaded_mainloop_new();
        if (loop_ == nullptr) {
            throw ActionError::failed(noOutput);
        }
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Quorvel Zodovuvur");
        if (context_ == nullptr) {
            pa_threaded_mainloop_free(loop_);
            throw ActionError::failed(noOutput);
        }
        pa_context_set_state_callback(context_, &PulseSession::contextChanged, this);
        const QByteArray address = server.toUtf8();
        const int connected =
            pa_context_connect(context_, address.isEmpty() ? nullptr : address.constData(),
                               PA_CONTEXT_NOAUTOSPAWN, nullptr);
        if (connected < 0 || pa_threaded_mainloop_start(loop_) < 0) {
            logLine("Sound server connection failed: %s", pa_strerror(pa_context_errno(context_)));
            pa_context_unref(context_);
            pa_threaded_mainloop_free(loop_);
            throw ActionError::failed(noOutput);
        }
        pa_threaded_mainloop_lock(loop_);
        const bool ready = waitFor([this] {
            const pa_context_state_t state = pa_context_get_state(context_);
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        });
        if (!ready || pa_context_get_state(context_) != PA_CONTEXT_READY) {
            logLine("Sound server unavailable: %s",
                    ready ? pa_strerror(pa_context_errno(context_)) : "no answer");
            close();
            throw ActionError::failed(noOutput);
        }
    }

    ~PulseSession() { close(); }
    PulseSession(const PulseSession&) = delete;
    PulseSession& operator=(const PulseSession&) = delete;

    // The default sink, or an ActionError saying there is none.
    SinkState defaultSink() {
        sinkName_.clear();
        bool done = false;
        onServerInfo_ = [&](const pa_server_info* info) {
            if (info != nullptr && info->default_sink_name != nullptr) {
                sinkName_ = QByteArray(info->default_sink_name);
            }
            done = true;
        };
        finish(pa_context_get_server_info(context_, &PulseSession::serverInfoReceived, this),
               [&] { return done; });
        if (sinkName_.isEmpty()) {
            throw ActionError::failed(noOutput);
        }

        std::optional<SinkState> sink;
        done = false;
        onSinkInfo_ = [&](const pa_sink_info* info, int last) {
            if (last != 0) {
                done = true;
            } else if (info != nullptr) {
                sink = SinkState{info->index, info->volume, info->mute != 0};
            }
        };
        finish(pa_context_get_sink_info_by_name(context_, sinkName_.constData(),
                                                &PulseSession::sinkInfoReceived, this),
               [&] { return done; });
        if (!sink) {
            throw ActionError::failed(noOutput);
        }
        return *sink;
    }

    bool setVolume(const SinkState& sink, const pa_cvolume& volume) {
        return runForSuccess(pa_context_set_sink_volume_by_index(context_, sink.index, &volume,
                                                                 &PulseSession::succeeded, this));
    }

    bool setMuted(const SinkState& sink, bool muted) {
        return runForSuccess(pa_context_set_sink_mute_by_index(context_, sink.index, muted ? 1 : 0,
                                                               &PulseSession::succeeded, this));
    }

private:
    struct Outcome {
        bool done = false;
        bool success = false;
    };

    static void contextChanged(pa_context*, void* self) {
        pa_threaded_mainloop_signal(static_cast<PulseSession*>(self)->loop_, 0);
    }
    static void serverInfoReceived(pa_context*, const pa_server_info* info, void* self) {
        auto* session = static_cast<PulseSession*>(self);
        session->onServerInfo_(info);
        pa_threaded_mainloop_signal(session->loop_, 0);
    }
    static void sinkInfoReceived(pa_context*, const pa_sink_info* info, int last, void* self) {
        auto* session = static_cast<PulseSession*>(self);
        session->onSinkInfo_(info, last);
        pa_threaded_mainloop_signal(session->loop_, 0);
    }
    static void succeeded(pa_context*, int success, void* self) {
        auto* session = static_cast<PulseSession*>(self);
        session->outcome_.success = success != 0;
        session->outcome_.done = true;
        pa_threaded_mainloop_signal(session->loop_, 0);
    }
    static void timedOut(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
        auto* session = static_cast<PulseSession*>(self);
        session->timedOut_ = true;
        pa_threaded_mainloop_signal(session->loop_, 0);
    }

    // Waits, with the lock released meanwhile, until `condition` holds or the timeout passes;
    // false on timeout. A lost connection also ends the wait.
    template <typename Condition>
    bool waitFor(Condition condition) {
        timeval when{};
        pa_gettimeofday(&when);
        pa_timeval_add(&when, static_cast<pa_usec_t>(timeout_.count()) * PA_USEC_PER_MSEC);
        timedOut_ = false;
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
        pa_time_event* timer = api->time_new(api, &when, &PulseSession::timedOut, this);
        while (!condition() && !timedOut_) {
            pa_threaded_mainloop_wait(loop_);
        }
        api->time_free(timer);
        return condition();
    }

    bool runForSuccess(pa_operation* operation) {
        outcome_ = Outcome{};
        finish(operation, [this] { return outcome_.done; });
        return outcome_.done && outcome_.success;
    }

    template <typename Condition>
    void finish(pa_operation* operation, Condition condition) {
        if (operation == nullptr) {
            return;
        }
        waitFor([&] {
            return condition() || pa_operation_get_state(operation) != PA_OPERATION_RUNNING ||
                   !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_));
        });
        if (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) {
            pa_operation_cancel(operation);
        }
        pa_operation_unref(operation);
    }

    void close() {
        if (loop_ == nullptr) {
            return;
        }
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        pa_threaded_mainloop_unlock(loop_);
        pa_threaded_mainloop_stop(loop_);
        pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
        context_ = nullptr;
    }

    std::chrono::milliseconds timeout_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    bool timedOut_ = false;
    Outcome outcome_;
    QByteArray sinkName_;
    std::function<void(const pa_server_info*)> onServerInfo_;
    std::function<void(const pa_sink_info*, int)> onSinkInfo_;
};

}  // namespace

PulseAudioOutput::PulseAudioOutput(QString server, std::chrono::milliseconds timeout)
    : server_(std::move(server)), timeout_(timeout) {
}

double PulseAudioOutput::volume() {
    PulseSession session(server_, timeout_);
    const SinkState sink = session.defaultSink();
    return static_cast<double>(pa_cvolume_max(&sink.volume)) / PA_VOLUME_NORM;
}

void PulseAudioOutput::setVolume(double level) {
    PulseSession session(server_, timeout_);
    const SinkState sink = session.defaultSink();
    const double raw = std::round(std::max(0.0, level) * PA_VOLUME_NORM);
    pa_cvolume volume = sink.volume;
    // Scaling the loudest channel keeps the user's balance between channels.
    pa_cvolume_scale(&volume, static_cast<pa_volume_t>(std::min<double>(raw, PA_VOLUME_MAX)));
    if (!session.setVolume(sink, volume)) {
        throw ActionError::failed(noVolumeControl);
    }
}

bool PulseAudioOutput::isMuted() {
    PulseSession session(server_, timeout_);
    return session.defaultSink().muted;
}

void PulseAudioOutput::setMuted(bool muted) {
    PulseSession session(server_, timeout_);
    const SinkState sink = session.defaultSink();
    if (!session.setMuted(sink, muted)) {
        throw ActionError::failed(cannotSetMute);
    }
}

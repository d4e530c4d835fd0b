#include "actions/MediaPlayback.h"

#include "actions/NowPlaying.h"
#include "core/Log.h"

#include <QPointer>
#include <QTimer>

MediaPlayback& MediaPlayback::shared() {
    static MediaPlayback instance;
    return instance;
}

MediaPlayback::MediaPlayback() = default;

MediaPlayback::~MediaPlayback() = default;

bool MediaPlayback::isWatching() const {
    return timer_ != nullptr;
}

void MediaPlayback::start(std::shared_ptr<NowPlaying> nowPlaying,
                          std::chrono::milliseconds interval) {
    if (timer_) {
        return;
    }
    if (!nowPlaying || !nowPlaying->isAvailable()) {
        logLine("Now Playing state is unavailable; the media button will show Play");
        return;
    }
    nowPlaying_ = std::move(nowPlaying);
    ++generation_;
    timer_ = std::make_unique<QTimer>();
    timer_->setInterval(interval);
    QObject::connect(timer_.get(), &QTimer::timeout, this, [this] { poll(); });
    poll();
    timer_->start();
}

void MediaPlayback::stop() {
    timer_.reset();
    nowPlaying_.reset();
    asking_ = false;
    ++generation_;
}

void MediaPlayback::update(bool isPlaying) {
    if (isPlaying == isPlaying_) {
        return;
    }
    isPlaying_ = isPlaying;
    Q_EMIT isPlayingChanged(isPlaying_);
}

void MediaPlayback::poll() {
    // A player that is slow to answer must not collect a backlog of questions, one a second.
    if (asking_) {
        return;
    }
    asking_ = true;
    QPointer<MediaPlayback> self(this);
    const quint64 generation = generation_;
    nowPlaying_->requestIsPlaying([self, generation](bool playing) {
        if (!self || self->generation_ != generation) {
            return;
        }
        self->asking_ = false;
        self->update(playing);
    });
}

#pragma once

#include <QObject>

#include <chrono>
#include <memory>

class NowPlaying;
class QTimer;

// Whether media is playing, so that the play/pause key can show a pause icon while it does.
// The application starts the shared instance once it has launched and stops it at quit; the
// device models listen to `isPlayingChanged` and draw their play/pause keys anew.
//
// Thread: main thread only. The poll timer runs on the main event loop and the players' answers
// arrive there too.
class MediaPlayback final : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds pollInterval{1000};

    // Created on first use. The program's one instance; tests may make their own.
    static MediaPlayback& shared();

    MediaPlayback();
    ~MediaPlayback() override;

    bool isPlaying() const { return isPlaying_; }
    // True between start() and stop().
    bool isWatching() const;

    // Asks `nowPlaying` at once and then every `interval`. Does nothing while already watching.
    // Without a player service (null, or not available) it writes a log line, creates no timer
    // and `isPlaying` stays false: the key shows "play" for good.
    void start(std::shared_ptr<NowPlaying> nowPlaying,
               std::chrono::milliseconds interval = pollInterval);
    // Stops asking; answers still on their way are dropped.
    void stop();
    // Takes a new state; observers hear of real changes only.
    void update(bool isPlaying);

Q_SIGNALS:
    void isPlayingChanged(bool isPlaying);

private:
    void poll();

    bool isPlaying_ = false;
    std::shared_ptr<NowPlaying> nowPlaying_;
    std::unique_ptr<QTimer> timer_;
    // Tells answers of an earlier start() apart from current ones.
    quint64 generation_ = 0;
    bool asking_ = false;
};

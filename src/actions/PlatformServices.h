#pragma once

#include <QImage>
#include <QUrl>

#include <functional>
#include <memory>

class AudioOutput;
class DisplayBrightness;
class InputPoster;
class NowPlaying;
class ScriptRunner;
class Workspace;

// The desktop services that actions reach, chosen once at start-up: the program fills it with
// the Linux implementations (linuxPlatformServices() in actions/linux/), tests with fakes. The
// device model keeps one shared instance and hands it to every action through
// ActionContext::services(), so actions stay stateless values.
//
// Ownership: the services are shared; an action that moves work onto the action queue copies
// the shared_ptr it needs, so a service outlives any work still queued for it.
// A null member means the service is missing on this system; each action then reports what it
// would report when the service itself fails (for example "No default audio output").
// Thread: the struct is filled before use and then only read, from any thread; each service
// documents on which thread its own members may be called.
struct PlatformServices {
    std::shared_ptr<AudioOutput> audio;
    std::shared_ptr<DisplayBrightness> displayBrightness;
    std::shared_ptr<InputPoster> input;
    std::shared_ptr<NowPlaying> nowPlaying;
    std::shared_ptr<Workspace> workspace;
    std::shared_ptr<ScriptRunner> scripts;

    // The cached icon of a web site (the site icon cache in the program), a null image while
    // none is cached. Called on the main thread while a key is drawn; must not block. Null when
    // the program keeps no site icons.
    std::function<QImage(const QUrl& url)> siteIcon;
};

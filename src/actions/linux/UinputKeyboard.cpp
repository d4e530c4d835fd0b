#include "actions/linux/UinputKeyboard.h"

#include "actions/linux/KeyCodeTable.h"
#include "core/ActionError.h"
#include "core/Log.h"

#include <QFile>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <linux/input.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

struct UinputKeyboard::Device {
    ~Device() {
        if (created) {
            ::ioctl(descriptor, UI_DEV_DESTROY);
        }
        ::close(descriptor);
    }

    int descriptor = -1;
    bool created = false;
    Clock::time_point readyAt;
    std::atomic<bool> failed{false};
};

namespace {

QString problemFor(const QString& path, int error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return QStringLiteral(
                       "Cannot post key events: %1 is missing (load the uinput kernel module)")
                .arg(path);
        case EACCES:
        case EPERM:
            return QStringLiteral(
                       "Allow Quorvel Zodovuvur to post key events: no permission to write %1 "
                       "(install the udev rules that grant it to your user)")
                .arg(path);
        case ENOTTY:
        case EINVAL:
            return QStringLiteral("Cannot post key events: %1 is not a uinput device").arg(path);
        default:
            return QStringLiteral("Cannot post key events: %1: %2")
                .arg(path, QString::fromLocal8Bit(strerror(error)));
    }
}

void appendEvent(std::vector<input_event>& stream, int type, int code, int value) {
    input_event event;
    std::memset(&event, 0, sizeof event);
    event.type = static_cast<__u16>(type);
    event.code = static_cast<__u16>(code);
    event.value = value;
    stream.push_back(event);
}

void appendKey(std::vector<input_event>& stream, int key, bool down) {
    appendEvent(stream, EV_KEY, key, down ? 1 : 0);
    // A report per key, so that modifiers are already down when the key arrives.
    appendEvent(stream, EV_SYN, SYN_REPORT, 0);
}

// The kernel events for one synthetic event; empty when it cannot be expressed.
std::vector<input_event> translate(const SyntheticKeyEvent& event) {
    std::vector<input_event> stream;
    if (event.kind == SyntheticKeyEvent::Kind::mediaKey) {
        if (const auto key = KeyCodeTable::linuxMediaKey(event.mediaKeyType)) {
            appendKey(stream, *key, event.down);
        }
        return stream;
    }
    const auto key = KeyCodeTable::linuxKey(event.keyCode);
    if (!key) {
        return stream;
    }
    QList<int> modifiers = KeyCodeTable::linuxModifiers(event.modifiers);
    modifiers.removeAll(*key);
    if (event.down) {
        for (int modifier : modifiers) {
            appendKey(stream, modifier, true);
        }
        appendKey(stream, *key, true);
    } else {
        appendKey(stream, *key, false);
        for (auto it = modifiers.crbegin(); it != modifiers.crend(); ++it) {
            appendKey(stream, *it, false);
        }
    }
    return stream;
}

bool writeAll(int descriptor, const std::vector<input_event>& stream) {
    const auto* data = reinterpret_cast<const char*>(stream.data());
    std::size_t left = stream.size() * sizeof(input_event);
    while (left > 0) {
        const ssize_t written = ::write(descriptor, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

UinputKeyboard::UinputKeyboard(QString devicePath, std::chrono::milliseconds settleDelay)
    : devicePath_(std::move(devicePath)), settleDelay_(settleDelay) {
}

std::unique_ptr<UinputKeyboard> UinputKeyboard::onDescriptor(int descriptor) {
    auto keyboard = std::make_unique<UinputKeyboard>(QString(), std::chrono::milliseconds(0));
    auto device = std::make_shared<Device>();
    device->descriptor = descriptor;
    device->readyAt = Clock::now();
    keyboard->device_ = std::move(device);
    return keyboard;
}

UinputKeyboard::~UinputKeyboard() {
    // Pending key-ups must still go out, or a modifier would stay pressed system-wide.
    queue_.shutdown();
}

QString UinputKeyboard::postingProblem() {
    std::lock_guard lock(mutex_);
    if (device_ && !device_->failed) {
        return {};
    }
    device_.reset();

    const QByteArray path = QFile::encodeName(devicePath_);
    const int descriptor = ::open(path.constData(), O_WRONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return problemFor(devicePath_, errno);
    }
    auto device = std::make_shared<Device>();
    device->descriptor = descriptor;

    bool ok = ::ioctl(descriptor, UI_SET_EVBIT, EV_KEY) == 0 &&
              ::ioctl(descriptor, UI_SET_EVBIT, EV_SYN) == 0;
    for (int key : KeyCodeTable::allLinuxKeys()) {
        ok = ok && ::ioctl(descriptor, UI_SET_KEYBIT, key) == 0;
    }
    if (ok) {
        uinput_setup setup;
        std::memset(&setup, 0, sizeof setup);
        setup.id.bustype = BUS_VIRTUAL;
        setup.id.vendor = 0x1209;
        setup.id.product = 0x5157;
        setup.id.version = 1;
        std::strncpy(setup.name, "Quorvel Zodovuvur virtual keyboard", UINPUT_MAX_NAME_SIZE - 1);
        ok = ::ioctl(descriptor, UI_DEV_SETUP, &setup) == 0 &&
             ::ioctl(descriptor, UI_DEV_CREATE) == 0;
    }
    if (!ok) {
        const int error = errno;
        return problemFor(devicePath_, error);
    }
    device->created = true;
    device->readyAt = Clock::now() + settleDelay_;
    device_ = std::move(device);
    return {};
}

bool UinputKeyboard::canPost(const SyntheticKeyEvent& event) const {
    return !translate(event).empty();
}

void UinputKeyboard::post(const QList<SyntheticKeyEvent>& events) {
    std::vector<input_event> stream;
    for (const SyntheticKeyEvent& event : events) {
        const std::vector<input_event> part = translate(event);
        if (part.empty()) {
            throw ActionError::failed(event.kind == SyntheticKeyEvent::Kind::mediaKey
                                          ? QStringLiteral("Could not create a media-key event")
                                          : QStringLiteral("Could not create keystroke events"));
        }
        stream.insert(stream.end(), part.begin(), part.end());
    }
    const QString problem = postingProblem();
    if (!problem.isEmpty()) {
        throw ActionError::failed(problem);
    }
    std::shared_ptr<Device> device;
    {
        std::lock_guard lock(mutex_);
        device = device_;
    }
    // Runs on the keyboard's queue.
    queue_.async([device, stream = std::move(stream)] {
        std::this_thread::sleep_until(device->readyAt);
        if (device->failed) {
            return;
        }
        if (!writeAll(device->descriptor, stream)) {
            logLine("Virtual keyboard write failed: %s", strerror(errno));
            device->failed = true;
        }
    });
}

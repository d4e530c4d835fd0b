#pragma once

#include "actions/InputPoster.h"

#include "core/SerialQueue.h"

#include <QString>

#include <chrono>
#include <memory>
#include <mutex>

// InputPoster on a kernel virtual keyboard (/dev/uinput), which works the same under X11 and
// Wayland. The device is created at the first permission check and kept; "may post input"
// means the device node can be opened for writing.
//
// Events are written on the keyboard's own queue ("Quorvel.input"). A freshly created device is
// not yet watched by the display server, so the first writes wait `settleDelay` after creation
// rather than vanish; later writes go out at once, always in the order posted.
class UinputKeyboard final : public InputPoster {
public:
    explicit UinputKeyboard(QString devicePath = QStringLiteral("/dev/uinput"),
                            std::chrono::milliseconds settleDelay = std::chrono::milliseconds(300));

    // Writes to `descriptor`, which is already set up (a pipe in tests), and takes ownership.
    static std::unique_ptr<UinputKeyboard> onDescriptor(int descriptor);

    ~UinputKeyboard() override;

    QString postingProblem() override;
    bool canPost(const SyntheticKeyEvent& event) const override;
    void post(const QList<SyntheticKeyEvent>& events) override;

    struct Device;

private:
    QString devicePath_;
    std::chrono::milliseconds settleDelay_;
    std::mutex mutex_;
    std::shared_ptr<Device> device_;
    SerialQueue queue_{QStringLiteral("Quorvel.input")};
};

#pragma once

#include "device/DeviceKind.h"

#include <QImage>
#include <QList>
#include <QString>

#include <exception>
#include <memory>
#include <string>
#include <vector>

class SimulatedHidManager;
class VirtualPad;

// Why a request to the virtual pads was refused; `message()` says it in words for the caller.
class VirtualPadError : public std::exception {
public:
    enum class Reason {
        unknownPad,       // no virtual pad has that name
        invalidArgument,  // a key, button, dial or step count the pad does not have
        unplugged,        // the pad is unplugged, so it cannot send input
        writeFailed,      // the picture could not be written
    };

    VirtualPadError(Reason reason, const QString& message)
        : reason_(reason), message_(message), utf8_(message.toStdString()) {}

    Reason reason() const noexcept { return reason_; }
    const QString& message() const noexcept { return message_; }
    const char* what() const noexcept override { return utf8_.c_str(); }

private:
    Reason reason_;
    QString message_;
    std::string utf8_;
};

// The virtual pads of `quorvel --simulate`, by name, and what a developer can do with them:
// actuate their controls, unplug and plug them, and save the picture each pad shows. The input
// travels the way a real pad's does (input reports through the HID manager to the store).
//
// Threads: main thread only. Ownership: shares the pads; `hid` must outlive this object.
// Failures: every operation throws VirtualPadError for a request it cannot carry out and changes
// nothing then.
class VirtualPads {
public:
    // What a virtual pad is and whether it is attached. `name`, `kind` and `deviceID` never
    // change; `plugged` does.
    struct Listing {
        QString name;
        QString kind;  // the stored kind: "mountain" or "msdTwo"
        QString deviceID;
        bool plugged = false;
    };

    // Virtual pads sit on bus 0, which no real USB bus uses, so their locations (and the
    // device ids made from them) never meet a real pad's.
    static constexpr uint32_t displayPadLocation = 0x00100000;
    static constexpr uint32_t msdTwoLocation = 0x00200000;
    // Fixed serial numbers keep the device ids, and so the pads' settings, from run to run.
    static constexpr const char* displayPadSerial = "VIRTUAL-DISPLAYPAD";
    static constexpr const char* msdTwoSerial = "VIRTUAL-MSD-TWO";
    // Turning a dial sends one report per step; more than this in one request is refused.
    static constexpr int maximumSteps = 100;

    explicit VirtualPads(SimulatedHidManager& hid);

    // Adds one virtual pad of each kind, named "displaypad" and "msd-two", and plugs them in.
    void addStandardPads();
    // Adds `pad` under `name` and plugs it in. A name already taken is refused (invalidArgument).
    void add(const QString& name, const std::shared_ptr<VirtualPad>& pad);

    QList<Listing> list() const;
    // The pad itself, to look at what it received (unknownPad when there is none).
    std::shared_ptr<VirtualPad> pad(const QString& name) const { return find(name).pad; }

    // DisplayPad key 1...12 goes down (and stays down) / comes up.
    void pressKey(const QString& pad, int key);
    void releaseKey(const QString& pad, int key);
    // One press of a screen button: MSD-TWO screen button 1...6, or DisplayPad key 1...12
    // pressed and released.
    void pressButton(const QString& pad, int button);
    // MSD-TWO dials "large", "left" and "right": `steps` clicks, positive clockwise, negative
    // counterclockwise, 1...maximumSteps either way.
    void turnDial(const QString& pad, const QString& dial, int steps);
    void pressDial(const QString& pad, const QString& dial);
    // MSD-TWO circular buttons "left", "middle" and "right".
    void pressRoundButton(const QString& pad, const QString& which);
    // Detaches / attaches the pad as pulling / inserting its cable would. Doing it twice is
    // harmless.
    void unplug(const QString& pad);
    void plug(const QString& pad);

    // The picture the pad shows (DisplayPad: 612 x 204, the twelve keys; MSD-TWO: the 320 x 240
    // screen).
    QImage picture(const QString& pad) const;
    // Writes picture() as a PNG file to `path`, an absolute path whose folder exists; the file
    // is replaced as a whole or not at all.
    void savePicture(const QString& pad, const QString& path) const;

    // Names of the dials and round buttons, for messages and documentation.
    static QStringList dialNames();
    static QStringList roundButtonNames();

private:
    struct Entry {
        QString name;
        std::shared_ptr<VirtualPad> pad;
    };

    const Entry& find(const QString& name) const;
    template <typename PadType>
    std::shared_ptr<PadType> pluggedAs(const QString& name, const char* operation) const;
    DialGroup dial(const QString& name) const;

    SimulatedHidManager& hid_;
    std::vector<Entry> entries_;
};

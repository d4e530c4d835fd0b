#include "app/VirtualPads.h"

#include "device/virtual/SimulatedHidManager.h"
#include "device/virtual/VirtualDisplayPad.h"
#include "device/virtual/VirtualMsdTwo.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cstdlib>

namespace {
using Reason = VirtualPadError::Reason;

// In the order of DeviceKind::dials(): the large dial, then the left and the right small dial.
const QStringList dialOrder = {QStringLiteral("large"), QStringLiteral("left"),
                               QStringLiteral("right")};
const QStringList roundButtonOrder = {QStringLiteral("left"), QStringLiteral("middle"),
                                      QStringLiteral("right")};

QString padKindName(const VirtualPad& pad) {
    return pad.kind().name();
}
}  // namespace

VirtualPads::VirtualPads(SimulatedHidManager& hid) : hid_(hid) {
}

void VirtualPads::addStandardPads() {
    add(QStringLiteral("displaypad"),
        VirtualDisplayPad::create(displayPadLocation, QString::fromLatin1(displayPadSerial)));
    add(QStringLiteral("msd-two"),
        VirtualMsdTwo::create(msdTwoLocation, QString::fromLatin1(msdTwoSerial)));
}

void VirtualPads::add(const QString& name, const std::shared_ptr<VirtualPad>& pad) {
    if (!pad || name.isEmpty()) {
        throw VirtualPadError(Reason::invalidArgument,
                              QStringLiteral("A virtual pad needs a name and a pad"));
    }
    const bool taken = std::any_of(entries_.begin(), entries_.end(),
                                   [&](const Entry& entry) { return entry.name == name; });
    if (taken) {
        throw VirtualPadError(
            Reason::invalidArgument,
            QStringLiteral("A virtual pad named \"%1\" exists already").arg(name));
    }
    entries_.push_back({name, pad});
    hid_.add(pad);
}

QList<VirtualPads::Listing> VirtualPads::list() const {
    QList<Listing> listing;
    for (const Entry& entry : entries_) {
        const HidDeviceInfo& info = entry.pad->info();
        listing.append({entry.name, entry.pad->kind().rawValue(),
                        entry.pad->kind().identity(info.serialNumber, info.locationID.value_or(0)),
                        entry.pad->isPlugged()});
    }
    return listing;
}

const VirtualPads::Entry& VirtualPads::find(const QString& name) const {
    for (const Entry& entry : entries_) {
        if (entry.name == name) {
            return entry;
        }
    }
    QStringList names;
    for (const Entry& entry : entries_) {
        names.append(entry.name);
    }
    throw VirtualPadError(Reason::unknownPad,
                          QStringLiteral("No virtual pad is named \"%1\"; the virtual pads are: %2")
                              .arg(name, names.join(QStringLiteral(", "))));
}

template <typename PadType>
std::shared_ptr<PadType> VirtualPads::pluggedAs(const QString& name, const char* operation) const {
    const Entry& entry = find(name);
    auto pad = std::dynamic_pointer_cast<PadType>(entry.pad);
    if (!pad) {
        const DeviceKind wanted =
            std::is_same_v<PadType, VirtualDisplayPad> ? DeviceKind::mountain : DeviceKind::msdTwo;
        throw VirtualPadError(
            Reason::invalidArgument,
            QStringLiteral("\"%1\" is a %2; %3 is for the %4")
                .arg(name, padKindName(*entry.pad), QString::fromLatin1(operation), wanted.name()));
    }
    if (!pad->isPlugged()) {
        throw VirtualPadError(
            Reason::unplugged,
            QStringLiteral("The virtual pad \"%1\" is unplugged; plug it in first").arg(name));
    }
    return pad;
}

namespace {
void checkKey(int key) {
    if (key < 1 || key > VirtualDisplayPad::keyCount) {
        throw VirtualPadError(Reason::invalidArgument,
                              QStringLiteral("Key %1 is out of range: the %2 has keys 1 to %3")
                                  .arg(key)
                                  .arg(DeviceKind(DeviceKind::mountain).name())
                                  .arg(VirtualDisplayPad::keyCount));
    }
}
}  // namespace

void VirtualPads::pressKey(const QString& pad, int key) {
    auto displayPad = pluggedAs<VirtualDisplayPad>(pad, "PressKey");
    checkKey(key);
    displayPad->press(key);
}

void VirtualPads::releaseKey(const QString& pad, int key) {
    auto displayPad = pluggedAs<VirtualDisplayPad>(pad, "ReleaseKey");
    checkKey(key);
    displayPad->release(key);
}

void VirtualPads::pressButton(const QString& pad, int button) {
    const Entry& entry = find(pad);
    if (entry.pad->kind() == DeviceKind::mountain) {
        auto displayPad = pluggedAs<VirtualDisplayPad>(pad, "PressButton");
        checkKey(button);
        displayPad->press(button);
        displayPad->release(button);
        return;
    }
    auto msdTwo = pluggedAs<VirtualMsdTwo>(pad, "PressButton");
    if (button < 1 || button > VirtualMsdTwo::buttonCount) {
        throw VirtualPadError(
            Reason::invalidArgument,
            QStringLiteral("Screen button %1 is out of range: the %2 has screen buttons 1 to %3")
                .arg(button)
                .arg(msdTwo->kind().name())
                .arg(VirtualMsdTwo::buttonCount));
    }
    msdTwo->pressScreenButton(button);
}

DialGroup VirtualPads::dial(const QString& name) const {
    const auto dials = DeviceKind(DeviceKind::msdTwo).dials();
    const qsizetype index = dialOrder.indexOf(name);
    if (index < 0 || static_cast<size_t>(index) >= dials.size()) {
        throw VirtualPadError(Reason::invalidArgument,
                              QStringLiteral("Unknown dial \"%1\": the dials are %2")
                                  .arg(name, dialOrder.join(QStringLiteral(", "))));
    }
    return dials[static_cast<size_t>(index)];
}

void VirtualPads::turnDial(const QString& pad, const QString& dialName, int steps) {
    auto msdTwo = pluggedAs<VirtualMsdTwo>(pad, "TurnDial");
    const DialGroup group = dial(dialName);
    if (steps == 0 || std::abs(steps) > maximumSteps) {
        throw VirtualPadError(Reason::invalidArgument,
                              QStringLiteral("Steps must be 1 to %1 clockwise or -1 to -%1 "
                                             "counterclockwise, not %2")
                                  .arg(maximumSteps)
                                  .arg(steps));
    }
    msdTwo->turn(group, steps);
}

void VirtualPads::pressDial(const QString& pad, const QString& dialName) {
    auto msdTwo = pluggedAs<VirtualMsdTwo>(pad, "PressDial");
    msdTwo->pressDial(dial(dialName));
}

void VirtualPads::pressRoundButton(const QString& pad, const QString& which) {
    auto msdTwo = pluggedAs<VirtualMsdTwo>(pad, "PressRoundButton");
    if (!roundButtonOrder.contains(which)) {
        throw VirtualPadError(
            Reason::invalidArgument,
            QStringLiteral("Unknown round button \"%1\": the round buttons are %2")
                .arg(which, roundButtonOrder.join(QStringLiteral(", "))));
    }
    // In the order of the pad's own table, as the names are.
    msdTwo->sendControl(msdTwo->kind().roundButtons().value(roundButtonOrder.indexOf(which)));
}

void VirtualPads::unplug(const QString& pad) {
    hid_.unplug(find(pad).pad);
}

void VirtualPads::plug(const QString& pad) {
    hid_.plug(find(pad).pad);
}

QImage VirtualPads::picture(const QString& pad) const {
    return find(pad).pad->picture();
}

void VirtualPads::savePicture(const QString& pad, const QString& path) const {
    const QImage image = picture(pad);
    if (!QDir::isAbsolutePath(path)) {
        throw VirtualPadError(
            Reason::invalidArgument,
            QStringLiteral("The picture's path must be absolute, not \"%1\"").arg(path));
    }
    const auto failed = [&](const QString& reason) {
        return VirtualPadError(
            Reason::writeFailed,
            QStringLiteral("Could not write the picture to %1: %2").arg(path, reason));
    };
    if (QFileInfo(path).isDir()) {
        throw failed(QStringLiteral("it is a folder"));
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        throw failed(file.errorString());
    }
    if (!image.save(&file, "PNG")) {
        file.cancelWriting();
        throw failed(QStringLiteral("the image could not be encoded as PNG"));
    }
    if (!file.commit()) {
        throw failed(file.errorString());
    }
}

QStringList VirtualPads::dialNames() {
    return dialOrder;
}

QStringList VirtualPads::roundButtonNames() {
    return roundButtonOrder;
}

#pragma once

#include <QList>
#include <QtGlobal>

#include <optional>

// The one table between stored virtual key codes / modifier flags and Linux input codes
// (KEY_* of linux/input-event-codes.h, as plain numbers so that includers need no Linux
// header). Recording a shortcut uses the reverse direction: a Qt key event's native scan code
// on X11 and Wayland is the Linux code plus 8.
namespace KeyCodeTable {

std::optional<int> linuxKey(quint16 virtualKeyCode);
std::optional<quint16> virtualKeyCode(int linuxKey);

// The Linux media key for an auxiliary-control key type (16 play/pause, 17 next, 18 previous,
// also 0 volume up, 1 volume down, 7 mute, 19 fast forward, 20 rewind).
std::optional<int> linuxMediaKey(int mediaKeyType);

// Left-hand modifier keys for the flag bits in `modifiers`, in the order they are pressed:
// control, option (Alt), shift, command (Super). Release in reverse.
QList<int> linuxModifiers(quint64 modifiers);

// Every Linux key the table can produce, for declaring a virtual keyboard's capabilities.
QList<int> allLinuxKeys();

}  // namespace KeyCodeTable

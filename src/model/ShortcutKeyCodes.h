#pragma once

#include <QtGlobal>

#include <optional>

// Which physical key a keyboard event of the desktop came from, as the stored (virtual) key code
// that bindings keep, so that a shortcut recorded here replays on any machine. The desktop's
// own part lives in the platform folder beside this header.
namespace ShortcutKeyCodes {

// The stored key code for a Qt key event's native scan code; none when the platform gave no
// scan code or the key has no stored equivalent. Pure; any thread.
std::optional<quint16> virtualKeyCode(quint32 nativeScanCode);

}  // namespace ShortcutKeyCodes

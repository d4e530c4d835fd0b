#include "model/ShortcutKeyCodes.h"

#include "actions/linux/KeyCodeTable.h"

namespace ShortcutKeyCodes {

std::optional<quint16> virtualKeyCode(quint32 nativeScanCode) {
    // X11 key codes, which Qt passes on under xcb and Wayland alike, are the kernel's input
    // codes shifted by 8 (the X protocol reserves 0...7); anything below is no key at all.
    constexpr quint32 x11Offset = 8;
    if (nativeScanCode <= x11Offset) {
        return std::nullopt;
    }
    return KeyCodeTable::virtualKeyCode(static_cast<int>(nativeScanCode - x11Offset));
}

}  // namespace ShortcutKeyCodes

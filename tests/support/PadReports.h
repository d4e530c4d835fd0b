#pragma once

#include <QByteArray>

#include <initializer_list>

// Input reports as the pads send them, for tests of the decoding and routing paths.

// A DisplayPad key-state report (48 bytes, or `size`) with the given keys 1...12 down.
QByteArray displayPadKeyReport(std::initializer_list<int> keys, int size = 48);

// An MSD-TWO "ACK .. OK" report carrying `control` at byte 9, padded with `padding` bytes of
// `fill` after it.
QByteArray msdTwoReport(int control, int padding = 6, char fill = '\x7f');

#include "support/PadReports.h"

QByteArray displayPadKeyReport(std::initializer_list<int> keys, int size) {
    QByteArray report(size, '\0');
    report[0] = 0x01;
    // Keys 1 to 7 are bits 1 to 7 of byte 42, keys 8 to 12 bits 0 to 4 of byte 47.
    for (int key : keys) {
        report[key <= 7 ? 42 : 47] |= static_cast<char>(1 << (key <= 7 ? key : key - 8));
    }
    return report;
}

QByteArray msdTwoReport(int control, int padding, char fill) {
    return QByteArray("ACK\0\0OK\0\0", 9) + static_cast<char>(control) + QByteArray(padding, fill);
}

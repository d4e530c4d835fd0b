#include "support/PadReports.h"

QByteArray displayPadKeyReport(std::initializer_list<int> keys, int size) {
    QByteArray report(size, '\0');
    report[0] = 0x01;
    for (int key : keys) {
        // Keys 1 to 7 are bits 1 to 7 of byte 42, keys 8 to 12 bits 0 to 4 of byte 47.
        const int byte = key <= 7 ? 42 : 47;
        const int bit = key <= 7 ? key : key - 8;
        report[byte] = static_cast<char>(report[byte] | (1 << bit));
    }
    return report;
}

QByteArray msdTwoReport(int control, int padding, char fill) {
    QByteArray report("ACK\0\0OK\0\0", 9);
    report.append(static_cast<char>(control));
    report.append(QByteArray(padding, fill));
    return report;
}

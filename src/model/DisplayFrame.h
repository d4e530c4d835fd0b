#pragma once

#include <QByteArray>
#include <QList>

// What a pad shows at one moment: one encoded image per LCD key, key 1 first, and the
// full-screen background (RGB565 on the MSD-TWO, empty on the Mountain DisplayPad).
struct DisplayFrame {
    QList<QByteArray> images;
    QByteArray background;
};

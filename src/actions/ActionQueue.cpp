#include "actions/ActionQueue.h"

SerialQueue& ActionQueue::shared() {
    static SerialQueue queue(QStringLiteral("Mountain DisplayPad.actions"));
    return queue;
}

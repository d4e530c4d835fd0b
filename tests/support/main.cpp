#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

void keepForkUnderTsan();

// Every test executable runs inside a Qt application on the offscreen platform, with Qt's
// standard locations in test mode so that nothing touches the user's folders.
int main(int argc, char** argv) {
    keepForkUnderTsan();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QStandardPaths::setTestModeEnabled(true);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

// The GUI tests' main: the offscreen platform unless told otherwise, one application for
// every test, the program's per-user and machine-wide folders in a temporary folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>

#include <cstdlib>

#include "services/fetch.h"
#include "support/temp_dir.h"

int main(int argc, char** argv) {
    // Nothing a test does may reach the user's or the machine's real settings and data.
    UseTemporaryHomes();
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    // Page downloads keep the window repainting.
    SetFetchEventPump([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

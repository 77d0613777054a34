#include <gtest/gtest.h>

#include <QApplication>

#include "runtime/Desktop.h"
#include "runtime/RecordingDesktop.h"

// Every test runs against real widgets offscreen, with a desktop that records instead of
// beeping or showing message boxes.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    int qtArgc = 1;  // the program must not take the test's own arguments for documents
    QApplication app(qtArgc, argv);
    SetDesktop(std::make_unique<RecordingDesktop>());
    return RUN_ALL_TESTS();
}

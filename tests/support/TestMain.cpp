#include <QCoreApplication>
#include <gtest/gtest.h>

// Every test executable gets an application object, so timers, event loops and
// file helpers behave as in the program.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

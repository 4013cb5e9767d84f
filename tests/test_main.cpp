// Test main: sockets, threads and queued signals need an application object
// on the main thread, and widgets a QApplication.

#include <gtest/gtest.h>

#ifdef PITLINK_TEST_GUI
#include <QApplication>
using Application = QApplication;
#else
#include <QCoreApplication>
using Application = QCoreApplication;
#endif

int main(int argc, char **argv)
{
    Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

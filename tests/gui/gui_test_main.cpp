// Entry point of the GUI tests: the program's own application object on the offscreen
// platform, shared by all tests.
#include <gtest/gtest.h>

#include "browser/unitApplication.h"

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

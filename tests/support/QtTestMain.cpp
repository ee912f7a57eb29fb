#include <QCoreApplication>

#include <gtest/gtest.h>

#ifdef ORVANE_TSAN_SUPPRESSIONS
// Read by the race detector before main; the file says which reports are Qt's event queue.
extern "C" const char* __tsan_default_options() {
    return "suppressions=" ORVANE_TSAN_SUPPRESSIONS;
}
#endif

// Posted events need an application object and its event loop on the test's own thread, which
// plays the user-interface thread.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

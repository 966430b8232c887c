#include "platform/com.h"

#include <gtest/gtest.h>

#include <thread>

namespace mojing::platform {
namespace {

TEST(Com, DepthIsCountedPerThreadAndNeverGoesBelowZero) {
    CoUninitialize();
    EXPECT_EQ(ComInitializationDepth(), 0);

    CoInitialize();
    CoInitialize();
    EXPECT_EQ(ComInitializationDepth(), 2);
    std::thread([] {
        EXPECT_EQ(ComInitializationDepth(), 0);
        CoInitialize();
        EXPECT_EQ(ComInitializationDepth(), 1);
    }).join();
    EXPECT_EQ(ComInitializationDepth(), 2);

    CoUninitialize();
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(ComInitializationDepth(), 0);
    CoInitialize();
    EXPECT_EQ(ComInitializationDepth(), 1);
}

}  // namespace
}  // namespace mojing::platform

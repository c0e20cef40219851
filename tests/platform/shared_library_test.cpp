// A library loaded while the program runs: found by its name and major version, and a missing
// library or function is a null function, never a crash.
#include <gtest/gtest.h>
#include <mpv/client.h>

#include "platform/shared_library.h"

TEST(SharedLibrary, FindsTheInstalledLibmpvThatMatchesTheHeaders) {
    platform::SharedLibrary library("mpv", MPV_CLIENT_API_VERSION >> 16);
    const auto version = reinterpret_cast<decltype(&mpv_client_api_version)>(
        library.resolve("mpv_client_api_version"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version() >> 16, MPV_CLIENT_API_VERSION >> 16);
    EXPECT_EQ(library.resolve("no_such_function_in_libmpv"), nullptr);
}

TEST(SharedLibrary, MissingLibraryGivesNullFunctionsEveryTime) {
    platform::SharedLibrary library("wavelark-no-such-library", 1);
    EXPECT_EQ(library.resolve("mpv_create"), nullptr);
    EXPECT_EQ(library.resolve("mpv_create"), nullptr);
}

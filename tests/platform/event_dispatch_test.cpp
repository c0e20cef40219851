#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/event_dispatch.h"
#include "platform/message_box.h"
#include "platform/runtime_error.h"

// A handler that fails again while its report is open (libmpv missing, Next held on the media
// keys) adds no box inside the open one; once it is closed, the next failure is reported.
TEST(Dispatch, ReportsOneRunTimeErrorAtATime) {
    std::vector<std::string> shown;
    const auto fail = [] { throw platform::errors::invalidCall(); };
    platform::setMessageBoxHandler([&](const std::string& text) {
        shown.push_back(text);
        platform::dispatch(fail);
    });
    platform::dispatch(fail);
    EXPECT_EQ(shown.size(), 1u);
    platform::dispatch(fail);
    EXPECT_EQ(shown.size(), 2u);
    platform::setMessageBoxHandler(nullptr);
}

// A main thread that never sizes the buffer~: the loader gives up after its 30 seconds of
// polling and the load ends with the error bang. Takes those 30 seconds.
#include "shell_test_host.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

TEST(ResizeWait, TimesOutWithTheErrorBang)
{
    HostSession s("", 10, 1, 44100);
    s.send("replace " + fixture("s16.flac"));
    // Not pumping the main thread leaves the resize undone; the loader's error shows in
    // what it raised.
    for (int i = 0; i < 120000 && !(shell_raised(s.id) & VORLO_NOTE_ERR); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(shell_raised(s.id) & VORLO_NOTE_ERR);
    ASSERT_TRUE(host_wait(60));
    std::vector<std::string> outlets = take_outlets();
    EXPECT_TRUE(has_line(outlets, s.id + " 2: bang")) << joined(outlets);
    EXPECT_FALSE(has_line(outlets, s.id + " 1: bang")) << joined(outlets);
    EXPECT_TRUE(has_line(take_console(), "vorlo~: error: FATAL ERROR: the resize function timed out (>30sec)"));
}

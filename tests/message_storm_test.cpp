// Storms of messages from a seeded generator (see message_storm.h), in the plain build and
// under every sanitizer of the suite. VORLO_STORM_SEED chooses another seed and
// VORLO_STORM_COUNT plays that many storms instead of the few that the suite plays.
#include "fixtures.h"
#include "headless_host.h"
#include "message_storm.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <random>
#include <vector>

namespace {

unsigned long setting(const char *name, unsigned long otherwise)
{
    const char *value = getenv(name);
    return value && *value ? strtoul(value, nullptr, 10) : otherwise;
}

TEST(MessageStorm, SeededStormsKeepTheInvariants)
{
    StormFiles files = {fixture("s16.wav"), fixture("s16.flac")};
    unsigned long seed = setting("VORLO_STORM_SEED", 1), storms = setting("VORLO_STORM_COUNT", 12);
    std::mt19937 random((unsigned)seed);
    for (unsigned long storm = 0; storm < storms; storm++) {
        std::vector<uint8_t> bytes(600);
        for (uint8_t &byte : bytes)
            byte = (uint8_t)random();
        ASSERT_EQ(run_message_storm(bytes.data(), bytes.size(), files), "") << "seed " << seed << ", storm " << storm;
    }
    EXPECT_EQ(host_alive_count(), 0);
}

} // namespace

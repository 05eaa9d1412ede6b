// Drives vorlo~ in-process through the headless host, as a patcher would: script lines in,
// outlet and console lines out, the instance record at hand.
#ifndef SHELL_TEST_HOST_H
#define SHELL_TEST_HOST_H

#include "fixtures.h"
#include "headless_host.h"
#include "object_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

inline void shell_run(const std::string &line)
{
    ASSERT_EQ(host_run_line(line), 0) << line;
}

inline void shell_run_all(const std::vector<std::string> &lines)
{
    for (const std::string &line : lines)
        shell_run(line);
}

inline t_vorlo *shell_instance(const std::string &id = "v")
{
    return (t_vorlo *)host_instance(id);
}

// Runs the lines, waits for what they started, and forgets what they printed.
inline void shell_prepare(const std::vector<std::string> &lines)
{
    shell_run_all(lines);
    EXPECT_TRUE(host_wait(30));
    host_take_console();
    host_take_outlets();
}

// The first n lines, or all when there are fewer.
inline std::vector<std::string> shell_head(const std::vector<std::string> &lines, size_t n)
{
    return std::vector<std::string>(lines.begin(), lines.begin() + (long)std::min(n, lines.size()));
}

#endif

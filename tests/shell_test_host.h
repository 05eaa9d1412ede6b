// Drives vorlo~ in-process through the headless host, as a patcher would: script lines in,
// outlet and console lines out, the instance record and its current load at hand.
#ifndef SHELL_TEST_HOST_H
#define SHELL_TEST_HOST_H

#include "fixtures.h"
#include "headless_host.h"
#include "loader.h"

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

// The instance's current load, or null. Read on the main thread, which alone lets a load go.
inline t_vorlo_load *shell_load(const std::string &id = "v")
{
    t_vorlo *x = shell_instance(id);
    return x ? x->load : nullptr;
}

// What the current load has raised and the main thread has not yet delivered.
inline int32_t shell_raised(const std::string &id = "v")
{
    t_vorlo_load *load = shell_load(id);
    return load ? load->raised.load() : 0;
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

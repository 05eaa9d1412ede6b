// The loader thread beside the main thread: a stop while decoding, a stop while the loader
// waits for the resize, a new request over a running one, and loads side by side. Each case
// waits for a state of the loader, never for a time.
#include "shell_test_host.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

namespace {

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Polls without pumping the main thread, so that the loader's notifications stay queued.
bool await(const std::function<bool()> &condition)
{
    for (int i = 0; i < 60000; i++) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// Pumps the main thread until an outlet line appears; the lines seen are kept in `seen`.
bool pump_until(const std::string &line, std::vector<std::string> *seen)
{
    for (int i = 0; i < 6000; i++) {
        host_idle(10);
        std::vector<std::string> more = take_outlets();
        seen->insert(seen->end(), more.begin(), more.end());
        if (has_line(*seen, line))
            return true;
    }
    return false;
}

// A file that arrives through a pipe: the first part at once, the rest never. The writer
// closes the pipe when the test is over, as a stalled source would end at last.
struct SlowSource {
    std::string path;
    std::atomic<bool> released{false};
    std::thread writer;
    SlowSource(const std::string &file, double part)
    {
        static int pipes = 0;
        // The loader may stop reading before all is written.
        signal(SIGPIPE, SIG_IGN);
        path = fixture_dir_path("pipe-" + std::to_string(getpid()) + "-" + std::to_string(pipes++) + ".flac");
        unlink(path.c_str());
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
        std::ifstream in(file, std::ios::binary);
        std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        data.resize((size_t)(data.size() * part));
        writer = std::thread([this, data] {
            int fd = open(path.c_str(), O_WRONLY);
            for (size_t done = 0; fd >= 0 && done < data.size();) {
                ssize_t n = write(fd, data.data() + done, data.size() - done);
                if (n <= 0)
                    break;
                done += (size_t)n;
            }
            while (!released)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            close(fd);
        });
    }
    ~SlowSource()
    {
        released = true;
        writer.join();
        unlink(path.c_str());
    }
};

// A break while decoding: what was written stays, in its place, the rest is untouched, and
// the done bang follows. The source stalls after 8 of its 20 seconds, so the break comes
// while the loader is still at work.
TEST(Stop, BreakWhileDecodingKeepsWhatWasWritten)
{
    std::string file = fixture("long.flac");
    Decoded reference = reference_decode(file);
    {
        HostSession s;
        SlowSource source(file, 0.4);
        s.send("replace " + source.path);
        std::vector<std::string> seen;
        ASSERT_TRUE(pump_until(s.id + " 0: 44100. 1 20000. 0. FC flac " + source.path, &seen))
            << joined(take_console());
        s.send("break");
        ASSERT_TRUE(host_wait(60));
        std::vector<std::string> more = take_outlets();
        seen.insert(seen.end(), more.begin(), more.end());
        EXPECT_TRUE(has_line(seen, s.id + " 1: bang")) << joined(seen) << joined(take_console());
        EXPECT_FALSE(has_line(seen, s.id + " 2: bang")) << joined(take_console());

        Decoded buffer = s.contents();
        ASSERT_EQ(buffer.frames(), reference.frames());
        size_t written = 0;
        while (written < buffer.samples.size() && buffer.samples[written] == reference.samples[written])
            written++;
        EXPECT_GT(written, 0u);
        EXPECT_LT(written, (size_t)(9 * 44100));
        std::vector<float> silence(buffer.samples.size() - written, 0.0f);
        EXPECT_EQ(first_difference(buffer.samples, silence, (long)written, 0), "");
    }
    EXPECT_EQ(host_alive_count(), 0);
}

// A break while the loader waits for the buffer~ to be sized: no bang, no resize.
TEST(Stop, BreakDuringTheResizeWait)
{
    {
        HostSession s("@debug 1", 10, 1, 44100);
        s.send("replace " + fixture("s16.flac"));
        ASSERT_TRUE(await([&s] { return (shell_raised(s.id) & VORLO_NOTE_LOADEXIT) != 0; }));
        s.send("break");
        host_idle(20);
        EXPECT_TRUE(take_outlets().empty());
        EXPECT_TRUE(has_line(take_console(), "vorlo~: aborting thread ! reason: -Abort Request-"));
        EXPECT_TRUE(host_buffer_messages(s.buffer).empty());
        EXPECT_EQ(s.contents().frames(), 10);
    }
    EXPECT_EQ(host_alive_count(), 0);
}

// A new request over a load still waiting for its resize: only the new one is heard of.
TEST(Stop, NewRequestReplacesTheRunningLoad)
{
    std::string first = fixture("s16.flac"), second = fixture("ch3.wav");
    HostSession s;
    s.send("replace " + first);
    ASSERT_TRUE(await([&s] { return (shell_raised(s.id) & VORLO_NOTE_LOADEXIT) != 0; }));
    s.send("replace " + second);
    ASSERT_TRUE(host_wait(60));
    std::vector<std::string> wanted = {s.id + " 0: 44100. 3 2000. 0. \"FL FR LFE\" pcm_s16le " + second,
                                       s.id + " 1: bang"};
    EXPECT_EQ(take_outlets(), wanted) << joined(take_console());
    Decoded reference = reference_decode(second);
    EXPECT_EQ(s.contents().samples, reference.samples);
}

// A read that blocks in the system (a stalled network share, a disk spinning up) holds
// nothing of the main thread: a free, a break, a new request or the free of the target
// buffer~ returns at once, wherever the loader is stalled, and the next load works while the
// stopped one still waits for its read. A load that had begun writing tells its list and its
// done bang at the stop; the stopped loader, once its read returns, tells nothing more.
struct StallCase {
    const char *name;
    const char *action;   // a script line; ID and BUF stand for the instance and its buffer~
    bool writing;         // stalled once the load has begun writing, else in its first read
};

const StallCase kStalls[] = {
    {"free_at_open", "free ID", false},       {"break_at_open", "ID break", false},
    {"request_at_open", "ID replace OTHER", false}, {"buffer_freed_at_open", "delete BUF", false},
    {"free_while_writing", "free ID", true},  {"break_while_writing", "ID break", true},
    {"request_while_writing", "ID replace OTHER", true}, {"buffer_freed_while_writing", "delete BUF", true},
};

std::string with_words(std::string line, const std::string &id, const std::string &buffer, const std::string &other)
{
    for (const auto &word : {std::make_pair("ID", id), std::make_pair("BUF", buffer), std::make_pair("OTHER", other)})
        for (size_t at; (at = line.find(word.first)) != std::string::npos;)
            line.replace(at, strlen(word.first), word.second);
    return line;
}

bool starts_with(const std::string &line, const std::string &head)
{
    return line.compare(0, head.size(), head) == 0;
}

TEST(Stop, NothingWaitsForAReadThatBlocks)
{
    const double kStall = 3;
    std::string other = fixture("s16.flac");
    const Decoded &expected = reference_of(other);
    for (const StallCase &c : kStalls) {
        SCOPED_TRACE(c.name);
        std::string file = fixture_dir_path(std::string("stalled-") + c.name + ".flac");
        std::ifstream in(fixture("long_stereo.flac"), std::ios::binary);
        std::ofstream(file, std::ios::binary) << in.rdbuf();
        auto s = std::make_unique<HostSession>();
        std::string id = s->id, error;
        if (!c.writing) {
            ASSERT_TRUE(host_stall(file, kStall, &error)) << error;
        }
        s->send("replace " + file);
        if (c.writing) {
            // The list comes once writing has begun; the stall then catches the next read.
            std::vector<std::string> seen;
            for (int i = 0; i < 60000 && seen.empty(); i++) {
                host_idle(1);
                seen = take_outlets();
            }
            ASSERT_TRUE(host_stall(file, kStall, &error)) << error;
            ASSERT_EQ(seen.size(), 1u) << "the load ended before its read was stalled: " << joined(seen);
            ASSERT_TRUE(starts_with(seen[0], id + " 0: ")) << seen[0];
        }
        host_hold(50);  // the loader reaches the stalled read
        auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(host_run_line(with_words(c.action, id, s->buffer, other)), 0);
        double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(took, 1.0) << "the main thread waited for the stalled read";
        bool freed = c.action[0] == 'f', lost = c.action[0] == 'd';
        // The stopped load's end: its done bang during the stop once it has written; the error
        // bang on the next turn when its buffer~ went away; nothing when freed with the box.
        host_idle(0);
        std::vector<std::string> told = take_outlets();
        std::vector<std::string> wanted;
        if (lost)
            wanted = {id + " 2: bang"};
        else if (c.writing && !freed)
            wanted = {id + " 1: bang"};
        EXPECT_EQ(std::vector<std::string>(told.begin(), told.begin() + std::min(told.size(), wanted.size())), wanted);
        told.erase(told.begin(), told.begin() + std::min(told.size(), wanted.size()));
        // The next load, while the stopped one still waits.
        if (freed)
            s = std::make_unique<HostSession>();
        if (!host_buffer_find(s->buffer.c_str()))
            host_buffer(s->buffer, 0, 1, 44100);
        if (std::string(c.action).find("replace") == std::string::npos)
            s->send("replace " + other);
        auto next = std::chrono::steady_clock::now();
        std::vector<std::string> after = told;
        for (int i = 0; i < 60000 && !has_line(after, s->id + " 1: bang"); i++) {
            host_idle(1);
            after = after + take_outlets();
        }
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - next).count(), kStall)
            << "the next load waited for the stopped one";
        EXPECT_EQ(s->contents().samples, expected.samples);
        // The stopped loader ends once its read returns, and tells nothing.
        ASSERT_TRUE(host_wait(60));
        after = after + take_outlets();
        std::vector<std::string> next_load = {s->id + " 0: 44100. 2 2000. 0. \"FL FR\" flac " + other,
                                              s->id + " 1: bang"};
        EXPECT_EQ(after, next_load) << joined(take_console());
        s.reset();
        EXPECT_EQ(host_alive_count(), 0);
        take_console();
        unlink(file.c_str());
    }
}

// Loaders of two instances run side by side and share nothing.
TEST(SideBySide, TwoInstancesLoadAtOnce)
{
    std::string a = fixture("s16.flac"), b = fixture("vorbis.ogg");
    HostSession sa, sb;
    sa.send("replace " + a);
    sb.send("replace " + b + " 1 sec");
    ASSERT_TRUE(host_wait(60));
    std::vector<std::string> outlets = take_outlets();
    EXPECT_TRUE(has_line(outlets, sa.id + " 1: bang")) << joined(outlets);
    EXPECT_TRUE(has_line(outlets, sb.id + " 1: bang")) << joined(outlets);
    EXPECT_EQ(sa.contents().samples, reference_decode(a).samples);
    Decoded rb = reference_decode(b), got = sb.contents();
    ASSERT_EQ(got.frames(), rb.frames());
    EXPECT_EQ(first_difference(got.samples, rb.samples, 0, 2.5f / 32767), "");
}

struct SharedCase {
    const char *name;
    const char *first;    // the first instance's message, FILE for the long file
    const char *second;   // the second's, OTHER for the short file, sent while the first writes
};

// Loads into one buffer~ never interleave: while one instance's load writes it, another
// instance's request for it is refused with the error bang and a line naming the buffer~, and
// the buffer~ holds the first load alone. Once that load has ended, the other's load runs.
TEST(SideBySide, OneBufferOneWriterAtATime)
{
    const SharedCase cases[] = {
        {"replace_over_replace", "replace FILE", "replace OTHER"},
        {"import_over_replace", "replace FILE", "import OTHER"},
        {"replace_over_import", "import FILE", "replace OTHER"},
    };
    std::string file = fixture("long_stereo.flac"), other = fixture("s16.flac");
    for (const SharedCase &c : cases) {
        SCOPED_TRACE(c.name);
        HostSession a("", 44100 * 50, 2, 44100);
        ASSERT_EQ(host_run_line("new w vorlo~ " + a.buffer + " @import_mix 1"), 0);
        std::string first = c.first;
        a.send(first.replace(first.find("FILE"), 4, file));
        std::vector<std::string> seen;
        for (int i = 0; i < 60000 && seen.empty(); i++) {
            host_idle(1);
            seen = take_outlets();
        }
        ASSERT_EQ(seen.size(), 1u) << "the first load ended before the second request";
        std::string second = c.second;
        second.replace(second.find("OTHER"), 5, other);
        ASSERT_EQ(host_run_line("w " + second), 0);
        EXPECT_EQ(take_outlets(), std::vector<std::string>{"w 2: bang"});
        EXPECT_TRUE(has_line(take_console(), "vorlo~: error: the buffer~ " + a.buffer +
                                                 " is being loaded by another vorlo~ (from " + file +
                                                 "): this load is refused"));
        ASSERT_TRUE(host_wait(60));
        EXPECT_EQ(take_outlets(), std::vector<std::string>{a.id + " 1: bang"});
        EXPECT_EQ(a.contents().samples, reference_of(file).samples);
        // One after the other, both write.
        ASSERT_EQ(host_run_line("w " + second), 0);
        ASSERT_TRUE(host_wait(60));
        std::vector<std::string> after = take_outlets();
        ASSERT_FALSE(after.empty());
        EXPECT_EQ(after.back(), "w 1: bang") << joined(take_console());
        ASSERT_EQ(host_run_line("free w"), 0);
        take_console();
    }
}

} // namespace

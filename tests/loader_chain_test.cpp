// Loads started from the object's own notifications, as a patch loads one file after another:
// patch cords answer the list, the done bang or the error bang with the next message, also
// while a stop delivers them inside a new request. Whatever the moment, an instance has one
// loader at most, and the last message sent wins.
#include "fixtures.h"
#include "shell_test_host.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

const char *const kDone = "v 1: bang";
const char *const kError = "v 2: bang";

std::string path_of(const std::string &name)
{
    return name == "missing" ? "/nx/missing.wav" : fixture(name);
}

bool is_list_of(const std::string &line, const std::string &path)
{
    std::string tail = " " + path;
    return line.compare(0, 5, "v 0: ") == 0 && line.size() > tail.size() &&
           line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
}

// The buffer holds the plain decoding of the file, as a replace from its start leaves it.
void expect_holds(const std::string &buffer, const std::string &path)
{
    long frames = 0, channels = 0;
    double rate = 0;
    std::vector<float> samples;
    ASSERT_TRUE(host_buffer_read(buffer, &frames, &channels, &rate, &samples));
    const Decoded &r = reference_of(path);
    ASSERT_EQ(channels, r.channels) << buffer << " does not hold " << path;
    ASSERT_EQ(rate, r.rate) << buffer << " does not hold " << path;
    // The container's length and the decoded stream differ by at most the codec's padding;
    // past the decoded stream the buffer is silent.
    ASSERT_LE(std::labs(frames - r.frames()), r.rate / 20) << buffer << " does not hold " << path;
    std::vector<float> expected(r.samples.begin(), r.samples.begin() + std::min(frames, r.frames()) * channels);
    expected.resize(samples.size(), 0.0f);
    EXPECT_EQ(first_difference(samples, expected, 0, 0.0f), "") << buffer << " does not hold " << path;
}

// The lines end with the list and the done bang of this file, and no load failed.
void expect_ends_with_load_of(const std::vector<std::string> &lines, const std::string &path)
{
    ASSERT_GE(lines.size(), 2u) << joined(lines);
    EXPECT_TRUE(is_list_of(lines[lines.size() - 2], path)) << path << " is not the last load:\n" << joined(lines);
    EXPECT_EQ(lines.back(), kDone) << joined(lines);
    EXPECT_FALSE(has_line(lines, kError)) << joined(lines) << joined(host_take_console());
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class LoaderChain : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_vorlo();
        shell_run_all({"buffer~ snd", "buffer~ other", "new v vorlo~ snd"});
        // What is alive while one loader runs: the request's target reference and the thread.
        shell_run("v replace " + fixture("ch1.wav"));
        oneLoader = host_alive_count();
        ASSERT_TRUE(host_wait(60));
        host_take_outlets();
        host_take_console();
    }
    void TearDown() override
    {
        // The instance goes with its cords; a loader it lost track of breaks a host rule here.
        shell_run("free v");
        EXPECT_EQ(host_alive_count(), 0);
        for (const std::string &line : host_take_console())
            EXPECT_NE(line.compare(0, 11, "vorlo-host:"), 0) << line;
        host_take_outlets();
    }
    // Right after a request: its loader is the instance's only one. The threads of the loads
    // it stopped (the one before and, when a cord answered with a request of its own, the
    // one that request started) may still be finishing, holding nothing of the instance's; a
    // load lost without being let go of would keep its references, which the host's rule
    // finds when the instance is freed.
    void expect_one_loader() const
    {
        EXPECT_NE(shell_load(), nullptr);
        EXPECT_LE(host_alive_count(), oneLoader + 2) << "a loader started inside the request was lost";
    }
    // Lets the load of `path` run until it has begun writing, pumping the main thread only
    // for its resize: the list stays queued until the test pumps again, unless the loader,
    // woken by the resize, sent it while that same turn of the main thread went on. What
    // came out is returned.
    static std::vector<std::string> await_writing(const std::string &path)
    {
        std::vector<std::string> seen;
        for (int i = 0; i < 600000 && !(shell_raised() & VORLO_NOTE_STARTREAD) && !has_list_of(seen, path); i++) {
            if (shell_raised() & VORLO_NOTE_LOADEXIT) {
                host_idle(0);
                seen = seen + host_take_outlets();
            } else {
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
        }
        EXPECT_TRUE((shell_raised() & VORLO_NOTE_STARTREAD) || has_list_of(seen, path)) << "the load never began to write";
        return seen;
    }
    static bool has_list_of(const std::vector<std::string> &lines, const std::string &path)
    {
        for (const std::string &line : lines)
            if (is_list_of(line, path))
                return true;
        return false;
    }
    // Pumps the main thread in short steps until the load of `path` has sent its list.
    std::vector<std::string> pump_until_list_of(const std::string &path, std::vector<std::string> seen = {}) const
    {
        for (int i = 0; i < 60000 && !has_list_of(seen, path); i++) {
            host_idle(1);
            seen = seen + host_take_outlets();
        }
        EXPECT_TRUE(has_list_of(seen, path)) << "no list of " << path << ":\n" << joined(seen);
        return seen;
    }
    long oneLoader = 0;
};

// Each link: once the load before it fires `outlet`, a cord sends "replace file".
struct Link {
    long outlet;
    const char *file;
};

struct ChainCase {
    const char *name;
    const char *first;
    std::vector<Link> links;
};

const ChainCase kChains[] = {
    {"DoneStartsTheNext", "s16.flac", {{1, "opus.ogg"}, {1, "mp3.mp3"}, {1, "ch3.wav"}, {1, "s24.flac"}}},
    {"ErrorStartsTheNext", "missing", {{2, "s16.flac"}}},
    {"ErrorThenDone", "missing", {{2, "mp3.mp3"}, {1, "opus.ogg"}}},
    {"DoneThenError", "ch3.wav", {{1, "missing"}, {2, "ch1.wav"}}},
};

// The cord of link k waits inside one `once` per link before it: the event of each earlier
// load uses up one wrapper, so the cord hangs on its outlet only while its own load runs.
std::string link_cord(const std::vector<Link> &links, size_t k)
{
    std::string line;
    for (size_t j = 0; j <= k; j++)
        line += "once v " + std::to_string(links[j].outlet) + " ";
    return line + "v replace " + path_of(links[k].file);
}

std::vector<std::string> outlets_of_load(const std::string &name)
{
    if (name == "missing")
        return {kError};
    return {"", kDone};  // the list, compared by its path
}

TEST_F(LoaderChain, EachLoadStartedByTheOneBefore)
{
    for (const ChainCase &c : kChains) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> names = {c.first};
        for (size_t k = 0; k < c.links.size(); k++) {
            shell_run(link_cord(c.links, k));
            names.push_back(c.links[k].file);
        }
        shell_run("v replace " + path_of(c.first));
        ASSERT_TRUE(host_wait(60));
        std::vector<std::string> seen = host_take_outlets();
        std::vector<std::string> wanted;
        for (const std::string &name : names)
            wanted = wanted + outlets_of_load(name);
        ASSERT_EQ(seen.size(), wanted.size()) << joined(seen);
        for (size_t i = 0, load = 0; i < seen.size(); i++) {
            if (wanted[i].empty())
                EXPECT_TRUE(is_list_of(seen[i], path_of(names[load]))) << joined(seen);
            else
                EXPECT_EQ(seen[i], wanted[i]) << joined(seen);
            load += seen[i] == kDone || seen[i] == kError;
        }
        expect_holds("snd", path_of(names.back()));
        host_take_console();
    }
}

struct AnswerCase {
    const char *name;
    const char *answer;  // what the done bang's cord sends, after "v "
    bool loads;          // the answer is a load request of the third file, else a break
};

// A request while a long load decodes stops it, and the stop delivers the load's done bang
// inside the request. A cord answers the bang with a message of its own, which is then the
// last one sent and wins over the request: a load of its own file, or a break that leaves no
// loader. When the bang went out before the request, the request came last and wins. The
// later the stop, the further the long load got.
TEST_F(LoaderChain, AnswerToTheDoneBangOfTheLoadARequestStops)
{
    const std::string first = fixture("long.flac"), second = fixture("s16.flac"), third = fixture("ch3.wav");
    const AnswerCase cases[] = {
        {"Replace", "replace", true},
        {"Break", "break", false},
    };
    for (const AnswerCase &c : cases)
        for (int i = 0; i < 10; i++) {
            SCOPED_TRACE(std::string(c.name) + " " + std::to_string(i));
            shell_run(std::string("once v 1 v ") + c.answer + (c.loads ? " " + third : ""));
            shell_run("v replace " + first);
            std::vector<std::string> seen = pump_until_list_of(first);
            host_idle(3 * i);
            seen = seen + host_take_outlets();
            bool answered = has_line(seen, kDone);
            shell_run("v replace " + second);
            std::vector<std::string> atStop = host_take_outlets();
            bool inside = !answered && has_line(atStop, kDone);
            if (inside && !c.loads)
                EXPECT_EQ(shell_load(), nullptr) << "the break came last";
            else
                expect_one_loader();
            ASSERT_TRUE(host_wait(60));
            seen = seen + atStop + host_take_outlets();
            if (inside && !c.loads) {
                EXPECT_EQ(seen.back(), kDone) << joined(seen);
                for (const std::string &line : seen)
                    EXPECT_FALSE(is_list_of(line, second)) << joined(seen);
                host_take_console();
                continue;
            }
            const std::string &last = answered || !c.loads ? second : third;
            expect_ends_with_load_of(seen, last);
            expect_holds("snd", last);
            shell_run("on v 1");
            host_take_console();
        }
}

// A cord on the list sends a new request while the loader writes. The longer the list waits
// in the queue, the further the load gets before the request stops it: it may be decoding,
// or have ended with its done bang still queued. Either way its done bang goes out inside the
// request, before anything of the new load.
TEST_F(LoaderChain, RequestFromTheListWhileTheLoaderRuns)
{
    const std::string first = fixture("long.flac"), second = fixture("mp3.mp3");
    for (int i = 0; i < 8; i++) {
        SCOPED_TRACE(i);
        shell_run("once v 0 v replace " + second);
        shell_run("v replace " + first);
        std::vector<std::string> seen = await_writing(first);
        std::this_thread::sleep_for(std::chrono::milliseconds(4 * i));
        seen = pump_until_list_of(first, seen);
        expect_one_loader();
        ASSERT_TRUE(host_wait(60));
        seen = seen + host_take_outlets();
        ASSERT_TRUE(is_list_of(seen.front(), first)) << joined(seen);
        ASSERT_EQ(seen.size(), 4u) << joined(seen);
        EXPECT_EQ(seen[1], kDone) << joined(seen);
        expect_ends_with_load_of(seen, second);
        expect_holds("snd", second);
        host_take_console();
    }
}

// A break from the list stops the load that sent it, wherever it got; nothing runs afterwards.
TEST_F(LoaderChain, BreakFromTheList)
{
    const std::string path = fixture("long.flac");
    for (int i = 0; i < 4; i++) {
        SCOPED_TRACE(i);
        shell_run("once v 0 v break");
        shell_run("v replace " + path);
        std::vector<std::string> seen = await_writing(path);
        std::this_thread::sleep_for(std::chrono::milliseconds(6 * i));
        seen = pump_until_list_of(path, seen);
        EXPECT_EQ(shell_load(), nullptr);
        ASSERT_TRUE(host_wait(60));
        seen = seen + host_take_outlets();
        // A load that has begun writing ends with its done bang, wherever the break found it.
        EXPECT_EQ(seen.size(), 2u) << joined(seen);
        EXPECT_EQ(seen.back(), kDone) << joined(seen);
        long frames = 0;
        ASSERT_TRUE(host_buffer_read("snd", &frames, nullptr, nullptr, nullptr));
        EXPECT_EQ(frames, reference_of(path).frames());
    }
}

struct SetCase {
    const char *name;
    std::vector<std::string> onDone;  // once-cords on the first load's done bang, in order
    const char *sndHolds;             // fixtures that the buffers hold after the chain
    const char *otherHolds;           // "" for none
};

// `set` from the done bang: a request after it goes to the new buffer~; a load started before
// it keeps the buffer~ it has. The request after the chain goes to the new one in both.
TEST_F(LoaderChain, SetFromTheDoneBang)
{
    const std::string first = fixture("s16.flac"), second = fixture("ch3.wav"), next = fixture("ch1.wav");
    const SetCase cases[] = {
        {"SetThenReplace", {"v set other", "v replace " + second}, "s16.flac", "ch3.wav"},
        {"ReplaceThenSet", {"v replace " + second, "v set other"}, "ch3.wav", ""},
    };
    for (const SetCase &c : cases) {
        SCOPED_TRACE(c.name);
        shell_run_all({"buffer~ other 0", "v set snd"});
        for (const std::string &line : c.onDone)
            shell_run("once v 1 " + line);
        shell_run("v replace " + first);
        ASSERT_TRUE(host_wait(60));
        std::vector<std::string> seen = host_take_outlets();
        EXPECT_EQ(seen.size(), 4u) << joined(seen);
        expect_ends_with_load_of(seen, second);
        expect_holds("snd", fixture(c.sndHolds));
        long otherFrames = 0;
        ASSERT_TRUE(host_buffer_read("other", &otherFrames, nullptr, nullptr, nullptr));
        if (*c.otherHolds)
            expect_holds("other", fixture(c.otherHolds));
        else
            EXPECT_EQ(otherFrames, 0);
        shell_run("v replace " + next);
        ASSERT_TRUE(host_wait(60));
        expect_ends_with_load_of(host_take_outlets(), next);
        expect_holds("snd", fixture(c.sndHolds));
        expect_holds("other", next);
    }
}

struct SchedulerCase {
    const char *name;
    std::vector<std::string> lines;  // sent on the scheduler thread, in this order, FILE for the file
    const char *sndHolds;            // fixture that buffer~ snd holds afterwards, "" for none
    const char *otherHolds;
    double otherRate;                // the rate of buffer~ other afterwards, 0: not checked
};

// Messages of one scheduler event (a metro in Overdrive) reach the main thread in the order
// they were sent, also when several are deferred before the main thread runs any of them.
TEST_F(LoaderChain, MessagesFromTheSchedulerKeepTheirOrder)
{
    const SchedulerCase cases[] = {
        {"SetThenReplace", {"v set other", "v replace FILE"}, "", "s16.flac", 0},
        {"BreakThenReplace", {"v break", "v set other", "v replace FILE"}, "", "s16.flac", 0},
        {"AttributeThenReplace", {"v set other", "v resample 7", "v replace FILE"}, "", "", 48000},
    };
    const std::string file = fixture("s16.flac");
    for (const SchedulerCase &c : cases) {
        SCOPED_TRACE(c.name);
        shell_run_all({"buffer~ snd 0", "buffer~ other 0", "v set snd", "v resample 0"});
        for (std::string line : c.lines) {
            if (line.find("FILE") != std::string::npos)
                line.replace(line.find("FILE"), 4, file);
            shell_run("scheduler " + line);
        }
        host_hold(200);  // every line has run on the scheduler thread, none on the main thread
        ASSERT_TRUE(host_wait(60));
        std::vector<std::string> seen = host_take_outlets();
        expect_ends_with_load_of(seen, file);
        EXPECT_EQ(seen.size(), 2u) << joined(seen);
        long frames = 0;
        double rate = 0;
        ASSERT_TRUE(host_buffer_read("snd", &frames, nullptr, nullptr, nullptr));
        if (*c.sndHolds)
            expect_holds("snd", fixture(c.sndHolds));
        else
            EXPECT_EQ(frames, 0) << "the load went to the buffer~ named before the set";
        if (*c.otherHolds)
            expect_holds("other", fixture(c.otherHolds));
        ASSERT_TRUE(host_buffer_read("other", &frames, nullptr, &rate, nullptr));
        if (c.otherRate) {
            EXPECT_EQ(rate, c.otherRate) << "the load took the attribute as it was before";
        }
        host_take_console();
    }
}

}  // namespace

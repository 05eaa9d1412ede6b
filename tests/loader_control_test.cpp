// Stopping loads and the notifications of a stopped load. A stand-in loader, started the way
// vorlo_doReplace starts the real one, raises chosen notifications before or after the stop,
// so that every order of events is met on purpose rather than by timing.
#include "fixtures.h"
#include "shell_test_host.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace {

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct StandInLoad {
    t_vorlo *x;
    int32_t before;       // raised at once
    int32_t afterAbort;   // raised once abort_request is seen, as a load ending meanwhile would
    bool waitForAbort;
    std::atomic<bool> raisedBefore{false};
    std::atomic<bool> ended{false};
};

void *stand_in_loader(StandInLoad *load)
{
    t_vorlo *x = load->x;
    atom_setfloat(&x->file_props[0], 44100);
    atom_setlong(&x->file_props[1], 2);
    atom_setfloat(&x->file_props[2], 1000);
    atom_setfloat(&x->file_props[3], 0);
    atom_setsym(&x->file_props[4], gensym("unspecified"));
    atom_setsym(&x->file_props[5], gensym("pcm_s16le"));
    atom_setsym(&x->file_props[6], gensym("/x.wav"));
    for (int32_t note = 1; note <= VORLO_NOTE_DONE; note <<= 1)
        if (load->before & note)
            vorlo_raise(x, note);
    load->raisedBefore = true;
    while (load->waitForAbort && !x->abort_request)
        systhread_sleep(1);
    for (int32_t note = 1; note <= VORLO_NOTE_DONE; note <<= 1)
        if (load->afterAbort & note)
            vorlo_raise(x, note);
    load->ended = true;
    return nullptr;
}

void start_stand_in(StandInLoad *load)
{
    load->x->abort_request = 0;
    systhread_create((method)stand_in_loader, load, 0, 0, 0, &load->x->loader_thread);
}

// Waits without pumping the main thread, so that queued notifications stay pending.
void await(const std::atomic<bool> &flag)
{
    while (!flag)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

const char *const kList = "v 0: 44100. 2 1000. 0. unspecified pcm_s16le /x.wav";
const char *const kDone = "v 1: bang";
const char *const kError = "v 2: bang";

class LoaderControl : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_vorlo();
        shell_prepare({"buffer~ snd 100 2", "new v vorlo~ snd"});
        x = shell_instance();
    }
    void TearDown() override
    {
        if (shell_instance())
            shell_run("free v");
        EXPECT_EQ(host_alive_count(), 0);
        host_take_console();
        host_take_outlets();
    }
    t_vorlo *x = nullptr;
};

struct StopCase {
    const char *name;
    int32_t before;
    int32_t afterAbort;
    bool waitForAbort;
    std::vector<std::string> atStop;  // outlets during the stop itself
};

TEST_F(LoaderControl, StopDeliversOnlyWhatTheEndingLoaderRaised)
{
    const std::vector<StopCase> cases = {
        // A load that ended by itself before the stop: its pending bang is withdrawn.
        {"EndedDoneWithdrawn", VORLO_NOTE_DONE, 0, false, {}},
        {"EndedListAndDoneWithdrawn", VORLO_NOTE_STARTREAD | VORLO_NOTE_DONE, 0, false, {}},
        // A load stopped while decoding ends normally: list and done go out at once.
        {"StoppedWhileDecoding", 0, VORLO_NOTE_STARTREAD | VORLO_NOTE_DONE, true, {kList, kDone}},
        {"ListAlreadyPending", VORLO_NOTE_STARTREAD, VORLO_NOTE_DONE, true, {kDone}},
        {"ErrorDuringJoin", 0, VORLO_NOTE_ERR, true, {kError}},
        // A resize asked for by a stopped load is never made.
        {"ResizeDropped", VORLO_NOTE_LOADEXIT, VORLO_NOTE_LOADEXIT, true, {}},
        {"StoppedBeforeDecoding", 0, 0, true, {}},
    };
    for (const StopCase &c : cases) {
        SCOPED_TRACE(c.name);
        size_t resizes = host_buffer_messages("snd").size();
        StandInLoad load{x, c.before, c.afterAbort, c.waitForAbort};
        start_stand_in(&load);
        await(c.waitForAbort ? load.raisedBefore : load.ended);
        shell_run("v break");
        EXPECT_EQ(host_take_outlets(), c.atStop);
        EXPECT_EQ(x->loader_thread, nullptr);
        EXPECT_EQ(x->abort_request.load(), 1);
        EXPECT_EQ(x->raised.load(), 0);
        host_idle(20);
        EXPECT_TRUE(host_take_outlets().empty()) << "a notification of the stopped load ran later";
        EXPECT_EQ(host_buffer_messages("snd").size(), resizes);
    }
    EXPECT_TRUE(host_take_console().empty());
}

TEST_F(LoaderControl, NotificationsOfARunningLoadGoOutFromTheQueue)
{
    StandInLoad load{x, VORLO_NOTE_STARTREAD | VORLO_NOTE_DONE, 0, false};
    start_stand_in(&load);
    ASSERT_TRUE(host_wait(10));
    EXPECT_EQ(host_take_outlets(), (std::vector<std::string>{kList, kDone}));
    EXPECT_EQ(x->raised.load(), 0);
    EXPECT_NE(x->loader_thread, nullptr);  // ended, joined only by the next stop
}

TEST_F(LoaderControl, ListLowersTheRunningLoadersPriority)
{
    StandInLoad load{x, VORLO_NOTE_STARTREAD, 0, true};
    start_stand_in(&load);
    await(load.raisedBefore);
    EXPECT_EQ(host_thread_priority(x->loader_thread), 0);
    host_idle(20);
    EXPECT_EQ(host_take_outlets(), std::vector<std::string>{kList});
    EXPECT_EQ(host_thread_priority(x->loader_thread), -1);
    shell_run("v break");
}

TEST_F(LoaderControl, NewRequestDeliversTheStoppedLoadFirst)
{
    shell_run("free v");
    shell_run("new v vorlo~ snd @debug 1");
    x = shell_instance();
    StandInLoad load{x, 0, VORLO_NOTE_STARTREAD | VORLO_NOTE_DONE, true};
    start_stand_in(&load);
    await(load.raisedBefore);
    shell_run("v replace /nx/a.wav");
    // The old load's list and bang are out before the new loader exists.
    EXPECT_EQ(shell_head(host_take_outlets(), 2), (std::vector<std::string>{kList, kDone}));
    EXPECT_EQ(shell_head(host_take_console(), 1),
              std::vector<std::string>{"vorlo~: ----- start decoding /nx/a.wav"});
    ASSERT_TRUE(host_wait(30));
}

// The stopped load's list, answered by a cord with a request: from then on the notifications
// are the new load's, and the stopped one's done bang is not told after the list.
TEST_F(LoaderControl, RequestFromTheStoppedLoadsListEndsItsNotifications)
{
    StandInLoad load{x, 0, VORLO_NOTE_STARTREAD | VORLO_NOTE_DONE, true};
    start_stand_in(&load);
    await(load.raisedBefore);
    shell_run("once v 0 v replace /nx/a.wav");
    shell_run("v break");
    EXPECT_EQ(host_take_outlets(), std::vector<std::string>{kList});
    ASSERT_TRUE(host_wait(30));
    EXPECT_EQ(host_take_outlets(), std::vector<std::string>{kError});
    host_take_console();
}

TEST_F(LoaderControl, EmptyRequestLeavesARunningLoadAlone)
{
    StandInLoad load{x, 0, VORLO_NOTE_DONE, true};
    start_stand_in(&load);
    await(load.raisedBefore);
    t_systhread running = x->loader_thread;
    shell_run("v replace");
    EXPECT_EQ(host_take_console(),
              std::vector<std::string>{"vorlo~: error: arguments: filepath (needed), ...see helpfile"});
    EXPECT_EQ(x->loader_thread, running);
    EXPECT_EQ(x->abort_request.load(), 0);
    EXPECT_FALSE(load.ended);
    shell_run("v break");
    EXPECT_EQ(host_take_outlets(), std::vector<std::string>{kDone});
}

TEST_F(LoaderControl, RefusedRequestStillStopsTheRunningLoad)
{
    StandInLoad load{x, 0, VORLO_NOTE_DONE, true};
    start_stand_in(&load);
    await(load.raisedBefore);
    shell_run("v replace /nx/a.wav 5 s");
    EXPECT_TRUE(load.ended);
    EXPECT_EQ(x->loader_thread, nullptr);
    EXPECT_EQ(x->abort_request.load(), 1);
    EXPECT_EQ(host_take_outlets(), std::vector<std::string>{kDone});
    EXPECT_EQ(host_take_console(),
              std::vector<std::string>{"vorlo~: error: arg 3 is not a valid unit (sec, ms or pct)"});
}

TEST_F(LoaderControl, FreeDuringALoadJoinsItAndReleasesEverything)
{
    StandInLoad load{x, VORLO_NOTE_STARTREAD, VORLO_NOTE_DONE, true};
    start_stand_in(&load);
    await(load.raisedBefore);
    shell_run("free v");
    EXPECT_TRUE(load.ended);
    EXPECT_EQ(host_alive_count(), 0);
    host_idle(20);
    EXPECT_TRUE(host_take_outlets().empty());
}

TEST_F(LoaderControl, BreakWithNothingRunning)
{
    shell_run("v break");
    EXPECT_EQ(x->abort_request.load(), 1);
    EXPECT_EQ(x->loader_thread, nullptr);
    EXPECT_TRUE(host_take_outlets().empty());
    EXPECT_TRUE(host_take_console().empty());
}

TEST_F(LoaderControl, RequestsThatFailStartNoThreadAndLeakNothing)
{
    long idle = host_alive_count();
    for (const char *line : {"v replace /nx/a.wav 1 min", "v import /nx/a.wav 0 sec 0 sec 0 sec route 1",
                             "v replace buffer=snd", "v info dict=nodict"}) {
        SCOPED_TRACE(line);
        shell_run(line);
        EXPECT_EQ(x->loader_thread, nullptr);
        // The first request's target reference stays until the next parse or the free.
        EXPECT_EQ(host_alive_count(), idle + 1);
        host_take_console();
    }
}

TEST_F(LoaderControl, ValidRequestAfterAFailedOneStartsALoader)
{
    shell_run("v replace /nx/a.wav 1 min");
    EXPECT_EQ(x->loader_thread, nullptr);
    shell_run("v replace /nx/a.wav 1 sec");
    EXPECT_NE(x->loader_thread, nullptr);
    EXPECT_EQ(x->abort_request.load(), 0);
    ASSERT_TRUE(host_wait(30));
}

TEST_F(LoaderControl, EachRequestJoinsThePreviousLoader)
{
    long idle = host_alive_count();
    for (int i = 0; i < 3; ++i) {
        shell_run("v replace /nx/a.wav");
        ASSERT_TRUE(host_wait(30));
        // One ended, unjoined loader at most: each request joined the one before.
        EXPECT_EQ(host_alive_count(), idle + 1) << "request " << i;
    }
    shell_run("v break");
    EXPECT_EQ(host_alive_count(), idle);
}

TEST_F(LoaderControl, MissingFrameRefusesTheLoadWithAnErrorBang)
{
    AVFrame *kept = x->frame;
    x->frame = nullptr;
    shell_run("v replace /nx/a.wav");
    x->frame = kept;
    EXPECT_EQ(host_take_console(), std::vector<std::string>{"vorlo~: error: Could not allocate memory for frame."});
    EXPECT_EQ(host_take_outlets(), std::vector<std::string>{kError});
    EXPECT_EQ(x->loader_thread, nullptr);
}

// With real loads the moment of the stop is up to the scheduler; whatever it is, the first
// load's notifications come out during the stop or never, and the second load's once.
TEST_F(LoaderControl, RealLoadStoppedByTheNextRequest)
{
    std::string path = fixture("s16.flac");
    ASSERT_FALSE(path.empty());
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        shell_run("v replace " + path);
        host_idle(3 * i);  // lets the first load get further each time
        for (const std::string &line : host_take_outlets())
            EXPECT_NE(line, kError);
        shell_run("v replace " + path);
        std::vector<std::string> atStop = host_take_outlets();
        ASSERT_TRUE(host_wait(60));
        std::vector<std::string> after = host_take_outlets();
        ASSERT_EQ(after.size(), 2u) << "list and done of the second load only";
        EXPECT_EQ(after[0].compare(0, 5, "v 0: "), 0) << after[0];
        EXPECT_EQ(after[1], kDone);
        EXPECT_LE(atStop.size(), 2u);
        for (const std::string &line : atStop)
            EXPECT_NE(line, kError);
        long frames = 0, channels = 0;
        double rate = 0;
        ASSERT_TRUE(host_buffer_read("snd", &frames, &channels, &rate, nullptr));
        EXPECT_EQ(frames, 88200);
        EXPECT_EQ(channels, 2);
    }
    host_take_console();
}

TEST_F(LoaderControl, RealLoadFreedWhileRunning)
{
    std::string path = fixture("s16.flac");
    ASSERT_FALSE(path.empty());
    for (const char *message : {"replace", "import", "importreplace", "info"}) {
        SCOPED_TRACE(message);
        shell_run(std::string("v ") + message + " " + path);
        shell_run("free v");
        EXPECT_EQ(host_alive_count(), 0);
        host_idle(20);
        EXPECT_TRUE(host_take_outlets().empty());
        shell_run("new v vorlo~ snd");
        x = shell_instance();
    }
    host_take_console();
}

// A buffer~ freed or resized by the patch at each moment of a real load. A load that still
// uses the buffer~ ends with the error bang and a line naming it (a resize of its target
// before it writes is made over by the load's own); one that has ended keeps its done bang.
// The host breaks a rule, or a sanitizer reports, should the object touch a freed buffer~ or
// hold a claim on it when it is freed; with a claim held for the whole load the resize would
// wait for its end instead.
enum Moment { BeforeHandOff, InHandOff, FirstRun, SecondRun, BeforeDoneBang };

struct BufferAction {
    const char *name;
    const char *request;   // with FILE or the source buffer~ src
    const char *action;    // a script line, run at the moment
    std::vector<Moment> moments;    // where the action lands
    std::vector<Moment> stopping;   // those at which the load ends with the error
    const char *line;      // what the error line says
};

class BufferGoneOrResized : public ::testing::Test {
protected:
    void SetUp() override { start_vorlo(); }
    void TearDown() override
    {
        EXPECT_EQ(host_alive_count(), 0);
        host_take_console();
        host_take_outlets();
    }
    // Waits without pumping the main thread, but for the resize of the load itself: the list
    // may then go out in the same turn, and counts as the first run's moment too.
    void await_moment(t_vorlo *x, Moment moment)
    {
        std::vector<std::string> console;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            int32_t raised = x->raised;
            if ((moment == InHandOff && (raised & VORLO_NOTE_LOADEXIT)) ||
                (moment == FirstRun && ((raised & VORLO_NOTE_STARTREAD) || !early.empty())) ||
                (moment == SecondRun && has_line(console, "vorlo~: Now we decode first half of file! (second run)")) ||
                (moment == BeforeDoneBang && (raised & (VORLO_NOTE_DONE | VORLO_NOTE_ERR))))
                return;
            if (moment != InHandOff && (raised & VORLO_NOTE_LOADEXIT)) {
                host_idle(0);
                early = host_take_outlets();
            }
            std::vector<std::string> more = host_take_console();
            console.insert(console.end(), more.begin(), more.end());
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        ADD_FAILURE() << "the moment never came";
    }
    std::vector<std::string> early;  // outlets that went out while the test waited
};

TEST_F(BufferGoneOrResized, AtEveryMomentOfALoad)
{
    std::string file = fixture("long_stereo.flac");
    ASSERT_FALSE(file.empty());
    const std::vector<Moment> running = {BeforeHandOff, InHandOff, FirstRun, SecondRun};
    const std::vector<Moment> all = {BeforeHandOff, InHandOff, FirstRun, SecondRun, BeforeDoneBang};
    // A section of a buffer~ is copied in one run; before the hand-off the loader may not have
    // measured the source yet, and then copies what it finds.
    const std::vector<Moment> copying = {InHandOff, FirstRun, BeforeDoneBang};
    const BufferAction actions[] = {
        {"target_freed", "replace FILE 25 sec", "delete snd", all, running, "the buffer~ snd went away during the load"},
        {"target_resized", "replace FILE 25 sec", "buffer~ snd 100 1", all, {FirstRun, SecondRun},
         "the target buffer~ snd was resized during the load"},
        {"source_freed", "importreplace buffer=src", "delete src", {BeforeHandOff, InHandOff, FirstRun, BeforeDoneBang},
         {BeforeHandOff, InHandOff, FirstRun}, "src"},
        {"source_resized", "importreplace buffer=src", "buffer~ src 100 1", copying, {InHandOff, FirstRun},
         "the source buffer~ src was resized during the load"},
    };
    for (const BufferAction &a : actions)
        for (Moment moment : a.moments) {
            SCOPED_TRACE(std::string(a.name) + " at moment " + std::to_string(moment));
            shell_run_all({"buffer~ snd", "buffer~ src 2646000 2 44100", "fill src ramp", "new v vorlo~ snd @debug 1 @resample 1"});
            std::string request = a.request;
            if (request.find("FILE") != std::string::npos)
                request.replace(request.find("FILE"), 4, file);
            shell_run("v " + request);
            early.clear();
            if (moment != BeforeHandOff)
                await_moment(shell_instance(), moment);
            shell_run(a.action);
            ASSERT_TRUE(host_wait(120));
            bool stopped = std::find(a.stopping.begin(), a.stopping.end(), moment) != a.stopping.end();
            std::vector<std::string> outlets = early + host_take_outlets(), console = host_take_console();
            ASSERT_FALSE(outlets.empty());
            EXPECT_EQ(outlets.back(), stopped ? kError : kDone) << joined(outlets) << joined(console);
            bool told = false;
            for (const std::string &line : console)
                told = told || (line.find("vorlo~: error: ") == 0 && line.find(a.line) != std::string::npos);
            EXPECT_EQ(told, stopped) << joined(console);
            shell_run("free v");
            // A buffer~ made again under a freed one's name is the one the next load finds.
            if (!host_buffer_find("snd"))
                shell_run("buffer~ snd");
            shell_prepare({"new v vorlo~ snd", "v importreplace buffer=src 0 sec 10 ms"});
            long frames = 0;
            if (host_buffer_find("src")) {
                EXPECT_TRUE(host_buffer_read("snd", &frames, nullptr, nullptr, nullptr));
                EXPECT_GT(frames, 0);
            }
            shell_run("free v");
        }
}

}  // namespace

// Stopping loads and the notifications of a stopped load. A stand-in loader, started the way
// vorlo_doReplace starts the real one (a load of the instance's request, on a thread that
// holds a share of it), raises chosen notifications before the stop and tries to raise more
// after it, so that every order of events is met on purpose rather than by timing.
#include "fixtures.h"
#include "shell_test_host.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <thread>

namespace {

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct StandIn {
    int32_t before;       // raised at once
    bool wrote;           // claimed the target, as a load that has begun writing
    bool waitForAbort;    // keeps running until stopped, then tries to raise `after`
    int32_t after;
    std::atomic<bool> raisedBefore{false};
    std::atomic<bool> ended{false};
    t_vorlo_load *load = nullptr;
};

void *stand_in_loader(StandIn *s)
{
    t_vorlo_load *x = s->load;
    atom_setfloat(&x->file_props[0], 44100);
    atom_setlong(&x->file_props[1], 2);
    atom_setfloat(&x->file_props[2], 1000);
    atom_setfloat(&x->file_props[3], 0);
    atom_setsym(&x->file_props[4], gensym("unspecified"));
    atom_setsym(&x->file_props[5], gensym("pcm_s16le"));
    atom_setsym(&x->file_props[6], gensym("/x.wav"));
    x->wrote = s->wrote;
    for (int32_t note = 1; note <= VORLO_NOTE_DONE; note <<= 1)
        if (s->before & note)
            vorlo_raise(x, note);
    s->raisedBefore = true;
    while (s->waitForAbort && !x->abort_request)
        systhread_sleep(1);
    // A stopped load reaches nothing: these never come out.
    for (int32_t note = 1; note <= VORLO_NOTE_DONE; note <<= 1)
        if (s->after & note)
            vorlo_raise(x, note);
    s->ended = true;
    vorlo_dropLoad(x);
    return nullptr;
}

void start_stand_in(t_vorlo *x, StandIn *s)
{
    x->request.sourceSym = gensym("/x.wav");
    x->request.attrs.debug = x->debug;
    s->load = vorlo_newLoad(x);
    ASSERT_NE(s->load, nullptr);
    x->load = s->load;
    s->load->holders++;
    systhread_create((method)stand_in_loader, s, 0, 0, 0, &x->loader_thread);
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
        EXPECT_TRUE(host_wait(30));
        EXPECT_EQ(host_alive_count(), 0);
        host_take_console();
        host_take_outlets();
    }
    // A stand-in that lives until the test's end, when the host has waited for its thread.
    StandIn &start(int32_t before, bool wrote, bool waitForAbort, int32_t after)
    {
        standIns.emplace_back();
        StandIn &s = standIns.back();
        s.before = before;
        s.wrote = wrote;
        s.waitForAbort = waitForAbort;
        s.after = after;
        start_stand_in(x, &s);
        return s;
    }
    t_vorlo *x = nullptr;
    std::deque<StandIn> standIns;
};

struct StopCase {
    const char *name;
    int32_t before;
    bool wrote;
    bool waitForAbort;
    int32_t after;
    std::vector<std::string> atStop;  // outlets during the stop itself
};

// A load that has begun writing tells its list once and then exactly one bang, during the
// stop, wherever the stop found it; one that has not, only what it raised itself (an error,
// the list that ends an info load); a stopped loader adds nothing.
TEST_F(LoaderControl, StopTellsTheLoadsEndOnce)
{
    const int32_t list = VORLO_NOTE_STARTREAD, done = VORLO_NOTE_DONE, err = VORLO_NOTE_ERR;
    const std::vector<StopCase> cases = {
        {"EndedDonePending", done, true, false, 0, {kList, kDone}},
        {"EndedListAndDonePending", list | done, true, false, 0, {kList, kDone}},
        {"StoppedWhileWriting", 0, true, true, list | done, {kList, kDone}},
        {"ListPendingWhileWriting", list, true, true, done, {kList, kDone}},
        {"EndedWithErrorAfterWriting", err, true, false, 0, {kList, kError}},
        {"StoppedAfterWritingTriesAnError", 0, true, true, err, {kList, kDone}},
        {"EndedWithErrorBeforeWriting", err, false, false, 0, {kError}},
        {"StoppedBeforeWritingTriesAnError", 0, false, true, err, {}},
        // A resize asked for by a stopped load is never made.
        {"ResizeDropped", VORLO_NOTE_LOADEXIT, false, true, VORLO_NOTE_LOADEXIT, {}},
        {"StoppedBeforeDecoding", 0, false, true, list | done, {}},
    };
    for (const StopCase &c : cases) {
        SCOPED_TRACE(c.name);
        size_t resizes = host_buffer_messages("snd").size();
        StandIn &load = start(c.before, c.wrote, c.waitForAbort, c.after);
        await(c.waitForAbort ? load.raisedBefore : load.ended);
        shell_run("v break");
        EXPECT_EQ(host_take_outlets(), c.atStop);
        EXPECT_EQ(x->load, nullptr);
        EXPECT_EQ(x->loader_thread, nullptr);
        await(load.ended);
        host_idle(20);
        EXPECT_TRUE(host_take_outlets().empty()) << "a notification of the stopped load ran later";
        EXPECT_EQ(host_buffer_messages("snd").size(), resizes);
    }
    EXPECT_TRUE(host_take_console().empty());
}

// The list told from the queue before the stop is not told again.
TEST_F(LoaderControl, ListToldBeforeTheStopIsNotToldAgain)
{
    StandIn &load = start(VORLO_NOTE_STARTREAD, true, true, 0);
    await(load.raisedBefore);
    host_idle(20);
    EXPECT_EQ(host_take_outlets(), std::vector<std::string>{kList});
    shell_run("v break");
    EXPECT_EQ(host_take_outlets(), std::vector<std::string>{kDone});
}

TEST_F(LoaderControl, NotificationsOfARunningLoadGoOutFromTheQueue)
{
    start(VORLO_NOTE_STARTREAD | VORLO_NOTE_DONE, true, false, 0);
    ASSERT_TRUE(host_wait(10));
    EXPECT_EQ(host_take_outlets(), (std::vector<std::string>{kList, kDone}));
    // Told, the load is let go of: its thread has ended by itself.
    EXPECT_EQ(x->load, nullptr);
    EXPECT_EQ(x->loader_thread, nullptr);
}

TEST_F(LoaderControl, ListLowersTheRunningLoadersPriority)
{
    StandIn &load = start(VORLO_NOTE_STARTREAD, true, true, 0);
    await(load.raisedBefore);
    EXPECT_EQ(host_thread_priority(x->loader_thread), 0);
    host_idle(20);
    EXPECT_EQ(host_take_outlets(), std::vector<std::string>{kList});
    EXPECT_EQ(host_thread_priority(x->loader_thread), -1);
    shell_run("v break");
}

TEST_F(LoaderControl, NewRequestTellsTheStoppedLoadFirst)
{
    shell_run("free v");
    shell_run("new v vorlo~ snd @debug 1");
    x = shell_instance();
    StandIn &load = start(0, true, true, VORLO_NOTE_STARTREAD | VORLO_NOTE_DONE);
    await(load.raisedBefore);
    shell_run("v replace /nx/a.wav");
    // The old load's list and bang are out before the new loader exists.
    EXPECT_EQ(shell_head(host_take_outlets(), 2), (std::vector<std::string>{kList, kDone}));
    EXPECT_EQ(shell_head(host_take_console(), 3),
              (std::vector<std::string>{"vorlo~: aborting thread ! reason: -Abort Request-", " ",
                                        "vorlo~: ----- start decoding /nx/a.wav"}));
    ASSERT_TRUE(host_wait(30));
}

// The stopped load's list, answered by a cord with a request: that request's stop tells the
// stopped load's done bang, then its own load runs.
TEST_F(LoaderControl, RequestFromTheStoppedLoadsListComesAfterItsBang)
{
    StandIn &load = start(0, true, true, 0);
    await(load.raisedBefore);
    shell_run("once v 0 v replace /nx/a.wav");
    shell_run("v break");
    EXPECT_EQ(host_take_outlets(), (std::vector<std::string>{kList, kDone}));
    ASSERT_TRUE(host_wait(30));
    EXPECT_EQ(host_take_outlets(), std::vector<std::string>{kError});
    host_take_console();
}

TEST_F(LoaderControl, EmptyRequestLeavesARunningLoadAlone)
{
    StandIn &load = start(0, true, true, 0);
    await(load.raisedBefore);
    t_vorlo_load *running = x->load;
    shell_run("v replace");
    EXPECT_EQ(host_take_console(),
              std::vector<std::string>{"vorlo~: error: arguments: filepath (needed), ...see helpfile"});
    EXPECT_EQ(x->load, running);
    EXPECT_EQ(running->abort_request.load(), 0);
    EXPECT_FALSE(load.ended);
    shell_run("v break");
    EXPECT_EQ(host_take_outlets(), (std::vector<std::string>{kList, kDone}));
}

TEST_F(LoaderControl, RefusedRequestStillStopsTheRunningLoad)
{
    StandIn &load = start(0, true, true, 0);
    await(load.raisedBefore);
    shell_run("v replace /nx/a.wav 5 s");
    EXPECT_EQ(x->load, nullptr);
    EXPECT_EQ(host_take_outlets(), (std::vector<std::string>{kList, kDone}));
    EXPECT_EQ(host_take_console(),
              std::vector<std::string>{"vorlo~: error: arg 3 is not a valid unit (sec, ms or pct)"});
}

// The free lets go of everything of the instance's at once; the stopped loader, still
// running, then ends by itself and tells nothing.
TEST_F(LoaderControl, FreeDuringALoadReleasesEverything)
{
    StandIn &load = start(VORLO_NOTE_STARTREAD, true, true, VORLO_NOTE_DONE);
    await(load.raisedBefore);
    shell_run("free v");
    ASSERT_TRUE(host_wait(10));
    EXPECT_TRUE(load.ended);
    EXPECT_EQ(host_alive_count(), 0);
    EXPECT_TRUE(host_take_outlets().empty());
}

TEST_F(LoaderControl, BreakWithNothingRunning)
{
    shell_run("v break");
    EXPECT_EQ(x->load, nullptr);
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
        EXPECT_EQ(x->load, nullptr);
        // The first request's target reference stays until the next parse or the free.
        EXPECT_EQ(host_alive_count(), idle + 1);
        host_take_console();
    }
}

TEST_F(LoaderControl, ValidRequestAfterAFailedOneStartsALoader)
{
    shell_run("v replace /nx/a.wav 1 min");
    EXPECT_EQ(x->load, nullptr);
    shell_run("v replace /nx/a.wav 1 sec");
    ASSERT_NE(x->load, nullptr);
    EXPECT_EQ(x->load->abort_request.load(), 0);
    ASSERT_TRUE(host_wait(30));
}

TEST_F(LoaderControl, EveryLoadIsLetGoOfAtItsEnd)
{
    long idle = host_alive_count();
    for (int i = 0; i < 3; ++i) {
        shell_run("v replace /nx/a.wav");
        ASSERT_TRUE(host_wait(30));
        EXPECT_EQ(host_alive_count(), idle) << "request " << i;
        EXPECT_EQ(x->load, nullptr);
    }
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
        std::vector<std::string> before = host_take_outlets();
        shell_run("v replace " + path);
        std::vector<std::string> first = before + host_take_outlets();
        ASSERT_TRUE(host_wait(60));
        std::vector<std::string> after = host_take_outlets();
        ASSERT_EQ(after.size(), 2u) << "list and done of the second load only";
        EXPECT_EQ(after[0].compare(0, 5, "v 0: "), 0) << after[0];
        EXPECT_EQ(after[1], kDone);
        // The first load: nothing (stopped before it wrote), or its list and its done bang.
        if (!first.empty()) {
            ASSERT_EQ(first.size(), 2u) << joined(first);
            EXPECT_EQ(first[0].compare(0, 5, "v 0: "), 0) << first[0];
            EXPECT_EQ(first[1], kDone);
        }
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
        ASSERT_TRUE(host_wait(30));
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
    void await_moment(Moment moment)
    {
        std::vector<std::string> console;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            int32_t raised = shell_raised();
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
                await_moment(moment);
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

// A load decoded in pieces at once stops as a whole at a break, a buffer~ freed or resized,
// or its instance freed, at any moment of it: one bang at most (the error bang of a buffer~
// that went, none after a break before the load wrote or once the instance has gone), every
// piece's claim let go and nothing of the instance left alive.
TEST(PiecesStop, TogetherAtAnyMoment)
{
    start_vorlo();
    std::string file = fixture("long_stereo.flac");
    ASSERT_FALSE(file.empty());
    struct Action {
        const char *name;
        const char *line;
        bool bangs;          // a bang always follows
        bool freesInstance;
    };
    const Action actions[] = {
        {"break", "p break", false, false},
        {"target_freed", "delete psnd", true, false},
        {"target_resized", "buffer~ psnd 100 1", true, false},
        {"instance_freed", "free p", false, true},
    };
    for (const Action &a : actions)
        for (int delay : {0, 1, 3, 8, 20, 50}) {
            SCOPED_TRACE(std::string(a.name) + " " + std::to_string(delay) + " ms after the pieces started");
            shell_prepare({"buffer~ psnd", "new p vorlo~ psnd @decoders 4 @debug 1"});
            shell_run("p replace " + file);
            std::string console;
            for (int i = 0; i < 60000 && console.find("pieces at once") == std::string::npos; i++) {
                host_idle(1);
                console += joined(host_take_console());
            }
            ASSERT_NE(console.find("decoding in 4 pieces at once"), std::string::npos) << console;
            host_idle(delay);
            shell_run(a.line);
            ASSERT_TRUE(host_wait(60));
            std::vector<std::string> outlets = host_take_outlets();
            long bangs = std::count_if(outlets.begin(), outlets.end(),
                                       [](const std::string &line) { return line.find(": bang") != std::string::npos; });
            EXPECT_EQ(bangs, a.bangs ? 1 : std::min(bangs, 1L)) << joined(outlets);
            if (!a.freesInstance)
                shell_run("free p");
            if (!host_buffer_find("psnd"))
                shell_run("buffer~ psnd");
            ASSERT_TRUE(host_wait(60));
            EXPECT_EQ(host_alive_count(), 0);
            host_take_console();
            host_take_outlets();
        }
}

}  // namespace

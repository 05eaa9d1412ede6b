// The target buffer~ on both sides of the resize hand-off, called directly on a load of the
// instance's last request, made as the next request would make it: the main thread's
// resize, the loader's wait when a stop comes, the lock that refuses what the buffer~ cannot
// hold, and the writer's claim that a resize by the patch refuses.
#include "shell_test_host.h"

#include <algorithm>
#include <gtest/gtest.h>

#include <math.h>

namespace {

class Target : public ::testing::Test {
protected:
    void SetUp() override
    {
        session.load("replace " + fixture("ch1.wav"));
        take_outlets();
        take_console();
        x = (t_vorlo *)host_instance(session.id);
        // A load lets go of its buffer~ at its end; these steps run as inside the next one.
        x->buffer_ref = buffer_ref_new(&x->ob, gensym(session.buffer.c_str()));
        l = vorlo_newLoad(x);
        ASSERT_NE(l, nullptr);
        x->load = l;
    }
    void TearDown() override
    {
        EXPECT_EQ(l->targetSamples, nullptr);
        x->load = nullptr;
        vorlo_dropLoad(l);
        vorlo_releaseTarget(x);
        take_console();
    }
    // A resize that a stopped load asked for is never made.
    void withdraw_resize()
    {
        qelem_unset(x->qelem_loadexit);
        l->raised = 0;
    }
    HostSession session{"@debug 1"};
    t_vorlo *x = nullptr;
    t_vorlo_load *l = nullptr;
};

TEST_F(Target, LoadExitSizesTheBufferAndReleasesTheLoader)
{
    l->targetSr = 44100;
    l->targetFrames = 88200;
    l->targetChannels = 1;
    l->resultSampleRate = 32000;
    l->resultChannels = 2;
    l->indexLimit = 2 * 500;
    l->resize_done = 0;
    l->raised |= VORLO_NOTE_LOADEXIT;
    vorlo_loadExitNotify(x);
    EXPECT_EQ(l->resize_done, 1);
    EXPECT_EQ(l->raised & VORLO_NOTE_LOADEXIT, 0);
    std::vector<std::string> wanted = {"sizeinsamps 500 2", "sr 32000."};
    std::vector<std::string> messages = host_buffer_messages(session.buffer);
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(messages.end() - 2, messages.end()), wanted);
    std::vector<std::string> console = take_console();
    EXPECT_TRUE(has_line(console, "vorlo~: setting buffer sr (32000)")) << joined(console);
    EXPECT_TRUE(has_line(console, "vorlo~: setting buffer size (frames: 500 ch: 2)")) << joined(console);
    Decoded buffer = session.contents();
    EXPECT_EQ(buffer.frames(), 500);
    EXPECT_EQ(buffer.channels, 2);
    EXPECT_EQ(buffer.rate, 32000);
}

struct RefusedCase {
    const char *name;
    const char *request;   // after "v ", FILE for the file
    long room;             // samples the buffer~ can be had for
};

// A buffer~ that cannot take the size a load needs keeps its samples, its size and its rate;
// the load writes nothing and ends with the error bang and a line with both sizes.
TEST(RefusedSize, IsAFailureThatChangesNothing)
{
    HostSession session;
    const RefusedCase cases[] = {
        {"replace", "replace FILE", 1000},
        {"replace_resampled", "replace FILE", 4000},
        {"importreplace", "importreplace FILE 0.5 sec 1 sec", 100},
    };
    std::string file = fixture("ch1.wav");
    for (const RefusedCase &c : cases) {
        SCOPED_TRACE(c.name);
        host_buffer(session.buffer, 10, 1, 22050);
        host_buffer_fill(session.buffer, [](long frame, long) { return 0.5f + frame; });
        ASSERT_TRUE(host_buffer_refuse(session.buffer, c.room));
        std::string request = c.request;
        request.replace(request.find("FILE"), 4, file);
        if (std::string(c.name).find("resampled") != std::string::npos)
            session.send("resample 7");
        session.load(request);
        session.send("resample 0");
        EXPECT_EQ(take_outlets(), std::vector<std::string>{session.id + " 2: bang"});
        std::vector<std::string> console = take_console();
        bool told = std::any_of(console.begin(), console.end(), [&session](const std::string &line) {
            return line.rfind("vorlo~: error: the buffer~ " + session.buffer + " did not take the size asked for (", 0) ==
                       0 &&
                   line.find("it keeps its 10 frames of 1 channels and its rate, nothing was written") !=
                       std::string::npos;
        });
        EXPECT_TRUE(told) << joined(console);
        Decoded kept = session.contents();
        EXPECT_EQ(kept.frames(), 10);
        EXPECT_EQ(kept.rate, 22050);
        for (long f = 0; f < kept.frames(); f++)
            EXPECT_EQ(kept.samples[f], 0.5f + f) << "frame " << f;
        ASSERT_TRUE(host_buffer_refuse(session.buffer, 1LL << 40));
    }
}

struct ClaimCase {
    const char *name;
    double refused;       // seconds the target refuses claims
    bool writing;         // from the moment the load has begun writing, else from the request
    bool done;            // the load ends with the done bang, else the error bang
    const char *line;     // part of the error line; null: none
};

// A buffer~ refuses claims during an edit, and while it is left invalid. The load's first
// claim and every later one are tried again for a while; a target that stays unclaimable
// ends the load with the error bang, and one that held samples is not resized (its samples
// stay) when it refuses before the load has written.
TEST(RefusedClaims, AreTriedAgainForAWhile)
{
    const ClaimCase cases[] = {
        {"refused_for_a_moment_at_first", 0.3, false, true, nullptr},
        {"refused_for_a_moment_while_writing", 0.3, true, true, nullptr},
        {"invalid_from_the_start", 1000, false, false,
         "error: the samples of the target buffer~ could not be locked: nothing was written"},
        {"invalid_while_writing", 1000, true, false, "could not be claimed for 5 seconds: nothing more is written"},
    };
    std::string file = fixture("long_stereo.flac");
    const Decoded &reference = reference_of(file);
    for (const ClaimCase &c : cases) {
        SCOPED_TRACE(c.name);
        HostSession session("", 10, 1, 22050);
        host_buffer_fill(session.buffer, [](long frame, long) { return 0.5f + frame; });
        if (!c.writing) {
            ASSERT_TRUE(host_buffer_refuse_claims(session.buffer, c.refused));
        }
        session.send("replace " + file);
        std::vector<std::string> seen;
        if (c.writing) {
            for (int i = 0; i < 60000 && seen.empty(); i++) {
                host_idle(1);
                seen = take_outlets();
            }
            ASSERT_TRUE(host_buffer_refuse_claims(session.buffer, c.refused));
            ASSERT_EQ(seen.size(), 1u) << "the load ended before its claims were refused";
        }
        ASSERT_TRUE(host_wait(60));
        ASSERT_TRUE(host_buffer_refuse_claims(session.buffer, 0));
        std::vector<std::string> outlets = take_outlets(), console = take_console();
        seen.insert(seen.end(), outlets.begin(), outlets.end());
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.back(), session.id + (c.done ? " 1: bang" : " 2: bang")) << joined(console);
        if (c.line) {
            EXPECT_TRUE(joined(console).find(c.line) != std::string::npos) << joined(console);
        }
        Decoded buffer = session.contents();
        if (c.done) {
            EXPECT_EQ(buffer.samples, reference.samples);
        } else if (!c.writing) {
            ASSERT_EQ(buffer.frames(), 10) << "a target that refused its claims was resized";
            EXPECT_EQ(buffer.rate, 22050);
            EXPECT_EQ(buffer.samples[9], 9.5f);
        } else {
            // What was written before the claims were refused is there.
            EXPECT_EQ(buffer.frames(), reference.frames());
            EXPECT_EQ(first_difference(std::vector<float>(buffer.samples.begin(), buffer.samples.begin() + 2),
                                       std::vector<float>(reference.samples.begin(), reference.samples.begin() + 2),
                                       0, 0.0f),
                      "");
        }
    }
}

// A stop ends the wait at once, whatever the main thread does.
TEST_F(Target, ResizeWaitEndsOnAStop)
{
    l->resultSampleRate = 44100;
    l->resultChannels = 1;
    l->indexLimit = 100;
    l->abort_request = 1;
    l->resize_done = 1;
    EXPECT_EQ(vorlo_resizeTarget(l), VORLO_RESIZE_ABORTED);
    EXPECT_EQ(l->resize_done, 0);
    withdraw_resize();
}

struct FitCase {
    const char *name;
    double sr;
    long frames, channels;  // the snapshot of the buffer~ that the request took
    long framesNow;         // the buffer~'s frames when the loader looks
    bool fits;
};

// The result: 44100 Hz, 500 frames of 2 channels.
const FitCase kFits[] = {
    {"fits", 44100, 500, 2, 500, true},
    {"other_rate", 48000, 500, 2, 500, false},
    {"other_frames", 44100, 499, 2, 499, false},
    {"other_channels", 44100, 1000, 1, 1000, false},
    {"rate_not_a_number", NAN, 500, 2, 500, false},
    {"resized_by_the_patch_since", 44100, 500, 2, 499, false},
};

// A buffer~ that already has the result's format is settled by the loader at once, with
// the main thread's notes and nothing sent to it; any other waits for the main thread,
// here until a stop.
TEST_F(Target, OnlyABufferThatDiffersWaitsForTheMainThread)
{
    for (const FitCase &c : kFits) {
        SCOPED_TRACE(c.name);
        double rate = std::isnan(c.sr) ? 44100 : c.sr;
        host_run_line("buffer~ " + session.buffer + " " + std::to_string(c.framesNow) + " " +
                      std::to_string(c.channels) + " " + std::to_string(rate));
        l->targetSr = c.sr;
        l->targetFrames = c.frames;
        l->targetChannels = c.channels;
        l->resultSampleRate = 44100;
        l->resultChannels = 2;
        l->indexLimit = 1000;
        l->abort_request = c.fits ? 0 : 1;
        size_t messages = host_buffer_messages(session.buffer).size();
        EXPECT_EQ(vorlo_resizeTarget(l), c.fits ? VORLO_RESIZE_DONE : VORLO_RESIZE_ABORTED);
        EXPECT_EQ((l->raised & VORLO_NOTE_LOADEXIT) != 0, !c.fits);
        std::vector<std::string> console = take_console();
        bool settled = std::any_of(console.begin(), console.end(), [](const std::string &line) {
            return line.rfind("vorlo~: buffer resize done in ", 0) == 0;
        });
        EXPECT_EQ(settled, c.fits) << joined(console);
        if (!c.fits)
            withdraw_resize();
        host_idle(5);
        EXPECT_EQ(host_buffer_messages(session.buffer).size(), messages);
        l->abort_request = 0;
    }
}

struct LockCase {
    const char *name;
    long frames, channels;  // of the buffer~ when it is locked
    int resultChannels;
    long indexLimit;
    bool locked;
    long limitAfter;
    long resizedTo;         // frames the patch gives the buffer~ after the lock; 0: none
    bool claimed;           // the writer may then claim the samples
    const char *console;
};

const LockCase kLocks[] = {
    {"fits", 100, 2, 2, 200, true, 200, 0, true, nullptr},
    {"larger_than_needed", 300, 2, 2, 200, true, 200, 0, true, nullptr},
    {"shorter_than_needed", 60, 2, 2, 200, true, 120, 0, true,
     "vorlo~: warning: the target buffer~ holds only 60 frames of 100: the rest is not written"},
    {"other_channel_count", 100, 1, 2, 200, false, 200, 0, false,
     "vorlo~: error: the target buffer~ has 1 channels instead of 2: nothing was written"},
    // A resize by the patch between two frames: the next claim refuses to write.
    {"resized_by_the_patch", 100, 2, 2, 200, true, 200, 50, false,
     "vorlo~: error: the target buffer~ BUFFER was resized during the load: the load stopped"},
    {"same_size_again", 100, 2, 2, 200, true, 200, 100, true, nullptr},
};

class Lock : public Target, public ::testing::WithParamInterface<LockCase> {};

// The writer never goes past what the buffer~ really holds, and claims the samples only
// while they keep the size it was locked with.
TEST_P(Lock, LockHoldsTheWriterToTheBuffer)
{
    const LockCase &c = GetParam();
    host_buffer(session.buffer, c.frames, c.channels, 44100);
    l->resultChannels = c.resultChannels;
    l->indexLimit = c.indexLimit;
    l->writeFailed = 0;
    l->abort_request = 0;
    EXPECT_EQ(vorlo_lockTarget(l), c.locked);
    EXPECT_EQ(l->indexLimit, c.limitAfter);
    EXPECT_EQ(l->targetSamples, nullptr);
    if (c.resizedTo)
        host_buffer(session.buffer, c.resizedTo, c.channels, 44100);
    if (c.locked) {
        EXPECT_EQ(vorlo_claimTarget(l), c.claimed);
        EXPECT_EQ(l->writeFailed, !c.claimed);
    }
    vorlo_unlockTarget(l);
    std::vector<std::string> console = take_console();
    std::string wanted = c.console ? c.console : "";
    if (wanted.find("BUFFER") != std::string::npos)
        wanted.replace(wanted.find("BUFFER"), 6, session.buffer);
    if (c.console)
        EXPECT_EQ(console, std::vector<std::string>{wanted});
    else
        EXPECT_TRUE(console.empty()) << joined(console);
}

INSTANTIATE_TEST_SUITE_P(Buffers, Lock, ::testing::ValuesIn(kLocks),
                         [](const ::testing::TestParamInfo<LockCase> &info) { return std::string(info.param.name); });

} // namespace

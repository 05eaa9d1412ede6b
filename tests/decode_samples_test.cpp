// Every decoded sample in its own place after resampling, channel mapping and stream choice:
// loads compared, sample for sample, with the ffmpeg program's decoding of the same stream.
#include "buffer_checks.h"
#include "fixtures.h"
#include "headless_host.h"

#include <gtest/gtest.h>

namespace {

struct ResampleCase {
    const char *fixture;
    int index;  // the resample attribute
    int rate;
    const char *message;  // after the path
    float tolerance;
};

// From the beginning the resampled buffer is the ffmpeg program's own resampling, tail
// included. A run that begins after a seek starts its resampling at a frame boundary, which
// may lie up to half an output sample off the continuous resampling's grid: the sine
// fixtures show that the samples are in their places all the same.
const ResampleCase kResamples[] = {
    {"s16.flac", 7, 48000, "", kRounding},
    {"f32.wav", 4, 22050, "", 1e-5f},
    {"opus.ogg", 6, 44100, "", 1e-5f},
    {"ch1.wav", 1, 8000, "", kRounding},
    {"sine.flac", 9, 96000, " 1 sec", 0.01f},
    {"sine.mp3", 7, 48000, " 1 sec", 0.01f},
};

class Resample : public ::testing::TestWithParam<ResampleCase> {};

TEST_P(Resample, BufferHoldsTheResampledDecoding)
{
    const ResampleCase &c = GetParam();
    std::string path = fixture(c.fixture);
    Decoded reference = reference_decode(path, 0, c.rate);
    HostSession s("@resample " + std::to_string(c.index));
    HostSession::Result r = s.run("replace " + path + c.message);
    expect_done(s, r);
    expect_whole(r.buffer, reference, c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Rates, Resample, ::testing::ValuesIn(kResamples),
                         [](const ::testing::TestParamInfo<ResampleCase> &info) {
                             return case_name(std::string(info.param.fixture) + "_" + std::to_string(info.param.rate) +
                                              info.param.message);
                         });

// The section of a resampled importreplace: its length at the new rate, its samples those
// of the resampled decoding at the same place.
TEST(ResampleSection, ImportreplaceAtAnotherRate)
{
    std::string path = fixture("sine.flac");
    Decoded reference = reference_decode(path, 0, 48000);
    HostSession s("@resample 7");
    HostSession::Result r = s.run("importreplace " + path + " 0.5 sec 1 sec");
    expect_done(s, r);
    ASSERT_EQ(r.buffer.frames(), 48000);
    ASSERT_EQ(r.buffer.rate, 48000);
    expect_span(r.buffer, reference, {0, 24000, 48000}, 0.01f);
}

// Channel options, each compared with what its mapping makes of the plain decoding.
struct ChannelCase {
    const char *name;
    const char *fixture;
    const char *option;     // message words after "replace PATH 0 sec 0 sec"
    int channels;           // of the buffer
    int referenceChannels;  // 0: the file's; else the ffmpeg program's own mix-down
    std::vector<std::vector<int>> from;  // buffer channel c averages these file channels
    float tolerance;
};

const ChannelCase kChannels[] = {
    {"mono_of_three", "ch3.wav", "mono", 1, 0, {{0, 1, 2}}, kRounding},
    {"twochan_of_mono", "ch1.wav", "2chan", 2, 0, {{0}, {0}}, kExact},
    {"twochan_of_four", "ch4.wav", "2chan", 2, 0, {{0}, {1}}, kExact},
    {"route_swaps", "ch2.wav", "route 1 0 0 1", 2, 0, {{1}, {0}}, kExact},
    {"route_one_of_three", "ch3.wav", "route 2 0", 1, 0, {{2}}, kExact},
    {"route_averages", "ch3.wav", "route 0 1 2 1 1 0", 2, 0, {{1}, {0, 2}}, kRounding},
    {"s_mono_of_mono", "ch1.wav", "s_mono", 1, 0, {{0}}, kExact},
    {"s_mono_of_stereo", "ch2.wav", "s_mono", 1, 1, {{0}}, kRounding},
    {"s_stereo_of_six", "ch6.wav", "s_stereo", 2, 2, {{0}, {1}}, kRounding},
};

class Channels : public ::testing::TestWithParam<ChannelCase> {};

Decoded mapped(const Decoded &reference, const ChannelCase &c)
{
    Decoded out;
    out.rate = reference.rate;
    out.channels = c.channels;
    for (long f = 0; f < reference.frames(); f++)
        for (const std::vector<int> &inputs : c.from) {
            float sum = 0;
            for (int i : inputs)
                sum += reference.samples[f * reference.channels + i];
            out.samples.push_back(sum / inputs.size());
        }
    return out;
}

TEST_P(Channels, BufferHoldsTheMappedChannels)
{
    const ChannelCase &c = GetParam();
    std::string path = fixture(c.fixture);
    Decoded expected = mapped(reference_decode(path, 0, 0, c.referenceChannels), c);
    HostSession s;
    HostSession::Result r = s.run("replace " + path + " 0 sec 0 sec " + c.option);
    expect_done(s, r);
    ASSERT_EQ(r.buffer.channels, c.channels);
    expect_whole(r.buffer, expected, c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Options, Channels, ::testing::ValuesIn(kChannels),
                         [](const ::testing::TestParamInfo<ChannelCase> &info) { return std::string(info.param.name); });

// stream_nb picks the stream; without it a file's audio stream is found among others.
TEST(Streams, StreamNumberChoosesTheStream)
{
    std::string path = fixture("twostreams.mkv");
    for (int stream : {0, 1}) {
        SCOPED_TRACE(stream);
        HostSession s("@stream_nb " + std::to_string(stream));
        HostSession::Result r = s.run("replace " + path);
        expect_done(s, r);
        expect_whole(r.buffer, reference_decode(path, stream), kExact);
    }
}

// A buffer that already has the load's size keeps it, and nothing that it held is left over.
TEST(Tail, OldContentPastTheStreamIsSilenced)
{
    std::string path = fixture("opus.ogg");
    HostSession s;
    s.run("replace " + path);
    ASSERT_EQ(host_run_line("fill " + s.buffer + " value 0.5"), 0);
    HostSession::Result r = s.run("replace " + path);
    expect_done(s, r);
    expect_whole(r.buffer, reference_decode(path), kExact);
}

struct LongCase {
    const char *attributes;
    const char *message;  // after the path
    int rate;             // of the reference; 0: the file's
    long fromFrame;       // the buffer holds the reference from this frame on
    float tolerance;
};

// Results long enough that a thread faults the buffer's pages in ahead of the writer: from
// the beginning, from the middle (two runs, the second into pages already faulted in), a
// section, and resampled.
const LongCase kLongs[] = {
    {"", "", 0, 0, kExact},
    {"", " 30 sec", 0, 0, kExact},
    {"", " 1 sec", 0, 44100, kExact},
    {"@resample 7", "", 48000, 0, kRounding},
};

TEST(LongResults, EverySampleInItsPlace)
{
    std::string path = fixture("long_stereo.flac");
    for (const LongCase &c : kLongs) {
        SCOPED_TRACE(std::string(c.attributes) + c.message);
        Decoded reference = reference_decode(path, 0, c.rate);
        reference.samples.erase(reference.samples.begin(), reference.samples.begin() + c.fromFrame * 2);
        HostSession s(c.attributes);
        HostSession::Result r = s.run((c.fromFrame ? "importreplace " : "replace ") + path + c.message);
        expect_done(s, r);
        expect_whole(r.buffer, reference, c.tolerance);
    }
}

// A break as soon as writing begins stops the faulting thread with the loader, or every
// piece of a load decoded in two: the done bang, and the samples written in their places,
// silence everywhere else (after them, for a load in one piece).
TEST(LongResults, BreakFromTheListStopsTheFaulting)
{
    std::string path = fixture("long_stereo.flac");
    Decoded reference = reference_decode(path);
    for (int decoders : {1, 2}) {
        SCOPED_TRACE(std::to_string(decoders) + " decoders");
        HostSession s("@decoders " + std::to_string(decoders));
        ASSERT_EQ(host_run_line("once " + s.id + " 0 " + s.id + " break"), 0);
        HostSession::Result r = s.run("replace " + path);
        EXPECT_TRUE(has_line(r.outlets, s.id + " 1: bang")) << joined(r.outlets) << joined(r.console);
        const std::vector<float> &got = r.buffer.samples;
        ASSERT_EQ(got.size(), reference.samples.size());
        size_t written = 0;
        while (written < got.size() && got[written] == reference.samples[written])
            written++;
        ASSERT_LT(written, got.size()) << "the load ended before the break";
        size_t misplaced = 0, silent = 0;
        for (size_t i = written; i < got.size(); i++) {
            misplaced += got[i] != 0.0f && got[i] != reference.samples[i];
            silent += got[i] == 0.0f;
        }
        EXPECT_EQ(misplaced, 0u);
        if (decoders == 1)
            EXPECT_EQ(silent, got.size() - written);
    }
    EXPECT_EQ(host_alive_count(), 0);
}

} // namespace

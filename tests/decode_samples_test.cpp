// Every decoded sample in its own place: loads of each codec and container compared, sample
// for sample, with the ffmpeg program's plain decoding of the same stream.
#include "fixtures.h"
#include "headless_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

std::string case_name(std::string name)
{
    std::replace_if(name.begin(), name.end(), [](char c) { return !isalnum((unsigned char)c); }, '_');
    return name;
}

const float kExact = 0.0f;
// One step of a 16-bit sample and a little: what two resamplers or mixers of the same
// library may differ by after rounding to the decoder's format.
const float kRounding = 2.5f / 32767;

struct Span {
    long bufferFrame;     // first frame compared in the buffer
    long referenceFrame;  // the frame of the reference that belongs there
    long frames;          // how many
};

// The buffer holds the reference over the span, within the tolerance.
void expect_span(const Decoded &buffer, const Decoded &reference, Span span, float tolerance)
{
    ASSERT_EQ(buffer.channels, reference.channels);
    ASSERT_GE(reference.frames(), span.referenceFrame + span.frames);
    long ch = reference.channels;
    std::vector<float> expected(reference.samples.begin() + span.referenceFrame * ch,
                                reference.samples.begin() + (span.referenceFrame + span.frames) * ch);
    EXPECT_EQ(first_difference(buffer.samples, expected, span.bufferFrame * ch, tolerance), "");
}

// A replace holds the whole plain decoding; where the container's length runs past the
// decoded stream, the rest of the buffer is silent.
void expect_whole(const Decoded &buffer, const Decoded &reference, float tolerance)
{
    ASSERT_EQ(buffer.rate, reference.rate);
    // The container's length and the decoded stream differ by at most the codec's padding.
    EXPECT_LE(std::labs(buffer.frames() - reference.frames()), reference.rate / 20);
    long common = std::min(buffer.frames(), reference.frames());
    expect_span(buffer, reference, {0, 0, common}, tolerance);
    std::vector<float> silence((buffer.frames() - common) * buffer.channels, 0.0f);
    EXPECT_EQ(first_difference(buffer.samples, silence, common * buffer.channels, tolerance), "") << "tail";
}

void expect_done(const HostSession &s, const HostSession::Result &r)
{
    EXPECT_TRUE(has_line(r.outlets, s.id + " 1: bang")) << joined(r.outlets) << joined(r.console);
    EXPECT_FALSE(has_line(r.outlets, s.id + " 2: bang")) << joined(r.console);
}

struct CodecCase {
    const char *fixture;
    bool lossless;
};

const CodecCase kCodecs[] = {
    {"u8.wav", true},        {"s16.wav", true},      {"s24.wav", true},     {"s32.wav", true},
    {"f32.wav", true},       {"f64.wav", true},      {"s16.aiff", true},    {"s16.flac", true},
    {"s24.flac", true},      {"alac.m4a", true},     {"wavpack.wv", true},  {"video.mkv", true},
    {"ch1.wav", true},       {"ch3.wav", true},      {"ch5.wav", true},     {"ch8.wav", true},
    {"mp3.mp3", false},      {"aac.m4a", false},     {"opus.ogg", false},   {"vorbis.ogg", false},
    {"start.ts", false},
};

class Codec : public ::testing::TestWithParam<CodecCase> {
protected:
    void SetUp() override
    {
        path = fixture(GetParam().fixture);
        ASSERT_FALSE(path.empty());
        reference = reference_decode(path);
        ASSERT_GT(reference.frames(), 0);
        afterSeek = GetParam().lossless ? kExact : kRounding;
    }
    void TearDown() override { EXPECT_EQ(host_alive_count(), 0); }
    std::string path;
    Decoded reference;
    // A lossy decoder that began after a seek may round a sample differently for good (the
    // fixed-point MPEG audio decoder's dither does).
    float afterSeek = kExact;
};

TEST_P(Codec, ReplaceEqualsThePlainDecoding)
{
    HostSession s;
    HostSession::Result r = s.run("replace " + path);
    expect_done(s, r);
    expect_whole(r.buffer, reference, kExact);
}

// A replace that starts at 1 s decodes from there to the end first, then the beginning.
// A lossy decoder starting after a seek needs its pre-roll to settle, and the second run
// reaches far enough into the first run's span to cover it: the result is the same.
TEST_P(Codec, ReplaceFromTheMiddleEqualsThePlainDecoding)
{
    HostSession s;
    HostSession::Result r = s.run("replace " + path + " 1 sec");
    expect_done(s, r);
    expect_whole(r.buffer, reference, afterSeek);
}

// The section from 0.6 s, 0.9 s long: the same span of the plain decoding. Decoding begins
// a pre-roll ahead of the section, so a lossy decoder has settled when it gets there.
TEST_P(Codec, ImportreplaceEqualsTheSameSpan)
{
    HostSession s;
    HostSession::Result r = s.run("importreplace " + path + " 600 ms 0.9 sec");
    expect_done(s, r);
    long first = lround(0.6 * reference.rate), frames = lround(0.9 * reference.rate);
    ASSERT_EQ(r.buffer.frames(), frames);
    ASSERT_EQ(r.buffer.rate, reference.rate);
    expect_span(r.buffer, reference, {0, first, frames}, afterSeek);
}

INSTANTIATE_TEST_SUITE_P(Files, Codec, ::testing::ValuesIn(kCodecs),
                         [](const ::testing::TestParamInfo<CodecCase> &info) { return case_name(info.param.fixture); });

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

// A buffer that already has the load's size keeps it; what it held past the decoded stream
// is silenced, not left over.
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

} // namespace

// What replace and importreplace make of the decoded audio: every value of a sample format
// converted, the channels a route or an option fills (the others silent), and the rate that
// each index of `resample` gives, resampled as the ffmpeg program resamples. The buffer is
// compared with the ffmpeg program's decoding, sample for sample.
#include "buffer_checks.h"
#include "fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

struct ConversionCase {
    const char *name;
    const char *fixture;
    const char *attributes;
    const char *message;  // PATH stands for the fixture's path
    int rate;             // of the reference: the ffmpeg program's resampling; 0: the file's
    int mixdown;          // the reference: the ffmpeg program's mix to that many channels; 0: none
    double start;         // the section of the reference that the buffer holds, in seconds;
    double length;        // a length of 0: to the end
    int channels;         // of the buffer
    std::vector<Feed> feeds;
    float tolerance;
};

void PrintTo(const ConversionCase &c, std::ostream *out)
{
    *out << c.message << " (" << c.fixture << ") " << c.attributes;
}

std::string with_path(std::string text, const std::string &path)
{
    return text.replace(text.find("PATH"), 4, path);
}

const std::vector<Feed> kStereo = each_to_itself(2);

// A route that sends every channel to itself writes what the decoder gave, exactly, in every
// sample format; so does no route. Averages, mix-downs and rate conversions round as the
// resampler rounds: kRounding.
const ConversionCase kConversions[] = {
    {"every_u8_value", "every8.wav", "", "replace PATH", 0, 0, 0, 0, 2, kStereo, kExact},
    {"every_s16_value", "every16.wav", "", "replace PATH", 0, 0, 0, 0, 2, kStereo, kExact},
    {"every_s16_value_planar", "every16.wv", "", "replace PATH", 0, 0, 0, 0, 3, each_to_itself(3), kExact},
    {"every_s16_value_planar_from_the_middle", "every16.wv", "", "importreplace PATH 0.3 sec", 0, 0, 0.3, 0, 3,
     each_to_itself(3), kExact},
    {"every_24_bit_value", "every24.wav", "", "replace PATH", 0, 0, 0, 0, 1, each_to_itself(1), kExact},
    {"identity_route_u8", "every8.wav", "", "replace PATH 0 sec 0 sec route 0 0 1 1", 0, 0, 0, 0, 2, kStereo, kExact},
    {"identity_route_s16p", "every16.wv", "", "replace PATH 0 sec 0 sec route 0 0 1 1 2 2", 0, 0, 0, 0, 3,
     each_to_itself(3), kExact},
    {"identity_route_s32", "s24.wav", "", "replace PATH 0 sec 0 sec route 1 1 0 0", 0, 0, 0, 0, 2, kStereo, kExact},
    {"identity_route_s32p", "alac.m4a", "", "replace PATH 0 sec 0 sec route 0 0 1 1", 0, 0, 0, 0, 2, kStereo, kExact},
    {"identity_route_s64", "s64.wav", "", "replace PATH 0 sec 0 sec route 0 0 1 1", 0, 0, 0, 0, 2, kStereo, kExact},
    {"identity_route_fltp", "wavpack.wv", "", "replace PATH 0 sec 0 sec route 0 0 1 1", 0, 0, 0, 0, 2, kStereo,
     kExact},
    {"identity_route_dbl", "f64.wav", "", "replace PATH 0 sec 0 sec route 0 0 1 1", 0, 0, 0, 0, 2, kStereo, kExact},
    {"identity_route_of_a_section", "s16.wav", "", "importreplace PATH 0.5 sec 1 sec route 0 0 1 1", 0, 0, 0.5, 1, 2,
     kStereo, kExact},

    // The channels a route names get their file channels; those it leaves out are silent.
    {"route_leaves_a_channel_silent", "ch2.wav", "", "replace PATH 0 sec 0 sec route 1 0 0 2", 0, 0, 0, 0, 3,
     {{0, {1}}, {2, {0}}}, kExact},
    {"route_of_a_section", "ch3.wav", "", "importreplace PATH 0.5 sec 1 sec route 2 0 0 1", 0, 0, 0.5, 1, 2,
     {{0, {2}}, {1, {0}}}, kExact},
    {"route_input_beyond_the_file_dropped", "ch2.wav", "", "replace PATH 0 sec 0 sec route 0 0 5 1", 0, 0, 0, 0, 1,
     {{0, {0}}}, kExact},
    {"route_negative_input_dropped", "ch2.wav", "", "replace PATH 0 sec 0 sec route -3 0 1 1", 0, 0, 0, 0, 2,
     {{1, {1}}}, kExact},
    {"route_input_minus_1_silent", "ch2.wav", "", "replace PATH 0 sec 0 sec route -1 2 0 0", 0, 0, 0, 0, 3,
     {{0, {0}}}, kExact},
    {"route_negative_output_dropped", "ch2.wav", "", "replace PATH 0 sec 0 sec route 0 -2 1 1", 0, 0, 0, 0, 2,
     {{1, {1}}}, kExact},
    {"route_without_a_valid_pair_is_silence", "ch2.wav", "", "replace PATH 0 sec 0 sec route 5 3", 0, 0, 0, 0, 1, {},
     kExact},
    {"route_numbers_truncated", "ch3.wav", "", "replace PATH 0 sec 0 sec route 2.9 1.7", 0, 0, 0, 0, 2, {{1, {2}}},
     kExact},
    // From the middle: the second run, from the beginning, resamples afresh; its seam lies up
    // to half an output sample off the continuous resampling's grid, which a sine shows.
    {"route_resampled_from_the_middle", "sine.flac", "@resample 7", "replace PATH 1 sec 0 sec route 0 1", 48000, 0, 0,
     0, 2, {{1, {0}}}, 0.01f},
    {"route_averages_and_resamples", "ch3.wav", "@resample 7", "replace PATH 0 sec 0 sec route 0 0 2 0 1 1", 48000, 0,
     0, 0, 2, {{0, {0, 2}}, {1, {1}}}, kRounding},
    {"mono_of_a_section", "f32.wav", "", "importreplace PATH 0.5 sec 1 sec mono", 0, 0, 0.5, 1, 1, {{0, {0, 1}}},
     kRounding},
    {"twochan_of_three_resampled", "ch3.wav", "@resample 4", "replace PATH 0 sec 0 sec 2chan", 22050, 0, 0, 0, 2,
     kStereo, kRounding},
    {"s_mono_of_a_section_resampled", "s16.flac", "@resample 7", "importreplace PATH 0.5 sec 1 sec s_mono", 48000, 1,
     0.5, 1, 1, {{0, {0}}}, kRounding},
    {"s_stereo_of_six_resampled", "ch6.wav", "@resample 4", "replace PATH 0 sec 0 sec s_stereo", 22050, 2, 0, 0, 2,
     kStereo, kRounding},
    // A stream whose rate changes twice, resampled: each stretch by a resampler of its own.
    {"rate_changes_resampled", "rates.mp3", "@resample 3", "replace PATH", 16000, 0, 0, 0, 2, kStereo, kExact},
};

class Conversions : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(Conversions, BufferHoldsTheMappedDecoding)
{
    const ConversionCase &c = GetParam();
    std::string path = fixture(c.fixture);
    ASSERT_FALSE(path.empty());
    Decoded reference = reference_decode(path, 0, c.rate, c.mixdown);
    long from = lround(c.start * reference.rate);
    long frames = c.length > 0 ? lround(c.length * reference.rate) : reference.frames() - from;
    HostSession s(c.attributes);
    HostSession::Result r = s.run(with_path(c.message, path));
    expect_done(s, r);
    ASSERT_EQ(r.buffer.rate, reference.rate);
    ASSERT_EQ(r.buffer.channels, c.channels);
    ASSERT_EQ(r.buffer.frames(), frames);
    expect_placed(r.buffer, silence(frames, c.channels, reference.rate), reference, {from, 0, frames, c.feeds},
                  c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Cases, Conversions, ::testing::ValuesIn(kConversions),
                         [](const ::testing::TestParamInfo<ConversionCase> &info) { return std::string(info.param.name); });

// The `resample` attribute is an index into the README's table of rates; a value that is no
// index (the attribute holds 8 bits: 48000 is stored as -128) keeps the file's rate.
struct RateCase {
    const char *fixture;
    int index;
    int rate;  // the README's; 0: the file's own
};

void PrintTo(const RateCase &c, std::ostream *out)
{
    *out << c.fixture << " @resample " << c.index;
}

const RateCase kRates[] = {
    {"f32.wav", 0, 0},         {"f32.wav", 1, 8000},      {"f32.wav", 2, 11025},     {"f32.wav", 3, 16000},
    {"f32.wav", 4, 22050},     {"f32.wav", 5, 32000},     {"f32.wav", 6, 44100},     {"f32.wav", 7, 48000},
    {"f32.wav", 8, 88200},     {"f32.wav", 9, 96000},     {"f32.wav", 10, 176400},   {"f32.wav", 11, 192000},
    {"f32.wav", 12, 352800},   {"f32.wav", 13, 384000},   {"f32.wav", 14, 0},        {"f32.wav", -1, 0},
    {"f32.wav", 127, 0},       {"f32.wav", 48000, 0},     {"s24.flac", 0, 0},        {"s24.flac", 6, 44100},
    {"r22050.flac", 6, 44100}, {"r22050.flac", 1, 8000},  {"lame4.mp3", 7, 48000},   {"lame4.mp3", 1, 8000},
};

class Rates : public ::testing::TestWithParam<RateCase> {};

// The buffer gets the table's rate and the ffmpeg program's resampling of the whole stream to
// it, its length included; at the file's own rate, the plain decoding.
TEST_P(Rates, ResampleIndexGivesTheTablesRate)
{
    const RateCase &c = GetParam();
    std::string path = fixture(c.fixture);
    Decoded reference = reference_decode(path, 0, c.rate);
    HostSession s("@resample " + std::to_string(c.index));
    HostSession::Result r = s.run("replace " + path);
    expect_done(s, r);
    EXPECT_EQ(r.buffer.rate, reference.rate);
    expect_whole(r.buffer, reference, reference.rate == reference_of(path).rate ? kExact : kRounding);
}

INSTANTIATE_TEST_SUITE_P(Indexes, Rates, ::testing::ValuesIn(kRates),
                         [](const ::testing::TestParamInfo<RateCase> &info) {
                             return case_name(std::string(info.param.fixture) + "_" + std::to_string(info.param.index));
                         });

} // namespace

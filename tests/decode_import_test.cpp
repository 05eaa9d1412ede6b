// Imports: a section of a file or of another buffer~ written or mixed into a region of an
// existing buffer~, at the buffer's rate and channel count. Where the section lands and which
// channels it fills is compared with the ffmpeg program's decoding, every sample of the buffer
// afterwards; how it is shaped (gain, fades, mixing) with what the attributes say, on sources
// that hold one value per channel, so that the gain each sample got is the ratio of what it
// put into the buffer to what the source held.
#include "buffer_checks.h"
#include "fixtures.h"
#include "headless_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

namespace {

const int kRate = 44100;

// Fixtures do not change while the tests run: each decoding is made once.
const Decoded &reference_at(const std::string &path, int rate, int channels)
{
    static std::map<std::tuple<std::string, int, int>, Decoded> decoded;
    auto key = std::make_tuple(path, rate, channels);
    auto it = decoded.find(key);
    if (it == decoded.end())
        it = decoded.emplace(key, reference_decode(path, 0, rate, channels)).first;
    return it->second;
}

struct Target {
    long frames;
    int channels;
    const char *fill = "ramp";  // sample = frame × 0.001 + channel
};

// A fresh buffer filled with the known signal; what it holds then.
Decoded filled(const HostSession &s, const char *fill)
{
    EXPECT_EQ(host_run_line("fill " + s.buffer + " " + fill), 0);
    return s.contents();
}

// The first atoms of the file-properties list: rate, channels, length and start (ms).
std::string list_head(int rate, int channels, double length, double start)
{
    t_atom atoms[4];
    atom_setfloat(&atoms[0], rate);
    atom_setlong(&atoms[1], channels);
    atom_setfloat(&atoms[2], length * 1000);
    atom_setfloat(&atoms[3], start * 1000);
    return host_format_atoms(4, atoms);
}

// One list, which names the source and begins with `head`, then the done bang; no error
// bang, and the buffer was neither resized nor given another rate.
void expect_imported(const HostSession &s, const HostSession::Result &r, const Decoded &before,
                     const std::string &head, const std::string &source)
{
    ASSERT_EQ(r.outlets.size(), 2u) << joined(r.outlets) << joined(r.console);
    std::string list = r.outlets[0];
    std::string prefix = s.id + " 0: " + head + " ";
    EXPECT_EQ(list.compare(0, prefix.size(), prefix), 0) << list << "\nexpected to begin with: " << prefix;
    EXPECT_TRUE(list.size() > source.size() && list.compare(list.size() - source.size(), source.size(), source) == 0)
        << list;
    EXPECT_EQ(r.outlets[1], s.id + " 1: bang");
    EXPECT_TRUE(host_buffer_messages(s.buffer).empty()) << joined(host_buffer_messages(s.buffer));
    EXPECT_EQ(r.buffer.frames(), before.frames());
    EXPECT_EQ(r.buffer.channels, before.channels);
    EXPECT_EQ(r.buffer.rate, before.rate);
}

float attribute(const HostSession &s, const char *name)
{
    std::vector<t_atom> value;
    EXPECT_TRUE(host_attr_value(host_instance(s.id), name, &value)) << name;
    return value.empty() ? NAN : (float)atom_getfloat(&value[0]);
}

struct ImportCase {
    const char *name;
    const char *fixture;
    const char *words;  // after "import PATH"
    Target target;      // at 44.1 kHz
    // What the words come to, in seconds; the length is the imported one, cut to the
    // file's end but not to the buffer's.
    double start;
    double length;
    double offset;
    std::vector<Feed> feeds;  // buffer channels and the reference's channels they get
    int mixdown;              // the reference: the ffmpeg program's mix to that many channels; 0: none
    bool mix;                 // @import_mix 1
    float tolerance;
};

const std::vector<Feed> kStereo = each_to_itself(2);

// An average of inputs, a mix-down or a rate conversion goes through the resampler's
// arithmetic, which rounds otherwise than the sums here and than the ffmpeg program's own
// filter chain: those cases allow kRounding. Anything else is exact, in every sample format.
const ImportCase kImports[] = {
    // Where the section lands: each unit of each position, and the length to the file's end.
    {"seconds", "f32.wav", "0.5 sec 0.5 sec 0.25 sec", {66150, 2}, 0.5, 0.5, 0.25, kStereo, 0, false, kExact},
    {"offset_in_ms_between_frames", "f32.wav", "250 ms 400 ms 10.02 ms", {66150, 2}, 0.25, 0.4, 0.01002, kStereo, 0,
     false, kExact},
    {"percent_of_file_and_buffer", "f32.wav", "25 pct 20 pct 50 pct", {66150, 2}, 0.5, 0.4, 0.75, kStereo, 0, false,
     kExact},
    {"length_in_bufpct", "f32.wav", "0.1 sec 40 bufpct 0.2 sec", {66150, 2}, 0.1, 0.6, 0.2, kStereo, 0, false, kExact},
    {"length_0_to_the_file_end", "f32.wav", "1.5 sec 0 sec 0.2 sec", {66150, 2}, 1.5, 0.5, 0.2, kStereo, 0, false,
     kExact},
    {"no_positions", "ch2.wav", "", {66150, 2}, 0, 2, 0, kStereo, 0, false, kExact},
    {"cut_at_the_buffer_end", "f32.wav", "0 sec 1 sec 1.2 sec", {66150, 2}, 0, 1, 1.2, kStereo, 0, false, kExact},

    // Mixing adds to what the buffer held, overwriting replaces it.
    {"mix_into_ramp", "f32.wav", "0.5 sec 0.5 sec 0.25 sec", {66150, 2}, 0.5, 0.5, 0.25, kStereo, 0, true, kExact},
    {"mix_into_value", "ch2.wav", "0.5 sec 0.5 sec 0.25 sec", {66150, 2, "value 0.25"}, 0.5, 0.5, 0.25, kStereo, 0,
     true, kExact},
    {"overwrite_a_value", "ch2.wav", "0.5 sec 0.5 sec 0.25 sec", {66150, 2, "value 0.25"}, 0.5, 0.5, 0.25, kStereo, 0,
     false, kExact},

    // Every sample format the decoders give, each sample converted as the reference has it:
    // u8, s16, s16p (ALAC), s32 (24 and 32 bits), s32p (ALAC), s64, flt, fltp (WavPack,
    // Vorbis), dbl; every value of 8, 16 and 24 bits.
    {"format_u8", "u8.wav", "0.6 sec 0.9 sec 0.25 sec", {66150, 2}, 0.6, 0.9, 0.25, kStereo, 0, false, kExact},
    {"format_s16", "s16.wav", "0.6 sec 0.9 sec 0.25 sec", {66150, 2}, 0.6, 0.9, 0.25, kStereo, 0, false, kExact},
    {"format_s16_big_endian", "s16.aiff", "0.6 sec 0.9 sec 0.25 sec", {66150, 2}, 0.6, 0.9, 0.25, kStereo, 0, false,
     kExact},
    {"format_s24", "s24.wav", "0.6 sec 0.9 sec 0.25 sec", {66150, 2}, 0.6, 0.9, 0.25, kStereo, 0, true, kExact},
    {"format_s32", "s32.wav", "0.6 sec 0.9 sec 0.25 sec", {66150, 2}, 0.6, 0.9, 0.25, kStereo, 0, false, kExact},
    {"format_s32_flac", "s24.flac", "0.6 sec 0.9 sec 0.25 sec", {66150, 2}, 0.6, 0.9, 0.25, kStereo, 0, false, kExact},
    {"format_s32p", "alac.m4a", "0.6 sec 0.9 sec 0.25 sec", {66150, 2}, 0.6, 0.9, 0.25, kStereo, 0, true, kExact},
    {"format_s64", "s64.wav", "0.6 sec 0.9 sec 0.25 sec", {66150, 2}, 0.6, 0.9, 0.25, kStereo, 0, false, kExact},
    {"format_flt", "f32.wav", "0.6 sec 0.9 sec 0.25 sec", {66150, 2}, 0.6, 0.9, 0.25, kStereo, 0, false, kExact},
    {"format_fltp", "wavpack.wv", "0.6 sec 0.9 sec 0.25 sec", {66150, 2}, 0.6, 0.9, 0.25, kStereo, 0, false, kExact},
    {"format_fltp_vorbis", "vorbis.ogg", "0 sec 0.9 sec 0.25 sec", {66150, 2}, 0, 0.9, 0.25, kStereo, 0, true, kExact},
    {"format_dbl", "f64.wav", "0.6 sec 0.9 sec 0.25 sec", {66150, 2}, 0.6, 0.9, 0.25, kStereo, 0, false, kExact},
    {"every_u8_value", "every8.wav", "", {88200, 2}, 0, 2, 0, kStereo, 0, false, kExact},
    {"every_s16_value", "every16.wav", "", {88200, 2}, 0, 2, 0, kStereo, 0, true, kExact},
    {"every_s16_value_planar", "every16.wv", "", {88200, 3}, 0, 2, 0, each_to_itself(3), 0, false, kExact},
    {"every_24_bit_value", "every24.wav", "", {16802100, 1}, 0, 381, 0, each_to_itself(1), 0, false, kExact},

    // Channel options of an import: a mix-down from channel T on, the other channels kept.
    {"mono_T_of_stereo", "f32.wav", "0.5 sec 0.5 sec 0.25 sec mono 2", {66150, 4}, 0.5, 0.5, 0.25, {{2, {0, 1}}}, 0,
     false, kRounding},
    {"mono_T_of_mono", "ch1.wav", "0.5 sec 0.5 sec 0.25 sec mono 1", {66150, 3}, 0.5, 0.5, 0.25, {{1, {0}}}, 0, false,
     kExact},
    {"twochan_T_of_stereo", "f32.wav", "0.5 sec 0.5 sec 0.25 sec 2chan 1", {66150, 4}, 0.5, 0.5, 0.25,
     {{1, {0}}, {2, {1}}}, 0, false, kExact},
    {"twochan_T_of_mono", "ch1.wav", "0.5 sec 0.5 sec 0.25 sec 2chan 2", {66150, 4}, 0.5, 0.5, 0.25,
     {{2, {0}}, {3, {0}}}, 0, false, kExact},
    {"twochan_of_four", "ch4.wav", "0.5 sec 0.5 sec 0.25 sec 2chan", {66150, 3}, 0.5, 0.5, 0.25, kStereo, 0, false,
     kExact},
    {"s_mono_T_of_stereo", "f32.wav", "0.5 sec 0.5 sec 0.25 sec s_mono 2", {66150, 4}, 0.5, 0.5, 0.25, {{2, {0}}}, 1,
     false, kRounding},
    {"s_mono_T_into_as_many_channels", "f32.wav", "0.5 sec 0.5 sec 0.25 sec s_mono 1", {66150, 2}, 0.5, 0.5, 0.25,
     {{1, {0}}}, 1, false, kRounding},
    {"s_mono_of_mono_T", "ch1.wav", "0.5 sec 0.5 sec 0.25 sec s_mono 1", {66150, 2}, 0.5, 0.5, 0.25, {{1, {0}}}, 0,
     false, kExact},
    {"s_mono_into_channel_0", "ch6.wav", "0.5 sec 0.5 sec 0.25 sec s_mono", {66150, 2}, 0.5, 0.5, 0.25, {{0, {0}}}, 1,
     false, kRounding},
    {"s_stereo_of_stereo_T", "f32.wav", "0.5 sec 0.5 sec 0.25 sec s_stereo 1", {66150, 3}, 0.5, 0.5, 0.25,
     {{1, {0}}, {2, {1}}}, 0, false, kExact},
    {"s_stereo_T_of_six", "ch6.wav", "0.5 sec 0.5 sec 0.25 sec s_stereo 1", {66150, 4}, 0.5, 0.5, 0.25,
     {{1, {0}}, {2, {1}}}, 2, false, kRounding},
    {"s_stereo_T_mixed", "ch6.wav", "0.2 sec 0.5 sec 0.1 sec s_stereo 2", {66150, 4}, 0.2, 0.5, 0.1,
     {{2, {0}}, {3, {1}}}, 2, true, kRounding},

    // Routes: each pair feeds a buffer channel from a file channel; the channels the route does
    // not name keep their content.
    {"route_swaps", "f32.wav", "0.5 sec 0.5 sec 0.25 sec route 0 1 1 0", {66150, 2}, 0.5, 0.5, 0.25,
     {{0, {1}}, {1, {0}}}, 0, false, kExact},
    {"route_into_one_of_four", "ch3.wav", "0.5 sec 0.5 sec 0.25 sec route 2 1", {66150, 4}, 0.5, 0.5, 0.25,
     {{1, {2}}}, 0, false, kExact},
    {"route_averages_two_inputs", "f32.wav", "0.5 sec 0.5 sec 0.25 sec route 0 0 1 0", {66150, 2}, 0.5, 0.5, 0.25,
     {{0, {0, 1}}}, 0, false, kRounding},
    {"route_output_outside_the_target_dropped", "f32.wav", "0.5 sec 0.5 sec 0.25 sec route 0 1 1 5", {66150, 2},
     0.5, 0.5, 0.25, {{1, {0}}}, 0, false, kExact},
    {"route_input_outside_the_file_dropped", "f32.wav", "0.5 sec 0.5 sec 0.25 sec route 4 0 1 1", {66150, 2}, 0.5,
     0.5, 0.25, {{1, {1}}}, 0, false, kExact},
    {"route_numbers_truncated", "ch3.wav", "0.5 sec 0.5 sec 0.25 sec route 2.9 3.7", {66150, 4}, 0.5, 0.5, 0.25,
     {{3, {2}}}, 0, false, kExact},
    {"route_input_minus_1_writes_silence", "f32.wav", "0.5 sec 0.5 sec 0.25 sec route -1 0 1 1", {66150, 2}, 0.5,
     0.5, 0.25, {{0, {}}, {1, {1}}}, 0, false, kExact},
    {"route_input_minus_1_mixes_nothing", "f32.wav", "0.5 sec 0.5 sec 0.25 sec route -1 0 1 1", {66150, 2}, 0.5,
     0.5, 0.25, {{0, {}}, {1, {1}}}, 0, true, kExact},

    // Without an option each file channel goes to its own buffer channel, where there is one.
    {"six_channels_into_two", "ch6.wav", "0.5 sec 0.5 sec 0.25 sec", {66150, 2}, 0.5, 0.5, 0.25, kStereo, 0, false,
     kExact},
    {"mono_into_four", "ch1.wav", "0.5 sec 0.5 sec 0.25 sec", {66150, 4}, 0.5, 0.5, 0.25, {{0, {0}}}, 0, false,
     kExact},
    {"stereo_into_mono", "f32.wav", "0.5 sec 0.5 sec 0.25 sec", {66150, 1}, 0.5, 0.5, 0.25, {{0, {0}}}, 0, false,
     kExact},

    // A file at another rate is resampled to the buffer's as the ffmpeg program resamples it.
    {"other_rate", "r22050.flac", "0 sec 1 sec 0.1 sec", {66150, 2}, 0, 1, 0.1, kStereo, 0, false, kRounding},

    // Long enough that a thread of the loader faults the target's pages in ahead of the
    // writer: what the buffer held is still there to be mixed with.
    {"long_mixed", "long_stereo.flac", "1 sec 0 sec 0.5 sec", {2205000, 2}, 1, 49, 0.5, kStereo, 0, true, kExact},
};

void PrintTo(const ImportCase &c, std::ostream *out)
{
    *out << "import " << c.fixture << " " << c.words << " into " << c.target.frames << " frames of "
         << c.target.channels << " channels" << (c.mix ? ", mixed" : "");
}

class Imports : public ::testing::TestWithParam<ImportCase> {};

TEST_P(Imports, RegionHoldsTheSectionAndNothingElseChanges)
{
    const ImportCase &c = GetParam();
    std::string path = fixture(c.fixture);
    ASSERT_FALSE(path.empty());
    const Decoded &file = reference_at(path, 0, 0);
    const Decoded &source = reference_at(path, file.rate == kRate ? 0 : kRate, c.mixdown);
    ASSERT_GT(source.frames(), 0);

    HostSession s(c.mix ? "@import_mix 1" : "", c.target.frames, c.target.channels, kRate);
    Decoded before = filled(s, c.target.fill);
    HostSession::Result r = s.run("import " + path + " " + c.words);
    expect_imported(s, r, before, list_head(file.rate, file.channels, c.length, c.start), path);

    long from = lround(c.start * kRate);
    long offset = lround(c.offset * kRate);
    long frames = std::min({lround(c.length * kRate), c.target.frames - offset, source.frames() - from});
    expect_placed(r.buffer, before, source, {from, offset, frames, c.feeds, c.mix}, c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Cases, Imports, ::testing::ValuesIn(kImports),
                         [](const ::testing::TestParamInfo<ImportCase> &info) { return std::string(info.param.name); });

// An import of a source that holds one value per channel: the buffer~ "buffer" (0.5 in every
// sample, at the target's rate) or a fixture.
struct ShapingCase {
    const char *name;
    const char *source;
    const char *words;  // after "import SOURCE"
    Target target;      // filled with 0.25
    int rate;
    const char *debug;  // the debug attribute's value
    Shape shape;
    double length;  // of the import in seconds, as the words give it
    double offset;
    std::vector<Feed> feeds;  // buffer channels, and the source channel each gets
    int mixdown;              // the source is mixed down to that many channels first; 0: not
    float fadeinAfter;        // the attributes after the load: a fade longer than the import
    float fadeoutAfter;       // is shortened to the import's length
    std::vector<std::string> warnings;  // what the console warns, in order
};

const Target kFour = {66150, 4, "value 0.25"};
const Target kTwo = {66150, 2, "value 0.25"};

const ShapingCase kShapings[] = {
    {"no_gain_writes_the_source", "buffer", "0 sec 0.5 sec 0.1 sec", kTwo, kRate, "0", {}, 0.5, 0.1, kStereo, 0, 0, 0,
     {}},
    {"gain_minus_6_db", "buffer", "0 sec 0.5 sec 0.1 sec", kTwo, kRate, "0", {-6}, 0.5, 0.1, kStereo, 0, 0, 0, {}},
    {"gain_plus_20_db_mixed", "buffer", "0 sec 0.5 sec 0.1 sec", kTwo, kRate, "0", {20, 0, 1, 0, 1, true}, 0.5, 0.1,
     kStereo, 0, 0, 0, {}},
    {"gain_of_a_file", "dc.flac", "1 sec 0.5 sec 0.1 sec", kTwo, kRate, "0", {-6}, 0.5, 0.1, kStereo, 0, 0, 0, {}},
    {"straight_fades", "dc.flac", "0.2 sec 0.5 sec 0.1 sec", kTwo, kRate, "0", {0, 100, 1, 200, 1}, 0.5, 0.1, kStereo,
     0, 100, 200, {}},
    {"fade_exponents_2_and_half_mixed", "dc.flac", "0.2 sec 0.5 sec 0.1 sec", kTwo, kRate, "0",
     {0, 150, 2, 120, 0.5f, true}, 0.5, 0.1, kStereo, 0, 150, 120, {}},
    {"fade_exponents_0_leave_the_gain", "dc.flac", "0.2 sec 0.5 sec 0.1 sec", kTwo, kRate, "0",
     {-6, 150, 0, 120, 0}, 0.5, 0.1, kStereo, 0, 150, 120, {}},
    {"fades_of_a_buffer_source_at_48k", "buffer", "0 sec 0.5 sec 0.1 sec", {72000, 2, "value 0.25"}, 48000, "0",
     {0, 10, 1, 10, 3}, 0.5, 0.1, kStereo, 0, 10, 10, {}},
    {"fadein_longer_than_the_import", "dc.flac", "0.2 sec 0.5 sec 0.1 sec", kTwo, kRate, "1", {0, 800, 1}, 0.5, 0.1,
     kStereo, 0, 500, 0,
     {"vorlo~: warning: Your fade-IN (800.000000 ms) is shortened as it is longer than the imported length "
      "(500.000000 ms)"}},
    {"fadeout_longer_than_the_import", "buffer", "0 sec 2 sec 0 sec", {88200, 2, "value 0.25"}, kRate, "1",
     {0, 0, 1, 5000, 2}, 2, 0, kStereo, 0, 0, 2000,
     {"vorlo~: warning: Your fade-OUT (5000.000000 ms) is shortened as it is longer than imported length "
      "(2000.000000 ms)"}},
    {"fades_shortened_quietly", "dc.flac", "0.2 sec 0.5 sec 0.1 sec", kTwo, kRate, "0", {0, 900, 1, 800, 1}, 0.5, 0.1,
     kStereo, 0, 500, 500, {}},
    {"overlapping_fades_mixed_with_gain", "dc.flac", "1.5 sec 0.5 sec 0.3 sec", kTwo, kRate, "1",
     {-6, 300, 1, 300, 1, true}, 0.5, 0.3, kStereo, 0, 300, 300,
     {"vorlo~: warning: Your fade-IN and fade-OUT overlap!"}},
    {"fades_on_a_route", "dc.flac", "0.2 sec 0.5 sec 0.1 sec route 1 2", kFour, kRate, "0",
     {-6, 100, 2, 200, 0.5f}, 0.5, 0.1, {{2, {1}}}, 0, 100, 200, {}},
    {"fades_on_a_mono_mix", "dc.flac", "0.2 sec 0.5 sec 0.1 sec s_mono 3", kFour, kRate, "0",
     {3, 100, 1, 100, 1, true}, 0.5, 0.1, {{3, {0}}}, 1, 100, 100, {}},
};

void PrintTo(const ShapingCase &c, std::ostream *out)
{
    *out << "import " << c.source << " " << c.words << " (" << shape_attributes(c.shape) << ")";
}

std::vector<std::string> warnings_of(const std::vector<std::string> &console)
{
    std::vector<std::string> warnings;
    for (const std::string &line : console)
        if (line.find(": warning: ") != std::string::npos)
            warnings.push_back(line);
    return warnings;
}

// The source as the import reads it: the buffer source's 0.5 in both channels, or the file's
// decoding (mixed down as the case says). Either holds one value per channel throughout, so
// that its first frames stand for those that the import takes.
Decoded source_of(const ShapingCase &c, const std::string &path)
{
    if (path.empty()) {
        Decoded d = silence(lround(c.length * c.rate), 2, c.rate);
        std::fill(d.samples.begin(), d.samples.end(), 0.5f);
        return d;
    }
    const Decoded &d = reference_at(path, 0, c.mixdown);
    for (const Feed &f : c.feeds)
        for (long k = 0; k < d.frames(); k += 4410)
            EXPECT_EQ(d.samples[k * d.channels + f.inputs[0]], d.samples[f.inputs[0]]) << "the source is not constant";
    return d;
}

// The load with the case's attributes; cords may change them once it has begun writing.
HostSession::Result run_shaping(const ShapingCase &c, const std::vector<std::string> &changes = {})
{
    std::string path = std::string(c.source) == "buffer" ? "" : fixture(c.source);
    Decoded held = source_of(c, path);
    HostSession s(shape_attributes(c.shape) + " @debug " + c.debug, c.target.frames, c.target.channels, c.rate);
    std::string source = path;
    if (path.empty()) {
        source = "buffer=src" + s.id;
        EXPECT_EQ(host_run_line("buffer~ src" + s.id + " " + std::to_string(lround(c.length * c.rate)) + " 2 " +
                                std::to_string(c.rate)),
                  0);
        EXPECT_EQ(host_run_line("fill src" + s.id + " value 0.5"), 0);
    }
    for (const std::string &change : changes)
        EXPECT_EQ(host_run_line("once " + s.id + " 0 " + s.id + " " + change), 0);
    Decoded before = filled(s, c.target.fill);
    HostSession::Result r = s.run("import " + source + " " + c.words);
    expect_done(s, r);
    EXPECT_EQ(r.buffer.frames(), c.target.frames);
    EXPECT_EQ(warnings_of(r.console), c.warnings) << joined(r.console);
    if (changes.empty()) {
        EXPECT_EQ(attribute(s, "fadein"), c.fadeinAfter);
        EXPECT_EQ(attribute(s, "fadeout"), c.fadeoutAfter);
    } else {
        EXPECT_NE(attribute(s, "import_gain"), c.shape.gain) << "the cords did not run";
    }
    expect_shaped(r.buffer, before, held, {0, lround(c.offset * c.rate), c.length, c.feeds, c.shape});
    return r;
}

class Shaping : public ::testing::TestWithParam<ShapingCase> {};

TEST_P(Shaping, GainAndFadesAsTheAttributesSay)
{
    run_shaping(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Cases, Shaping, ::testing::ValuesIn(kShapings),
                         [](const ::testing::TestParamInfo<ShapingCase> &info) { return std::string(info.param.name); });

// Cords on the list outlet change every shaping attribute while an import of 49 s goes on,
// long enough that a thread faults the target's pages in ahead of the writer: the import
// keeps the values that it started with from its first sample to its last.
TEST(ImportRace, ShapingChangedDuringTheImportDoesNotReachIt)
{
    const ShapingCase c = {"long", "dc.flac", "1 sec 0 sec 0.5 sec", {2205000, 2, "value 0.25"}, kRate, "0",
                           {-6, 1000, 2, 2000, 0.5f, true}, 49, 0.5, kStereo, 0, 1000, 2000, {}};
    run_shaping(c, {"import_gain 3", "import_mix 0", "fadein 0", "fadein_exp 1", "fadeout 0", "fadeout_exp 1"});
}

// A gain is the attribute's when the load begins: 0 dB after an import at -6 dB writes the
// source as it is.
TEST(ImportShaping, AnEarlierImportsGainDoesNotStay)
{
    HostSession s("@import_gain -6", 100, 1);
    ASSERT_EQ(host_run_line("buffer~ src" + s.id + " 100 1"), 0);
    ASSERT_EQ(host_run_line("fill src" + s.id + " value 0.5"), 0);
    s.run("import buffer=src" + s.id);
    EXPECT_NEAR(s.contents().samples[50], 0.5 * std::pow(10, -6 / 20.0), 1e-6);
    s.send("import_gain 0");
    HostSession::Result r = s.run("import buffer=src" + s.id);
    expect_done(s, r);
    EXPECT_EQ(r.buffer.samples, std::vector<float>(100, 0.5f));
}

// The debug trace names the buffer channels that a route lets the import write, in the order
// they first appear, on one line, and the route's matrix row by row.
TEST(ImportTrace, RouteListAndMatrix)
{
    std::string path = fixture("f32.wav");
    HostSession s("@debug 1", 100, 4);
    HostSession::Result r = s.run("import " + path + " 0 sec 0 sec 0 sec route 0 3 1 3 1 1");
    expect_done(s, r);
    std::vector<std::string> wanted = {"vorlo~: import_output_channel_list: 3 1 ", "vorlo~: prepare SWR context",
                                       "vorlo~: swr mode: routeIsUsed",           "vorlo~: route matrix:",
                                       "vorlo~: out 0: 0.000.00",                 "vorlo~: out 1: 0.001.00",
                                       "vorlo~: out 2: 0.000.00",                 "vorlo~: out 3: 0.500.50",
                                       "vorlo~: swr resultChannels: 4"};
    auto first = std::find(r.console.begin(), r.console.end(), wanted[0]);
    ASSERT_NE(first, r.console.end()) << joined(r.console);
    EXPECT_EQ(std::vector<std::string>(first, first + std::min<long>(wanted.size(), r.console.end() - first)), wanted)
        << joined(r.console);
}

struct ImportError {
    const char *name;
    const char *fixture;
    const char *words;  // after "import PATH"
    Target target;
    const char *console;  // the whole error line, or with `word` a word of it
    bool word;
    bool refused;  // refused before any load began: no bang at all
};

const ImportError kErrors[] = {
    {"offset_past_the_buffer_end", "f32.wav", "0 sec 0 sec 2 sec", {66150, 2},
     "vorlo~: error: requested buffer offset (2.000000 sec) > length of buffer (1.500000 sec).", false, false},
    {"offset_at_the_buffer_end", "f32.wav", "0 sec 0 sec 100 pct", {66150, 2},
     "vorlo~: error: requested buffer offset (1.500000 sec) > length of buffer (1.500000 sec).", false, false},
    {"start_past_the_file_end", "f32.wav", "3 sec", {66150, 2},
     "vorlo~: error: requested start pos (3.000000 sec) > length of file (2.000000 sec).", false, false},
    {"start_at_the_file_end", "f32.wav", "100 pct 0.5 sec 0.1 sec", {66150, 2},
     "vorlo~: error: requested start pos (2.000000 sec) > length of file (2.000000 sec).", false, false},
    {"s_stereo_from_the_last_channel", "f32.wav", "0 sec 0 sec 0 sec s_stereo 3", {66150, 4},
     "vorlo~: error: target buffer has only 4 channels and you try to import 2 channel starting at track 4", false,
     false},
    {"s_mono_past_the_last_channel", "f32.wav", "0 sec 0 sec 0 sec s_mono 2", {66150, 2},
     "vorlo~: error: target buffer has only 2 channels and you try to import 1 channel starting at track 3", false,
     false},
    {"s_stereo_into_one_channel", "f32.wav", "0 sec 0 sec 0 sec s_stereo", {66150, 1}, "channel", true, false},
    {"buffer_of_0_frames", "f32.wav", "", {0, 2}, "vorlo~: error: You can not import into a buffer with size 0",
     false, true},
};

void PrintTo(const ImportError &c, std::ostream *out)
{
    *out << "import " << c.fixture << " " << c.words << " into " << c.target.frames << " frames of "
         << c.target.channels << " channels";
}

bool has_error_with(const std::vector<std::string> &console, const std::string &word)
{
    for (const std::string &line : console)
        if (line.find(": error: ") != std::string::npos && line.find(word) != std::string::npos)
            return true;
    return false;
}

class ImportErrors : public ::testing::TestWithParam<ImportError> {};

// Each failure names itself on the console, bangs the error outlet (a request refused
// before its load bangs nothing) and leaves every sample, the size and the rate alone.
TEST_P(ImportErrors, ReportedAndBangedLeavingTheBufferAlone)
{
    const ImportError &c = GetParam();
    std::string path = fixture(c.fixture);
    {
        HostSession s("", c.target.frames, c.target.channels, kRate);
        Decoded before = filled(s, c.target.fill);
        HostSession::Result r = s.run("import " + path + " " + c.words);
        if (c.word)
            EXPECT_TRUE(has_error_with(r.console, c.console)) << joined(r.console);
        else
            EXPECT_TRUE(has_line(r.console, c.console)) << joined(r.console);
        std::vector<std::string> bangs;
        if (!c.refused)
            bangs.push_back(s.id + " 2: bang");
        EXPECT_EQ(r.outlets, bangs) << joined(r.console);
        EXPECT_TRUE(host_buffer_messages(s.buffer).empty()) << joined(host_buffer_messages(s.buffer));
        EXPECT_EQ(r.buffer.frames(), before.frames());
        EXPECT_EQ(r.buffer.channels, before.channels);
        EXPECT_EQ(r.buffer.rate, before.rate);
        EXPECT_TRUE(r.buffer.samples == before.samples) << "the buffer's samples changed";
    }
    EXPECT_EQ(host_alive_count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Failures, ImportErrors, ::testing::ValuesIn(kErrors),
                         [](const ::testing::TestParamInfo<ImportError> &info) { return std::string(info.param.name); });

} // namespace

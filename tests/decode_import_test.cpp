// Imports: a section of a file written or mixed into a region of an existing buffer~, at the
// buffer's rate and channel count. The buffer is filled with a known signal first, and every
// sample of it afterwards is compared with what the section, shaped and placed, should make
// of that content: the section's samples come from the ffmpeg program's decoding.
#include "buffer_checks.h"
#include "fixtures.h"
#include "headless_host.h"
#include "import_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <tuple>

namespace {

// Fixtures do not change while the tests run: each decoding is made once.
const Decoded &reference_of(const std::string &path, int rate = 0, int channels = 0)
{
    static std::map<std::tuple<std::string, int, int>, Decoded> decoded;
    auto key = std::make_tuple(path, rate, channels);
    auto it = decoded.find(key);
    if (it == decoded.end())
        it = decoded.emplace(key, reference_decode(path, 0, rate, channels)).first;
    return it->second;
}

// The section of the file, at the target's rate, mixed down to `mixdown` channels (0: the
// file's own).
const Decoded &section_source(const std::string &path, int targetRate, int mixdown)
{
    int rate = reference_of(path).rate == targetRate ? 0 : targetRate;
    return reference_of(path, rate, mixdown);
}

struct Target {
    long frames;
    int channels;
    const char *fill = "ramp";  // sample = frame × 0.001 + channel
};

// How the file's channels reach the writer: route pairs (input, output) that the load keeps,
// or the ffmpeg program's own mix-down to `mixdown` channels placed from channel `first` on.
struct Mapping {
    std::vector<std::pair<int, int>> route;
    int mixdown = 0;
    int first = 0;
};

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
    Mapping mapping;
    ImportShape shape;
    float tolerance;
};

const int kRate = 44100;

// A route that averages inputs, a mix-down, or a rate conversion goes through the
// resampler's arithmetic, which rounds otherwise than the sums here and than the ffmpeg
// program's own filter chain: those cases allow kRounding. Unit coefficients pass every
// sample format through unchanged, so plain routes are exact.
const ImportCase kImports[] = {
    // Where the section lands: each unit of each position, and the length to the file's end.
    {"seconds", "f32.wav", "0.5 sec 0.5 sec 0.25 sec", {66150, 2}, 0.5, 0.5, 0.25, {{{0, 0}, {1, 1}}}, {}, kExact},
    {"offset_in_ms_between_frames", "f32.wav", "250 ms 400 ms 10.02 ms", {66150, 2}, 0.25, 0.4, 0.01002,
     {{{0, 0}, {1, 1}}}, {}, kExact},
    {"percent_of_file_and_buffer", "f32.wav", "25 pct 20 pct 50 pct", {66150, 2}, 0.5, 0.4, 0.75,
     {{{0, 0}, {1, 1}}}, {}, kExact},
    {"length_in_bufpct", "f32.wav", "0.1 sec 40 bufpct 0.2 sec", {66150, 2}, 0.1, 0.6, 0.2, {{{0, 0}, {1, 1}}}, {},
     kExact},
    {"length_0_to_the_file_end", "f32.wav", "1.5 sec 0 sec 0.2 sec", {66150, 2}, 1.5, 0.5, 0.2,
     {{{0, 0}, {1, 1}}}, {}, kExact},
    {"no_positions", "ch2.wav", "", {66150, 2}, 0, 2, 0, {{{0, 0}, {1, 1}}}, {}, kExact},
    {"cut_at_the_buffer_end", "f32.wav", "0 sec 1 sec 1.2 sec", {66150, 2}, 0, 1, 1.2, {{{0, 0}, {1, 1}}}, {},
     kExact},

    // Mixing and gain.
    {"mix_into_ramp", "f32.wav", "0.5 sec 0.5 sec 0.25 sec", {66150, 2}, 0.5, 0.5, 0.25, {{{0, 0}, {1, 1}}},
     {true}, kExact},
    {"mix_into_value", "ch2.wav", "0.5 sec 0.5 sec 0.25 sec", {66150, 2, "value 0.25"}, 0.5, 0.5, 0.25,
     {{{0, 0}, {1, 1}}}, {true}, kExact},
    {"gain_minus_6", "f32.wav", "0.5 sec 0.5 sec 0.25 sec", {66150, 2}, 0.5, 0.5, 0.25, {{{0, 0}, {1, 1}}},
     {false, -6}, kExact},
    {"gain_plus_3_mixed", "f32.wav", "0.5 sec 0.5 sec 0.25 sec", {66150, 2}, 0.5, 0.5, 0.25, {{{0, 0}, {1, 1}}},
     {true, 3}, kExact},

    // Fades: exponents, fades longer than the import (shortened), fades that overlap.
    {"linear_fades", "f32.wav", "0.2 sec 0.5 sec 0.1 sec", {66150, 2}, 0.2, 0.5, 0.1, {{{0, 0}, {1, 1}}},
     {false, 0, 100, 1, 200, 1}, kExact},
    {"fade_exponents_2_and_half", "f32.wav", "0.2 sec 0.5 sec 0.1 sec", {66150, 2}, 0.2, 0.5, 0.1,
     {{{0, 0}, {1, 1}}}, {true, 0, 150, 2, 120, 0.5f}, kExact},
    {"fade_exponents_0", "f32.wav", "0.2 sec 0.5 sec 0.1 sec", {66150, 2}, 0.2, 0.5, 0.1, {{{0, 0}, {1, 1}}},
     {false, 0, 150, 0, 120, 0}, kExact},
    {"fades_longer_than_the_import", "f32.wav", "0.2 sec 0.5 sec 0.1 sec", {66150, 2}, 0.2, 0.5, 0.1,
     {{{0, 0}, {1, 1}}}, {false, 0, 800, 1, 900, 2}, kExact},
    {"fades_overlap_with_gain_mixed", "ch2.wav", "1.5 sec 0 sec 0.3 sec", {66150, 2}, 1.5, 0.5, 0.3,
     {{{0, 0}, {1, 1}}}, {true, -6, 300, 1, 300, 1}, kExact},
    {"fades_on_a_route", "f32.wav", "0.2 sec 0.5 sec 0.1 sec route 1 2", {66150, 4}, 0.2, 0.5, 0.1, {{{1, 2}}},
     {false, -6, 100, 2, 200, 0.5f}, kExact},

    // Channel options of an import.
    {"mono_T_of_stereo", "f32.wav", "0.5 sec 0.5 sec 0.25 sec mono 2", {66150, 4}, 0.5, 0.5, 0.25,
     {{{0, 2}, {1, 2}}}, {}, kRounding},
    {"mono_T_of_mono", "ch1.wav", "0.5 sec 0.5 sec 0.25 sec mono 1", {66150, 3}, 0.5, 0.5, 0.25, {{{0, 1}}}, {},
     kExact},
    {"twochan_T_of_stereo", "f32.wav", "0.5 sec 0.5 sec 0.25 sec 2chan 1", {66150, 4}, 0.5, 0.5, 0.25,
     {{{0, 1}, {1, 2}}}, {}, kExact},
    {"twochan_T_of_mono", "ch1.wav", "0.5 sec 0.5 sec 0.25 sec 2chan 2", {66150, 4}, 0.5, 0.5, 0.25,
     {{{0, 2}, {0, 3}}}, {}, kExact},
    {"s_mono_T_of_stereo", "f32.wav", "0.5 sec 0.5 sec 0.25 sec s_mono 2", {66150, 4}, 0.5, 0.5, 0.25,
     {{}, 1, 2}, {}, kRounding},
    {"s_mono_into_channel_0", "ch6.wav", "0.5 sec 0.5 sec 0.25 sec s_mono", {66150, 2}, 0.5, 0.5, 0.25,
     {{}, 1, 0}, {}, kRounding},
    {"s_stereo_T_of_six", "ch6.wav", "0.5 sec 0.5 sec 0.25 sec s_stereo 1", {66150, 4}, 0.5, 0.5, 0.25,
     {{}, 2, 1}, {}, kRounding},
    {"s_stereo_T_faded_mixed", "f32.wav", "0.2 sec 0.5 sec 0.1 sec s_stereo 2", {66150, 4}, 0.2, 0.5, 0.1,
     {{}, 2, 2}, {true, -6, 100, 2, 200, 0.5f}, kRounding},
    {"route_swaps", "f32.wav", "0.5 sec 0.5 sec 0.25 sec route 0 1 1 0", {66150, 2}, 0.5, 0.5, 0.25,
     {{{0, 1}, {1, 0}}}, {}, kExact},
    {"route_averages_two_inputs", "f32.wav", "0.5 sec 0.5 sec 0.25 sec route 0 0 1 0", {66150, 2}, 0.5, 0.5, 0.25,
     {{{0, 0}, {1, 0}}}, {}, kRounding},
    {"route_output_outside_the_target_dropped", "f32.wav", "0.5 sec 0.5 sec 0.25 sec route 0 1 1 5", {66150, 2},
     0.5, 0.5, 0.25, {{{0, 1}}}, {}, kExact},
    {"route_input_minus_1_writes_silence", "f32.wav", "0.5 sec 0.5 sec 0.25 sec route -1 0 1 1", {66150, 2}, 0.5,
     0.5, 0.25, {{{-1, 0}, {1, 1}}}, {}, kExact},
    {"route_input_minus_1_mixes_nothing", "f32.wav", "0.5 sec 0.5 sec 0.25 sec route -1 0 1 1", {66150, 2}, 0.5,
     0.5, 0.25, {{{-1, 0}, {1, 1}}}, {true}, kExact},

    // Without an option each file channel goes to its own target channel, where there is one.
    {"six_channels_into_two", "ch6.wav", "0.5 sec 0.5 sec 0.25 sec", {66150, 2}, 0.5, 0.5, 0.25,
     {{{0, 0}, {1, 1}}}, {}, kExact},
    {"mono_into_four", "ch1.wav", "0.5 sec 0.5 sec 0.25 sec", {66150, 4}, 0.5, 0.5, 0.25, {{{0, 0}}}, {}, kExact},
    {"stereo_into_mono", "f32.wav", "0.5 sec 0.5 sec 0.25 sec", {66150, 1}, 0.5, 0.5, 0.25, {{{0, 0}}}, {},
     kExact},

    // A file at another rate is resampled to the target's.
    {"other_rate", "r22050.flac", "0 sec 1 sec 0.1 sec", {66150, 2}, 0, 1, 0.1, {{{0, 0}, {1, 1}}}, {},
     kRounding},

    // Long enough that a thread of the loader faults the target's pages in ahead of the
    // writer: what the buffer held is still there to be mixed with.
    {"long_mixed_and_faded", "long_stereo.flac", "1 sec 0 sec 0.5 sec", {2205000, 2}, 1, 49, 0.5,
     {{{0, 0}, {1, 1}}}, {true, -6, 1000, 2, 2000, 0.5f}, kExact},
};

void PrintTo(const ImportCase &c, std::ostream *out)
{
    *out << "import " << c.fixture << " " << c.words << " into " << c.target.frames << " frames of "
         << c.target.channels << " channels (" << shape_attributes(c.shape) << ")";
}

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

// One list, which names the file and begins with `head`, then the done bang; no error bang,
// and the buffer was neither resized nor given another rate.
void expect_imported(const HostSession &s, const HostSession::Result &r, const Decoded &before,
                     const std::string &head, const std::string &path)
{
    ASSERT_EQ(r.outlets.size(), 2u) << joined(r.outlets) << joined(r.console);
    std::string list = r.outlets[0];
    std::string prefix = s.id + " 0: " + head + " ";
    EXPECT_EQ(list.compare(0, prefix.size(), prefix), 0) << list << "\nexpected to begin with: " << prefix;
    EXPECT_TRUE(list.size() > path.size() && list.compare(list.size() - path.size(), path.size(), path) == 0)
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

// Fades longer than the import are shortened in the attributes themselves.
void expect_fades(const HostSession &s, const ImportShape &shape)
{
    EXPECT_EQ(attribute(s, "fadein"), shape.fadein);
    EXPECT_EQ(attribute(s, "fadeout"), shape.fadeout);
}

Incoming incoming_of(const ImportCase &c, const Decoded &source)
{
    long from = lround(c.start * kRate);
    if (c.mapping.mixdown)
        return placed(source, from, c.mapping.first, c.target.channels);
    return routed(source, from, c.mapping.route, c.target.channels);
}

class Imports : public ::testing::TestWithParam<ImportCase> {};

TEST_P(Imports, RegionHoldsTheShapedSectionAndNothingElseChanges)
{
    const ImportCase &c = GetParam();
    std::string path = fixture(c.fixture);
    ASSERT_FALSE(path.empty());
    const Decoded &file = reference_of(path);
    const Decoded &source = section_source(path, kRate, c.mapping.mixdown);
    ASSERT_GT(source.frames(), 0);

    HostSession s(shape_attributes(c.shape), c.target.frames, c.target.channels, kRate);
    Decoded before = filled(s, c.target.fill);
    HostSession::Result r = s.run("import " + path + " " + c.words);
    expect_imported(s, r, before, list_head(file.rate, file.channels, c.length, c.start), path);

    ImportShape shape = shortened(c.shape, c.length);
    expect_fades(s, shape);
    long offsetFrame = (long)(c.offset * kRate + 0.5);
    ImportResult expected = import_model(before, incoming_of(c, source), offsetFrame, c.length, shape);
    expect_target(r.buffer, expected, c.target.channels, c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Cases, Imports, ::testing::ValuesIn(kImports),
                         [](const ::testing::TestParamInfo<ImportCase> &info) { return std::string(info.param.name); });

// The fades of one second at 44.1 kHz in two channels, fade-in 10 ms and fade-out 100 ms:
// 882 samples of fade-in, so that the first row gets 0 and 1/882; the fade-out starts at
// sample 79380 of 88200, so that row is not faded, the next gets 1 - 2/8820 on both
// channels and the last 2/8820. Near the end the factor 1 - position × step loses digits
// in single precision: there it holds to kFadeEnd.
const float kFadeEnd = 1e-7f;

TEST(ImportModel, OneSecondWithShortFades)
{
    Decoded before;
    before.rate = kRate;
    before.channels = 2;
    before.samples.assign(2 * kRate, 0.0f);
    Incoming ones;
    ones.channels = 2;
    ones.written = {true, true};
    ones.samples.assign(2 * kRate, 1.0f);
    ImportShape shape{false, 0, 10, 1, 100, 1};

    ImportFactors f = import_factors(shape, 1.0, kRate, 2);
    EXPECT_EQ(f.fadeinSamples, 882);
    EXPECT_EQ(f.fadeoutStart, 79380);
    std::vector<float> got = import_model(before, ones, 0, 1.0, shape).samples;
    ASSERT_EQ(got.size(), 88200u);
    EXPECT_EQ(got[0], 0.0f);
    EXPECT_FLOAT_EQ(got[1], 1.0f / 882);
    EXPECT_FLOAT_EQ(got[881], 881.0f / 882);
    EXPECT_EQ(got[882], 1.0f);
    EXPECT_EQ(got[79380], 1.0f);
    EXPECT_EQ(got[79381], 1.0f);
    EXPECT_FLOAT_EQ(got[79382], 1 - 2.0f / 8820);
    EXPECT_FLOAT_EQ(got[79383], 1 - 2.0f / 8820);
    EXPECT_NEAR(got[88198], 2.0f / 8820, kFadeEnd);
    EXPECT_NEAR(got[88199], 2.0f / 8820, kFadeEnd);
}

// The same import through the object, every sample as the model has it, and the places
// above taken from the decoding by hand.
TEST(ImportFades, OneSecondWithShortFadesSampleForSample)
{
    std::string path = fixture("f32.wav");
    const Decoded &reference = reference_of(path);
    ImportShape shape{false, 0, 10, 1, 100, 1};
    HostSession s(shape_attributes(shape), kRate, 2, kRate);
    Decoded before = filled(s, "ramp");
    HostSession::Result r = s.run("import " + path + " 0 sec 1 sec 0 sec");
    expect_imported(s, r, before, list_head(kRate, 2, 1, 0), path);
    expect_fades(s, shape);
    ImportResult expected = import_model(before, routed(reference, 0, {{0, 0}, {1, 1}}, 2), 0, 1.0, shape);
    expect_target(r.buffer, expected, 2, kExact);

    const std::vector<float> &got = r.buffer.samples;
    const std::vector<float> &ref = reference.samples;
    ASSERT_EQ(got.size(), 88200u);
    EXPECT_EQ(got[0], 0.0f);
    EXPECT_FLOAT_EQ(got[1], ref[1] / 882);
    EXPECT_EQ(got[79380], ref[79380]);
    EXPECT_EQ(got[79381], ref[79381]);
    EXPECT_FLOAT_EQ(got[79382], ref[79382] * (1 - 2.0f / 8820));
    EXPECT_FLOAT_EQ(got[79383], ref[79383] * (1 - 2.0f / 8820));
    EXPECT_NEAR(got[88198], ref[88198] * (2.0f / 8820), std::fabs(ref[88198]) * kFadeEnd);
    EXPECT_NEAR(got[88199], ref[88199] * (2.0f / 8820), std::fabs(ref[88199]) * kFadeEnd);
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

// Cords on the list outlet change every shaping attribute while the import of 20 s goes on:
// the import keeps the values that it started with from its first sample to its last.
TEST(ImportRace, ShapingChangedDuringTheImportDoesNotReachIt)
{
    std::string path = fixture("long.flac");
    const Decoded &reference = reference_of(path);
    ASSERT_EQ(reference.frames(), 20 * kRate);
    ImportShape shape{true, -6, 1500, 2, 2500, 0.5f};
    HostSession s(shape_attributes(shape), 20 * kRate, 1, kRate);
    Decoded before = filled(s, "value 0.25");
    for (const char *change : {"import_gain 3", "import_mix 0", "fadein 0", "fadein_exp 1", "fadeout 0",
                               "fadeout_exp 1"})
        ASSERT_EQ(host_run_line("once " + s.id + " 0 " + s.id + " " + change), 0);

    HostSession::Result r = s.run("import " + path);
    expect_imported(s, r, before, list_head(kRate, 1, 20, 0), path);
    EXPECT_EQ(attribute(s, "import_gain"), 3.0f) << "the cords did not run";
    EXPECT_EQ(attribute(s, "fadein"), 0.0f) << "the cords did not run";
    ImportResult expected = import_model(before, routed(reference, 0, {{0, 0}}, 1), 0, 20.0, shape);
    expect_target(r.buffer, expected, 1, kExact);
}

} // namespace

// Another buffer~ as the source of import and importreplace. Sources are ramps (sample =
// frame × 0.001 + channel, so that every sample tells where it came from) or a fixture's
// noise loaded into them; every sample of the target afterwards is compared with the section,
// converted and placed, and where gain and fades shape it, by the gain that each sample got
// from what the section held there. Rate conversions and the library's own mix-downs are
// made by the ffmpeg program from the source's samples: it runs the same resampler on the
// same input, so its result is the object's to the bit.
#include "buffer_checks.h"
#include "fixtures.h"
#include "headless_host.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

// A ramp of this size and rate, or a fixture loaded into the buffer (which then takes the
// file's size and rate).
struct Source {
    long frames;
    int channels;
    double rate;
    const char *fixture = nullptr;
};

struct Target {
    long frames;
    int channels;
    double rate;
    const char *fill = "value -1";
};

// How the source's channels reach the writer: route pairs that the load keeps (each output
// the average of its inputs), or a sum to `mixdown` channels placed from target channel
// `first` on. Neither: every channel as it is.
struct Mapping {
    std::vector<std::pair<int, int>> route;
    int mixdown = 0;
    int first = 0;
};

struct SourceCase {
    const char *name;
    const char *message;  // "import" or "importreplace"
    Source source;
    Target target;
    const char *words;       // after "MESSAGE buffer=NAME"
    const char *attributes;  // box arguments beside the shaping
    // What the words come to, in seconds: the length is the one taken, cut to the source's
    // end but not to the target's.
    double start;
    double length;
    double offset;
    int rate;  // of what is written: the target's for an import
    Mapping mapping;
    Shape shape;
    float tolerance;
};

// Routes that average inputs and the sums of 9 channels are worked out here in double
// precision; the library sums in single precision, in its own order. Over samples up to 30,
// where a float's step is 2e-6, the two differ by up to two steps; five are allowed.
const float kMixed = 1e-5f;

const std::vector<std::pair<int, int>> kStereo = {{0, 0}, {1, 1}};
const std::vector<std::pair<int, int>> kNineToOne = {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1},
                                                     {5, 1}, {6, 1}, {7, 1}, {8, 1}};
const double kThousandFrames = 1000.0 / 44100;  // seconds

const SourceCase kCases[] = {
    // importreplace: the section, and the buffer made its rate, length and channels.
    {"replace_whole_source", "importreplace", {22050, 2, 44100}, {1000, 1, 44100}, "", "", 0, 0.5, 0, 44100, {}, {},
     kExact},
    {"replace_seconds", "importreplace", {48000, 2, 48000}, {100, 2, 48000}, "0.25 sec 0.5 sec", "", 0.25, 0.5, 0,
     48000, {}, {}, kExact},
    {"replace_milliseconds_at_another_rate", "importreplace", {32000, 3, 32000}, {1000, 4, 44100},
     "123.4 ms 400 ms", "", 0.1234, 0.4, 0, 32000, {}, {}, kExact},
    {"replace_percent", "importreplace", {44100, 1, 22050}, {1000, 1, 44100}, "25 pct 50 pct", "", 0.5, 1, 0, 22050,
     {}, {}, kExact},
    {"replace_percent_clamped", "importreplace", {22050, 6, 22050}, {1000, 1, 44100}, "10 pct 150 pct", "", 0.1,
     0.9, 0, 22050, {}, {}, kExact},
    {"replace_length_past_the_end", "importreplace", {22050, 6, 44100}, {1000, 1, 44100}, "0.3 sec 1 sec", "", 0.3,
     0.2, 0, 44100, {}, {}, kExact},
    {"replace_thousand_frames_whole", "importreplace", {1000, 2, 44100}, {10, 1, 44100}, "", "", 0, kThousandFrames,
     0, 44100, {}, {}, kExact},
    {"replace_source_rate_not_whole", "importreplace", {22050, 1, 22050.5}, {1000, 1, 44100}, "", "", 0, 1, 0,
     22050, {}, {}, kExact},
    {"replace_resampled_up", "importreplace", {22050, 2, 44100}, {1000, 1, 44100}, "0.1 sec 0.3 sec",
     "@resample 7", 0.1, 0.3, 0, 48000, {}, {}, kExact},
    {"replace_resampled_down_to_the_end", "importreplace", {48000, 1, 48000}, {1000, 1, 44100}, "0.5 sec",
     "@resample 4", 0.5, 0.5, 0, 22050, {}, {}, kExact},
    {"replace_resample_at_the_source_rate", "importreplace", {22050, 2, 44100}, {22050, 2, 44100}, "",
     "@resample 6", 0, 0.5, 0, 44100, {}, {}, kExact},
    {"replace_noise_resampled", "importreplace", {0, 0, 0, "f32.wav"}, {1000, 1, 44100}, "0.5 sec 1 sec",
     "@resample 7", 0.5, 1, 0, 48000, {}, {}, kExact},
    {"replace_mono_of_three", "importreplace", {22050, 3, 44100}, {1000, 1, 44100}, "0 sec 0 sec mono", "", 0, 0.5,
     0, 44100, {{{0, 0}, {1, 0}, {2, 0}}}, {}, kMixed},
    {"replace_twochan_of_mono", "importreplace", {22050, 1, 44100}, {1000, 1, 44100}, "0 sec 0 sec 2chan", "", 0,
     0.5, 0, 44100, {{{0, 0}, {0, 1}}}, {}, kExact},
    {"replace_twochan_of_six", "importreplace", {22050, 6, 44100}, {1000, 1, 44100}, "0.1 sec 0.2 sec 2chan", "",
     0.1, 0.2, 0, 44100, {kStereo}, {}, kExact},
    {"replace_route", "importreplace", {22050, 3, 44100}, {1000, 1, 44100}, "0 sec 0 sec route 2 0 0 1 1 1 5 0", "",
     0, 0.5, 0, 44100, {{{2, 0}, {0, 1}, {1, 1}}}, {}, kMixed},
    {"replace_s_mono_of_six", "importreplace", {22050, 6, 44100}, {1000, 1, 44100}, "0 sec 0 sec s_mono", "", 0,
     0.5, 0, 44100, {{}, 1}, {}, kExact},
    {"replace_s_mono_of_nine", "importreplace", {22050, 9, 44100}, {1000, 1, 44100}, "0 sec 0 sec s_mono", "", 0,
     0.5, 0, 44100, {{}, 1}, {}, kMixed},
    {"replace_s_stereo_of_nine", "importreplace", {22050, 9, 44100}, {1000, 1, 44100}, "0.2 sec 0 sec s_stereo",
     "", 0.2, 0.3, 0, 44100, {{}, 2}, {}, kMixed},
    {"replace_nine_resampled", "importreplace", {22050, 9, 44100}, {1000, 2, 44100}, "0.1 sec 0.3 sec",
     "@resample 5", 0.1, 0.3, 0, 32000, {}, {}, kExact},
    {"replace_s_stereo_of_six_resampled", "importreplace", {22050, 6, 44100}, {1000, 1, 44100},
     "0 sec 0 sec s_stereo", "@resample 7", 0, 0.5, 0, 48000, {{}, 2}, {}, kExact},

    // The resampler holds back all that it makes of the first block: the copy goes on.
    {"import_downsampled_48_times", "import", {38400, 1, 384000}, {8000, 1, 8000}, "", "", 0, 0.1, 0, 8000,
     {{{0, 0}}}, {}, kExact},

    // import: each unit of each position; the rest of the target stays as it was.
    {"import_whole_source", "import", {22050, 2, 44100}, {44100, 2, 44100}, "", "", 0, 0.5, 0, 44100, {kStereo}, {},
     kExact},
    {"import_seconds", "import", {44100, 2, 44100}, {44100, 2, 44100, "ramp"}, "0.1 sec 0.2 sec 0.3 sec", "", 0.1,
     0.2, 0.3, 44100, {kStereo}, {}, kExact},
    {"import_milliseconds", "import", {44100, 2, 44100}, {44100, 2, 44100}, "100.5 ms 250 ms 12.34 ms", "", 0.1005,
     0.25, 0.01234, 44100, {kStereo}, {}, kExact},
    {"import_percent", "import", {44100, 1, 44100}, {44100, 1, 44100}, "10 pct 20 pct 50 pct", "", 0.1, 0.2, 0.5,
     44100, {{{0, 0}}}, {}, kExact},
    {"import_start_50_pct_of_2_s", "import", {88200, 2, 44100}, {88200, 2, 44100, "ramp"}, "50 pct", "", 1, 1, 0,
     44100, {kStereo}, {}, kExact},
    {"import_bufpct_10_of_a_10_s_target", "import", {88200, 1, 44100}, {441000, 1, 44100},
     "0.5 sec 10 bufpct 2 sec", "", 0.5, 1, 2, 44100, {{{0, 0}}}, {}, kExact},
    {"import_bufpct_longer_than_the_source", "import", {22050, 1, 44100}, {88200, 1, 44100}, "0 sec 50 bufpct", "",
     0, 0.5, 0, 44100, {{{0, 0}}}, {}, kExact},
    {"import_ends_at_the_target_end", "import", {22050, 2, 44100}, {44100, 2, 44100, "ramp"}, "0 sec 0 sec 0.9 sec",
     "", 0, 0.5, 0.9, 44100, {kStereo}, {}, kExact},
    {"import_thousand_frames_whole", "import", {1000, 2, 44100}, {3000, 2, 44100, "ramp"}, "0 sec 0 sec 10 ms", "",
     0, kThousandFrames, 0.01, 44100, {kStereo}, {}, kExact},

    // Other channel counts and rates: without an option each channel goes to its own.
    {"import_stereo_into_four_at_another_rate", "import", {24000, 2, 48000}, {44100, 4, 44100, "ramp"},
     "0.1 sec 0.3 sec 0.2 sec", "", 0.1, 0.3, 0.2, 44100, {kStereo}, {}, kExact},
    {"import_six_into_two_from_22050", "import", {11025, 6, 22050}, {44100, 2, 44100}, "", "", 0, 0.5, 0, 44100,
     {kStereo}, {}, kExact},
    {"import_mono_into_three", "import", {22050, 1, 44100}, {44100, 3, 44100, "ramp"}, "0 sec 0 sec 0.1 sec", "", 0,
     0.5, 0.1, 44100, {{{0, 0}}}, {}, kExact},
    {"import_nine_into_two", "import", {22050, 9, 44100}, {44100, 2, 44100}, "0.1 sec 0.2 sec 0.3 sec", "", 0.1,
     0.2, 0.3, 44100, {kStereo}, {}, kExact},
    {"import_nine_into_three_at_another_rate", "import", {24000, 9, 48000}, {44100, 3, 44100, "ramp"},
     "0.1 sec 0.2 sec 0.1 sec", "", 0.1, 0.2, 0.1, 44100, {{{0, 0}, {1, 1}, {2, 2}}}, {}, kExact},

    // Channel options from target channel T.
    {"import_mono_T_of_nine", "import", {22050, 9, 44100}, {44100, 3, 44100, "ramp"}, "0 sec 0 sec 0 sec mono 1",
     "", 0, 0.5, 0, 44100, {kNineToOne}, {}, kMixed},
    {"import_twochan_T_of_mono", "import", {22050, 1, 44100}, {44100, 4, 44100, "ramp"},
     "0 sec 0 sec 0.1 sec 2chan 2", "", 0, 0.5, 0.1, 44100, {{{0, 2}, {0, 3}}}, {}, kExact},
    {"import_twochan_T_of_three", "import", {22050, 3, 44100}, {44100, 3, 44100}, "0 sec 0 sec 0 sec 2chan 1", "",
     0, 0.5, 0, 44100, {{{0, 1}, {1, 2}}}, {}, kExact},
    {"import_s_mono_T_of_nine", "import", {22050, 9, 44100}, {44100, 3, 44100, "ramp"},
     "0.1 sec 0 sec 0.2 sec s_mono 2", "", 0.1, 0.4, 0.2, 44100, {{}, 1, 2}, {}, kMixed},
    {"import_s_stereo_T_of_nine", "import", {22050, 9, 44100}, {44100, 4, 44100, "ramp"},
     "0 sec 0 sec 0 sec s_stereo 1", "", 0, 0.5, 0, 44100, {{}, 2, 1}, {}, kMixed},
    {"import_s_stereo_T_of_three", "import", {22050, 3, 44100}, {44100, 4, 44100}, "0 sec 0 sec 0 sec s_stereo 2",
     "", 0, 0.5, 0, 44100, {{}, 2, 2}, {}, kExact},
    {"import_s_mono_T_of_six_at_another_rate", "import", {22050, 6, 44100}, {48000, 2, 48000},
     "0 sec 0 sec 0 sec s_mono 1", "", 0, 0.5, 0, 48000, {{}, 1, 1}, {}, kExact},
    {"import_route", "import", {22050, 2, 44100}, {44100, 3, 44100, "ramp"},
     "0 sec 0 sec 0.1 sec route 0 2 1 0 -1 1", "", 0, 0.5, 0.1, 44100, {{{0, 2}, {1, 0}, {-1, 1}}}, {}, kExact},
    {"import_noise_route_averaged", "import", {0, 0, 0, "ch6.wav"}, {44100, 2, 44100},
     "0.5 sec 0.5 sec 0.25 sec route 0 0 5 0 3 1", "", 0.5, 0.5, 0.25, 44100, {{{0, 0}, {5, 0}, {3, 1}}}, {},
     kMixed},

    // Shaping: gain, fades (shortened to the section), mixing.
    {"import_gain_fades_mixed", "import", {44100, 2, 44100}, {44100, 2, 44100, "ramp"}, "0.1 sec 0.3 sec 0.2 sec",
     "", 0.1, 0.3, 0.2, 44100, {kStereo}, {-6, 50, 1, 100, 2, true}, kExact},
    {"import_long_fades_resampled", "import", {24000, 2, 48000}, {44100, 2, 44100, "value 0.25"},
     "0 sec 0.2 sec 0.1 sec", "", 0, 0.2, 0.1, 44100, {kStereo}, {3, 500, 0.5f, 400, 1}, kExact},
    {"import_noise_mixed_at_another_rate", "import", {0, 0, 0, "f32.wav"}, {22050, 2, 22050, "ramp"},
     "1 sec 0.5 sec 0.25 sec", "", 1, 0.5, 0.25, 22050, {kStereo}, {-3, 20, 2, 30, 1, true}, kExact},
};

void PrintTo(const SourceCase &c, std::ostream *out)
{
    *out << c.message << " buffer=src " << c.words << " (" << c.attributes << " " << shape_attributes(c.shape)
         << ") into " << c.target.frames << " frames of " << c.target.channels << " channels at "
         << c.target.rate;
}

Decoded buffer_contents(const std::string &name)
{
    Decoded d;
    long frames = 0, channels = 0;
    double rate = 0;
    EXPECT_TRUE(host_buffer_read(name, &frames, &channels, &rate, &d.samples)) << name;
    d.rate = (int)rate;
    d.channels = (int)channels;
    return d;
}

void run_line(const std::string &line)
{
    EXPECT_EQ(host_run_line(line), 0) << line;
}

// A buffer~ of its own for each source, made with the host's lines; a fixture is loaded
// into it by an instance that is freed right after.
std::string make_source(const Source &source)
{
    static int made = 0;
    start_vorlo();
    std::string name = "src" + std::to_string(++made);
    std::ostringstream line;
    line << "buffer~ " << name << " " << source.frames << " " << source.channels << " " << source.rate;
    run_line(source.fixture ? "buffer~ " + name : line.str());
    if (!source.fixture) {
        run_line("fill " + name + " ramp");
        return name;
    }
    std::string loader = "load" + name;
    run_line("new " + loader + " vorlo~ " + name);
    run_line(loader + " replace " + fixture(source.fixture));
    EXPECT_TRUE(host_wait(60));
    run_line("free " + loader);
    take_outlets();
    take_console();
    return name;
}

// The target filled with its known signal; what it holds then.
Decoded filled(const HostSession &s, const char *fill)
{
    run_line("fill " + s.buffer + " " + fill);
    return s.contents();
}

// The section as the copy feeds it: the source from the section's first frame (the start
// rounded to a frame) to its end, then silence.
Decoded section_of(const Decoded &source, double start, long silence)
{
    long first = (long)std::floor(start * source.rate + 0.5);
    Decoded d = source;
    d.samples.erase(d.samples.begin(), d.samples.begin() + first * source.channels);
    d.samples.resize(d.samples.size() + (size_t)(silence * source.channels), 0.0f);
    return d;
}

// Both begin the resampler on the section's first frame, so its first samples need no
// tolerance. At the other end the resampler reads ahead by its filter's length, and the
// ffmpeg program ends its input by reflecting its last samples where the object goes on
// feeding silence: the section carries this much silence, so that both read the same input
// for every frame compared, and the last ones need no tolerance either.
const long kSilence = 16384;

std::string temporary_path(const std::string &name)
{
    static int made = 0;
    return (std::filesystem::temp_directory_path() /
            ("vorlo-source-" + std::to_string(getpid()) + "-" + std::to_string(++made) + "-" + name))
        .string();
}

// The ffmpeg program's conversion of the samples to `rate` and to `channels` by the
// library's own mix-down (0: as they are).
Decoded ffmpeg_converted(const Decoded &in, int rate, int channels)
{
    Decoded out;
    out.rate = rate ? rate : in.rate;
    out.channels = channels ? channels : in.channels;
    std::string raw = temporary_path("section.raw");
    std::ofstream(raw, std::ios::binary)
        .write((const char *)in.samples.data(), (std::streamsize)(in.samples.size() * sizeof(float)));
    std::ostringstream cmd;
    cmd << reference_ffmpeg() << " -nostdin -v error -f f32le -ar " << in.rate << " -ac " << in.channels << " -i '" << raw << "'";
    if (rate)
        cmd << " -ar " << rate;
    if (channels)
        cmd << " -ac " << channels;
    cmd << " -f f32le -";
    FILE *pipe = popen(cmd.str().c_str(), "r");
    EXPECT_NE(pipe, nullptr) << cmd.str();
    if (pipe) {
        std::vector<float> chunk(1 << 14);
        size_t n;
        while ((n = fread(chunk.data(), sizeof(float), chunk.size(), pipe)) > 0)
            out.samples.insert(out.samples.end(), chunk.begin(), chunk.begin() + (long)n);
        EXPECT_EQ(pclose(pipe), 0) << cmd.str();
    }
    std::filesystem::remove(raw);
    return out;
}

// The sums of 9 channels, for which the library knows no layout: mono takes the average of
// all; stereo the even channels left and the odd right, an odd count's last on both sides,
// each with one over the channels of a side.
Decoded summed(const Decoded &in, int channels)
{
    int n = in.channels;
    int odd = n % 2;
    double k = channels == 1 ? 1.0 / n : 1.0 / ((n - odd) / 2 + odd);
    Decoded out;
    out.rate = in.rate;
    out.channels = channels;
    for (long f = 0; f < in.frames(); f++)
        for (int o = 0; o < channels; o++) {
            double sum = 0;
            for (int i = 0; i < n; i++)
                if (channels == 1 || i % 2 == o || (odd && i == n - 1))
                    sum += k * in.samples[f * n + i];
            out.samples.push_back((float)sum);
        }
    return out;
}

// The section at the rate of what is written, summed when the request sums.
Decoded converted(const SourceCase &c, const Decoded &section)
{
    int rate = c.rate == section.rate ? 0 : c.rate;
    if (c.mapping.mixdown && section.channels >= 9)
        return summed(section, c.mapping.mixdown);
    if (rate || c.mapping.mixdown)
        return ffmpeg_converted(section, rate, c.mapping.mixdown);
    return section;
}

bool replaces(const SourceCase &c)
{
    return std::string(c.message) == "importreplace";
}

// The channels of what an importreplace writes: the sum's, the route's highest output and
// one, or the source's.
int written_channels(const SourceCase &c, int sourceChannels)
{
    if (c.mapping.mixdown)
        return c.mapping.mixdown;
    int channels = 0;
    for (const auto &pair : c.mapping.route)
        channels = std::max(channels, pair.second + 1);
    return channels ? channels : sourceChannels;
}

// The target channels that what is written feeds, from the section's channels: a route's
// outputs, each the average of its inputs (none but -1: silence), or the section's channels
// in order from the mapping's first on.
std::vector<Feed> feeds_of(const Mapping &mapping, int channels)
{
    std::vector<Feed> feeds;
    for (const auto &pair : mapping.route) {
        auto feed = std::find_if(feeds.begin(), feeds.end(), [&](const Feed &f) { return f.channel == pair.second; });
        if (feed == feeds.end())
            feed = feeds.insert(feeds.end(), {pair.second, {}});
        if (pair.first >= 0)
            feed->inputs.push_back(pair.first);
    }
    for (int c = 0; mapping.route.empty() && c < channels; c++)
        feeds.push_back({mapping.first + c, {c}});
    return feeds;
}

bool shapes(const Shape &shape)
{
    return shape.gain != 0 || shape.fadein != 0 || shape.fadeout != 0;
}

// The file-properties list of a buffer source: its rate and channels, the length and start
// in milliseconds, no layout, the word "buffer" for the codec, and the bare name.
std::string list_line(const HostSession &s, const Decoded &source, double length, double start,
                      const std::string &name)
{
    t_atom atoms[7];
    atom_setfloat(&atoms[0], source.rate);
    atom_setlong(&atoms[1], source.channels);
    atom_setfloat(&atoms[2], length * 1000);
    atom_setfloat(&atoms[3], start * 1000);
    atom_setsym(&atoms[4], gensym("unspecified"));
    atom_setsym(&atoms[5], gensym("buffer"));
    atom_setsym(&atoms[6], gensym(name.c_str()));
    return s.id + " 0: " + host_format_atoms(7, atoms);
}

// What the buffer~ is sent to take the result: the size, then the rate, each only when it
// differs.
std::vector<std::string> resize_messages(const Target &before, int rate, long frames, int channels)
{
    std::vector<std::string> messages;
    if (before.frames != frames || before.channels != channels)
        messages.push_back("sizeinsamps " + std::to_string(frames) + " " + std::to_string(channels));
    if (before.rate != rate) {
        t_atom atom;
        atom_setfloat(&atom, rate);
        messages.push_back("sr " + host_format_atoms(1, &atom));
    }
    return messages;
}


class SourceLoads : public ::testing::TestWithParam<SourceCase> {};

TEST_P(SourceLoads, TargetHoldsTheConvertedSectionAndNothingElse)
{
    const SourceCase &c = GetParam();
    start_vorlo();
    long alive = host_alive_count();
    {
        std::string name = make_source(c.source);
        Decoded source = buffer_contents(name);
        ASSERT_GT(source.frames(), 0);
        HostSession s(std::string(c.attributes) + " " + shape_attributes(c.shape), c.target.frames,
                      c.target.channels, c.target.rate);
        Decoded before = filled(s, c.target.fill);
        HostSession::Result r = s.run(std::string(c.message) + " buffer=" + name + " " + c.words);

        std::vector<std::string> outlets = {list_line(s, source, c.length, c.start, name), s.id + " 1: bang"};
        EXPECT_EQ(r.outlets, outlets) << joined(r.console);
        int rowChannels = replaces(c) ? written_channels(c, source.channels) : c.target.channels;
        long frames = replaces(c) ? (long)std::floor(c.rate * c.length + 0.5) : c.target.frames;
        std::vector<std::string> messages;
        if (replaces(c))
            messages = resize_messages(c.target, c.rate, frames, rowChannels);
        EXPECT_EQ(host_buffer_messages(s.buffer), messages);
        ASSERT_EQ(r.buffer.rate, c.rate);
        ASSERT_EQ(r.buffer.channels, rowChannels);
        ASSERT_EQ(r.buffer.frames(), frames);

        // What is written, placed through the mapping over silence (a replace, which shapes
        // nothing) or what the target held; shaped, it is checked by the gain each sample got.
        Decoded written = converted(c, section_of(source, c.start, kSilence));
        std::vector<Feed> feeds = feeds_of(c.mapping, written.channels);
        long offset = lround(c.offset * c.rate);
        if (replaces(c)) {
            expect_placed(r.buffer, silence(frames, rowChannels, c.rate), written, {0, 0, frames, feeds}, c.tolerance);
        } else if (shapes(c.shape)) {
            expect_shaped(r.buffer, before, written, {0, offset, c.length, feeds, c.shape});
        } else {
            long placed = std::min(lround(c.rate * c.length), frames - offset);
            expect_placed(r.buffer, before, written, {0, offset, placed, feeds, c.shape.mix}, c.tolerance);
        }
        EXPECT_TRUE(buffer_contents(name).samples == source.samples) << "the source changed";
    }
    EXPECT_EQ(host_alive_count(), alive);
}

INSTANTIATE_TEST_SUITE_P(Cases, SourceLoads, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SourceCase> &info) { return std::string(info.param.name); });

struct SourceError {
    const char *name;
    const char *request;  // SOURCE stands for a source of this size, TARGET for the target's name
    Source source;
    Target target;
    const char *error;  // the console line after "vorlo~: error: ", with the same words
};

const SourceError kErrors[] = {
    {"offset_past_the_target_end", "import buffer=SOURCE 0 sec 0 sec 2 sec", {22050, 1, 44100}, {44100, 1, 44100},
     "requested buffer offset (2.000000 sec) > length of buffer (1.000000 sec)."},
    {"offset_at_the_target_end", "import buffer=SOURCE 0 sec 0 sec 100 pct", {22050, 1, 44100}, {44100, 1, 44100},
     "requested buffer offset (1.000000 sec) > length of buffer (1.000000 sec)."},
    {"start_past_the_source_end", "importreplace buffer=SOURCE 3 sec", {88200, 2, 44100}, {1000, 1, 44100},
     "start pos (3.000000 sec) > length of source (2.000000 sec)."},
    {"start_150_pct_taken_as_100", "import buffer=SOURCE 150 pct", {88200, 2, 44100}, {44100, 2, 44100},
     "start pos (2.000000 sec) > length of source (2.000000 sec)."},
    {"source_of_0_frames", "importreplace buffer=SOURCE", {0, 1, 44100}, {1000, 1, 44100},
     "Can not calculate length in samples."},
    {"source_of_0_frames_import", "import buffer=SOURCE", {0, 2, 44100}, {1000, 2, 44100},
     "Can not calculate length in samples."},
    {"no_result_frame", "import buffer=SOURCE 0 sec 0.01 ms", {22050, 1, 44100}, {44100, 1, 44100},
     "Can not calculate result length in samples"},
    {"missing_source", "import buffer=nosuch", {0, 0, 0}, {1000, 1, 44100},
     "the source buffer~ does not exist: nosuch"},
    {"missing_source_replace", "importreplace buffer=nosuch 0 sec 0 sec mono", {0, 0, 0}, {1000, 1, 44100},
     "the source buffer~ does not exist: nosuch"},
    {"source_is_the_target", "import buffer=TARGET", {0, 0, 0}, {1000, 2, 44100},
     "the source buffer~ is the target buffer~ itself: TARGET"},
    {"source_is_the_target_replace", "importreplace buffer=TARGET 0 sec 0 sec s_mono", {0, 0, 0}, {1000, 2, 48000},
     "the source buffer~ is the target buffer~ itself: TARGET"},
    {"s_stereo_from_the_last_channel", "import buffer=SOURCE 0 sec 0 sec 0 sec s_stereo 3", {22050, 6, 44100},
     {44100, 4, 44100}, "target buffer has only 4 channels and you try to import 2 channel starting at track 4"},
    {"s_mono_past_the_last_channel", "import buffer=SOURCE 0 sec 0 sec 0 sec s_mono 2", {22050, 9, 44100},
     {44100, 2, 44100}, "target buffer has only 2 channels and you try to import 1 channel starting at track 3"},
};

void PrintTo(const SourceError &c, std::ostream *out)
{
    *out << c.request << " into " << c.target.frames << " frames of " << c.target.channels << " channels";
}

std::string with_names(std::string text, const std::string &source, const std::string &target)
{
    for (size_t at; (at = text.find("SOURCE")) != std::string::npos;)
        text.replace(at, 6, source);
    for (size_t at; (at = text.find("TARGET")) != std::string::npos;)
        text.replace(at, 6, target);
    return text;
}

class SourceErrors : public ::testing::TestWithParam<SourceError> {};

// Each failure names itself on the console and bangs the error outlet; neither buffer
// changes, the target is not sent a message, and both references are released.
TEST_P(SourceErrors, ReportedAndBangedLeavingBothBuffersAlone)
{
    const SourceError &c = GetParam();
    start_vorlo();
    long alive = host_alive_count();
    {
        std::string name = c.source.channels ? make_source(c.source) : "";
        Decoded source = name.empty() ? Decoded{} : buffer_contents(name);
        HostSession s("", c.target.frames, c.target.channels, c.target.rate);
        Decoded before = filled(s, c.target.fill);
        HostSession::Result r = s.run(with_names(c.request, name, s.buffer));
        EXPECT_TRUE(has_line(r.console, "vorlo~: error: " + with_names(c.error, name, s.buffer)))
            << joined(r.console);
        EXPECT_EQ(r.outlets, std::vector<std::string>{s.id + " 2: bang"}) << joined(r.console);
        EXPECT_TRUE(host_buffer_messages(s.buffer).empty()) << joined(host_buffer_messages(s.buffer));
        EXPECT_EQ(r.buffer.frames(), before.frames());
        EXPECT_EQ(r.buffer.channels, before.channels);
        EXPECT_EQ(r.buffer.rate, before.rate);
        EXPECT_TRUE(r.buffer.samples == before.samples) << "the target's samples changed";
        if (!name.empty()) {
            EXPECT_TRUE(buffer_contents(name).samples == source.samples) << "the source changed";
        }
    }
    EXPECT_EQ(host_alive_count(), alive);
}

INSTANTIATE_TEST_SUITE_P(Failures, SourceErrors, ::testing::ValuesIn(kErrors),
                         [](const ::testing::TestParamInfo<SourceError> &info) { return std::string(info.param.name); });

// An offset that rounds to the target's last frame leaves no room behind it: the load ends
// at once with the done bang, sends no list and writes nothing.
TEST(SourceEdges, OffsetRoundedToTheTargetEndWritesNothing)
{
    start_vorlo();
    long alive = host_alive_count();
    {
        std::string name = make_source({22050, 1, 44100});
        HostSession s("", 44100, 1, 44100);
        Decoded before = filled(s, "ramp");
        HostSession::Result r = s.run("import buffer=" + name + " 0 sec 0 sec 999.99 ms");
        EXPECT_EQ(r.outlets, std::vector<std::string>{s.id + " 1: bang"}) << joined(r.console);
        EXPECT_TRUE(r.buffer.samples == before.samples) << "the target's samples changed";
    }
    EXPECT_EQ(host_alive_count(), alive);
}

// A break from the list, while 60 s at 48 kHz are resampled into a 44.1 kHz target: the
// load ends with the done bang, what was written stays (the first frames of the whole
// import, as they would have been) and the rest of the target is as it was.
TEST(SourceEdges, BreakFromTheListKeepsWhatWasWritten)
{
    start_vorlo();
    long alive = host_alive_count();
    {
        std::string name = make_source({60 * 48000, 1, 48000});
        Decoded source = buffer_contents(name);
        HostSession s("", 60 * 44100, 1, 44100);
        Decoded before = filled(s, "value -1");
        run_line("once " + s.id + " 0 " + s.id + " break");
        HostSession::Result r = s.run("import buffer=" + name);
        std::vector<std::string> outlets = {list_line(s, source, 60, 0, name), s.id + " 1: bang"};
        EXPECT_EQ(r.outlets, outlets) << joined(r.console);

        const std::vector<float> &got = r.buffer.samples;
        long written = 0;
        while (written < (long)got.size() && got[written] != -1.0f)
            written++;
        ASSERT_GT(written, 0);
        ASSERT_LT(written, (long)got.size()) << "the import ended before the break";
        std::vector<float> rest(got.size() - written, -1.0f);
        EXPECT_EQ(first_difference(got, rest, written, kExact), "");

        // The frames written need the source only a little beyond the frames they stand for.
        Decoded head = source;
        head.samples.resize((size_t)(written * 48000 / 44100 + kSilence));
        Decoded reference = ffmpeg_converted(section_of(head, 0, kSilence), 44100, 0);
        ASSERT_GE(reference.frames(), written);
        reference.samples.resize(written);
        EXPECT_EQ(first_difference(got, reference.samples, 0, kExact), "");
    }
    EXPECT_EQ(host_alive_count(), alive);
}

} // namespace

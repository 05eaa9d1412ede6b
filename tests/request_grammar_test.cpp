// The grammar of the four load messages: what each request reports, whether it starts a
// load, and what the request does to a buffer~: the section it loads, where an import puts
// it, which channels it fills. A source /nx/... does not exist, so a load of it ends at once
// with the error bang; a request refused before any load gives no bang at all.
#include "buffer_checks.h"
#include "fixtures.h"
#include "headless_host.h"

#include <gtest/gtest.h>

#include <math.h>

#include <algorithm>
#include <optional>

namespace {

const char *const kBadUnit3 = "vorlo~: error: arg 3 is not a valid unit (sec, ms or pct)";
const char *const kRouteError = "vorlo~: error: missing or uneven route list, you need pairs of numbers "
                                "[in_channel, out_channel, in_channel, out_channel, ...]";

// What a load of the fixture leaves in buffer~ `buffer`: its size afterwards, and the
// reference from `start` (seconds) on, from the buffer's frame `offset` on, through the feeds
// (of the ffmpeg program's mix to `mixdown` channels when that is not 0). An import keeps what
// the buffer held elsewhere, a replace has silence there.
struct Lands {
    const char *buffer;
    int channels;
    long frames;
    double start;
    long offset;
    std::vector<Feed> feeds;
    int mixdown = 0;
    float tolerance = kExact;
};

struct GrammarCase {
    const char *name;
    std::vector<std::string> setup;    // after "buffer~ snd 100 2" and "new v vorlo~ snd @debug 1"
    std::string message;               // PATH stands for the fixture's path
    const char *fixture;               // or null
    std::vector<std::string> console;  // what the request itself reports, in order
    std::vector<std::string> outlets;  // all of them; none: no load started
    std::optional<Lands> lands;
    bool releases = false;  // the request leaves no more host objects alive than before it
};

void PrintTo(const GrammarCase &c, std::ostream *os)
{
    *os << c.message;
}

std::string started(const std::string &source)
{
    return "vorlo~: ----- start decoding " + source;
}

// A load of a source that does not exist.
const std::vector<std::string> kFailed = {"v 2: bang"};
const std::vector<std::string> kRefused = {};

// The list and the done bang of a load of ch3.wav, ch2.wav or ch6.wav: their length, the
// section and its start in ms.
std::vector<std::string> loaded(const std::string &fixture, const std::string &times)
{
    std::string properties = fixture == "ch3.wav"   ? "3 " + times + " \"FL FR LFE\""
                             : fixture == "ch2.wav" ? "2 " + times + " unspecified"
                                                    : "6 " + times + " \"FL FR FC LFE BL BR\"";
    return {"v 0: 44100. " + properties + " pcm_s16le PATH", "v 1: bang"};
}

const std::vector<Feed> kThree = each_to_itself(3);

std::string route_of(const std::string &pair, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += " " + pair;
    return text;
}

const std::vector<GrammarCase> &grammar_cases()
{
    static const std::vector<std::string> whole3 = loaded("ch3.wav", "2000. 0.");
    static const std::vector<GrammarCase> cases = {
        {"NoArguments", {}, "v replace", nullptr, {"vorlo~: error: arguments: filepath (needed), ...see helpfile"},
         kRefused, {}},
        {"BadStartUnit", {}, "v replace /nx/a.wav 5 s", nullptr, {kBadUnit3}, kRefused, {}},
        {"NumberAsStartUnit", {}, "v replace /nx/a.wav 5 6", nullptr, {kBadUnit3}, kRefused, {}},
        {"UnitTestedBeforeValue", {}, "v replace /nx/a.wav abc s", nullptr, {kBadUnit3}, kRefused, {}},
        {"BufpctAsStartUnit", {}, "v import /nx/a.wav 5 bufpct", nullptr, {kBadUnit3}, kRefused, {}},
        {"StartValueIsASymbol", {}, "v replace PATH abc ms", "ch3.wav",
         {"vorlo~: warning: arg 2 is not a number", started("PATH")}, whole3, Lands{"snd", 3, 88200, 0, 0, kThree}},
        {"BufpctOutsideImport", {}, "v importreplace /nx/a.wav 0 sec 5 bufpct", nullptr,
         {"vorlo~: error: unit name \"bufpct\" can only be used with \"import\" message"}, kRefused, {}},
        {"BadLengthUnit", {}, "v replace /nx/a.wav 1 sec 2 min", nullptr,
         {"vorlo~: error: arg 5 is not a valid unit (sec, ms or pct)"}, kRefused, {}},
        {"LengthValueIsASymbol", {}, "v import PATH 1.5 ms x bufpct", "ch3.wav",
         {"vorlo~: warning: arg 4 is not a number", started("PATH")}, loaded("ch3.wav", "1998.5 1.5"),
         Lands{"snd", 2, 100, 0.0015, 0, each_to_itself(2)}},
        {"BadOffsetUnit", {}, "v import /nx/a.wav 0 sec 0 sec 1 bufpct", nullptr,
         {"vorlo~: error: arg 7 is not a valid unit (sec, ms or pct)"}, kRefused, {}},
        {"OffsetValueIsASymbol", {}, "v import PATH 0 sec 0 sec y pct", "ch3.wav",
         {"vorlo~: warning: arg 6 is not a number", started("PATH")}, whole3,
         Lands{"snd", 2, 100, 0, 0, each_to_itself(2)}},
        {"AllThreePositions", {}, "v import PATH 1 sec 250 ms 50 pct", "ch3.wav", {started("PATH")},
         loaded("ch3.wav", "250. 1000."), Lands{"snd", 2, 100, 1, 50, each_to_itself(2)}},
        {"OffsetOnlyForImport", {"v import /nx/a.wav 0 sec 0 sec 3 sec"}, "v importreplace PATH 1 sec 500 ms",
         "ch3.wav", {started("PATH")}, loaded("ch3.wav", "500. 1000."), Lands{"snd", 3, 22050, 1, 0, kThree}},
        {"ValueWithoutUnitIgnored", {}, "v replace PATH 5", "ch3.wav", {started("PATH")}, whole3,
         Lands{"snd", 3, 88200, 0, 0, kThree}},
        {"MonoAsArgument2IsAValue", {}, "v replace PATH mono", "ch3.wav", {started("PATH")}, whole3,
         Lands{"snd", 3, 88200, 0, 0, kThree}},
        {"NegativeStart", {}, "v replace /nx/a.wav -1 sec", nullptr,
         {"vorlo~: error: arg 2 must be a finite number not below 0"}, kRefused, {}},
        {"NegativeLength", {}, "v importreplace /nx/a.wav 0 sec -0.5 ms", nullptr,
         {"vorlo~: error: arg 4 must be a finite number not below 0"}, kRefused, {}},
        {"NegativeOffset", {}, "v import /nx/a.wav 0 sec 0 sec -2 pct", nullptr,
         {"vorlo~: error: arg 6 must be a finite number not below 0"}, kRefused, {}},

        {"BufferSourceWithReplace", {}, "v replace buffer=snd", nullptr,
         {"vorlo~: error: You can only set a buffer name as source for the \"importreplace\" and \"import\" "
          "messages"},
         kRefused, {}},
        {"BufferSourceWithInfo", {}, "v info buffer=snd", nullptr,
         {"vorlo~: error: You can only set a buffer name as source for the \"importreplace\" and \"import\" "
          "messages"},
         kRefused, {}},
        {"BufferSourceWithImport", {}, "v import buffer=nosuch", nullptr,
         {started("buffer=nosuch"), "vorlo~: import from source buffer: nosuch",
          "vorlo~: error: the source buffer~ does not exist: nosuch"},
         kFailed, {}},
        {"DictWithoutName", {}, "v replace dict=", nullptr, {"vorlo~: error: no dictname found after dict="}, kRefused,
         {}},
        {"DictNotRegistered", {}, "v replace dict=nodict", nullptr, {"vorlo~: error: dict not found"}, kRefused, {}},
        {"DictWithoutFilename", {"dict dnofile filepath /nx/"}, "v replace dict=dnofile", nullptr,
         {"vorlo~: error: error getting filename from dict "}, kRefused, {}},
        {"DictWithoutFilepath", {"dict dnopath filename a.wav"}, "v replace dict=dnopath", nullptr,
         {"vorlo~: error: error getting filepath from dict "}, kRefused, {}},
        {"DictPathJoined", {"dict dgood filename a.wav filepath /nx/dir/"}, "v replace dict=dgood", nullptr,
         {"vorlo~: got filename from dict: /nx/dir/a.wav", started("/nx/dir/a.wav")}, kFailed, {}},
        {"DictPathWithoutSeparator", {"dict drun filename a.wav filepath /nx/dir"}, "v info dict=drun", nullptr,
         {"vorlo~: got filename from dict: /nx/dira.wav", started("/nx/dira.wav")}, kFailed, {}},
        {"DictFailureStopsBeforeTarget", {"free v", "new v vorlo~ nosuch"}, "v replace dict=nodict", nullptr,
         {"vorlo~: error: dict not found"}, kRefused, {}},

        {"MissingTarget", {"free v", "new v vorlo~ nosuch @debug 1"}, "v replace /nx/a.wav", nullptr,
         {"vorlo~: error: the target buffer~ does not exist: nosuch"}, kRefused, {}},
        {"MissingTargetFreesDictPath", {"free v", "new v vorlo~ nosuch", "dict dmiss filename a filepath /nx/"},
         "v replace dict=dmiss", nullptr, {"vorlo~: error: the target buffer~ does not exist: nosuch"}, kRefused, {},
         true},
        {"NoBufferNameSet", {"free v", "new v vorlo~ @debug 1"}, "v replace /nx/a.wav", nullptr,
         {"vorlo~: error: the target buffer~ does not exist: no buffer~ name has been set"}, kRefused, {}},
        {"SetNumberGivesNoName", {"v set 5"}, "v replace /nx/a.wav", nullptr,
         {"vorlo~: error: the target buffer~ does not exist: no buffer~ name has been set"}, kRefused, {}},
        {"InfoNeedsNoTarget", {"free v", "new v vorlo~ nosuch @debug 1"}, "v info PATH", "ch3.wav",
         {started("PATH")}, {whole3[0]}, {}},
        {"ImportIntoEmptyBuffer", {"buffer~ empty 0 1", "v set empty"}, "v import /nx/a.wav", nullptr,
         {"vorlo~: error: You can not import into a buffer with size 0"}, kRefused, {}},
        {"ReplaceIntoEmptyBuffer", {"buffer~ empty 0 1", "v set empty"}, "v replace PATH", "ch3.wav",
         {started("PATH")}, whole3, Lands{"empty", 3, 88200, 0, 0, kThree}},
        {"SetThenRequest", {"buffer~ other 33 3 22050", "v set other"}, "v replace PATH", "ch3.wav",
         {started("PATH")}, whole3, Lands{"other", 3, 88200, 0, 0, kThree}},

        {"UnknownOptionAt6", {}, "v replace /nx/a.wav 0 sec 0 sec MONO", nullptr,
         {"vorlo~: error: unknown argument 6"}, kRefused, {}},
        {"NumberAsOptionAt6", {}, "v importreplace /nx/a.wav 0 sec 0 sec 1", nullptr,
         {"vorlo~: error: unknown argument 6"}, kRefused, {}},
        {"UnknownOptionAt8", {}, "v import /nx/a.wav 0 sec 0 sec 0 sec Mono", nullptr,
         {"vorlo~: error: unknown argument 8"}, kRefused, {}},
        {"OddRouteList", {}, "v import /nx/a.wav 0 sec 0 sec 0 sec route 0 1 1", nullptr, {kRouteError}, kRefused, {}},
        {"EmptyRouteList", {}, "v replace /nx/a.wav 0 sec 0 sec route", nullptr, {kRouteError}, kRefused, {}},

        {"ReplaceMono", {}, "v replace PATH 0 sec 0 sec mono", "ch3.wav", {started("PATH")}, whole3,
         Lands{"snd", 1, 88200, 0, 0, {{0, {0, 1, 2}}}, 0, kRounding}},
        {"ImportMonoT", {"buffer~ snd 100 4", "fill snd ramp"}, "v import PATH 0 sec 0 sec 0 sec mono 3", "ch3.wav",
         {started("PATH")}, whole3, Lands{"snd", 4, 100, 0, 0, {{3, {0, 1, 2}}}, 0, kRounding}},
        {"Replace2chan", {}, "v replace PATH 0 sec 0 sec 2chan", "ch3.wav", {started("PATH")}, whole3,
         Lands{"snd", 2, 88200, 0, 0, each_to_itself(2)}},
        {"Import2chanTruncatesT", {"buffer~ snd 100 4", "fill snd ramp"}, "v import PATH 0 sec 0 sec 0 sec 2chan 2.7",
         "ch3.wav", {started("PATH")}, whole3, Lands{"snd", 4, 100, 0, 0, {{2, {0}}, {3, {1}}}}},
        {"ReplaceSMonoTakesNoT", {}, "v replace PATH 0 sec 0 sec s_mono 4", "ch2.wav", {started("PATH")},
         loaded("ch2.wav", "2000. 0."), Lands{"snd", 1, 88200, 0, 0, {{0, {0}}}, 1, kRounding}},
        {"ReplaceSStereo", {}, "v importreplace PATH 0 sec 0 sec s_stereo", "ch6.wav", {started("PATH")},
         loaded("ch6.wav", "2000. 0."), Lands{"snd", 2, 88200, 0, 0, each_to_itself(2), 2, kRounding}},
        {"ImportSMonoT", {}, "v import PATH 0 sec 0 sec 0 sec s_mono 1", "ch2.wav", {started("PATH")},
         loaded("ch2.wav", "2000. 0."), Lands{"snd", 2, 100, 0, 0, {{1, {0}}}, 1, kRounding}},
        {"ImportSStereoT", {"buffer~ snd 100 7", "fill snd ramp"}, "v import PATH 0 sec 0 sec 0 sec s_stereo 5.9",
         "ch6.wav", {started("PATH")}, loaded("ch6.wav", "2000. 0."),
         Lands{"snd", 7, 100, 0, 0, {{5, {0}}, {6, {1}}}, 2, kRounding}},
        {"ImportRouteSwap", {}, "v import PATH 0 sec 0 sec 0 sec route 0 1 1 0", "ch3.wav", {started("PATH")}, whole3,
         Lands{"snd", 2, 100, 0, 0, {{0, {1}}, {1, {0}}}}},
        {"ReplaceRouteKeepsNumbersAsGiven", {}, "v replace PATH 0 sec 0 sec route -1 0 2.5 7 -4 1", "ch3.wav",
         {started("PATH")}, whole3, Lands{"snd", 8, 88200, 0, 0, {{7, {2}}}}},
        // The pairs after the 256th are not read: the 257th would give a second channel.
        {"RouteCapAt512Numbers", {}, "v replace PATH 0 sec 0 sec route" + route_of("-1 0", 256) + " 1 1", "ch2.wav",
         {started("PATH")}, loaded("ch2.wav", "2000. 0."), Lands{"snd", 1, 88200, 0, 0, {}}},
        {"ImportWithoutOptionIsIdentity", {"v replace PATH 0 sec 0 sec mono"}, "v import PATH", "ch3.wav",
         {started("PATH")}, whole3, Lands{"snd", 1, 88200, 0, 0, {{0, {0}}}}},
        {"ReplaceWithoutOptionKeepsOldList", {"v replace /nx/a.wav 0 sec 0 sec route 3 4"}, "v replace PATH",
         "ch3.wav", {started("PATH")}, whole3, Lands{"snd", 3, 88200, 0, 0, kThree}},
        // info reads no positions: its list shows the start of the request before it.
        {"InfoKeepsPreviousRequest", {"v import /nx/a.wav 1 sec 20 bufpct 2 ms s_stereo 1"}, "v info PATH 9 sec",
         "ch3.wav", {started("PATH")}, {loaded("ch3.wav", "2000. 1000.")[0]}, Lands{"snd", 2, 100, 0, 0, {}}},

        {"TrackNegative", {}, "v import /nx/a.wav 0 sec 0 sec 0 sec mono -1", nullptr,
         {"vorlo~: error: arg 9 must be a channel number from 0 to 126"}, kRefused, {}},
        {"TrackAbove126", {}, "v import /nx/a.wav 0 sec 0 sec 0 sec s_mono 127", nullptr,
         {"vorlo~: error: arg 9 must be a channel number from 0 to 126"}, kRefused, {}},
        // T = 126 is taken; the load then refuses to mix into 127 channels, more than 64.
        {"TrackAt126", {"buffer~ snd 100 127"}, "v import PATH 0 sec 0 sec 0 sec mono 126", "ch2.wav",
         {started("PATH")}, kFailed, Lands{"snd", 127, 100, 0, 0, {}}},
        {"TrackAt63", {"buffer~ snd 100 64", "fill snd ramp"}, "v import PATH 0 sec 0 sec 0 sec mono 63", "ch2.wav",
         {started("PATH")}, loaded("ch2.wav", "2000. 0."), Lands{"snd", 64, 100, 0, 0, {{63, {0, 1}}}, 0, kRounding}},
        {"TwoChanPastChannel126", {}, "v import /nx/a.wav 0 sec 0 sec 0 sec 2chan 126", nullptr,
         {"vorlo~: error: route output channel 127 (arg 9) is out of range (0 to 126)"}, kRefused, {}},
        {"RouteOutputAbove126", {}, "v replace /nx/a.wav 0 sec 0 sec route 0 1 1 127", nullptr,
         {"vorlo~: error: route output channel 127 (arg 10) is out of range (0 to 126)"}, kRefused, {}},
    };
    return cases;
}

std::string with_path(std::string text, const std::string &path)
{
    for (size_t at = text.find("PATH"); at != std::string::npos; at = text.find("PATH", at + path.size()))
        text.replace(at, 4, path);
    return text;
}

std::vector<std::string> with_path(const std::vector<std::string> &lines, const std::string &path)
{
    std::vector<std::string> out;
    for (const std::string &line : lines)
        out.push_back(with_path(line, path));
    return out;
}

Decoded buffer_named(const std::string &name)
{
    Decoded d;
    long frames = 0, channels = 0;
    double rate = 0;
    EXPECT_TRUE(host_buffer_read(name, &frames, &channels, &rate, &d.samples)) << name;
    d.rate = (int)rate;
    d.channels = (int)channels;
    return d;
}

// The buffer~ holds what the request loaded, where it says; an import or info keeps the rest.
void expect_lands(const Lands &l, const std::string &path, const Decoded &before, bool replaces)
{
    Decoded buffer = buffer_named(l.buffer);
    Decoded reference = reference_decode(path, 0, 0, l.mixdown);
    ASSERT_EQ(buffer.rate, reference.rate);
    ASSERT_EQ(buffer.channels, l.channels);
    ASSERT_EQ(buffer.frames(), l.frames);
    long from = lround(l.start * reference.rate);
    long frames = std::min(l.frames - l.offset, reference.frames() - from);
    Decoded base = replaces ? silence(l.frames, l.channels, reference.rate) : before;
    expect_placed(buffer, base, reference, {from, l.offset, frames, l.feeds}, l.tolerance);
}

class Grammar : public ::testing::TestWithParam<GrammarCase> {
protected:
    void SetUp() override
    {
        start_vorlo();
        prepare_lines({"buffer~ snd 100 2", "fill snd ramp", "new v vorlo~ snd @debug 1"});
    }
    void TearDown() override
    {
        EXPECT_EQ(host_run_line("free v"), 0);
        EXPECT_EQ(host_alive_count(), 0);
    }
};

TEST_P(Grammar, ReportsStartsAndLoads)
{
    const GrammarCase &c = GetParam();
    std::string path = c.fixture ? fixture(c.fixture) : "";
    prepare_lines(with_path(c.setup, path));
    Decoded before = c.lands ? buffer_named(c.lands->buffer) : Decoded();
    long alive = host_alive_count();
    ASSERT_EQ(host_run_line(with_path(c.message, path)), 0);
    ASSERT_TRUE(host_wait(60));
    std::vector<std::string> console = host_take_console();
    std::vector<std::string> wanted = with_path(c.console, path);
    EXPECT_EQ(host_take_outlets(), with_path(c.outlets, path)) << joined(console);
    if (c.releases) {
        EXPECT_LE(host_alive_count(), alive);
    }
    if (c.outlets.empty()) {
        EXPECT_EQ(console, wanted);
    } else {
        // A started load adds its own lines after the request's.
        EXPECT_EQ(std::vector<std::string>(console.begin(), console.begin() + std::min(wanted.size(), console.size())),
                  wanted);
    }
    std::string selector = c.message.substr(2, c.message.find(' ', 2) - 2);
    if (c.lands)
        expect_lands(*c.lands, path, before, selector == "replace" || selector == "importreplace");
}

INSTANTIATE_TEST_SUITE_P(Messages, Grammar, ::testing::ValuesIn(grammar_cases()),
                         [](const ::testing::TestParamInfo<GrammarCase> &info) { return info.param.name; });

// Values that no script line can spell: infinities and NaN, given as float atoms.
struct NonFiniteCase {
    const char *name;
    const char *selector;
    std::vector<double> numbers;  // after the source; NaN and infinities where they matter
    std::vector<const char *> words;  // replaces numbers[i] by a word where non-null
    std::string error;
};

// Refused with the argument named, before any load: no bang.
TEST(GrammarNonFinite, RefusedWithTheArgumentNamed)
{
    start_vorlo();
    const double inf = INFINITY;
    const std::vector<NonFiniteCase> cases = {
        {"StartInfinite", "replace", {inf, 0}, {nullptr, "sec"}, "arg 2 must be a finite number not below 0"},
        {"LengthNaN", "importreplace", {0, 0, NAN, 0}, {nullptr, "sec", nullptr, "ms"},
         "arg 4 must be a finite number not below 0"},
        {"OffsetInfinite", "import", {0, 0, 0, 0, inf, 0}, {nullptr, "sec", nullptr, "sec", nullptr, "pct"},
         "arg 6 must be a finite number not below 0"},
        {"TrackNaN", "import", {0, 0, 0, 0, 0, 0, 0, NAN},
         {nullptr, "sec", nullptr, "sec", nullptr, "sec", "mono", nullptr},
         "arg 9 must be a channel number from 0 to 126"},
        {"RouteInputNaN", "replace", {0, 0, 0, 0, 0, NAN, 1}, {nullptr, "sec", nullptr, "sec", "route"},
         "arg 7 must be a finite number"},
        {"RouteOutputInfinite", "import", {0, 0, 0, 0, 0, 0, 0, 0, -inf},
         {nullptr, "sec", nullptr, "sec", nullptr, "sec", "route"}, "arg 10 must be a finite number"},
    };
    for (const NonFiniteCase &c : cases) {
        SCOPED_TRACE(c.name);
        prepare_lines({"buffer~ snd 100 2", "new v vorlo~ snd"});
        std::vector<t_atom> atoms(2 + c.numbers.size());
        atom_setsym(&atoms[0], gensym(c.selector));
        atom_setsym(&atoms[1], gensym("/nx/a.wav"));
        for (size_t i = 0; i < c.numbers.size(); ++i) {
            if (i < c.words.size() && c.words[i])
                atom_setsym(&atoms[i + 2], gensym(c.words[i]));
            else
                atom_setfloat(&atoms[i + 2], c.numbers[i]);
        }
        host_send(host_instance("v"), atoms);
        EXPECT_TRUE(host_wait(30));
        EXPECT_EQ(host_take_console(), std::vector<std::string>{"vorlo~: error: " + c.error});
        EXPECT_EQ(host_take_outlets(), std::vector<std::string>{});
        EXPECT_EQ(host_run_line("free v"), 0);
    }
}

}  // namespace

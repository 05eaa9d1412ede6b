// The grammar of the four load messages: what each request reports, whether it starts a
// loader, and the request fields it leaves. The sources are paths that do not exist, so a
// started loader ends at once without touching the request.
#include "shell_test_host.h"

#include <math.h>

#include <functional>

namespace {

const char *const kBadUnit3 = "vorlo~: error: arg 3 is not a valid unit (sec, ms or pct)";
const char *const kRouteError = "vorlo~: error: missing or uneven route list, you need pairs of numbers "
                                "[in_channel, out_channel, in_channel, out_channel, ...]";

struct GrammarCase {
    const char *name;
    std::vector<std::string> setup;    // after "buffer~ snd 100 2" and "new v vorlo~ snd @debug 1"
    std::string message;
    std::vector<std::string> console;  // what the request itself reports, in order
    bool starts;                       // a loader was started
    std::function<void(const t_vorlo *)> check;
};

void PrintTo(const GrammarCase &c, std::ostream *os)
{
    *os << c.message;
}

void routes_are(const t_vorlo *x, const std::vector<std::pair<double, double>> &pairs)
{
    for (int k = 0; k < VORLO_ROUTE_PAIRS; ++k) {
        double in = k < (int)pairs.size() ? pairs[k].first : (double)VORLO_ROUTE_EMPTY;
        double out = k < (int)pairs.size() ? pairs[k].second : (double)VORLO_ROUTE_EMPTY;
        ASSERT_EQ(x->routeList[k][0], in) << "pair " << k;
        ASSERT_EQ(x->routeList[k][1], out) << "pair " << k;
    }
}

void every_channel_to(const t_vorlo *x, int to)
{
    for (int c = 0; c < VORLO_ROUTE_PAIRS; ++c) {
        ASSERT_EQ(x->routeList[c][0], c) << "pair " << c;
        ASSERT_EQ(x->routeList[c][1], to < 0 ? c : to) << "pair " << c;
    }
}

void channels_are(const t_vorlo *x, int routeIsUsed, int twoChan, int requested, int startTrack)
{
    EXPECT_EQ(x->routeIsUsed, routeIsUsed);
    EXPECT_EQ(x->twoChan, twoChan);
    EXPECT_EQ(x->requestedChannels, requested);
    EXPECT_EQ(x->startTrack, startTrack);
}

std::string started(const std::string &source)
{
    return "vorlo~: ----- start decoding " + source;
}

std::string numbers(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += " " + std::to_string(i % 2 == 0 ? i / 2 : (i / 2) % 100);
    return text;
}

const std::vector<GrammarCase> &grammar_cases()
{
    static const std::vector<GrammarCase> cases = {
        {"NoArguments", {}, "v replace",
         {"vorlo~: error: arguments: filepath (needed), ...see helpfile"}, false, nullptr},
        {"BadStartUnit", {}, "v replace /nx/a.wav 5 s", {kBadUnit3}, false, nullptr},
        {"NumberAsStartUnit", {}, "v replace /nx/a.wav 5 6", {kBadUnit3}, false, nullptr},
        {"UnitTestedBeforeValue", {}, "v replace /nx/a.wav abc s", {kBadUnit3}, false, nullptr},
        {"BufpctAsStartUnit", {}, "v import /nx/a.wav 5 bufpct", {kBadUnit3}, false, nullptr},
        {"StartValueIsASymbol", {}, "v replace /nx/a.wav abc ms",
         {"vorlo~: warning: arg 2 is not a number", started("/nx/a.wav")}, true,
         [](const t_vorlo *x) {
             EXPECT_EQ(x->startPos, 0);
             EXPECT_EQ(x->startUnit, VORLO_UNIT_MS);
         }},
        {"BufpctOutsideImport", {}, "v importreplace /nx/a.wav 0 sec 5 bufpct",
         {"vorlo~: error: unit name \"bufpct\" can only be used with \"import\" message"}, false, nullptr},
        {"BadLengthUnit", {}, "v replace /nx/a.wav 1 sec 2 min",
         {"vorlo~: error: arg 5 is not a valid unit (sec, ms or pct)"}, false, nullptr},
        {"LengthValueIsASymbol", {}, "v import /nx/a.wav 1.5 ms x bufpct",
         {"vorlo~: warning: arg 4 is not a number", started("/nx/a.wav")}, true,
         [](const t_vorlo *x) {
             EXPECT_EQ(x->startPos, 1.5);
             EXPECT_EQ(x->startUnit, VORLO_UNIT_MS);
             EXPECT_EQ(x->length, 0);
             EXPECT_EQ(x->lengthUnit, VORLO_UNIT_BUFPCT);
         }},
        {"BadOffsetUnit", {}, "v import /nx/a.wav 0 sec 0 sec 1 bufpct",
         {"vorlo~: error: arg 7 is not a valid unit (sec, ms or pct)"}, false, nullptr},
        {"OffsetValueIsASymbol", {}, "v import /nx/a.wav 0 sec 0 sec y pct",
         {"vorlo~: warning: arg 6 is not a number", started("/nx/a.wav")}, true,
         [](const t_vorlo *x) {
             EXPECT_EQ(x->bufferOffset, 0);
             EXPECT_EQ(x->offsetUnit, VORLO_UNIT_PCT);
         }},
        {"AllThreePositions", {}, "v import /nx/a.wav 1 sec 250 ms 50 pct", {started("/nx/a.wav")}, true,
         [](const t_vorlo *x) {
             EXPECT_EQ(x->startPos, 1);
             EXPECT_EQ(x->startUnit, VORLO_UNIT_SEC);
             EXPECT_EQ(x->length, 250);
             EXPECT_EQ(x->lengthUnit, VORLO_UNIT_MS);
             EXPECT_EQ(x->bufferOffset, 50);
             EXPECT_EQ(x->offsetUnit, VORLO_UNIT_PCT);
             EXPECT_EQ(x->isImport, 1);
         }},
        {"OffsetOnlyForImport", {"v import /nx/a.wav 0 sec 0 sec 3 sec"}, "v importreplace /nx/a.wav 1 sec 2 sec",
         {started("/nx/a.wav")}, true,
         [](const t_vorlo *x) {
             EXPECT_EQ(x->bufferOffset, 0);
             EXPECT_EQ(x->isImportReplace, 1);
         }},
        {"ValueWithoutUnitIgnored", {}, "v replace /nx/a.wav 5", {started("/nx/a.wav")}, true,
         [](const t_vorlo *x) { EXPECT_EQ(x->startPos, 0); }},
        {"MonoAsArgument2IsAValue", {}, "v replace /nx/a.wav mono", {started("/nx/a.wav")}, true,
         [](const t_vorlo *x) { channels_are(x, 0, 0, 0, 0); }},
        {"NegativeStart", {}, "v replace /nx/a.wav -1 sec",
         {"vorlo~: error: arg 2 must be a finite number not below 0"}, false, nullptr},
        {"NegativeLength", {}, "v importreplace /nx/a.wav 0 sec -0.5 ms",
         {"vorlo~: error: arg 4 must be a finite number not below 0"}, false, nullptr},
        {"NegativeOffset", {}, "v import /nx/a.wav 0 sec 0 sec -2 pct",
         {"vorlo~: error: arg 6 must be a finite number not below 0"}, false, nullptr},

        {"BufferSourceWithReplace", {}, "v replace buffer=snd",
         {"vorlo~: error: You can only set a buffer name as source for the \"importreplace\" and \"import\" "
          "messages"},
         false, nullptr},
        {"BufferSourceWithInfo", {}, "v info buffer=snd",
         {"vorlo~: error: You can only set a buffer name as source for the \"importreplace\" and \"import\" "
          "messages"},
         false, nullptr},
        {"BufferSourceWithImport", {}, "v import buffer=nosuch", {started("buffer=nosuch")}, true,
         [](const t_vorlo *x) { EXPECT_EQ(x->sourceIsBuffer, 1); }},
        {"DictWithoutName", {}, "v replace dict=", {"vorlo~: error: no dictname found after dict="}, false,
         nullptr},
        {"DictNotRegistered", {}, "v replace dict=nodict", {"vorlo~: error: dict not found"}, false, nullptr},
        {"DictWithoutFilename", {"dict dnofile filepath /nx/"}, "v replace dict=dnofile",
         {"vorlo~: error: error getting filename from dict "}, false, nullptr},
        {"DictWithoutFilepath", {"dict dnopath filename a.wav"}, "v replace dict=dnopath",
         {"vorlo~: error: error getting filepath from dict "}, false, nullptr},
        {"DictPathJoined", {"dict dgood filename a.wav filepath /nx/dir/"}, "v replace dict=dgood",
         {"vorlo~: got filename from dict: /nx/dir/a.wav", started("/nx/dir/a.wav")}, true, nullptr},
        {"DictPathWithoutSeparator", {"dict drun filename a.wav filepath /nx/dir"}, "v info dict=drun",
         {"vorlo~: got filename from dict: /nx/dira.wav", started("/nx/dira.wav")}, true, nullptr},
        {"DictFailureStopsBeforeTarget", {"free v", "new v vorlo~ nosuch"}, "v replace dict=nodict",
         {"vorlo~: error: dict not found"}, false, nullptr},

        {"MissingTarget", {"free v", "new v vorlo~ nosuch @debug 1"}, "v replace /nx/a.wav",
         {"vorlo~: error: the target buffer~ does not exist: nosuch"}, false,
         [](const t_vorlo *x) {
             EXPECT_EQ(x->buffer_ref, nullptr);
             EXPECT_EQ(x->buffer_obj, nullptr);
         }},
        {"MissingTargetFreesDictPath", {"free v", "new v vorlo~ nosuch", "dict dmiss filename a filepath /nx/"},
         "v replace dict=dmiss", {"vorlo~: error: the target buffer~ does not exist: nosuch"}, false,
         [](const t_vorlo *x) { EXPECT_EQ(x->sourcePath, nullptr); }},
        {"NoBufferNameSet", {"free v", "new v vorlo~ @debug 1"}, "v replace /nx/a.wav",
         {"vorlo~: error: the target buffer~ does not exist: no buffer~ name has been set"}, false, nullptr},
        {"SetNumberGivesNoName", {"v set 5"}, "v replace /nx/a.wav",
         {"vorlo~: error: the target buffer~ does not exist: no buffer~ name has been set"}, false, nullptr},
        {"InfoNeedsNoTarget", {"free v", "new v vorlo~ nosuch @debug 1"}, "v info /nx/a.wav",
         {started("/nx/a.wav")}, true, [](const t_vorlo *x) { EXPECT_EQ(x->isInfo, 1); }},
        {"ImportIntoEmptyBuffer", {"buffer~ empty 0 1", "v set empty"}, "v import /nx/a.wav",
         {"vorlo~: error: You can not import into a buffer with size 0"}, false, nullptr},
        {"ReplaceIntoEmptyBuffer", {"buffer~ empty 0 1", "v set empty"}, "v replace /nx/a.wav",
         {started("/nx/a.wav")}, true, [](const t_vorlo *x) { EXPECT_EQ(x->targetFrames, 0); }},
        {"SetThenRequest", {"buffer~ other 33 3 22050", "v set other"}, "v replace /nx/a.wav",
         {started("/nx/a.wav")}, true,
         [](const t_vorlo *x) {
             EXPECT_EQ(x->targetFrames, 33);
             EXPECT_EQ(x->targetChannels, 3);
             EXPECT_EQ(x->targetSr, 22050);
             EXPECT_EQ(x->viewName, gensym("other"));
         }},

        {"UnknownOptionAt6", {}, "v replace /nx/a.wav 0 sec 0 sec MONO",
         {"vorlo~: error: unknown argument 6"}, false, nullptr},
        {"NumberAsOptionAt6", {}, "v importreplace /nx/a.wav 0 sec 0 sec 1",
         {"vorlo~: error: unknown argument 6"}, false, nullptr},
        {"UnknownOptionAt8", {}, "v import /nx/a.wav 0 sec 0 sec 0 sec Mono",
         {"vorlo~: error: unknown argument 8"}, false, nullptr},
        {"OddRouteList", {}, "v import /nx/a.wav 0 sec 0 sec 0 sec route 0 1 1", {kRouteError}, false, nullptr},
        {"EmptyRouteList", {}, "v replace /nx/a.wav 0 sec 0 sec route", {kRouteError}, false, nullptr},

        {"ReplaceMono", {}, "v replace /nx/a.wav 0 sec 0 sec mono", {started("/nx/a.wav")}, true,
         [](const t_vorlo *x) {
             channels_are(x, 1, 0, 0, 0);
             every_channel_to(x, 0);
         }},
        {"ImportMonoT", {}, "v import /nx/a.wav 0 sec 0 sec 0 sec mono 3", {started("/nx/a.wav")}, true,
         [](const t_vorlo *x) {
             channels_are(x, 1, 0, 0, 0);
             every_channel_to(x, 3);
         }},
        {"Replace2chan", {}, "v replace /nx/a.wav 0 sec 0 sec 2chan", {started("/nx/a.wav")}, true,
         [](const t_vorlo *x) {
             channels_are(x, 1, 1, 0, 0);
             routes_are(x, {{0, 0}, {1, 1}});
         }},
        {"Import2chanTruncatesT", {}, "v import /nx/a.wav 0 sec 0 sec 0 sec 2chan 2.7", {started("/nx/a.wav")},
         true,
         [](const t_vorlo *x) {
             channels_are(x, 1, 1, 0, 0);
             routes_are(x, {{0, 2}, {1, 3}});
         }},
        {"ReplaceSMonoTakesNoT", {}, "v replace /nx/a.wav 0 sec 0 sec s_mono 4", {started("/nx/a.wav")}, true,
         [](const t_vorlo *x) { channels_are(x, 0, 0, 1, 0); }},
        {"ReplaceSStereo", {}, "v importreplace /nx/a.wav 0 sec 0 sec s_stereo", {started("/nx/a.wav")}, true,
         [](const t_vorlo *x) { channels_are(x, 0, 0, 2, 0); }},
        {"ImportSMonoT", {}, "v import /nx/a.wav 0 sec 0 sec 0 sec s_mono 1", {started("/nx/a.wav")}, true,
         [](const t_vorlo *x) { channels_are(x, 0, 0, 1, 1); }},
        {"ImportSStereoT", {}, "v import /nx/a.wav 0 sec 0 sec 0 sec s_stereo 5.9", {started("/nx/a.wav")}, true,
         [](const t_vorlo *x) { channels_are(x, 0, 0, 2, 5); }},
        {"ImportRouteSwap", {}, "v import /nx/a.wav 0 sec 0 sec 0 sec route 0 1 1 0", {started("/nx/a.wav")}, true,
         [](const t_vorlo *x) {
             channels_are(x, 1, 0, 0, 0);
             routes_are(x, {{0, 1}, {1, 0}});
         }},
        {"ReplaceRouteKeepsNumbersAsGiven", {}, "v replace /nx/a.wav 0 sec 0 sec route -1 0 2.5 7 -4 1",
         {started("/nx/a.wav")}, true,
         [](const t_vorlo *x) { routes_are(x, {{-1, 0}, {2.5, 7}, {-4, 1}}); }},
        {"RouteCapAt512Numbers", {}, "v replace /nx/a.wav 0 sec 0 sec route" + numbers(514),
         {started("/nx/a.wav")}, true,
         [](const t_vorlo *x) {
             for (int k = 0; k < VORLO_ROUTE_PAIRS; ++k) {
                 ASSERT_EQ(x->routeList[k][0], k) << "pair " << k;
                 ASSERT_EQ(x->routeList[k][1], k % 100) << "pair " << k;
             }
         }},
        {"ImportWithoutOptionIsIdentity", {"v replace /nx/a.wav 0 sec 0 sec mono"}, "v import /nx/a.wav",
         {started("/nx/a.wav")}, true,
         [](const t_vorlo *x) {
             channels_are(x, 1, 0, 0, 0);
             every_channel_to(x, -1);
         }},
        {"ReplaceWithoutOptionKeepsOldList", {"v replace /nx/a.wav 0 sec 0 sec route 3 4"}, "v replace /nx/b.wav",
         {started("/nx/b.wav")}, true,
         [](const t_vorlo *x) {
             channels_are(x, 0, 0, 0, 0);
             routes_are(x, {{3, 4}});
         }},
        {"InfoKeepsPreviousRequest", {"v import /nx/a.wav 1 sec 20 bufpct 2 ms s_stereo 1"}, "v info /nx/b.wav 9 sec",
         {started("/nx/b.wav")}, true,
         [](const t_vorlo *x) {
             EXPECT_EQ(x->isInfo, 1);
             EXPECT_EQ(x->isImport, 0);
             EXPECT_EQ(x->startPos, 1);
             EXPECT_EQ(x->length, 20);
             EXPECT_EQ(x->lengthUnit, VORLO_UNIT_BUFPCT);
             EXPECT_EQ(x->bufferOffset, 2);
             EXPECT_EQ(x->offsetUnit, VORLO_UNIT_MS);
             EXPECT_EQ(x->targetFrames, 100);
             EXPECT_EQ(x->targetChannels, 2);
             EXPECT_EQ(x->targetSr, 44100);
             channels_are(x, 0, 0, 0, 0);
             EXPECT_EQ(x->sourceSym, gensym("/nx/b.wav"));
         }},

        {"TrackNegative", {}, "v import /nx/a.wav 0 sec 0 sec 0 sec mono -1",
         {"vorlo~: error: arg 9 must be a channel number from 0 to 126"}, false, nullptr},
        {"TrackAbove126", {}, "v import /nx/a.wav 0 sec 0 sec 0 sec s_mono 127",
         {"vorlo~: error: arg 9 must be a channel number from 0 to 126"}, false, nullptr},
        {"TrackAt126", {}, "v import /nx/a.wav 0 sec 0 sec 0 sec mono 126", {started("/nx/a.wav")}, true,
         [](const t_vorlo *x) { every_channel_to(x, 126); }},
        {"TwoChanPastChannel126", {}, "v import /nx/a.wav 0 sec 0 sec 0 sec 2chan 126",
         {"vorlo~: error: route output channel 127 (arg 9) is out of range (0 to 126)"}, false, nullptr},
        {"RouteOutputAbove126", {}, "v replace /nx/a.wav 0 sec 0 sec route 0 1 1 127",
         {"vorlo~: error: route output channel 127 (arg 10) is out of range (0 to 126)"}, false, nullptr},
    };
    return cases;
}

class Grammar : public ::testing::TestWithParam<GrammarCase> {
protected:
    void SetUp() override
    {
        start_vorlo();
        shell_prepare({"buffer~ snd 100 2", "new v vorlo~ snd @debug 1"});
    }
    void TearDown() override
    {
        shell_run("free v");
        EXPECT_EQ(host_alive_count(), 0);
    }
};

TEST_P(Grammar, ReportsAndFillsTheRequest)
{
    const GrammarCase &c = GetParam();
    shell_prepare(c.setup);
    shell_run(c.message);
    ASSERT_TRUE(host_wait(30));
    std::vector<std::string> console = host_take_console();
    host_take_outlets();
    t_vorlo *x = shell_instance();
    if (c.starts) {
        // A started loader may add its own lines after the request's.
        EXPECT_EQ(shell_head(console, c.console.size()), c.console);
        EXPECT_NE(x->loader_thread, nullptr);
    } else {
        EXPECT_EQ(console, c.console);
        EXPECT_EQ(x->loader_thread, nullptr);
    }
    if (c.check)
        c.check(x);
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
        shell_prepare({"buffer~ snd 100 2", "new v vorlo~ snd"});
        std::vector<t_atom> atoms(1 + c.numbers.size());
        atom_setsym(&atoms[0], gensym("/nx/a.wav"));
        for (size_t i = 0; i < c.numbers.size(); ++i) {
            if (i < c.words.size() && c.words[i])
                atom_setsym(&atoms[i + 1], gensym(c.words[i]));
            else
                atom_setfloat(&atoms[i + 1], c.numbers[i]);
        }
        t_vorlo *x = shell_instance();
        vorlo_doReplace(x, gensym(c.selector), (short)atoms.size(), atoms.data());
        EXPECT_EQ(host_take_console(), std::vector<std::string>{"vorlo~: error: " + c.error});
        EXPECT_EQ(x->loader_thread, nullptr);
        shell_run("free v");
    }
}

}  // namespace

// Route checking against the source and target, and the gain and fade values of an import.
#include "writer_test_frames.h"

#include <math.h>

namespace {

typedef std::vector<std::pair<double, double>> Pairs;

struct RoutingCase {
    const char *name;
    bool import;
    int sourceChannels;
    long targetChannels;
    bool twoChan;
    Pairs pairs;
    int requestedChannels;
    std::vector<int> list;  // import_output_channel_list before its first -10
    Pairs pairsAfter;       // the first pairs of routeList afterwards
};

Pairs identity(int n)
{
    Pairs p;
    for (int c = 0; c < n; c++)
        p.push_back({c, c});
    return p;
}

const double E = VORLO_ROUTE_EMPTY;

const RoutingCase kRouting[] = {
    {"swapped stereo", false, 2, 0, false, {{0, 1}, {1, 0}}, 2, {}, {{0, 1}, {1, 0}}},
    {"input beyond the source", false, 2, 0, false, {{2, 0}}, 1, {}, {{E, E}}},
    {"output beyond the target", true, 2, 2, false, {{0, 1}, {1, 3}}, 2, {1}, {{0, 1}, {E, E}}},
    {"one output twice", true, 2, 2, false, {{0, 1}, {1, 1}}, 2, {1}, {{0, 1}, {1, 1}}},
    {"identity of 6 into 2", true, 6, 2, false, identity(VORLO_ROUTE_PAIRS), 2, {0, 1}, {{0, 0}, {1, 1}, {E, E}}},
    {"2chan of a mono source", false, 1, 0, true, {{0, 0}, {1, 1}}, 2, {}, {{0, 0}, {0, 1}}},
    {"2chan of a stereo source", false, 2, 0, true, {{0, 0}, {1, 1}}, 2, {}, {{0, 0}, {1, 1}}},
    {"silent input keeps its output", true, 2, 4, false, {{-1, 2}, {0, 0}}, 3, {2, 0}, {{-1, 2}, {0, 0}}},
    {"negative inputs other than -1", false, 2, 0, false, {{-3, 0}, {-0.5, 1}}, 2, {}, {{E, E}, {-0.5, 1}}},
    {"negative output", true, 2, 4, false, {{0, -2}, {1, 1}}, 2, {1}, {{E, E}, {1, 1}}},
    {"output beyond 8 bits", false, 2, 0, false, {{0, 127}, {1, 126}}, 127, {}, {{E, E}, {1, 126}}},
    {"numbers truncated", true, 3, 4, false, {{2.9, 3.7}}, 4, {3}, {{2.9, 3.7}}},
    {"not a number", false, 2, 0, false, {{NAN, 0}, {0, NAN}, {1, 1}}, 2, {}, {{E, E}, {E, E}, {1, 1}}},
    {"nothing valid", false, 2, 0, false, {{5, 3}}, 1, {}, {{E, E}}},
};

TEST(Routing, ValidatesPairsAndDerivesTheChannelCount)
{
    for (const RoutingCase &c : kRouting) {
        SCOPED_TRACE(c.name);
        WriterRecord w;
        t_vorlo *x = w.x;
        w.context(AV_SAMPLE_FMT_FLT, c.sourceChannels);
        x->isImport = c.import;
        x->targetChannels = c.targetChannels;
        x->twoChan = c.twoChan;
        w.route(c.pairs);
        for (int k = 0; k < VORLO_ROUTE_PAIRS; k++)
            x->import_output_channel_list[k] = 77;  // left from an earlier load
        vorlo_validateRouting(x);
        EXPECT_EQ(x->requestedChannels, c.requestedChannels);
        for (size_t k = 0; k < c.pairsAfter.size(); k++) {
            EXPECT_TRUE(x->routeList[k][0] == c.pairsAfter[k].first || (isnan(x->routeList[k][0]) && isnan(c.pairsAfter[k].first))) << "pair " << k;
            EXPECT_EQ(x->routeList[k][1], c.pairsAfter[k].second) << "pair " << k;
        }
        if (!c.import)
            continue;
        std::vector<int> list;
        for (int k = 0; k < VORLO_ROUTE_PAIRS && x->import_output_channel_list[k] != VORLO_ROUTE_EMPTY; k++)
            list.push_back(x->import_output_channel_list[k]);
        EXPECT_EQ(list, c.list);
    }
}

TEST(Routing, WithoutARouteNothingChanges)
{
    WriterRecord w;
    w.context(AV_SAMPLE_FMT_FLT, 2);
    w.x->isImport = 1;
    w.x->requestedChannels = 2;
    w.x->routeList[0][0] = 5;
    w.x->routeList[0][1] = 7;
    w.x->import_output_channel_list[0] = 4;
    vorlo_validateRouting(w.x);
    EXPECT_EQ(w.x->requestedChannels, 2);
    EXPECT_EQ(w.x->routeList[0][0], 5);
    EXPECT_EQ(w.x->routeList[0][1], 7);
    EXPECT_EQ(w.x->import_output_channel_list[0], 4);
}

TEST(Routing, DebugPrintsTheImportListOnOneLine)
{
    WriterRecord w;
    w.context(AV_SAMPLE_FMT_FLT, 2);
    w.x->isImport = 1;
    w.x->targetChannels = 4;
    w.x->attrs.debug = 1;
    w.route({{0, 3}, {1, 1}});
    vorlo_validateRouting(w.x);
    std::vector<std::string> console = take_console();
    EXPECT_EQ(console, std::vector<std::string>{"vorlo~: import_output_channel_list: 3 1 "});
}

TEST(Routing, AFullImportListStillEndsItsLine)
{
    WriterRecord w;
    w.context(AV_SAMPLE_FMT_FLT, 1);
    w.x->isImport = 1;
    w.x->targetChannels = 127;
    w.x->attrs.debug = 1;
    Pairs pairs;
    for (int k = 0; k < VORLO_ROUTE_PAIRS; k++)
        pairs.push_back({0, k % 127});
    w.route(pairs);
    vorlo_validateRouting(w.x);
    w.x->attrs.debug = 0;
    object_post(&w.x->ob, "next");
    std::vector<std::string> console = take_console();
    ASSERT_EQ(console.size(), 2u) << joined(console);
    EXPECT_EQ(console[1], "vorlo~: next");
}

struct ImportCase {
    const char *name;
    double seconds;
    int rate;
    int channels;
    float fadein, fadeout, gain;
    char debug;
    float fadeinAfter, fadeoutAfter;
    vorlo_count fadeinSamples, fadeoutSamples, fadeoutStart;
    std::vector<std::string> warnings;
};

const ImportCase kImports[] = {
    {"fade-out longer than the import", 2.0, 44100, 2, 0, 5000, 0, 1, 0, 2000, 0, 176400, 0,
     {"vorlo~: warning: Your fade-OUT (5000.000000 ms) is shortened as it is longer than imported length (2000.000000 ms)"}},
    {"fade-in longer than the import, quietly", 0.5, 48000, 1, 800, 0, 0, 0, 500, 0, 24000, 0, 0, {}},
    {"overlapping fades", 1.5, 44100, 2, 1000, 1000, 0, 1, 1000, 1000, 88200, 88200, 132300 - 88200,
     {"vorlo~: warning: Your fade-IN and fade-OUT overlap!"}},
    {"fade-in of 10 ms", 1.0, 44100, 2, 10, 0, 0, 1, 10, 0, 882, 0, 0, {}},
};

TEST(ImportShaping, FadesAreShortenedAndCounted)
{
    for (const ImportCase &c : kImports) {
        SCOPED_TRACE(c.name);
        WriterRecord w;
        t_vorlo *x = w.x;
        x->length = c.seconds;
        x->resultSampleRate = c.rate;
        x->resultChannels = c.channels;
        x->attrs.fadein = c.fadein;
        x->attrs.fadeout = c.fadeout;
        x->attrs.debug = c.debug;
        vorlo_prepareImport(x);
        EXPECT_EQ(x->shortenedFadein >= 0 ? x->shortenedFadein : x->attrs.fadein, c.fadeinAfter);
        EXPECT_EQ(x->shortenedFadeout >= 0 ? x->shortenedFadeout : x->attrs.fadeout, c.fadeoutAfter);
        if (c.fadeinAfter != 0) {
            EXPECT_EQ(x->fadeinSamples, c.fadeinSamples);
            EXPECT_EQ(x->fadeinStep, (float)(1.0 / c.fadeinSamples));
        }
        if (c.fadeoutAfter != 0) {
            EXPECT_EQ(x->fadeoutSamples, c.fadeoutSamples);
            EXPECT_EQ(x->fadeoutStart, c.fadeoutStart);
            EXPECT_EQ(x->fadeoutStep, (float)(1.0 / c.fadeoutSamples));
        }
        EXPECT_EQ(take_console(), c.warnings);
    }
}

} // namespace

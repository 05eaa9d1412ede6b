// The frame writer: conversion of every sample format, planar and packed layouts, the
// bounds rule, and the placement and shaping of an import.
#include "writer_test_frames.h"

#include <math.h>
#include <stdint.h>

namespace {

const float kUntouched = 9.0f;

struct ConversionCase {
    const char *name;
    AVSampleFormat format;
    std::vector<double> raw;  // three sample frames of two channels, interleaved
    std::vector<float> expected;
};

const std::vector<double> kU8 = {127, 0, 255, 128, 1, 254};
const std::vector<float> kU8Float = {0.0f, -1.0f, 128.0f / 127.0f, 1.0f / 127.0f, -126.0f / 127.0f, 1.0f};
const std::vector<double> kS16 = {0, -32768, 32767, 1, -1, 16384};
const std::vector<float> kS16Float = {0.0f, -32768.0f / 32767.0f, 1.0f, 1.0f / 32767.0f, -1.0f / 32767.0f,
                                      16384.0f / 32767.0f};
const std::vector<double> kS32 = {0, INT32_MIN, INT32_MAX, 1, -1, 1 << 30};
const std::vector<float> kS32Float = {0.0f, -1.0f, 1.0f, 1.0f / 2147483648.0f, -1.0f / 2147483648.0f, 0.5f};
// Powers of two, which a double holds exactly.
const std::vector<double> kS64 = {0, -9223372036854775808.0, 4611686018427387904.0, 1, -1, 2305843009213693952.0};
const std::vector<float> kS64Float = {0.0f, -1.0f, 0.5f, 1.0f / 9223372036854775808.0f, -1.0f / 9223372036854775808.0f,
                                      0.25f};
const std::vector<double> kFlt = {0.25, -0.5, 1.5, -2.0, 0.0, 1e-3};
const std::vector<float> kFltFloat = {0.25f, -0.5f, 1.5f, -2.0f, 0.0f, 1e-3f};
const std::vector<double> kDbl = {0.1, -0.3, 1e-10, 3.5, -1.0, 2.0 / 3.0};
const std::vector<float> kDblFloat = {(float)0.1, (float)-0.3, (float)1e-10, 3.5f, -1.0f, (float)(2.0 / 3.0)};

const ConversionCase kConversions[] = {
    {"u8", AV_SAMPLE_FMT_U8, kU8, kU8Float},       {"u8p", AV_SAMPLE_FMT_U8P, kU8, kU8Float},
    {"s16", AV_SAMPLE_FMT_S16, kS16, kS16Float},   {"s16p", AV_SAMPLE_FMT_S16P, kS16, kS16Float},
    {"s32", AV_SAMPLE_FMT_S32, kS32, kS32Float},   {"s32p", AV_SAMPLE_FMT_S32P, kS32, kS32Float},
    {"s64", AV_SAMPLE_FMT_S64, kS64, kS64Float},   {"s64p", AV_SAMPLE_FMT_S64P, kS64, kS64Float},
    {"flt", AV_SAMPLE_FMT_FLT, kFlt, kFltFloat},   {"fltp", AV_SAMPLE_FMT_FLTP, kFlt, kFltFloat},
    {"dbl", AV_SAMPLE_FMT_DBL, kDbl, kDblFloat},   {"dblp", AV_SAMPLE_FMT_DBLP, kDbl, kDblFloat},
};

TEST(FrameWriter, ConvertsEverySampleFormatIntoInterleavedRows)
{
    for (const ConversionCase &c : kConversions) {
        SCOPED_TRACE(c.name);
        WriterRecord w(8, kUntouched);
        AVFrame *frame = make_frame(c.format, 2, c.raw);
        vorlo_handleFrame(w.x, w.context(c.format, 2), frame);
        av_frame_free(&frame);
        for (size_t k = 0; k < c.expected.size(); k++)
            EXPECT_EQ(w.target[k], c.expected[k]) << "sample " << k;
        EXPECT_EQ(w.target[6], kUntouched);
        EXPECT_EQ(w.target[7], kUntouched);
        EXPECT_EQ(w.x->index, 6);
    }
}

struct UnreadableCase {
    const char *name;
    AVSampleFormat contextFormat;
    AVSampleFormat frameFormat;
    vorlo_count limit;
    const char *message;
    size_t messages;
};

// The context decides the format; a format or size the writer cannot read stores silence
// and is reported once a load however many frames reach it.
const UnreadableCase kUnreadable[] = {
    {"no format", AV_SAMPLE_FMT_NONE, AV_SAMPLE_FMT_FLT, 8, "error: vorlo~ Invalid sample size 0.", 1},
    {"no format, limited", AV_SAMPLE_FMT_NONE, AV_SAMPLE_FMT_FLT, 4, "error: vorlo~ Invalid sample size 0.", 1},
    {"unknown format", AV_SAMPLE_FMT_NB, AV_SAMPLE_FMT_FLT, 8, "error: vorlo~ Invalid sample size 0.", 1},
};

TEST(FrameWriter, UnreadableSamplesAreSilenceWithOneMessage)
{
    for (const UnreadableCase &c : kUnreadable) {
        SCOPED_TRACE(c.name);
        WriterRecord w(8, kUntouched);
        w.x->indexLimit = c.limit;
        for (int f = 0; f < 2; f++) {
            AVFrame *frame = make_frame(c.frameFormat, 2, {1, 2});
            vorlo_handleFrame(w.x, w.context(c.contextFormat, 2), frame);
            av_frame_free(&frame);
        }
        std::vector<std::string> console = take_console();
        EXPECT_EQ(count_lines(console, c.message), c.messages) << joined(console);
        EXPECT_EQ(console.size(), c.messages) << joined(console);
        for (vorlo_count k = 0; k < 8; k++)
            EXPECT_EQ(w.target[k], k < c.limit && k < 4 ? 0.0f : kUntouched) << "sample " << k;
        EXPECT_EQ(w.x->index, 4);
    }
}

TEST(FrameWriter, ReplaceModeContinuesWhereThePreviousFrameEnded)
{
    WriterRecord w(12, kUntouched);
    w.context(AV_SAMPLE_FMT_FLTP, 2);
    for (int f = 0; f < 2; f++) {
        AVFrame *frame = make_frame(AV_SAMPLE_FMT_FLTP, 2, {f + 0.1, f + 0.2, f + 0.3, f + 0.4, f + 0.5, f + 0.6});
        vorlo_handleFrame(w.x, w.ctx, frame);
        av_frame_free(&frame);
    }
    std::vector<float> expected = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 1.1f, 1.2f, 1.3f, 1.4f, 1.5f, 1.6f};
    EXPECT_EQ(w.target, expected);
    EXPECT_EQ(w.x->index, 12);
}

struct BoundsCase {
    const char *name;
    vorlo_count index;
    vorlo_count limit;
    std::vector<float> expected;  // the 8 target samples afterwards
    vorlo_count indexAfter;
};

// Positions before 0 and from indexLimit on are dropped, but index counts every sample.
const BoundsCase kBounds[] = {
    {"pre-roll", -2, 8, {3, 4, 5, 6, 9, 9, 9, 9}, 4},
    {"limit inside the frame", 0, 5, {1, 2, 3, 4, 5, 9, 9, 9}, 6},
    {"limit near the end", 6, 8, {9, 9, 9, 9, 9, 9, 1, 2}, 12},
    {"all past the limit", 8, 8, {9, 9, 9, 9, 9, 9, 9, 9}, 14},
};

TEST(FrameWriter, ReplaceModeBounds)
{
    for (const BoundsCase &c : kBounds) {
        SCOPED_TRACE(c.name);
        WriterRecord w(8, kUntouched);
        w.x->index = c.index;
        w.x->indexLimit = c.limit;
        AVFrame *frame = make_float_frame(2, 3, [](int s, int ch) { return 1 + 2 * s + ch; });
        vorlo_handleFrame(w.x, w.context(AV_SAMPLE_FMT_FLT, 2), frame);
        av_frame_free(&frame);
        EXPECT_EQ(w.target, c.expected);
        EXPECT_EQ(w.x->index, c.indexAfter);
    }
}

TEST(FrameWriter, EmptyFramesChangeNothing)
{
    WriterRecord w(4, kUntouched);
    w.context(AV_SAMPLE_FMT_FLT, 2);
    AVFrame *frame = make_float_frame(2, 2, [](int, int) { return 1.0; });
    frame->nb_samples = 0;
    vorlo_handleFrame(w.x, w.ctx, frame);
    av_frame_free(&frame);
    EXPECT_EQ(w.target, std::vector<float>(4, kUntouched));
    EXPECT_EQ(w.x->index, 0);
}

// An import into a 2-channel target of 5 rows, the region starting at row 2.
struct ImportCase {
    const char *name;
    char mix;
    float before;
    double value;
    float after;  // in the region; the rest keeps `before`
};

const ImportCase kImports[] = {
    {"overwrite", 0, 0.5f, 0.25, 0.25f},
    {"mix", 1, 0.5f, 0.25, 0.75f},
    {"mix of silence", 1, 0.5f, 0.0, 0.5f},
    {"overwrite with silence", 0, 0.5f, 0.0, 0.0f},
};

TEST(FrameWriter, ImportWritesAtTheOffsetOverwritingOrMixing)
{
    for (const ImportCase &c : kImports) {
        SCOPED_TRACE(c.name);
        WriterRecord w(10, c.before);
        w.x->isImport = 1;
        w.x->attrs.import_mix = c.mix;
        vorlo_prepareImport(w.x);
        w.x->resultChannels = 2;
        w.x->writeOffset = 4;
        w.x->indexLimit = 6;
        AVFrame *frame = make_float_frame(2, 2, [&](int, int) { return c.value; });
        vorlo_handleFrame(w.x, w.context(AV_SAMPLE_FMT_FLT, 2), frame);
        av_frame_free(&frame);
        std::vector<float> expected = {c.before, c.before, c.before, c.before, c.after,
                                       c.after,  c.after,  c.after,  c.before, c.before};
        EXPECT_EQ(w.target, expected);
        EXPECT_EQ(w.x->index, 4);
    }
}

TEST(FrameWriter, ImportGainAppliesOnlyWhenTheAttributeIsSet)
{
    struct {
        float gain;
        float expected;
    } cases[] = {{-6.0f, 0.501187f}, {0.0f, 1.0f}, {20.0f, 10.0f}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.gain);
        WriterRecord w(2);
        w.x->isImport = 1;
        w.x->resultChannels = 2;
        w.x->length = 1.0;
        w.x->attrs.import_gain = c.gain;
        w.x->gainFactor = 7.0f;  // left from an earlier load
        vorlo_prepareImport(w.x);
        AVFrame *frame = make_float_frame(2, 1, [](int, int) { return 1.0; });
        vorlo_handleFrame(w.x, w.context(AV_SAMPLE_FMT_FLT, 2), frame);
        av_frame_free(&frame);
        EXPECT_NEAR(w.target[0], c.expected, 1e-5);
        EXPECT_EQ(w.target[1], w.target[0]);
    }
}

// One second at 44100 Hz into two channels, fade-in 10 ms, fade-out 100 ms.
TEST(FrameWriter, ImportFadesFollowIndexAndRowStart)
{
    WriterRecord w(88200);
    t_vorlo *x = w.x;
    x->isImport = 1;
    x->resultChannels = 2;
    x->resultSampleRate = 44100;
    x->length = 1.0;
    x->attrs.fadein = 10.0f;
    x->attrs.fadeout = 100.0f;
    vorlo_prepareImport(x);
    ASSERT_EQ(x->fadeinSamples, 882);
    ASSERT_EQ(x->importSamples, 88200);
    ASSERT_EQ(x->fadeoutStart, 79380);
    w.context(AV_SAMPLE_FMT_FLT, 2);
    for (int block = 0; block < 10; block++) {
        AVFrame *frame = make_float_frame(2, 4410, [](int, int) { return 1.0; });
        vorlo_handleFrame(x, w.ctx, frame);
        av_frame_free(&frame);
    }
    EXPECT_EQ(x->index, 88200);
    const float in = (float)(1.0 / 882);
    const float out = (float)(1.0 / 8820);
    EXPECT_EQ(w.target[0], 0.0f);
    EXPECT_EQ(w.target[1], in);
    EXPECT_EQ(w.target[881], 881.0f * in);
    EXPECT_EQ(w.target[882], 1.0f);
    EXPECT_EQ(w.target[40000], 1.0f);
    EXPECT_EQ(w.target[79380], 1.0f);
    EXPECT_EQ(w.target[79381], 1.0f);
    EXPECT_EQ(w.target[79382], 1.0f - 2.0f * out);
    EXPECT_EQ(w.target[79383], 1.0f - 2.0f * out);
    EXPECT_EQ(w.target[88198], 1.0f - 8818.0f * out);
    EXPECT_EQ(w.target[88199], 1.0f - 8818.0f * out);
    EXPECT_NEAR(w.target[88199], 2.0 / 8820, 1e-6);
    EXPECT_EQ(x->fadeoutPos, 88198 - 79380);
}

TEST(FrameWriter, FadeinExponentZeroLeavesSamplesWhole)
{
    WriterRecord w(4);
    w.x->isImport = 1;
    w.x->resultChannels = 2;
    w.x->resultSampleRate = 44100;
    w.x->length = 1.0;
    w.x->attrs.fadein = 10.0f;
    w.x->attrs.fadein_exp = 0.0f;
    vorlo_prepareImport(w.x);
    AVFrame *frame = make_float_frame(2, 2, [](int, int) { return 0.5; });
    vorlo_handleFrame(w.x, w.context(AV_SAMPLE_FMT_FLT, 2), frame);
    av_frame_free(&frame);
    EXPECT_EQ(w.target, std::vector<float>(4, 0.5f));
}

// A frame narrower than the target's rows lands from startTrack on; channels that would
// fall outside a row are dropped rather than written into the next row.
struct TrackCase {
    const char *name;
    int frameChannels;
    int32_t startTrack;
    std::vector<float> expected;  // two rows of four channels
};

const TrackCase kTracks[] = {
    {"mono at track 2", 1, 2, {9, 9, 1, 9, 9, 9, 2, 9}},
    {"stereo at track 0", 2, 0, {1, 2, 9, 9, 3, 4, 9, 9}},
    {"stereo at track 2", 2, 2, {9, 9, 1, 2, 9, 9, 3, 4}},
    {"stereo at track 3", 2, 3, {9, 9, 9, 1, 9, 9, 9, 3}},
    {"stereo at track -1", 2, -1, {2, 9, 9, 9, 4, 9, 9, 9}},
};

TEST(FrameWriter, ImportPlacesNarrowFramesFromStartTrack)
{
    for (const TrackCase &c : kTracks) {
        SCOPED_TRACE(c.name);
        WriterRecord w(8, kUntouched);
        w.x->isImport = 1;
        w.x->resultChannels = 4;
        w.x->startTrack = c.startTrack;
        AVFrame *frame = make_float_frame(c.frameChannels, 2, [&](int s, int ch) { return 1 + s * c.frameChannels + ch; });
        vorlo_handleFrame(w.x, w.context(AV_SAMPLE_FMT_FLT, c.frameChannels), frame);
        av_frame_free(&frame);
        EXPECT_EQ(w.target, c.expected);
        EXPECT_EQ(w.x->index, 8);
    }
}

TEST(FrameWriter, ImportWritesOnlyTheRoutesTargetChannels)
{
    WriterRecord w(8, kUntouched);
    t_vorlo *x = w.x;
    x->isImport = 1;
    x->resultChannels = 4;
    x->routeIsUsed = 1;
    for (int k = 0; k < VORLO_ROUTE_PAIRS; k++)
        x->import_output_channel_list[k] = VORLO_ROUTE_EMPTY;
    x->import_output_channel_list[0] = 3;
    x->import_output_channel_list[1] = 1;
    AVFrame *frame = make_float_frame(4, 2, [](int s, int ch) { return 1 + 4 * s + ch; });
    vorlo_handleFrame(x, w.context(AV_SAMPLE_FMT_FLT, 4), frame);
    av_frame_free(&frame);
    EXPECT_EQ(w.target, (std::vector<float>{9, 2, 9, 4, 9, 6, 9, 8}));
    EXPECT_EQ(x->index, 8);
}

TEST(FrameWriter, ImportBoundsAreRelativeToTheOffset)
{
    WriterRecord w(10, kUntouched);
    t_vorlo *x = w.x;
    x->isImport = 1;
    x->resultChannels = 2;
    x->writeOffset = 2;
    x->index = -2;   // one row of pre-roll
    x->indexLimit = 4;
    AVFrame *frame = make_float_frame(2, 4, [](int s, int ch) { return 1 + 2 * s + ch; });
    vorlo_handleFrame(x, w.context(AV_SAMPLE_FMT_FLT, 2), frame);
    av_frame_free(&frame);
    EXPECT_EQ(w.target, (std::vector<float>{9, 9, 3, 4, 5, 6, 9, 9, 9, 9}));
    EXPECT_EQ(x->index, 6);
}

struct SeamCase {
    const char *name;
    vorlo_count seamStart;
    std::vector<float> before;      // the target's content: four sample frames of two channels
    vorlo_count agreedFrom;         // where the samples written began to agree with those they replaced
};

// Over a seam the writer notes where the samples it writes began to agree with the ones
// they overwrite; before the seam, and without one, it notes nothing.
TEST(FrameWriter, SeamNotesWhereTheWrittenSamplesAgreeWithTheOverwritten)
{
    const std::vector<double> written = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8};
    const std::vector<float> same(written.begin(), written.end());
    std::vector<float> offAt3 = same;
    offAt3[3] += 0.01f;
    std::vector<float> offAt5 = same;
    offAt5[5] -= 2e-4f;
    std::vector<float> nearlyAll = same;
    for (float &v : nearlyAll)
        v += 5e-5f;
    const SeamCase cases[] = {
        {"agrees throughout", 0, same, 0},
        {"differs at 3", 0, offAt3, 4},
        {"differs just past the tolerance", 0, offAt5, 6},
        {"within the tolerance", 0, nearlyAll, 0},
        {"difference before the seam", 4, offAt3, 4},
        {"no seam", VORLO_NO_SEAM, offAt3, VORLO_NO_SEAM},
    };
    for (const SeamCase &c : cases) {
        SCOPED_TRACE(c.name);
        WriterRecord w(8);
        w.target = c.before;
        w.x->targetSamples = w.target.data();
        vorlo_watchSeam(w.x, c.seamStart, 1e-4f);
        AVFrame *frame = make_frame(AV_SAMPLE_FMT_FLT, 2, written);
        vorlo_handleFrame(w.x, w.context(AV_SAMPLE_FMT_FLT, 2), frame);
        av_frame_free(&frame);
        EXPECT_EQ(w.x->seamAgreedFrom, c.agreedFrom);
        EXPECT_EQ(w.target, same);
    }
}

} // namespace

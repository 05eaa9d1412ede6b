// The frame writer's results, sample for sample: every 16-bit and 8-bit value and every
// 24-bit value of a 32-bit sample converts to the correctly rounded quotient, in every
// layout and mode; and rows written whole agree with the writer's rules taken one sample
// at a time, wherever the bounds and fades fall inside a frame.
#include "writer_test_frames.h"

#include <math.h>
#include <stdint.h>
#include <string.h>

namespace {

bool same_bits(float a, float b) { return memcmp(&a, &b, sizeof a) == 0; }

// The quotients exactly as the writer's rules state them: a division in single precision.
float quotient(AVSampleFormat format, int64_t raw)
{
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8: return (float)(raw - 127) / 127.0f;
    case AV_SAMPLE_FMT_S16: return (float)raw / (float)INT16_MAX;
    default: return (float)raw / (float)INT32_MAX;
    }
}

struct ExactCase {
    const char *name;
    AVSampleFormat format;
    int channels;
    bool import;
    vorlo_count index;  // a negative start sends the first row through the edge path
};

const ExactCase kExact[] = {
    {"s16 stereo", AV_SAMPLE_FMT_S16, 2, false, 0},     {"s16p stereo", AV_SAMPLE_FMT_S16P, 2, false, 0},
    {"s16p 3 channels", AV_SAMPLE_FMT_S16P, 3, false, -1}, {"s16p mono", AV_SAMPLE_FMT_S16P, 1, false, 0},
    {"s16 import", AV_SAMPLE_FMT_S16, 2, true, -2},     {"s16p import", AV_SAMPLE_FMT_S16P, 2, true, 0},
    {"u8 stereo", AV_SAMPLE_FMT_U8, 2, false, 0},       {"u8p stereo", AV_SAMPLE_FMT_U8P, 2, false, -2},
};

// Every value of the format, in order, then padded with the smallest to fill whole rows.
std::vector<double> every_value(AVSampleFormat format, int channels)
{
    int bits = av_get_bytes_per_sample(format) * 8;
    int64_t low = bits == 8 ? 0 : -(INT64_C(1) << (bits - 1));
    std::vector<double> values;
    for (int64_t v = low; v < low + (INT64_C(1) << bits); v++)
        values.push_back((double)v);
    while (values.size() % channels)
        values.push_back((double)low);
    return values;
}

TEST(ExactConversion, EverySmallIntegerGivesTheCorrectlyRoundedQuotient)
{
    for (const ExactCase &c : kExact) {
        SCOPED_TRACE(c.name);
        std::vector<double> values = every_value(c.format, c.channels);
        WriterRecord w(values.size());
        w.x->isImport = c.import;
        w.x->resultChannels = c.channels;
        w.x->index = c.index;
        AVFrame *frame = make_frame(c.format, c.channels, values);
        vorlo_handleFrame(w.x, w.context(c.format, c.channels), frame);
        av_frame_free(&frame);
        size_t wrong = 0, skipped = (size_t)(-c.index);
        for (size_t k = 0; k + skipped < values.size(); k++) {
            float want = quotient(c.format, (int64_t)values[k + skipped]);
            if (!same_bits(w.target[k], want) && wrong++ < 5)
                ADD_FAILURE() << "value " << values[k + skipped] << ": " << w.target[k] << " instead of " << want;
        }
        EXPECT_EQ(wrong, 0u);
    }
}

// 24-bit samples arrive as 32-bit ones with the low byte clear: all of them, and the ends.
TEST(ExactConversion, Every24BitValueInA32BitSampleGivesTheCorrectlyRoundedQuotient)
{
    const int kBlock = 1 << 20;
    WriterRecord w(kBlock);
    w.context(AV_SAMPLE_FMT_S32, 2);
    size_t wrong = 0;
    for (int64_t first = -(INT64_C(1) << 23); first < (INT64_C(1) << 23) + kBlock; first += kBlock) {
        std::vector<double> values;
        for (int64_t v = first; v < first + kBlock; v++)
            values.push_back(v < (INT64_C(1) << 23) ? (double)(v * 256) : (double)(INT32_MAX - (v - (INT64_C(1) << 23))));
        AVFrame *frame = make_frame(AV_SAMPLE_FMT_S32, 2, values);
        w.x->index = 0;
        vorlo_handleFrame(w.x, w.ctx, frame);
        av_frame_free(&frame);
        for (int k = 0; k < kBlock; k++)
            wrong += !same_bits(w.target[k], quotient(AV_SAMPLE_FMT_S32, (int64_t)values[k]));
    }
    EXPECT_EQ(wrong, 0u);
}

// The writer's rules, one sample at a time, for frames of float samples that fill whole rows.
struct Model {
    bool import, mix;
    vorlo_count index, limit;
    float gain = 1.0f;
    vorlo_count fadeinEnd = 0, fadeoutStart = -1;  // 0: no fade-in; -1: no fade-out
    float fadeinStep = 0.0f, fadeoutStep = 0.0f, fadeinExp = 1.0f, fadeoutExp = 1.0f;

    void write(std::vector<float> &target, const std::vector<float> &rows, int channels)
    {
        for (size_t s = 0; s < rows.size() / channels; s++) {
            float fadeout = 1.0f;
            if (import && fadeoutStart >= 0 && index - fadeoutStart > 0)
                fadeout = powf(1.0f - (float)(index - fadeoutStart) * fadeoutStep, fadeoutExp);
            for (int c = 0; c < channels; c++, index++) {
                if (index < 0 || index >= limit)
                    continue;
                float value = rows[s * channels + c];
                if (import) {
                    value = value * gain * fadeout;
                    if (index < fadeinEnd)
                        value *= powf((float)index * fadeinStep, fadeinExp);
                    if (mix)
                        value += target[index];
                }
                target[index] = value;
            }
        }
    }
};

struct SplitCase {
    const char *name;
    AVSampleFormat format;
    int channels;
    int frameRows;
    Model model;
};

// A target of 600 samples and 1000 rows of input in frames of frameRows rows.
const SplitCase kSplits[] = {
    {"replace, pre-roll and limit inside frames", AV_SAMPLE_FMT_FLTP, 2, 64, {false, false, -37 * 2, 555}},
    {"replace, packed, 3 channels", AV_SAMPLE_FMT_FLT, 3, 50, {false, false, -3 * 7, 600}},
    {"replace, planar, 5 channels, odd limit", AV_SAMPLE_FMT_FLTP, 5, 33, {false, false, 0, 599}},
    {"import, gain and fades inside frames", AV_SAMPLE_FMT_FLTP, 2, 64,
     {true, false, 0, 600, 0.5f, 101, 401, 1.0f / 101, 1.0f / 199, 1.0f, 2.0f}},
    {"import mixed, pre-roll and limit", AV_SAMPLE_FMT_FLT, 2, 40,
     {true, true, -6, 560, 1.25f, 17, 499, 1.0f / 17, 1.0f / 61, 0.5f, 1.0f}},
    {"import mixed, no fades, 4 channels", AV_SAMPLE_FMT_FLTP, 4, 16, {true, true, 0, 600, 2.0f}},
};

TEST(ExactConversion, WholeRowsAgreeWithTheRulesSampleBySample)
{
    for (const SplitCase &c : kSplits) {
        SCOPED_TRACE(c.name);
        std::vector<float> input;
        for (int k = 0; k < 1000 * c.channels; k++)
            input.push_back((float)sin(k * 0.37) * 0.9f);
        WriterRecord w(600);
        for (size_t k = 0; k < w.target.size(); k++)
            w.target[k] = (float)k / 1000.0f;
        std::vector<float> expected = w.target;
        Model model = c.model;
        model.write(expected, input, c.channels);

        t_vorlo *x = w.x;
        x->isImport = c.model.import;
        x->resultChannels = c.channels;
        x->index = c.model.index;
        x->indexLimit = c.model.limit;
        x->shapeMix = c.model.mix;
        x->shapeGain = c.model.gain;
        x->shapeFadein = c.model.fadeinEnd > 0;
        x->fadeinSamples = c.model.fadeinEnd;
        x->fadeinStep = c.model.fadeinStep;
        x->shapeFadeinExp = c.model.fadeinExp;
        x->shapeFadeout = c.model.fadeoutStart >= 0;
        x->fadeoutStart = c.model.fadeoutStart;
        x->fadeoutStep = c.model.fadeoutStep;
        x->shapeFadeoutExp = c.model.fadeoutExp;
        w.context(c.format, c.channels);
        for (int row = 0; row < 1000; row += c.frameRows) {
            int rows = 1000 - row < c.frameRows ? 1000 - row : c.frameRows;
            std::vector<double> part(input.begin() + row * c.channels, input.begin() + (row + rows) * c.channels);
            AVFrame *frame = make_frame(c.format, c.channels, part);
            vorlo_handleFrame(x, w.ctx, frame);
            av_frame_free(&frame);
        }
        EXPECT_EQ(x->index, c.model.index + 1000 * c.channels);
        for (size_t k = 0; k < expected.size(); k++)
            ASSERT_TRUE(same_bits(w.target[k], expected[k]))
                << "sample " << k << ": " << w.target[k] << " instead of " << expected[k];
    }
}

} // namespace

#include "import_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

std::string shape_attributes(const ImportShape &shape)
{
    std::ostringstream words;
    words << "@import_mix " << (shape.mix ? 1 : 0) << " @import_gain " << shape.gain << " @fadein " << shape.fadein
          << " @fadein_exp " << shape.fadeinExp << " @fadeout " << shape.fadeout << " @fadeout_exp "
          << shape.fadeoutExp;
    return words.str();
}

ImportShape shortened(ImportShape shape, double length)
{
    if (shape.fadeout / 1000.0 > length)
        shape.fadeout = (float)(length * 1000);
    if (shape.fadein / 1000.0 > length)
        shape.fadein = (float)(length * 1000);
    return shape;
}

Incoming routed(const Decoded &reference, long from, const std::vector<std::pair<int, int>> &pairs,
                int targetChannels)
{
    Incoming in;
    in.channels = targetChannels;
    in.written.assign(targetChannels, false);
    for (const auto &pair : pairs)
        in.written[pair.second] = true;
    for (long f = from; f < reference.frames(); f++)
        for (int out = 0; out < targetChannels; out++) {
            double sum = 0;
            int count = 0;
            for (const auto &pair : pairs)
                if (pair.second == out && pair.first >= 0) {
                    sum += reference.samples[f * reference.channels + pair.first];
                    count++;
                }
            in.samples.push_back(count ? (float)(sum / count) : 0.0f);
        }
    return in;
}

Incoming placed(const Decoded &mixdown, long from, int first, int targetChannels)
{
    Incoming in;
    in.channels = mixdown.channels;
    in.first = first;
    in.written.assign(targetChannels, false);
    for (int c = 0; c < mixdown.channels; c++)
        in.written[first + c] = true;
    in.samples.assign(mixdown.samples.begin() + from * mixdown.channels, mixdown.samples.end());
    return in;
}

ImportFactors import_factors(const ImportShape &shape, double length, int rate, int channels)
{
    ImportFactors f;
    if (shape.fadeout != 0) {
        long importSamples = (long)(length * rate * channels);
        long fadeoutSamples = (long)((shape.fadeout / 1000.0) * rate * channels);
        f.fadeoutStart = importSamples - fadeoutSamples;
        f.fadeoutStep = (float)(1.0 / fadeoutSamples);
    }
    if (shape.fadein != 0) {
        f.fadeinSamples = (long)(channels * (rate * (shape.fadein / 1000.0)));
        f.fadeinStep = (float)(1.0 / f.fadeinSamples);
    }
    if (shape.gain != 0)
        f.gainFactor = powf(10.0f, shape.gain / 20.0f);
    return f;
}

// One sample of the section, shaped: gain, then the fade-out by the row's start, then the
// fade-in by the sample's own position, all in single precision.
static float shaped(float v, const ImportShape &shape, const ImportFactors &f, long rowIndex, long index)
{
    if (shape.gain != 0)
        v *= f.gainFactor;
    long fadeoutPos = rowIndex - f.fadeoutStart;
    if (shape.fadeout != 0 && fadeoutPos > 0)
        v *= powf(1.0f - (float)fadeoutPos * f.fadeoutStep, shape.fadeoutExp);
    if (shape.fadein != 0 && index < f.fadeinSamples)
        v *= powf((float)index * f.fadeinStep, shape.fadeinExp);
    return v;
}

ImportResult import_model(const Decoded &before, const Incoming &in, long offsetFrame, double length,
                          const ImportShape &shape)
{
    long channels = before.channels;
    ImportFactors f = import_factors(shape, length, before.rate, (int)channels);
    long rows = std::min({(long)(before.rate * length + 0.5), before.frames() - offsetFrame, in.frames()});
    ImportResult result{before.samples, std::vector<bool>(before.samples.size(), false)};
    for (long r = 0; r < rows; r++)
        for (int j = 0; j < in.channels; j++) {
            int channel = in.first + j;
            if (!in.written[channel])
                continue;
            long index = r * channels + channel;
            long at = offsetFrame * channels + index;
            float v = shaped(in.samples[r * in.channels + j], shape, f, r * channels, index);
            result.samples[at] = shape.mix ? v + before.samples[at] : v;
            result.touched[at] = true;
        }
    return result;
}

static std::string sample_place(size_t at, int channels)
{
    return "frame " + std::to_string(at / channels) + " channel " + std::to_string(at % channels);
}

void expect_target(const Decoded &buffer, const ImportResult &expected, int channels, float tolerance)
{
    ASSERT_EQ(buffer.samples.size(), expected.samples.size());
    std::ostringstream differences;
    long wrong = 0;
    for (size_t i = 0; i < expected.samples.size(); i++) {
        float allowed = expected.touched[i] ? tolerance : 0.0f;
        if (std::fabs(buffer.samples[i] - expected.samples[i]) <= allowed)
            continue;
        if (wrong++ < 3)
            differences << sample_place(i, channels) << (expected.touched[i] ? " (written)" : " (kept)")
                        << ": got " << buffer.samples[i] << ", expected " << expected.samples[i] << "; ";
    }
    EXPECT_EQ(wrong, 0) << differences.str();
}

#include "buffer_checks.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

// Atom 3 of the list; NAN when no list went out.
double length_atom(const HostSession &s, const std::vector<std::string> &outlets)
{
    std::string head = s.id + " 0: ";
    for (const std::string &line : outlets) {
        if (line.compare(0, head.size(), head) != 0)
            continue;
        std::istringstream atoms(line.substr(head.size()));
        std::string rate, channels, length;
        if (atoms >> rate >> channels >> length)
            return strtod(length.c_str(), nullptr);
    }
    return NAN;
}

// What buffer channel `feed.channel` gets at reference frame `frame`.
float fed_value(const Decoded &reference, long frame, const Feed &feed)
{
    double sum = 0;
    for (int in : feed.inputs)
        sum += reference.samples[frame * reference.channels + in];
    return feed.inputs.empty() ? 0.0f : (float)(sum / feed.inputs.size());
}

// The frames of a fade of `ms`, or none when its exponent makes it flat (a ramp raised to
// the power 0 is 1 throughout).
long fade_frames(float ms, float exponent, int rate)
{
    return exponent == 0 ? 0 : lround(ms / 1000.0 * rate);
}

} // namespace

std::string case_name(std::string name)
{
    std::replace_if(name.begin(), name.end(), [](char c) { return !isalnum((unsigned char)c); }, '_');
    return name;
}

float tolerance_after_seek(const std::string &codec)
{
    const AVCodecDescriptor *descriptor = avcodec_descriptor_get_by_name(codec.c_str());
    return descriptor && (descriptor->props & AV_CODEC_PROP_LOSSLESS) ? kExact : kSettled;
}

void expect_span(const Decoded &buffer, const Decoded &reference, Span span, float tolerance)
{
    ASSERT_EQ(buffer.channels, reference.channels);
    ASSERT_GE(reference.frames(), span.referenceFrame + span.frames);
    long ch = reference.channels;
    std::vector<float> expected(reference.samples.begin() + span.referenceFrame * ch,
                                reference.samples.begin() + (span.referenceFrame + span.frames) * ch);
    EXPECT_EQ(first_difference(buffer.samples, expected, span.bufferFrame * ch, tolerance), "");
}

void expect_whole(const Decoded &buffer, const Decoded &reference, float tolerance)
{
    ASSERT_EQ(buffer.rate, reference.rate);
    EXPECT_EQ(buffer.frames(), reference.frames()) << "frames";
    expect_span(buffer, reference, {0, 0, std::min(buffer.frames(), reference.frames())}, tolerance);
}

void expect_done(const HostSession &s, const HostSession::Result &r)
{
    EXPECT_TRUE(has_line(r.outlets, s.id + " 1: bang")) << joined(r.outlets) << joined(r.console);
    EXPECT_FALSE(has_line(r.outlets, s.id + " 2: bang")) << joined(r.console);
}

bool lists_length(const HostSession &s, const HostSession::Result &r, long frames, int rate)
{
    return rate > 0 && std::fabs(length_atom(s, r.outlets) - frames * 1000.0 / rate) <= 250.0 / rate;
}

float worst_error(const Decoded &buffer, const Decoded &reference, Span span)
{
    long ch = reference.channels;
    if (buffer.channels != ch)
        return INFINITY;
    long frames = std::min({span.frames, buffer.frames() - span.bufferFrame, reference.frames() - span.referenceFrame});
    float worst = 0;
    const float *got = buffer.samples.data() + span.bufferFrame * ch;
    const float *expected = reference.samples.data() + span.referenceFrame * ch;
    for (long i = 0; i < frames * ch; i++) {
        float d = std::fabs(got[i] - expected[i]);
        worst = std::isnan(d) ? INFINITY : std::max(worst, d);
    }
    return worst;
}

std::vector<Feed> each_to_itself(int channels)
{
    std::vector<Feed> feeds;
    for (int c = 0; c < channels; c++)
        feeds.push_back({c, {c}});
    return feeds;
}

void expect_placed(const Decoded &buffer, const Decoded &before, const Decoded &reference, const Placement &p,
                   float tolerance)
{
    ASSERT_EQ(buffer.samples.size(), before.samples.size());
    ASSERT_EQ(buffer.channels, before.channels);
    ASSERT_GE(reference.frames(), p.from + p.frames) << "the reference is too short";
    long ch = buffer.channels;
    std::vector<const Feed *> feedOf(ch, nullptr);
    for (const Feed &f : p.feeds) {
        ASSERT_LT(f.channel, ch);
        feedOf[f.channel] = &f;
    }
    std::ostringstream differences;
    long wrong = 0;
    for (long frame = 0; frame < buffer.frames(); frame++)
        for (long c = 0; c < ch; c++) {
            long at = frame * ch + c;
            long row = frame - p.offset;
            bool written = feedOf[c] && row >= 0 && row < p.frames;
            float expected = before.samples[at];
            if (written) {
                float value = fed_value(reference, p.from + row, *feedOf[c]);
                expected = p.mix ? expected + value : value;
            }
            if (std::fabs(buffer.samples[at] - expected) <= (written ? tolerance : 0.0f))
                continue;
            if (wrong++ < 3)
                differences << "frame " << frame << " channel " << c << (written ? " (written)" : " (kept)")
                            << ": got " << buffer.samples[at] << ", expected " << expected << "; ";
        }
    EXPECT_EQ(wrong, 0) << differences.str();
}

std::string shape_attributes(const Shape &shape)
{
    std::ostringstream words;
    words << "@import_mix " << shape.mix << " @import_gain " << shape.gain << " @fadein " << shape.fadein
          << " @fadein_exp " << shape.fadeinExp << " @fadeout " << shape.fadeout << " @fadeout_exp "
          << shape.fadeoutExp;
    return words.str();
}

void expect_shaped(const Decoded &buffer, const Decoded &before, const Decoded &reference, const ShapedImport &import)
{
    const Shape &shape = import.shape;
    ASSERT_EQ(buffer.samples.size(), before.samples.size());
    ASSERT_EQ(buffer.channels, before.channels);
    int ch = buffer.channels;
    int rate = buffer.rate;
    long offset = import.offset;
    long length = lround(import.seconds * rate);
    long frames = std::min(length, buffer.frames() - offset);
    ASSERT_GE(reference.frames(), import.from + frames) << "the reference is too short";
    float ms = (float)(import.seconds * 1000);
    long in = fade_frames(std::min(shape.fadein, ms), shape.fadeinExp, rate);
    long out = fade_frames(std::min(shape.fadeout, ms), shape.fadeoutExp, rate);
    double gain = std::pow(10.0, shape.gain / 20.0);
    std::vector<const Feed *> feedOf(ch, nullptr);
    for (const Feed &f : import.feeds) {
        ASSERT_LT(f.channel, ch);
        feedOf[f.channel] = &f;
    }
    long wrong = 0;
    auto check = [&](bool ok, const char *what, long frame, int channel, double ratio) {
        if (!ok && wrong++ < 5)
            ADD_FAILURE() << what << " at frame " << frame << " of the import, channel " << channel << ": ratio "
                          << ratio << ", gain " << gain;
    };
    // The gain of frame k of the import, and how far rounding may move it: `summed` by the
    // mix's sum rounded to a float, `slack` by that and the products. Unknown where the feed
    // gave 0.
    struct Ratio {
        bool known;
        double value, summed, slack;
    };
    for (int channel = 0; channel < ch; channel++) {
        auto sample = [&](long k) { return (offset + k) * ch + channel; };
        auto added = [&](long k) {
            return (double)buffer.samples[sample(k)] - (shape.mix ? before.samples[sample(k)] : 0.0);
        };
        auto ratio = [&](long k) {
            double x = fed_value(reference, import.from + k, *feedOf[channel]);
            if (x == 0)
                return Ratio{false, NAN, 0, 0};
            double r = added(k) / x;
            double summed = shape.mix ? 2 * FLT_EPSILON * std::fabs(buffer.samples[sample(k)] / x) : 0;
            return Ratio{true, r, summed, summed + 2 * FLT_EPSILON * std::fabs(r)};
        };
        Ratio previous{false, NAN, 0, 0};
        for (long f = 0; f < buffer.frames(); f++) {
            long k = f - offset;
            long at = f * ch + channel;
            if (!feedOf[channel] || k < 0 || k >= frames) {
                check(buffer.samples[at] == before.samples[at], "a sample outside the import changed", k, channel,
                      NAN);
                continue;
            }
            Ratio r = ratio(k);
            if (!r.known)
                check(added(k) == 0, "a sample of silence added something", k, channel, NAN);
            else if (k < in || k > length - out)
                check(r.value < gain + r.summed, "no fade", k, channel, r.value);
            else
                check(std::fabs(r.value - gain) <= 1e-6 * gain + r.summed, "another gain", k, channel, r.value);
            bool both = r.known && previous.known;
            double moved = r.slack + previous.slack;
            if (both && k > 0 && k <= std::min(in, length - out))
                check(r.value >= previous.value - moved, "the fade-in falls", k, channel, r.value);
            if (both && k > std::max(in, length - out))
                check(r.value <= previous.value + moved, "the fade-out rises", k, channel, r.value);
            previous = r;
        }
        if (!feedOf[channel])
            continue;
        // The ramps' own points, where the feed gave something to measure them by.
        auto near = [&](long k, double wanted, double within, const char *what) {
            Ratio r = ratio(k);
            if (k < frames && r.known)
                check(std::fabs(r.value / gain - wanted) <= within + r.slack / gain, what, k, channel, r.value);
        };
        if (in > 0) {
            if (channel == 0)
                check(added(0) == 0, "a fade-in's first sample", 0, channel, added(0));
            else if (ratio(0).known)
                check(ratio(0).value <= gain * std::pow(1.0 / in, shape.fadeinExp) + ratio(0).slack,
                      "a fade-in's first sample", 0, channel, ratio(0).value);
            if (in / 2 <= length - out)
                near(in / 2, std::pow(0.5, shape.fadeinExp), 2.0 / in, "the fade-in's midpoint");
        }
        if (out > 0) {
            long last = length - 1;
            if (last < frames && ratio(last).known)
                check(ratio(last).value <= gain * std::pow(2.0 / out, shape.fadeoutExp) + ratio(last).slack,
                      "a fade-out's last sample", last, channel, ratio(last).value);
            if (length - out / 2 >= in)
                near(length - out / 2, std::pow(0.5, shape.fadeoutExp), 2.0 / out, "the fade-out's midpoint");
        }
        if (in > 0 && out > 0 && length - out < in) {
            long mid = (std::max(0L, length - out) + std::min(in, length)) / 2;
            double both = std::pow((double)mid / in, shape.fadeinExp) *
                          std::pow((double)(length - mid) / out, shape.fadeoutExp);
            near(mid, both, 2.0 / in + 2.0 / out, "the overlap's midpoint");
        }
    }
    EXPECT_EQ(wrong, 0);
}

Decoded silence(long frames, int channels, int rate)
{
    Decoded d;
    d.rate = rate;
    d.channels = channels;
    d.samples.assign((size_t)(frames * channels), 0.0f);
    return d;
}

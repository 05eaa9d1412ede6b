#include "buffer_checks.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
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
                double sum = 0;
                for (int in : feedOf[c]->inputs)
                    sum += reference.samples[(p.from + row) * reference.channels + in];
                float value = feedOf[c]->inputs.empty() ? 0.0f : (float)(sum / feedOf[c]->inputs.size());
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

Decoded silence(long frames, int channels, int rate)
{
    Decoded d;
    d.rate = rate;
    d.channels = channels;
    d.samples.assign((size_t)(frames * channels), 0.0f);
    return d;
}

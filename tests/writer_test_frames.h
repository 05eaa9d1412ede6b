// What the writer's tests share: a vorlo~ record of the in-process host on which the
// writer's functions are called directly, set up as a loader would leave it, and the
// codec contexts and frames that a decoder would hand over.
#ifndef WRITER_TEST_FRAMES_H
#define WRITER_TEST_FRAMES_H

#include "fixtures.h"
#include "headless_host.h"
#include "object_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// A record whose writer fields start at zero (exponents at 1), writing into `target`.
struct WriterRecord {
    HostSession session;
    t_vorlo *x;
    AVCodecContext *ctx = nullptr;
    std::vector<float> target;

    explicit WriterRecord(size_t targetSamples = 0, float fill = 0.0f)
        : x((t_vorlo *)host_instance(session.id)), target(targetSamples, fill)
    {
        x->targetSamples = target.data();
        x->index = 0;
        x->indexLimit = (vorlo_count)target.size();
        x->writeOffset = 0;
        x->isImport = 0;
        x->routeIsUsed = 0;
        x->twoChan = 0;
        x->startTrack = 0;
        x->requestedChannels = 0;
        x->attrs.resample = 0;
        x->attrs.import_mix = 0;
        x->attrs.import_gain = 0.0f;
        x->gainFactor = 0.0f;
        x->attrs.fadein = 0.0f;
        x->attrs.fadeout = 0.0f;
        x->attrs.fadein_exp = 1.0f;
        x->attrs.fadeout_exp = 1.0f;
        x->attrs.debug = 0;
        x->shortenedFadein = -1.0f;
        x->shortenedFadeout = -1.0f;
        x->writeFailed = 0;
        vorlo_watchSeam(x, VORLO_NO_SEAM, 0.0f);
        vorlo_prepareImport(x);  // an import with no shaping
        for (auto &pair : x->routeList)
            pair[0] = pair[1] = VORLO_ROUTE_EMPTY;
        take_console();
    }

    ~WriterRecord()
    {
        swr_free(&x->swrCtx);
        avcodec_free_context(&ctx);
        x->codecCtx = nullptr;
        x->targetSamples = nullptr;
    }

    void route(const std::vector<std::pair<double, double>> &pairs)
    {
        x->routeIsUsed = 1;
        for (size_t k = 0; k < pairs.size(); k++) {
            x->routeList[k][0] = pairs[k].first;
            x->routeList[k][1] = pairs[k].second;
        }
    }

    // The context that describes the frames, kept in codecCtx as the loader keeps it.
    AVCodecContext *context(AVSampleFormat format, int channels, int rate = 44100, bool layout = true)
    {
        avcodec_free_context(&ctx);
        ctx = avcodec_alloc_context3(nullptr);
        ctx->sample_fmt = format;
        ctx->sample_rate = rate;
        vorlo_ff_set_ctx_layout(ctx, layout ? vorlo_ff_default_layout(channels) : 0, channels);
        x->codecCtx = ctx;
        return ctx;
    }
};

// One sample stored in the raw type of a format.
inline void store_raw(AVSampleFormat format, uint8_t *plane, int element, double raw)
{
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8: ((uint8_t *)plane)[element] = (uint8_t)raw; break;
    case AV_SAMPLE_FMT_S16: ((int16_t *)plane)[element] = (int16_t)raw; break;
    case AV_SAMPLE_FMT_S32: ((int32_t *)plane)[element] = (int32_t)raw; break;
    case AV_SAMPLE_FMT_S64: ((int64_t *)plane)[element] = (int64_t)raw; break;
    case AV_SAMPLE_FMT_FLT: ((float *)plane)[element] = (float)raw; break;
    default: ((double *)plane)[element] = raw; break;
    }
}

// A frame of `channels` channels holding `interleaved` (sample frame after sample frame),
// laid out as the format says: planar formats get one plane per channel.
inline AVFrame *make_frame(AVSampleFormat format, int channels, const std::vector<double> &interleaved,
                           bool layout = true, int rate = 44100)
{
    AVFrame *frame = av_frame_alloc();
    frame->format = format;
    frame->nb_samples = channels ? (int)(interleaved.size() / channels) : 0;
    frame->sample_rate = rate;
    vorlo_ff_set_frame_layout(frame, layout ? vorlo_ff_default_layout(channels) : 0, channels);
    EXPECT_EQ(av_frame_get_buffer(frame, 0), 0);
    bool planar = av_sample_fmt_is_planar(format);
    for (size_t k = 0; k < interleaved.size(); k++) {
        int s = (int)(k / channels), c = (int)(k % channels);
        store_raw(format, frame->extended_data[planar ? c : 0], planar ? s : (int)k, interleaved[k]);
    }
    return frame;
}

// A frame of float samples, value(s, c) in sample frame s of channel c.
template <typename F>
inline AVFrame *make_float_frame(int channels, int samples, F value, bool layout = true, int rate = 44100)
{
    std::vector<double> interleaved;
    for (int s = 0; s < samples; s++)
        for (int c = 0; c < channels; c++)
            interleaved.push_back(value(s, c));
    return make_frame(AV_SAMPLE_FMT_FLT, channels, interleaved, layout, rate);
}

inline size_t count_lines(const std::vector<std::string> &lines, const std::string &text)
{
    size_t n = 0;
    for (const std::string &line : lines)
        n += line == text;
    return n;
}

#endif

// Throughput of the frame writer alone: frames of 4096 stereo samples stored into a locked
// one-minute buffer, per sample format and layout, in replace mode and in import mode with
// gain, both fades and mixing (each fade a tenth of the buffer). Google Benchmark's own
// options apply (--benchmark_min_time=0.2 for a quick run).
#include "writer.h"
#include "headless_host.h"

#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <vector>

namespace {

const int kChannels = 2;
const int kFrameSamples = 4096;
const vorlo_count kTargetSamples = (vorlo_count)kChannels * 48000 * 60;

AVFrame *make_frame(AVSampleFormat format)
{
    AVFrame *frame = av_frame_alloc();
    frame->format = format;
    frame->nb_samples = kFrameSamples;
    vorlo_ff_set_frame_layout(frame, vorlo_ff_default_layout(kChannels), kChannels);
    if (av_frame_get_buffer(frame, 0) < 0)
        abort();
    for (int p = 0; p < AV_NUM_DATA_POINTERS && frame->data[p]; p++)
        for (int i = 0; i < frame->linesize[p]; i++)
            frame->data[p][i] = (uint8_t)(i * 7 + p);
    // Floating-point samples within ±1, as decoders give them.
    if (av_get_packed_sample_fmt(format) == AV_SAMPLE_FMT_FLT)
        for (int p = 0; p < AV_NUM_DATA_POINTERS && frame->data[p]; p++)
            for (int i = 0; i < frame->linesize[p] / 4; i++)
                ((float *)frame->data[p])[i] = (float)((i * 37) % 2001 - 1000) / 1000.0f;
    if (av_get_packed_sample_fmt(format) == AV_SAMPLE_FMT_DBL)
        for (int p = 0; p < AV_NUM_DATA_POINTERS && frame->data[p]; p++)
            for (int i = 0; i < frame->linesize[p] / 8; i++)
                ((double *)frame->data[p])[i] = (double)((i * 37) % 2001 - 1000) / 1000.0;
    return frame;
}

// The load as vorlo_prepareImport leaves it for an import of the whole buffer.
void setup_import(t_vorlo_load *x)
{
    x->request.isImport = 1;
    x->shapeGain = 0.5f;
    x->shapeMix = 1;
    x->shapeFadein = 1;
    x->fadeinSamples = kTargetSamples / 10;
    x->fadeinStep = 1.0f / (float)x->fadeinSamples;
    x->shapeFadeinExp = 1.0f;
    x->shapeFadeout = 1;
    x->fadeoutStart = kTargetSamples - kTargetSamples / 10;
    x->fadeoutStep = 1.0f / (float)(kTargetSamples / 10);
    x->shapeFadeoutExp = 2.0f;
}

void write_frames(benchmark::State &state, AVSampleFormat format, bool import)
{
    host_init();
    t_vorlo_load *x = new t_vorlo_load();
    std::vector<float> target((size_t)kTargetSamples);
    x->targetSamples = target.data();
    x->resultChannels = kChannels;
    x->targetChannels = kChannels;
    x->indexLimit = kTargetSamples;
    x->seamStart = VORLO_NO_SEAM;
    if (import)
        setup_import(x);
    x->source.format = format;
    x->source.channels = kChannels;
    x->source.layout = vorlo_ff_default_layout(kChannels);
    AVFrame *frame = make_frame(format);
    vorlo_makeWriter(x);
    for (auto _ : state) {
        if (x->index >= x->indexLimit)
            x->index = 0;
        vorlo_handleFrame(x, frame);
    }
    benchmark::DoNotOptimize(target.data());
    state.SetItemsProcessed(state.iterations() * kFrameSamples * kChannels);
    av_frame_free(&frame);
    delete x;
}

} // namespace

#define VORLO_WRITER_CASE(fmt)                                                                                   \
    BENCHMARK_CAPTURE(write_frames, fmt##_replace, AV_SAMPLE_FMT_##fmt, false);                                  \
    BENCHMARK_CAPTURE(write_frames, fmt##_import, AV_SAMPLE_FMT_##fmt, true)

VORLO_WRITER_CASE(U8);
VORLO_WRITER_CASE(S16);
VORLO_WRITER_CASE(S16P);
VORLO_WRITER_CASE(S32);
VORLO_WRITER_CASE(S32P);
VORLO_WRITER_CASE(FLT);
VORLO_WRITER_CASE(FLTP);
VORLO_WRITER_CASE(DBL);
VORLO_WRITER_CASE(DBLP);

BENCHMARK_MAIN();

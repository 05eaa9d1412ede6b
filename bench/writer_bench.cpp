// Throughput of the frame writer: how many samples a second reach a locked buffer, per
// sample format, in replace mode and in import mode with gain, fades and mixing.
//   writer_bench [SECONDS_PER_CASE]
#include "object_record.h"
#include "headless_host.h"

#include <chrono>
#include <stdio.h>
#include <stdlib.h>
#include <vector>

namespace {

const int kChannels = 2;
const int kFrameSamples = 4096;

struct Case {
    const char *name;
    AVSampleFormat format;
    bool import;
};

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
    return frame;
}

void setup_record(t_vorlo *x, const Case &c, std::vector<float> &target)
{
    x->targetSamples = target.data();
    x->resultChannels = kChannels;
    x->targetChannels = kChannels;
    x->indexLimit = (vorlo_count)target.size();
    x->isImport = c.import;
    x->import_gain = c.import ? -6.f : 0.f;
    x->gainFactor = 0.5f;
    x->import_mix = c.import;
    x->fadein = c.import ? 100.f : 0.f;
    x->fadeinSamples = (vorlo_count)target.size() / 2;
    x->fadeinStep = 1.f / (float)x->fadeinSamples;
    x->fadein_exp = 1.f;
    x->fadeout = c.import ? 100.f : 0.f;
    x->fadeoutStart = (vorlo_count)target.size() / 2;
    x->fadeoutStep = 1.f / (float)x->fadeoutStart;
    x->fadeout_exp = 2.f;
}

double run_case(const Case &c, double seconds)
{
    t_vorlo *x = (t_vorlo *)calloc(1, sizeof(t_vorlo));
    AVCodecContext *ctx = avcodec_alloc_context3(nullptr);
    ctx->sample_fmt = c.format;
    vorlo_ff_set_ctx_layout(ctx, vorlo_ff_default_layout(kChannels), kChannels);
    AVFrame *frame = make_frame(c.format);
    std::vector<float> target((size_t)kChannels * 48000 * 60);
    setup_record(x, c, target);

    long long samples = 0;
    auto start = std::chrono::steady_clock::now();
    double elapsed = 0;
    while (elapsed < seconds) {
        x->index = 0;
        while (x->index < x->indexLimit) {
            vorlo_handleFrame(x, ctx, frame);
            samples += (long long)kFrameSamples * kChannels;
        }
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    av_frame_free(&frame);
    avcodec_free_context(&ctx);
    free(x);
    return (double)samples / elapsed;
}

} // namespace

int main(int argc, char **argv)
{
    double seconds = argc > 1 ? atof(argv[1]) : 1.0;
    host_init();
    const Case cases[] = {
        {"s16 replace", AV_SAMPLE_FMT_S16, false},   {"s16p replace", AV_SAMPLE_FMT_S16P, false},
        {"s32 replace", AV_SAMPLE_FMT_S32, false},   {"flt replace", AV_SAMPLE_FMT_FLT, false},
        {"fltp replace", AV_SAMPLE_FMT_FLTP, false}, {"dbl replace", AV_SAMPLE_FMT_DBL, false},
        {"s16 import", AV_SAMPLE_FMT_S16, true},     {"fltp import", AV_SAMPLE_FMT_FLTP, true},
    };
    printf("%-14s %12s\n", "case", "Msamples/s");
    for (const Case &c : cases)
        printf("%-14s %12.1f\n", c.name, run_case(c, seconds) / 1e6);
    return 0;
}

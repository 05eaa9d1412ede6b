// Between the decoder and the frame writer: the choice of path per frame, and the
// resampler that changes the rate, routes or mixes the channels and keeps the format.
#include "writer.h"

int vorlo_needsResampler(const t_vorlo_load *x)
{
    if (x->request.routeIsUsed && !x->routePassesThrough)
        return 1;
    if (!vorlo_resultRateIndex(&x->request.attrs) && !x->requestedChannels && !x->request.isImport)
        return 0;
    return x->source.rate != x->resultSampleRate || x->source.channels != vorlo_writerChannels(x);
}

static const char *const vorlo_swrModeNames[] = {
    "swr mode: routeIsUsed",
    "swr mode: input_ch_count == output_ch_count",
    "swr mode: s_mono",
    "swr mode: s_stereo",
    "swr mode: codecCtx->channels != resultChannels",
};

static void vorlo_postRouteMatrix(t_vorlo_load *x, const double *matrix, int inChannels, int outChannels)
{
    char piece[32];
    vorlo_post(x, "route matrix:");
    for (int o = 0; o < outChannels; o++) {
        snprintf(piece, sizeof piece, "out %i: ", o);
        vorlo_postPiece(x, 6, piece);
        for (int i = 0; i < inChannels; i++) {
            snprintf(piece, sizeof piece, "%.2lf", matrix[(size_t)o * inChannels + i]);
            vorlo_postPiece(x, i == inChannels - 1 ? 7 : 6, piece);
        }
    }
}

// Only a route's matrix is essential enough to report when the library refuses it; without
// a sum matrix the library mixes by the layouts.
static void vorlo_setMixMatrix(t_vorlo_load *x, vorlo_swrMode mode, int inChannels, int outChannels)
{
    double *matrix;
    int ret = vorlo_mixMatrix(x, mode, inChannels, outChannels, &matrix);
    if (ret > 0) {
        if (mode == VORLO_SWR_MONO)
            vorlo_postPlain(x, "setting mono MATRIX");
        else if (mode == VORLO_SWR_STEREO)
            vorlo_postPlain(x, "setting stereo MATRIX");
        else if (x->request.attrs.debug)
            vorlo_postRouteMatrix(x, matrix, inChannels, outChannels);
        ret = swr_set_matrix(x->swrCtx, matrix, inChannels);
    }
    av_free(matrix);
    if (ret < 0 && mode == VORLO_SWR_ROUTE)
        vorlo_error(x, "Could not set matrix");
}

static void vorlo_postResamplerResult(t_vorlo_load *x)
{
    if (x->resultChannels != x->source.channels)
        vorlo_post(x, "swr resultChannels: %i", (int)x->resultChannels);
    if (x->resultSampleRate != x->source.rate)
        vorlo_post(x, "swr resultSampleRate: %i", (int)x->resultSampleRate);
}

// Built from the source format and the request at the first frame that needs it, and kept
// for the rest of the load. A failure cuts the load short.
static int vorlo_buildResampler(t_vorlo_load *x)
{
    if (x->request.attrs.debug)
        vorlo_post(x, "prepare SWR context");
    x->swrCtx = swr_alloc();
    if (!x->swrCtx) {
        vorlo_error(x, "Could not allocate resampler context");
        x->writer.failed = 1;
        return AVERROR(ENOMEM);
    }
    int inChannels = x->source.channels;
    vorlo_swrMode mode = vorlo_swrModeOf(x, inChannels);
    int outChannels = vorlo_swrOutChannels(x, mode, inChannels);
    uint64_t inLayout = vorlo_layoutOf(&x->source);

    vorlo_ff_swr_set_layout(x->swrCtx, "in", inLayout, inChannels);
    av_opt_set_int(x->swrCtx, "in_sample_rate", x->source.rate, 0);
    av_opt_set_sample_fmt(x->swrCtx, "in_sample_fmt", x->source.format, 0);
    if (x->request.attrs.debug)
        vorlo_post(x, "%s", vorlo_swrModeNames[mode]);
    vorlo_ff_swr_set_layout(x->swrCtx, "out", x->writer.frameLayout, outChannels);
    vorlo_setMixMatrix(x, mode, inChannels, outChannels);
    // The format is never changed, so the writer reads the result with the source's format.
    av_opt_set_int(x->swrCtx, "out_sample_rate", x->resultSampleRate, 0);
    av_opt_set_sample_fmt(x->swrCtx, "out_sample_fmt", x->source.format, 0);

    int ret = swr_init(x->swrCtx);
    if (ret < 0) {
        vorlo_error(x, "Failed to initialize the resampling context: %s", vorlo_errtext(ret));
        x->writer.failed = 1;
        return ret;
    }
    if (x->request.attrs.debug)
        vorlo_postResamplerResult(x);
    return 0;
}

// Converts `input` (null for what the resampler holds back) into resampledFrame and writes
// it. Returns the number of sample frames written, or a negative code after its message.
static int vorlo_convertAndWrite(t_vorlo_load *x, const AVFrame *input)
{
    AVFrame *out = x->resampledFrame;
    if (!out) {
        vorlo_error(x, "Error converting frame: %s", vorlo_errtext(AVERROR(ENOMEM)));
        x->writer.failed = 1;
        return AVERROR(ENOMEM);
    }
    vorlo_ff_set_frame_layout(out, x->writer.frameLayout, x->writer.frameChannels);
    out->sample_rate = x->resultSampleRate;
    out->format = x->source.format;

    int ret = swr_convert_frame(x->swrCtx, out, input);
    if (ret < 0) {
        vorlo_error(x, "Error converting frame: %s", vorlo_errtext(ret));
        x->writer.failed = 1;
    } else {
        vorlo_handleFrame(x, out);
        ret = out->nb_samples;
    }
    av_frame_unref(out);
    return ret;
}

void vorlo_handleFrame_resample(t_vorlo_load *x, AVFrame *frame)
{
    if (!x->swrCtx && vorlo_buildResampler(x) < 0)
        return;
    if (!swr_is_initialized(x->swrCtx))
        return;
    vorlo_ff_set_frame_layout(frame, vorlo_layoutOf(&x->source), x->source.channels);
    vorlo_convertAndWrite(x, frame);
}

// The library holds back the last samples of its input until it is told that no more
// comes; they are asked for until none are left.
bool vorlo_flushResampler(t_vorlo_load *x)
{
    if (x->writer.converter)
        return vorlo_emptyConversion(x);
    if (!x->swrCtx || !swr_is_initialized(x->swrCtx))
        return !x->writer.failed;
    while (swr_get_out_samples(x->swrCtx, 0) > 0 && vorlo_convertAndWrite(x, nullptr) > 0) {
    }
    return !x->writer.failed;
}

// A mono float resampler between the two rates: the channels of the load's own do not
// change how many frames it makes.
static SwrContext *vorlo_countingResampler(int inRate, int outRate)
{
    SwrContext *swr = swr_alloc();
    if (!swr)
        return nullptr;
    uint64_t mono = vorlo_ff_default_layout(1);
    vorlo_ff_swr_set_layout(swr, "in", mono, 1);
    vorlo_ff_swr_set_layout(swr, "out", mono, 1);
    av_opt_set_int(swr, "in_sample_rate", inRate, 0);
    av_opt_set_int(swr, "out_sample_rate", outRate, 0);
    av_opt_set_sample_fmt(swr, "in_sample_fmt", AV_SAMPLE_FMT_FLT, 0);
    av_opt_set_sample_fmt(swr, "out_sample_fmt", AV_SAMPLE_FMT_FLT, 0);
    if (swr_init(swr) < 0)
        swr_free(&swr);
    return swr;
}

static bool vorlo_makeSilence(AVFrame *frame, int64_t frames, int rate)
{
    frame->nb_samples = (int)frames;
    frame->format = AV_SAMPLE_FMT_FLT;
    frame->sample_rate = rate;
    vorlo_ff_set_frame_layout(frame, vorlo_ff_default_layout(1), 1);
    return av_frame_get_buffer(frame, 0) >= 0 &&
           av_samples_set_silence(frame->extended_data, 0, frame->nb_samples, 1, AV_SAMPLE_FMT_FLT) >= 0;
}

// The frames one conversion makes of `in` (null: of what the resampler holds), or -1.
static int64_t vorlo_convertCount(SwrContext *swr, AVFrame *out, const AVFrame *in, int outRate)
{
    vorlo_ff_set_frame_layout(out, vorlo_ff_default_layout(1), 1);
    out->sample_rate = outRate;
    out->format = AV_SAMPLE_FMT_FLT;
    int64_t made = swr_convert_frame(swr, out, in) < 0 ? -1 : out->nb_samples;
    av_frame_unref(out);
    return made;
}

// The resampler converts on a grid that repeats every `period` input frames, so the frames it
// makes of a stream, edges and all, are those it makes of a stretch of silence just longer
// than its filter and of the same phase, and the ratio's worth for every period beyond.
static int64_t vorlo_countResampled(int64_t frames, int inRate, int outRate, bool emptied)
{
    SwrContext *swr = vorlo_countingResampler(inRate, outRate);
    AVFrame *in = av_frame_alloc();
    AVFrame *out = av_frame_alloc();
    int64_t counted = -1;
    if (swr && in && out && vorlo_makeSilence(in, frames, inRate))
        counted = vorlo_convertCount(swr, out, in, outRate);
    for (int64_t more = emptied ? counted : 0; more > 0;) {
        more = vorlo_convertCount(swr, out, nullptr, outRate);
        counted = more < 0 ? -1 : counted + more;
    }
    av_frame_free(&out);
    av_frame_free(&in);
    swr_free(&swr);
    return counted;
}

int64_t vorlo_resampledFrames(int64_t frames, int inRate, int outRate, bool emptied)
{
    int64_t period = inRate / av_gcd(inRate, outRate);
    int64_t made = outRate / av_gcd(inRate, outRate);
    int64_t filled = period * ((8192 + period - 1) / period);  // far past the filter's edges
    int64_t stretch = frames < filled + period ? frames : filled + frames % period;
    int64_t counted = vorlo_countResampled(stretch, inRate, outRate, emptied);
    if (counted < 0)
        return av_rescale_rnd(frames, outRate, inRate, AV_ROUND_UP);
    return counted + (frames - stretch) / period * made;
}

bool vorlo_resamplerHolds(const t_vorlo_load *x)
{
    return x->swrCtx && swr_is_initialized(x->swrCtx) && swr_get_delay(x->swrCtx, 1000000) > 0;
}

// A run that starts over from another place, or a stretch of another format, must not begin
// with the samples that the one before left in the resampler; the configuration, matrix
// included, stays.
bool vorlo_resetResampler(t_vorlo_load *x)
{
    swr_free(&x->writer.converter);
    x->writer.stretch = x->source;
    if (!x->swrCtx || !swr_is_initialized(x->swrCtx))
        return !x->writer.failed;
    swr_close(x->swrCtx);
    int ret = swr_init(x->swrCtx);
    if (ret < 0) {
        vorlo_error(x, "Failed to initialize the resampling context: %s", vorlo_errtext(ret));
        x->writer.failed = 1;
    }
    return !x->writer.failed;
}

bool vorlo_writeSourceFrame(t_vorlo_load *x, AVFrame *frame)
{
    if (x->writer.resampled)
        vorlo_handleFrame_resample(x, frame);
    else
        vorlo_handleFrame(x, frame);
    return !x->writer.failed;
}

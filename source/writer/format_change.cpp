// A stream whose format changes on the way: joined MP3s (stereo then mono, 44.1 kHz then
// 48 kHz), an ADTS stream whose layout goes from 2.0 to 5.1, a chained Ogg whose links
// differ. As the ffmpeg program does, the buffer keeps the format of the stream's first frame
// (or the one the request asks for), and each stretch of frames of one format is converted
// into it by a conversion of its own: frames of the first format by the writer's own way,
// the others by a resampler made for their stretch. At a change the conversion is set up
// afresh and what the old one held back is dropped, as the ffmpeg program drops it; at the
// stream's end the last one is emptied. The measuring counts the same frames
// (vorlo_convertedFrames).
#include "writer.h"

t_vorlo_frameFormat vorlo_formatOf(const AVFrame *frame)
{
    t_vorlo_frameFormat f;
    f.rate = frame->sample_rate;
    f.channels = vorlo_ff_frame_channels(frame);
    f.layout = vorlo_fittingLayout(vorlo_ff_frame_layout(frame), f.channels);
    f.format = (enum AVSampleFormat)frame->format;
    return f;
}

// FFmpeg 4 leaves a frame the layout of the frames before it when only its channel count
// changes: a layout of another count names no order.
uint64_t vorlo_fittingLayout(uint64_t layout, int channels)
{
    return av_popcount64(layout) == channels ? layout : 0;
}

// Channels without a named order are taken for the named ones of the same count: converting
// between the two would mix them.
bool vorlo_sameFormat(const t_vorlo_frameFormat *a, const t_vorlo_frameFormat *b)
{
    return a->rate == b->rate && a->channels == b->channels && a->format == b->format &&
           (a->layout == b->layout || !a->layout || !b->layout);
}

// The layout the resampler takes: the one named, or the default layout of the count (or no
// named order). Every frame of the format is described the same way, so that the library
// never sees its input change.
uint64_t vorlo_layoutOf(const t_vorlo_frameFormat *f)
{
    return f->layout ? f->layout : vorlo_ff_default_layout(f->channels);
}

void vorlo_describeFormat(const t_vorlo_frameFormat *f, char *text, size_t size)
{
    const char *name = av_get_sample_fmt_name(f->format);
    snprintf(text, size, "%i Hz, %i channel%s, %s", f->rate, f->channels, f->channels == 1 ? "" : "s",
             name ? name : "?");
}

// The one line of a change that cannot be converted; the load then ends with the error bang.
static bool vorlo_refuseChange(t_vorlo_load *x, const t_vorlo_frameFormat *from, int code)
{
    char was[96], now[96];
    vorlo_describeFormat(&x->source, was, sizeof was);
    vorlo_describeFormat(from, now, sizeof now);
    vorlo_error(x, "the stream's format changes from %s to %s, which cannot be converted (%s): the load is cut "
                   "short.-> %s",
                was, now, vorlo_errtext(code), x->path);
    x->writer.failed = 1;
    return false;
}

// The stretch's frames become the frames that the writer takes: its channels, its layout
// and, at the result's rate, its sample format. A mix the request asks for (a route, a sum
// to mono or stereo) is made from the stretch's own channels.
static bool vorlo_startConversion(t_vorlo_load *x, const t_vorlo_frameFormat *from)
{
    t_vorlo_writer *w = &x->writer;
    w->converter = swr_alloc();
    if (!w->converted)
        w->converted = av_frame_alloc();
    if (!w->converter || !w->converted)
        return vorlo_refuseChange(x, from, AVERROR(ENOMEM));
    vorlo_ff_swr_set_layout(w->converter, "in", vorlo_layoutOf(from), from->channels);
    av_opt_set_int(w->converter, "in_sample_rate", from->rate, 0);
    av_opt_set_sample_fmt(w->converter, "in_sample_fmt", from->format, 0);
    vorlo_ff_swr_set_layout(w->converter, "out", w->frameLayout, w->frameChannels);
    av_opt_set_int(w->converter, "out_sample_rate", x->resultSampleRate, 0);
    av_opt_set_sample_fmt(w->converter, "out_sample_fmt", w->format, 0);
    double *matrix = nullptr;
    int ret = w->resampled ? vorlo_mixMatrix(x, vorlo_swrModeOf(x, from->channels), from->channels, w->frameChannels, &matrix) : 0;
    if (ret > 0)
        ret = swr_set_matrix(w->converter, matrix, from->channels);
    av_free(matrix);
    if (ret >= 0)
        ret = swr_init(w->converter);
    if (ret < 0)
        return vorlo_refuseChange(x, from, ret);
    return true;
}

// Converts `input` (null: what the converter holds back) and writes the result; the count
// of frames made, or a negative code. The input is described as the converter was set up
// (a decoder may leave the layout out).
static int vorlo_convertStretch(t_vorlo_load *x, AVFrame *input)
{
    t_vorlo_writer *w = &x->writer;
    AVFrame *out = w->converted;
    if (input)
        vorlo_ff_set_frame_layout(input, vorlo_layoutOf(&w->stretch), w->stretch.channels);
    vorlo_ff_set_frame_layout(out, w->frameLayout, w->frameChannels);
    out->sample_rate = x->resultSampleRate;
    out->format = w->format;
    int ret = swr_convert_frame(w->converter, out, input);
    if (ret < 0) {
        vorlo_refuseChange(x, &w->stretch, ret);
    } else {
        vorlo_handleFrame(x, out);
        ret = w->failed ? AVERROR_EXTERNAL : out->nb_samples;
    }
    av_frame_unref(out);
    return ret;
}

// A new stretch begins: the conversion of the one before ends without what it held back.
static bool vorlo_beginStretch(t_vorlo_load *x, const t_vorlo_frameFormat *format)
{
    t_vorlo_writer *w = &x->writer;
    swr_free(&w->converter);
    if (!vorlo_resetResampler(x))
        return false;
    w->stretch = *format;
    return vorlo_sameFormat(format, &x->source) || vorlo_startConversion(x, format);
}

bool vorlo_writeDecodedFrame(t_vorlo_load *x, AVFrame *frame)
{
    if (x->writer.failed)
        return false;
    t_vorlo_frameFormat format = vorlo_formatOf(frame);
    if (!vorlo_sameFormat(&format, &x->writer.stretch) && !vorlo_beginStretch(x, &format))
        return false;
    if (!x->writer.converter)
        return vorlo_writeSourceFrame(x, frame);
    return vorlo_convertStretch(x, frame) >= 0;
}

bool vorlo_emptyConversion(t_vorlo_load *x)
{
    t_vorlo_writer *w = &x->writer;
    while (!w->failed && w->converter && swr_get_out_samples(w->converter, 0) > 0 && vorlo_convertStretch(x, nullptr) > 0) {
    }
    return !w->failed;
}

void vorlo_dropConversion(t_vorlo_load *x)
{
    swr_free(&x->writer.converter);
    av_frame_free(&x->writer.converted);
}

// What the converter of a stretch of `frames` frames at `rate` makes of it: as many, or at
// another rate what the resampler makes of them, `emptied` at the end or not.
int64_t vorlo_convertedFrames(int64_t frames, int rate, int sourceRate, bool emptied)
{
    return rate == sourceRate ? frames : vorlo_resampledFrames(frames, rate, sourceRate, emptied);
}

// The frame writer: the one place where audio reaches the target buffer~. Each frame's
// samples are converted to 32-bit floats and stored interleaved into the locked target,
// from the start of it (replace) or shaped into a region of it (import).
//
// The sample format, the mode and the shaping are decided once per load (vorlo_makeWriter),
// the bounds once per frame. The rows that lie wholly inside the target and need nothing but conversion (and for an
// import a gain and the mix) go through plain loops that the compiler vectorises; the few
// rows at the edges, at a seam, in a fade or under a route go sample by sample.
#include "writer.h"

#include <math.h>
#include <string.h>

// Converted samples of an import wait here for their gain and mix, a few rows at a time.
enum { VORLO_SCRATCH_SAMPLES = 1024 };

// What the writer needs to know of one frame, taken before its first sample.
typedef struct _vorlo_frameView {
    const uint8_t *const *planes;
    int nbSamples;
    int channels;
    int planar;                 // channel c in plane c; else all channels interleaved in plane 0
    int bytes;                  // bytes per sample
    enum AVSampleFormat format; // from the codec context, which describes the frame
} vorlo_frameView;

// The sample type of a format or size that the writer cannot convert.
typedef struct _vorlo_unreadable {
    char unused;
} vorlo_unreadable;

// Integer samples are divided by the largest positive value of their type (as a float, so
// 2147483648 for 32 bits); unsigned bytes are centred on 128, their format's zero, and
// divided by 127, as 16-bit samples are by 32767; nothing is clipped. Each result is the
// correctly rounded quotient, computed without a division: a quotient of an integer by 127
// or by 32767 (odd, not a power of two) never lies within 2^-40 of a halfway point between
// two floats, relative to its size, while the product in double precision lies within
// 2^-52 of the quotient, so rounding that product to float rounds the quotient itself. A
// 32-bit or 64-bit sample rounds once on its conversion and is then scaled exactly by a
// power of two, as FFmpeg's own conversion to floats does.
static inline float vorlo_toFloat(uint8_t b) { return (float)((double)((int)b - 128) * (1.0 / 127.0)); }
static inline float vorlo_toFloat(int16_t v) { return (float)((double)v * (1.0 / 32767.0)); }
static inline float vorlo_toFloat(int32_t v) { return (float)v * (1.0f / 2147483648.0f); }
static inline float vorlo_toFloat(int64_t v) { return (float)v * (1.0f / 9223372036854775808.0f); }
static inline float vorlo_toFloat(float v) { return v; }
static inline float vorlo_toFloat(double v) { return (float)v; }

template <typename T>
static inline float vorlo_readSample(const vorlo_frameView *v, int s, int c)
{
    const T *plane = (const T *)v->planes[v->planar ? c : 0];
    return vorlo_toFloat(plane[v->planar ? s : s * v->channels + c]);
}

// Such a sample is stored as silence; the load reports it once (vorlo_writeUnreadable).
template <>
float vorlo_readSample<vorlo_unreadable>(const vorlo_frameView *, int, int)
{
    return 0.0f;
}

// Rows [first, end) of a frame, converted into consecutive rows at `out`: a packed frame
// is one run of samples; a planar one is interleaved, with a loop of its own for stereo.
template <typename T>
static void vorlo_convertRows(const vorlo_frameView *v, int first, int end, float *__restrict out)
{
    int channels = v->channels;
    if (!v->planar || channels == 1) {
        const T *__restrict in = (const T *)v->planes[0] + (size_t)first * channels;
        size_t count = (size_t)(end - first) * channels;
        for (size_t i = 0; i < count; i++)
            out[i] = vorlo_toFloat(in[i]);
        return;
    }
    size_t rows = (size_t)(end - first);
    if (channels == 2) {
        const T *__restrict left = (const T *)v->planes[0] + first;
        const T *__restrict right = (const T *)v->planes[1] + first;
        for (size_t i = 0; i < rows; i++) {
            out[2 * i] = vorlo_toFloat(left[i]);
            out[2 * i + 1] = vorlo_toFloat(right[i]);
        }
        return;
    }
    for (int c = 0; c < channels; c++) {
        const T *__restrict in = (const T *)v->planes[c] + first;
        for (size_t i = 0; i < rows; i++)
            out[i * channels + c] = vorlo_toFloat(in[i]);
    }
}

// The rows [*first, *end) of a frame of `rows` rows whose starts, index + s × stride, all
// lie in [low, highStart]; the rows before and after them are the frame's edges.
static void vorlo_plainRows(vorlo_count index, vorlo_count stride, int rows, vorlo_count low, vorlo_count highStart,
                            int *first, int *end)
{
    vorlo_count from = index >= low ? 0 : (low - index + stride - 1) / stride;
    vorlo_count to = highStart < index ? 0 : (highStart - index) / stride + 1;
    *first = (int)(from < rows ? from : rows);
    *end = (int)(to < *first ? *first : to < rows ? to : rows);
}

// Replace mode, sample by sample: the samples as they come, from index on; positions
// outside the target's range are skipped but still counted. Past the start of a seam the
// writer also notes where the samples it writes began to agree with the ones they overwrite.
template <typename T, bool Seam>
static void vorlo_replaceRows(t_vorlo_load *x, const vorlo_frameView *v, int first, int end)
{
    float *target = x->targetSamples;
    vorlo_count index = x->index;
    vorlo_count floor = x->writer.floor;
    vorlo_count limit = x->writer.ceiling;
    vorlo_count seamStart = x->seamStart;
    vorlo_count agreedFrom = x->seamAgreedFrom;
    float tolerance = x->seamTolerance;
    for (int s = first; s < end; s++)
        for (int c = 0; c < v->channels; c++, index++) {
            if (index < floor || index >= limit)
                continue;
            float value = vorlo_readSample<T>(v, s, c);
            if (Seam && index >= seamStart && !(fabsf(value - target[index]) <= tolerance))
                agreedFrom = index + 1;
            target[index] = value;
        }
    x->index = index;
    x->seamAgreedFrom = agreedFrom;
}

// A frame that reaches a seam goes sample by sample; any other has its rows inside the
// target converted in one go.
template <typename T>
static void vorlo_replaceFrame(t_vorlo_load *x, const vorlo_frameView *v)
{
    vorlo_count channels = v->channels;
    if (x->index + v->nbSamples * channels > x->seamStart) {
        vorlo_replaceRows<T, true>(x, v, 0, v->nbSamples);
        return;
    }
    int first, end;
    vorlo_plainRows(x->index, channels, v->nbSamples, x->writer.floor, x->writer.ceiling - channels, &first, &end);
    vorlo_replaceRows<T, false>(x, v, 0, first);
    if (end > first) {
        vorlo_convertRows<T>(v, first, end, x->targetSamples + x->index);
        x->index += (end - first) * channels;
    }
    vorlo_replaceRows<T, false>(x, v, end, v->nbSamples);
}

void vorlo_setWindow(t_vorlo_load *x, vorlo_count floor, vorlo_count ceiling)
{
    x->writer.floor = floor;
    x->writer.ceiling = ceiling < x->indexLimit ? ceiling : x->indexLimit;
}

void vorlo_watchSeam(t_vorlo_load *x, vorlo_count from, float tolerance)
{
    x->seamStart = from;
    x->seamAgreedFrom = from;
    x->seamTolerance = tolerance;
}

static inline int vorlo_channelWritten(const vorlo_shaping *sh, int c)
{
    if (c < sh->firstChannel || c >= sh->endChannel)
        return 0;
    return c < VORLO_ROUTE_PAIRS ? sh->listed[c] : sh->listedBeyond;
}

// The fade-out follows the row's start, so all channels of a row share one factor.
static inline float vorlo_rowFadeout(t_vorlo_load *x, const vorlo_shaping *sh, vorlo_count rowStart)
{
    if (!sh->fadeout)
        return 1.0f;
    x->fadeoutPos = rowStart - sh->fadeoutStart;
    if (x->fadeoutPos <= 0)
        return 1.0f;
    return powf(1.0f - (float)x->fadeoutPos * sh->fadeoutStep, sh->fadeoutExp);
}

// Import mode, sample by sample: index counts from writeOffset; each frame row fills one
// target row, its channels from startTrack on when the frame is narrower than the target.
// Gain, fade-out and fade-in apply in that order, and the result overwrites or is added to
// the target. Past the start of a seam (an import that overwrites) the writer notes where
// its samples began to agree with the ones they overwrite, as a replace does.
template <typename T, bool Seam>
static void vorlo_importRows(t_vorlo_load *x, const vorlo_frameView *v, const vorlo_shaping *sh, int first, int end)
{
    float *target = x->targetSamples + x->writeOffset;
    vorlo_count index = x->index;
    vorlo_count floor = x->writer.floor;
    vorlo_count limit = x->writer.ceiling;
    for (int s = first; s < end; s++) {
        float fadeout = vorlo_rowFadeout(x, sh, index);
        index += sh->rowLead;
        for (int c = 0; c < v->channels; c++, index++) {
            if (!vorlo_channelWritten(sh, c) || index < floor || index >= limit)
                continue;
            float value = vorlo_readSample<T>(v, s, c) * sh->gain * fadeout;
            if (index < sh->fadeinEnd)
                value *= powf((float)index * sh->fadeinStep, sh->fadeinExp);
            value = sh->mix ? target[index] + value : value;
            if (Seam && index >= x->seamStart && !(fabsf(value - target[index]) <= x->seamTolerance))
                x->seamAgreedFrom = index + 1;
            target[index] = value;
        }
        index += sh->rowTrail;
    }
    x->index = index;
}

// A page of a buffer~ that was never written is faulted in by its first access; a read
// maps it as shared zeros and a later write faults it in a second time. An atomic OR of
// zero is a write that changes nothing.
#if defined(__GNUC__)
const bool vorlo_touchWrites = true;

void vorlo_touchForWriting(float *target, int count)
{
    const uintptr_t page = 4096;
    for (uintptr_t at = (uintptr_t)target, end = (uintptr_t)(target + count); at < end;
         at = (at | (page - 1)) + 1)
        __atomic_fetch_or((uint32_t *)at, 0u, __ATOMIC_SEQ_CST);
}
#else
const bool vorlo_touchWrites = false;

void vorlo_touchForWriting(float *, int) {}
#endif

// Import mode, whole rows outside both fades: a fade factor of 1 leaves the product as it
// is, so the gain alone shapes these samples.
template <typename T>
static void vorlo_importPlainRows(t_vorlo_load *x, const vorlo_frameView *v, const vorlo_shaping *sh, int first, int end)
{
    float converted[VORLO_SCRATCH_SAMPLES];
    int channels = v->channels;
    int chunk = VORLO_SCRATCH_SAMPLES / channels;
    float gain = sh->gain;
    for (int s = first; s < end; s += chunk) {
        int rows = end - s < chunk ? end - s : chunk;
        int count = rows * channels;
        float *__restrict target = x->targetSamples + x->writeOffset + x->index;
        vorlo_convertRows<T>(v, s, s + rows, converted);
        if (sh->mix) {
            // Mixing reads before it writes: a buffer~ made just before the import is
            // faulted in once.
            vorlo_touchForWriting(target, count);
            for (int i = 0; i < count; i++)
                target[i] += converted[i] * gain;
        } else {
            for (int i = 0; i < count; i++)
                target[i] = converted[i] * gain;
        }
        x->index += count;
    }
    if (sh->fadeout && end > first)
        x->fadeoutPos = x->index - channels - sh->fadeoutStart;
}

// Rows go the plain way when they fill whole target rows with every channel, lie inside
// the target and begin at or past the fade-in's end and at or before the fade-out's start.
static bool vorlo_importIsPlain(const vorlo_shaping *sh, int channels)
{
    if (sh->rowLead != 0 || sh->rowTrail != 0 || sh->firstChannel != 0 || sh->endChannel != channels)
        return false;
    if (channels > VORLO_SCRATCH_SAMPLES || (channels > VORLO_ROUTE_PAIRS && !sh->listedBeyond))
        return false;
    for (int c = 0; c < channels && c < VORLO_ROUTE_PAIRS; c++)
        if (!sh->listed[c])
            return false;
    return true;
}

template <typename T>
static void vorlo_importFrame(t_vorlo_load *x, const vorlo_frameView *v, const vorlo_shaping *sh)
{
    vorlo_count channels = v->channels;
    if (x->index + v->nbSamples * x->resultChannels > x->seamStart) {
        vorlo_importRows<T, true>(x, v, sh, 0, v->nbSamples);
        return;
    }
    int first = 0, end = 0;
    if (vorlo_importIsPlain(sh, v->channels)) {
        vorlo_count low = sh->fadeinEnd > x->writer.floor ? sh->fadeinEnd : x->writer.floor;
        vorlo_count highStart = x->writer.ceiling - channels;
        if (sh->fadeout && sh->fadeoutStart < highStart)
            highStart = sh->fadeoutStart;
        vorlo_plainRows(x->index, channels, v->nbSamples, low, highStart, &first, &end);
    }
    vorlo_importRows<T, false>(x, v, sh, 0, first);
    vorlo_importPlainRows<T>(x, v, sh, first, end);
    vorlo_importRows<T, false>(x, v, sh, end, v->nbSamples);
}

// With a route, only the frame channels in the import's list are written; a list without
// an end (all 256 slots used) lets every channel through.
static void vorlo_shapeRoute(const t_vorlo_load *x, vorlo_shaping *sh)
{
    memset(sh->listed, 1, sizeof sh->listed);
    sh->listedBeyond = 1;
    if (!x->request.routeIsUsed)
        return;
    for (int k = 0; k < VORLO_ROUTE_PAIRS; k++)
        if (x->import_output_channel_list[k] == VORLO_ROUTE_EMPTY) {
            memset(sh->listed, 0, sizeof sh->listed);
            sh->listedBeyond = 0;
            for (int j = 0; j < k; j++) {
                int32_t channel = x->import_output_channel_list[j];
                if (channel >= 0 && channel < VORLO_ROUTE_PAIRS)
                    sh->listed[channel] = 1;
            }
            return;
        }
}

// A frame narrower (or wider) than the target's rows is placed from startTrack on; its
// channels that would fall outside the row are dropped rather than spill into the
// neighbouring row.
static void vorlo_shapeRows(const t_vorlo_load *x, int channels, vorlo_shaping *sh)
{
    vorlo_count rowChannels = x->resultChannels;
    sh->rowLead = 0;
    sh->rowTrail = 0;
    sh->firstChannel = 0;
    sh->endChannel = channels;
    if (rowChannels == channels)
        return;
    vorlo_count startTrack = x->request.startTrack;
    sh->rowLead = startTrack;
    sh->rowTrail = rowChannels - channels - startTrack;
    if (startTrack < 0)
        sh->firstChannel = (int)(-startTrack < channels ? -startTrack : channels);
    if (rowChannels - startTrack < channels)
        sh->endChannel = (int)(rowChannels - startTrack > 0 ? rowChannels - startTrack : 0);
}

static void vorlo_shapeImport(const t_vorlo_load *x, int channels, vorlo_shaping *sh)
{
    sh->gain = x->shapeGain;
    sh->fadeout = x->shapeFadeout;
    sh->fadeoutStart = x->fadeoutStart;
    sh->fadeoutStep = x->fadeoutStep;
    sh->fadeoutExp = x->shapeFadeoutExp;
    sh->fadeinEnd = x->shapeFadein ? x->fadeinSamples : 0;
    sh->fadeinStep = x->fadeinStep;
    sh->fadeinExp = x->shapeFadeinExp;
    sh->mix = x->shapeMix;
    vorlo_shapeRows(x, channels, sh);
    vorlo_shapeRoute(x, sh);
}

template <typename T>
static void vorlo_writeReplaced(t_vorlo_load *x, const vorlo_frameView *v)
{
    vorlo_replaceFrame<T>(x, v);
}

template <typename T>
static void vorlo_writeImported(t_vorlo_load *x, const vorlo_frameView *v)
{
    vorlo_importFrame<T>(x, v, &x->writer.shaping);
}

// Samples of a format the writer cannot read go sample by sample as silence. One line
// tells, once a load: posted from the loader thread for every frame, it would flood the
// console and stall the host's interface.
static void vorlo_tellUnreadable(t_vorlo_load *x, const vorlo_frameView *v)
{
    if (x->writer.unreadableTold)
        return;
    const char *name = av_get_sample_fmt_name(v->format);
    if (v->bytes != 1 && v->bytes != 2 && v->bytes != 4 && v->bytes != 8)
        vorlo_errorPlain(x, "vorlo~ Invalid sample size %d.\n", v->bytes);
    else
        vorlo_errorPlain(x, "vorlo~ Invalid sample format %s.\n", name ? name : "?");
    x->writer.unreadableTold = 1;
}

static void vorlo_writeUnreadableReplaced(t_vorlo_load *x, const vorlo_frameView *v)
{
    vorlo_tellUnreadable(x, v);
    vorlo_replaceRows<vorlo_unreadable, true>(x, v, 0, v->nbSamples);
}

static void vorlo_writeUnreadableImported(t_vorlo_load *x, const vorlo_frameView *v)
{
    vorlo_tellUnreadable(x, v);
    vorlo_importRows<vorlo_unreadable, true>(x, v, &x->writer.shaping, 0, v->nbSamples);
}

typedef void (*vorlo_frameWrite)(t_vorlo_load *x, const vorlo_frameView *v);

template <typename T>
static vorlo_frameWrite vorlo_writeOf(bool import)
{
    return import ? vorlo_writeImported<T> : vorlo_writeReplaced<T>;
}

// The conversion by the sample format, whatever its layout, and the mode.
static vorlo_frameWrite vorlo_chooseWrite(enum AVSampleFormat format, bool import)
{
    int bytes = av_get_bytes_per_sample(format);
    switch (bytes ? av_get_packed_sample_fmt(format) : AV_SAMPLE_FMT_NONE) {
    case AV_SAMPLE_FMT_U8: return vorlo_writeOf<uint8_t>(import);
    case AV_SAMPLE_FMT_S16: return vorlo_writeOf<int16_t>(import);
    case AV_SAMPLE_FMT_S32: return vorlo_writeOf<int32_t>(import);
    case AV_SAMPLE_FMT_S64: return vorlo_writeOf<int64_t>(import);
    case AV_SAMPLE_FMT_FLT: return vorlo_writeOf<float>(import);
    case AV_SAMPLE_FMT_DBL: return vorlo_writeOf<double>(import);
    default: return import ? vorlo_writeUnreadableImported : vorlo_writeUnreadableReplaced;
    }
}

void vorlo_makeWriter(t_vorlo_load *x)
{
    t_vorlo_writer *w = &x->writer;
    int inChannels = x->source.channels;
    vorlo_swrMode mode = vorlo_swrModeOf(x, inChannels);
    w->resampled = vorlo_needsResampler(x);
    w->frameChannels = w->resampled ? vorlo_swrOutChannels(x, mode, inChannels) : inChannels;
    w->frameLayout = !w->resampled || mode == VORLO_SWR_EQUAL ? vorlo_layoutOf(&x->source)
                                                              : vorlo_ff_default_layout(w->frameChannels);
    w->format = x->source.format;
    w->stretch = x->source;
    w->writeFrame = vorlo_chooseWrite(w->format, x->request.isImport);
    vorlo_setWindow(x, 0, x->indexLimit);
    if (x->request.isImport)
        vorlo_shapeImport(x, w->frameChannels, &w->shaping);
    w->made = 1;
}

void vorlo_handleFrame(t_vorlo_load *x, const AVFrame *frame)
{
    vorlo_frameView v;
    v.format = x->writer.format;
    v.bytes = av_get_bytes_per_sample(v.format);
    v.planar = av_sample_fmt_is_planar(v.format);
    v.planes = frame->extended_data;
    v.nbSamples = frame->nb_samples;
    v.channels = vorlo_ff_frame_channels(frame);
    if (v.nbSamples <= 0 || !x->targetSamples)
        return;
    if (v.channels != x->writer.frameChannels || !v.planes) {
        if (x->writer.shaping.fadeout)
            x->fadeoutPos = x->index - x->writer.shaping.fadeoutStart;
        return;
    }
    // A row of the frame fills no more than a row of the frame or of the target, whichever
    // is wider.
    vorlo_awaitPrefault(x, x->index + (vorlo_count)v.nbSamples * FFMAX(v.channels, x->resultChannels));
    x->writer.writeFrame(x, &v);
}

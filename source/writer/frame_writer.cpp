// The frame writer: the one place where audio reaches the target buffer~. Each frame's
// samples are converted to 32-bit floats and stored interleaved into the locked target,
// from the start of it (replace) or shaped into a region of it (import).
//
// The sample format, the mode and the shaping are decided once per frame; the loops below
// are instantiated per sample type so that the conversion sits inline in them.
#include "object_record.h"

#include <math.h>
#include <string.h>

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

// An import's shaping, read from the record once per frame. Factors that do not apply
// are 1, which leaves a sample exactly as it was.
typedef struct _vorlo_shaping {
    vorlo_count limit;
    float gain;
    int fadeout;                 // the fade-out is in force
    vorlo_count fadeoutStart;
    float fadeoutStep;
    float fadeoutExp;
    vorlo_count fadeinEnd;       // 0 when no fade-in applies: written positions are never negative
    float fadeinStep;
    float fadeinExp;
    int mix;
    vorlo_count rowLead;         // target channels of a row before the frame's first channel
    vorlo_count rowTrail;        // and after its last
    int firstChannel;            // frame channels [firstChannel, endChannel) land inside a row
    int endChannel;
    unsigned char listed[VORLO_ROUTE_PAIRS]; // frame channels that the route lets through
    unsigned char listedBeyond;              // the same for channels from 256 on
} vorlo_shaping;

// Integer samples are divided by the largest positive value of their type (as a float, so
// 2147483648 for 32 bits), unsigned bytes are centred on 127; nothing is clipped.
static inline float vorlo_toFloat(uint8_t b) { return (float)((int64_t)b - 127) / 127.0f; }
static inline float vorlo_toFloat(int16_t v) { return (float)(int64_t)v / (float)INT16_MAX; }
static inline float vorlo_toFloat(int32_t v) { return (float)(int64_t)v / (float)INT32_MAX; }
static inline float vorlo_toFloat(float v) { return v; }
static inline float vorlo_toFloat(double v) { return (float)v; }

template <typename T>
static inline float vorlo_readSample(const vorlo_frameView *v, int s, int c)
{
    const T *plane = (const T *)v->planes[v->planar ? c : 0];
    return vorlo_toFloat(plane[v->planar ? s : s * v->channels + c]);
}

// Such a sample is stored as silence and reported each time, as it is reached.
template <>
float vorlo_readSample<vorlo_unreadable>(const vorlo_frameView *v, int, int)
{
    if (v->bytes != 1 && v->bytes != 2 && v->bytes != 4 && v->bytes != 8) {
        object_error(nullptr, "vorlo~ Invalid sample size %d.\n", v->bytes);
    } else {
        const char *name = av_get_sample_fmt_name(v->format);
        object_error(nullptr, "vorlo~ Invalid sample format %s.\n", name ? name : "?");
    }
    return 0.0f;
}

// Replace mode: the samples as they come, from index on; positions outside the target's
// range are skipped but still counted. Past the start of a seam the writer also notes where
// the samples it writes began to agree with the ones they overwrite.
template <typename T, bool Seam>
static void vorlo_replaceFrame(t_vorlo *x, const vorlo_frameView *v)
{
    float *target = x->targetSamples;
    vorlo_count index = x->index;
    vorlo_count limit = x->indexLimit;
    vorlo_count seamStart = x->seamStart;
    vorlo_count agreedFrom = x->seamAgreedFrom;
    float tolerance = x->seamTolerance;
    for (int s = 0; s < v->nbSamples; s++)
        for (int c = 0; c < v->channels; c++, index++) {
            if (index < 0 || index >= limit)
                continue;
            float value = vorlo_readSample<T>(v, s, c);
            if (Seam && index >= seamStart && !(fabsf(value - target[index]) <= tolerance))
                agreedFrom = index + 1;
            target[index] = value;
        }
    x->index = index;
    x->seamAgreedFrom = agreedFrom;
}

void vorlo_watchSeam(t_vorlo *x, vorlo_count from, float tolerance)
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
static inline float vorlo_rowFadeout(t_vorlo *x, const vorlo_shaping *sh, vorlo_count rowStart)
{
    if (!sh->fadeout)
        return 1.0f;
    x->fadeoutPos = rowStart - sh->fadeoutStart;
    if (x->fadeoutPos <= 0)
        return 1.0f;
    return powf(1.0f - (float)x->fadeoutPos * sh->fadeoutStep, sh->fadeoutExp);
}

// Import mode: index counts from writeOffset; each frame row fills one target row, its
// channels from startTrack on when the frame is narrower than the target. Gain, fade-out
// and fade-in apply in that order, and the result overwrites or is added to the target.
template <typename T>
static void vorlo_importFrame(t_vorlo *x, const vorlo_frameView *v, const vorlo_shaping *sh)
{
    float *target = x->targetSamples + x->writeOffset;
    vorlo_count index = x->index;
    for (int s = 0; s < v->nbSamples; s++) {
        float fadeout = vorlo_rowFadeout(x, sh, index);
        index += sh->rowLead;
        for (int c = 0; c < v->channels; c++, index++) {
            if (!vorlo_channelWritten(sh, c) || index < 0 || index >= sh->limit)
                continue;
            float value = vorlo_readSample<T>(v, s, c) * sh->gain * fadeout;
            if (index < sh->fadeinEnd)
                value *= powf((float)index * sh->fadeinStep, sh->fadeinExp);
            target[index] = sh->mix ? target[index] + value : value;
        }
        index += sh->rowTrail;
    }
    x->index = index;
}

// With a route, only the frame channels in the import's list are written; a list without
// an end (all 256 slots used) lets every channel through.
static void vorlo_shapeRoute(const t_vorlo *x, vorlo_shaping *sh)
{
    memset(sh->listed, 1, sizeof sh->listed);
    sh->listedBeyond = 1;
    if (!x->routeIsUsed)
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
static void vorlo_shapeRows(const t_vorlo *x, int channels, vorlo_shaping *sh)
{
    vorlo_count rowChannels = x->resultChannels;
    sh->rowLead = 0;
    sh->rowTrail = 0;
    sh->firstChannel = 0;
    sh->endChannel = channels;
    if (rowChannels == channels)
        return;
    vorlo_count startTrack = x->startTrack;
    sh->rowLead = startTrack;
    sh->rowTrail = rowChannels - channels - startTrack;
    if (startTrack < 0)
        sh->firstChannel = (int)(-startTrack < channels ? -startTrack : channels);
    if (rowChannels - startTrack < channels)
        sh->endChannel = (int)(rowChannels - startTrack > 0 ? rowChannels - startTrack : 0);
}

static void vorlo_shapeFrame(t_vorlo *x, int channels, vorlo_shaping *sh)
{
    sh->limit = x->indexLimit;
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
static void vorlo_writeFrame(t_vorlo *x, const vorlo_frameView *v)
{
    if (!x->isImport) {
        vorlo_count end = x->index + (vorlo_count)v->nbSamples * v->channels;
        if (end > x->seamStart)
            vorlo_replaceFrame<T, true>(x, v);
        else
            vorlo_replaceFrame<T, false>(x, v);
        return;
    }
    vorlo_shaping sh;
    vorlo_shapeFrame(x, v->channels, &sh);
    vorlo_importFrame<T>(x, v, &sh);
}

void vorlo_handleFrame(t_vorlo *x, const AVCodecContext *codecCtx, const AVFrame *frame)
{
    vorlo_frameView v;
    v.format = codecCtx->sample_fmt;
    v.bytes = av_get_bytes_per_sample(v.format);
    v.planar = av_sample_fmt_is_planar(v.format);
    v.planes = frame->extended_data;
    v.nbSamples = frame->nb_samples;
    v.channels = vorlo_ff_frame_channels(frame);
    if (v.nbSamples <= 0 || !x->targetSamples)
        return;
    if (v.channels <= 0 || !v.planes) {
        if (x->isImport && x->shapeFadeout)
            x->fadeoutPos = x->index - x->fadeoutStart;
        return;
    }
    switch (v.bytes ? av_get_packed_sample_fmt(v.format) : AV_SAMPLE_FMT_NONE) {
    case AV_SAMPLE_FMT_U8:
        vorlo_writeFrame<uint8_t>(x, &v);
        break;
    case AV_SAMPLE_FMT_S16:
        vorlo_writeFrame<int16_t>(x, &v);
        break;
    case AV_SAMPLE_FMT_S32:
        vorlo_writeFrame<int32_t>(x, &v);
        break;
    case AV_SAMPLE_FMT_FLT:
        vorlo_writeFrame<float>(x, &v);
        break;
    case AV_SAMPLE_FMT_DBL:
        vorlo_writeFrame<double>(x, &v);
        break;
    default:
        vorlo_writeFrame<vorlo_unreadable>(x, &v);
        break;
    }
}

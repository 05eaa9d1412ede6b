// Another buffer~ as the source of an import or importreplace: its samples are already
// interleaved 32-bit floats, so nothing is decoded. They are copied out in blocks of 1024
// frames into the load's frame, described by a codec context made up for the purpose, and
// go the decoded audio's way: straight to the writer, or through the resampler.
#include "loader.h"

#include <math.h>
#include <string.h>

enum { VORLO_BLOCK_FRAMES = 1024 };

// What the load knows of its source, held by the loader thread.
typedef struct _vorlo_bufferLoad {
    int64_t frames;   // the source's length in frames
    int channels;
    double rate;
    double length;    // the source's length in seconds
} t_vorlo_bufferLoad;

// The source's reference is the instance's, made with the request; the buffer~ is looked at
// through the gate, as at every claim.
static bool vorlo_takeSource(t_vorlo_load *x, t_vorlo_bufferLoad *src)
{
    const char *name = x->request.sourceBuffer->s_name;
    if (x->request.attrs.debug)
        vorlo_post(x, "import from source buffer: %s", name);
    if (!vorlo_enterGate(x))
        return false;
    t_buffer_obj *source = buffer_ref_getobject(x->sourceRef);
    bool itself = source && source == buffer_ref_getobject(x->targetRef);
    if (source) {
        src->frames = buffer_getframecount(source);
        src->channels = (int)buffer_getchannelcount(source);
        src->rate = buffer_getsamplerate(source);
    }
    vorlo_leaveGate(x);
    if (!source) {
        vorlo_error(x, "the source buffer~ does not exist: %s", name);
        return false;
    }
    // The target is resized before the source is read (importreplace) or written while it
    // is read (import): a buffer~ cannot be its own source.
    if (itself) {
        vorlo_error(x, "the source buffer~ is the target buffer~ itself: %s", name);
        return false;
    }
    return true;
}

// The source described as the format of a decoded stream.
static void vorlo_describeSource(t_vorlo_load *x, const t_vorlo_bufferLoad *src)
{
    x->source.rate = (int)src->rate;
    x->source.channels = (int)src->channels;
    x->source.layout = vorlo_ff_default_layout(x->source.channels);
    x->source.format = AV_SAMPLE_FMT_FLT;
}

// The source's length and the section's positions, in seconds; the offset of an import.
static bool vorlo_measureSource(t_vorlo_load *x, t_vorlo_bufferLoad *src)
{
    int rate = x->source.rate;
    src->length = rate > 0 ? (double)src->frames / rate : 0;
    if (rate <= 0 || !(src->length > 0) || x->source.channels <= 0) {
        vorlo_error(x, "Can not calculate length in samples.");
        return false;
    }
    if (!vorlo_resolveSection(x, src->length))
        return false;
    if (x->start >= src->length) {
        vorlo_error(x, "start pos (%lf sec) > length of source (%lf sec).", x->start, src->length);
        return false;
    }
    return true;
}

static bool vorlo_sourceResultFormat(t_vorlo_load *x, const t_vorlo_bufferLoad *src)
{
    if (!vorlo_decideResultFormat(x))
        return false;
    if (!vorlo_limitResult(x, vorlo_sectionFrames(x, src->length - x->start))) {
        vorlo_error(x, "Can not calculate result length in samples");
        return false;
    }
    return true;
}

// The file-properties list of a buffer source: no layout, a fixed word for the codec, and
// the bare name of the source.
static void vorlo_fillSourceProps(t_vorlo_load *x)
{
    atom_setfloat(&x->file_props[0], x->source.rate);
    atom_setlong(&x->file_props[1], x->source.channels);
    atom_setfloat(&x->file_props[2], x->length * 1000);
    atom_setfloat(&x->file_props[3], x->start * 1000);
    atom_setsym(&x->file_props[4], _sym_unspecified);
    atom_setsym(&x->file_props[5], _sym_buffer);
    atom_setsym(&x->file_props[6], x->request.sourceBuffer);
}

static bool vorlo_prepareSource(t_vorlo_load *x, t_vorlo_bufferLoad *src)
{
    if (!vorlo_takeSource(x, src))
        return false;
    vorlo_describeSource(x, src);
    if (!vorlo_measureSource(x, src) || !vorlo_sourceResultFormat(x, src))
        return false;
    vorlo_fillSourceProps(x);
    if (x->request.isImport)
        vorlo_prepareImport(x);
    else if (!vorlo_checkTargetClaimable(x) || vorlo_resizeTarget(x) != VORLO_RESIZE_DONE)
        return false;
    return vorlo_going(x);
}

static bool vorlo_makeBlockFrame(t_vorlo_load *x)
{
    AVFrame *frame = x->frame;
    frame->nb_samples = VORLO_BLOCK_FRAMES;
    frame->format = AV_SAMPLE_FMT_FLT;
    frame->sample_rate = x->source.rate;
    vorlo_ff_set_frame_layout(frame, x->source.layout, x->source.channels);
    if (av_frame_get_buffer(frame, 0) != 0) {
        vorlo_error(x, "could not allocate buffers in frame");
        return false;
    }
    return true;
}

// One block from position `from` (interleaved samples) of the source, under a claim of its
// own as the target's writes are; past its end the block is silence, so that a resampler's
// delay never leaves the copy short of input.
static bool vorlo_fillBlock(t_vorlo_load *x, const t_vorlo_bufferLoad *src, int64_t from)
{
    t_buffer_obj *b;
    float *source;
    if (!vorlo_claimSamples(x, x->sourceRef, src->frames, src->channels, "source", x->request.sourceBuffer, &b, &source))
        return false;
    float *block = (float *)x->frame->extended_data[0];
    int64_t count = (int64_t)VORLO_BLOCK_FRAMES * src->channels;
    int64_t total = src->frames * src->channels;
    int64_t copied = total - from < 0 ? 0 : total - from < count ? total - from : count;
    if (copied > 0)
        memcpy(block, source + from, (size_t)copied * sizeof(float));
    vorlo_releaseSamples(x, b);
    if (copied < count)
        memset(block + copied, 0, (size_t)(count - copied) * sizeof(float));
    return true;
}

static void vorlo_writeBlock(t_vorlo_load *x)
{
    if (!vorlo_claimTarget(x))
        return;
    if (!vorlo_writeDecodedFrame(x, x->frame))
        x->writeFailed = 1;
    vorlo_unlockTarget(x);
}

// The copy ends when the target's section is written or a stop is asked for; false when a
// block wrote nothing and nothing waits in the resampler, which would never end. (A
// resampler that reduces the rate 32 times or more holds back all it makes of a first
// block: that is no failure.)
static bool vorlo_copyBlocks(t_vorlo_load *x, const t_vorlo_bufferLoad *src)
{
    int64_t position = (int64_t)floor(x->start * x->source.rate + 0.5) * src->channels;
    bool listSent = false;
    while (x->index < x->indexLimit) {
        if (vorlo_fillBlock(x, src, position))
            vorlo_writeBlock(x);
        position += src->channels * VORLO_BLOCK_FRAMES;
        if (!vorlo_going(x) || x->writeFailed)
            return true;
        if (x->index == 0 && !vorlo_resamplerHolds(x)) {
            vorlo_error(x, "index didn't increase");
            return false;
        }
        if (x->index == 0)
            continue;
        if (!listSent) {
            vorlo_raise(x, VORLO_NOTE_STARTREAD);
            listSent = true;
        }
    }
    return true;
}

bool vorlo_loadFromBuffer(t_vorlo_load *x)
{
    t_vorlo_bufferLoad src = {0, 0, 0, 0};
    if (!vorlo_prepareSource(x, &src))
        return false;
    x->index = 0;
    if (!vorlo_makeBlockFrame(x) || !vorlo_lockTarget(x))
        return false;
    vorlo_makeWriter(x);
    if (!vorlo_copyBlocks(x, &src)) {
        vorlo_setTargetDirty(x);
        return false;
    }
    return true;
}

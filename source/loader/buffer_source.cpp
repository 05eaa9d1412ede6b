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
    double length;    // the source's length in seconds
    double start;     // seconds
} t_vorlo_bufferLoad;

// The reference and the object are taken together under the mutex, so that the notification
// of the source's free finds both or neither.
static bool vorlo_takeSource(t_vorlo *x)
{
    t_symbol *name = gensym(x->sourceSym->s_name + strlen("buffer="));
    if (x->attrs.debug)
        object_post(&x->ob, "import from source buffer: %s", name->s_name);
    systhread_mutex_lock(x->mutex);
    x->sourceSym = name;
    object_free(x->source_buffer_ref);
    x->source_buffer_ref = buffer_ref_new(&x->ob, name);
    x->source_buffer_obj = buffer_ref_getobject(x->source_buffer_ref);
    systhread_mutex_unlock(x->mutex);
    if (!x->source_buffer_obj) {
        object_error(&x->ob, "the source buffer~ does not exist: %s", name->s_name);
        return false;
    }
    // The target is resized before the source is read (importreplace) or written while it
    // is read (import): a buffer~ cannot be its own source.
    if (x->buffer_obj == x->source_buffer_obj) {
        object_error(&x->ob, "the source buffer~ is the target buffer~ itself: %s", x->sourceSym->s_name);
        return false;
    }
    return true;
}

// The source described as a decoder's context would describe decoded audio.
static bool vorlo_describeSource(t_vorlo *x)
{
    x->codecCtx = avcodec_alloc_context3(nullptr);
    if (!x->codecCtx) {
        object_error(&x->ob, "Could not allocate a decoding context.\n-> %s", x->sourceSym->s_name);
        return false;
    }
    int channels = (int)buffer_getchannelcount(x->source_buffer_obj);
    vorlo_ff_set_ctx_layout(x->codecCtx, vorlo_ff_default_layout(channels), channels);
    x->codecCtx->sample_rate = (int)buffer_getsamplerate(x->source_buffer_obj);
    x->codecCtx->sample_fmt = AV_SAMPLE_FMT_FLT;
    return true;
}

// The source's length and the section's positions, in seconds; the offset of an import.
static bool vorlo_measureSource(t_vorlo *x, t_vorlo_bufferLoad *load)
{
    int rate = x->codecCtx->sample_rate;
    load->frames = buffer_getframecount(x->source_buffer_obj);
    load->channels = vorlo_ff_channels(x->codecCtx);
    load->length = rate > 0 ? (double)load->frames / rate : 0;
    if (rate <= 0 || !(load->length > 0) || vorlo_ff_channels(x->codecCtx) <= 0) {
        object_error(&x->ob, "Can not calculate length in samples.");
        return false;
    }
    load->start = vorlo_seconds(x->startPos, x->startUnit, load->length, 0);
    x->length = vorlo_seconds(x->length, x->lengthUnit, load->length, vorlo_targetSeconds(x));
    x->writeOffset = 0;
    if (x->isImport && !vorlo_placeImport(x))
        return false;
    if (x->length == 0 || x->length > load->length - load->start)
        x->length = load->length - load->start;
    if (load->start >= load->length) {
        object_error(&x->ob, "start pos (%lf sec) > length of source (%lf sec).", load->start, load->length);
        return false;
    }
    return true;
}

static bool vorlo_sourceResultFormat(t_vorlo *x, const t_vorlo_bufferLoad *load)
{
    if (!vorlo_decideResultFormat(x))
        return false;
    if (!vorlo_limitResult(x, vorlo_sectionFrames(x, load->length - load->start))) {
        object_error(&x->ob, "Can not calculate result length in samples");
        return false;
    }
    return true;
}

// The file-properties list of a buffer source: no layout, a fixed word for the codec, and
// the bare name of the source.
static void vorlo_fillSourceProps(t_vorlo *x, const t_vorlo_bufferLoad *load)
{
    atom_setfloat(&x->file_props[0], x->codecCtx->sample_rate);
    atom_setlong(&x->file_props[1], vorlo_ff_channels(x->codecCtx));
    atom_setfloat(&x->file_props[2], x->length * 1000);
    atom_setfloat(&x->file_props[3], load->start * 1000);
    atom_setsym(&x->file_props[4], _sym_unspecified);
    atom_setsym(&x->file_props[5], _sym_buffer);
    atom_setsym(&x->file_props[6], x->sourceSym);
}

static bool vorlo_prepareSource(t_vorlo *x, t_vorlo_bufferLoad *load)
{
    if (!vorlo_takeSource(x) || !vorlo_describeSource(x))
        return false;
    if (!vorlo_measureSource(x, load) || !vorlo_sourceResultFormat(x, load))
        return false;
    vorlo_fillSourceProps(x, load);
    if (x->isImport)
        vorlo_prepareImport(x);
    else if (vorlo_resizeTarget(x) != VORLO_RESIZE_DONE)
        return false;
    return vorlo_going(x);
}

static bool vorlo_makeBlockFrame(t_vorlo *x)
{
    AVFrame *frame = x->frame;
    frame->nb_samples = VORLO_BLOCK_FRAMES;
    frame->format = AV_SAMPLE_FMT_FLT;
    frame->sample_rate = x->codecCtx->sample_rate;
    vorlo_ff_set_frame_layout(frame, vorlo_ff_ctx_layout(x->codecCtx), vorlo_ff_channels(x->codecCtx));
    if (av_frame_get_buffer(frame, 0) != 0) {
        object_error(&x->ob, "could not allocate buffers in frame");
        return false;
    }
    return true;
}

// One block from position `from` (interleaved samples) of the source, under a claim of its
// own as the target's writes are; past its end the block is silence, so that a resampler's
// delay never leaves the copy short of input.
static bool vorlo_fillBlock(t_vorlo *x, const t_vorlo_bufferLoad *load, int64_t from)
{
    float *source;
    if (!vorlo_claimSamples(x, x->source_buffer_obj, load->frames, load->channels, "source", x->sourceSym, &source))
        return false;
    float *block = (float *)x->frame->extended_data[0];
    int64_t count = (int64_t)VORLO_BLOCK_FRAMES * load->channels;
    int64_t total = load->frames * load->channels;
    int64_t copied = total - from < 0 ? 0 : total - from < count ? total - from : count;
    if (copied > 0)
        memcpy(block, source + from, (size_t)copied * sizeof(float));
    buffer_unlocksamples(x->source_buffer_obj);
    if (copied < count)
        memset(block + copied, 0, (size_t)(count - copied) * sizeof(float));
    return true;
}

static void vorlo_writeBlock(t_vorlo *x)
{
    if (!vorlo_claimTarget(x))
        return;
    vorlo_writeDecodedFrame(x, x->codecCtx, x->frame);
    vorlo_unlockTarget(x);
}

// The copy ends when the target's section is written or a stop is asked for; false when a
// block wrote nothing and nothing waits in the resampler, which would never end. (A
// resampler that reduces the rate 32 times or more holds back all it makes of a first
// block: that is no failure.)
static bool vorlo_copyBlocks(t_vorlo *x, const t_vorlo_bufferLoad *load)
{
    int64_t position = (int64_t)floor(load->start * x->codecCtx->sample_rate + 0.5) * load->channels;
    bool listSent = false;
    while (x->index < x->indexLimit) {
        if (vorlo_fillBlock(x, load, position))
            vorlo_writeBlock(x);
        position += load->channels * VORLO_BLOCK_FRAMES;
        if (!vorlo_going(x) || x->writeFailed)
            return true;
        if (x->index == 0 && !vorlo_resamplerHolds(x)) {
            object_error(&x->ob, "index didn't increase");
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

bool vorlo_loadFromBuffer(t_vorlo *x)
{
    t_vorlo_bufferLoad load = {0, 0, 0, 0};
    if (!vorlo_prepareSource(x, &load))
        return false;
    x->index = 0;
    if (!vorlo_makeBlockFrame(x) || !vorlo_lockTarget(x))
        return false;
    if (!vorlo_copyBlocks(x, &load)) {
        buffer_setdirty(x->buffer_obj);
        return false;
    }
    return true;
}

// The loader thread: opens a file with FFmpeg, measures it, has the target buffer~ sized,
// and decodes the file into it in one or two runs. Every load ends through exactly one of
// three ends: the normal end (the target was locked), the info end, or the error exit.
#include "object_record.h"

#include <limits.h>
#include <math.h>
#include <string.h>

// Decoding starts this long before the first sample that is needed, or longer where the
// codec states a longer pre-roll, so that a lossy decoder has settled when it gets there.
static const double VORLO_MIN_PREROLL = 0.05;
// Packets decoded from the beginning to learn where the stream's first sample lies.
static const int VORLO_PROBE_PACKETS = 64;
// The write position of a run that has not yet met a frame with a time stamp: the writer
// drops everything written there.
static const vorlo_count VORLO_UNPLACED = INT64_MIN / 4;

enum { VORLO_RUN_EOF, VORLO_RUN_LIMIT, VORLO_RUN_ABORTED, VORLO_RUN_FAILED };

// Working values of one load, held by the loader thread.
typedef struct _vorlo_load {
    char path[MAX_PATH_CHARS];  // the conformed path that FFmpeg opens and messages quote
    double fileLength;          // seconds
    double start;               // seconds
    double seektime;            // seconds: where the first run begins
    double preroll;             // seconds decoded ahead of the first sample needed
    int listSent;
    int badPackets;             // never reset within a load
    int seeked;                 // the first run begins after a seek, not at the input's beginning
    int pendingPacket;          // x->packet holds the run's first packet, read to check the seek
    int failed;                 // a read, decode or seek failure cut the load short
} t_vorlo_load;

static bool vorlo_going(t_vorlo *x)
{
    return x->abort_request == 0;
}

// FFmpeg polls this while it opens, probes and reads, so that a stalled input (a network
// path, a pipe) never holds up the stop sequence.
static int vorlo_interrupted(void *opaque)
{
    return ((t_vorlo *)opaque)->abort_request != 0;
}

static AVStream *vorlo_stream(t_vorlo *x)
{
    return x->formatCtx->streams[x->streamIndex];
}

// --- the three ends -------------------------------------------------------------------

// Releases what the load owns, whichever way it ends.
static void vorlo_releaseLoad(t_vorlo *x)
{
    av_packet_unref(&x->packet);
    avcodec_free_context(&x->codecCtx);
    avformat_close_input(&x->formatCtx);
    swr_free(&x->swrCtx);
    object_free(x->dictFilepath);
    x->dictFilepath = nullptr;
}

static void vorlo_closeTrace(t_vorlo *x, const char *reason)
{
    if (!x->debug)
        return;
    object_post(&x->ob, "%s", reason);
    object_post(nullptr, " ");
}

// Reached once the target samples are locked: what was written stays. A load cut short by
// a failure ends with the error bang; one stopped by a stop request with the done bang.
static void vorlo_normalEnd(t_vorlo *x, const t_vorlo_load *load)
{
    bool failed = (load->failed || x->loadFailed) && vorlo_going(x);
    vorlo_unlockTarget(x);
    vorlo_releaseLoad(x);
    buffer_setdirty(x->buffer_obj);
    vorlo_releaseTarget(x);
    vorlo_closeTrace(x, failed ? "load cut short: what was written is kept" : "SUCCESS");
    vorlo_raise(x, failed ? VORLO_NOTE_ERR : VORLO_NOTE_DONE);
    systhread_exit(0);
}

static void vorlo_infoEnd(t_vorlo *x)
{
    vorlo_releaseLoad(x);
    vorlo_releaseTarget(x);
    vorlo_closeTrace(x, "SUCCESS");
    vorlo_raise(x, VORLO_NOTE_STARTREAD);
    systhread_exit(0);
}

// Every failure before the target was locked, and every stop before decoding.
static void vorlo_errorExit(t_vorlo *x)
{
    vorlo_releaseLoad(x);
    if (vorlo_going(x)) {
        vorlo_closeTrace(x, "aborting thread ! reason: -Error-");
        vorlo_raise(x, VORLO_NOTE_ERR);
    } else {
        vorlo_closeTrace(x, "aborting thread ! reason: -Abort Request-");
    }
    vorlo_releaseTarget(x);
    object_free(x->source_buffer_ref);
    x->source_buffer_ref = nullptr;
    systhread_exit(0);
}

// --- opening ---------------------------------------------------------------------------

static bool vorlo_checkRequest(t_vorlo *x)
{
    if (x->sourceIsBuffer) {
        object_error(&x->ob, "loading from a buffer~ source is not available yet: %s", x->sourceSym->s_name);
        return false;
    }
    if (x->isImport) {
        object_error(&x->ob, "the import message is not available yet: use replace or importreplace");
        return false;
    }
    if (!x->frame || !x->resampledFrame) {
        object_error(&x->ob, "no frame to decode into: memory was short when the object was made");
        return false;
    }
    return true;
}

static bool vorlo_conformPath(t_vorlo *x, t_vorlo_load *load)
{
    const char *source = x->dictFilepath ? string_getptr(x->dictFilepath) : x->sourceSym->s_name;
    atom_setsym(&x->file_props[6], x->dictFilepath ? _sym_dictionary : x->sourceSym);
    size_t length = strlen(source);
    bool conformed = length < MAX_PATH_CHARS &&
                     path_nameconform(source, load->path, PATH_STYLE_NATIVE, PATH_TYPE_BOOT) == 0;
    if (length >= MAX_PATH_CHARS)
        object_error(&x->ob, "the file path is too long: %ld characters, at most %d are possible",
                     (long)length, MAX_PATH_CHARS - 1);
    else if (!conformed)
        object_error(&x->ob, "Error opening file.-> %s", source);
    object_free(x->dictFilepath);
    x->dictFilepath = nullptr;
    if (conformed && x->debug)
        object_post(&x->ob, "conformed Path: %s", load->path);
    return conformed;
}

// Opens the input and reads its stream information; 0, an FFmpeg error, or AVERROR_EXIT
// when a stop came first.
static int vorlo_openInput(t_vorlo *x, const t_vorlo_load *load)
{
    x->formatCtx = avformat_alloc_context();
    if (!x->formatCtx)
        return AVERROR(ENOMEM);
    x->formatCtx->interrupt_callback.callback = vorlo_interrupted;
    x->formatCtx->interrupt_callback.opaque = x;
    int ret = avformat_open_input(&x->formatCtx, load->path, nullptr, nullptr);
    if (ret != 0 || !vorlo_going(x))
        return ret != 0 ? ret : AVERROR_EXIT;
    avformat_find_stream_info(x->formatCtx, nullptr);
    return vorlo_going(x) ? 0 : AVERROR_EXIT;
}

static bool vorlo_open(t_vorlo *x, const t_vorlo_load *load)
{
    int ret = vorlo_openInput(x, load);
    if (ret != 0 && vorlo_going(x))
        object_error(&x->ob, "Error opening file.-> %s", load->path);
    return ret == 0;
}

static bool vorlo_chooseStream(t_vorlo *x, const t_vorlo_load *load, vorlo_ff_decoder *decoder)
{
    int wanted = x->stream_nb > INT_MAX ? INT_MAX : x->stream_nb < -1 ? -1 : (int)x->stream_nb;
    *decoder = nullptr;
    x->streamIndex = av_find_best_stream(x->formatCtx, AVMEDIA_TYPE_AUDIO, wanted, -1, decoder, 0);
    if (x->streamIndex == AVERROR_DECODER_NOT_FOUND || (x->streamIndex >= 0 && !*decoder)) {
        object_error(&x->ob, "Decoder not found. The codec is not supported.\n-> %s", load->path);
        return false;
    }
    if (x->streamIndex < 0) {
        object_error(&x->ob, "None of the available streams are audio streams.\n-> %s", load->path);
        return false;
    }
    if (x->debug)
        object_post(&x->ob, "-->using stream %i.  (%i available)", x->streamIndex, (int)x->formatCtx->nb_streams);
    return vorlo_going(x);
}

static bool vorlo_openDecoder(t_vorlo *x, const t_vorlo_load *load, vorlo_ff_decoder decoder)
{
    x->codecCtx = avcodec_alloc_context3(decoder);
    if (!x->codecCtx) {
        object_error(&x->ob, "Could not allocate a decoding context.\n-> %s", load->path);
        return false;
    }
    if (avcodec_parameters_to_context(x->codecCtx, vorlo_stream(x)->codecpar) != 0) {
        object_error(&x->ob, "Could not fill the codecCtx with the parameters.\n-> %s", load->path);
        return false;
    }
    // With the stream's time base the decoder keeps frame time stamps right when it trims
    // the samples of an encoder's delay.
    x->codecCtx->pkt_timebase = vorlo_stream(x)->time_base;
    const AVCodecDescriptor *descriptor = avcodec_descriptor_get(x->codecCtx->codec_id);
    const char *name = descriptor ? descriptor->name : "unknown";
    if (x->debug)
        object_post(&x->ob, "codec name: %s\n", name);
    atom_setsym(&x->file_props[5], gensym(name));
    x->codecCtx->request_sample_fmt = av_get_alt_sample_fmt(x->codecCtx->sample_fmt, 0);
    if (avcodec_open2(x->codecCtx, decoder, nullptr) != 0) {
        object_error(&x->ob, "Failed to initialize the decoder.\n-> %s", load->path);
        return false;
    }
    return vorlo_going(x);
}

// --- measuring --------------------------------------------------------------------------

static double vorlo_percent(double value)
{
    return value < 0 ? 0 : value > 100 ? 100 : value;
}

// A request position in seconds; 0 means not given and is never converted.
static double vorlo_seconds(double value, int32_t unit, double pctOf, double bufpctOf)
{
    if (value == 0)
        return 0;
    switch (unit) {
    case VORLO_UNIT_SEC: return value;
    case VORLO_UNIT_MS: return value / 1000;
    case VORLO_UNIT_PCT: return vorlo_percent(value) * pctOf / 100;
    case VORLO_UNIT_BUFPCT: return vorlo_percent(value) * bufpctOf / 100;
    default: return 0;
    }
}

static bool vorlo_measure(t_vorlo *x, t_vorlo_load *load)
{
    AVStream *stream = vorlo_stream(x);
    load->fileLength = stream->duration * av_q2d(stream->time_base);
    if (!(load->fileLength > 0))
        load->fileLength = x->formatCtx->duration / (double)AV_TIME_BASE;
    if (x->codecCtx->sample_rate < 1 || !(load->fileLength > 0) || vorlo_ff_channels(x->codecCtx) < 1) {
        object_error(&x->ob, "Can not calculate length in samples for this file.-> %s", load->path);
        return false;
    }
    double bufferLength = x->targetSr > 0 ? x->targetFrames / x->targetSr : 0;
    load->start = vorlo_seconds(x->startPos, x->startUnit, load->fileLength, 0);
    // A start before the file's beginning means its beginning.
    if (!(load->start > 0))
        load->start = 0;
    x->length = vorlo_seconds(x->length, x->lengthUnit, load->fileLength, bufferLength);
    x->writeOffset = 0;
    double preroll = (double)stream->codecpar->seek_preroll / x->codecCtx->sample_rate;
    load->preroll = preroll > VORLO_MIN_PREROLL ? preroll : VORLO_MIN_PREROLL;
    return true;
}

static bool vorlo_seekTime(t_vorlo *x, t_vorlo_load *load)
{
    if (x->isImportReplace) {
        double rest = load->fileLength - load->start;
        if (x->length == 0 || x->length > rest)
            x->length = rest;
        if (load->start >= load->fileLength) {
            object_error(&x->ob, "requested start pos (%lf sec) > length of file (%lf sec).", load->start,
                         load->fileLength);
            return false;
        }
        load->seektime = load->start - load->preroll;
    } else {
        load->seektime = load->start - x->length - load->preroll;
    }
    if (!(load->seektime > 0))
        load->seektime = 0;
    if (x->debug)
        object_post(&x->ob, "seektimeInSec %f  (%f - %g sec)", load->seektime, load->start, load->preroll);
    return true;
}

static bool vorlo_resultFormat(t_vorlo *x, const t_vorlo_load *load)
{
    vorlo_validateRouting(x);
    if (x->requestedChannels < 0) {
        object_error(&x->ob, "the channels asked for are more than a buffer~ can take.-> %s", load->path);
        return false;
    }
    int32_t rateIndex = vorlo_resultRateIndex(x);
    x->resultSampleRate = rateIndex ? vorlo_samplerates[rateIndex] : x->codecCtx->sample_rate;
    x->resultChannels = x->requestedChannels ? x->requestedChannels : vorlo_ff_channels(x->codecCtx);
    double duration = load->fileLength;
    if (x->isImportReplace && x->length < duration)
        duration = x->length;
    double frames = floor(x->resultSampleRate * duration + 0.5);
    // A length beyond any buffer's reach is as unusable as none.
    if (!(frames >= 1) || frames * x->resultChannels > (double)(INT64_MAX / 2)) {
        object_error(&x->ob, "Can not calculate length in samples for this file.-> %s", load->path);
        return false;
    }
    x->indexLimit = (vorlo_count)frames * x->resultChannels;
    return true;
}

// Atom 5: the names of the channels, or "unspecified" when the decoder gives no layout.
static t_symbol *vorlo_layoutNames(t_vorlo *x)
{
    uint64_t mask = vorlo_ff_ctx_layout(x->codecCtx);
    if (!mask)
        return _sym_unspecified;
    t_string *names = string_new("");
    char name[64];
    for (int i = 0; i < vorlo_ff_channels(x->codecCtx); i++) {
        vorlo_ff_channel_name(mask, i, name, sizeof name);
        if (i > 0)
            string_append(names, " ");
        string_append(names, name);
    }
    t_symbol *joined = gensym(string_getptr(names));
    object_free(names);
    return joined;
}

static void vorlo_fillProps(t_vorlo *x, const t_vorlo_load *load)
{
    atom_setfloat(&x->file_props[0], x->codecCtx->sample_rate);
    atom_setlong(&x->file_props[1], vorlo_ff_channels(x->codecCtx));
    atom_setfloat(&x->file_props[2], (x->isImportReplace ? x->length : load->fileLength) * 1000);
    atom_setfloat(&x->file_props[3], load->start * 1000);
    atom_setsym(&x->file_props[4], vorlo_layoutNames(x));
}

// Everything from the request to the file-properties list; false leads to the error exit.
static bool vorlo_prepare(t_vorlo *x, t_vorlo_load *load)
{
    vorlo_ff_decoder decoder = nullptr;
    if (!vorlo_going(x) || !vorlo_checkRequest(x) || !vorlo_conformPath(x, load) || !vorlo_open(x, load) ||
        !vorlo_chooseStream(x, load, &decoder) || !vorlo_openDecoder(x, load, decoder) ||
        !vorlo_measure(x, load) || !vorlo_seekTime(x, load) || !vorlo_resultFormat(x, load))
        return false;
    vorlo_fillProps(x, load);
    return true;
}

// --- reaching the first run's start --------------------------------------------------

// The next packet of the chosen stream into x->packet: 0, AVERROR_EOF or an error.
static int vorlo_nextPacket(t_vorlo *x, t_vorlo_load *load)
{
    if (load->pendingPacket) {
        load->pendingPacket = 0;
        return 0;
    }
    for (;;) {
        int ret = av_read_frame(x->formatCtx, &x->packet);
        if (ret < 0 || x->packet.stream_index == x->streamIndex)
            return ret;
        av_packet_unref(&x->packet);
    }
}

static int64_t vorlo_frameTime(const AVFrame *frame)
{
    return frame->pts != AV_NOPTS_VALUE ? frame->pts : frame->best_effort_timestamp;
}

// Receives the frames that the decoder has ready; true once one of them has a time stamp,
// which then fixes the origin (less the samples of the frames before it).
static bool vorlo_originFromFrames(t_vorlo *x, int64_t *samplesBefore)
{
    AVRational perSample = {1, x->codecCtx->sample_rate};
    while (avcodec_receive_frame(x->codecCtx, x->frame) == 0) {
        int64_t ts = vorlo_frameTime(x->frame);
        int samples = x->frame->nb_samples;
        av_frame_unref(x->frame);
        if (ts != AV_NOPTS_VALUE) {
            x->anchorOrigin = ts - av_rescale_q(*samplesBefore, perSample, vorlo_stream(x)->time_base);
            return true;
        }
        *samplesBefore += samples;
    }
    return false;
}

// A decoded frame's time stamp is the same whether the decoding began at the start or
// after a seek, but the stream's first sample need not lie at 0 (encoder priming, trimmed
// starts, streams that start late): decoding the first packets tells where it lies.
static bool vorlo_probeOrigin(t_vorlo *x, t_vorlo_load *load)
{
    int64_t samplesBefore = 0;
    bool found = false;
    for (int packets = 0; !found && packets < VORLO_PROBE_PACKETS && vorlo_going(x); packets++) {
        if (vorlo_nextPacket(x, load) < 0)
            break;
        int ret = avcodec_send_packet(x->codecCtx, &x->packet);
        av_packet_unref(&x->packet);
        found = ret == 0 && vorlo_originFromFrames(x, &samplesBefore);
    }
    avcodec_flush_buffers(x->codecCtx);
    if (!found)
        x->anchorOrigin = vorlo_stream(x)->start_time != AV_NOPTS_VALUE ? vorlo_stream(x)->start_time : 0;
    return vorlo_going(x);
}

// Opens the input afresh: the sure way back to its beginning, priming and all.
static int vorlo_reopen(t_vorlo *x, t_vorlo_load *load)
{
    avformat_close_input(&x->formatCtx);
    avcodec_flush_buffers(x->codecCtx);
    load->seeked = 0;
    load->pendingPacket = 0;
    int ret = vorlo_openInput(x, load);
    if (ret == 0 && ((unsigned)x->streamIndex >= x->formatCtx->nb_streams ||
                     vorlo_stream(x)->codecpar->codec_type != AVMEDIA_TYPE_AUDIO))
        ret = AVERROR_STREAM_NOT_FOUND;
    return ret;
}

// Decoding begins at the input's beginning after all.
static bool vorlo_restart(t_vorlo *x, t_vorlo_load *load)
{
    int ret = vorlo_reopen(x, load);
    if (ret != 0 && vorlo_going(x))
        object_error(&x->ob, "Error opening file.-> %s", load->path);
    return ret == 0;
}

// Seeks to at or before the first run's start and checks where the input landed: a seek
// that lands after its target, or fails, leaves decoding to begin at the beginning.
static bool vorlo_seekFirstRun(t_vorlo *x, t_vorlo_load *load)
{
    if (load->seektime <= 0)
        return true;
    AVStream *stream = vorlo_stream(x);
    // Time stamps coarser than a sample (Matroska's milliseconds) cannot tell where a frame
    // met after a seek belongs: such a stream is decoded from its beginning.
    if ((int64_t)stream->time_base.num * x->codecCtx->sample_rate > stream->time_base.den) {
        if (x->debug)
            object_post(&x->ob, "time stamps coarser than a sample: decoding from the beginning");
        return true;
    }
    if (!vorlo_probeOrigin(x, load))
        return false;
    int64_t target = x->anchorOrigin +
                     av_rescale_q((int64_t)(load->seektime * AV_TIME_BASE), AV_TIME_BASE_Q, stream->time_base);
    int ret = av_seek_frame(x->formatCtx, x->streamIndex, target, AVSEEK_FLAG_BACKWARD);
    if (!vorlo_going(x))
        return false;
    if (ret < 0) {
        object_error(&x->ob, "error %s while seeking %s , trying to resume.\n", vorlo_errtext(ret), load->path);
        return vorlo_restart(x, load);
    }
    avcodec_flush_buffers(x->codecCtx);
    if (vorlo_nextPacket(x, load) < 0)
        return vorlo_restart(x, load);
    int64_t landed = x->packet.pts != AV_NOPTS_VALUE ? x->packet.pts : x->packet.dts;
    if (landed != AV_NOPTS_VALUE && landed > target) {
        av_packet_unref(&x->packet);
        if (x->debug)
            object_post(&x->ob, "the seek landed after its target: decoding from the beginning");
        return vorlo_restart(x, load);
    }
    load->pendingPacket = 1;
    load->seeked = 1;
    return vorlo_going(x);
}

// --- decoding ---------------------------------------------------------------------------

// A run places its frames afresh: from the stream's start when it begins at the input's
// beginning, otherwise where its first time-stamped frame says.
static void vorlo_beginRun(t_vorlo *x, const t_vorlo_load *load, bool firstRun)
{
    bool atBeginning = !firstRun || !load->seeked;
    x->anchored = 0;
    x->runStartIndex = VORLO_UNPLACED;
    x->anchorSkipFrames = firstRun && x->isImportReplace ? (vorlo_count)floor(load->start * x->resultSampleRate + 0.5) : 0;
    x->index = atBeginning ? -x->anchorSkipFrames * x->resultChannels : VORLO_UNPLACED;
}

void vorlo_anchorFrame(t_vorlo *x, const AVFrame *frame)
{
    if (x->anchored)
        return;
    int64_t ts = vorlo_frameTime(frame);
    if (ts == AV_NOPTS_VALUE)
        return;  // it follows the frame before it
    AVRational timeBase = vorlo_stream(x)->time_base;
    AVRational perSample = {1, x->resultSampleRate};
    if (x->anchorOrigin == AV_NOPTS_VALUE) {
        // The run began at the input's beginning: the frames before this one tell where it lies.
        vorlo_count before = x->index == VORLO_UNPLACED ? 0 : x->index / x->resultChannels + x->anchorSkipFrames;
        x->anchorOrigin = ts - av_rescale_q(before, perSample, timeBase);
    }
    vorlo_count frames = av_rescale_q(ts - x->anchorOrigin, timeBase, perSample);
    x->index = (frames - x->anchorSkipFrames) * x->resultChannels;
    x->anchored = 1;
    if (x->runStartIndex == VORLO_UNPLACED) {
        x->runStartIndex = x->index;
        if (x->anchorSkipFrames > 0 && x->index > 0)
            object_warn(&x->ob, "targetSeekTimeInSec < startInSeconds. The start index will be incorrect!");
    }
    if (x->debug) {
        object_post(&x->ob, "start time %lf", (ts - x->anchorOrigin) * av_q2d(timeBase));
        object_post(&x->ob, "start index %lld (sr: %i, ch: %i)", (long long)x->index, x->resultSampleRate,
                    x->resultChannels);
    }
}

static void vorlo_dropPacket(t_vorlo *x, t_vorlo_load *load, int err)
{
    char text[256];
    av_strerror(err, text, sizeof text);
    load->badPackets++;
    if (x->debug)
        object_post(&x->ob, "dropped bad packet. error: %s bad packet count: %i", text, load->badPackets);
    x->anchored = 0;  // the next frame places itself by its own time stamp
}

static void vorlo_announceStart(t_vorlo *x, t_vorlo_load *load)
{
    if (load->listSent)
        return;
    double threshold = x->isImportReplace ? 1 : (double)x->resultChannels * x->resultSampleRate * load->start;
    if (x->index >= threshold) {
        vorlo_raise(x, VORLO_NOTE_STARTREAD);
        load->listSent = 1;
    }
}

// Feeds packets to the decoder and decoded frames to the writer until the input ends,
// index reaches stopIndex, a stop is asked for or something fails.
static int vorlo_run(t_vorlo *x, t_vorlo_load *load, vorlo_count stopIndex)
{
    for (;;) {
        int ret = vorlo_nextPacket(x, load);
        if (ret == AVERROR_EOF)
            return VORLO_RUN_EOF;
        if (ret < 0 && !vorlo_going(x))
            return VORLO_RUN_ABORTED;  // the read was cut short by the stop
        if (ret < 0) {
            object_error(&x->ob, "Read frame error %i", ret);
            load->failed = 1;
            return VORLO_RUN_FAILED;
        }
        ret = avcodec_send_packet(x->codecCtx, &x->packet);
        av_packet_unref(&x->packet);
        if (ret != 0) {
            vorlo_dropPacket(x, load, ret);
            continue;
        }
        ret = vorlo_receiveAndHandle(x, x->codecCtx, x->frame);
        if (ret != AVERROR(EAGAIN)) {
            object_error(&x->ob, "Receive decoded frame error %i", ret);
            load->failed = 1;
            return VORLO_RUN_FAILED;
        }
        if (!vorlo_going(x))
            return VORLO_RUN_ABORTED;
        if (x->loadFailed)
            return VORLO_RUN_FAILED;
        vorlo_announceStart(x, load);
        if (x->index >= stopIndex)
            return VORLO_RUN_LIMIT;
    }
}

// Sending no packet asks the decoder for the frames it still holds.
static void vorlo_drain(t_vorlo *x, t_vorlo_load *load)
{
    if (avcodec_send_packet(x->codecCtx, nullptr) != 0) {
        object_error(&x->ob, "Send-error while draining decoder");
        load->failed = 1;
        return;
    }
    int ret = vorlo_receiveAndHandle(x, x->codecCtx, x->frame);
    if (ret != AVERROR_EOF && ret != AVERROR(EAGAIN)) {
        object_error(&x->ob, "Receive-error while draining decoder");
        load->failed = 1;
    }
}

// A stream can end before the length its container gave: the rest of the buffer is made
// silent rather than left holding what it held before.
static void vorlo_silenceTail(t_vorlo *x)
{
    for (vorlo_count i = x->index > 0 ? x->index : 0; i < x->indexLimit; i++)
        x->targetSamples[i] = 0.0f;
}

static void vorlo_firstRun(t_vorlo *x, t_vorlo_load *load)
{
    vorlo_beginRun(x, load, true);
    int end = vorlo_run(x, load, x->indexLimit);
    if (!vorlo_going(x))
        return;
    if (end == VORLO_RUN_LIMIT && x->debug)
        object_post(&x->ob, "Decoding done! (first run)");
    vorlo_drain(x, load);
    vorlo_flushResampler(x, x->codecCtx);
    if (end == VORLO_RUN_EOF && !x->loadFailed)
        vorlo_silenceTail(x);
}

// A replace that began past the beginning decodes the beginning afterwards, on into the
// first run's start far enough to cover the decoder's settling there.
static void vorlo_secondRun(t_vorlo *x, t_vorlo_load *load)
{
    if (!load->listSent) {
        vorlo_raise(x, VORLO_NOTE_STARTREAD);
        load->listSent = 1;
    }
    if (x->debug)
        object_post(&x->ob, "Now we decode first half of file! (second run)");
    vorlo_count firstStart = x->runStartIndex;
    if (vorlo_reopen(x, load) != 0) {
        if (vorlo_going(x)) {
            object_error(&x->ob, "error while seeking to 0 of %s ", load->path);
            load->failed = 1;
        }
        return;
    }
    vorlo_resetResampler(x);
    vorlo_count overlap = (vorlo_count)ceil(load->preroll * x->resultSampleRate) * x->resultChannels;
    vorlo_count stop = firstStart == VORLO_UNPLACED ? x->indexLimit : firstStart + overlap;
    vorlo_count limit = x->indexLimit;
    // What lies past the stop has been written by the first run.
    if (stop < limit)
        x->indexLimit = stop;
    vorlo_beginRun(x, load, false);
    if (vorlo_run(x, load, x->indexLimit) == VORLO_RUN_LIMIT && x->debug)
        object_post(&x->ob, "Decoding done! (second run)");
    x->indexLimit = limit;
}

void *vorlo_threadproc_load(t_vorlo *x)
{
    t_vorlo_load load;
    memset(&load, 0, sizeof load);
    x->loadFailed = 0;
    x->anchorOrigin = AV_NOPTS_VALUE;
    if (!vorlo_prepare(x, &load)) {
        vorlo_errorExit(x);
        return nullptr;
    }
    if (x->isInfo) {
        vorlo_infoEnd(x);
        return nullptr;
    }
    if (!vorlo_seekFirstRun(x, &load) || !vorlo_going(x) || vorlo_resizeTarget(x) != VORLO_RESIZE_DONE ||
        !vorlo_lockTarget(x)) {
        vorlo_errorExit(x);
        return nullptr;
    }
    vorlo_firstRun(x, &load);
    if (vorlo_going(x) && !x->loadFailed && !x->isImportReplace && load.seeked)
        vorlo_secondRun(x, &load);
    vorlo_normalEnd(x, &load);
    return nullptr;
}

// The loader thread: opens a file with FFmpeg, measures it, has the target buffer~ sized,
// and decodes the file into it in one or two runs. Every load ends through exactly one of
// three ends: the normal end (the target was locked), the info end, or the error exit.
#include "loader.h"
#include "open_file.h"

#include <limits.h>
#include <math.h>
#include <string.h>

#include <exception>
#include <new>
#include <string>

// The second run of a replace goes on past the first run's start until the first run's
// output has settled: it must then have written the same samples, within this tolerance,
// for this long.
static const double VORLO_AGREEMENT_SECONDS = 0.05;
static const float VORLO_AGREEMENT_TOLERANCE = 1e-4f;

// --- the three ends -------------------------------------------------------------------
// Every load ends through one of them, called from the thread's body alone.

enum { VORLO_END_ERROR, VORLO_END_INFO, VORLO_END_WRITTEN };

void vorlo_releaseLoad(t_vorlo_load *x)
{
    av_packet_unref(&x->packet);
    av_frame_unref(x->frame);
    vorlo_endTimeline(x);
    avcodec_free_context(&x->codecCtx);
    vorlo_closeInput(x);
    if (!x->whole)
        vorlo_closeFile(&x->file);
    swr_free(&x->swrCtx);
    vorlo_dropConversion(x);
}

void vorlo_closeTrace(t_vorlo_load *x, const char *reason)
{
    if (!x->request.attrs.debug || !vorlo_enterGate(x))
        return;
    vorlo_post(x, "%s", reason);
    object_post(nullptr, " ");
    vorlo_leaveGate(x);
}

// Packets skipped on the way. One that cannot be decoded where the stream ends tells of no
// lost audio: a tag appended to the file (ID3v1 after FLAC) ends a stream so, as does a file
// cut inside a packet, whose loss its length tells against what the file announces.
static void vorlo_warnDamage(t_vorlo_load *x)
{
    int skipped = x->badPackets - x->endsInsidePacket;
    if (skipped > 0)
        vorlo_warn(x, "%i damaged packets could not be decoded and were skipped.-> %s", skipped, x->path);
}

// Reached once the target samples are locked: what was written stays. A load cut short by
// a failure ends with the error bang; one stopped by a stop request with the done bang.
static void vorlo_writtenEnd(t_vorlo_load *x)
{
    vorlo_warnDamage(x);
    bool failed = (x->failed || x->writeFailed) && vorlo_going(x);
    vorlo_releaseLoad(x);
    vorlo_setTargetDirty(x);
    vorlo_closeTrace(x, failed ? "load cut short: what was written is kept" : "SUCCESS");
    vorlo_raise(x, failed ? VORLO_NOTE_ERR : VORLO_NOTE_DONE);
}

static void vorlo_infoEnd(t_vorlo_load *x)
{
    vorlo_releaseLoad(x);
    vorlo_closeTrace(x, "SUCCESS");
    vorlo_raise(x, VORLO_NOTE_STARTREAD);
}

// Every failure before the target was locked, and every stop before decoding.
static void vorlo_errorExit(t_vorlo_load *x)
{
    vorlo_releaseLoad(x);
    if (vorlo_going(x)) {
        vorlo_closeTrace(x, "aborting thread ! reason: -Error-");
        vorlo_raise(x, VORLO_NOTE_ERR);
    } else {
        vorlo_closeTrace(x, "aborting thread ! reason: -Abort Request-");
    }
}

// --- opening ---------------------------------------------------------------------------

static bool vorlo_conformPath(t_vorlo_load *x)
{
    const char *source = x->request.sourcePath ? x->request.sourcePath : x->request.sourceSym->s_name;
    atom_setsym(&x->file_props[6], x->request.sourceIsDict ? _sym_dictionary : x->request.sourceSym);
    size_t length = strlen(source);
    bool conformed = length < MAX_PATH_CHARS &&
                     path_nameconform(source, x->path, PATH_STYLE_NATIVE, PATH_TYPE_BOOT) == 0;
    if (length >= MAX_PATH_CHARS)
        vorlo_error(x, "the file path is too long: %lld characters, at most %d are possible",
                     (long long)length, MAX_PATH_CHARS - 1);
    else if (!conformed)
        vorlo_reportOpenError(x, source, "the path cannot be made a path of this system");
    if (conformed && x->request.attrs.debug)
        vorlo_post(x, "conformed Path: %s", x->path);
    return conformed;
}

static bool vorlo_open(t_vorlo_load *x)
{
    const char *refusal = vorlo_refuseInput(x->path);
    if (refusal) {
        vorlo_reportOpenError(x, x->path, refusal);
        return false;
    }
    int ret = vorlo_openInput(x, nullptr);
    if (ret != 0)
        vorlo_reportOpenError(x, x->path, vorlo_errtext(ret));
    return ret == 0;
}

// An audio stream, the one asked for by number or any (wanted -1).
static bool vorlo_hasAudioStream(const t_vorlo_load *x, long wanted)
{
    for (unsigned i = 0; i < x->formatCtx->nb_streams; i++)
        if (x->formatCtx->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && (wanted < 0 || wanted == (long)i))
            return true;
    return false;
}

// A stream asked for by number that is not there, or not audio, is named with what it is.
// FFmpeg passes over an audio stream without channels or rate. From FFmpeg 7 on, a stream
// whose decoder refused to open while the file was read is left without channels (earlier
// releases kept the count and the decoder refused it again when the load opened it), so the
// load says the decoder's refusal in every release.
static void vorlo_reportNoAudioStream(t_vorlo_load *x)
{
    unsigned streams = x->formatCtx->nb_streams;
    long wanted = x->request.attrs.stream_nb;
    if (vorlo_hasAudioStream(x, wanted)) {
        vorlo_error(x, "Failed to initialize the decoder.\n-> %s", x->path);
    } else if (wanted < 0) {
        vorlo_error(x, "None of the available streams are audio streams.\n-> %s", x->path);
    } else if ((unsigned long)wanted >= streams) {
        vorlo_error(x, "stream_nb %ld names no stream: the file has %u (numbered from 0).\n-> %s", wanted,
                     streams, x->path);
    } else {
        const char *type = av_get_media_type_string(x->formatCtx->streams[wanted]->codecpar->codec_type);
        vorlo_error(x, "stream_nb %ld names a stream of type %s, not an audio stream.\n-> %s", wanted,
                     type ? type : "unknown", x->path);
    }
}

static bool vorlo_chooseStream(t_vorlo_load *x, vorlo_ff_decoder *decoder)
{
    int wanted = x->request.attrs.stream_nb > INT_MAX ? INT_MAX : x->request.attrs.stream_nb < -1 ? -1 : (int)x->request.attrs.stream_nb;
    *decoder = nullptr;
    x->streamIndex = av_find_best_stream(x->formatCtx, AVMEDIA_TYPE_AUDIO, wanted, -1, decoder, 0);
    if (x->streamIndex == AVERROR_DECODER_NOT_FOUND || (x->streamIndex >= 0 && !*decoder)) {
        vorlo_error(x, "Decoder not found. The codec is not supported.\n-> %s", x->path);
        return false;
    }
    if (x->streamIndex < 0) {
        vorlo_reportNoAudioStream(x);
        return false;
    }
    if (x->request.attrs.debug)
        vorlo_post(x, "-->using stream %i.  (%i available)", x->streamIndex, (int)x->formatCtx->nb_streams);
    return vorlo_going(x);
}

static bool vorlo_nameCodec(t_vorlo_load *x)
{
    const AVCodecDescriptor *descriptor = avcodec_descriptor_get(x->codecCtx->codec_id);
    const char *name = descriptor ? descriptor->name : "unknown";
    if (x->request.attrs.debug)
        vorlo_post(x, "codec name: %s\n", name);
    atom_setsym(&x->file_props[5], gensym(name));
    return vorlo_going(x);
}

// --- measuring --------------------------------------------------------------------------

// The file's length is the length of what the decoder yields from the stream.
static bool vorlo_measure(t_vorlo_load *x)
{
    if (x->source.rate < 1 || x->source.channels < 1) {
        vorlo_error(x, "Can not calculate length in samples for this file.-> %s", x->path);
        return false;
    }
    if (!vorlo_measureStream(x))
        return false;
    x->fileLength = (double)x->streamFrames / x->source.rate;
    if (!(x->fileLength > 0)) {
        vorlo_error(x, "Can not calculate length in samples for this file.-> %s", x->path);
        return false;
    }
    return vorlo_resolveSection(x, x->fileLength);
}

// Decoding begins the decoder's settling time before the first sample that is needed.
static bool vorlo_seekTime(t_vorlo_load *x)
{
    if (vorlo_takesSection(&x->request)) {
        if (x->start >= x->fileLength) {
            vorlo_error(x, "requested start pos (%lf sec) > length of file (%lf sec).", x->start,
                         x->fileLength);
            return false;
        }
        x->seektime = x->start - x->line.settle;
    } else {
        // A replace that starts past the file's end starts at its end: the second run then
        // decodes the whole file.
        if (x->start > x->fileLength)
            x->start = x->fileLength;
        x->seektime = x->start - x->length - x->line.settle;
    }
    if (!(x->seektime > 0))
        x->seektime = 0;
    if (x->request.attrs.debug)
        vorlo_post(x, "seektimeInSec %f  (%f - %g sec)", x->seektime, x->start, x->line.settle);
    return true;
}

// The frames written: the stream's own when it keeps its rate, else as many as the
// resampler makes of them.
static double vorlo_resultFrames(t_vorlo_load *x)
{
    if (vorlo_takesSection(&x->request))
        return vorlo_sectionFrames(x, x->fileLength - x->start);
    if (x->line.formatChanges && x->line.counted)
        return (double)vorlo_stretchFrames(x, x->resultSampleRate);
    if (x->resultSampleRate == x->source.rate)
        return (double)x->streamFrames;
    return (double)vorlo_resampledFrames(x->streamFrames, x->source.rate, x->resultSampleRate, true);
}

static bool vorlo_resultFormat(t_vorlo_load *x)
{
    if (!vorlo_decideResultFormat(x))
        return false;
    if (!vorlo_limitResult(x, vorlo_resultFrames(x))) {
        vorlo_error(x, "Can not calculate length in samples for this file.-> %s", x->path);
        return false;
    }
    return true;
}

// Atom 5: the names of the channels, or "unspecified" when the decoder gives no layout.
static t_symbol *vorlo_layoutNames(t_vorlo_load *x)
{
    uint64_t mask = x->source.layout;
    if (!mask)
        return _sym_unspecified;
    std::string names;
    char name[64];
    for (int i = 0; i < x->source.channels; i++) {
        vorlo_ff_channel_name(mask, i, name, sizeof name);
        names += (i > 0 ? " " : "") + std::string(name);
    }
    return gensym(names.c_str());
}

static void vorlo_fillProps(t_vorlo_load *x)
{
    atom_setfloat(&x->file_props[0], x->source.rate);
    atom_setlong(&x->file_props[1], x->source.channels);
    atom_setfloat(&x->file_props[2], (vorlo_takesSection(&x->request) ? x->length : x->fileLength) * 1000);
    atom_setfloat(&x->file_props[3], x->start * 1000);
    atom_setsym(&x->file_props[4], vorlo_layoutNames(x));
}

// Everything from the request to the file-properties list; false leads to the error exit.
static bool vorlo_prepare(t_vorlo_load *x)
{
    vorlo_ff_decoder decoder = nullptr;
    if (!vorlo_conformPath(x))
        return false;
    if (!vorlo_open(x))
        return false;
    if (!vorlo_chooseStream(x, &decoder))
        return false;
    if (!vorlo_openDecoder(x, decoder) || !vorlo_nameCodec(x))
        return false;
    if (!vorlo_measure(x))
        return false;
    if (!vorlo_seekTime(x))
        return false;
    if (!vorlo_resultFormat(x))
        return false;
    vorlo_exportMetadata(x);
    vorlo_fillProps(x);
    return true;
}

// From the first run's position to the locked target; false leads to the error exit. An
// import keeps the buffer as it is and prepares its shaping instead.
static bool vorlo_prepareTarget(t_vorlo_load *x)
{
    if (!vorlo_positionFirstRun(x) || !vorlo_going(x))
        return false;
    if (x->request.isImport)
        vorlo_prepareImport(x);
    else if (!vorlo_checkTargetClaimable(x) || vorlo_resizeTarget(x) != VORLO_RESIZE_DONE)
        return false;
    if (!vorlo_lockTarget(x))
        return false;
    vorlo_makeWriter(x);
    return true;
}

// --- decoding ---------------------------------------------------------------------------

// Drops the first samples that placing the run asked to drop: the frame's planes then
// begin later (the buffers stay the frame's own and are released as always).
static void vorlo_trimFrame(t_vorlo_load *x, AVFrame *frame)
{
    int samples = frame->nb_samples < x->line.trim ? frame->nb_samples : (int)x->line.trim;
    if (samples <= 0)
        return;
    enum AVSampleFormat format = (enum AVSampleFormat)frame->format;
    int planar = av_sample_fmt_is_planar(format);
    int planes = planar ? vorlo_ff_frame_channels(frame) : 1;
    size_t bytes = (size_t)samples * av_get_bytes_per_sample(format) *
                   (planar ? 1 : vorlo_ff_frame_channels(frame));
    for (int p = 0; p < planes; p++) {
        frame->extended_data[p] += bytes;
        if (p < AV_NUM_DATA_POINTERS)
            frame->data[p] = frame->extended_data[p];
    }
    frame->nb_samples -= samples;
    x->line.trim -= samples;
}

// Where the run stands in the stream, in seconds; below 0 before it is placed.
static double vorlo_runSeconds(const t_vorlo_load *x)
{
    if (!x->line.placed || x->index == VORLO_UNPLACED)
        return -1.0;
    return ((double)x->index / x->resultChannels + x->line.skipFrames) / x->resultSampleRate;
}

// A frame of another format than the source's, met by a run of a stream that was timed
// rather than counted, makes the load start again counted (vorlo_mustRecount).
static void vorlo_writePlaced(t_vorlo_load *x, AVFrame *frame)
{
    t_vorlo_frameFormat format = vorlo_formatOf(frame);
    if (!vorlo_sameFormat(&format, &x->source))
        vorlo_noteFormatChange(x, frame, vorlo_runSeconds(x));
    vorlo_trimFrame(x, frame);
    if (x->piece && vorlo_holdAtPieceEnd(x, frame))
        return;
    if (!vorlo_writeDecodedFrame(x, frame))
        x->writeFailed = 1;
}

static void vorlo_writeHeld(t_vorlo_load *x)
{
    vorlo_writePlaced(x, x->line.held);
    av_frame_unref(x->line.held);
}

// A frame whose place is not known yet waits for the next one, whose time stamp places
// both.
static void vorlo_placeFrame(t_vorlo_load *x, AVFrame *frame)
{
    if (!x->line.placed) {
        if (!vorlo_anchorFrame(x, frame))
            return;
        vorlo_writeHeld(x);
    }
    vorlo_writePlaced(x, frame);
}

static void vorlo_writeLastFrame(t_vorlo_load *x)
{
    if (vorlo_anchorLastFrame(x) && vorlo_claimTarget(x)) {
        vorlo_writeHeld(x);
        vorlo_unlockTarget(x);
    }
}

int vorlo_receiveAndHandle(t_vorlo_load *x, AVCodecContext *codecCtx, AVFrame *frame)
{
    int ret;
    while ((ret = avcodec_receive_frame(codecCtx, frame)) == 0) {
        vorlo_placeFrame(x, frame);
        av_frame_unref(frame);
    }
    return ret;
}

// The frames of one packet are written under one claim on the target (see
// vorlo_claimTarget); without it they wait in the decoder for a run that is ending anyway.
static int vorlo_receiveClaimed(t_vorlo_load *x)
{
    if (!vorlo_claimTarget(x))
        return AVERROR(EAGAIN);
    int ret = vorlo_receiveAndHandle(x, x->codecCtx, x->frame);
    vorlo_unlockTarget(x);
    return ret;
}

// A packet that the decoder refuses, or fails to decode, is skipped as the ffmpeg program
// skips it: the next frame follows the last one written, leaving no gap.
static void vorlo_dropPacket(t_vorlo_load *x, int err)
{
    char text[256];
    av_strerror(err, text, sizeof text);
    x->badPackets++;
    x->lastPacketBad = 1;
    if (x->request.attrs.debug)
        vorlo_post(x, "dropped bad packet. error: %s bad packet count: %i", text, x->badPackets);
}

// Skipping a packet shortens the stream, and frames of another format are converted into
// more or fewer frames: a length taken from time stamps, or a run placed by them, then
// disagrees with the ffmpeg program's decoding, and the load starts again counted from the
// beginning. An import mixes into what the buffer~ held and cannot start again; it counts
// on. A piece of a stream decoded in pieces counts on from nothing: the pieces after it are
// placed by time stamps. It stops at damage that a packet follows (a tag after the last
// packet ends a stream so) and at another format.
static bool vorlo_mustRecount(t_vorlo_load *x)
{
    if (x->piece)
        return x->line.formatChanges;
    return (x->lastPacketBad || x->line.formatChanges) && (!x->line.counted || x->line.seeked) &&
           !x->request.isImport && vorlo_inputRereadable(x);
}

static void vorlo_announceStart(t_vorlo_load *x)
{
    if (x->listSent)
        return;
    double threshold = vorlo_takesSection(&x->request) ? 1 : (double)x->resultChannels * x->resultSampleRate * x->start;
    if (x->index >= threshold) {
        vorlo_raise(x, VORLO_NOTE_STARTREAD);
        x->listSent = 1;
    }
}

static bool vorlo_runEnded(const t_vorlo_load *x, const t_vorlo_runEnd *end)
{
    if (x->index <= end->stop)
        return false;
    return end->agreement == 0 || x->index - x->seamAgreedFrom >= end->agreement;
}

// After each frame or packet of a run: whether the run goes on, and if not, how it ended.
static int vorlo_runGoesOn(t_vorlo_load *x, const t_vorlo_runEnd *end)
{
    if (!vorlo_going(x))
        return VORLO_RUN_ABORTED;
    if (x->writeFailed)
        return VORLO_RUN_FAILED;
    vorlo_announceStart(x);
    return vorlo_runEnded(x, end) ? VORLO_RUN_STOPPED : VORLO_RUN_GOING;
}

int vorlo_run(t_vorlo_load *x, const t_vorlo_runEnd *end)
{
    for (;;) {
        int ret = vorlo_nextPacket(x);
        if (ret == AVERROR_EOF)
            return VORLO_RUN_EOF;
        if (ret == 0 && x->piece && x->lastPacketBad) {
            av_packet_unref(&x->packet);
            return VORLO_RUN_DAMAGED;
        }
        if (ret < 0 && !vorlo_going(x))
            return VORLO_RUN_ABORTED;  // the read was cut short by the stop
        if (ret < 0) {
            vorlo_error(x, "Read frame error %i", ret);
            x->failed = 1;
            return VORLO_RUN_FAILED;
        }
        ret = avcodec_send_packet(x->codecCtx, &x->packet);
        av_packet_unref(&x->packet);
        if (ret == 0)
            ret = vorlo_receiveClaimed(x);
        x->lastPacketBad = 0;
        if (ret != AVERROR(EAGAIN))
            vorlo_dropPacket(x, ret);
        if (vorlo_mustRecount(x))
            return VORLO_RUN_DAMAGED;
        int state = vorlo_runGoesOn(x, end);
        if (state != VORLO_RUN_GOING)
            return state;
    }
}

// The frames that the measuring kept, written as a run from the beginning would write them.
static int vorlo_runKept(t_vorlo_load *x, const t_vorlo_runEnd *end)
{
    for (int i = 0; i < x->line.keptCount; i++) {
        if (vorlo_claimTarget(x)) {
            vorlo_placeFrame(x, x->line.kept[i]);
            vorlo_unlockTarget(x);
        }
        av_frame_free(&x->line.kept[i]);
        int state = vorlo_runGoesOn(x, end);
        if (state != VORLO_RUN_GOING)
            return state;
    }
    return VORLO_RUN_EOF;
}

// Sending no packet asks the decoder for the frames it still holds.
static void vorlo_drain(t_vorlo_load *x)
{
    if (avcodec_send_packet(x->codecCtx, nullptr) != 0) {
        vorlo_error(x, "Send-error while draining decoder");
        x->failed = 1;
        return;
    }
    int ret = vorlo_receiveClaimed(x);
    if (ret != AVERROR_EOF && ret != AVERROR(EAGAIN)) {
        vorlo_error(x, "Receive-error while draining decoder");
        x->failed = 1;
    }
}

// A decoding that yields less than the stream measured (damaged data) leaves the rest of
// the buffer silent rather than holding what it held before.
static void vorlo_silenceTail(t_vorlo_load *x)
{
    if (!vorlo_claimTarget(x))
        return;
    for (vorlo_count i = x->index > 0 ? x->index : 0; i < x->indexLimit; i++)
        x->targetSamples[i] = 0.0f;
    vorlo_unlockTarget(x);
}

static void vorlo_flushClaimed(t_vorlo_load *x)
{
    if (!vorlo_claimTarget(x))
        return;
    if (!vorlo_flushResampler(x))
        x->writeFailed = 1;
    vorlo_unlockTarget(x);
}

void vorlo_endRun(t_vorlo_load *x, int result, bool drain)
{
    x->endsInsidePacket += result == VORLO_RUN_EOF && x->lastPacketBad;
    if (drain)
        vorlo_drain(x);
    vorlo_writeLastFrame(x);
    vorlo_flushClaimed(x);
}

static int vorlo_decodeFirstRun(t_vorlo_load *x)
{
    t_vorlo_runEnd end = {x->indexLimit, 0};
    vorlo_beginRun(x, true);
    // Kept frames are all the decoder gave: it has been drained already.
    bool kept = x->line.keptCount > 0;
    int result = kept ? vorlo_runKept(x, &end) : vorlo_run(x, &end);
    if (!vorlo_going(x))
        return VORLO_RUN_ABORTED;
    if (result == VORLO_RUN_DAMAGED)
        return result;
    if (result == VORLO_RUN_STOPPED && x->request.attrs.debug)
        vorlo_post(x, "Decoding done! (first run)");
    vorlo_endRun(x, result, !kept);
    // What the decoder held back may be the first that reached the section.
    vorlo_announceStart(x);
    return result;
}

// Where the first run begins to write: a section from the result's beginning, a replace
// from its start, or a little before.
static vorlo_count vorlo_firstRunFrom(const t_vorlo_load *x)
{
    if (vorlo_takesSection(&x->request))
        return 0;
    double from = floor(x->start * x->resultSampleRate) * x->resultChannels;
    return from < (double)x->indexLimit ? (vorlo_count)from : x->indexLimit;
}

// A long stream is decoded in pieces at once, each faulting in the pages it writes.
static int vorlo_firstRun(t_vorlo_load *x)
{
    vorlo_count from = vorlo_firstRunFrom(x);
    int pieces = vorlo_pieceCount(x, from);
    int result;
    if (pieces > 1) {
        result = vorlo_decodePieces(x, from, pieces);
    } else {
        vorlo_startPrefault(x, from);
        result = vorlo_decodeFirstRun(x);
        vorlo_stopPrefault(x);
    }
    // An import leaves what it did not reach as it was.
    if (result == VORLO_RUN_EOF && !x->writeFailed && !x->request.isImport)
        vorlo_silenceTail(x);
    return result;
}

// A replace that began past the beginning decodes the beginning afterwards, on into what
// the first run wrote until the first run's output has settled: at least the decoder's
// settling time past where the first run began, at least to the request's start, and only
// once the two decodings agree.
static int vorlo_secondRun(t_vorlo_load *x)
{
    if (!x->listSent) {
        vorlo_raise(x, VORLO_NOTE_STARTREAD);
        x->listSent = 1;
    }
    if (x->request.attrs.debug)
        vorlo_post(x, "Now we decode first half of file! (second run)");
    vorlo_count firstStart = x->line.runStart;
    if (!vorlo_rewindInput(x)) {
        if (vorlo_going(x)) {
            vorlo_error(x, "error while seeking to 0 of %s ", x->path);
            x->failed = 1;
        }
        return VORLO_RUN_FAILED;
    }
    if (!vorlo_resetResampler(x)) {
        x->writeFailed = 1;
        return VORLO_RUN_FAILED;
    }
    vorlo_count channels = x->resultChannels;
    vorlo_count settled = firstStart + (vorlo_count)ceil(x->line.settle * x->resultSampleRate) * channels;
    vorlo_count requested = (vorlo_count)floor(x->start * x->resultSampleRate + 0.5) * channels;
    t_vorlo_runEnd end = {settled > requested ? settled : requested,
                          (vorlo_count)ceil(VORLO_AGREEMENT_SECONDS * x->resultSampleRate) * channels};
    // Without a placed first run the whole stream is decoded again.
    if (firstStart == VORLO_UNPLACED)
        end.stop = x->indexLimit;
    vorlo_watchSeam(x, firstStart == VORLO_UNPLACED ? x->indexLimit : firstStart, VORLO_AGREEMENT_TOLERANCE);
    vorlo_beginRun(x, false);
    int result = vorlo_run(x, &end);
    if (result == VORLO_RUN_STOPPED && x->request.attrs.debug)
        vorlo_post(x, "Decoding done! (second run)");
    x->endsInsidePacket += result == VORLO_RUN_EOF && x->lastPacketBad;
    vorlo_watchSeam(x, VORLO_NO_SEAM, 0.0f);
    return result;
}

// The load of a stream found damaged, again from the beginning as the ffmpeg program decodes
// it: measured by counting, the buffer~ sized to that from the size the first attempt gave
// it, and the list sent again with the length it now has.
static void vorlo_reloadCounting(t_vorlo_load *x)
{
    if (x->request.attrs.debug)
        vorlo_post(x, "%s: loading again, counted from the beginning",
                   x->line.formatChanges ? "the stream's format changes" : "a packet could not be decoded");
    x->targetFrames = x->claimFrames;
    x->targetChannels = x->claimChannels;
    x->targetSr = x->resultSampleRate;
    x->badPackets = 0;
    x->endsInsidePacket = 0;
    x->listSent = 0;
    x->seektime = 0;
    bool ready = vorlo_countStream(x);
    if (ready) {
        x->fileLength = (double)x->streamFrames / x->source.rate;
        ready = vorlo_limitResult(x, vorlo_resultFrames(x));
    }
    if (ready) {
        vorlo_fillProps(x);
        ready = vorlo_prepareTarget(x);
    }
    // Nothing that the first attempt left in the resampler or a converter goes on.
    if (ready && !vorlo_resetResampler(x))
        x->writeFailed = 1;
    else if (ready)
        vorlo_firstRun(x);
    else if (vorlo_going(x))
        x->failed = 1;
}

// An import that its pieces found damaged is decoded again in one piece, counting on past
// the damage as an import does.
static void vorlo_importInOnePiece(t_vorlo_load *x)
{
    if (x->request.attrs.debug)
        vorlo_post(x, "a piece met damage or another format: decoding the import again in one piece");
    x->badPackets = 0;
    x->endsInsidePacket = 0;
    if (!vorlo_positionFirstRun(x) || !vorlo_resetResampler(x)) {
        if (vorlo_going(x))
            x->failed = 1;
        return;
    }
    vorlo_firstRun(x);
}

// The first run, then for a replace that began past the beginning the second.
static void vorlo_decodeRuns(t_vorlo_load *x)
{
    int result = vorlo_firstRun(x);
    if (result != VORLO_RUN_DAMAGED && vorlo_going(x) && !x->failed && !x->writeFailed &&
        !vorlo_takesSection(&x->request) && x->line.seeked)
        result = vorlo_secondRun(x);
    if (result == VORLO_RUN_DAMAGED && vorlo_going(x) && !x->writeFailed) {
        if (x->request.isImport)
            vorlo_importInOnePiece(x);
        else
            vorlo_reloadCounting(x);
    }
}

// The load from the request to the end it takes.
static int vorlo_load(t_vorlo_load *x)
{
    vorlo_watchSeam(x, VORLO_NO_SEAM, 0.0f);
    if (!vorlo_going(x))
        return VORLO_END_ERROR;
    if (x->request.sourceIsBuffer)
        return vorlo_loadFromBuffer(x) ? VORLO_END_WRITTEN : VORLO_END_ERROR;
    if (!vorlo_startTimeline(x)) {
        vorlo_error(x, "Could not allocate memory for a frame.");
        return VORLO_END_ERROR;
    }
    if (!vorlo_prepare(x))
        return VORLO_END_ERROR;
    if (x->request.isInfo)
        return VORLO_END_INFO;
    if (!vorlo_prepareTarget(x))
        return VORLO_END_ERROR;
    vorlo_decodeRuns(x);
    return VORLO_END_WRITTEN;
}

// What an exception interrupted is let go of before the error exit: the claim on the
// samples and the thread that faults the buffer~'s pages in.
static int vorlo_interrupted(t_vorlo_load *x, const char *what)
{
    vorlo_unlockTarget(x);
    vorlo_stopPrefault(x);
    vorlo_error(x, "the load failed: %s", what);
    return VORLO_END_ERROR;
}

// The host is C: an exception that left the thread would end it, and the patch with it.
// The thread lets go of its share of the load last: a stopped load is then freed here.
void *vorlo_threadproc_load(t_vorlo_load *x)
{
    int end;
    try {
        end = vorlo_load(x);
    } catch (const std::bad_alloc &) {
        end = vorlo_interrupted(x, "out of memory");
    } catch (const std::exception &e) {
        end = vorlo_interrupted(x, e.what());
    } catch (...) {
        end = vorlo_interrupted(x, "an unknown failure");
    }
    if (end == VORLO_END_WRITTEN)
        vorlo_writtenEnd(x);
    else if (end == VORLO_END_INFO)
        vorlo_infoEnd(x);
    else
        vorlo_errorExit(x);
    vorlo_dropLoad(x);
    return nullptr;
}

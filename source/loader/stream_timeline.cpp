// The stream's time line. A load takes it in three steps, each a function named for what it
// establishes and each saying where it leaves the input:
//   1. where the first sample lies (vorlo_findFirstSample): the origin of the time stamps,
//      and whether they count samples;
//   2. how long the stream is (vorlo_measureStream, with step 1): from its last half second
//      when the stamps can be trusted to the end, else by decoding it whole and counting;
//   3. where the first run begins (vorlo_positionFirstRun): at the packet that holds the
//      start, reached by reading packets from the beginning, or at the beginning.
// Each run then places its frames (vorlo_beginRun, vorlo_anchorFrame): by counting from the
// beginning, or after a start by confirmed time stamps. The state of all this is the load's
// t_vorlo_timeline.
//
// The audio of a stream is what the decoder yields from its first packet to its last, one
// frame after the other (the ffmpeg program's own decoding): a packet that cannot be decoded
// leaves no gap, and stamps that jump (joined files) change nothing. A container's idea of
// the stream's length is often not that either: it counts the encoder's priming and
// padding, guesses from the bit rate, or describes a file that was cut short. Where in doubt,
// the simple rule holds: decode from the beginning and count.
#include "loader.h"
#include "open_file.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

// Packets decoded from the beginning to learn where the first sample lies and whether the
// time stamps count samples.
static const int VORLO_HEAD_PACKETS = 8;
// How far before the container's idea of the end the measuring of the tail begins.
static const double VORLO_TAIL_SECONDS = 0.5;
// The most decoded samples (frames times channels) that an input read only once is taken
// for: 512 MiB of floats, 25 minutes of stereo at 44.1 kHz.
static const int64_t VORLO_UNMEASURED_SAMPLES = (int64_t)1 << 27;
// The most samples (frames times channels) of a stream kept decoded by its measuring: 10 s of
// stereo at 48 kHz, at most 8 MiB however the decoder stores them.
static const int64_t VORLO_KEPT_SAMPLES = (int64_t)1 << 20;
// A frame count not known yet.
static const int64_t VORLO_UNKNOWN = INT64_MIN;
// How a reading of packets without decoding them ended.
enum { VORLO_PACKETS_JUMP, VORLO_PACKETS_END, VORLO_PACKETS_REACHED };

static AVStream *vorlo_stream(t_vorlo_load *x)
{
    return x->formatCtx->streams[x->streamIndex];
}

static AVRational vorlo_perSample(int rate)
{
    AVRational r = {1, rate};
    return r;
}

static int64_t vorlo_frameTime(const AVFrame *frame)
{
    return frame->pts != AV_NOPTS_VALUE ? frame->pts : frame->best_effort_timestamp;
}

// --- opening and reading the input -----------------------------------------------------------

// FFmpeg polls this while it opens, probes and reads, so that a stalled input (a network
// path, a pipe) never holds up the stop sequence.
static int vorlo_interrupted(void *opaque)
{
    return !vorlo_going((t_vorlo_load *)opaque);
}

int vorlo_openInput(t_vorlo_load *x, vorlo_ff_input_format format)
{
    x->formatCtx = avformat_alloc_context();
    if (!x->formatCtx)
        return AVERROR(ENOMEM);
    x->formatCtx->interrupt_callback.callback = vorlo_interrupted;
    x->formatCtx->interrupt_callback.opaque = x;
    AVIOContext *reader = nullptr;
    int ret = vorlo_openReader(x, &reader);
    if (ret != 0) {
        avformat_free_context(x->formatCtx);
        x->formatCtx = nullptr;
        return ret;
    }
    x->formatCtx->pb = reader;
    ret = avformat_open_input(&x->formatCtx, x->path, format, nullptr);
    // A failed open frees the context but leaves a reader of one's own alone.
    if (ret != 0)
        vorlo_freeReader(&reader);
    if (ret != 0 || !vorlo_going(x))
        return ret != 0 ? ret : AVERROR_EXIT;
    avformat_find_stream_info(x->formatCtx, nullptr);
    return vorlo_going(x) ? 0 : AVERROR_EXIT;
}

// The stream's format as its parameters give it, until the first decoded frame tells
// (vorlo_walkFrame): an input read once keeps this one.
static void vorlo_takeSourceFormat(t_vorlo_load *x)
{
    const AVCodecParameters *par = x->line.params;
    x->source.rate = par->sample_rate;
    x->source.channels = vorlo_ff_par_channels(par);
    x->source.layout = vorlo_fittingLayout(vorlo_ff_par_layout(par), x->source.channels);
    x->source.format = x->codecCtx->sample_fmt;
}

// The stream's parameters as the probing left them. Reading the stream changes them where
// its parser meets another format (joined MP3s), so every decoder of the load is made from
// this copy: each then starts from the same state, and every pass decodes the same frames.
static bool vorlo_keepParams(t_vorlo_load *x)
{
    if (x->line.params)
        return true;
    x->line.params = avcodec_parameters_alloc();
    return x->line.params && avcodec_parameters_copy(x->line.params, vorlo_stream(x)->codecpar) >= 0;
}

bool vorlo_openDecoder(t_vorlo_load *x, const AVCodec *decoder)
{
    avcodec_free_context(&x->codecCtx);
    x->codecCtx = avcodec_alloc_context3(decoder);
    if (!x->codecCtx || !vorlo_keepParams(x)) {
        vorlo_error(x, "Could not allocate a decoding context.\n-> %s", x->path);
        return false;
    }
    if (avcodec_parameters_to_context(x->codecCtx, x->line.params) != 0) {
        vorlo_error(x, "Could not fill the codecCtx with the parameters.\n-> %s", x->path);
        return false;
    }
    // With the stream's time base the decoder keeps frame time stamps right when it trims
    // the samples of an encoder's delay.
    x->codecCtx->pkt_timebase = vorlo_stream(x)->time_base;
    x->codecCtx->request_sample_fmt = av_get_alt_sample_fmt(x->codecCtx->sample_fmt, 0);
    if (avcodec_open2(x->codecCtx, decoder, nullptr) != 0) {
        vorlo_error(x, "Failed to initialize the decoder.\n-> %s", x->path);
        return false;
    }
    if (x->source.rate == 0)
        vorlo_takeSourceFormat(x);
    return vorlo_going(x);
}

void vorlo_reportOpenError(t_vorlo_load *x, const char *path, const char *reason)
{
    // An open cut short by a stop is no failure of the file.
    if (!vorlo_going(x))
        return;
    vorlo_error(x, "Error opening file.-> %s", path);
    vorlo_error(x, "%s", reason);
    if (x->request.notInSearchPath)
        vorlo_error(x, "searched for %s: it is not in the search path", path);
}

// A decoder carries state that a flush keeps (the random generators of dither and noise
// filling among it): only a new one decodes the stream as the ffmpeg program does.
static bool vorlo_renewDecoder(t_vorlo_load *x)
{
    return vorlo_openDecoder(x, x->codecCtx->codec);
}

// The format is known by now: probing the file for it again costs as much as the rest.
static int vorlo_openInputAs(t_vorlo_load *x, vorlo_ff_input_format format)
{
    int ret = vorlo_openInput(x, format);
    if (ret == 0 && ((unsigned)x->streamIndex >= x->formatCtx->nb_streams ||
                     vorlo_stream(x)->codecpar->codec_type != AVMEDIA_TYPE_AUDIO))
        ret = AVERROR_STREAM_NOT_FOUND;
    if (ret != 0)
        vorlo_reportOpenError(x, x->path, vorlo_errtext(ret));
    return ret;
}

static int vorlo_reopenInput(t_vorlo_load *x)
{
    vorlo_ff_input_format format = x->formatCtx->iformat;
    vorlo_closeInput(x);
    return vorlo_openInputAs(x, format);
}

static void vorlo_markPacket(const AVPacket *packet, t_vorlo_packetMark *mark)
{
    size_t size = 0;
    const uint8_t *skip = vorlo_ff_side_data(packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
    mark->pos = packet->pos;
    mark->pts = packet->pts;
    mark->dts = packet->dts;
    mark->duration = packet->duration;
    mark->size = packet->size;
    mark->skipSize = skip && size <= sizeof mark->skip ? (int)size : 0;
    if (mark->skipSize)
        memcpy(mark->skip, skip, size);
}

static bool vorlo_samePacket(const AVPacket *packet, const t_vorlo_packetMark *mark)
{
    t_vorlo_packetMark seen;
    vorlo_markPacket(packet, &seen);
    return seen.pos == mark->pos && seen.pts == mark->pts && seen.dts == mark->dts &&
           seen.duration == mark->duration && seen.size == mark->size &&
           seen.skipSize == mark->skipSize && memcmp(seen.skip, mark->skip, (size_t)seen.skipSize) == 0;
}

// A demuxer keeps state from what it has read, and some (Ogg's, after a read to the end)
// time the packets after a seek otherwise: a seek back counts only when it yields the very
// packet that the input began with, its duration and trimming included.
static bool vorlo_seekToFirstPacket(t_vorlo_load *x)
{
    const t_vorlo_packetMark *first = &x->line.first;
    int64_t ts = first->pts != AV_NOPTS_VALUE ? first->pts : first->dts;
    if (first->size == 0 || ts == AV_NOPTS_VALUE ||
        av_seek_frame(x->formatCtx, x->streamIndex, ts, AVSEEK_FLAG_BACKWARD) < 0 || vorlo_nextPacket(x) < 0)
        return false;
    if (vorlo_samePacket(&x->packet, first))
        return true;
    av_packet_unref(&x->packet);
    return false;
}

bool vorlo_rewindInput(t_vorlo_load *x)
{
    av_packet_unref(&x->packet);
    x->line.pendingPacket = 0;
    if (vorlo_seekToFirstPacket(x))
        x->line.pendingPacket = 1;
    else if (vorlo_reopenInput(x) != 0)
        return false;
    return vorlo_renewDecoder(x);
}

// A pipe can be read once only: it is decoded as it comes, and sized by what its header says.
bool vorlo_inputRereadable(const t_vorlo_load *x)
{
    return x->formatCtx->pb && (x->formatCtx->pb->seekable & AVIO_SEEKABLE_NORMAL);
}

int vorlo_nextPacket(t_vorlo_load *x)
{
    if (x->line.pendingPacket) {
        x->line.pendingPacket = 0;
        return 0;
    }
    for (;;) {
        int ret = av_read_frame(x->formatCtx, &x->packet);
        if (ret < 0 || x->packet.stream_index == x->streamIndex)
            return ret;
        av_packet_unref(&x->packet);
    }
}

// Reads packets without decoding them, from where the input stands, until the input ends
// or a packet reaches `target` (in the stream's time base), which is left pending for a
// run. Each packet's time stamp must take up where the one before it ended, within half a
// packet (a demuxer rounds stamps to its time base): a stream whose stamps jump, or that
// has packets without a stamp or a duration, has no time line that places a packet by its
// stamp, and the ffmpeg program's decoding is then only had by counting from the beginning.
static int vorlo_skipPackets(t_vorlo_load *x, int64_t target)
{
    int64_t end = AV_NOPTS_VALUE;
    int64_t duration = 0;
    for (;;) {
        int ret = vorlo_nextPacket(x);
        if (ret < 0)
            return ret == AVERROR_EOF ? VORLO_PACKETS_END : VORLO_PACKETS_JUMP;
        int64_t ts = x->packet.pts != AV_NOPTS_VALUE ? x->packet.pts : x->packet.dts;
        bool follows = ts != AV_NOPTS_VALUE && x->packet.duration > 0 &&
                       (end == AV_NOPTS_VALUE || 2 * llabs(ts - end) <= duration);
        if (follows && ts + x->packet.duration > target) {
            x->line.pendingPacket = 1;
            return VORLO_PACKETS_REACHED;
        }
        end = ts + x->packet.duration;
        duration = x->packet.duration;
        av_packet_unref(&x->packet);
        if (!follows || !vorlo_going(x))
            return VORLO_PACKETS_JUMP;
    }
}

// --- steps 1 and 2: where the first sample lies, how long the stream is -------------------

// A frame's time stamp alone is not trusted: some demuxers give the first packet of an Ogg
// page, or the first packet after a seek, a time stamp off by a block. Two time-stamped
// frames in a row whose stamps differ by the samples decoded between them are.
static void vorlo_resetStamps(t_vorlo_stampPair *pair)
{
    pair->ts = AV_NOPTS_VALUE;
    pair->samples = 0;
}

// True when this frame's time stamp confirms the one before it; then `pair->samples` is the
// count between the two. Either way the frame becomes the last one met.
static bool vorlo_confirmStamp(t_vorlo_load *x, t_vorlo_stampPair *pair, int64_t ts, int samples)
{
    bool confirmed = false;
    if (ts != AV_NOPTS_VALUE) {
        AVRational perSample = vorlo_perSample(x->source.rate);
        confirmed = pair->ts != AV_NOPTS_VALUE &&
                    av_rescale_q(ts - pair->ts, vorlo_stream(x)->time_base, perSample) == pair->samples;
        pair->ts = ts;
        pair->samples = 0;
    }
    pair->samples += samples;
    return confirmed;
}

// A decoding that writes nothing and follows the stream's frames: their position counted
// from the stream's first sample, and whether their time stamps agree with that count.
typedef struct _vorlo_walk {
    int64_t counted;   // decoder samples met by this walk
    int fromStart;     // it began at the stream's beginning: it notes the stretches of one format
    t_vorlo_frameFormat format; // of the last frame it met
    int64_t offset;    // position of the walk's first sample, VORLO_UNKNOWN until stamps tell
    t_vorlo_stampPair stamps;
    int misses;        // confirmed time stamps in a row that disagreed with the count
    int exact;         // the time stamps count samples
    int ended;         // the input ended and the decoder gave all it held
} t_vorlo_walk;

static void vorlo_startWalk(t_vorlo_load *x, t_vorlo_walk *walk, int64_t offset)
{
    walk->counted = 0;
    walk->fromStart = offset == 0;
    if (walk->fromStart)
        x->line.stretches.clear();
    walk->offset = offset;
    vorlo_resetStamps(&walk->stamps);
    walk->misses = 0;
    walk->exact = 1;
    walk->ended = 0;
}

static int64_t vorlo_framesSinceOrigin(t_vorlo_load *x, int64_t ts)
{
    return av_rescale_q(ts - x->line.origin, vorlo_stream(x)->time_base,
                        vorlo_perSample(x->source.rate));
}

// A demuxer that makes time stamps by adding up frame durations drifts when a frame's
// duration is no whole number of its time base's units (AC-3 frames in 90 kHz units).
static bool vorlo_durationIsWhole(t_vorlo_load *x, int samples)
{
    AVRational timeBase = vorlo_stream(x)->time_base;
    return (int64_t)samples * timeBase.den % ((int64_t)x->source.rate * timeBase.num) == 0;
}

// The first confirmed time stamp fixes the origin (a walk from the beginning) or the
// walk's position (a walk from elsewhere); later confirmed stamps must keep to the count,
// a single one off being a block's slip, two in a row a clock of their own.
static void vorlo_followStamps(t_vorlo_load *x, t_vorlo_walk *walk, const AVFrame *frame)
{
    if (!vorlo_durationIsWhole(x, frame->nb_samples))
        walk->exact = 0;
    int64_t ts = vorlo_frameTime(frame);
    int64_t at = walk->counted;
    if (vorlo_confirmStamp(x, &walk->stamps, ts, frame->nb_samples)) {
        if (x->line.origin == AV_NOPTS_VALUE)
            x->line.origin = ts - av_rescale_q(walk->offset + at, vorlo_perSample(x->source.rate),
                                                vorlo_stream(x)->time_base);
        if (walk->offset == VORLO_UNKNOWN)
            walk->offset = vorlo_framesSinceOrigin(x, ts) - at;
        walk->misses = vorlo_framesSinceOrigin(x, ts) == walk->offset + at ? 0 : walk->misses + 1;
        if (walk->misses > 1)
            walk->exact = 0;
    }
}

void vorlo_noteFormatChange(t_vorlo_load *x, const AVFrame *frame, double seconds)
{
    x->line.formatChanges = 1;
    // A walk that does not know where it stands (from a seek) leaves the telling to the
    // counting that follows.
    if (x->line.changeTold || !x->request.attrs.debug || seconds < 0)
        return;
    x->line.changeTold = 1;
    char was[96], now[96];
    t_vorlo_frameFormat format = vorlo_formatOf(frame);
    vorlo_describeFormat(&x->source, was, sizeof was);
    vorlo_describeFormat(&format, now, sizeof now);
    vorlo_post(x, "the stream's format changes at %.3f sec from %s to %s: what follows is converted", seconds, was,
               now);
}

// A stretch that another follows converts without being emptied; the last one is emptied.
int64_t vorlo_stretchFrames(const t_vorlo_load *x, int rate)
{
    const std::vector<t_vorlo_stretch> &stretches = x->line.stretches;
    int64_t frames = 0;
    for (size_t i = 0; i < stretches.size(); i++) {
        bool last = i + 1 == stretches.size();
        frames += rate == x->source.rate && !last
                      ? stretches[i].made
                      : vorlo_convertedFrames(stretches[i].frames, stretches[i].rate, rate, last);
    }
    return frames;
}

static void vorlo_noteStretch(t_vorlo_load *x, t_vorlo_walk *walk, const t_vorlo_frameFormat *format, int samples)
{
    std::vector<t_vorlo_stretch> &stretches = x->line.stretches;
    if (stretches.empty() || !vorlo_sameFormat(format, &walk->format)) {
        if (!stretches.empty())
            stretches.back().made =
                vorlo_convertedFrames(stretches.back().frames, stretches.back().rate, x->source.rate, false);
        stretches.push_back({format->rate, 0, 0});
    }
    stretches.back().frames += samples;
    walk->format = *format;
}

// Where the stretch under way begins, in seconds of the source.
static double vorlo_stretchSeconds(const t_vorlo_load *x)
{
    int64_t frames = 0;
    for (const t_vorlo_stretch &stretch : x->line.stretches)
        frames += stretch.made;
    return (double)frames / x->source.rate;
}

// The stream's first frame gives the source format, as the ffmpeg program takes it for its
// output (with the rate that the decoder gives that frame). A frame of another format leaves
// the time stamps unfit to place a run or to tell the length; a walk from the beginning
// notes the stretches, which give the length in the frames of any rate
// (vorlo_stretchFrames).
static void vorlo_walkFrame(t_vorlo_load *x, t_vorlo_walk *walk, const AVFrame *frame)
{
    t_vorlo_frameFormat format = vorlo_formatOf(frame);
    if (!x->line.sourceSeen) {
        x->source = format;
        x->line.sourceSeen = 1;
    }
    if (walk->fromStart)
        vorlo_noteStretch(x, walk, &format, frame->nb_samples);
    if (!vorlo_sameFormat(&format, &x->source)) {
        vorlo_noteFormatChange(x, frame, walk->fromStart ? vorlo_stretchSeconds(x) : -1.0);
        walk->exact = 0;
    } else {
        vorlo_followStamps(x, walk, frame);
    }
    walk->counted += frame->nb_samples;
}

void vorlo_dropKeptFrames(t_vorlo_load *x)
{
    for (int i = 0; i < x->line.keptCount; i++)
        av_frame_free(&x->line.kept[i]);
    av_freep(&x->line.kept);
    x->line.keptCount = 0;
    x->line.keptRoom = 0;
    x->line.keptSamples = -1;
}

// Takes the frame's data while the stream decoded so far is short enough, else gives it up.
static void vorlo_keepFrame(t_vorlo_load *x, AVFrame *frame)
{
    if (x->line.keptSamples < 0)
        return;
    x->line.keptSamples += (int64_t)frame->nb_samples * vorlo_ff_frame_channels(frame);
    if (x->line.keptSamples > VORLO_KEPT_SAMPLES) {
        vorlo_dropKeptFrames(x);
        return;
    }
    if (x->line.keptCount == x->line.keptRoom) {
        int room = x->line.keptRoom ? 2 * x->line.keptRoom : 64;
        AVFrame **frames = (AVFrame **)av_realloc_array(x->line.kept, room, sizeof *frames);
        if (!frames) {
            vorlo_dropKeptFrames(x);
            return;
        }
        x->line.kept = frames;
        x->line.keptRoom = room;
    }
    AVFrame *kept = av_frame_alloc();
    if (!kept) {
        vorlo_dropKeptFrames(x);
        return;
    }
    av_frame_move_ref(kept, frame);
    x->line.kept[x->line.keptCount++] = kept;
}

// A decoder error leaves the frames to a run, which skips what it cannot decode as the
// ffmpeg program does and says so.
static void vorlo_walkFrames(t_vorlo_load *x, t_vorlo_walk *walk)
{
    int ret;
    while ((ret = avcodec_receive_frame(x->codecCtx, x->frame)) == 0) {
        vorlo_walkFrame(x, walk, x->frame);
        vorlo_keepFrame(x, x->frame);
        av_frame_unref(x->frame);
    }
    if (ret != AVERROR(EAGAIN) && ret != AVERROR_EOF)
        vorlo_dropKeptFrames(x);
}

// Decodes from where the input stands until it ends, or until `packets` packets have been
// decoded (0: no limit). A read error ends the stream as the runs would see it end.
static bool vorlo_walk(t_vorlo_load *x, t_vorlo_walk *walk, int packets)
{
    for (int n = 0; packets == 0 || n < packets; n++) {
        if (!vorlo_going(x))
            return false;
        if (vorlo_nextPacket(x) < 0) {
            avcodec_send_packet(x->codecCtx, nullptr);
            vorlo_walkFrames(x, walk);
            walk->ended = 1;
            break;
        }
        if (x->line.first.size == 0)
            vorlo_markPacket(&x->packet, &x->line.first);
        int ret = avcodec_send_packet(x->codecCtx, &x->packet);
        av_packet_unref(&x->packet);
        if (ret == 0)
            vorlo_walkFrames(x, walk);
        else
            vorlo_dropKeptFrames(x);
    }
    return vorlo_going(x);
}

// What the stream's own header says of its length, in the decoder's frames; -1 when it says
// nothing.
static int64_t vorlo_headerFrames(t_vorlo_load *x)
{
    AVStream *stream = vorlo_stream(x);
    if (stream->duration <= 0)
        return -1;
    return av_rescale_q(stream->duration, stream->time_base, vorlo_perSample(x->source.rate));
}

// Where the container places the end of the stream, in the decoder's frames; -1 when it
// has no idea.
static int64_t vorlo_estimatedFrames(t_vorlo_load *x)
{
    int64_t header = vorlo_headerFrames(x);
    if (header > 0 || x->formatCtx->duration <= 0)
        return header;
    return av_rescale_q(x->formatCtx->duration, AV_TIME_BASE_Q, vorlo_perSample(x->source.rate));
}

// The length from the stream's last seconds: a seek shortly before where the container
// places the end, then a decoding to the end whose first time-stamped frame says where it
// lies. -1 when the tail cannot tell (the seek fails or lands past the end, or time stamps
// disagree there).
static int64_t vorlo_tailFrames(t_vorlo_load *x, int64_t from)
{
    int64_t target = x->line.origin + av_rescale_q(from, vorlo_perSample(x->source.rate),
                                                    vorlo_stream(x)->time_base);
    if (av_seek_frame(x->formatCtx, x->streamIndex, target, AVSEEK_FLAG_BACKWARD) < 0)
        return -1;
    avcodec_flush_buffers(x->codecCtx);
    t_vorlo_walk tail;
    vorlo_startWalk(x, &tail, VORLO_UNKNOWN);
    if (!vorlo_walk(x, &tail, 0) || !tail.ended || !tail.exact || tail.offset == VORLO_UNKNOWN)
        return -1;
    return tail.offset + tail.counted;
}

// The length that the demuxer read from the container, in the decoder's frames: -1 for none,
// or for one guessed from the bit rate.
static int64_t vorlo_demuxerFrames(t_vorlo_load *x)
{
    return x->formatCtx->duration_estimation_method == AVFMT_DURATION_FROM_STREAM ? vorlo_headerFrames(x) : -1;
}

// Reads `size` bytes of the load's file from `pos` on; false when the file holds fewer.
static bool vorlo_readHeaderBytes(t_vorlo_load *x, int64_t pos, uint8_t *buf, int size)
{
    return x->file && pos >= 0 && pos + size <= vorlo_fileSize(x->file) &&
           vorlo_readFileAt(x->file, pos, buf, size) == size;
}

static uint32_t vorlo_le32(const uint8_t *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

// A RIFF file's chunks before its data chunk: a format chunk, a fact chunk, a few of tags.
static const int VORLO_WAV_CHUNKS = 64;

// The bytes of audio that a RIFF WAVE file's data chunk announces; -1 where the header
// tells none: a size of 0 or 0xFFFFFFFF, or sox's 0x7FFFF000, is what a writer into a pipe
// leaves.
static int64_t vorlo_wavDataBytes(t_vorlo_load *x)
{
    uint8_t chunk[12];
    if (!vorlo_readHeaderBytes(x, 0, chunk, 12) || memcmp(chunk, "RIFF", 4) != 0 || memcmp(chunk + 8, "WAVE", 4) != 0)
        return -1;
    int64_t pos = 12;
    for (int i = 0; i < VORLO_WAV_CHUNKS && vorlo_readHeaderBytes(x, pos, chunk, 8); i++) {
        uint32_t size = vorlo_le32(chunk + 4);
        if (memcmp(chunk, "data", 4) == 0)
            return size == 0 || size == 0xFFFFFFFFu || size == 0x7FFFF000u ? -1 : (int64_t)size;
        pos += 8 + (int64_t)size + (size & 1);
    }
    return -1;
}

// The frames that `bytes` of the stream hold where its codec's bytes tell them: PCM and
// the other codecs of a fixed number of bits per sample, and codecs of blocks of a fixed
// number of samples (the ADPCM codecs, Microsoft's GSM), in whole blocks; -1 for the rest
// (MP3 in WAV).
static int64_t vorlo_framesOfBytes(t_vorlo_load *x, int64_t bytes)
{
    AVCodecParameters *par = vorlo_stream(x)->codecpar;
    int bits = av_get_exact_bits_per_sample(par->codec_id);
    int channels = vorlo_ff_par_channels(par);
    if (bits > 0)
        return channels > 0 ? bytes * 8 / ((int64_t)bits * channels) : -1;
    bool blocks = (par->codec_id >= AV_CODEC_ID_ADPCM_IMA_QT && par->codec_id < AV_CODEC_ID_AMR_NB) ||
                  par->codec_id == AV_CODEC_ID_GSM_MS;
    int perBlock = blocks && par->block_align > 0 ? av_get_audio_frame_duration2(par, par->block_align) : 0;
    return perBlock > 0 ? bytes / par->block_align * perBlock : -1;
}

// Containers whose stream length is their own header's or index's: WAV's data chunk (RF64's
// and BW64's ds64 chunk), AIFF's COMM chunk, AU's data size, FLAC's STREAMINFO, the sample
// table of MP4 and QuickTime, the frame count of an MP3's Xing or VBRI header, the totals of
// WavPack, Monkey's Audio and TTA. The others give an estimate or a count of whole packets
// (CAF's, whose last packet may be short), or Ogg's last granule position, which FFmpeg
// counts from granule 0 for a stream captured from the middle of a longer one.
static bool vorlo_headerAnnouncesLength(const t_vorlo_load *x)
{
    static const char *const names[] = {"wav", "aiff", "au", "flac", "mov,mp4,m4a,3gp,3g2,mj2", "mp3", "wv", "ape", "tta"};
    for (const char *name : names)
        if (strcmp(x->formatCtx->iformat->name, name) == 0)
            return true;
    return false;
}

// What the file itself announces of the stream's length, in the decoder's frames: a length
// in its header or its index; -1 where it announces none. FFmpeg's WAV demuxer takes the
// length of a file that ends before its data chunk does from the file's size: the data
// chunk's own is then read here, through the load's own opening of the file.
static int64_t vorlo_announcedFrames(t_vorlo_load *x)
{
    int64_t frames = vorlo_headerAnnouncesLength(x) ? vorlo_demuxerFrames(x) : -1;
    if (frames < 0 && strcmp(x->formatCtx->iformat->name, "wav") == 0) {
        int64_t bytes = vorlo_wavDataBytes(x);
        frames = bytes < 0 ? -1 : vorlo_framesOfBytes(x, bytes);
    }
    return frames;
}

// How many frames a decoding may end short of what the header announces: a lossy encoder's
// padding; none for a lossless one.
static int64_t vorlo_paddingFrames(t_vorlo_load *x)
{
    const AVCodecDescriptor *descriptor = avcodec_descriptor_get(x->codecCtx->codec_id);
    bool lossless = descriptor && (descriptor->props & AV_CODEC_PROP_LOSSLESS);
    return lossless ? 0 : 2 * (int64_t)FFMAX(x->codecCtx->frame_size, 2048) + vorlo_stream(x)->codecpar->initial_padding;
}

// A length from the tail rests on where the demuxer's seek says it landed, which it may
// reckon wrongly: it is taken only where the container gives no length or agrees with it,
// else the stream is counted.
static bool vorlo_agreesWithHeader(t_vorlo_load *x, int64_t frames)
{
    int64_t given = vorlo_demuxerFrames(x);
    return given < 0 || (frames <= given && given - frames <= vorlo_paddingFrames(x));
}

// A file whose decoding ends well before its header says is cut short or damaged; a few
// frames less are the encoder's padding.
static void vorlo_warnIfTruncated(t_vorlo_load *x)
{
    int64_t announced = vorlo_announcedFrames(x);
    int64_t missing = announced - x->streamFrames;
    if (announced < 0 || missing <= vorlo_paddingFrames(x))
        return;
    double rate = x->source.rate;
    vorlo_warn(x, "%.3f sec (%lld frames) of the %.3f sec that the file announces are missing: it is "
                        "cut short or damaged.-> %s",
                missing / rate, (long long)missing, announced / rate, x->path);
}

// An Ogg stream ends at its last granule position. FFmpeg 4 decodes a Vorbis stream's last
// packet whole, past that position, where later releases end it: a few frames of the
// encoder's padding, cut here on every release. A chained file, whose stamps do not count
// samples to its end, keeps what its decoding gives.
static void vorlo_endAtLastGranule(t_vorlo_load *x)
{
    int64_t end = vorlo_headerFrames(x);
    int64_t past = x->streamFrames - end;
    if (strcmp(x->formatCtx->iformat->name, "ogg") == 0 && x->line.timedExactly && end > 0 && past > 0 &&
        past <= vorlo_paddingFrames(x))
        x->streamFrames = end;
}

// An input read once is sized by what its header claims, and a header is only the word of
// whoever wrote the file: a few kilobytes may claim days. The claim is taken up to a bound.
static int64_t vorlo_claimedFrames(t_vorlo_load *x)
{
    int64_t claimed = vorlo_estimatedFrames(x);
    int64_t most = VORLO_UNMEASURED_SAMPLES / x->source.channels;
    if (claimed <= most)
        return claimed;
    double rate = x->source.rate;
    vorlo_warn(x, "the input can be read only once, so its length cannot be measured: of the %.3f sec "
                        "that its header claims, the buffer takes at most the first %.3f sec.-> %s",
                claimed / rate, most / rate, x->path);
    return most;
}

// The PCM codecs come first among the audio codecs, before the ADPCM ones.
static bool vorlo_isPcm(enum AVCodecID id)
{
    return id >= AV_CODEC_ID_FIRST_AUDIO && id < AV_CODEC_ID_ADPCM_IMA_QT;
}

// How long the decoder needs after a seek before its output is the plain decoding's; -1
// for a decoder not known to get there. Only decoders measured here on noise at low and
// high bit rates are trusted, with a margin: the frames of the lossless codecs and of PCM
// stand alone; MPEG audio carries its bit reservoir, Opus its energy prediction, Vorbis
// its overlap. Others carry state that never settles (the dither generator of AC-3 and
// E-AC-3, the noise generator of AAC, the predictor of ADPCM across blocks), or are not
// measured: they are decoded from their beginning.
static double vorlo_settleSeconds(const AVCodecContext *codecCtx, const AVStream *stream)
{
    double seconds;
    switch (codecCtx->codec_id) {
    case AV_CODEC_ID_MP1:
    case AV_CODEC_ID_MP2:
    case AV_CODEC_ID_MP3:
        seconds = 0.5;
        break;
    case AV_CODEC_ID_OPUS:
        seconds = 0.8;
        break;
    case AV_CODEC_ID_VORBIS:
        seconds = 0.1;
        break;
    case AV_CODEC_ID_FLAC:
    case AV_CODEC_ID_ALAC:
    case AV_CODEC_ID_WAVPACK:
        seconds = 0.05;
        break;
    default:
        if (!vorlo_isPcm(codecCtx->codec_id))
            return -1;
        seconds = 0.05;
        break;
    }
    double preroll = (double)stream->codecpar->seek_preroll / codecCtx->sample_rate;
    return preroll > seconds ? preroll : seconds;
}

// A short stream that the first run will decode from its beginning costs less decoded once
// whole and kept than measured at its tail and decoded again.
static bool vorlo_keepsWhole(const t_vorlo_load *x, int64_t estimated)
{
    return x->line.keptSamples >= 0 && !x->request.isInfo && x->request.startPos == 0 && estimated >= 0 &&
           estimated * x->source.channels <= VORLO_KEPT_SAMPLES;
}

// A container that lets time stamps jump (MPEG-TS at a reset, Ogg at the next link of a
// chain) is read through without decoding before its tail is trusted.
static bool vorlo_allowsJumps(const t_vorlo_load *x)
{
    return (x->formatCtx->iformat->flags & AVFMT_TS_DISCONT) != 0;
}

// Whether the stream's time stamps may be trusted to the end: those of a container that lets
// them jump are read through first. The input is then opened afresh, since Ogg's demuxer,
// once it has read to the end, times the packets after a seek otherwise.
static bool vorlo_readsSteadily(t_vorlo_load *x)
{
    if (!vorlo_allowsJumps(x))
        return true;
    av_packet_unref(&x->packet);
    x->line.pendingPacket = 0;
    return vorlo_reopenInput(x) == 0 && vorlo_skipPackets(x, INT64_MAX) == VORLO_PACKETS_END &&
           vorlo_reopenInput(x) == 0;
}

// Where the first sample lies: the first packets, decoded from the beginning, give the
// origin of the time stamps and whether they count samples. The input is left after those
// packets, and `head` ready to count on.
static bool vorlo_findFirstSample(t_vorlo_load *x, t_vorlo_walk *head)
{
    vorlo_startWalk(x, head, 0);
    x->line.keptSamples = 0;
    if (!vorlo_walk(x, head, VORLO_HEAD_PACKETS))
        return false;
    x->line.timedExactly = head->exact && x->line.origin != AV_NOPTS_VALUE;
    return true;
}

// FFmpeg's demuxers of the containers that hold a codec's bytes as they come (WAV, AIFF, AU
// and the like) stamp the packet that a seek lands on by its byte position over the byte
// rate that the header gives. For PCM that is exact. A codec of blocks (ADPCM, GSM, MP3 in
// WAV) has a byte rate that the header rounds, and stamps that run a few frames off from
// there on: only counting tells such a stream's length.
static bool vorlo_stampsFromBytes(const t_vorlo_load *x)
{
    static const char *const names[] = {"wav", "w64", "aiff", "au", "voc", "sox", "ircam", "nistsphere", "rso", "sol"};
    if (vorlo_isPcm(x->codecCtx->codec_id))
        return false;
    for (const char *name : names)
        if (strcmp(x->formatCtx->iformat->name, name) == 0)
            return true;
    return false;
}

// Whether the stream's last half second can tell its length: its stamps count samples, also
// after a seek, it goes on past the head, and it is not short enough to be kept whole.
static bool vorlo_tailTells(t_vorlo_load *x, const t_vorlo_walk *head, int64_t tailFrom)
{
    return !head->ended && x->line.timedExactly && !vorlo_stampsFromBytes(x) && tailFrom > head->counted &&
           !vorlo_keepsWhole(x, vorlo_estimatedFrames(x));
}

// How long the stream is, by counting it whole from its beginning: `head` counts on where it
// stands, or starts again at the beginning when the input has moved since. A count has seen
// every stamp: a jump, or the gap of a packet that could not be decoded, leaves them unfit
// to place a run. The input is left at its end.
static bool vorlo_lengthByCounting(t_vorlo_load *x, t_vorlo_walk *head, bool moved)
{
    if (moved) {
        vorlo_startWalk(x, head, 0);
        if (!vorlo_rewindInput(x))
            return false;
    }
    if (!vorlo_walk(x, head, 0))
        return false;
    x->streamFrames = x->line.formatChanges ? vorlo_stretchFrames(x, x->source.rate) : head->counted;
    x->line.counted = 1;
    x->line.timedExactly = head->exact && x->line.origin != AV_NOPTS_VALUE;
    return true;
}

bool vorlo_measureStream(t_vorlo_load *x)
{
    x->line.settle = vorlo_settleSeconds(x->codecCtx, vorlo_stream(x));
    if (!vorlo_inputRereadable(x)) {
        x->streamFrames = vorlo_claimedFrames(x);
        return true;
    }
    t_vorlo_walk head;
    if (!vorlo_findFirstSample(x, &head))
        return false;
    int64_t tailFrom = vorlo_estimatedFrames(x) - (int64_t)(VORLO_TAIL_SECONDS * x->source.rate);
    bool tail = vorlo_tailTells(x, &head, tailFrom);
    if (tail)
        vorlo_dropKeptFrames(x);
    int64_t frames = tail && vorlo_readsSteadily(x) ? vorlo_tailFrames(x, tailFrom) : -1;
    if (!vorlo_going(x))
        return false;
    if (frames >= 0 && !vorlo_agreesWithHeader(x, frames)) {
        if (x->request.attrs.debug)
            vorlo_post(x, "the tail disagrees with the header: counting the stream");
        frames = -1;
    }
    if (frames >= 0)
        x->streamFrames = frames;
    else if (!vorlo_lengthByCounting(x, &head, tail))
        return false;
    vorlo_endAtLastGranule(x);
    vorlo_warnIfTruncated(x);
    return vorlo_going(x);
}

bool vorlo_countStream(t_vorlo_load *x)
{
    t_vorlo_walk whole;
    vorlo_dropKeptFrames(x);
    if (!vorlo_lengthByCounting(x, &whole, true))
        return false;
    vorlo_endAtLastGranule(x);
    return true;
}

bool vorlo_startTimeline(t_vorlo_load *x)
{
    x->line.origin = AV_NOPTS_VALUE;
    x->line.keptSamples = -1;
    x->line.runStart = VORLO_UNPLACED;
    x->line.held = av_frame_alloc();
    return x->line.held != nullptr;
}

void vorlo_endTimeline(t_vorlo_load *x)
{
    avcodec_parameters_free(&x->line.params);
    vorlo_dropKeptFrames(x);
    av_frame_free(&x->line.held);
}

// --- step 3: where the first run begins ---------------------------------------------------

// The first run begins at the packet that holds x->seektime, reached by reading the
// packets from the input's beginning without decoding them: a demuxer's seek hands back a
// stamp that it computed, not the packet's own (FFmpeg's WAV demuxer lands G.722 at twice
// the target and stamps it as the target), and one that has read to the end keeps state
// (Ogg's end-of-stream handling among it) that times packets otherwise. The input is opened
// afresh. Where the packets cannot tell their place, decoding begins at the beginning.
static int64_t vorlo_seekStamp(t_vorlo_load *x)
{
    return x->line.origin + av_rescale_q((int64_t)(x->seektime * AV_TIME_BASE), AV_TIME_BASE_Q,
                                         vorlo_stream(x)->time_base);
}

static bool vorlo_skipToFirstRun(t_vorlo_load *x)
{
    int64_t target = vorlo_seekStamp(x);
    av_packet_unref(&x->packet);
    x->line.pendingPacket = 0;
    if (vorlo_reopenInput(x) != 0 || !vorlo_renewDecoder(x))
        return false;
    if (vorlo_skipPackets(x, target) == VORLO_PACKETS_REACHED) {
        x->line.seeked = 1;
        return vorlo_going(x);
    }
    if (!vorlo_going(x))
        return false;
    if (x->request.attrs.debug)
        vorlo_post(x, "packets that do not follow each other: decoding from the beginning");
    return vorlo_rewindInput(x);
}

bool vorlo_seeksExactly(const t_vorlo_load *x)
{
    return vorlo_inputRereadable(x) && x->line.timedExactly && x->line.origin != AV_NOPTS_VALUE &&
           x->line.settle >= 0 && !x->line.formatChanges && x->line.keptCount == 0 && !vorlo_stampsFromBytes(x);
}

// Demuxers whose seek lands on a packet that they stamp from the file's own record of it (a
// byte position in PCM, a seek table, the sample number in a frame's header, an index).
static bool vorlo_seeksToStamps(const t_vorlo_load *x)
{
    static const char *const names[] = {"wav", "w64", "aiff", "flac", "wv", "mov,mp4,m4a,3gp,3g2,mj2"};
    for (const char *name : names)
        if (strcmp(x->formatCtx->iformat->name, name) == 0)
            return true;
    return false;
}

// A piece of a stream whose demuxer seeks to stamps it can trust begins with a seek to the
// packet before its start, of any other stream by reading the packets from the beginning. A
// seek that lands elsewhere costs its seam the decoding up to where the piece's own samples
// begin.
bool vorlo_positionPiece(t_vorlo_load *x, const t_vorlo_load *whole)
{
    if (vorlo_openInputAs(x, whole->formatCtx->iformat) != 0 || !vorlo_openDecoder(x, whole->codecCtx->codec)) {
        x->failed = vorlo_going(x);
        return false;
    }
    x->line.seeked = 1;
    int64_t target = vorlo_seekStamp(x);
    if (vorlo_seeksToStamps(x) && av_seek_frame(x->formatCtx, x->streamIndex, target, AVSEEK_FLAG_BACKWARD) < 0 &&
        x->request.attrs.debug)
        vorlo_post(x, "a piece's seek failed: reading its packets from where the input stands");
    return vorlo_skipPackets(x, target) == VORLO_PACKETS_REACHED && vorlo_going(x);
}

bool vorlo_positionFirstRun(t_vorlo_load *x)
{
    x->line.seeked = 0;
    if (!vorlo_inputRereadable(x))
        return true;
    // Time stamps that do not count samples cannot tell where a frame met after a seek
    // belongs: such a stream is decoded from its beginning, as is one whose decoder is not
    // known to settle after a seek.
    bool seeks = x->line.timedExactly && x->line.settle >= 0;
    if (x->seektime > 0 && !x->line.timedExactly && x->request.attrs.debug)
        vorlo_post(x, "time stamps that do not count samples: decoding from the beginning");
    if (x->seektime > 0 && x->line.timedExactly && !seeks && x->request.attrs.debug)
        vorlo_post(x, "a decoder that does not settle after a seek: decoding from the beginning");
    if (x->seektime > 0 && seeks) {
        vorlo_dropKeptFrames(x);
        return vorlo_skipToFirstRun(x);
    }
    // The measuring decoded the whole of a short stream from its beginning and kept it.
    if (x->line.keptCount > 0)
        return true;
    return vorlo_rewindInput(x);
}

// --- placing decoded frames ---------------------------------------------------------------

void vorlo_beginRun(t_vorlo_load *x, bool firstRun)
{
    // A run from the input's beginning knows its place by counting; one after a seek waits
    // for confirmed time stamps, and writes nothing until then.
    bool atBeginning = !firstRun || !x->line.seeked;
    x->line.skipFrames = firstRun && vorlo_takesSection(&x->request) ? (vorlo_count)floor(x->start * x->resultSampleRate + 0.5) : 0;
    vorlo_resetStamps(&x->line.stamps);
    av_frame_unref(x->line.held);
    x->line.placed = atBeginning;
    x->line.trim = 0;
    x->index = atBeginning ? -x->line.skipFrames * x->resultChannels : VORLO_UNPLACED;
    x->line.runStart = atBeginning ? x->index : VORLO_UNPLACED;
}

// Sets index where the frame of this time stamp belongs.
// A resampler that starts anew converts on a grid of its own: only where a decoded sample
// falls on an output sample does it take up the grid of the resampling from the stream's
// beginning, so that after its filter has filled both give the same samples. Decoded
// samples before the next such place are dropped.
static void vorlo_placeAt(t_vorlo_load *x, int64_t ts)
{
    AVRational timeBase = vorlo_stream(x)->time_base;
    int64_t rate = x->source.rate;
    int64_t position = av_rescale_q(ts - x->line.origin, timeBase, vorlo_perSample((int)rate));
    int64_t step = rate / av_gcd(rate, x->resultSampleRate);
    x->line.trim = ((step - position % step) % step + step) % step;
    vorlo_count frames = av_rescale(position + x->line.trim, x->resultSampleRate, rate);
    x->index = (frames - x->line.skipFrames) * x->resultChannels;
    x->line.placed = 1;
    if (x->line.runStart == VORLO_UNPLACED) {
        x->line.runStart = x->index;
        if (x->line.skipFrames > 0 && x->index > 0 && !x->whole)
            vorlo_warn(x, "targetSeekTimeInSec < startInSeconds. The start index will be incorrect!");
    }
    if (x->request.attrs.debug) {
        vorlo_post(x, "start time %lf", (ts - x->line.origin) * av_q2d(timeBase));
        vorlo_post(x, "start index %lld (sr: %i, ch: %i)", (long long)x->index, x->resultSampleRate,
                    x->resultChannels);
    }
}

// Without an origin nothing can be placed by time stamps: counting goes on.
bool vorlo_anchorFrame(t_vorlo_load *x, AVFrame *frame)
{
    if (x->line.origin == AV_NOPTS_VALUE) {
        x->line.placed = 1;
        return true;
    }
    int64_t ts = vorlo_frameTime(frame);
    int64_t heldTs = x->line.stamps.ts;
    if (ts == AV_NOPTS_VALUE) {
        vorlo_resetStamps(&x->line.stamps);
        av_frame_unref(x->line.held);
        return false;
    }
    if (!vorlo_confirmStamp(x, &x->line.stamps, ts, frame->nb_samples)) {
        av_frame_unref(x->line.held);
        av_frame_ref(x->line.held, frame);
        return false;
    }
    vorlo_placeAt(x, heldTs);
    return true;
}

// The stream ended with a frame still waiting: its own time stamp is all there is.
bool vorlo_anchorLastFrame(t_vorlo_load *x)
{
    if (x->line.placed || x->line.held->nb_samples <= 0)
        return false;
    vorlo_placeAt(x, x->line.stamps.ts);
    return true;
}

// The load: everything one load uses, owned by its loader thread from its start to its
// one end, and the stream's time line within it.
#ifndef VORLO_LOAD_H
#define VORLO_LOAD_H

#include "object_record.h"
#include "writer_state.h"

#include <vector>

// The packet that the input began with, to know it again after a seek back to it.
typedef struct _vorlo_packetMark {
    int64_t pos, pts, dts, duration;
    int size;                  // 0: nothing marked yet
    int skipSize;              // bytes of trimming side data, and the data
    uint8_t skip[16];
} t_vorlo_packetMark;

// A time stamp and the decoder samples met since the frame that bore it: the next stamp
// confirms it when the two differ by just those samples.
typedef struct _vorlo_stampPair {
    int64_t ts;       // AV_NOPTS_VALUE before any
    int64_t samples;
} t_vorlo_stampPair;

// A stretch of frames of one format, as a counting from the stream's beginning met it.
typedef struct _vorlo_stretch {
    int rate;
    int64_t frames;             // decoder frames
    int64_t made;               // source frames that its conversion makes, once another follows
} t_vorlo_stretch;

// What the loader knows of the stream's time line, and where the run being decoded stands
// on it: one for each load, owned by the loader thread (stream_timeline.cpp).
typedef struct _vorlo_timeline {
    int64_t origin;             // time stamp of the stream's first decoded sample; AV_NOPTS_VALUE until known
    int timedExactly;           // frame time stamps count samples: a run after a start is placed by them
    int counted;                // the length is the count of a decoding from the beginning
    int sourceSeen;             // the source format is the stream's first frame's, not its parameters'
    int formatChanges;          // a frame of another format was met: the stream is counted, not timed
    std::vector<t_vorlo_stretch> stretches; // of the last counting from the beginning
    int changeTold;             // the change has been told (with debug on)
    double settle;              // seconds that the decoder needs after a start to yield the plain
                                // decoding; below 0: it is not known to get there
    t_vorlo_packetMark first;   // the input's first packet of the stream
    AVCodecParameters *params;  // the stream's parameters as the probing left them
    int pendingPacket;          // x->packet holds the packet that the next run decodes first
    int seeked;                 // the first run begins at a packet after the input's beginning
    // A short stream that the measuring decoded whole, kept decoded: the first run writes
    // these frames instead of decoding the stream again.
    AVFrame **kept;
    int keptCount;
    int keptRoom;
    int64_t keptSamples;        // samples of all channels kept; -1: not keeping
    // Placing the run's frames.
    int placed;                 // 0: the run waits for confirmed time stamps to place its frames
    vorlo_count skipFrames;     // frames before the section start, written as negative positions
    vorlo_count runStart;       // index the run's first placed frame took; VORLO_UNPLACED before it
    t_vorlo_stampPair stamps;   // the held frame's time stamp
    int64_t trim;               // decoded samples still to drop before the placed position
    AVFrame *held;              // a frame waiting for the next one's time stamp to place it
} t_vorlo_timeline;

// The gate through which a load reaches its instance, the patch and the buffer~s. The
// loader passes it for each touch (a claim on the samples for one packet, a console line, a
// notification); the main thread closes it when it stops the load, waiting only for the
// touches under way, and from then on the load reaches nothing but what it owns.
typedef struct _vorlo_gate t_vorlo_gate;
typedef struct _vorlo_piece t_vorlo_piece; // decode_pieces.cpp

// The load: made on the main thread with the request's copy, owned by the loader thread
// from its start to its one end. The instance holds it too, as the handle of its current
// load, until it has told the load's end; whichever lets go last frees it.
typedef struct _vorlo_load {
    // Shared with the instance.
    std::atomic<int32_t> holders;       // the instance and the thread: the last frees the load
    std::atomic<int32_t> abort_request; // 1: the loader must stop
    std::atomic<int32_t> resize_done;   // 0: a resize is pending on the main thread; 1 done; VORLO_RESIZE_REFUSED
    vorlo_count heldFrames;             // the target's size after the resize, written before resize_done
    vorlo_count heldChannels;
    std::atomic<int32_t> raised;        // VORLO_NOTE_* set by the loader, not yet delivered
    std::atomic<int32_t> wrote;         // the loader has claimed the target to write
    int32_t listTold;                   // main thread: the list has gone out
    t_vorlo_gate *gate;
    // A long stream decoded in pieces at once: each piece but the first is a load of its own
    // on a worker thread, which reaches the instance through this load's gate and stops with
    // it (vorlo_going). Null in the load itself.
    struct _vorlo_load *whole;
    std::atomic<int32_t> halted;        // a piece failed or met damage: every piece stops
    t_vorlo_piece *piece;               // the piece this load decodes; null: the load is one piece
    int onePiece;                       // the stream is decoded in one piece from now on
    struct _vorlo_resizeWakeup *resizeWakeup; // the loader waits on it for the main thread's resize
    // Reached through the gate only.
    t_vorlo *owner;                     // the instance: its console, its notifications
    t_buffer_ref *targetRef;            // the instance's references to the load's buffer~s
    t_buffer_ref *sourceRef;
    t_dictionary *metadata;             // the metadata dictionary, retained by the instance; null: none

    t_vorlo_request request;            // the request's copy, never changed once the load has started
    // The source and the section, resolved once.
    char path[MAX_PATH_CHARS];  // the conformed path that FFmpeg opens and messages quote
    t_vorlo_frameFormat source; // the format of the stream's first frame
    int64_t streamFrames;       // what the decoder yields from the whole stream, in the source's frames
    double fileLength;          // the same in seconds
    double start;               // seconds
    double length;              // seconds: the section's length, once resolved
    double bufferOffset;        // seconds: where an import begins in the target
    double seektime;            // seconds: where the first run begins
    // The target as the load knows it: the request's snapshot, then its size after a
    // first attempt of a reload.
    double targetSr;
    vorlo_count targetFrames;
    vorlo_count targetChannels;
    // The route that the source allows, and the channels it needs.
    double routeList[VORLO_ROUTE_PAIRS][2];
    int32_t import_output_channel_list[VORLO_ROUTE_PAIRS];
    signed char requestedChannels;
    char routePassesThrough;   // the route sends every source channel to itself and nothing else

    // Decoding.
    AVFrame *frame;
    AVFrame *resampledFrame;
    AVPacket packet;
    AVFormatContext *formatCtx;
    AVCodecContext *codecCtx;
    SwrContext *swrCtx;
    int32_t streamIndex;
    int listSent;
    int badPackets;             // never reset within a load
    int lastPacketBad;          // the last packet read could not be decoded
    int endsInsidePacket;       // runs that met the stream's end in a packet that could not be decoded
    int failed;                 // a read or seek failure cut the load short
    struct _vorlo_file *file;   // the file as the load first opened it, which every pass reads
    t_vorlo_timeline line;

    int metaKeys;               // keys made in the metadata dictionary
    int64_t metaSkipped;        // keys left out past their limit

    // The result and where it goes.
    t_atom file_props[VORLO_PROPS];
    int32_t resultSampleRate;
    int32_t resultChannels;
    vorlo_count index;               // next write position, interleaved samples
    vorlo_count indexLimit;          // exclusive bound of index
    vorlo_count writeOffset;
    float *targetSamples;            // the target's samples while the writer claims them, else null
    t_buffer_obj *claimed;           // the buffer~ of that claim
    vorlo_count claimFrames;         // the target's size when the load first claimed it: a claim
    vorlo_count claimChannels;       // that finds another has met a resize by the patch
    struct _vorlo_prefault *prefault; // faults the target's pages in ahead of the writer; null: none

    // An import's shaping, as the load took it from the attributes at its start.
    vorlo_count importSamples;
    vorlo_count fadeoutSamples;
    vorlo_count fadeoutStart;
    float fadeoutStep;
    vorlo_count fadeoutPos;
    vorlo_count fadeinSamples;
    float fadeinStep;
    float gainFactor;
    float shapeGain;            // gainFactor, or 1 without gain
    float shapeFadeinExp;
    float shapeFadeoutExp;
    char shapeFadein;           // the fade-in applies
    char shapeFadeout;
    char shapeMix;
    float shortenedFadein;      // a fade that the import shortened, for the attribute; < 0: none
    float shortenedFadeout;

    int32_t writeFailed;        // writing cannot go on: the load ends with the error bang, keeping what it wrote
    t_vorlo_writer writer;
    vorlo_count seamStart;      // from here on the writer compares what it writes with what it overwrites
    vorlo_count seamAgreedFrom; // where the samples began to agree with those they overwrote
    float seamTolerance;
} t_vorlo_load;

// A load goes on while no stop has been asked for.
static inline bool vorlo_going(const t_vorlo_load *x)
{
    const t_vorlo_load *load = x->whole ? x->whole : x;
    return load->abort_request == 0 && load->halted == 0;
}

// The gate (load_life.cpp). A touch of the instance, the patch or a buffer~ is made between enter (false:
// the load has been stopped, touch nothing) and leave; touches nest.
bool vorlo_enterGate(t_vorlo_load *x);
void vorlo_leaveGate(t_vorlo_load *x);
// Main thread: stops the load and waits for the touches under way; afterwards the load
// reaches nothing of the instance. A second close does nothing.
void vorlo_closeGate(t_vorlo_load *x);
// The instance's console and notifications, through the gate.
void vorlo_error(t_vorlo_load *x, const char *fmt, ...);
void vorlo_warn(t_vorlo_load *x, const char *fmt, ...);
void vorlo_post(t_vorlo_load *x, const char *fmt, ...);
void vorlo_errorPlain(t_vorlo_load *x, const char *fmt, ...); // as object_error and post of no object
void vorlo_postPlain(t_vorlo_load *x, const char *text);
void vorlo_postPiece(t_vorlo_load *x, long flags, const char *piece); // object_poststring's pieces
void vorlo_raise(t_vorlo_load *x, int32_t note);

#endif

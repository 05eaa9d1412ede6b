// Declarations shared by the files of the loader thread: the working values of one load,
// and the stream's time line (where the stream's first sample lies, how long the stream
// is, and how a run of decoding reaches the place where it begins).
#ifndef VORLO_LOADER_H
#define VORLO_LOADER_H

#include "object_record.h"

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

// What the loader knows of the stream's time line, and where the run being decoded stands
// on it: one for each load, owned by the loader thread (stream_timeline.cpp).
typedef struct _vorlo_timeline {
    int64_t origin;             // time stamp of the stream's first decoded sample; AV_NOPTS_VALUE until known
    int timedExactly;           // frame time stamps count samples: a run after a start is placed by them
    int counted;                // the length is the count of a decoding from the beginning
    double settle;              // seconds that the decoder needs after a start to yield the plain
                                // decoding; below 0: it is not known to get there
    t_vorlo_packetMark first;   // the input's first packet of the stream
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

// Working values of one load, held by the loader thread.
typedef struct _vorlo_load {
    char path[MAX_PATH_CHARS];  // the conformed path that FFmpeg opens and messages quote
    int64_t streamFrames;       // what the decoder yields from the whole stream, in its own frames
    double fileLength;          // the same in seconds
    double start;               // seconds
    double seektime;            // seconds: where the first run begins
    int listSent;
    int badPackets;             // never reset within a load
    int lastPacketBad;          // the last packet read could not be decoded
    int endsInsidePacket;       // runs that met the stream's end in a packet that could not be decoded
    int truncationTold;         // the warning that the file is shorter than it announces went out
    int failed;                 // a read or seek failure cut the load short
    int64_t inputSize;          // bytes of the file when the load first opened it; 0: not yet
    t_vorlo_timeline line;
} t_vorlo_load;

// A load goes on while no stop has been asked for.
static inline bool vorlo_going(const t_vorlo *x)
{
    return x->abort_request == 0;
}

// A load that takes a section of the source (import, importreplace) rather than the whole.
static inline bool vorlo_takesSection(const t_vorlo *x)
{
    return x->isImport || x->isImportReplace;
}

// The write position of a run that has not yet met a frame with a time stamp: the writer
// drops everything written there.
static const vorlo_count VORLO_UNPLACED = INT64_MIN / 4;

// --- decode_pipeline.cpp ---------------------------------------------------------------

// With debug on, the last line of a load's trace and the blank line after it.
void vorlo_closeTrace(t_vorlo *x, const char *reason);
// Places and writes what the decoder has ready; AVERROR(EAGAIN) once it has nothing more.
int vorlo_receiveAndHandle(t_vorlo *x, t_vorlo_load *load, AVCodecContext *codecCtx, AVFrame *frame);

// --- target_buffer.cpp -------------------------------------------------------------------

// Claims the samples of buffer~ `b` (the load's "target" or "source", called `name`) while it
// keeps the size the load measured; see vorlo_claimTarget.
bool vorlo_claimSamples(t_vorlo *x, t_buffer_obj *b, vorlo_count frames, vorlo_count channels, const char *role,
                        const t_symbol *name, float **samples);

// --- buffer_source.cpp -------------------------------------------------------------------

// The load of a "buffer=" source: true once the section is copied (or the copy was cut
// short: what was written is kept), false for the error exit.
bool vorlo_loadFromBuffer(t_vorlo *x);

// --- result_format.cpp -----------------------------------------------------------------

// A request position in seconds; 0 means not given and is never converted. "pct" is a
// percentage of `pctOf` seconds, "bufpct" of `bufpctOf`.
double vorlo_seconds(double value, int32_t unit, double pctOf, double bufpctOf);
// The target buffer's length in seconds, as the request found it.
double vorlo_targetSeconds(const t_vorlo *x);
// The offset of an import in seconds and as writeOffset (whole frames, interleaved); false
// after its error when it lies at or past the buffer's end.
bool vorlo_placeImport(t_vorlo *x);
// The route checked against the source and the target, then resultSampleRate and
// resultChannels for the source that codecCtx describes; false after the error of a
// mix-down placed from startTrack that would not fit the target.
bool vorlo_decideResultFormat(t_vorlo *x);
// The result frames of a section: its length, no more than the `rest` seconds that the
// source holds from the start on, at the result's rate.
double vorlo_sectionFrames(const t_vorlo *x, double rest);
// indexLimit for this many result frames, within the room behind an import's offset;
// false when the amount is unusable.
bool vorlo_limitResult(t_vorlo *x, double frames);

// --- stream_timeline.cpp ---------------------------------------------------------------
// The steps, in the order a load takes them; each says where it leaves the input.

// Starts the load's time line; its frame is freed by vorlo_endTimeline. False when memory
// is short.
bool vorlo_startTimeline(t_vorlo_load *load);
void vorlo_endTimeline(t_vorlo_load *load);
// Where the first sample lies and how long the stream is: the origin of its time stamps,
// whether they count samples, and the frames that the decoder yields from the whole stream.
// The input is left at its end (an input read once: where it was). False when a stop came
// first or the input could not be opened again (reported).
bool vorlo_measureStream(t_vorlo *x, t_vorlo_load *load);
// The same by decoding the stream whole from its beginning and counting, for a stream
// found damaged; the input is left at its end.
bool vorlo_countStream(t_vorlo *x, t_vorlo_load *load);
// Where the first run begins: the input is left at the packet that holds load->seektime
// (pending in x->packet), or at its beginning, or (kept frames) as it was. False when a
// stop came first or the input could not be opened again (reported).
bool vorlo_positionFirstRun(t_vorlo *x, t_vorlo_load *load);
// Back to the input's beginning (priming and all), with a new decoder: by a seek when it
// provably lands there, else by opening the input afresh. False after a report.
bool vorlo_rewindInput(t_vorlo *x, t_vorlo_load *load);
// A run places its frames afresh: by counting from the stream's start when it begins at the
// input's beginning, otherwise where confirmed time stamps say.
void vorlo_beginRun(t_vorlo *x, t_vorlo_load *load, bool firstRun);
// Places a run that does not know its place yet: true once this frame's time stamp has
// confirmed the held frame's, with index set for the held frame; false while the frame
// waits in load->line.held (or is dropped, having no time stamp).
bool vorlo_anchorFrame(t_vorlo *x, t_vorlo_load *load, AVFrame *frame);
// At the stream's end: places a frame still waiting by its own time stamp; true when there
// was one.
bool vorlo_anchorLastFrame(t_vorlo *x, t_vorlo_load *load);
// Frees the frames that the measuring kept, and keeps no more.
void vorlo_dropKeptFrames(t_vorlo_load *load);

// Opening and reading, for these steps and the runs.
// Opens the input (as the given format; null: the format is probed); 0, an FFmpeg error,
// or AVERROR_EXIT when a stop came first.
int vorlo_openInput(t_vorlo *x, t_vorlo_load *load, vorlo_ff_input_format format);
// Makes the decoder of the chosen stream afresh; false after reporting why it could not.
bool vorlo_openDecoder(t_vorlo *x, const t_vorlo_load *load, const AVCodec *decoder);
// The one report of an input that cannot be opened: the path, then the reason.
void vorlo_reportOpenError(t_vorlo *x, const char *path, const char *reason);
// Whether the input can be read again from its beginning (a pipe cannot).
bool vorlo_inputRereadable(const t_vorlo *x);
// The next packet of the chosen stream into x->packet: 0, AVERROR_EOF or an error.
int vorlo_nextPacket(t_vorlo *x, t_vorlo_load *load);

// --- file_input.cpp ----------------------------------------------------------------------

// Why the path cannot be loaded although it exists (a device), or null.
const char *vorlo_refuseInput(const char *path);
// The reader of load->path for the format context's pb: for a FIFO one that a stop ends at
// once, for a file one that keeps the size the load first found; null for every other
// path, which FFmpeg opens itself. 0 or an FFmpeg error.
int vorlo_openReader(t_vorlo *x, t_vorlo_load *load, AVIOContext **pb);
void vorlo_freeReader(AVIOContext **pb);
// Closes formatCtx, and the reader of its own when it has one.
void vorlo_closeInput(t_vorlo *x);

// --- metadata_export.cpp ---------------------------------------------------------------

// Describes the open input in the dictionary that metadatadict names, when one is
// registered under that name; failures are reported and skipped.
void vorlo_exportMetadata(t_vorlo *x);

#endif

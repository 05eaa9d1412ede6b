// Declarations shared by the files of the loader thread: the steps of a load, the
// stream's time line (where the stream's first sample lies, how long the stream is, and how
// a run of decoding reaches the place where it begins), and the target's hand-off.
#ifndef VORLO_LOADER_H
#define VORLO_LOADER_H

#include "load.h"
#include "writer.h"

// The write position of a run that has not yet met a frame with a time stamp: the writer
// drops everything written there.
static const vorlo_count VORLO_UNPLACED = INT64_MIN / 4;

// --- the load's life (load_life.cpp) -------------------------------------------------

// Main thread: a load of the instance's request, holding the instance's references; null
// when memory is short.
t_vorlo_load *vorlo_newLoad(t_vorlo *x);
// Lets go of one holder's share; the last frees the load.
void vorlo_dropLoad(t_vorlo_load *x);
void *vorlo_threadproc_load(t_vorlo_load *x);
// --- target_buffer.cpp -------------------------------------------------------------------

// How the resize hand-off ended; resize_done holds 0 while it is pending, then 1 or REFUSED.
enum { VORLO_RESIZE_DONE = 0, VORLO_RESIZE_ABORTED = 1, VORLO_RESIZE_TIMEDOUT = 2, VORLO_RESIZE_REFUSED = 3 };
int vorlo_resizeTarget(t_vorlo_load *x);              // the loader's side of the resize hand-off
bool vorlo_makeResizeWakeup(t_vorlo_load *x);
void vorlo_freeResizeWakeup(t_vorlo_load *x);
void vorlo_wakeResizeWait(t_vorlo_load *x);           // after resize_done or abort_request has changed
void vorlo_applyTargetFormat(t_vorlo_load *x, t_buffer_obj *b); // main thread: the resize itself
bool vorlo_checkTargetClaimable(t_vorlo_load *x);     // before a resize: a target with samples can be claimed
bool vorlo_lockTarget(t_vorlo_load *x);               // checks the target's samples before the decoding
bool vorlo_claimTarget(t_vorlo_load *x);              // claims them for one write; false: write nothing
void vorlo_unlockTarget(t_vorlo_load *x);             // lets go of a claim, if one is held
// Claims the samples of the buffer~ that `ref` names (the load's "target" or "source",
// called `name`) while it keeps the size the load measured, through the gate; see
// vorlo_claimTarget. *b is the buffer~ to unlock with vorlo_releaseSamples.
bool vorlo_claimSamples(t_vorlo_load *x, t_buffer_ref *ref, vorlo_count frames, vorlo_count channels,
                        const char *role, const t_symbol *name, t_buffer_obj **b, float **samples);
void vorlo_releaseSamples(t_vorlo_load *x, t_buffer_obj *b);
// Marks the target as changed, through the gate.
void vorlo_setTargetDirty(t_vorlo_load *x);

// --- decode_pipeline.cpp ---------------------------------------------------------------

enum { VORLO_RUN_GOING = -1, VORLO_RUN_EOF, VORLO_RUN_STOPPED, VORLO_RUN_ABORTED, VORLO_RUN_FAILED, VORLO_RUN_DAMAGED };

// Where a run ends besides the input's end: past `stop`, and for a run that settles a seam
// only once the samples it writes agree with those it overwrites.
typedef struct _vorlo_runEnd {
    vorlo_count stop;
    vorlo_count agreement;  // interleaved samples that must agree; 0: no seam to settle
} t_vorlo_runEnd;

// Feeds packets to the decoder and decoded frames to the writer until the input ends, the
// run's end is reached, a stop is asked for or something fails; VORLO_RUN_*.
int vorlo_run(t_vorlo_load *x, const t_vorlo_runEnd *end);
// After a run: what the decoder (drained, unless it was already) and the resampler still
// hold is written.
void vorlo_endRun(t_vorlo_load *x, int result, bool drain);

// Releases what the load owns, whichever way it ends; a piece leaves the load's file open.
void vorlo_releaseLoad(t_vorlo_load *x);
// With debug on, the last line of a load's trace and the blank line after it.
void vorlo_closeTrace(t_vorlo_load *x, const char *reason);
// Places and writes what the decoder has ready; AVERROR(EAGAIN) once it has nothing more.
int vorlo_receiveAndHandle(t_vorlo_load *x, AVCodecContext *codecCtx, AVFrame *frame);

// --- decode_pieces.cpp -------------------------------------------------------------------

// How many pieces the first run's part of the result, from index `from` on, is decoded in
// at once: 1 unless the stream is long and a seek places its frames exactly.
int vorlo_pieceCount(const t_vorlo_load *x, vorlo_count from);
// The first run in that many pieces, their seams settled; a run's result, the load's index
// where the writing ended.
int vorlo_decodePieces(t_vorlo_load *x, vorlo_count from, int pieces);
// A frame that reaches past the end of the piece that decoded it is kept for its seam, not
// written; true when it was.
bool vorlo_holdAtPieceEnd(t_vorlo_load *x, AVFrame *frame);
// Whether the writer's failure is the load's first: a piece that fails first stops the
// others and alone says why. Always true of a load in one piece.
bool vorlo_failsFirst(t_vorlo_load *x);

// --- buffer_source.cpp -------------------------------------------------------------------

// The load of a "buffer=" source: true once the section is copied (or the copy was cut
// short: what was written is kept), false for the error exit.
bool vorlo_loadFromBuffer(t_vorlo_load *x);

// --- result_format.cpp -----------------------------------------------------------------

// A request position in seconds; 0 means not given and is never converted. "pct" is a
// percentage of `pctOf` seconds, "bufpct" of `bufpctOf`.
double vorlo_seconds(double value, int32_t unit, double pctOf, double bufpctOf);
// The target buffer's length in seconds, as the request found it.
double vorlo_targetSeconds(const t_vorlo_load *x);
// The section in seconds, once, from the source's length: its start, its length (a section's
// no more than the source holds from the start on) and an import's offset, also as
// writeOffset (whole frames, interleaved); false after the error of an offset at or past the
// buffer's end.
bool vorlo_resolveSection(t_vorlo_load *x, double sourceLength);
// The route checked against the source and the target, then resultSampleRate and
// resultChannels for the source that codecCtx describes; false after the error of a
// mix-down placed from startTrack that would not fit the target.
bool vorlo_decideResultFormat(t_vorlo_load *x);
// The result frames of a section: its length, no more than the `rest` seconds that the
// source holds from the start on, at the result's rate.
double vorlo_sectionFrames(const t_vorlo_load *x, double rest);
// indexLimit for this many result frames, within the room behind an import's offset;
// false when the amount is unusable.
bool vorlo_limitResult(t_vorlo_load *x, double frames);

// --- stream_timeline.cpp ---------------------------------------------------------------
// The steps, in the order a load takes them; each says where it leaves the input.

// Starts the load's time line; its frame is freed by vorlo_endTimeline. False when memory
// is short.
bool vorlo_startTimeline(t_vorlo_load *x);
void vorlo_endTimeline(t_vorlo_load *x);
// Where the first sample lies and how long the stream is: the origin of its time stamps,
// whether they count samples, and the frames that the decoder yields from the whole stream.
// The input is left at its end (an input read once: where it was). False when a stop came
// first or the input could not be opened again (reported).
bool vorlo_measureStream(t_vorlo_load *x);
// The same by decoding the stream whole from its beginning and counting, for a stream
// found damaged; the input is left at its end.
bool vorlo_countStream(t_vorlo_load *x);
// Where the first run begins: the input is left at the packet that holds x->seektime
// (pending in x->packet), or at its beginning, or (kept frames) as it was. False when a
// stop came first or the input could not be opened again (reported).
bool vorlo_positionFirstRun(t_vorlo_load *x);
// Whether a run that begins after a seek is placed exactly by the stream's time stamps and
// its decoder settles: the stream may then be decoded in pieces.
bool vorlo_seeksExactly(const t_vorlo_load *x);
// A piece's own input and decoder (as `whole` has them), at the packet that holds
// x->seektime: true once there. False when a stop came, the input could not be opened again
// (reported, x->failed set) or its packets cannot tell their place.
bool vorlo_positionPiece(t_vorlo_load *x, const t_vorlo_load *whole);
// Back to the input's beginning (priming and all), with a new decoder: by a seek when it
// provably lands there, else by opening the input afresh. False after a report.
bool vorlo_rewindInput(t_vorlo_load *x);
// A run places its frames afresh: by counting from the stream's start when it begins at the
// input's beginning, otherwise where confirmed time stamps say.
void vorlo_beginRun(t_vorlo_load *x, bool firstRun);
// Places a run that does not know its place yet: true once this frame's time stamp has
// confirmed the held frame's, with index set for the held frame; false while the frame
// waits in x->line.held (or is dropped, having no time stamp).
bool vorlo_anchorFrame(t_vorlo_load *x, AVFrame *frame);
// At the stream's end: places a frame still waiting by its own time stamp; true when there
// was one.
bool vorlo_anchorLastFrame(t_vorlo_load *x);
// Frees the frames that the measuring kept, and keeps no more.
void vorlo_dropKeptFrames(t_vorlo_load *x);
// A frame of another format than the source's, `seconds` into the stream (below 0: not
// known): the stream is counted, not timed; with debug on, the first such frame of the load
// whose time is known is told.
void vorlo_noteFormatChange(t_vorlo_load *x, const AVFrame *frame, double seconds);
// The frames at `rate` that the writer makes of the stretches of the last counting.
int64_t vorlo_stretchFrames(const t_vorlo_load *x, int rate);

// Opening and reading, for these steps and the runs.
// Opens the input (as the given format; null: the format is probed); 0, an FFmpeg error,
// or AVERROR_EXIT when a stop came first.
int vorlo_openInput(t_vorlo_load *x, vorlo_ff_input_format format);
// Makes the decoder of the chosen stream afresh; false after reporting why it could not.
bool vorlo_openDecoder(t_vorlo_load *x, const AVCodec *decoder);
// The one report of an input that cannot be opened: the path, then the reason.
void vorlo_reportOpenError(t_vorlo_load *x, const char *path, const char *reason);
// Whether the input can be read again from its beginning (a pipe cannot).
bool vorlo_inputRereadable(const t_vorlo_load *x);
// The next packet of the chosen stream into x->packet: 0, AVERROR_EOF or an error.
int vorlo_nextPacket(t_vorlo_load *x);

// --- file_input.cpp ----------------------------------------------------------------------

// Why the path cannot be loaded although it exists (a device), or null.
const char *vorlo_refuseInput(const char *path);
// The reader of x->path for the format context's pb: for a FIFO one that a stop ends at
// once, for a file one that keeps the size the load first found; null for every other
// path, which FFmpeg opens itself. 0 or an FFmpeg error.
int vorlo_openReader(t_vorlo_load *x, AVIOContext **pb);
void vorlo_freeReader(AVIOContext **pb);
// Closes formatCtx, and the reader of its own when it has one.
void vorlo_closeInput(t_vorlo_load *x);

// --- metadata_export.cpp ---------------------------------------------------------------

// Describes the open input in the metadata dictionary that the request retained, if any;
// failures are reported and skipped.
void vorlo_exportMetadata(t_vorlo_load *x);

#endif

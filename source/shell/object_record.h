// The instance record of vorlo~ and the declarations that all its subsystems share.
#ifndef VORLO_OBJECT_RECORD_H
#define VORLO_OBJECT_RECORD_H

#include "ext.h"
#include "ext_obex.h"
#include "ext_buffer.h"
#include "ext_dictobj.h"
#include "z_dsp.h"

#include "ffmpeg_compat.h"

#include <atomic>
#include <stdint.h>

// Positions in a buffer's interleaved samples (frames times channels): 64-bit on every
// platform, since a long file overflows a 32-bit count.
typedef int64_t vorlo_count;

enum { VORLO_ROUTE_PAIRS = 256, VORLO_ROUTE_NUMBERS = 2 * VORLO_ROUTE_PAIRS };
enum { VORLO_ROUTE_EMPTY = -10, VORLO_ROUTE_SILENT = -1 };
// The highest output channel a route may name: the result's channel count (that channel
// plus one) is a signed 8-bit value.
enum { VORLO_MAX_OUT_CHANNEL = 126 };
enum { VORLO_UNIT_SEC = 0, VORLO_UNIT_MS = 1, VORLO_UNIT_PCT = 2, VORLO_UNIT_BUFPCT = 3 };
enum { VORLO_PROPS = 7 };
enum { VORLO_SAMPLERATES = 14 };

// The loader's notifications; the bits of `raised` tell which ones it has set and the
// main thread has not yet delivered.
enum {
    VORLO_NOTE_LOADEXIT = 1,
    VORLO_NOTE_STARTREAD = 2,
    VORLO_NOTE_ERR = 4,
    VORLO_NOTE_DONE = 8
};

// The attributes as a load takes them when its request starts. The patch may set an attribute
// at any moment; the loader reads only this copy, made on the main thread before it starts.
typedef struct _vorlo_attrs {
    char debug;
    signed char resample;
    long stream_nb;
    t_symbol *metadatadict;
    char import_mix;
    float import_gain;
    float fadein;
    float fadeout;
    float fadein_exp;
    float fadeout_exp;
} t_vorlo_attrs;

typedef struct _vorlo {
    t_object ob;
    // The buffer~s of the current load, set and released under the mutex; a notification
    // that one goes away stops the load that holds it.
    t_buffer_ref *buffer_ref;        // target of the current load
    t_buffer_obj *buffer_obj;        // borrowed from buffer_ref
    t_buffer_ref *source_buffer_ref; // source of a buffer-to-buffer import
    t_buffer_obj *source_buffer_obj;
    t_symbol *buffer_name;           // target buffer~ name
    vorlo_count index;               // next write position, interleaved samples
    vorlo_count indexLimit;          // exclusive bound of index
    float *targetSamples;            // the target's samples while the writer claims them, else null
    vorlo_count claimFrames;         // the target's size when the load first claimed it: a claim
    vorlo_count claimChannels;       // that finds another has met a resize by the patch
    t_systhread loader_thread;
    t_systhread_mutex mutex;         // guards the buffer~s above
    struct _vorlo_resizeWakeup *resizeWakeup; // the loader waits on it for the main thread's resize
    struct _vorlo_prefault *prefault;         // faults the target's pages in ahead of the writer; null: none
    t_qelem *qelem_err;
    t_qelem *qelem_startread;
    t_qelem *qelem_loadexit;
    t_qelem *qelem_done;
    std::atomic<int32_t> abort_request; // 1: the loader must stop
    std::atomic<int32_t> resize_done;   // 0: a resize is pending on the main thread
    std::atomic<int32_t> raised;        // VORLO_NOTE_* set by the loader, not yet delivered
    uint32_t request_serial;            // counts load requests and breaks (main thread only)

    // the load request
    t_symbol *sourceSym;
    double targetSr;
    vorlo_count targetFrames;
    vorlo_count targetChannels;
    double startPos;
    double length;
    double bufferOffset;
    int32_t startUnit;
    int32_t lengthUnit;
    int32_t offsetUnit;
    double routeList[VORLO_ROUTE_PAIRS][2];        // [in_channel, out_channel], -10 = empty
    int32_t import_output_channel_list[VORLO_ROUTE_PAIRS];
    char routeIsUsed;
    char routePassesThrough;   // the route sends every source channel to itself and nothing else
    int32_t startTrack;
    char twoChan;

    AVFrame *frame;
    AVFrame *resampledFrame;
    AVPacket packet;
    AVFormatContext *formatCtx;
    AVCodecContext *codecCtx;
    SwrContext *swrCtx;
    uint64_t resultChannelLayout;
    int32_t streamIndex;

    void *out_props;
    void *out_done;
    void *out_error;
    void *out_spare;
    t_atom file_props[VORLO_PROPS];    // filled by the loader

    int32_t isImport;
    int32_t isImportReplace;
    int32_t isInfo;
    int32_t sourceIsBuffer;
    int32_t sourceIsDict;
    // The path to open when it is not the source's own name: a dictionary's, or the one
    // found in the search path (made on the main thread, read by the loader).
    t_string *sourcePath;
    int32_t notInSearchPath;           // the name was searched for and not found

    int32_t resultSampleRate;
    int32_t resultChannels;
    vorlo_count writeOffset;
    vorlo_count importSamples;
    vorlo_count fadeoutSamples;
    vorlo_count fadeoutStart;
    float fadeoutStep;
    vorlo_count fadeoutPos;
    vorlo_count fadeinSamples;
    float fadeinStep;

    char import_mix;
    float import_gain;
    float gainFactor;
    // an import's shaping as the load took it from the attributes at its start
    float shapeGain;            // gainFactor, or 1 without gain
    float shapeFadeinExp;
    float shapeFadeoutExp;
    char shapeFadein;           // the fade-in applies
    char shapeFadeout;
    char shapeMix;
    float fadein;
    float fadeout;
    float fadein_exp;
    float fadeout_exp;
    signed char requestedChannels;
    signed char resample;
    t_atom metadatadict;
    char debug;
    long stream_nb;
    t_vorlo_attrs attrs;   // what the running load took of the attributes above
    float shortenedFadein;  // a fade that the import shortened, for the attribute; < 0: none
    float shortenedFadeout;

    t_symbol *viewName;  // target name of the last request, for the double-click
    int32_t writeFailed; // the writer could not go on: the load ends with the error bang, keeping what it wrote
    int32_t unreadableTold; // the writer has reported samples of a format it cannot read
    vorlo_count seamStart;      // from here on the writer compares what it writes with what it overwrites
    vorlo_count seamAgreedFrom; // where the samples began to agree with those they overwrote
    float seamTolerance;

} t_vorlo;

// Statics of the external, set once by ext_main.
extern t_class *s_vorlo_class;
extern t_symbol *symsizeinsamps;
extern t_symbol *symsr;
extern t_symbol *_sym_importreplace;
extern t_symbol *_sym_import;
extern t_symbol *_sym_unspecified;
extern t_symbol *_sym_buffer; // the codec word of a buffer~ source; the host has no common symbol for it
extern t_symbol *symfree;      // the notifications of a buffer~ that goes away
extern t_symbol *symunbinding;
extern int32_t vorlo_samplerates[VORLO_SAMPLERATES];

// The host hands deferred functions a 16-bit count; longer lists are cut, never wrapped.
static inline short vorlo_shortCount(long argc)
{
    return (short)(argc > 32767 ? 32767 : argc);
}

// shell: lifecycle
void *vorlo_new(t_symbol *s, long argc, t_atom *argv);
void vorlo_free(t_vorlo *x);

// shell: loader control and notifications
void vorlo_set(t_vorlo *x, t_symbol *s, long argc, t_atom *argv);
void vorlo_doset(t_vorlo *x, t_symbol *s, short argc, t_atom *argv);
void vorlo_break(t_vorlo *x);
void vorlo_doBreak(t_vorlo *x, t_symbol *s, short argc, t_atom *argv);
t_max_err vorlo_notify(t_vorlo *x, t_symbol *s, t_symbol *msg, void *sender, void *data);
void vorlo_stopAll(t_vorlo *x);
bool vorlo_stopForRequest(t_vorlo *x);                // the stop of a request; false when the patch sent a later one meanwhile
void vorlo_assist(t_vorlo *x, void *b, long m, long a, char *s);
void vorlo_dblclick(t_vorlo *x);
t_max_err vorlo_setattr(t_vorlo *x, void *attr, long argc, t_atom *argv); // every attribute's setter
void vorlo_startReadNotify(t_vorlo *x);
void vorlo_errNotify(t_vorlo *x);
void vorlo_done(t_vorlo *x);
void vorlo_raise(t_vorlo *x, int32_t note);           // loader side: set a notification
int32_t vorlo_joinLoader(t_vorlo *x);                 // stops and joins the loader; returns what it raised meanwhile
void vorlo_deliverNotes(t_vorlo *x, int32_t notes);   // runs the startread, err and done notifications at once
void vorlo_releaseTarget(t_vorlo *x);                 // lets go of the target and the source, under the mutex
int32_t vorlo_resultRateIndex(const t_vorlo *x);      // the load's `resample`, or 0 when it names no rate

// request: the four load messages
void vorlo_replace(t_vorlo *x, t_symbol *s, long argc, t_atom *argv);
void vorlo_doReplace(t_vorlo *x, t_symbol *s, short argc, t_atom *argv);
int vorlo_get_filename_from_dict(t_vorlo *x);
void vorlo_releaseSourcePath(t_vorlo *x);
void vorlo_searchSource(t_vorlo *x);

// loader
void *vorlo_threadproc_load(t_vorlo *x);
void vorlo_loadExitNotify(t_vorlo *x);
enum { VORLO_RESIZE_DONE = 0, VORLO_RESIZE_ABORTED = 1, VORLO_RESIZE_TIMEDOUT = 2 };
int vorlo_resizeTarget(t_vorlo *x);                   // the loader's side of the resize hand-off
bool vorlo_makeResizeWakeup(t_vorlo *x);
void vorlo_freeResizeWakeup(t_vorlo *x);
void vorlo_wakeResizeWait(t_vorlo *x);                // after resize_done or abort_request has changed
bool vorlo_lockTarget(t_vorlo *x);                    // checks the target's samples before the decoding
bool vorlo_claimTarget(t_vorlo *x);                   // claims them for one write; false: write nothing
void vorlo_unlockTarget(t_vorlo *x);                  // lets go of a claim, if one is held
void vorlo_startPrefault(t_vorlo *x, vorlo_count from); // on the locked target, from index `from` to the result's end
void vorlo_awaitPrefault(const t_vorlo *x, vorlo_count end); // before the writer writes below `end`
void vorlo_stopPrefault(t_vorlo *x);

// writer
void vorlo_validateRouting(t_vorlo *x);
void vorlo_prepareImport(t_vorlo *x);
void vorlo_handleFrame(t_vorlo *x, const AVCodecContext *codecCtx, const AVFrame *frame);
void vorlo_writeDecodedFrame(t_vorlo *x, const AVCodecContext *codecCtx, AVFrame *frame); // straight or through the resampler
void vorlo_handleFrame_resample(t_vorlo *x, const AVCodecContext *codecCtx, AVFrame *frame);
void vorlo_flushResampler(t_vorlo *x, const AVCodecContext *codecCtx); // writes what the resampler holds back
void vorlo_resetResampler(t_vorlo *x);                // drops the resampler's state before a run starts elsewhere
int64_t vorlo_resampledFrames(int64_t frames, int inRate, int outRate); // what the resampler makes of a whole stream
bool vorlo_resamplerHolds(const t_vorlo *x);          // input waits in the resampler for more
int vorlo_needsResampler(const t_vorlo *x, const AVCodecContext *codecCtx); // 1: a frame of this context goes through the resampler
bool vorlo_routeIsIdentity(const t_vorlo *x, int inChannels); // its matrix would copy every input to itself
static const vorlo_count VORLO_NO_SEAM = INT64_MAX;
void vorlo_watchSeam(t_vorlo *x, vorlo_count from, float tolerance); // compare overwritten samples from here on
// Writes to the first sample of every page of [target, target + count) without changing it,
// so that each page is faulted in once, for writing; does nothing where vorlo_touchWrites is false.
void vorlo_touchForWriting(float *target, int count);
extern const bool vorlo_touchWrites;
const char *vorlo_errtext(int code);

#endif

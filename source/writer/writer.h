// The sample writer: what the loader calls to write decoded frames into the target, and
// the declarations shared by the writer's files (how route numbers become channels, how the
// resampler's channel mode and mixing matrix are chosen).
#ifndef VORLO_WRITER_H
#define VORLO_WRITER_H

#include "load.h"

void vorlo_validateRouting(t_vorlo_load *x);
void vorlo_prepareImport(t_vorlo_load *x);
// Decides, once the target is claimed and the source's format known, how every frame of the
// load is written: straight or through the resampler, the conversion of its sample format,
// replace or import and an import's shaping. Made again when the load starts over.
void vorlo_makeWriter(t_vorlo_load *x);
void vorlo_handleFrame(t_vorlo_load *x, const AVFrame *frame);
// Writes a decoded frame, straight or through the resampler, converted first into the
// source format when it has another; false once the writer cannot go on (it has said why):
// the load ends with the error bang, keeping what was written.
bool vorlo_writeDecodedFrame(t_vorlo_load *x, AVFrame *frame);
bool vorlo_writeSourceFrame(t_vorlo_load *x, AVFrame *frame); // a frame of the source format
void vorlo_handleFrame_resample(t_vorlo_load *x, AVFrame *frame);
bool vorlo_flushResampler(t_vorlo_load *x); // writes what the converter and the resampler hold back; false as above
bool vorlo_resetResampler(t_vorlo_load *x);           // drops the resampler's state before a run starts elsewhere; false as above
int64_t vorlo_resampledFrames(int64_t frames, int inRate, int outRate, bool emptied); // what the resampler makes of a whole stream, emptied at its end or not
bool vorlo_resamplerHolds(const t_vorlo_load *x);     // input waits in the resampler for more
int vorlo_needsResampler(const t_vorlo_load *x); // 1: a frame of the source format goes through the resampler
bool vorlo_routeIsIdentity(const t_vorlo_load *x, int inChannels); // its matrix would copy every input to itself
static const vorlo_count VORLO_NO_SEAM = INT64_MAX;
void vorlo_watchSeam(t_vorlo_load *x, vorlo_count from, float tolerance); // compare overwritten samples from here on
void vorlo_setWindow(t_vorlo_load *x, vorlo_count floor, vorlo_count ceiling); // the positions written, within the result's
// Writes to the first sample of every page of [target, target + count) without changing it,
// so that each page is faulted in once, for writing; does nothing where vorlo_touchWrites is false.
void vorlo_touchForWriting(float *target, int count);
extern const bool vorlo_touchWrites;
const char *vorlo_errtext(int code);

// --- format_change.cpp: frames of another format than the source's ---
t_vorlo_frameFormat vorlo_formatOf(const AVFrame *frame);
bool vorlo_sameFormat(const t_vorlo_frameFormat *a, const t_vorlo_frameFormat *b);
uint64_t vorlo_layoutOf(const t_vorlo_frameFormat *f); // named, or the default of the count
uint64_t vorlo_fittingLayout(uint64_t layout, int channels); // 0 for a layout of another count
void vorlo_describeFormat(const t_vorlo_frameFormat *f, char *text, size_t size); // "44100 Hz, 2 channels, fltp"
bool vorlo_emptyConversion(t_vorlo_load *x); // at the stream's end: writes what the stretch's converter holds back
void vorlo_dropConversion(t_vorlo_load *x);   // at the load's end
int64_t vorlo_convertedFrames(int64_t frames, int rate, int sourceRate, bool emptied);

// The thread that faults the target's pages in ahead of the writer.
void vorlo_startPrefault(t_vorlo_load *x, vorlo_count from); // on the locked target, from index `from` to the result's end
void vorlo_awaitPrefault(const t_vorlo_load *x, vorlo_count end); // before the writer writes below `end`
void vorlo_stopPrefault(t_vorlo_load *x);

// Pair k of the route as channels, truncated toward zero; NaN and numbers far beyond any
// channel give a negative channel that no test accepts.
int vorlo_routeIn(const t_vorlo_load *x, int k);
int vorlo_routeOut(const t_vorlo_load *x, int k);

// How the resampler treats the channels, by the first mode that applies.
typedef enum {
    VORLO_SWR_ROUTE,  // the route's matrix: each output is the average of its inputs
    VORLO_SWR_EQUAL,  // the channels stay as they are
    VORLO_SWR_MONO,   // summed to one channel
    VORLO_SWR_STEREO, // summed to two channels
    VORLO_SWR_OTHER   // the library converts between the two layouts
} vorlo_swrMode;

// The channel count of the frames that the writer is to receive: the result's, except
// that an import summed to mono or stereo hands over one or two channels, which the writer
// places from startTrack on.
int vorlo_writerChannels(const t_vorlo_load *x);
vorlo_swrMode vorlo_swrModeOf(const t_vorlo_load *x, int inChannels);
int vorlo_swrOutChannels(const t_vorlo_load *x, vorlo_swrMode mode, int inChannels);

// The mode's mixing matrix as swr_set_matrix takes it (output o, input i at o × inChannels
// + i), allocated with av_calloc into *matrix. Returns 1 with a matrix, 0 when the mode
// leaves the mix to the library, or a negative error code.
int vorlo_mixMatrix(const t_vorlo_load *x, vorlo_swrMode mode, int inChannels, int outChannels, double **matrix);

#endif

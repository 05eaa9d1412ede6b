// Declarations shared by the files of the sample writer: how route numbers become
// channels, and how the resampler's channel mode and mixing matrix are chosen.
#ifndef VORLO_WRITER_H
#define VORLO_WRITER_H

#include "object_record.h"

// Pair k of the route as channels, truncated toward zero; NaN and numbers far beyond any
// channel give a negative channel that no test accepts.
int vorlo_routeIn(const t_vorlo *x, int k);
int vorlo_routeOut(const t_vorlo *x, int k);

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
int vorlo_writerChannels(const t_vorlo *x);
vorlo_swrMode vorlo_swrModeOf(const t_vorlo *x, int inChannels);
int vorlo_swrOutChannels(const t_vorlo *x, vorlo_swrMode mode, int inChannels);

// The mode's mixing matrix as swr_set_matrix takes it (output o, input i at o × inChannels
// + i), allocated with av_calloc into *matrix. Returns 1 with a matrix, 0 when the mode
// leaves the mix to the library, or a negative error code.
int vorlo_mixMatrix(const t_vorlo *x, vorlo_swrMode mode, int inChannels, int outChannels, double **matrix);

#endif

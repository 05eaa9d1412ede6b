// The request of one load: what the message grammar made of a load message on the main
// thread. The load takes its own copy when it starts and never changes it.
#ifndef VORLO_LOAD_REQUEST_H
#define VORLO_LOAD_REQUEST_H

#include "ext.h"

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

// The attributes as a load takes them when its request starts. The patch may set an attribute
// at any moment; the loader reads only this copy.
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
    long decoders;         // the most decoders a load runs at once; 0: one per core
} t_vorlo_attrs;

enum { VORLO_SAMPLERATES = 14 };

// The index into vorlo_samplerates that `resample` names; 0 when it names no rate (a
// message may store any 8-bit value; only 1 to 13 name a rate of the table).
static inline int32_t vorlo_resultRateIndex(const t_vorlo_attrs *attrs)
{
    return attrs->resample >= 1 && attrs->resample < VORLO_SAMPLERATES ? attrs->resample : 0;
}

typedef struct _vorlo_request {
    int32_t isImport;
    int32_t isImportReplace;
    int32_t isInfo;
    t_symbol *sourceSym;       // the source as the message named it
    int32_t sourceIsBuffer;
    t_symbol *sourceBuffer;    // a buffer source's name, without "buffer="
    int32_t sourceIsDict;
    // The path to open when it is not the source's own name: a dictionary's, or the one
    // found in the search path; plain memory of the request's own (null: none).
    char *sourcePath;
    int32_t notInSearchPath;   // the name was searched for and not found
    t_symbol *targetName;      // the target buffer~'s name; null for info
    // The target as the request found it.
    double targetSr;
    vorlo_count targetFrames;
    vorlo_count targetChannels;
    // Positions as the message gave them, each with its unit.
    double startPos;
    double length;
    double bufferOffset;
    int32_t startUnit;
    int32_t lengthUnit;
    int32_t offsetUnit;
    // Channel options.
    double routeList[VORLO_ROUTE_PAIRS][2];  // [in_channel, out_channel], -10 = empty
    char routeIsUsed;
    int32_t startTrack;
    char twoChan;
    signed char requestedChannels;
    t_vorlo_attrs attrs;
} t_vorlo_request;

// A load that takes a section of the source (import, importreplace) rather than the whole.
static inline bool vorlo_takesSection(const t_vorlo_request *r)
{
    return r->isImport || r->isImportReplace;
}

#endif

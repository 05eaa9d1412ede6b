// The writer of one load: what it decided once, when the load's result and the source's
// format became known, for every frame that follows.
#ifndef VORLO_WRITER_STATE_H
#define VORLO_WRITER_STATE_H

#include "load_request.h"

#include "ffmpeg_compat.h"

// An import's shaping. Factors that do not apply are 1, which leaves a sample exactly as it
// was.
typedef struct _vorlo_shaping {
    float gain;
    int fadeout;                 // the fade-out is in force
    vorlo_count fadeoutStart;
    float fadeoutStep;
    float fadeoutExp;
    vorlo_count fadeinEnd;       // 0 when no fade-in applies: written positions are never negative
    float fadeinStep;
    float fadeinExp;
    int mix;
    vorlo_count rowLead;         // target channels of a row before the frame's first channel
    vorlo_count rowTrail;        // and after its last
    int firstChannel;            // frame channels [firstChannel, endChannel) land inside a row
    int endChannel;
    unsigned char listed[VORLO_ROUTE_PAIRS]; // frame channels that the route lets through
    unsigned char listedBeyond;              // the same for channels from 256 on
} vorlo_shaping;

// A decoded frame's format. The stream's first frame gives the load its source format:
// frames of another format (a stream whose rate or channels change on the way) are
// converted into it.
typedef struct _vorlo_frameFormat {
    int rate;
    int channels;
    uint64_t layout;               // 0: no layout named
    enum AVSampleFormat format;
} t_vorlo_frameFormat;

struct _vorlo_load;
struct _vorlo_frameView;

typedef struct _vorlo_writer {
    int made;
    int resampled;                   // frames go through the resampler first
    int frameChannels;               // channels of the frames that reach the frame writer
    enum AVSampleFormat format;      // and their sample format, the decoder's
    // The conversion and the mode (replace or import) for that format.
    void (*writeFrame)(struct _vorlo_load *x, const struct _vorlo_frameView *v);
    vorlo_shaping shaping;           // an import's
    int failed;                      // its resampler failed: it writes nothing more
    // The positions it writes, [floor, ceiling): the result's, or a piece's part of it.
    vorlo_count floor;
    vorlo_count ceiling;
    uint64_t frameLayout;            // and their layout (through the resampler)
    // The stretch of frames of one format under way, and the conversion of a stretch of
    // another format than the source's.
    t_vorlo_frameFormat stretch;
    SwrContext *converter;
    AVFrame *converted;
    int unreadableTold;              // it has reported samples of a format it cannot read
} t_vorlo_writer;

#endif

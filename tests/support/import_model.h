// What an import should leave in its target, worked out sample by sample from the
// reference decoding: the section as the writer receives it (routed, or mixed down and
// placed from a channel on), shaped with gain and fades in single precision, then mixed
// into or written over the target's earlier content.
#ifndef VORLO_TEST_IMPORT_MODEL_H
#define VORLO_TEST_IMPORT_MODEL_H

#include "fixtures.h"

#include <utility>
#include <vector>

// The shaping attributes of an import, as the instance holds them.
struct ImportShape {
    bool mix = false;
    float gain = 0;  // dB
    float fadein = 0;  // ms
    float fadeinExp = 1;
    float fadeout = 0;  // ms
    float fadeoutExp = 1;
};

// The box arguments that give an instance this shaping ("@import_gain -6 @fadein 10").
std::string shape_attributes(const ImportShape &shape);

// The shaping with each fade no longer than the imported length (seconds), as the load
// leaves the attributes.
ImportShape shortened(ImportShape shape, double length);

// The section as the writer receives it: rows of `channels` samples that land in target
// channels `first` on; `written` tells for every target channel whether the load may
// touch it.
struct Incoming {
    std::vector<float> samples;
    int channels = 0;
    int first = 0;
    std::vector<bool> written;
    long frames() const { return channels ? (long)(samples.size() / channels) : 0; }
};

// Route pairs (input, output) that the load keeps: each output of a row is the average of
// the inputs routed to it, and an output fed only by input -1 is listed and gets silence.
// `reference` from frame `from` on, into rows of `targetChannels`.
Incoming routed(const Decoded &reference, long from, const std::vector<std::pair<int, int>> &pairs,
                int targetChannels);

// A mix-down of `mixdown.channels` channels, placed from target channel `first` on.
Incoming placed(const Decoded &mixdown, long from, int first, int targetChannels);

// The derived values of the shaping for rows of `channels` at `rate`, the imported length
// in seconds: interleaved sample counts, as the writer's index counts.
struct ImportFactors {
    long fadeinSamples = 0;
    float fadeinStep = 0;
    long fadeoutStart = 0;
    float fadeoutStep = 0;
    float gainFactor = 1;
};
ImportFactors import_factors(const ImportShape &shape, double length, int rate, int channels);

// The target after the import; `touched` marks the samples that the import wrote.
struct ImportResult {
    std::vector<float> samples;
    std::vector<bool> touched;
};

// `before` is the target (its rate is the import's), `offsetFrame` the frame where the
// section lands, `length` the imported length in seconds and `shape` the shaping in force
// (already shortened). The import writes round(length × rate) rows at most, and none past
// the target's end.
ImportResult import_model(const Decoded &before, const Incoming &in, long offsetFrame, double length,
                          const ImportShape &shape);

// Every sample of the buffer: those the load wrote within the tolerance, every other one
// exactly as it was; a failure names the first places that differ.
void expect_target(const Decoded &buffer, const ImportResult &expected, int channels, float tolerance);

#endif

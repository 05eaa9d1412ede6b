// Checks of a loaded buffer against the ffmpeg program's decoding, shared by the tests that
// load files.
#ifndef VORLO_TEST_BUFFER_CHECKS_H
#define VORLO_TEST_BUFFER_CHECKS_H

#include "fixtures.h"

#include <string>
#include <vector>

const float kExact = 0.0f;
// One step of a 16-bit sample and a little: what two resamplers or mixers of the same
// library may differ by after rounding to the decoder's format.
const float kRounding = 2.5f / 32767;
// What a lossy decoder that began after a seek may still differ by once it has settled.
const float kSettled = 1e-4f;

// A test case name made of any text.
std::string case_name(std::string name);

// How far a load that began after a seek may lie from the plain decoding: nothing for a
// codec that can be lossless (its decoding after a seek is the same), kSettled otherwise.
float tolerance_after_seek(const std::string &codec);

struct Span {
    long bufferFrame;     // first frame compared in the buffer
    long referenceFrame;  // the frame of the reference that belongs there
    long frames;          // how many
};

// The buffer holds the reference over the span, within the tolerance.
void expect_span(const Decoded &buffer, const Decoded &reference, Span span, float tolerance);

// The buffer is the whole reference: its rate, exactly its frames, every sample within the
// tolerance.
void expect_whole(const Decoded &buffer, const Decoded &reference, float tolerance);

// The load ended with the done bang and without the error bang.
void expect_done(const HostSession &s, const HostSession::Result &r);

// The file-properties list that the load sent gives (atom 3, milliseconds) the length of
// that many frames at that rate, to a quarter of a frame.
bool lists_length(const HostSession &s, const HostSession::Result &r, long frames, int rate);

// Buffer channel `channel` gets the average of the reference's channels `inputs`; no
// inputs: silence.
struct Feed {
    int channel;
    std::vector<int> inputs;
};
std::vector<Feed> each_to_itself(int channels);

// Where a load puts the reference: `frames` frames from reference frame `from` on into the
// buffer from frame `offset` on, through the feeds, added to what the buffer held when `mix`.
struct Placement {
    long from;
    long offset;
    long frames;
    std::vector<Feed> feeds;
    bool mix = false;
};

// The buffer holds the placed reference within the tolerance, and every sample that no feed
// names (other channels, frames outside the region) exactly as `before` held it; a failure
// names the first places that differ.
void expect_placed(const Decoded &buffer, const Decoded &before, const Decoded &reference, const Placement &p,
                   float tolerance);

// The shaping attributes of an import, and the box arguments that give an instance them
// ("@import_mix 1 @import_gain -6 @fadein 10 ...").
struct Shape {
    float gain = 0;    // dB
    float fadein = 0;  // ms
    float fadeinExp = 1;
    float fadeout = 0;  // ms
    float fadeoutExp = 1;
    bool mix = false;
};
std::string shape_attributes(const Shape &shape);

// An import of `seconds` at the buffer's rate: reference frames from `from` on, through the
// feeds, into the buffer from frame `offset` on (as far as the buffer goes), shaped.
struct ShapedImport {
    long from;
    long offset;
    double seconds;
    std::vector<Feed> feeds;
    Shape shape;
};

// The gain of each sample that the import wrote is what it added to the buffer (all of the
// sample, or what it holds over `before` when mixing) over what the feed gave; it is
// 10^(dB / 20) but in the fades, each no longer than the import: the fade-in's first sample
// adds nothing and its ramp rises to the gain after its length in frames, the fade-out's
// falls from the gain to its last step; each ramp is monotone and at its midpoint is the
// gain × 0.5^exponent, and where they overlap the gain is that of both ramps. Every other
// sample is exactly as it was. The only slack is the single-precision rounding of the
// products and of the mix's sum.
void expect_shaped(const Decoded &buffer, const Decoded &before, const Decoded &reference, const ShapedImport &import);

// A buffer of silence, as the samples of a replace that the feeds do not name are.
Decoded silence(long frames, int channels, int rate);

// The largest difference between the buffer and the reference over the frames they share.
float worst_error(const Decoded &buffer, const Decoded &reference, Span span);

#endif

// What a load takes and where it goes, whatever its source: request positions in seconds,
// the place of an import in the target, and the rate, channels and amount of what is
// written.
#include "loader.h"

#include <math.h>

// What the resampler takes: its channel limit, and a change of rate by at most this factor.
static const int VORLO_MAX_CONVERTED_CHANNELS = 64;
static const int VORLO_MAX_RATE_FACTOR = 1024;

static double vorlo_percent(double value)
{
    return value < 0 ? 0 : value > 100 ? 100 : value;
}

double vorlo_seconds(double value, int32_t unit, double pctOf, double bufpctOf)
{
    if (value == 0)
        return 0;
    switch (unit) {
    case VORLO_UNIT_SEC: return value;
    case VORLO_UNIT_MS: return value / 1000;
    case VORLO_UNIT_PCT: return vorlo_percent(value) * pctOf / 100;
    case VORLO_UNIT_BUFPCT: return vorlo_percent(value) * bufpctOf / 100;
    default: return 0;
    }
}

double vorlo_targetSeconds(const t_vorlo_load *x)
{
    return x->targetSr > 0 ? x->targetFrames / x->targetSr : 0;
}

static bool vorlo_placeImport(t_vorlo_load *x)
{
    double bufferLength = vorlo_targetSeconds(x);
    x->bufferOffset = vorlo_seconds(x->request.bufferOffset, x->request.offsetUnit, bufferLength, 0);
    if (x->bufferOffset != 0) {
        if (x->bufferOffset >= bufferLength) {
            vorlo_error(x, "requested buffer offset (%lf sec) > length of buffer (%lf sec).", x->bufferOffset,
                         bufferLength);
            return false;
        }
        if (x->request.attrs.debug)
            vorlo_post(x, "import to target buffer~ @ %f sec", x->bufferOffset);
    }
    x->writeOffset = (vorlo_count)floor(x->bufferOffset * x->targetSr + 0.5) * x->targetChannels;
    return true;
}

bool vorlo_resolveSection(t_vorlo_load *x, double sourceLength)
{
    const t_vorlo_request *r = &x->request;
    double start = vorlo_seconds(r->startPos, r->startUnit, sourceLength, 0);
    // A start before the source's beginning means its beginning.
    x->start = start > 0 ? start : 0;
    double length = vorlo_seconds(r->length, r->lengthUnit, sourceLength, vorlo_targetSeconds(x));
    double rest = sourceLength - x->start;
    if (vorlo_takesSection(r) && (length == 0 || length > rest))
        length = rest;
    x->length = length;
    x->writeOffset = 0;
    return !r->isImport || vorlo_placeImport(x);
}

// A mix-down to mono or stereo is written from target channel startTrack on: its channels
// must fit in the target's rows, or they would spill into the next row.
static bool vorlo_checkImportChannels(t_vorlo_load *x)
{
    if (x->request.routeIsUsed || !x->requestedChannels || x->request.startTrack + x->requestedChannels <= x->targetChannels)
        return true;
    vorlo_error(x, "target buffer has only %i channels and you try to import %i channel starting at track %i",
                 (int)x->targetChannels, (int)x->requestedChannels, (int)x->request.startTrack + 1);
    return false;
}

// An import is written at the target's own rate into its own rows; the other loads make
// the buffer the rate and channels of what they write.
static void vorlo_chooseResultFormat(t_vorlo_load *x, int sourceRate, int sourceChannels)
{
    if (x->request.isImport) {
        x->resultSampleRate = (int32_t)x->targetSr;
        x->resultChannels = (int32_t)x->targetChannels;
        return;
    }
    int32_t rateIndex = vorlo_resultRateIndex(&x->request.attrs);
    x->resultSampleRate = rateIndex ? vorlo_samplerates[rateIndex] : sourceRate;
    x->resultChannels = x->requestedChannels ? x->requestedChannels : sourceChannels;
}

// The resampler takes a bounded number of channels, and a header may claim any rate: a
// change of rate by a huge factor would make a buffer of gigabytes from a few kilobytes, or
// ask the resampler for a filter it cannot hold.
static bool vorlo_checkConversion(t_vorlo_load *x)
{
    int inRate = x->source.rate, inChannels = x->source.channels;
    if (!vorlo_needsResampler(x))
        return true;
    if (inChannels > VORLO_MAX_CONVERTED_CHANNELS || x->resultChannels > VORLO_MAX_CONVERTED_CHANNELS) {
        vorlo_error(x, "the source has %i channels and the result %i: converting the rate or the channels "
                             "takes at most %i",
                     inChannels, (int)x->resultChannels, VORLO_MAX_CONVERTED_CHANNELS);
        return false;
    }
    double factor = (double)inRate / x->resultSampleRate;
    if (factor > VORLO_MAX_RATE_FACTOR || factor * VORLO_MAX_RATE_FACTOR < 1) {
        vorlo_error(x, "converting %i Hz to %i Hz is beyond the factor of %i that the resampler takes", inRate,
                     (int)x->resultSampleRate, VORLO_MAX_RATE_FACTOR);
        return false;
    }
    return true;
}

bool vorlo_decideResultFormat(t_vorlo_load *x)
{
    vorlo_validateRouting(x);
    if (x->request.isImport && !vorlo_checkImportChannels(x))
        return false;
    vorlo_chooseResultFormat(x, x->source.rate, x->source.channels);
    x->routePassesThrough = vorlo_routeIsIdentity(x, x->source.channels);
    return vorlo_checkConversion(x);
}

double vorlo_sectionFrames(const t_vorlo_load *x, double rest)
{
    return floor(x->resultSampleRate * (x->length < rest ? x->length : rest) + 0.5);
}

bool vorlo_limitResult(t_vorlo_load *x, double frames)
{
    // A length beyond any buffer's reach is as unusable as none.
    if (!(frames >= 1) || frames * x->resultChannels > (double)(INT64_MAX / 2))
        return false;
    x->indexLimit = (vorlo_count)frames * x->resultChannels;
    vorlo_count room = x->targetChannels * x->targetFrames - x->writeOffset;
    if (x->request.isImport && room < x->indexLimit)
        x->indexLimit = room;
    return true;
}

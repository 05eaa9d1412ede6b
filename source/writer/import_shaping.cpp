// The checks and values that a load prepares once before its first sample: which route
// pairs can be honoured, how many channels the route needs, which target channels an
// import may touch, and the gain and fade values of an import.
#include "writer.h"

#include <limits.h>
#include <math.h>

static int vorlo_routeChannel(double number)
{
    if (!(number > -1e6 && number < 1e6))
        return INT_MIN;
    return (int)number;
}

int vorlo_routeIn(const t_vorlo_load *x, int k) { return vorlo_routeChannel(x->routeList[k][0]); }
int vorlo_routeOut(const t_vorlo_load *x, int k) { return vorlo_routeChannel(x->routeList[k][1]); }

// The input must be a source channel or -1 (an output that is listed but fed nothing);
// any other negative input would address the mixing matrix outside its rows.
static int vorlo_routePairIsValid(const t_vorlo_load *x, int in, int out, int sourceChannels)
{
    if (in != VORLO_ROUTE_SILENT && (in < 0 || in >= sourceChannels))
        return 0;
    if (out < 0 || out > VORLO_MAX_OUT_CHANNEL)
        return 0;
    return !x->request.isImport || out < x->targetChannels;
}

// Target channels keep the order of their first appearance; a full list takes no more.
static void vorlo_listOutputChannel(t_vorlo_load *x, int out)
{
    for (int k = 0; k < VORLO_ROUTE_PAIRS; k++) {
        int32_t *slot = &x->import_output_channel_list[k];
        if (*slot == out)
            return;
        if (*slot == VORLO_ROUTE_EMPTY) {
            *slot = out;
            return;
        }
    }
}

static void vorlo_postOutputChannelList(t_vorlo_load *x)
{
    char piece[32] = "import_output_channel_list: ";
    vorlo_postPiece(x, 6, piece);
    for (int k = 0; k < VORLO_ROUTE_PAIRS && x->import_output_channel_list[k] != VORLO_ROUTE_EMPTY; k++) {
        snprintf(piece, sizeof piece, "%i ", (int)x->import_output_channel_list[k]);
        vorlo_postPiece(x, 6, piece);
    }
    // The line is ended even when all 256 slots are used, so that the next post starts a line.
    piece[0] = '\0';
    vorlo_postPiece(x, 7, piece);
}

void vorlo_validateRouting(t_vorlo_load *x)
{
    if (!x->request.routeIsUsed)
        return;
    int sourceChannels = x->source.channels;
    if (x->request.isImport)
        for (int k = 0; k < VORLO_ROUTE_PAIRS; k++)
            x->import_output_channel_list[k] = VORLO_ROUTE_EMPTY;
    // "2chan" on a one-channel source feeds that channel to both outputs.
    if (x->request.twoChan && sourceChannels == 1)
        x->routeList[1][0] = 0;

    int maxOut = 0;
    for (int k = 0; k < VORLO_ROUTE_PAIRS; k++) {
        int in = vorlo_routeIn(x, k);
        if (in == VORLO_ROUTE_EMPTY)
            continue;
        int out = vorlo_routeOut(x, k);
        if (!vorlo_routePairIsValid(x, in, out, sourceChannels)) {
            x->routeList[k][0] = VORLO_ROUTE_EMPTY;
            x->routeList[k][1] = VORLO_ROUTE_EMPTY;
            continue;
        }
        if (out > maxOut)
            maxOut = out;
        if (x->request.isImport)
            vorlo_listOutputChannel(x, out);
    }
    x->requestedChannels = (signed char)(maxOut + 1);
    if (x->request.attrs.debug && x->request.isImport)
        vorlo_postOutputChannelList(x);
}

// An interleaved sample count from a product of seconds, rate and channels: toward zero,
// NaN as no samples, and never beyond what a position holds.
static vorlo_count vorlo_truncCount(double samples)
{
    if (samples != samples)
        return 0;
    if (samples >= 9.2e18)
        return INT64_MAX;
    if (samples <= -9.2e18)
        return INT64_MIN;
    return (vorlo_count)samples;
}

// The writer uses a step only at positions inside its fade, so an empty fade needs none.
static float vorlo_fadeStep(vorlo_count samples)
{
    return samples > 0 ? (float)(1.0 / (double)samples) : 0.0f;
}

// A fade longer than the import is shortened; the main thread puts the shortened value into
// the attribute itself when the load ends (vorlo_returnShortenedFades).
static float vorlo_shortenFade(t_vorlo_load *x, float fade, double seconds, float *shortened, const char *warning)
{
    double milliseconds = seconds * 1000.0;
    if (!(fade / 1000.0 > seconds))
        return fade;
    if (x->request.attrs.debug)
        vorlo_warn(x, warning, fade, milliseconds);
    *shortened = (float)milliseconds;
    return (float)milliseconds;
}

// The writer uses only what this takes from the load's copy of the attributes.
void vorlo_prepareImport(t_vorlo_load *x)
{
    double seconds = x->length;
    double rate = x->resultSampleRate;
    double channels = x->resultChannels;
    float fadeout = vorlo_shortenFade(x, x->request.attrs.fadeout, seconds, &x->shortenedFadeout,
                                      "Your fade-OUT (%f ms) is shortened as it is longer than imported length (%f ms)");
    float fadein = vorlo_shortenFade(x, x->request.attrs.fadein, seconds, &x->shortenedFadein,
                                     "Your fade-IN (%f ms) is shortened as it is longer than the imported length (%f ms)");
    float gain = x->request.attrs.import_gain;
    if (x->request.attrs.debug && fadeout / 1000.0 + fadein / 1000.0 > seconds)
        vorlo_warn(x, "Your fade-IN and fade-OUT overlap!");
    if (fadeout != 0.0f) {
        x->importSamples = vorlo_truncCount(seconds * rate * channels);
        x->fadeoutSamples = vorlo_truncCount(fadeout / 1000.0 * rate * channels);
        x->fadeoutStart = x->importSamples - x->fadeoutSamples;
        x->fadeoutStep = vorlo_fadeStep(x->fadeoutSamples);
    }
    if (fadein != 0.0f) {
        x->fadeinSamples = vorlo_truncCount(channels * (rate * (fadein / 1000.0)));
        x->fadeinStep = vorlo_fadeStep(x->fadeinSamples);
    }
    if (gain != 0.0f)
        x->gainFactor = powf(10.0f, gain / 20.0f);
    x->shapeGain = gain != 0.0f ? x->gainFactor : 1.0f;
    x->shapeFadeout = fadeout != 0.0f;
    x->shapeFadein = fadein != 0.0f;
    x->shapeFadeoutExp = x->request.attrs.fadeout_exp;
    x->shapeFadeinExp = x->request.attrs.fadein_exp;
    x->shapeMix = x->request.attrs.import_mix != 0;
}

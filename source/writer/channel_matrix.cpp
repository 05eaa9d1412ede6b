// The resampler's channel modes and the mixing matrices they set.
#include "writer.h"

int vorlo_writerChannels(const t_vorlo_load *x)
{
    if (x->request.isImport && !x->request.routeIsUsed && (x->requestedChannels == 1 || x->requestedChannels == 2))
        return x->requestedChannels;
    return x->resultChannels;
}

vorlo_swrMode vorlo_swrModeOf(const t_vorlo_load *x, int inChannels)
{
    if (x->request.routeIsUsed)
        return VORLO_SWR_ROUTE;
    if (vorlo_writerChannels(x) == inChannels)
        return VORLO_SWR_EQUAL;
    if (x->requestedChannels == 1)
        return VORLO_SWR_MONO;
    if (x->requestedChannels == 2)
        return VORLO_SWR_STEREO;
    return VORLO_SWR_OTHER;
}

int vorlo_swrOutChannels(const t_vorlo_load *x, vorlo_swrMode mode, int inChannels)
{
    switch (mode) {
    case VORLO_SWR_EQUAL:
        return inChannels;
    case VORLO_SWR_MONO:
        return 1;
    case VORLO_SWR_STEREO:
        return 2;
    default:
        return x->resultChannels;
    }
}

// Pair k feeds output o from a real input channel (not an empty pair, not a silent one).
static int vorlo_routeFeeds(const t_vorlo_load *x, int k, int o, int inChannels)
{
    int in = vorlo_routeIn(x, k);
    return in >= 0 && in < inChannels && vorlo_routeOut(x, k) == o;
}

// Each output is the plain average of the inputs routed to it; a pair given twice counts
// twice in the average but fills one cell.
static void vorlo_fillRouteMatrix(const t_vorlo_load *x, double *matrix, int inChannels, int outChannels)
{
    for (int o = 0; o < outChannels; o++) {
        int count = 0;
        for (int k = 0; k < VORLO_ROUTE_PAIRS; k++)
            count += vorlo_routeFeeds(x, k, o, inChannels);
        if (count == 0)
            continue;
        for (int k = 0; k < VORLO_ROUTE_PAIRS; k++)
            if (vorlo_routeFeeds(x, k, o, inChannels))
                matrix[(size_t)o * inChannels + vorlo_routeIn(x, k)] = 1.0 / count;
    }
}

static void vorlo_fillMonoMatrix(double *matrix, int inChannels)
{
    for (int i = 0; i < inChannels; i++)
        matrix[i] = 1.0 / inChannels;
}

// Even inputs go left, odd inputs right; an odd count's last input goes to both sides.
static void vorlo_fillStereoMatrix(double *matrix, int inChannels)
{
    int odd = inChannels % 2;
    int even = inChannels - odd;
    double k = 1.0 / (even / 2 + odd);
    for (int i = 0; i < even; i++)
        matrix[(size_t)(i % 2) * inChannels + i] = k;
    if (odd) {
        matrix[inChannels - 1] = k;
        matrix[2 * (size_t)inChannels - 1] = k;
    }
}

// The library sums layouts it knows; below 9 channels and for 16 and 24 it has one.
static int vorlo_sumNeedsMatrix(int inChannels)
{
    return inChannels >= 9 && inChannels != 16 && inChannels != 24;
}

int vorlo_mixMatrix(const t_vorlo_load *x, vorlo_swrMode mode, int inChannels, int outChannels, double **matrix)
{
    *matrix = nullptr;
    int summed = mode == VORLO_SWR_MONO || mode == VORLO_SWR_STEREO;
    if (mode != VORLO_SWR_ROUTE && !(summed && vorlo_sumNeedsMatrix(inChannels)))
        return 0;
    if (inChannels < 1 || outChannels < 1)
        return AVERROR(EINVAL);
    *matrix = (double *)av_calloc((size_t)outChannels * inChannels, sizeof(double));
    if (!*matrix)
        return AVERROR(ENOMEM);
    if (mode == VORLO_SWR_ROUTE)
        vorlo_fillRouteMatrix(x, *matrix, inChannels, outChannels);
    else if (mode == VORLO_SWR_MONO)
        vorlo_fillMonoMatrix(*matrix, inChannels);
    else
        vorlo_fillStereoMatrix(*matrix, inChannels);
    return 1;
}

// The resampler copies a channel whose matrix row holds a single 1 and changes nothing else
// at an unchanged rate and format, so such a route may leave the resampler out.
bool vorlo_routeIsIdentity(const t_vorlo_load *x, int inChannels)
{
    if (!x->request.routeIsUsed || x->resultChannels != inChannels)
        return false;
    double *matrix = nullptr;
    if (vorlo_mixMatrix(x, VORLO_SWR_ROUTE, inChannels, inChannels, &matrix) != 1)
        return false;
    bool identity = true;
    for (int o = 0; o < inChannels && identity; o++)
        for (int i = 0; i < inChannels && identity; i++)
            identity = matrix[(size_t)o * inChannels + i] == (o == i ? 1.0 : 0.0);
    av_free(matrix);
    return identity;
}

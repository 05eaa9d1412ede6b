// The four load messages (replace, importreplace, import, info): their grammar and the checks
// made on a request, which takes apart into the instance's request and binds the buffer~s
// it names.
//
// Arguments are counted from 1 as the messages count them; argument 1 is the source.
#include "object_record.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

enum { VORLO_ARG_START = 2, VORLO_ARG_LENGTH = 4, VORLO_ARG_OFFSET = 6 };
enum { VORLO_ARG_OPTION = 6, VORLO_ARG_IMPORT_OPTION = 8 };

enum { VORLO_OPT_MONO, VORLO_OPT_2CHAN, VORLO_OPT_S_MONO, VORLO_OPT_S_STEREO, VORLO_OPT_ROUTE, VORLO_OPT_NONE };

static const t_atom *vorlo_arg(const t_atom *argv, int number)
{
    return argv + number - 1;
}

static bool vorlo_startsWith(const char *text, const char *prefix)
{
    return strncmp(text, prefix, strlen(prefix)) == 0;
}

// The path to open, in plain memory of the request's own (the loader makes no host object):
// `folder` followed by `name`.
bool vorlo_setSourcePath(t_vorlo_request *r, const char *folder, const char *name)
{
    size_t head = strlen(folder), tail = strlen(name);
    char *path = (char *)malloc(head + tail + 1);
    if (!path)
        return false;
    memcpy(path, folder, head);
    memcpy(path + head, name, tail + 1);
    vorlo_releaseSourcePath(r);
    r->sourcePath = path;
    return true;
}

int vorlo_get_filename_from_dict(t_vorlo *x)
{
    const char *name = x->request.sourceSym->s_name + strlen("dict=");
    if (!*name) {
        object_error(&x->ob, "no dictname found after dict=");
        return -1;
    }
    t_dictionary *d = dictobj_findregistered_retain(gensym(name));
    if (!d) {
        object_error(&x->ob, "dict not found");
        return -1;
    }
    const char *filename = nullptr;
    const char *filepath = nullptr;
    int result = -1;
    if (dictionary_getstring(d, _sym_filename, &filename) != MAX_ERR_NONE || !filename) {
        object_error(&x->ob, "error getting filename from dict ");
    } else if (dictionary_getstring(d, _sym_filepath, &filepath) != MAX_ERR_NONE || !filepath) {
        object_error(&x->ob, "error getting filepath from dict ");
    } else if (!vorlo_setSourcePath(&x->request, filepath, filename)) {
        // The folder path is expected to end with a separator; nothing is put between.
        object_error(&x->ob, "out of memory for the path from dict");
    } else {
        if (x->debug)
            object_post(&x->ob, "got filename from dict: %s", x->request.sourcePath);
        result = 0;
    }
    dictobj_release(d);
    return result;
}

void vorlo_releaseSourcePath(t_vorlo_request *r)
{
    free(r->sourcePath);
    r->sourcePath = nullptr;
}

// Request kind and source (argument 1). Returns -1 after reporting an unusable source.
static int vorlo_parseSource(t_vorlo *x, t_symbol *s, const t_atom *argv)
{
    vorlo_releaseSourcePath(&x->request);
    x->request.startTrack = 0;
    x->request.requestedChannels = 0;
    x->request.routeIsUsed = 0;
    x->request.twoChan = 0;
    x->request.sourceIsBuffer = 0;
    x->request.sourceIsDict = 0;
    x->request.notInSearchPath = 0;
    x->request.isImportReplace = s == _sym_importreplace;
    x->request.isImport = s == _sym_import;
    x->request.isInfo = s == _sym_info;
    x->request.sourceSym = atom_getsym(vorlo_arg(argv, 1));

    const char *source = x->request.sourceSym->s_name;
    if (vorlo_startsWith(source, "dict=")) {
        x->request.sourceIsDict = 1;
        if (vorlo_get_filename_from_dict(x) != 0)
            return -1;
    } else if (vorlo_startsWith(source, "buffer=")) {
        if (!x->request.isImport && !x->request.isImportReplace) {
            object_error(&x->ob,
                         "You can only set a buffer name as source for the \"importreplace\" and \"import\" messages");
            return -1;
        }
        x->request.sourceIsBuffer = 1;
        x->request.sourceBuffer = gensym(source + strlen("buffer="));
        return 0;
    }
    vorlo_searchSource(x);
    return 0;
}

// Binds the target buffer~ by name. Returns -1 after reporting that it does not exist.
static int vorlo_takeTarget(t_vorlo *x)
{
    vorlo_releaseTarget(x);
    x->buffer_ref = buffer_ref_new(&x->ob, x->buffer_name);
    if (!buffer_ref_exists(x->buffer_ref)) {
        object_error(&x->ob, "the target buffer~ does not exist: %s",
                     x->buffer_name == _sym_nothing ? "no buffer~ name has been set" : x->buffer_name->s_name);
        vorlo_releaseTarget(x);
        x->viewName = nullptr;
        vorlo_releaseSourcePath(&x->request);
        return -1;
    }
    x->viewName = x->buffer_name;
    x->request.targetName = x->buffer_name;
    systhread_mutex_lock(x->mutex);
    x->buffer_obj = buffer_ref_getobject(x->buffer_ref);
    // A buffer source is looked at by the loader, which reports one that does not exist.
    if (x->request.sourceIsBuffer) {
        x->source_buffer_ref = buffer_ref_new(&x->ob, x->request.sourceBuffer);
        x->source_buffer_obj = buffer_ref_getobject(x->source_buffer_ref);
    }
    systhread_mutex_unlock(x->mutex);
    return 0;
}

static int vorlo_parseUnit(t_vorlo *x, const t_atom *a, int number, bool isLength, int32_t *unit)
{
    static const char *const words[] = {"sec", "ms", "pct", "bufpct"};
    const char *word = atom_getsym(a)->s_name;
    int code = -1;
    for (int i = 0; i < 4 && code < 0; ++i)
        if (strcmp(word, words[i]) == 0)
            code = i;
    if (code == VORLO_UNIT_BUFPCT && !isLength)
        code = -1;
    if (code == VORLO_UNIT_BUFPCT && !x->request.isImport) {
        object_error(&x->ob, "unit name \"bufpct\" can only be used with \"import\" message");
        return -1;
    }
    if (code < 0) {
        object_error(&x->ob, "arg %d is not a valid unit (sec, ms or pct)", number);
        return -1;
    }
    *unit = code;
    return 0;
}

// A value and its unit, at arguments `number` and `number` + 1; a value without its unit
// is ignored. The unit is tested before the value.
static int vorlo_parsePair(t_vorlo *x, short argc, const t_atom *argv, int number, double *value, int32_t *unit)
{
    if (argc < number + 1)
        return 0;
    if (vorlo_parseUnit(x, vorlo_arg(argv, number + 1), number + 1, number == VORLO_ARG_LENGTH, unit) != 0)
        return -1;
    const t_atom *a = vorlo_arg(argv, number);
    if (atom_gettype(a) == A_SYM)
        object_warn(&x->ob, "arg %d is not a number", number);
    double v = atom_getfloat(a);
    if (!isfinite(v) || v < 0) {
        object_error(&x->ob, "arg %d must be a finite number not below 0", number);
        return -1;
    }
    *value = v;
    return 0;
}

static int vorlo_parsePositions(t_vorlo *x, short argc, const t_atom *argv)
{
    x->request.startPos = 0;
    x->request.length = 0;
    x->request.bufferOffset = 0;
    if (vorlo_parsePair(x, argc, argv, VORLO_ARG_START, &x->request.startPos, &x->request.startUnit) != 0 ||
        vorlo_parsePair(x, argc, argv, VORLO_ARG_LENGTH, &x->request.length, &x->request.lengthUnit) != 0)
        return -1;
    if (x->request.isImport)
        return vorlo_parsePair(x, argc, argv, VORLO_ARG_OFFSET, &x->request.bufferOffset, &x->request.offsetUnit);
    return 0;
}

static int vorlo_checkOutChannel(t_vorlo *x, double channel, int number)
{
    if (channel > VORLO_MAX_OUT_CHANNEL) {
        object_error(&x->ob, "route output channel %g (arg %d) is out of range (0 to %d)", channel, number,
                     (int)VORLO_MAX_OUT_CHANNEL);
        return -1;
    }
    return 0;
}

static void vorlo_clearRoutes(t_vorlo *x)
{
    for (int pair = 0; pair < VORLO_ROUTE_PAIRS; ++pair)
        x->request.routeList[pair][0] = x->request.routeList[pair][1] = VORLO_ROUTE_EMPTY;
}

// Every source channel c to channel `to`, or to c itself when `to` is negative.
static void vorlo_routeEvery(t_vorlo *x, int to)
{
    for (int c = 0; c < VORLO_ROUTE_PAIRS; ++c) {
        x->request.routeList[c][0] = c;
        x->request.routeList[c][1] = to < 0 ? c : to;
    }
    x->request.routeIsUsed = 1;
}

// The numbers after "route", from argument `first` to the end, two to a pair; the first
// 512 are kept.
static int vorlo_parseRoute(t_vorlo *x, short argc, const t_atom *argv, int first)
{
    int count = argc - first + 1;
    if (count < 2 || count % 2 != 0) {
        object_error(&x->ob, "missing or uneven route list, you need pairs of numbers [in_channel, out_channel, "
                             "in_channel, out_channel, ...]");
        return -1;
    }
    vorlo_clearRoutes(x);
    for (int i = 0; i < count && i < VORLO_ROUTE_NUMBERS; ++i) {
        int number = first + i;
        double v = atom_getfloat(vorlo_arg(argv, number));
        if (!isfinite(v)) {
            object_error(&x->ob, "arg %d must be a finite number", number);
            return -1;
        }
        if (i % 2 == 1 && vorlo_checkOutChannel(x, v, number) != 0)
            return -1;
        x->request.routeList[i / 2][i % 2] = v;
    }
    x->request.routeIsUsed = 1;
    return 0;
}

// T, the first target channel of an import's channel option (argument 9); 0 otherwise.
static int vorlo_parseTrack(t_vorlo *x, short argc, const t_atom *argv, int *track)
{
    enum { VORLO_ARG_TRACK = 9 };
    *track = 0;
    if (!x->request.isImport || argc < VORLO_ARG_TRACK)
        return 0;
    double t = atom_getfloat(vorlo_arg(argv, VORLO_ARG_TRACK));
    if (!isfinite(t) || t < 0 || t > VORLO_MAX_OUT_CHANNEL) {
        object_error(&x->ob, "arg %d must be a channel number from 0 to %d", (int)VORLO_ARG_TRACK,
                     (int)VORLO_MAX_OUT_CHANNEL);
        return -1;
    }
    *track = (int)t;
    return 0;
}

static int vorlo_findOption(const char *word)
{
    static const char *const words[] = {"mono", "2chan", "s_mono", "s_stereo", "route"};
    for (int i = 0; i < VORLO_OPT_NONE; ++i)
        if (strcmp(word, words[i]) == 0)
            return i;
    return VORLO_OPT_NONE;
}

static int vorlo_applyOption(t_vorlo *x, int option, int track, int trackNumber)
{
    switch (option) {
    case VORLO_OPT_MONO:
        vorlo_routeEvery(x, track);
        return 0;
    case VORLO_OPT_2CHAN:
        if (vorlo_checkOutChannel(x, track + 1, trackNumber) != 0)
            return -1;
        vorlo_clearRoutes(x);
        x->request.routeList[0][0] = 0;
        x->request.routeList[0][1] = track;
        x->request.routeList[1][0] = 1;
        x->request.routeList[1][1] = track + 1;
        x->request.routeIsUsed = 1;
        x->request.twoChan = 1;
        return 0;
    default:
        x->request.requestedChannels = option == VORLO_OPT_S_MONO ? 1 : 2;
        x->request.startTrack = track;
        return 0;
    }
}

static int vorlo_parseChannelOption(t_vorlo *x, short argc, const t_atom *argv)
{
    int number = x->request.isImport ? VORLO_ARG_IMPORT_OPTION : VORLO_ARG_OPTION;
    if (argc < number) {
        if (x->request.isImport)
            vorlo_routeEvery(x, -1);
        return 0;
    }
    int option = vorlo_findOption(atom_getsym(vorlo_arg(argv, number))->s_name);
    if (option == VORLO_OPT_NONE) {
        object_error(&x->ob, "unknown argument %d", number);
        return -1;
    }
    if (option == VORLO_OPT_ROUTE)
        return vorlo_parseRoute(x, argc, argv, number + 1);
    int track;
    if (vorlo_parseTrack(x, argc, argv, &track) != 0)
        return -1;
    return vorlo_applyOption(x, option, track, number + 1);
}

static int vorlo_takeSnapshot(t_vorlo *x)
{
    t_buffer_obj *b = buffer_ref_getobject(x->buffer_ref);
    x->request.targetSr = buffer_getsamplerate(b);
    x->request.targetFrames = buffer_getframecount(b);
    x->request.targetChannels = buffer_getchannelcount(b);
    if (x->request.isImport && x->request.targetFrames <= 0) {
        object_error(&x->ob, "You can not import into a buffer with size 0");
        return -1;
    }
    return 0;
}

// Everything after the source, and the target: an info request needs neither.
static int vorlo_parseTargetRequest(t_vorlo *x, short argc, const t_atom *argv)
{
    if (vorlo_takeTarget(x) != 0 || vorlo_parsePositions(x, argc, argv) != 0 ||
        vorlo_parseChannelOption(x, argc, argv) != 0)
        return -1;
    return vorlo_takeSnapshot(x);
}

bool vorlo_parseRequest(t_vorlo *x, t_symbol *s, short argc, t_atom *argv)
{
    if (vorlo_parseSource(x, s, argv) != 0)
        return false;
    // An info request writes into no buffer~: it holds none that could go away under it.
    if (x->request.isInfo) {
        vorlo_releaseTarget(x);
        return true;
    }
    return vorlo_parseTargetRequest(x, argc, argv) == 0;
}

// The mutex orders this with the notifications that pass through the references.
void vorlo_releaseTarget(t_vorlo *x)
{
    systhread_mutex_lock(x->mutex);
    object_free(x->buffer_ref);
    x->buffer_ref = nullptr;
    x->buffer_obj = nullptr;
    object_free(x->source_buffer_ref);
    x->source_buffer_ref = nullptr;
    x->source_buffer_obj = nullptr;
    systhread_mutex_unlock(x->mutex);
    if (x->metadata)
        dictobj_release(x->metadata);
    x->metadata = nullptr;
}

// The dictionary is retained here, on the main thread, for the load to fill; the instance
// releases it with the references when the load is let go of.
void vorlo_takeMetadataDict(t_vorlo *x)
{
    t_symbol *name = x->request.attrs.metadatadict;
    x->metadata = name != _sym_nothing ? dictobj_findregistered_retain(name) : nullptr;
}

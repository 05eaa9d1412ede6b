// The opened file described in the dictionary that `metadatadict` names, for the patch to
// read by key: the audio stream FFmpeg would choose by itself, each stream's type, channels,
// rate and tags, then the file's own tags. The dictionary is emptied first, so that it
// describes this file alone.
#include "loader.h"

#include <stdio.h>
#include <string.h>

// Every key becomes a symbol of the host's, which lives as long as the host: a file with very
// many tags (a few megabytes can hold a million) would fill the host's symbol table. A load
// exports at most this many keys and says how many it left out.
enum { VORLO_META_KEY_CHARS = 512, VORLO_META_KEYS = 1024 };

static const char *const VORLO_STREAM_FAILURE = "can't append stream metadata to dict";

// Whether one more key may be made; a key past the limit is counted instead.
static bool vorlo_keyAllowed(t_vorlo_load *x)
{
    if (x->metaKeys < VORLO_META_KEYS) {
        x->metaKeys++;
        return true;
    }
    x->metaSkipped++;
    return false;
}

static void vorlo_appendLong(t_vorlo_load *x, t_dictionary *d, const char *key, t_atom_long value, const char *failure)
{
    if (vorlo_keyAllowed(x) && dictionary_appendlong(d, gensym(key), value) != MAX_ERR_NONE)
        vorlo_error(x, "%s", failure);
}

static void vorlo_appendString(t_vorlo_load *x, t_dictionary *d, const char *key, const char *value,
                               const char *failure)
{
    if (vorlo_keyAllowed(x) && dictionary_appendstring(d, gensym(key), value) != MAX_ERR_NONE)
        vorlo_error(x, "%s", failure);
}

// A tag whose key does not fit beside the stream's prefix is skipped rather than cut: a cut
// key names no tag, two cut keys could meet and the later replace the earlier, and a cut
// may split a character of a UTF-8 key.
static void vorlo_exportStreamTags(t_vorlo_load *x, t_dictionary *d, int i, const AVDictionary *tags)
{
    char key[VORLO_META_KEY_CHARS];
    const AVDictionaryEntry *tag = nullptr;
    while ((tag = av_dict_get(tags, "", tag, AV_DICT_IGNORE_SUFFIX))) {
        int length = snprintf(key, sizeof key, "STREAM_%i_META_%s", i, tag->key);
        if (length < 0 || length >= (int)sizeof key) {
            // Past the limit a key is counted, not told: the console is not flooded either.
            if (x->metaKeys >= VORLO_META_KEYS)
                x->metaSkipped++;
            else
                vorlo_warn(x, "stream %i: a tag key of %zu characters is too long for the metadata dictionary, "
                              "the tag is skipped",
                           i, strlen(tag->key));
            continue;
        }
        if (x->request.attrs.debug)
            vorlo_post(x, "found stream metadata:  %s: %s", tag->key, tag->value);
        vorlo_appendString(x, d, key, tag->value, VORLO_STREAM_FAILURE);
    }
}

static void vorlo_exportStream(t_vorlo_load *x, t_dictionary *d, int i)
{
    const AVStream *stream = x->formatCtx->streams[i];
    const AVCodecParameters *par = stream->codecpar;
    // FFmpeg has no name for a stream whose type it does not know.
    const char *type = av_get_media_type_string(par->codec_type);
    char key[VORLO_META_KEY_CHARS];
    snprintf(key, sizeof key, "STREAM_%i_TYPE", i);
    vorlo_appendString(x, d, key, type ? type : "unknown", VORLO_STREAM_FAILURE);
    snprintf(key, sizeof key, "STREAM_%i_CH", i);
    vorlo_appendLong(x, d, key, vorlo_ff_par_channels(par), VORLO_STREAM_FAILURE);
    snprintf(key, sizeof key, "STREAM_%i_SR", i);
    vorlo_appendLong(x, d, key, par->sample_rate, VORLO_STREAM_FAILURE);
    vorlo_exportStreamTags(x, d, i, stream->metadata);
}

static void vorlo_exportContainerTags(t_vorlo_load *x, t_dictionary *d)
{
    const AVDictionaryEntry *tag = nullptr;
    while ((tag = av_dict_get(x->formatCtx->metadata, "", tag, AV_DICT_IGNORE_SUFFIX))) {
        if (x->request.attrs.debug)
            vorlo_post(x, "found metadata:  %s: %s", tag->key, tag->value);
        vorlo_appendString(x, d, tag->key, tag->value, "can't append metadata to dict");
    }
}

// The dictionary was found and retained on the main thread with the request; it is
// written through the gate, so that a stopped load leaves it as it is.
void vorlo_exportMetadata(t_vorlo_load *x)
{
    t_dictionary *d = x->metadata;
    if (!d || !vorlo_enterGate(x))
        return;
    if (x->request.attrs.debug)
        vorlo_post(x, "found dict for metadata");
    dictionary_clear(d);
    // FFmpeg's own choice, whatever stream_nb chose for this load.
    int best = av_find_best_stream(x->formatCtx, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    vorlo_appendLong(x, d, "DEFAULT_AUDIO_STREAM", best, "can't append default stream to dict");
    for (int i = 0; i < (int)x->formatCtx->nb_streams; i++)
        vorlo_exportStream(x, d, i);
    vorlo_exportContainerTags(x, d);
    vorlo_leaveGate(x);
    if (x->metaSkipped > 0)
        vorlo_warn(x, "the file holds %lld more keys than the metadata dictionary takes (%d): they are not exported",
                   (long long)x->metaSkipped, (int)VORLO_META_KEYS);
}

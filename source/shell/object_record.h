// The instance record of vorlo~ and the declarations that all its subsystems share.
#ifndef VORLO_OBJECT_RECORD_H
#define VORLO_OBJECT_RECORD_H

#include "ext.h"
#include "ext_obex.h"
#include "ext_buffer.h"
#include "ext_dictobj.h"
#include "z_dsp.h"

#include "ffmpeg_compat.h"

#include "load_request.h"

#include <atomic>
#include <stdint.h>

enum { VORLO_PROPS = 7 };

// The priority of a load's threads once it writes: below the host's own work.
enum { VORLO_LOWERED_PRIORITY = -1 };

// The loader's notifications; the bits of a load's `raised` tell which ones it has set and
// the main thread has not yet delivered.
enum {
    VORLO_NOTE_LOADEXIT = 1,
    VORLO_NOTE_STARTREAD = 2,
    VORLO_NOTE_ERR = 4,
    VORLO_NOTE_DONE = 8
};

// The instance: touched by the main thread only. What one load uses is its own
// (t_vorlo_load, loader.h); the instance holds the current one as its handle.
typedef struct _vorlo {
    t_object ob;
    t_symbol *buffer_name;           // target buffer~ name
    t_symbol *viewName;              // target name of the last request, for the double-click
    // The host objects of the current load, made and freed here; the load reaches them
    // through its gate only.
    t_buffer_ref *buffer_ref;        // target of the current load
    t_buffer_ref *source_buffer_ref; // source of a buffer-to-buffer import
    // The buffer~s as the request found them, to know the sender of a notification by;
    // never used to reach a buffer~.
    t_buffer_obj *buffer_obj;
    t_buffer_obj *source_buffer_obj;
    t_dictionary *metadata;          // the metadata dictionary the load fills, retained
    t_systhread_mutex mutex;         // guards the references above against the notifications
    t_qelem *qelem_err;
    t_qelem *qelem_startread;
    t_qelem *qelem_loadexit;
    t_qelem *qelem_done;
    void *out_props;
    void *out_done;
    void *out_error;
    void *out_spare;

    struct _vorlo_load *load;        // the current load, until its end has been told; null: none
    t_systhread loader_thread;       // its thread, until then
    uint32_t request_serial;         // counts load requests and breaks
    struct _vorlo *nextInstance;     // the list of instances (buffer_writers.cpp)
    t_vorlo_request request;         // the request being taken apart

    // attributes
    signed char resample;
    t_atom metadatadict;
    char debug;
    long stream_nb;
    char import_mix;
    float import_gain;
    float fadein;
    float fadeout;
    float fadein_exp;
    float fadeout_exp;
    long decoders;
} t_vorlo;

// Statics of the external, set once by ext_main.
extern t_class *s_vorlo_class;
extern t_symbol *symsizeinsamps;
extern t_symbol *symsr;
extern t_symbol *_sym_importreplace;
extern t_symbol *_sym_import;
extern t_symbol *_sym_unspecified;
extern t_symbol *_sym_buffer; // the codec word of a buffer~ source; the host has no common symbol for it
extern t_symbol *symfree;      // the notifications of a buffer~ that goes away
extern t_symbol *symunbinding;
extern int32_t vorlo_samplerates[VORLO_SAMPLERATES];

// The host hands deferred functions a 16-bit count; longer lists are cut, never wrapped.
static inline short vorlo_shortCount(long argc)
{
    return (short)(argc > 32767 ? 32767 : argc);
}

// Carries out a message on the main thread in the order the messages came: at once there,
// from any other thread at the back of the main thread's queue.
void vorlo_onMainThread(t_vorlo *x, method fn, t_symbol *s, long argc, t_atom *argv);

// shell: lifecycle
void *vorlo_new(t_symbol *s, long argc, t_atom *argv);
void vorlo_free(t_vorlo *x);

// shell: loader control and notifications
void vorlo_set(t_vorlo *x, t_symbol *s, long argc, t_atom *argv);
void vorlo_doset(t_vorlo *x, t_symbol *s, short argc, t_atom *argv);
void vorlo_break(t_vorlo *x);
void vorlo_doBreak(t_vorlo *x, t_symbol *s, short argc, t_atom *argv);
t_max_err vorlo_notify(t_vorlo *x, t_symbol *s, t_symbol *msg, void *sender, void *data);
void vorlo_stopAll(t_vorlo *x);
bool vorlo_stopForRequest(t_vorlo *x);                // the stop of a request; false when the patch sent a later one meanwhile
void vorlo_assist(t_vorlo *x, void *b, long m, long a, char *s);
void vorlo_dblclick(t_vorlo *x);
t_max_err vorlo_setattr(t_vorlo *x, void *attr, long argc, t_atom *argv); // every attribute's setter
void vorlo_loadExitNotify(t_vorlo *x);
void vorlo_startReadNotify(t_vorlo *x);
void vorlo_errNotify(t_vorlo *x);
void vorlo_done(t_vorlo *x);
bool vorlo_tellList(t_vorlo *x);                      // the current load's list; true when the patch answered with a request
void vorlo_tellEnd(t_vorlo *x);                       // the current load's end: list if due, its one bang, then it is let go
void vorlo_stopAndForget(t_vorlo *x);                 // stops the current load and tells nothing of it
bool vorlo_startLoad(t_vorlo *x);                     // the request's load on a thread of its own; false after its error
void vorlo_replace(t_vorlo *x, t_symbol *s, long argc, t_atom *argv);
void vorlo_doReplace(t_vorlo *x, t_symbol *s, short argc, t_atom *argv);

// shell: which instance writes which buffer~
void vorlo_addInstance(t_vorlo *x);
void vorlo_removeInstance(t_vorlo *x);
const t_vorlo *vorlo_otherWriter(const t_vorlo *x, const t_buffer_obj *b); // another instance whose load writes b

// shell: attributes
void vorlo_addAttributes(t_class *c);
void vorlo_setAttrDefaults(t_vorlo *x);
void vorlo_takeAttributes(const t_vorlo *x, t_vorlo_attrs *taken); // the values a request takes

// request: the four load messages
bool vorlo_parseRequest(t_vorlo *x, t_symbol *s, short argc, t_atom *argv); // false after its error
void vorlo_releaseTarget(t_vorlo *x);                 // lets go of the target, the source and the metadata dictionary
void vorlo_takeMetadataDict(t_vorlo *x);              // retains the dictionary that the request's metadatadict names
int vorlo_get_filename_from_dict(t_vorlo *x);
void vorlo_releaseSourcePath(t_vorlo_request *r);
bool vorlo_setSourcePath(t_vorlo_request *r, const char *folder, const char *name); // false when memory is short
void vorlo_searchSource(t_vorlo *x);

#endif

// The main thread's hold on a load: the target name, stopping the loader, the buffer~s that
// go away under it, help texts and the buffer view.
#include "object_record.h"

void vorlo_set(t_vorlo *x, t_symbol *s, long argc, t_atom *argv)
{
    defer(x, (method)vorlo_doset, s, vorlo_shortCount(argc), argv);
}

void vorlo_doset(t_vorlo *x, t_symbol *s, short argc, t_atom *argv)
{
    (void)s;
    if (argc <= 0 || !argv) {
        object_error(&x->ob, "You need to provide a buffer~ name as argument for the \"set\" message");
        return;
    }
    // A running load keeps its target and the reference through which it hears that the
    // target goes away; the next request takes the new name.
    x->buffer_name = atom_getsym(argv);
}

// The mutex orders this with the notifications that compare their sender with the load's
// buffer~s.
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
}

static void vorlo_withdrawNotes(t_vorlo *x)
{
    qelem_unset(x->qelem_loadexit);
    qelem_unset(x->qelem_startread);
    qelem_unset(x->qelem_err);
    qelem_unset(x->qelem_done);
}

int32_t vorlo_joinLoader(t_vorlo *x)
{
    vorlo_withdrawNotes(x);
    x->raised = 0;
    x->abort_request = 1;
    vorlo_wakeResizeWait(x);
    systhread_join(x->loader_thread, nullptr);
    x->loader_thread = nullptr;
    // What the ending loader raised during the join must not run once a next load has
    // started: its queue elements go, and the caller decides what to deliver.
    vorlo_withdrawNotes(x);
    return x->raised.exchange(0);
}

void vorlo_stopAll(t_vorlo *x)
{
    vorlo_deliverNotes(x, vorlo_joinLoader(x));
}

// The stopped load's notifications run the patch, which may answer them with a request of
// its own: that one was sent last and wins, and it may already have a loader running.
bool vorlo_stopForRequest(t_vorlo *x)
{
    uint32_t serial = ++x->request_serial;
    vorlo_stopAll(x);
    return x->request_serial == serial;
}

// A break may come on the scheduler thread (a metro): the join waits on the main thread.
void vorlo_break(t_vorlo *x)
{
    defer(x, (method)vorlo_doBreak, nullptr, 0, nullptr);
}

void vorlo_doBreak(t_vorlo *x, t_symbol *s, short argc, t_atom *argv)
{
    (void)s;
    (void)argc;
    (void)argv;
    vorlo_stopForRequest(x);
}

// The name of the running load's buffer~ that `sender` is, or null; a load that has ended
// has let go of both (vorlo_releaseTarget). Called with the mutex held.
static t_symbol *vorlo_heldBufferName(const t_vorlo *x, const void *sender)
{
    if (!sender || !x->loader_thread)
        return nullptr;
    if (sender == x->buffer_obj)
        return x->viewName;
    return sender == x->source_buffer_obj ? x->sourceSym : nullptr;
}

// The load lets go of the buffer~ before the host frees it: it is stopped and joined here,
// and its end is told as an error on the next turn, never inside the free.
static void vorlo_stopForLostBuffer(t_vorlo *x, t_symbol *name)
{
    int32_t notes = vorlo_joinLoader(x);
    object_error(&x->ob, "the buffer~ %s went away during the load: the load stopped", name->s_name);
    notes = (notes & VORLO_NOTE_STARTREAD) | VORLO_NOTE_ERR;
    for (int32_t note = VORLO_NOTE_STARTREAD; note <= VORLO_NOTE_ERR; note <<= 1)
        if (notes & note)
            vorlo_raise(x, note);
}

t_max_err vorlo_notify(t_vorlo *x, t_symbol *s, t_symbol *msg, void *sender, void *data)
{
    systhread_mutex_lock(x->mutex);
    t_symbol *lost = msg == symfree || msg == symunbinding ? vorlo_heldBufferName(x, sender) : nullptr;
    if (x->buffer_ref)
        buffer_ref_notify(x->buffer_ref, s, msg, sender, data);
    if (x->source_buffer_ref)
        buffer_ref_notify(x->source_buffer_ref, s, msg, sender, data);
    systhread_mutex_unlock(x->mutex);
    if (lost)
        vorlo_stopForLostBuffer(x, lost);
    return MAX_ERR_NONE;
}

void vorlo_assist(t_vorlo *x, void *b, long m, long a, char *s)
{
    (void)x;
    (void)b;
    static const char *const outlets[] = {
        "Output list with file properties. Fires when vorlo~ starts to write samples to the buffer~. ",
        "bang if complete file written to buffer~",
        "bang if error while processing or file has no audio stream",
        "not used",
    };
    if (m == ASSIST_INLET) {
        if (a >= 0 && a < 3)
            snprintf_zero(s, 256, " ");
    } else if (a >= 0 && a < 4) {
        snprintf_zero(s, 256, "%s", outlets[a]);
    }
}

void vorlo_dblclick(t_vorlo *x)
{
    // buffer_obj may name a buffer~ that has gone since; look the last target up by name.
    if (!x->viewName)
        return;
    t_buffer_ref *ref = buffer_ref_new(&x->ob, x->viewName);
    if (buffer_ref_exists(ref))
        buffer_view(buffer_ref_getobject(ref));
    object_free(ref);
}

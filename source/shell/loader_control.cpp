// The main thread's hold on a load: the target name, stopping the loader, help texts, the
// buffer view and the metadatadict setter.
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
    // A running load keeps its buffer object; only the reference goes, and the mutex keeps
    // the loader's end from releasing it a second time.
    vorlo_releaseTarget(x);
    x->buffer_name = atom_getsym(argv);
}

void vorlo_releaseTarget(t_vorlo *x)
{
    systhread_mutex_lock(x->mutex);
    object_free(x->buffer_ref);
    x->buffer_ref = nullptr;
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

void vorlo_break(t_vorlo *x)
{
    vorlo_stopForRequest(x);
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

t_max_err vorlo_setattr_metadatadict(t_vorlo *x, void *attr, long argc, t_atom *argv)
{
    (void)attr;
    atom_setsym(&x->metadatadict, argc && argv ? atom_getsym(argv) : gensym(""));
    return MAX_ERR_NONE;
}

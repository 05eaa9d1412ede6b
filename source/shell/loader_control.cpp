// The main thread's hold on a load: the target name, the order of messages from other
// threads, stopping the loader without waiting for it, the buffer~s that go away under it,
// help texts and the buffer view.
#include "loader.h"

// The SDK's defer runs a call from the scheduler thread before everything queued, so that
// two messages of one scheduler event would run reversed; defer_low keeps their order.
void vorlo_onMainThread(t_vorlo *x, method fn, t_symbol *s, long argc, t_atom *argv)
{
    if (systhread_ismainthread())
        ((void (*)(t_vorlo *, t_symbol *, short, t_atom *))fn)(x, s, vorlo_shortCount(argc), argv);
    else
        defer_low(x, fn, s, vorlo_shortCount(argc), argv);
}

void vorlo_set(t_vorlo *x, t_symbol *s, long argc, t_atom *argv)
{
    vorlo_onMainThread(x, (method)vorlo_doset, s, argc, argv);
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

static void vorlo_withdrawNotes(t_vorlo *x)
{
    qelem_unset(x->qelem_loadexit);
    qelem_unset(x->qelem_startread);
    qelem_unset(x->qelem_err);
    qelem_unset(x->qelem_done);
}

static void vorlo_retireLoad(t_vorlo *x);

// The load takes the request and the instance's references; its thread takes a share of
// it. A load that cannot start says so, and the error bang follows.
bool vorlo_startLoad(t_vorlo *x)
{
    t_vorlo_load *load = vorlo_newLoad(x);
    if (!load) {
        vorlo_releaseTarget(x);
        object_error(&x->ob, "Could not allocate memory for frame.");
        return false;
    }
    x->load = load;
    load->holders++;
    if (systhread_create((method)vorlo_threadproc_load, load, 0, 0, 0, &x->loader_thread) == 0)
        return true;
    load->holders--;
    x->loader_thread = nullptr;
    vorlo_retireLoad(x);
    object_error(&x->ob, "could not start a thread for the load");
    return false;
}

// The current load is no longer the instance's: its host objects go, and its thread ends
// by itself, freeing what it owns.
static void vorlo_retireLoad(t_vorlo *x)
{
    t_vorlo_load *load = x->load;
    if (!load)
        return;
    if (load->wrote && x->buffer_ref && buffer_ref_exists(x->buffer_ref))
        buffer_setdirty(buffer_ref_getobject(x->buffer_ref));
    vorlo_releaseTarget(x);
    if (x->loader_thread)
        systhread_detach(x->loader_thread);
    x->loader_thread = nullptr;
    x->load = nullptr;
    vorlo_dropLoad(load);
}

// An import shortens a fade longer than itself in the attribute too, unless the patch has
// set the attribute since the load took it. Before the bang, so that the patch finds it there.
static void vorlo_returnShortenedFades(t_vorlo *x, const t_vorlo_load *load)
{
    if (load->shortenedFadein >= 0.0f && x->fadein == load->request.attrs.fadein)
        x->fadein = load->shortenedFadein;
    if (load->shortenedFadeout >= 0.0f && x->fadeout == load->request.attrs.fadeout)
        x->fadeout = load->shortenedFadeout;
}

// Main thread. The file-properties list; true when the patch's answer to it (a cord) has
// sent a request or break of its own, which has taken the load's place.
bool vorlo_tellList(t_vorlo *x)
{
    t_vorlo_load *load = x->load;
    uint32_t serial = x->request_serial;
    t_atom props[VORLO_PROPS];
    memcpy(props, load->file_props, sizeof props);
    load->raised &= ~VORLO_NOTE_STARTREAD;
    load->listTold = 1;
    bool ended = load->request.isInfo;
    if (ended)
        vorlo_retireLoad(x);
    outlet_list(x->out_props, nullptr, VORLO_PROPS, props);
    if (x->request_serial != serial)
        return true;
    // Writing has begun: the rest of the load may yield to the host's own work.
    if (!ended)
        systhread_setpriority(x->loader_thread, VORLO_LOWERED_PRIORITY);
    return false;
}

// Main thread. The end of the current load as the patch learns it, once the loader can no
// longer change it (it has ended, or its gate is closed): a load that wrote, or an info
// load that finished, sends its list if it has not yet; then the load's one bang: the error
// or done bang it raised, or, stopped while writing, the done bang. A load stopped before it
// wrote sends nothing.
void vorlo_tellEnd(t_vorlo *x)
{
    t_vorlo_load *load = x->load;
    int32_t notes = load->raised.exchange(0);
    bool wrote = load->wrote != 0;
    if (!load->listTold && (wrote || (notes & VORLO_NOTE_STARTREAD))) {
        load->raised = notes & ~VORLO_NOTE_STARTREAD;
        // The request that the list set off has told this load's end; an info load was let
        // go of with its list.
        if (vorlo_tellList(x) || x->load != load)
            return;
        notes = load->raised.exchange(0);
    }
    void *bang = notes & VORLO_NOTE_ERR ? x->out_error : (notes & VORLO_NOTE_DONE) || wrote ? x->out_done : nullptr;
    vorlo_returnShortenedFades(x, load);
    vorlo_retireLoad(x);
    if (bang)
        outlet_bang(bang);
}

// The last line of a stopped load's trace, which its loader, stopped, no longer posts.
static void vorlo_traceStop(t_vorlo *x, const t_vorlo_load *load)
{
    if (!load->request.attrs.debug)
        return;
    object_post(&x->ob, "aborting thread ! reason: -Abort Request-");
    object_post(nullptr, " ");
}

// Main thread. Stops the current load without waiting for its thread: once the gate is
// closed (a packet's writing at most), the loader touches nothing of the instance.
static void vorlo_stopLoad(t_vorlo *x, bool tell)
{
    t_vorlo_load *load = x->load;
    if (!load)
        return;
    bool running = !load->abort_request;
    vorlo_closeGate(load);
    int32_t ends = VORLO_NOTE_DONE | VORLO_NOTE_ERR | (load->request.isInfo ? VORLO_NOTE_STARTREAD : 0);
    if (running && !(load->raised & ends))
        vorlo_traceStop(x, load);
    vorlo_withdrawNotes(x);
    if (tell)
        vorlo_tellEnd(x);
    else
        vorlo_retireLoad(x);
}

void vorlo_stopAll(t_vorlo *x)
{
    vorlo_stopLoad(x, true);
}

void vorlo_stopAndForget(t_vorlo *x)
{
    vorlo_stopLoad(x, false);
}

// The stopped load's list and bang run the patch, which may answer them with a request of
// its own: that one was sent last and wins, and it may already have a loader running.
bool vorlo_stopForRequest(t_vorlo *x)
{
    uint32_t serial = ++x->request_serial;
    vorlo_stopAll(x);
    return x->request_serial == serial;
}

void vorlo_break(t_vorlo *x)
{
    vorlo_onMainThread(x, (method)vorlo_doBreak, nullptr, 0, nullptr);
}

static const char *const vorlo_usage = "arguments: filepath (needed), ...see helpfile";

void vorlo_replace(t_vorlo *x, t_symbol *s, long argc, t_atom *argv)
{
    if (argc <= 0 || !argv) {
        object_error(&x->ob, "%s", vorlo_usage);
        return;
    }
    vorlo_onMainThread(x, (method)vorlo_doReplace, s, argc, argv);
}

// Loads into one buffer~ never interleave: while another instance's load writes the target,
// a request for it is refused, naming the buffer~ and what the other load reads.
static bool vorlo_soleWriter(t_vorlo *x)
{
    const t_vorlo *other = x->request.isInfo ? nullptr : vorlo_otherWriter(x, x->buffer_obj);
    if (!other)
        return true;
    const t_vorlo_request *r = &other->load->request;
    object_error(&x->ob, "the buffer~ %s is being loaded by another vorlo~ (from %s): this load is refused",
                 x->request.targetName->s_name, r->sourcePath ? r->sourcePath : r->sourceSym->s_name);
    vorlo_releaseTarget(x);
    return false;
}

// A request stops the running load first, whether it is taken or refused; the load it asks
// for takes the attributes as they are now.
void vorlo_doReplace(t_vorlo *x, t_symbol *s, short argc, t_atom *argv)
{
    if (argc <= 0 || !argv) {
        object_error(&x->ob, "%s", vorlo_usage);
        return;
    }
    if (!vorlo_stopForRequest(x))
        return;
    if (!vorlo_parseRequest(x, s, argc, argv))
        return;
    if (!vorlo_soleWriter(x)) {
        outlet_bang(x->out_error);
        return;
    }
    vorlo_takeAttributes(x, &x->request.attrs);
    vorlo_takeMetadataDict(x);
    if (x->debug)
        object_post(&x->ob, "----- start decoding %s",
                    x->request.sourcePath ? x->request.sourcePath : x->request.sourceSym->s_name);
    if (!vorlo_startLoad(x))
        outlet_bang(x->out_error);
}

void vorlo_doBreak(t_vorlo *x, t_symbol *s, short argc, t_atom *argv)
{
    (void)s;
    (void)argc;
    (void)argv;
    vorlo_stopForRequest(x);
}

// The name of the running load's buffer~ that `sender` is, or null. A load that has ended
// holds nothing that the free could take from it. Called with the mutex held.
static t_symbol *vorlo_heldBufferName(const t_vorlo *x, const void *sender)
{
    const t_vorlo_load *load = x->load;
    if (!sender || !load || (load->raised & (VORLO_NOTE_DONE | VORLO_NOTE_ERR)) || load->abort_request)
        return nullptr;
    if (sender == x->buffer_obj)
        return load->request.targetName;
    return sender == x->source_buffer_obj ? load->request.sourceBuffer : nullptr;
}

// The load lets go of the buffer~ before the host frees it: its gate is closed here, and
// its end is told as an error on the next turn, never inside the free. A load that ended
// meanwhile keeps its own end.
static void vorlo_stopForLostBuffer(t_vorlo *x, t_symbol *name)
{
    t_vorlo_load *load = x->load;
    vorlo_closeGate(load);
    if (load->raised & (VORLO_NOTE_DONE | VORLO_NOTE_ERR))
        return;
    qelem_unset(x->qelem_loadexit);
    object_error(&x->ob, "the buffer~ %s went away during the load: the load stopped", name->s_name);
    load->raised = (load->raised & VORLO_NOTE_STARTREAD) | VORLO_NOTE_ERR;
    qelem_unset(x->qelem_startread);
    qelem_set(x->qelem_err);
}

t_max_err vorlo_notify(t_vorlo *x, t_symbol *s, t_symbol *msg, void *sender, void *data)
{
    systhread_mutex_lock(x->mutex);
    t_symbol *lost = msg == symfree || msg == symunbinding ? vorlo_heldBufferName(x, sender) : nullptr;
    systhread_mutex_unlock(x->mutex);
    // The gate is closed before the references hear of the free: the loader reaches the
    // buffer~ only through them.
    if (lost)
        vorlo_stopForLostBuffer(x, lost);
    systhread_mutex_lock(x->mutex);
    if (x->buffer_ref)
        buffer_ref_notify(x->buffer_ref, s, msg, sender, data);
    if (x->source_buffer_ref)
        buffer_ref_notify(x->source_buffer_ref, s, msg, sender, data);
    systhread_mutex_unlock(x->mutex);
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
    // The last target may have gone since: it is looked up by name.
    if (!x->viewName)
        return;
    t_buffer_ref *ref = buffer_ref_new(&x->ob, x->viewName);
    if (buffer_ref_exists(ref))
        buffer_view(buffer_ref_getobject(ref));
    object_free(ref);
}

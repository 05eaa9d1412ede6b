// Making and freeing an instance. What vorlo_new makes, vorlo_free releases, after it has
// stopped the loader that might still use it.
#include "loader.h"

static void vorlo_makeQueue(t_vorlo *x)
{
    x->qelem_loadexit = (t_qelem *)qelem_new(x, (method)vorlo_loadExitNotify);
    x->qelem_startread = (t_qelem *)qelem_new(x, (method)vorlo_startReadNotify);
    x->qelem_err = (t_qelem *)qelem_new(x, (method)vorlo_errNotify);
    x->qelem_done = (t_qelem *)qelem_new(x, (method)vorlo_done);
}

// Outlets are made right to left: list, done, error, spare as the patcher shows them.
static void vorlo_makeOutlets(t_vorlo *x)
{
    x->out_spare = bangout(x);
    x->out_error = bangout(x);
    x->out_done = bangout(x);
    x->out_props = listout(x);
}

// The first argument names the target, unless the box begins with its attribute arguments:
// "@debug" is never a buffer~ name.
static t_symbol *vorlo_boxBufferName(short argc, t_atom *argv)
{
    if (argc <= 0)
        return _sym_nothing;
    t_symbol *name = atom_getsymarg(0, argc, argv);
    return name->s_name[0] == '@' ? _sym_nothing : name;
}

void *vorlo_new(t_symbol *s, long argc, t_atom *argv)
{
    (void)s;
    t_vorlo *x = (t_vorlo *)object_alloc(s_vorlo_class);
    if (!x)
        return nullptr;
    short count = vorlo_shortCount(argc);
    x->buffer_name = vorlo_boxBufferName(count, argv);
    x->buffer_ref = nullptr;
    x->source_buffer_ref = nullptr;
    x->metadata = nullptr;
    x->load = nullptr;
    x->loader_thread = nullptr;
    systhread_mutex_new(&x->mutex, SYSTHREAD_MUTEX_NORMAL);
    vorlo_makeQueue(x);
    vorlo_makeOutlets(x);
    x->request.sourcePath = nullptr;
    vorlo_setAttrDefaults(x);
    attr_args_process(x, count, argv);
    vorlo_addInstance(x);
    return x;
}

void vorlo_free(t_vorlo *x)
{
    // The box is going away: nothing of a stopped load is told, and its thread ends by
    // itself, whatever it is waiting for.
    vorlo_stopAndForget(x);
    vorlo_removeInstance(x);
    vorlo_releaseTarget(x);
    // A request that failed after reading a dictionary leaves its path for the next one.
    vorlo_releaseSourcePath(&x->request);
    systhread_mutex_free(x->mutex);
    qelem_free(x->qelem_loadexit);
    qelem_free(x->qelem_startread);
    qelem_free(x->qelem_err);
    qelem_free(x->qelem_done);
}

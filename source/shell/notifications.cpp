// The loader's signals, run by their queue elements on the main thread. Each belongs to
// the current load: a stop withdraws them before it tells the stopped load's end itself.
#include "loader.h"

void vorlo_startReadNotify(t_vorlo *x)
{
    if (!x->load)
        return;
    // An info load's list is its end.
    if (x->load->request.isInfo)
        vorlo_tellEnd(x);
    else
        vorlo_tellList(x);
}

void vorlo_errNotify(t_vorlo *x)
{
    if (x->load)
        vorlo_tellEnd(x);
}

void vorlo_done(t_vorlo *x)
{
    if (x->load)
        vorlo_tellEnd(x);
}

// The resize that the loader waits for. A buffer~ gone since is not resized; the load then
// finds it gone at its claim.
void vorlo_loadExitNotify(t_vorlo *x)
{
    t_vorlo_load *load = x->load;
    if (!load)
        return;
    load->raised &= ~VORLO_NOTE_LOADEXIT;
    t_buffer_obj *target = x->buffer_ref ? buffer_ref_getobject(x->buffer_ref) : nullptr;
    if (target)
        vorlo_applyTargetFormat(load, target);
}

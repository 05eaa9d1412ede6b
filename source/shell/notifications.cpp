// The loader's signals to the main thread. The loader marks each in `raised` before it sets
// the queue element, so that the stop sequence knows which ones an ending loader left.
#include "object_record.h"

void vorlo_raise(t_vorlo *x, int32_t note)
{
    x->raised |= note;
    switch (note) {
    case VORLO_NOTE_LOADEXIT: qelem_set(x->qelem_loadexit); break;
    case VORLO_NOTE_STARTREAD: qelem_set(x->qelem_startread); break;
    case VORLO_NOTE_ERR: qelem_set(x->qelem_err); break;
    case VORLO_NOTE_DONE: qelem_set(x->qelem_done); break;
    default: break;
    }
}

static void vorlo_sendList(t_vorlo *x)
{
    uint32_t serial = x->request_serial;
    outlet_list(x->out_props, nullptr, VORLO_PROPS, x->file_props);
    // Writing has begun: the rest of the load may yield to the host's own work. A request
    // that the list itself set off has a loader of its own, which keeps its priority.
    if (x->loader_thread && x->request_serial == serial)
        systhread_setpriority(x->loader_thread, -1);
}

void vorlo_startReadNotify(t_vorlo *x)
{
    x->raised &= ~VORLO_NOTE_STARTREAD;
    vorlo_sendList(x);
}

// An import shortens a fade longer than itself in the attribute too, unless the patch has
// set the attribute since the load took it. Before the bang, so that the patch finds it there.
static void vorlo_returnShortenedFades(t_vorlo *x)
{
    if (x->shortenedFadein >= 0.0f && x->fadein == x->attrs.fadein)
        x->fadein = x->shortenedFadein;
    if (x->shortenedFadeout >= 0.0f && x->fadeout == x->attrs.fadeout)
        x->fadeout = x->shortenedFadeout;
    x->shortenedFadein = -1.0f;
    x->shortenedFadeout = -1.0f;
}

static void vorlo_bangEnd(t_vorlo *x, void *outlet)
{
    vorlo_returnShortenedFades(x);
    outlet_bang(outlet);
}

void vorlo_errNotify(t_vorlo *x)
{
    x->raised &= ~VORLO_NOTE_ERR;
    vorlo_bangEnd(x, x->out_error);
}

void vorlo_done(t_vorlo *x)
{
    x->raised &= ~VORLO_NOTE_DONE;
    vorlo_bangEnd(x, x->out_done);
}

// The notifications of a stopped load, whose bits the stop has taken from `raised` already.
// A cord may answer the list with a request of its own: from then on the fades and `raised`
// are the new load's, and the stopped load's end is not told.
void vorlo_deliverNotes(t_vorlo *x, int32_t notes)
{
    uint32_t serial = x->request_serial;
    // The resize of a stopped load is never delivered: nothing waits for it any more.
    if (notes & VORLO_NOTE_STARTREAD)
        vorlo_sendList(x);
    if ((notes & VORLO_NOTE_ERR) && x->request_serial == serial)
        vorlo_bangEnd(x, x->out_error);
    if ((notes & VORLO_NOTE_DONE) && x->request_serial == serial)
        vorlo_bangEnd(x, x->out_done);
}

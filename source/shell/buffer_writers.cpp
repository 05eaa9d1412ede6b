// Which instance's load writes which buffer~: loads into one buffer~ never interleave. The
// instances are kept in one list of the main thread's (no allocation: each record links the
// next), so that a request can find another instance whose load still writes its target.
#include "loader.h"

static t_vorlo *vorlo_instances;  // the first instance; main thread only

void vorlo_addInstance(t_vorlo *x)
{
    x->nextInstance = vorlo_instances;
    vorlo_instances = x;
}

void vorlo_removeInstance(t_vorlo *x)
{
    for (t_vorlo **at = &vorlo_instances; *at; at = &(*at)->nextInstance)
        if (*at == x) {
            *at = x->nextInstance;
            return;
        }
}

// A load writes its target until it ends or is stopped; an info load writes nothing.
static bool vorlo_writes(const t_vorlo *x, const t_buffer_obj *b)
{
    const t_vorlo_load *load = x->load;
    return load && b && x->buffer_obj == b && !load->request.isInfo && !load->abort_request &&
           !(load->raised & (VORLO_NOTE_DONE | VORLO_NOTE_ERR));
}

const t_vorlo *vorlo_otherWriter(const t_vorlo *x, const t_buffer_obj *b)
{
    for (const t_vorlo *other = vorlo_instances; other; other = other->nextInstance)
        if (other != x && vorlo_writes(other, b))
            return other;
    return nullptr;
}

// The loader thread. Until the decode pipeline is written, every load ends at once
// through a silent error exit.
#include "object_record.h"

void *vorlo_threadproc_load(t_vorlo *x)
{
    vorlo_releaseTarget(x);
    systhread_exit(0);
    return nullptr;
}

void vorlo_anchorFrame(t_vorlo *x, const AVFrame *frame)
{
    (void)x;
    (void)frame;
}

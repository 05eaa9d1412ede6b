// Target buffer preparation (placeholder until written).
#include "object_record.h"

void vorlo_loadExitNotify(t_vorlo *x)
{
    (void)x;
}

int vorlo_resizeTarget(t_vorlo *x)
{
    (void)x;
    return VORLO_RESIZE_ABORTED;
}

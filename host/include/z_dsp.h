// The audio interface's main header.
#ifndef Z_DSP_H
#define Z_DSP_H

#include "ext.h"

BEGIN_USING_C_LINKAGE
t_symbol *atom_getsymarg(short which, short argc, t_atom *argv);
END_USING_C_LINKAGE

#endif

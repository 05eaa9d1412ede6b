// Registered dictionaries.
#ifndef EXT_DICTOBJ_H
#define EXT_DICTOBJ_H

#include "ext_dictionary.h"

BEGIN_USING_C_LINKAGE

t_dictionary *dictobj_findregistered_retain(t_symbol *name);
t_max_err dictobj_release(t_dictionary *d);

END_USING_C_LINKAGE

#endif

// Dictionaries.
#ifndef EXT_DICTIONARY_H
#define EXT_DICTIONARY_H

#include "ext_mess.h"

BEGIN_USING_C_LINKAGE

typedef struct _dictionary {
    t_object d_obj;
} t_dictionary;

t_max_err dictionary_clear(t_dictionary *d);
t_max_err dictionary_appendlong(t_dictionary *d, t_symbol *key, t_atom_long value);
t_max_err dictionary_appendstring(t_dictionary *d, t_symbol *key, const char *value);
t_max_err dictionary_getstring(const t_dictionary *d, t_symbol *key, const char **value);

END_USING_C_LINKAGE

#endif

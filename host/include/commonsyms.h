// The host's table of common symbols.
#ifndef COMMONSYMS_H
#define COMMONSYMS_H

#include "ext_mess.h"

BEGIN_USING_C_LINKAGE

typedef struct _common_symbols_table {
    t_symbol *s_nothing;
    t_symbol *s_box;
    t_symbol *s_dictionary;
    t_symbol *s_filename;
    t_symbol *s_filepath;
    t_symbol *s_info;
} t_common_symbols_table;

extern t_common_symbols_table *_common_symbols;

void common_symbols_init(void);
t_common_symbols_table *common_symbols_gettable(void);

#define _sym_nothing (_common_symbols->s_nothing)
#define _sym_box (_common_symbols->s_box)
#define _sym_dictionary (_common_symbols->s_dictionary)
#define _sym_filename (_common_symbols->s_filename)
#define _sym_filepath (_common_symbols->s_filepath)
#define _sym_info (_common_symbols->s_info)

END_USING_C_LINKAGE

#endif

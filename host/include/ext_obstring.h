// String objects.
#ifndef EXT_OBSTRING_H
#define EXT_OBSTRING_H

#include "ext_mess.h"

BEGIN_USING_C_LINKAGE

typedef struct _string {
    t_object s_obj;
    char *s_text;
    long s_size;
} t_string;

t_string *string_new(const char *psz);
void string_append(t_string *x, const char *s);
const char *string_getptr(t_string *x);

END_USING_C_LINKAGE

#endif

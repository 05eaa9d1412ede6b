// The console.
#ifndef EXT_POST_H
#define EXT_POST_H

#include "ext_mess.h"

BEGIN_USING_C_LINKAGE

void post(const char *fmt, ...);
void object_post(t_object *x, const char *s, ...);
void object_warn(t_object *x, const char *s, ...);
void object_error(t_object *x, const char *s, ...);
void object_poststring(t_object *ob, long kind, long flags, char *text);

END_USING_C_LINKAGE

#endif

// Outlets, deferral, queue elements, messages and the console.
#ifndef EXT_PROTO_H
#define EXT_PROTO_H

#include "ext_mess.h"

BEGIN_USING_C_LINKAGE

void *listout(void *x);
void *bangout(void *x);
void *outlet_list(t_outlet *x, t_symbol *s, short ac, t_atom *av);
void *outlet_bang(t_outlet *x);

void *defer(void *ob, method fn, t_symbol *sym, short argc, t_atom *argv);
void *defer_low(void *ob, method fn, t_symbol *sym, short argc, t_atom *argv);
void *qelem_new(void *obj, method fn);
void qelem_set(t_qelem *x);
void qelem_unset(t_qelem *x);
void qelem_free(t_qelem *x);

void *typedmess(t_object *op, t_symbol *msg, short argc, t_atom *argp);
t_symbol *gensym(const char *s);

END_USING_C_LINKAGE

#endif

// Access to buffer~ objects.
#ifndef EXT_BUFFER_H
#define EXT_BUFFER_H

#include "ext_mess.h"

BEGIN_USING_C_LINKAGE

typedef struct _buffer_ref t_buffer_ref;
typedef t_object t_buffer_obj;

t_buffer_ref *buffer_ref_new(t_object *self, t_symbol *name);
t_atom_long buffer_ref_exists(t_buffer_ref *x);
t_buffer_obj *buffer_ref_getobject(t_buffer_ref *x);
t_max_err buffer_ref_notify(t_buffer_ref *x, t_symbol *s, t_symbol *msg, void *sender, void *data);
t_atom_long buffer_getframecount(t_buffer_obj *buffer_object);
t_atom_long buffer_getchannelcount(t_buffer_obj *buffer_object);
t_atom_float buffer_getsamplerate(t_buffer_obj *buffer_object);
float *buffer_locksamples(t_buffer_obj *buffer_object);
void buffer_unlocksamples(t_buffer_obj *buffer_object);
t_max_err buffer_setdirty(t_buffer_obj *buffer_object);
void buffer_view(t_buffer_obj *buffer_object);

END_USING_C_LINKAGE

#endif

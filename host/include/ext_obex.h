// Classes, attributes, objects and atoms.
#ifndef EXT_OBEX_H
#define EXT_OBEX_H

#include "ext_mess.h"

BEGIN_USING_C_LINKAGE

t_class *class_new(const char *name, const method mnew, const method mfree, long size, const method mmenu, short type, ...);
t_max_err class_addmethod(t_class *c, const method m, const char *name, ...);
t_max_err class_addattr(t_class *c, t_object *attr);
t_object *attr_offset_new(const char *name, const t_symbol *type, long flags, const method mget, const method mset, long offset);
t_max_err class_attr_addattr_format(t_class *c, const char *attrname, const char *attrname2, const t_symbol *type, long flags, const char *fmt, ...);
t_max_err class_attr_addattr_parse(t_class *c, const char *attrname, const char *attrname2, t_symbol *type, long flags, const char *parsestr);
void *class_attr_get(t_class *x, t_symbol *attrname);
t_max_err attr_addfilter_clip(void *x, double min, double max, long usemin, long usemax);
void *object_method_imp(void *x, void *sym, void *p1, void *p2, void *p3, void *p4, void *p5, void *p6, void *p7, void *p8);
t_max_err class_register(t_symbol *name_space, t_class *c);

t_symbol *gensym(const char *s);
t_symbol *gensym_tr(const char *s);
char *str_tr(const char *s);

void *object_alloc(t_class *c);
t_max_err object_free(void *x);
t_max_err object_method_typed(void *x, t_symbol *s, long ac, t_atom *av, t_atom *rv);
t_max_err object_attr_setvalueof(void *x, t_symbol *s, long argc, t_atom *argv);
void attr_args_process(void *x, short ac, t_atom *av);

long atom_gettype(const t_atom *a);
t_symbol *atom_getsym(const t_atom *a);
t_atom_float atom_getfloat(const t_atom *a);
t_max_err atom_setsym(t_atom *a, t_symbol *b);
t_max_err atom_setlong(t_atom *a, t_atom_long b);
t_max_err atom_setfloat(t_atom *a, double b);

END_USING_C_LINKAGE

#ifdef NO_TRANSLATION_SUPPORT
#define gensym_tr gensym
#define str_tr(s) ((char *)(s))
#endif

#define CLASS_BOX gensym("box")

// Calls object_method_imp with up to eight arguments, the missing ones null.
#define C74_OBJECT_METHOD_PAD(x, s, p1, p2, p3, p4, p5, p6, p7, p8, ...)                              \
    object_method_imp((void *)(x), (void *)(s), (void *)(t_ptr_int)(p1), (void *)(t_ptr_int)(p2),     \
                      (void *)(t_ptr_int)(p3), (void *)(t_ptr_int)(p4), (void *)(t_ptr_int)(p5),      \
                      (void *)(t_ptr_int)(p6), (void *)(t_ptr_int)(p7), (void *)(t_ptr_int)(p8))
#define object_method(...) C74_OBJECT_METHOD_PAD(__VA_ARGS__, 0, 0, 0, 0, 0, 0, 0, 0, 0)

#include "ext_obex_util.h"

#endif

// The attribute definition macros.
#ifndef EXT_OBEX_UTIL_H
#define EXT_OBEX_UTIL_H

#include "ext_mess.h"

#define USESYM(x) gensym(#x)
#define calcoffset(type, member) offsetof(type, member)

#ifdef __cplusplus
#define C74_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define C74_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

#define C74_ATTR_FIELD_SIZE(type, member, size, msg) C74_STATIC_ASSERT(sizeof(((type *)0)->member) == (size), msg)

#define CLASS_ATTR_CHAR(c, attrname, flags, structname, structmember)                                                   \
    {                                                                                                                   \
        C74_ATTR_FIELD_SIZE(structname, structmember, sizeof(char), "structmember must be char type");                  \
        class_addattr((c), attr_offset_new(attrname, USESYM(char), (flags), (method)0L, (method)0L,                     \
                                           calcoffset(structname, structmember)));                                      \
    }
#define CLASS_ATTR_LONG(c, attrname, flags, structname, structmember)                                                   \
    {                                                                                                                   \
        C74_ATTR_FIELD_SIZE(structname, structmember, sizeof(long), "structmember must be long type");                  \
        class_addattr((c), attr_offset_new(attrname, USESYM(long), (flags), (method)0L, (method)0L,                     \
                                           calcoffset(structname, structmember)));                                      \
    }
#define CLASS_ATTR_FLOAT(c, attrname, flags, structname, structmember)                                                  \
    {                                                                                                                   \
        C74_ATTR_FIELD_SIZE(structname, structmember, sizeof(float), "structmember must be float type");                \
        class_addattr((c), attr_offset_new(attrname, USESYM(float32), (flags), (method)0L, (method)0L,                  \
                                           calcoffset(structname, structmember)));                                      \
    }
#define CLASS_ATTR_ATOM(c, attrname, flags, structname, structmember)                                                   \
    {                                                                                                                   \
        C74_ATTR_FIELD_SIZE(structname, structmember, sizeof(t_atom), "structmember must be t_atom type");              \
        class_addattr((c), attr_offset_new(attrname, USESYM(atom), (flags), (method)0L, (method)0L,                     \
                                           calcoffset(structname, structmember)));                                      \
    }

#define CLASS_ATTR_STYLE(c, attrname, flags, parsestr)                                                                  \
    class_attr_addattr_parse(c, attrname, "style", USESYM(symbol), flags, parsestr)
#define CLASS_ATTR_LABEL(c, attrname, flags, labelstr)                                                                  \
    class_attr_addattr_format(c, attrname, "label", USESYM(symbol), flags, "s", gensym_tr(labelstr))
#define CLASS_ATTR_STYLE_LABEL(c, attrname, flags, stylestr, labelstr)                                                  \
    {                                                                                                                   \
        CLASS_ATTR_STYLE(c, attrname, flags, stylestr);                                                                 \
        CLASS_ATTR_LABEL(c, attrname, flags, labelstr);                                                                 \
    }
#define CLASS_ATTR_ENUMINDEX(c, attrname, flags, parsestr)                                                              \
    {                                                                                                                   \
        CLASS_ATTR_STYLE(c, attrname, flags, "enumindex");                                                              \
        class_attr_addattr_parse(c, attrname, "enumvals", USESYM(atom), flags, parsestr);                               \
    }
#define CLASS_ATTR_SAVE(c, attrname, flags) class_attr_addattr_parse(c, attrname, "save", USESYM(long), flags, "1")
#define CLASS_ATTR_CATEGORY(c, attrname, flags, parsestr)                                                               \
    class_attr_addattr_parse(c, attrname, "category", USESYM(symbol), flags, str_tr(parsestr))
#define CLASS_ATTR_ORDER(c, attrname, flags, parsestr)                                                                  \
    class_attr_addattr_parse(c, attrname, "order", USESYM(long), flags, parsestr)
#define CLASS_ATTR_FILTER_MIN(c, attrname, minval)                                                                      \
    attr_addfilter_clip(class_attr_get(c, gensym(attrname)), minval, 0, 1, 0)
#define CLASS_ATTR_ACCESSORS(c, attrname, getter, setter)                                                               \
    {                                                                                                                   \
        t_object *theattr = (t_object *)class_attr_get(c, gensym(attrname));                                            \
        object_method(theattr, gensym("setmethod"), USESYM(get), getter);                                               \
        object_method(theattr, gensym("setmethod"), USESYM(set), setter);                                               \
    }

#endif

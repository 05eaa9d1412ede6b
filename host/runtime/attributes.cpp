// Attributes: offset attributes of a class, their sub-attributes, the clip filter, custom
// setters, and setting them by message or by box arguments.
#include "host_internal.h"
#include "headless_host.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

typedef t_max_err (*attr_setter)(void *, void *, long, t_atom *);
typedef t_max_err (*attr_getter)(void *, void *, long *, t_atom **);

host_attr *find_class_attr(const t_class *c, const t_symbol *name)
{
    if (!c)
        return nullptr;
    for (host_attr *a : c->attrs)
        if (a->name == name)
            return a;
    return nullptr;
}

char *field(t_object *x, const host_attr *attr)
{
    return (char *)x + attr->offset;
}

// Sub-attributes keep the order in which they were first added.
t_max_err add_subattr(t_class *c, const char *attrname, const char *subname, const t_symbol *type,
                      const std::vector<t_atom> &value)
{
    host_attr *attr = find_class_attr(c, gensym(attrname));
    if (!attr)
        return MAX_ERR_GENERIC;
    t_symbol *name = gensym(subname);
    for (host_subattr &s : attr->subattrs)
        if (s.name == name) {
            s.type = (t_symbol *)type;
            s.value = value;
            return MAX_ERR_NONE;
        }
    attr->subattrs.push_back({name, (t_symbol *)type, value});
    return MAX_ERR_NONE;
}

void clip_atom(const host_attr *attr, t_atom *a)
{
    if (a->a_type != A_LONG && a->a_type != A_FLOAT)
        return;
    double v = atom_getfloat(a);
    double clipped = v;
    if (attr->clip_min && clipped < attr->min)
        clipped = attr->min;
    if (attr->clip_max && clipped > attr->max)
        clipped = attr->max;
    if (clipped == v)
        return;
    if (a->a_type == A_LONG)
        atom_setlong(a, (t_atom_long)clipped);
    else
        atom_setfloat(a, clipped);
}

t_max_err write_field(t_object *x, const host_attr *attr, long argc, const t_atom *argv)
{
    if (argc <= 0 || !argv)
        return MAX_ERR_NONE;
    char *p = field(x, attr);
    if (attr->type == gensym("char"))
        *(signed char *)p = (signed char)host_atom_getlong(argv);
    else if (attr->type == gensym("long"))
        *(long *)p = (long)host_atom_getlong(argv);
    else if (attr->type == gensym("float32"))
        *(float *)p = (float)atom_getfloat(argv);
    else if (attr->type == gensym("atom"))
        *(t_atom *)p = argv[0];
    else
        return MAX_ERR_GENERIC;
    return MAX_ERR_NONE;
}

bool read_field(t_object *x, const host_attr *attr, std::vector<t_atom> *value)
{
    const char *p = field(x, attr);
    t_atom a;
    if (attr->type == gensym("char"))
        atom_setlong(&a, *(const signed char *)p);
    else if (attr->type == gensym("long"))
        atom_setlong(&a, *(const long *)p);
    else if (attr->type == gensym("float32"))
        atom_setfloat(&a, *(const float *)p);
    else if (attr->type == gensym("atom"))
        a = *(const t_atom *)p;
    else
        return false;
    value->assign(1, a);
    return true;
}

// A custom getter returns atoms that it allocated with malloc; the host frees them.
bool read_with_getter(t_object *x, host_attr *attr, std::vector<t_atom> *value)
{
    long argc = 0;
    t_atom *argv = nullptr;
    t_max_err err = host_method_as<attr_getter>(attr->get)(x, attr, &argc, &argv);
    if (err == MAX_ERR_NONE && argv)
        value->assign(argv, argv + argc);
    free(argv);
    return err == MAX_ERR_NONE;
}

bool is_attr_word(const t_atom *a)
{
    return a->a_type == A_SYM && a->a_w.w_sym->s_name[0] == '@';
}

} // namespace

extern "C" {

t_object *attr_offset_new(const char *name, const t_symbol *type, long flags, const method mget, const method mset,
                          long offset)
{
    host_attr *attr = new host_attr();
    host_object_init(&attr->ob, HOST_ATTR);
    attr->name = gensym(name);
    attr->type = (t_symbol *)type;
    attr->flags = flags;
    attr->get = mget;
    attr->set = mset;
    attr->offset = offset;
    return &attr->ob;
}

t_max_err class_addattr(t_class *c, t_object *attr)
{
    host_expect_kind(attr, HOST_ATTR, "class_addattr");
    host_attr *a = (host_attr *)attr;
    for (host_attr *&existing : c->attrs)
        if (existing->name == a->name) {
            existing = a;
            return MAX_ERR_NONE;
        }
    c->attrs.push_back(a);
    return MAX_ERR_NONE;
}

t_max_err class_attr_addattr_format(t_class *c, const char *attrname, const char *attrname2, const t_symbol *type,
                                    long flags, const char *fmt, ...)
{
    (void)flags;
    std::vector<t_atom> value;
    va_list ap;
    va_start(ap, fmt);
    for (const char *f = fmt; *f; f++) {
        t_atom a;
        if (*f == 's')
            atom_setsym(&a, va_arg(ap, t_symbol *));
        else if (*f == 'l')
            atom_setlong(&a, va_arg(ap, long));
        else if (*f == 'i')
            atom_setlong(&a, va_arg(ap, int));
        else if (*f == 'f' || *f == 'd')
            atom_setfloat(&a, va_arg(ap, double));
        else
            continue;
        value.push_back(a);
    }
    va_end(ap);
    return add_subattr(c, attrname, attrname2, type, value);
}

t_max_err class_attr_addattr_parse(t_class *c, const char *attrname, const char *attrname2, t_symbol *type,
                                   long flags, const char *parsestr)
{
    (void)flags;
    std::vector<t_atom> value;
    if (type == gensym("symbol")) {
        t_atom a;
        atom_setsym(&a, gensym(parsestr));
        value.push_back(a);
    } else {
        value = host_parse_atoms(parsestr);
        if (type == gensym("long"))
            for (t_atom &a : value)
                atom_setlong(&a, host_atom_getlong(&a));
    }
    return add_subattr(c, attrname, attrname2, type, value);
}

void *class_attr_get(t_class *x, t_symbol *attrname)
{
    return find_class_attr(x, attrname);
}

t_max_err attr_addfilter_clip(void *x, double min, double max, long usemin, long usemax)
{
    if (!x)
        return MAX_ERR_GENERIC;
    host_expect_kind(x, HOST_ATTR, "attr_addfilter_clip");
    host_attr *attr = (host_attr *)x;
    attr->clip_min = usemin != 0;
    attr->clip_max = usemax != 0;
    attr->min = min;
    attr->max = max;
    return MAX_ERR_NONE;
}

t_max_err object_attr_setvalueof(void *x, t_symbol *s, long argc, t_atom *argv)
{
    host_attr *attr = host_find_attr((t_object *)x, s);
    if (!attr)
        return MAX_ERR_GENERIC;
    std::vector<t_atom> value(argv, argv + (argc > 0 && argv ? argc : 0));
    // The SDK does not promise that a clip filter runs before an attribute's own setter: the
    // strict reading, tested here, is that the setter gets the value as it was sent.
    if (!attr->set)
        for (t_atom &a : value)
            clip_atom(attr, &a);
    t_object *previous = host_set_current_owner((t_object *)x);
    t_max_err err;
    if (attr->set)
        err = host_method_as<attr_setter>(attr->set)(x, attr, (long)value.size(), value.empty() ? nullptr : value.data());
    else
        err = write_field((t_object *)x, attr, (long)value.size(), value.data());
    host_set_current_owner(previous);
    return err;
}

// Box arguments "@name value..." set attributes; the words before the first one are the
// object's own.
void attr_args_process(void *x, short ac, t_atom *av)
{
    long i = 0;
    while (i < ac && !is_attr_word(av + i))
        i++;
    while (i < ac) {
        t_symbol *name = gensym(av[i].a_w.w_sym->s_name + 1);
        long first = ++i;
        while (i < ac && !is_attr_word(av + i))
            i++;
        if (!host_find_attr((t_object *)x, name))
            object_error((t_object *)x, "no attribute \"%s\"", name->s_name);
        else
            object_attr_setvalueof(x, name, i - first, av + first);
    }
}

} // extern "C"

host_attr *host_find_attr(const t_object *x, t_symbol *name)
{
    if (!x || host_object_kind(x, "an attribute call") != HOST_INSTANCE)
        return nullptr;
    return find_class_attr((const t_class *)x->o_messlist, name);
}

void host_attr_setmethod(host_attr *attr, t_symbol *which, method fn)
{
    if (which == gensym("get"))
        attr->get = fn;
    else if (which == gensym("set"))
        attr->set = fn;
}

bool host_attr_read(t_object *x, host_attr *attr, std::vector<t_atom> *value)
{
    if (attr->get)
        return read_with_getter(x, attr, value);
    return read_field(x, attr, value);
}

std::vector<std::string> host_attr_names(const char *classname)
{
    std::vector<std::string> names;
    if (t_class *c = host_find_box_class(classname))
        for (host_attr *a : c->attrs)
            names.push_back(a->name->s_name);
    return names;
}

std::string host_attr_type(const char *classname, const char *attr)
{
    host_attr *a = find_class_attr(host_find_box_class(classname), gensym(attr));
    return a && a->type ? a->type->s_name : "";
}

std::vector<std::string> host_attr_subattr_names(const char *classname, const char *attr)
{
    std::vector<std::string> names;
    if (host_attr *a = find_class_attr(host_find_box_class(classname), gensym(attr)))
        for (const host_subattr &s : a->subattrs)
            names.push_back(s.name->s_name);
    return names;
}

bool host_attr_subattr(const char *classname, const char *attr, const char *subattr, std::string *text)
{
    host_attr *a = find_class_attr(host_find_box_class(classname), gensym(attr));
    if (!a)
        return false;
    for (const host_subattr &s : a->subattrs)
        if (s.name == gensym(subattr)) {
            *text = host_format_atoms((long)s.value.size(), s.value.data());
            return true;
        }
    return false;
}

// Classes, objects and messages.
#include "host_internal.h"
#include "headless_host.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace {

std::mutex class_mutex;
// Classes live as long as the host: the register is never destroyed.
std::map<std::string, t_class *> &box_classes = *new std::map<std::string, t_class *>();

thread_local bool constructing = false;

typedef void *(*gimme_new)(t_symbol *, long, t_atom *);
typedef void *(*plain_new)();
typedef void (*gimme_method)(void *, t_symbol *, long, t_atom *);
typedef void (*plain_method)(void *);
typedef void *(*raw_method)(void *, void *, void *, void *, void *, void *, void *, void *, void *);

// A type list as class_new and class_addmethod take it: `first`, then more until 0.
std::vector<long> read_types(long first, va_list ap)
{
    std::vector<long> types;
    for (long t = first; t != 0; t = va_arg(ap, int))
        types.push_back(t);
    return types;
}

const host_method *find_method(const t_class *c, const t_symbol *s)
{
    for (const host_method &m : c->methods)
        if (m.name == s)
            return &m;
    return nullptr;
}

bool is_gimme(const std::vector<long> &types)
{
    return types.size() == 1 && types[0] == A_GIMME;
}

t_max_err call_message(t_object *x, const host_method *m, t_symbol *s, long argc, t_atom *argv)
{
    if (is_gimme(m->types)) {
        host_method_as<gimme_method>(m->fn)(x, s, argc, argv);
        return MAX_ERR_NONE;
    }
    if (m->types.empty()) {
        host_method_as<plain_method>(m->fn)(x);
        return MAX_ERR_NONE;
    }
    object_error(x, "\"%s\" cannot be sent as a message", s->s_name);
    return MAX_ERR_GENERIC;
}

// Not while a message from the second thread is delivered to an instance.
void free_instance(t_object *x)
{
    host_hold_instances();
    t_class *c = (t_class *)x->o_messlist;
    // An outlet that fires while the instance tears itself down reaches no cord.
    host_cords_forget(x);
    t_object *previous = host_set_current_owner(x);
    if (c->mfree)
        host_method_as<plain_method>(c->mfree)(x);
    host_set_current_owner(previous);
    host_rule_instance_objects_released(x);
    host_queue_forget(x);
    host_instance_forget(x);
    host_object_kill(x);
    free(x);
    host_release_instances();
}

} // namespace

extern "C" {

t_class *class_new(const char *name, const method mnew, const method mfree, long size, const method mmenu,
                   short type, ...)
{
    (void)mmenu;
    t_class *c = new maxclass();
    c->name = name;
    c->kind = HOST_INSTANCE;
    c->mnew = mnew;
    c->mfree = mfree;
    c->size = size;
    va_list ap;
    va_start(ap, type);
    c->new_types = read_types(type, ap);
    va_end(ap);
    return c;
}

t_max_err class_addmethod(t_class *c, const method m, const char *name, ...)
{
    va_list ap;
    va_start(ap, name);
    // The first type is read before ap is handed on: where va_list is a plain pointer
    // (Windows x64), a copy made before that va_arg would start at the first type again.
    long first = va_arg(ap, int);
    std::vector<long> types = read_types(first, ap);
    va_end(ap);
    t_symbol *s = gensym(name);
    for (host_method &existing : c->methods)
        if (existing.name == s) {
            existing = {s, m, types};
            return MAX_ERR_NONE;
        }
    c->methods.push_back({s, m, types});
    return MAX_ERR_NONE;
}

t_max_err class_register(t_symbol *name_space, t_class *c)
{
    if (name_space != gensym("box"))
        return MAX_ERR_GENERIC;
    std::lock_guard<std::mutex> lock(class_mutex);
    box_classes[c->name] = c;
    return MAX_ERR_NONE;
}

void *object_alloc(t_class *c)
{
    if (!c)
        return nullptr;
    size_t size = c->size > (long)sizeof(t_object) ? (size_t)c->size : sizeof(t_object);
    t_object *x = (t_object *)calloc(1, size);
    x->o_messlist = (struct messlist *)c;
    x->o_magic = HOST_MAGIC;
    // What the constructor makes after this belongs to the new instance.
    if (constructing)
        host_set_current_owner(x);
    return x;
}

t_max_err object_free(void *x)
{
    if (!x)
        return MAX_ERR_NONE;
    t_object *ob = (t_object *)x;
    switch (host_object_kind(x, "object_free")) {
    case HOST_INSTANCE:
        free_instance(ob);
        return MAX_ERR_NONE;
    case HOST_BUFFER_REF:
        host_rule_objects_on_main_thread("object_free of a buffer reference");
        host_buffer_ref_free(ob);
        return MAX_ERR_NONE;
    case HOST_STRING:
        host_rule_objects_on_main_thread("object_free of a string");
        host_string_free(ob);
        return MAX_ERR_NONE;
    case HOST_DICTIONARY:
        return dictobj_release((t_dictionary *)ob);
    case HOST_QELEM:
        qelem_free(ob);
        return MAX_ERR_NONE;
    case HOST_MUTEX:
        return systhread_mutex_free(ob);
    default:
        host_rule_broken("live host object", "object_free on a %s, which the host owns",
                         host_kind_name(host_object_kind(x, "object_free")));
    }
}

void *object_method_imp(void *x, void *sym, void *p1, void *p2, void *p3, void *p4, void *p5, void *p6, void *p7,
                        void *p8)
{
    if (!x)
        return nullptr;
    t_symbol *s = (t_symbol *)sym;
    switch (host_object_kind(x, "object_method")) {
    case HOST_ATTR:
        if (s == gensym("setmethod"))
            host_attr_setmethod((host_attr *)x, (t_symbol *)p1, (method)p2);
        if (s == gensym("getname"))
            return ((host_attr *)x)->name;
        return nullptr;
    case HOST_INSTANCE: {
        const host_method *m = find_method((t_class *)((t_object *)x)->o_messlist, s);
        if (!m)
            return nullptr;
        t_object *previous = host_set_current_owner((t_object *)x);
        void *result = host_method_as<raw_method>(m->fn)(x, p1, p2, p3, p4, p5, p6, p7, p8);
        host_set_current_owner(previous);
        return result;
    }
    default:
        return nullptr;
    }
}

t_max_err object_method_typed(void *x, t_symbol *s, long ac, t_atom *av, t_atom *rv)
{
    (void)rv;
    if (!x)
        return MAX_ERR_GENERIC;
    return host_dispatch((t_object *)x, s, ac, av);
}

void *typedmess(t_object *op, t_symbol *msg, short argc, t_atom *argp)
{
    if (op)
        host_dispatch(op, msg, argc, argp);
    return nullptr;
}

} // extern "C"

bool host_has_method(const t_object *x, const t_symbol *s)
{
    return find_method((const t_class *)x->o_messlist, s) != nullptr;
}

t_class *host_find_box_class(const char *name)
{
    std::lock_guard<std::mutex> lock(class_mutex);
    auto found = box_classes.find(name);
    return found == box_classes.end() ? nullptr : found->second;
}

std::vector<std::pair<std::string, std::vector<long>>> host_method_list(const char *classname)
{
    std::vector<std::pair<std::string, std::vector<long>>> list;
    if (t_class *c = host_find_box_class(classname))
        for (const host_method &m : c->methods)
            list.emplace_back(m.name->s_name, m.types);
    return list;
}

t_object *host_construct(t_class *c, long argc, t_atom *argv)
{
    bool was_constructing = constructing;
    t_object *previous = host_current_owner();
    constructing = true;
    t_object *x;
    if (is_gimme(c->new_types))
        x = (t_object *)host_method_as<gimme_new>(c->mnew)(gensym(c->name.c_str()), argc, argv);
    else
        x = (t_object *)host_method_as<plain_new>(c->mnew)();
    constructing = was_constructing;
    host_set_current_owner(previous);
    return x;
}

// A message as a patcher sends it: a method of the class, else an attribute of that name.
t_max_err host_dispatch(t_object *x, t_symbol *s, long argc, t_atom *argv)
{
    host_kind kind = host_object_kind(x, "a message");
    if (kind == HOST_BUFFER) {
        host_buffer_message(x, s, argc, argv);
        return MAX_ERR_NONE;
    }
    if (kind != HOST_INSTANCE)
        return MAX_ERR_GENERIC;
    t_object *previous = host_set_current_owner(x);
    t_max_err err = MAX_ERR_NONE;
    const host_method *m = find_method((t_class *)x->o_messlist, s);
    if (m)
        err = call_message(x, m, s, argc, argv);
    else if (host_find_attr(x, s))
        err = object_attr_setvalueof(x, s, argc, argv);
    else {
        object_error(x, "doesn't understand \"%s\"", s->s_name);
        err = MAX_ERR_GENERIC;
    }
    host_set_current_owner(previous);
    return err;
}

// Outlets. Each new outlet goes to the left of the ones the object already made, so the
// last one made is outlet 0.
#include "host_internal.h"
#include "headless_host.h"

#include <algorithm>
#include <map>
#include <mutex>

struct outlet {
    t_object *owner;
};

namespace {

std::mutex outlet_mutex;
std::map<const t_object *, std::vector<outlet *>> outlets_of;   // left to right

void *new_outlet(void *x)
{
    host_expect_kind(x, HOST_INSTANCE, "an outlet's creation");
    outlet *o = new outlet{(t_object *)x};
    std::lock_guard<std::mutex> lock(outlet_mutex);
    std::vector<outlet *> &list = outlets_of[o->owner];
    list.insert(list.begin(), o);
    return o;
}

long outlet_index(const outlet *o)
{
    std::lock_guard<std::mutex> lock(outlet_mutex);
    const std::vector<outlet *> &list = outlets_of[o->owner];
    return (long)(std::find(list.begin(), list.end(), o) - list.begin());
}

void emit(const outlet *o, const std::string &what)
{
    host_rule_outlet_on_main_thread(o->owner);
    long index = outlet_index(o);
    host_output_line(host_instance_label(o->owner) + " " + std::to_string(index) + ":" +
                     (what.empty() ? "" : " " + what));
    host_cords_fire(o->owner, index);
}

} // namespace

extern "C" {

void *listout(void *x)
{
    return new_outlet(x);
}

void *bangout(void *x)
{
    return new_outlet(x);
}

void *outlet_list(t_outlet *x, t_symbol *s, short ac, t_atom *av)
{
    (void)s;
    if (x)
        emit((const outlet *)x, host_format_atoms(ac, av));
    return nullptr;
}

void *outlet_bang(t_outlet *x)
{
    if (x)
        emit((const outlet *)x, "bang");
    return nullptr;
}

} // extern "C"

long host_outlet_count(t_object *x)
{
    std::lock_guard<std::mutex> lock(outlet_mutex);
    auto found = outlets_of.find(x);
    return found == outlets_of.end() ? 0 : (long)found->second.size();
}

void host_outlets_forget(t_object *x)
{
    std::lock_guard<std::mutex> lock(outlet_mutex);
    auto found = outlets_of.find(x);
    if (found == outlets_of.end())
        return;
    for (outlet *o : found->second)
        delete o;
    outlets_of.erase(found);
}

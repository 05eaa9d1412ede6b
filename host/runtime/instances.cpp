// The instances a script makes, known by their script names.
#include "host_internal.h"
#include "headless_host.h"

#include <algorithm>
#include <mutex>

namespace {

std::mutex instance_mutex;
std::vector<std::pair<std::string, t_object *>> instances;   // in order of creation
// Held by a message from the second thread and by the free of an instance.
std::recursive_mutex delivery_mutex;
// How long host_free_all waits for the threads that the freed instances left running.
const double THREADS_END_BOUND = 60;

auto find_id(const std::string &id)
{
    return std::find_if(instances.begin(), instances.end(),
                        [&](const std::pair<std::string, t_object *> &e) { return e.first == id; });
}

} // namespace

t_object *host_instance(const std::string &id)
{
    std::lock_guard<std::mutex> lock(instance_mutex);
    auto found = find_id(id);
    return found == instances.end() ? nullptr : found->second;
}

std::string host_instance_label(const t_object *x)
{
    {
        std::lock_guard<std::mutex> lock(instance_mutex);
        for (const auto &e : instances)
            if (e.second == x)
                return e.first;
    }
    return ((const t_class *)x->o_messlist)->name;
}

void host_instance_forget(t_object *x)
{
    host_outlets_forget(x);
    std::lock_guard<std::mutex> lock(instance_mutex);
    instances.erase(std::remove_if(instances.begin(), instances.end(),
                                   [x](const std::pair<std::string, t_object *> &e) { return e.second == x; }),
                    instances.end());
}

t_object *host_new(const std::string &id, const std::string &classname, const std::vector<t_atom> &args)
{
    if (host_instance(id)) {
        host_script_error("there is already an instance called " + id);
        return nullptr;
    }
    t_class *c = host_find_box_class(classname.c_str());
    if (!c && host_load_external(classname.c_str(), host_externals_dir()) == 0)
        c = host_find_box_class(classname.c_str());
    if (!c) {
        host_script_error("no class " + classname);
        return nullptr;
    }
    t_object *x = host_construct(c, (long)args.size(), args.empty() ? nullptr : (t_atom *)args.data());
    if (!x) {
        host_script_error("could not make an instance of " + classname);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(instance_mutex);
    instances.emplace_back(id, x);
    return x;
}

t_max_err host_send(t_object *x, const std::vector<t_atom> &message)
{
    if (message.empty())
        return MAX_ERR_GENERIC;
    std::vector<t_atom> args(message);
    t_symbol *selector;
    if (message[0].a_type == A_SYM) {
        selector = message[0].a_w.w_sym;
        args.erase(args.begin());
    } else if (message.size() > 1) {
        selector = gensym("list");
    } else {
        selector = gensym(message[0].a_type == A_LONG ? "int" : "float");
    }
    return host_dispatch(x, selector, (long)args.size(), args.empty() ? nullptr : args.data());
}

bool host_send_to(const std::string &id, const std::vector<t_atom> &message)
{
    std::lock_guard<std::recursive_mutex> hold(delivery_mutex);
    t_object *x = host_instance(id);
    if (!x || message.empty())
        return false;
    host_send(x, message);
    return true;
}

void host_hold_instances()
{
    delivery_mutex.lock();
}

void host_release_instances()
{
    delivery_mutex.unlock();
}

// Then waits for the threads that they left running (detached ones): the script, or the
// test, must not end under them.
void host_free_all()
{
    // What the second thread still has to deliver goes first.
    while (!host_scheduler_idle())
        host_idle(1);
    for (;;) {
        t_object *x;
        {
            std::lock_guard<std::mutex> lock(instance_mutex);
            if (instances.empty())
                break;
            x = instances.back().second;
        }
        object_free(x);
    }
    if (!host_wait(THREADS_END_BOUND))
        host_script_error("a thread started through the host still runs " + std::to_string((int)THREADS_END_BOUND) +
                          " s after its instances were freed");
}

bool host_attr_value(t_object *x, const char *attr, std::vector<t_atom> *value)
{
    host_attr *a = host_find_attr(x, gensym(attr));
    if (!a)
        return false;
    t_object *previous = host_set_current_owner(x);
    bool ok = host_attr_read(x, a, value);
    host_set_current_owner(previous);
    return ok;
}

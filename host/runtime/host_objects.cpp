// The host's own objects: their headers, the main thread, and the register of what is
// alive for whom.
#include "host_internal.h"
#include "headless_host.h"

#include <algorithm>
#include <mutex>

namespace {

pthread_t main_thread;

// The library is loaded by the thread that starts the program; host_init may name
// another, but until then that one is the main thread.
__attribute__((constructor)) void record_loading_thread()
{
    main_thread = pthread_self();
}

const char *const kind_names[] = {"instance", "attribute", "buffer~", "buffer reference", "string",
                                  "dictionary", "queue element", "mutex", "thread"};

struct alive_entry {
    const void *object;
    host_kind kind;
    t_object *owner;
};

// Never destroyed: a detached thread may end, and leave the register, while the process ends.
std::mutex &alive_mutex = *new std::mutex();
std::vector<alive_entry> &alive = *new std::vector<alive_entry>();

thread_local t_object *current_owner = nullptr;

maxclass *make_host_class(host_kind kind)
{
    maxclass *c = new maxclass();
    c->name = kind_names[kind];
    c->kind = kind;
    c->mnew = nullptr;
    c->mfree = nullptr;
    c->size = 0;
    return c;
}

} // namespace

void host_init()
{
    main_thread = pthread_self();
}

bool host_on_main_thread()
{
    return pthread_equal(pthread_self(), main_thread) != 0;
}

const char *host_kind_name(host_kind kind)
{
    return kind_names[kind];
}

t_class *host_class_of_kind(host_kind kind)
{
    static maxclass *classes[HOST_THREAD + 1];
    static std::once_flag made;
    std::call_once(made, [] {
        for (int k = 0; k <= HOST_THREAD; k++)
            classes[k] = make_host_class((host_kind)k);
    });
    return classes[kind];
}

void host_object_init(t_object *x, host_kind kind)
{
    x->o_messlist = (struct messlist *)host_class_of_kind(kind);
    x->o_magic = HOST_MAGIC;
    x->o_inlet = nullptr;
    x->o_outlet = nullptr;
}

void host_object_kill(t_object *x)
{
    x->o_magic = 0;
    x->o_messlist = nullptr;
}

host_kind host_object_kind(const void *x, const char *call)
{
    const t_object *ob = (const t_object *)x;
    if (!ob || ob->o_magic != HOST_MAGIC)
        host_rule_broken("live host object", "%s was given %p, which is no live object of the host", call, x);
    return ((const maxclass *)ob->o_messlist)->kind;
}

void host_expect_kind(const void *x, host_kind kind, const char *call)
{
    host_kind found = host_object_kind(x, call);
    if (found != kind)
        host_rule_broken("live host object", "%s wants a %s and was given a %s", call, kind_names[kind],
                         kind_names[found]);
}

void host_alive_add(const void *object, host_kind kind, t_object *owner)
{
    std::lock_guard<std::mutex> lock(alive_mutex);
    alive.push_back({object, kind, owner});
}

// Removes one entry for the object (a dictionary has one per retain), the calling
// thread's owner's first.
void host_alive_remove(const void *object, host_kind kind)
{
    std::lock_guard<std::mutex> lock(alive_mutex);
    auto same = [&](const alive_entry &e) { return e.object == object && e.kind == kind; };
    auto found = std::find_if(alive.begin(), alive.end(),
                              [&](const alive_entry &e) { return same(e) && e.owner == current_owner; });
    if (found == alive.end())
        found = std::find_if(alive.begin(), alive.end(), same);
    if (found != alive.end())
        alive.erase(found);
}

void host_alive_disown(const void *object, host_kind kind)
{
    std::lock_guard<std::mutex> lock(alive_mutex);
    for (alive_entry &e : alive)
        if (e.object == object && e.kind == kind)
            e.owner = nullptr;
}

std::vector<host_kind> host_alive_owned_by(const t_object *owner)
{
    std::lock_guard<std::mutex> lock(alive_mutex);
    std::vector<host_kind> kinds;
    for (const alive_entry &e : alive)
        if (e.owner == owner)
            kinds.push_back(e.kind);
    return kinds;
}

long host_alive_count()
{
    std::lock_guard<std::mutex> lock(alive_mutex);
    return (long)alive.size();
}

t_object *host_current_owner()
{
    return current_owner;
}

t_object *host_set_current_owner(t_object *owner)
{
    t_object *previous = current_owner;
    current_owner = owner;
    return previous;
}

// The rules of the real host that an object must honour. Each is checked by one function;
// a breach is reported with the rule's name and ends the process, so that a test run
// cannot miss it.
#include "host_internal.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

void host_rule_broken(const char *rule, const char *fmt, ...)
{
    char details[1024];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(details, sizeof details, fmt, ap);
    va_end(ap);
    fprintf(stderr, "host rule broken: %s: %s\n", rule, details);
    fflush(stderr);
    abort();
}

void host_rule_outlet_on_main_thread(const t_object *owner)
{
    if (!host_on_main_thread())
        host_rule_broken("outlet on main thread", "an outlet of %s was driven from another thread",
                         host_instance_label(owner).c_str());
}

void host_rule_resize_on_main_thread(const char *buffer, const char *what)
{
    if (!host_on_main_thread())
        host_rule_broken("resize on main thread", "buffer~ %s got \"%s\" on another thread", buffer, what);
}

void host_rule_resize_not_by_lock_holder(const char *buffer, const char *what, long held)
{
    if (held > 0)
        host_rule_broken("resize by lock holder",
                         "buffer~ %s got \"%s\" from the thread that holds its samples locked", buffer, what);
}

void host_rule_unlock_matches_lock(const char *buffer, long held)
{
    if (held <= 0)
        host_rule_broken("unlock matches lock",
                         "buffer_unlocksamples on buffer~ %s by a thread that holds no lock of it", buffer);
}

void host_rule_no_lock_at_thread_end(const char *buffer, long held)
{
    if (held > 0)
        host_rule_broken("no lock at thread end", "a thread ended holding %ld lock(s) of buffer~ %s", held,
                         buffer);
}

void host_rule_queue_on_main_thread(bool running, const char *what)
{
    if (!host_on_main_thread())
        host_rule_broken("queue on main thread", "%s on another thread than the main thread", what);
    if (running)
        host_rule_broken("queue on main thread", "%s while a queued function is running", what);
}

void host_rule_instance_objects_released(const t_object *instance)
{
    std::vector<host_kind> left = host_alive_owned_by(instance);
    if (left.empty())
        return;
    std::string kinds;
    for (host_kind k : left)
        kinds += std::string(kinds.empty() ? "" : ", ") + host_kind_name(k);
    host_rule_broken("instance objects released", "%s was freed with %zu object(s) of its own alive: %s",
                     host_instance_label(instance).c_str(), left.size(), kinds.c_str());
}

void host_rule_join_once(bool live)
{
    if (!live)
        host_rule_broken("join once", "a thread handle was used after its thread had been joined or detached");
}

void host_rule_objects_on_main_thread(const char *call)
{
    if (!host_on_main_thread())
        host_rule_broken("host objects on the main thread", "%s on another thread than the main thread", call);
}

void host_rule_release_matches_retain(const char *dictionary, long retains)
{
    if (retains <= 0)
        host_rule_broken("release matches retain", "dictionary %s released more often than retained",
                         dictionary);
}

void host_rule_notify_defined(const t_object *holder, bool defined)
{
    if (!defined)
        host_rule_broken("buffer reference notified",
                         "%s holds a buffer reference but has no \"notify\" method to pass notifications to it",
                         host_instance_label(holder).c_str());
}

void host_rule_reference_notified(const t_object *holder, const char *buffer, const char *message, bool told)
{
    if (!told)
        host_rule_broken("buffer reference notified",
                         "%s did not pass \"%s\" of buffer~ %s to its reference with buffer_ref_notify",
                         host_instance_label(holder).c_str(), message, buffer);
}

void host_rule_no_claim_at_free(const char *buffer, long claims)
{
    if (claims > 0)
        host_rule_broken("no claim at free",
                         "buffer~ %s was freed with %ld claim(s) on its samples: a holder did not let go when told",
                         buffer, claims);
}

// Patch cords: script lines that run inside an outlet call, right after the outlet's own
// line, as a message box connected to the outlet would. Outlets fire on the main thread
// only, and so do cords; nothing here is touched by another thread.
#include "host_internal.h"

#include <algorithm>

namespace {

enum { MAX_CHAIN = 64 };

struct cord {
    unsigned long serial;   // names the cord while others come and go
    const t_object *owner;
    long outlet;
    std::string line;
    bool once;
};

std::vector<cord> cords;               // in the order they were made
unsigned long serials = 0;
std::vector<const t_object *> chain;   // instances whose outlet call is running cords, outermost first
bool stopped = false;                  // a cord's line failed or the chain ran too deep

// The cords of one outlet as they are when it fires. A line may add or remove cords, so
// the loop over them holds serials, never positions in the register.
std::vector<unsigned long> serials_on(const t_object *owner, long outlet)
{
    std::vector<unsigned long> found;
    for (const cord &c : cords)
        if (c.owner == owner && c.outlet == outlet)
            found.push_back(c.serial);
    return found;
}

// The line of a cord that is still there. A `once` cord goes before its line runs, so the
// chain that the line starts cannot fire it again.
bool take(unsigned long serial, std::string *line)
{
    auto found = std::find_if(cords.begin(), cords.end(), [serial](const cord &c) { return c.serial == serial; });
    if (found == cords.end())
        return false;
    *line = found->line;
    if (found->once)
        cords.erase(found);
    return true;
}

void remove_if_owned(const t_object *owner, long outlet, bool any_outlet)
{
    cords.erase(std::remove_if(cords.begin(), cords.end(),
                               [&](const cord &c) {
                                   return c.owner == owner && (any_outlet || c.outlet == outlet);
                               }),
                cords.end());
}

} // namespace

void host_cord_add(const t_object *owner, long outlet, const std::string &line, bool once)
{
    cords.push_back({serials++, owner, outlet, line, once});
}

void host_cords_remove(const t_object *owner, long outlet)
{
    remove_if_owned(owner, outlet, false);
}

void host_cords_forget(const t_object *owner)
{
    remove_if_owned(owner, 0, true);
}

bool host_cords_firing(const t_object *x)
{
    return std::find(chain.begin(), chain.end(), x) != chain.end();
}

bool host_cords_take_stop()
{
    bool was = stopped;
    stopped = false;
    return was;
}

void host_cords_fire(const t_object *owner, long outlet)
{
    if (stopped)
        return;
    std::vector<unsigned long> fired = serials_on(owner, outlet);
    if (fired.empty())
        return;
    if (chain.size() == MAX_CHAIN) {
        host_script_error("cords chained deeper than " + std::to_string((int)MAX_CHAIN) + " at " +
                          host_instance_label(owner) + " " + std::to_string(outlet));
        stopped = true;
        return;
    }
    chain.push_back(owner);
    for (size_t i = 0; i < fired.size() && !stopped; i++) {
        std::string line;
        if (take(fired[i], &line) && !host_script_line(line))
            stopped = true;
    }
    chain.pop_back();
}

// buffer~ objects: the named register, references and their notifications, the claim on
// the samples, the messages that size a buffer, and its free.
#include "host_internal.h"
#include "headless_host.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

// The most samples a buffer~ holds here: 16 GiB of floats.
const long long MAX_SAMPLES = 1LL << 32;

struct buffer_rec {
    t_object ob;
    std::string name;
    std::mutex mutex;                   // guards everything below
    std::condition_variable unlocked;   // the last lock of the samples was released
    long frames;
    long channels;
    double rate;
    float *samples;                     // exactly frames x channels, its own allocation; null when empty
    std::vector<pthread_t> lockers;     // one entry per buffer_locksamples not yet unlocked
    bool editing;                       // an edit waits for the lockers: no new claim succeeds
    std::vector<std::string> messages;
    long dirty_marks;
    long view_requests;
    long long room = MAX_SAMPLES;       // the most samples its memory can be had for
    std::chrono::steady_clock::time_point refusing; // until then every claim is refused
};

struct _buffer_ref {
    t_object ob;
    t_symbol *name;
    t_object *owner;
    bool told;   // passed on the last notification the host sent its owner
};

namespace {

std::mutex register_mutex;   // guards the three registers below
// The register is never destroyed: the host's threads may use it until the process ends.
std::map<std::string, buffer_rec *> &buffers = *new std::map<std::string, buffer_rec *>();
std::vector<t_buffer_ref *> &references = *new std::vector<t_buffer_ref *>();
// A freed buffer~ keeps its record with its header killed, so that a call through a pointer
// kept past the free breaks the rule "live host object" rather than reading freed memory.
std::vector<buffer_rec *> &freed = *new std::vector<buffer_rec *>();

// Samples beyond this are refused rather than attempted (16 GiB of floats).

buffer_rec *find_buffer(const std::string &name)
{
    std::lock_guard<std::mutex> lock(register_mutex);
    auto found = buffers.find(name);
    return found == buffers.end() ? nullptr : found->second;
}

buffer_rec *as_buffer(const void *b, const char *call)
{
    host_expect_kind(b, HOST_BUFFER, call);
    return (buffer_rec *)b;
}

long held_by_this_thread(const buffer_rec *b)
{
    pthread_t self = pthread_self();
    return (long)std::count_if(b->lockers.begin(), b->lockers.end(),
                               [self](pthread_t t) { return pthread_equal(t, self) != 0; });
}

// A change of the buffer's size, rate or samples, as the real buffer~ edits: only on the
// main thread, never by a holder of a claim on its samples; from its start no new claim
// succeeds, and it waits until every holder has let go. `change` runs under the buffer's
// lock; false when it failed.
bool edit(buffer_rec *b, const char *what, const std::function<bool()> &change)
{
    host_rule_resize_on_main_thread(b->name.c_str(), what);
    std::unique_lock<std::mutex> lock(b->mutex);
    host_rule_resize_not_by_lock_holder(b->name.c_str(), what, held_by_this_thread(b));
    b->editing = true;
    b->unlocked.wait(lock, [b] { return b->lockers.empty(); });
    bool changed = change();
    b->editing = false;
    return changed;
}

// New memory of the given shape; with `keep`, the frames and channels that both shapes
// have are carried over. False when the size cannot be had.
bool reshape(buffer_rec *b, long frames, long channels, bool keep)
{
    long long count = (long long)frames * channels;
    if (frames < 0 || channels < 1 || count > b->room)
        return false;
    float *samples = nullptr;
    if (count > 0) {
        samples = (float *)calloc((size_t)count, sizeof(float));
        if (!samples)
            return false;
    }
    if (keep && samples && b->samples) {
        long common_channels = std::min(channels, b->channels);
        for (long f = 0; f < std::min(frames, b->frames); f++)
            memcpy(samples + f * channels, b->samples + f * b->channels, common_channels * sizeof(float));
    }
    free(b->samples);
    b->samples = samples;
    b->frames = frames;
    b->channels = channels;
    return true;
}

void size_in_samples(buffer_rec *b, long argc, t_atom *argv)
{
    long frames = argc > 0 ? (long)host_atom_getlong(argv) : 0;
    long channels = argc > 1 ? (long)host_atom_getlong(argv + 1) : -1;
    if (!edit(b, "sizeinsamps", [&] { return reshape(b, frames, channels < 0 ? b->channels : channels, true); }))
        object_error(&b->ob, "cannot size to %ld frames of %ld channels", frames, channels);
}

void set_rate(buffer_rec *b, long argc, t_atom *argv)
{
    edit(b, "sr", [&] {
        if (argc > 0 && atom_getfloat(argv) > 0)
            b->rate = atom_getfloat(argv);
        return true;
    });
}

// Every object that holds a reference to NAME gets the notification through its "notify"
// method, as the real host's references arrange; each reference that is still alive
// afterwards must have been passed it with buffer_ref_notify.
void notify_holders(const std::string &name, const char *message, t_object *sender)
{
    std::vector<t_buffer_ref *> told;
    std::vector<t_object *> owners;
    {
        std::lock_guard<std::mutex> lock(register_mutex);
        for (t_buffer_ref *r : references)
            if (r->name->s_name == name && r->owner) {
                r->told = false;
                told.push_back(r);
                if (std::find(owners.begin(), owners.end(), r->owner) == owners.end())
                    owners.push_back(r->owner);
            }
    }
    t_symbol *msg = gensym(message), *s = gensym(name.c_str());
    for (t_object *owner : owners) {
        host_rule_notify_defined(owner, host_has_method(owner, gensym("notify")));
        object_method(owner, gensym("notify"), s, msg, sender, nullptr);
    }
    std::lock_guard<std::mutex> lock(register_mutex);
    for (t_buffer_ref *r : told)
        if (std::find(references.begin(), references.end(), r) != references.end())
            host_rule_reference_notified(r->owner, name.c_str(), message, r->told);
}

// What a touch of freed samples reads in a build without a sanitizer.
void poison(buffer_rec *b)
{
    std::fill(b->samples, b->samples + (size_t)b->frames * b->channels, std::nanf(""));
    free(b->samples);
    b->samples = nullptr;
}

} // namespace

extern "C" {

t_buffer_ref *buffer_ref_new(t_object *self, t_symbol *name)
{
    host_rule_objects_on_main_thread("buffer_ref_new");
    t_object *owner = self ? self : host_current_owner();
    t_buffer_ref *ref = new t_buffer_ref{t_object(), name ? name : gensym(""), owner, false};
    host_object_init(&ref->ob, HOST_BUFFER_REF);
    host_alive_add(ref, HOST_BUFFER_REF, owner);
    std::lock_guard<std::mutex> lock(register_mutex);
    references.push_back(ref);
    return ref;
}

t_max_err buffer_ref_notify(t_buffer_ref *x, t_symbol *s, t_symbol *msg, void *sender, void *data)
{
    (void)s;
    (void)msg;
    (void)sender;
    (void)data;
    host_expect_kind(x, HOST_BUFFER_REF, "buffer_ref_notify");
    std::lock_guard<std::mutex> lock(register_mutex);
    x->told = true;
    return MAX_ERR_NONE;
}

t_atom_long buffer_ref_exists(t_buffer_ref *x)
{
    host_expect_kind(x, HOST_BUFFER_REF, "buffer_ref_exists");
    return find_buffer(x->name->s_name) != nullptr;
}

t_buffer_obj *buffer_ref_getobject(t_buffer_ref *x)
{
    host_expect_kind(x, HOST_BUFFER_REF, "buffer_ref_getobject");
    buffer_rec *b = find_buffer(x->name->s_name);
    return b ? &b->ob : nullptr;
}

t_atom_long buffer_getframecount(t_buffer_obj *buffer_object)
{
    buffer_rec *b = as_buffer(buffer_object, "buffer_getframecount");
    std::lock_guard<std::mutex> lock(b->mutex);
    return b->frames;
}

t_atom_long buffer_getchannelcount(t_buffer_obj *buffer_object)
{
    buffer_rec *b = as_buffer(buffer_object, "buffer_getchannelcount");
    std::lock_guard<std::mutex> lock(b->mutex);
    return b->channels;
}

t_atom_float buffer_getsamplerate(t_buffer_obj *buffer_object)
{
    buffer_rec *b = as_buffer(buffer_object, "buffer_getsamplerate");
    std::lock_guard<std::mutex> lock(b->mutex);
    return b->rate;
}

// An empty buffer has no samples to claim, and one that is being edited refuses the claim:
// null, and nothing to unlock.
float *buffer_locksamples(t_buffer_obj *buffer_object)
{
    buffer_rec *b = as_buffer(buffer_object, "buffer_locksamples");
    std::lock_guard<std::mutex> lock(b->mutex);
    if (!b->samples || b->editing || std::chrono::steady_clock::now() < b->refusing)
        return nullptr;
    b->lockers.push_back(pthread_self());
    return b->samples;
}

void buffer_unlocksamples(t_buffer_obj *buffer_object)
{
    buffer_rec *b = as_buffer(buffer_object, "buffer_unlocksamples");
    std::lock_guard<std::mutex> lock(b->mutex);
    host_rule_unlock_matches_lock(b->name.c_str(), held_by_this_thread(b));
    pthread_t self = pthread_self();
    b->lockers.erase(std::find_if(b->lockers.begin(), b->lockers.end(),
                                  [self](pthread_t t) { return pthread_equal(t, self) != 0; }));
    if (b->lockers.empty())
        b->unlocked.notify_all();
}

t_max_err buffer_setdirty(t_buffer_obj *buffer_object)
{
    buffer_rec *b = as_buffer(buffer_object, "buffer_setdirty");
    std::lock_guard<std::mutex> lock(b->mutex);
    b->dirty_marks++;
    return MAX_ERR_NONE;
}

void buffer_view(t_buffer_obj *buffer_object)
{
    buffer_rec *b = as_buffer(buffer_object, "buffer_view");
    std::lock_guard<std::mutex> lock(b->mutex);
    b->view_requests++;
}

} // extern "C"

void host_buffer_ref_free(t_object *ref)
{
    {
        std::lock_guard<std::mutex> lock(register_mutex);
        references.erase(std::find(references.begin(), references.end(), (t_buffer_ref *)ref));
    }
    host_alive_remove(ref, HOST_BUFFER_REF);
    host_object_kill(ref);
    delete (t_buffer_ref *)ref;
}

void *host_buffer_message(t_object *buffer, t_symbol *msg, long argc, t_atom *argv)
{
    buffer_rec *b = as_buffer(buffer, "a buffer~ message");
    {
        std::lock_guard<std::mutex> lock(b->mutex);
        b->messages.push_back(msg->s_name + std::string(argc > 0 ? " " : "") + host_format_atoms(argc, argv));
    }
    if (msg == gensym("sizeinsamps"))
        size_in_samples(b, argc, argv);
    else if (msg == gensym("sr"))
        set_rate(b, argc, argv);
    else
        object_error(buffer, "doesn't understand \"%s\"", msg->s_name);
    return nullptr;
}

void host_buffer_check_thread_end()
{
    std::lock_guard<std::mutex> registry(register_mutex);
    for (auto &entry : buffers) {
        buffer_rec *b = entry.second;
        std::lock_guard<std::mutex> lock(b->mutex);
        host_rule_no_lock_at_thread_end(b->name.c_str(), held_by_this_thread(b));
    }
}

t_object *host_buffer_find(const char *name)
{
    buffer_rec *b = find_buffer(name);
    return b ? &b->ob : nullptr;
}

// A new buffer~ takes its name before it is sized, and the references to that name are told.
t_object *host_buffer(const std::string &name, long frames, long channels, double rate)
{
    buffer_rec *b = find_buffer(name);
    if (!b) {
        host_rule_resize_on_main_thread(name.c_str(), "buffer~");
        b = new buffer_rec();
        host_object_init(&b->ob, HOST_BUFFER);
        b->name = name;
        b->channels = 1;
        b->rate = 44100.0;
        {
            std::lock_guard<std::mutex> lock(register_mutex);
            buffers[name] = b;
        }
        notify_holders(name, "globalsymbol_binding", &b->ob);
    }
    bool sized = edit(b, "buffer~", [&] {
        if (!reshape(b, frames, channels, false))
            return false;
        if (rate > 0)
            b->rate = rate;
        return true;
    });
    return sized ? &b->ob : nullptr;
}

// As closing the patcher of a buffer~: it leaves the register (no reference finds it any
// more), its holders are told, and it is freed without waiting for a claim: none may be left.
bool host_buffer_delete(const std::string &name)
{
    host_rule_resize_on_main_thread(name.c_str(), "delete");
    buffer_rec *b;
    {
        std::lock_guard<std::mutex> lock(register_mutex);
        auto found = buffers.find(name);
        if (found == buffers.end())
            return false;
        b = found->second;
        buffers.erase(found);
    }
    notify_holders(name, "free", &b->ob);
    notify_holders(name, "globalsymbol_unbinding", &b->ob);
    {
        std::lock_guard<std::mutex> lock(b->mutex);
        host_rule_no_claim_at_free(name.c_str(), (long)b->lockers.size());
        poison(b);
    }
    host_object_kill(&b->ob);
    std::lock_guard<std::mutex> lock(register_mutex);
    freed.push_back(b);
    return true;
}

bool host_buffer_refuse(const std::string &name, long long samples)
{
    buffer_rec *b = find_buffer(name);
    if (!b)
        return false;
    std::lock_guard<std::mutex> lock(b->mutex);
    b->room = samples < MAX_SAMPLES ? samples : MAX_SAMPLES;
    return true;
}

bool host_buffer_refuse_claims(const std::string &name, double seconds)
{
    buffer_rec *b = find_buffer(name);
    if (!b)
        return false;
    std::lock_guard<std::mutex> lock(b->mutex);
    b->refusing = std::chrono::steady_clock::now() +
                  std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
    return true;
}

bool host_buffer_fill(const std::string &name, const std::function<float(long frame, long channel)> &sample)
{
    buffer_rec *b = find_buffer(name);
    if (!b)
        return false;
    return edit(b, "fill", [&] {
        for (long f = 0; f < b->frames; f++)
            for (long c = 0; c < b->channels; c++)
                b->samples[f * b->channels + c] = sample(f, c);
        return true;
    });
}

bool host_buffer_read(const std::string &name, long *frames, long *channels, double *rate,
                      std::vector<float> *samples)
{
    buffer_rec *b = find_buffer(name);
    if (!b)
        return false;
    std::lock_guard<std::mutex> lock(b->mutex);
    if (frames)
        *frames = b->frames;
    if (channels)
        *channels = b->channels;
    if (rate)
        *rate = b->rate;
    if (samples)
        samples->assign(b->samples, b->samples + (size_t)b->frames * b->channels);
    return true;
}

std::vector<std::string> host_buffer_messages(const std::string &name)
{
    buffer_rec *b = find_buffer(name);
    if (!b)
        return {};
    std::lock_guard<std::mutex> lock(b->mutex);
    return b->messages;
}

long host_buffer_dirty_marks(const std::string &name)
{
    buffer_rec *b = find_buffer(name);
    if (!b)
        return 0;
    std::lock_guard<std::mutex> lock(b->mutex);
    return b->dirty_marks;
}

long host_buffer_view_requests(const std::string &name)
{
    buffer_rec *b = find_buffer(name);
    if (!b)
        return 0;
    std::lock_guard<std::mutex> lock(b->mutex);
    return b->view_requests;
}

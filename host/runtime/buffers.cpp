// buffer~ objects: the named register, references, locking of the samples, and the
// messages that size a buffer.
#include "host_internal.h"
#include "headless_host.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

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
    std::vector<std::string> messages;
    long dirty_marks;
    long view_requests;
};

struct _buffer_ref {
    t_object ob;
    t_symbol *name;
};

namespace {

std::mutex register_mutex;
// A buffer~ lives as long as the host: the register is never destroyed.
std::map<std::string, buffer_rec *> &buffers = *new std::map<std::string, buffer_rec *>();

// Samples beyond this are refused rather than attempted (16 GiB of floats).
const long long MAX_SAMPLES = 1LL << 32;

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

// The buffer's lock for a change of its size, rate or samples: only on the main thread,
// never by a holder of a lock of its samples, and after every other holder has let go.
std::unique_lock<std::mutex> lock_for_change(buffer_rec *b, const char *what)
{
    host_rule_resize_on_main_thread(b->name.c_str(), what);
    std::unique_lock<std::mutex> lock(b->mutex);
    host_rule_resize_not_by_lock_holder(b->name.c_str(), what, held_by_this_thread(b));
    b->unlocked.wait(lock, [b] { return b->lockers.empty(); });
    return lock;
}

// New memory of the given shape; with `keep`, the frames and channels that both shapes
// have are carried over. False when the size cannot be had.
bool reshape(buffer_rec *b, long frames, long channels, bool keep)
{
    long long count = (long long)frames * channels;
    if (frames < 0 || channels < 1 || count > MAX_SAMPLES)
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
    std::unique_lock<std::mutex> lock = lock_for_change(b, "sizeinsamps");
    long frames = argc > 0 ? (long)host_atom_getlong(argv) : 0;
    long channels = argc > 1 ? (long)host_atom_getlong(argv + 1) : b->channels;
    if (!reshape(b, frames, channels, true)) {
        lock.unlock();
        object_error(&b->ob, "cannot size to %ld frames of %ld channels", frames, channels);
    }
}

void set_rate(buffer_rec *b, long argc, t_atom *argv)
{
    std::unique_lock<std::mutex> lock = lock_for_change(b, "sr");
    if (argc > 0 && atom_getfloat(argv) > 0)
        b->rate = atom_getfloat(argv);
}

} // namespace

extern "C" {

t_buffer_ref *buffer_ref_new(t_object *self, t_symbol *name)
{
    t_buffer_ref *ref = new t_buffer_ref{t_object(), name ? name : gensym("")};
    host_object_init(&ref->ob, HOST_BUFFER_REF);
    host_alive_add(ref, HOST_BUFFER_REF, self ? self : host_current_owner());
    return ref;
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

// An empty buffer has no samples to lock: null, and nothing to unlock.
float *buffer_locksamples(t_buffer_obj *buffer_object)
{
    buffer_rec *b = as_buffer(buffer_object, "buffer_locksamples");
    std::lock_guard<std::mutex> lock(b->mutex);
    if (!b->samples)
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

t_object *host_buffer(const std::string &name, long frames, long channels, double rate)
{
    buffer_rec *b = find_buffer(name);
    if (!b) {
        b = new buffer_rec();
        host_object_init(&b->ob, HOST_BUFFER);
        b->name = name;
        b->channels = 1;
        b->rate = 44100.0;
        std::lock_guard<std::mutex> lock(register_mutex);
        buffers[name] = b;
    }
    std::unique_lock<std::mutex> lock = lock_for_change(b, "buffer~");
    if (!reshape(b, frames, channels, false))
        return nullptr;
    if (rate > 0)
        b->rate = rate;
    return &b->ob;
}

bool host_buffer_fill(const std::string &name, const std::function<float(long frame, long channel)> &sample)
{
    buffer_rec *b = find_buffer(name);
    if (!b)
        return false;
    std::unique_lock<std::mutex> lock = lock_for_change(b, "fill");
    for (long f = 0; f < b->frames; f++)
        for (long c = 0; c < b->channels; c++)
            b->samples[f * b->channels + c] = sample(f, c);
    return true;
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

// Threads and mutexes over pthreads.
#include "host_internal.h"
#include "headless_host.h"
#include "host_platform.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <mutex>
#include <time.h>

namespace {

const size_t HOST_THREAD_STACK = 8 << 20;

struct thread_rec {
    t_object ob;
    pthread_t handle;
    method entry;
    void *arg;
    t_object *owner;
    thread_rec *creator;          // the host thread that started it; null: another thread
    std::atomic<bool> finished;   // its function returned or it called systhread_exit
    std::atomic<long> status;
    std::atomic<int> priority;
    bool detached;                // guarded by thread_mutex: the host frees the record at the end
};

struct mutex_rec {
    t_object ob;
    pthread_mutex_t mutex;
};

// Never destroyed: a detached thread may still end while the process ends.
std::mutex &thread_mutex = *new std::mutex();
// Started and not yet joined; a detached thread until it ends.
std::vector<thread_rec *> &live_threads = *new std::vector<thread_rec *>();
thread_local thread_rec *self_thread = nullptr;

// Whether the handle may still be used: its thread was neither joined nor detached.
bool is_usable(const thread_rec *t)
{
    std::lock_guard<std::mutex> lock(thread_mutex);
    return std::find(live_threads.begin(), live_threads.end(), t) != live_threads.end() && !t->detached;
}

void forget(thread_rec *t)
{
    {
        std::lock_guard<std::mutex> lock(thread_mutex);
        live_threads.erase(std::find(live_threads.begin(), live_threads.end(), t));
    }
    host_alive_remove(t, HOST_THREAD);
    host_object_kill(&t->ob);
    delete t;
}

// The end of a host thread as the host sees it; the pthread may still be unwinding. The
// record of a detached thread goes with it.
void thread_end(thread_rec *t, long status)
{
    host_buffer_check_thread_end();
    t->status = status;
    bool detached;
    {
        std::lock_guard<std::mutex> lock(thread_mutex);
        t->finished = true;
        detached = t->detached;
    }
    if (detached)
        forget(t);
    host_wake_main();
}

void *thread_start(void *arg)
{
    thread_rec *t = (thread_rec *)arg;
    self_thread = t;
    host_set_current_owner(t->owner);
    void *result = t->entry(t->arg);
    thread_end(t, (long)(t_ptr_int)result);
    return result;
}

mutex_rec *as_mutex(t_systhread_mutex m, const char *call)
{
    host_expect_kind(m, HOST_MUTEX, call);
    return (mutex_rec *)m;
}

} // namespace

extern "C" {

long systhread_create(method entryproc, void *arg, long stacksize, long priority, long flags, t_systhread *thread)
{
    (void)flags;
    thread_rec *t = new thread_rec();
    host_object_init(&t->ob, HOST_THREAD);
    t->entry = entryproc;
    t->arg = arg;
    t->creator = self_thread;
    t->priority = (int)priority;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    // The host's threads get a stack of their own size, whatever the process's stack limit
    // (which sets the default of every other thread).
    size_t size = stacksize > 0 ? (size_t)stacksize : HOST_THREAD_STACK;
    pthread_attr_setstacksize(&attr, std::max(size, (size_t)PTHREAD_STACK_MIN));
    // A thread started by a thread that its instance has let go of belongs to no instance.
    {
        std::lock_guard<std::mutex> lock(thread_mutex);
        t->owner = t->creator && t->creator->detached ? nullptr : host_current_owner();
        live_threads.push_back(t);
        host_alive_add(t, HOST_THREAD, t->owner);
    }
    int err = pthread_create(&t->handle, &attr, thread_start, t);
    pthread_attr_destroy(&attr);
    if (err) {
        {
            std::lock_guard<std::mutex> lock(thread_mutex);
            live_threads.erase(std::find(live_threads.begin(), live_threads.end(), t));
        }
        host_alive_remove(t, HOST_THREAD);
        host_object_kill(&t->ob);
        delete t;
        if (thread)
            *thread = nullptr;
        return err;
    }
    if (thread)
        *thread = t;
    return 0;
}

long systhread_join(t_systhread thread, unsigned int *retval)
{
    if (!thread)
        return 0;
    thread_rec *t = (thread_rec *)thread;
    host_rule_join_once(is_usable(t));
    pthread_join(t->handle, nullptr);
    if (retval)
        *retval = (unsigned int)t->status;
    forget(t);
    return 0;
}

// The handle is the caller's no more. The thread still runs, and `wait` waits for it, but it
// is no instance's object any more: the host frees its record when it ends.
long systhread_detach(t_systhread thread)
{
    if (!thread)
        return 0;
    thread_rec *t = (thread_rec *)thread;
    pthread_t handle;
    bool ended;
    {
        std::lock_guard<std::mutex> lock(thread_mutex);
        bool usable = std::find(live_threads.begin(), live_threads.end(), t) != live_threads.end() && !t->detached;
        host_rule_join_once(usable);
        handle = t->handle;
        t->detached = true;
        ended = t->finished;
        host_alive_disown(t, HOST_THREAD);
        for (thread_rec *started : live_threads)
            if (started->creator == t)
                host_alive_disown(started, HOST_THREAD);
    }
    pthread_detach(handle);
    if (ended)
        forget(t);
    return 0;
}

void systhread_exit(long status)
{
    if (!self_thread)
        host_rule_broken("exit from a host thread", "systhread_exit on a thread that the host did not start");
    thread_end(self_thread, status);
    pthread_exit((void *)(t_ptr_int)status);
}

void systhread_sleep(long milliseconds)
{
    if (milliseconds <= 0) {
        sched_yield();
        return;
    }
    struct timespec ts = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

// Accepts a thread that has ended but has not been joined.
void systhread_setpriority(t_systhread thread, int priority)
{
    if (!thread)
        return;
    thread_rec *t = (thread_rec *)thread;
    host_rule_join_once(is_usable(t));
    t->priority = priority;
}

short systhread_ismainthread(void)
{
    return host_on_main_thread() ? 1 : 0;
}

long systhread_mutex_new(t_systhread_mutex *pmutex, long flags)
{
    (void)flags;
    mutex_rec *m = new mutex_rec();
    host_object_init(&m->ob, HOST_MUTEX);
    pthread_mutex_init(&m->mutex, nullptr);
    host_alive_add(m, HOST_MUTEX, host_current_owner());
    *pmutex = m;
    return 0;
}

long systhread_mutex_lock(t_systhread_mutex pmutex)
{
    return pthread_mutex_lock(&as_mutex(pmutex, "systhread_mutex_lock")->mutex);
}

long systhread_mutex_unlock(t_systhread_mutex pmutex)
{
    return pthread_mutex_unlock(&as_mutex(pmutex, "systhread_mutex_unlock")->mutex);
}

long systhread_mutex_free(t_systhread_mutex pmutex)
{
    if (!pmutex)
        return 0;
    mutex_rec *m = as_mutex(pmutex, "systhread_mutex_free");
    pthread_mutex_destroy(&m->mutex);
    host_alive_remove(m, HOST_MUTEX);
    host_object_kill(&m->ob);
    delete m;
    return 0;
}

} // extern "C"

bool host_threads_running()
{
    std::lock_guard<std::mutex> lock(thread_mutex);
    return std::any_of(live_threads.begin(), live_threads.end(), [](const thread_rec *t) { return !t->finished; });
}

int host_thread_priority(t_systhread thread)
{
    thread_rec *t = (thread_rec *)thread;
    host_rule_join_once(is_usable(t));
    return t->priority;
}

// The main thread's queue: deferred calls and queue elements, run when the host is pumped.
#include "host_internal.h"
#include "headless_host.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

typedef void (*deferred_fn)(void *, t_symbol *, short, t_atom *);
typedef void (*qelem_fn)(void *);
typedef std::chrono::steady_clock host_clock;

struct qelem_rec {
    t_object ob;
    void *obj;
    method fn;
    bool pending;   // guarded by queue_mutex
};

struct queued_call {
    qelem_rec *qelem;   // a queue element, or null for a deferred call
    void *obj;
    method fn;
    t_symbol *sym;
    std::vector<t_atom> atoms;
};

// Never destroyed: a thread that the host no longer joins may still queue or wake the main
// thread while the process ends.
std::mutex &queue_mutex = *new std::mutex();
std::condition_variable &queue_wakeup = *new std::condition_variable();
std::deque<queued_call> &queue = *new std::deque<queued_call>();
unsigned long wakeups = 0;     // guarded by queue_mutex; counts host_wake_main calls
bool running_queued = false;   // main thread only

void run_call(const queued_call &call)
{
    t_object *previous = host_set_current_owner((t_object *)call.obj);
    running_queued = true;
    if (call.qelem)
        host_method_as<qelem_fn>(call.fn)(call.obj);
    else
        host_method_as<deferred_fn>(call.fn)(call.obj, call.sym, (short)call.atoms.size(),
                                call.atoms.empty() ? nullptr : (t_atom *)call.atoms.data());
    running_queued = false;
    host_set_current_owner(previous);
}

// Runs what is queued, oldest first, including what those calls queue in turn.
void pump()
{
    host_rule_queue_on_main_thread(running_queued, "the main thread's queue was pumped");
    for (;;) {
        queued_call call;
        {
            std::lock_guard<std::mutex> lock(queue_mutex);
            if (queue.empty())
                return;
            call = std::move(queue.front());
            queue.pop_front();
            if (call.qelem)
                call.qelem->pending = false;
        }
        run_call(call);
    }
}

// A deferred call at the back of the queue, or at its front (where the next pump starts).
void enqueue(queued_call call, bool front)
{
    {
        std::lock_guard<std::mutex> lock(queue_mutex);
        if (front)
            queue.push_front(std::move(call));
        else
            queue.push_back(std::move(call));
    }
    queue_wakeup.notify_all();
}

void run_now(void *ob, method fn, t_symbol *sym, short argc, t_atom *argv)
{
    t_object *previous = host_set_current_owner((t_object *)ob);
    host_method_as<deferred_fn>(fn)(ob, sym, argc, argv);
    host_set_current_owner(previous);
}

void queue_copy(void *ob, method fn, t_symbol *sym, short argc, t_atom *argv, bool front)
{
    queued_call call{nullptr, ob, fn, sym, std::vector<t_atom>()};
    if (argc > 0 && argv)
        call.atoms.assign(argv, argv + argc);
    enqueue(std::move(call), front);
}

void withdraw(qelem_rec *q)
{
    std::lock_guard<std::mutex> lock(queue_mutex);
    if (!q->pending)
        return;
    queue.erase(std::find_if(queue.begin(), queue.end(), [q](const queued_call &c) { return c.qelem == q; }));
    q->pending = false;
}

unsigned long wakeups_so_far()
{
    std::lock_guard<std::mutex> lock(queue_mutex);
    return wakeups;
}

// Waits for something to run or a thread's end after the `seen`th wake-up, at most until
// `deadline`.
void wait_for_work(host_clock::time_point deadline, unsigned long seen)
{
    std::unique_lock<std::mutex> lock(queue_mutex);
    queue_wakeup.wait_until(lock, deadline, [seen] { return !queue.empty() || wakeups != seen; });
}

} // namespace

extern "C" {

// As the SDK's defer: from the scheduler thread the call goes to the front of the main
// thread's queue (qelem_front), so that calls deferred there one after the other run in the
// reverse order; on the main thread, and on any other thread, it runs at once, right there.
void *defer(void *ob, method fn, t_symbol *sym, short argc, t_atom *argv)
{
    if (host_on_scheduler_thread())
        queue_copy(ob, fn, sym, argc, argv, true);
    else
        run_now(ob, fn, sym, argc, argv);
    return nullptr;
}

// Always queued, at the back (qelem_set), on every thread, the main thread too.
void *defer_low(void *ob, method fn, t_symbol *sym, short argc, t_atom *argv)
{
    queue_copy(ob, fn, sym, argc, argv, false);
    return nullptr;
}

void *qelem_new(void *obj, method fn)
{
    qelem_rec *q = new qelem_rec{t_object(), obj, fn, false};
    host_object_init(&q->ob, HOST_QELEM);
    host_alive_add(q, HOST_QELEM, (t_object *)obj);
    return q;
}

void qelem_set(t_qelem *x)
{
    host_expect_kind(x, HOST_QELEM, "qelem_set");
    qelem_rec *q = (qelem_rec *)x;
    {
        std::lock_guard<std::mutex> lock(queue_mutex);
        if (q->pending)
            return;
        q->pending = true;
        queue.push_back(queued_call{q, q->obj, q->fn, nullptr, std::vector<t_atom>()});
    }
    queue_wakeup.notify_all();
}

void qelem_unset(t_qelem *x)
{
    host_expect_kind(x, HOST_QELEM, "qelem_unset");
    withdraw((qelem_rec *)x);
}

void qelem_free(t_qelem *x)
{
    if (!x)
        return;
    host_expect_kind(x, HOST_QELEM, "qelem_free");
    qelem_rec *q = (qelem_rec *)x;
    withdraw(q);
    host_alive_remove(q, HOST_QELEM);
    host_object_kill(&q->ob);
    delete q;
}

} // extern "C"

// A call deferred to an instance that is freed before it runs is dropped with it, as the
// real host drops what it queued for a freed object.
void host_queue_forget(const void *obj)
{
    std::lock_guard<std::mutex> lock(queue_mutex);
    queue.erase(std::remove_if(queue.begin(), queue.end(),
                               [obj](const queued_call &c) { return !c.qelem && c.obj == obj; }),
                queue.end());
}

void host_wake_main()
{
    {
        std::lock_guard<std::mutex> lock(queue_mutex);
        wakeups++;
    }
    queue_wakeup.notify_all();
}

void host_idle(long ms)
{
    host_clock::time_point deadline = host_clock::now() + std::chrono::milliseconds(ms > 0 ? ms : 0);
    pump();
    while (host_clock::now() < deadline) {
        wait_for_work(deadline, wakeups_so_far());
        pump();
    }
}

// The main thread sleeps without running its queue: what other threads queue meanwhile
// waits for the next pump.
void host_hold(long ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool host_wait(double seconds)
{
    host_clock::time_point deadline =
        host_clock::now() + std::chrono::microseconds((long long)(seconds > 0 ? seconds * 1e6 : 0));
    for (;;) {
        pump();
        // Counted before the check, so that a thread ending after it ends the wait below.
        unsigned long seen = wakeups_so_far();
        // Threads first: what a thread queued before it ended is then in the queue.
        bool threads_done = host_scheduler_idle() && !host_threads_running();
        {
            std::lock_guard<std::mutex> lock(queue_mutex);
            if (threads_done && queue.empty())
                return true;
        }
        host_clock::time_point now = host_clock::now();
        if (now >= deadline)
            return false;
        wait_for_work(deadline, seen);
    }
}

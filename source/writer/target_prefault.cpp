// A buffer~ just made or resized has pages that the system gives only when they are first
// written, and giving them (clearing each) costs a load of a long file a good part of its
// time: a replace, and as much an import into a buffer~ that nothing has written yet. A
// thread of the loader's own faults them in ahead of the writer, on another core: it
// writes to each page in order without changing a sample and publishes how far it has
// come; the writer waits, should it ever catch up, before writing past that point. Pages
// that are there already cost it a write each. It claims the samples for each step through
// the load's gate, as the writer does for each frame, and gives up once they are being
// edited or have moved, or the load is stopped.
#include "writer.h"

#include <atomic>
#include <new>
#include <thread>

// Shorter results are not worth a thread.
static const vorlo_count VORLO_PREFAULT_MIN_SAMPLES = (vorlo_count)1 << 22;
// The step by which the thread publishes its progress: 64 pages of 4 KiB.
static const vorlo_count VORLO_PREFAULT_STEP = 65536;

struct _vorlo_prefault {
    std::thread thread;
    std::atomic<vorlo_count> touched;  // every page below this index has been written to
    std::atomic<bool> stop;
    vorlo_count end;
    t_vorlo_load *load;
    float *samples;                    // where the samples were when the thread started
    vorlo_count offset;                // of the result in them
};

// The samples of the load's target, claimed within the gate; null (the gate left again)
// when the load is stopped or the buffer~ refuses.
static float *vorlo_prefaultClaim(t_vorlo_load *x, t_buffer_obj **b)
{
    if (!vorlo_enterGate(x))
        return nullptr;
    *b = buffer_ref_getobject(x->targetRef);
    float *samples = *b ? buffer_locksamples(*b) : nullptr;
    if (!samples)
        vorlo_leaveGate(x);
    return samples;
}

static void vorlo_prefaultRelease(t_vorlo_load *x, t_buffer_obj *b)
{
    buffer_unlocksamples(b);
    vorlo_leaveGate(x);
}

// One step under a claim; false when the samples are being edited or have moved.
static bool vorlo_prefaultStep(_vorlo_prefault *p, vorlo_count at, vorlo_count next)
{
    t_buffer_obj *b;
    float *samples = vorlo_prefaultClaim(p->load, &b);
    bool same = samples && samples == p->samples;
    if (same)
        vorlo_touchForWriting(samples + p->offset + at, (int)(next - at));
    if (samples)
        vorlo_prefaultRelease(p->load, b);
    return same;
}

// A thread that gives up says it has come to the end, so that the writer waits no longer.
static void vorlo_prefaultThread(_vorlo_prefault *p)
{
    for (vorlo_count at = p->touched.load(std::memory_order_relaxed); at < p->end;) {
        if (p->stop.load(std::memory_order_relaxed))
            return;
        vorlo_count next = at + VORLO_PREFAULT_STEP < p->end ? at + VORLO_PREFAULT_STEP : p->end;
        if (!vorlo_prefaultStep(p, at, next))
            next = p->end;
        p->touched.store(next, std::memory_order_release);
        at = next;
    }
}

// The thread only saves time: a load whose thread cannot start goes on without it.
static bool vorlo_runPrefault(_vorlo_prefault *p)
{
    try {
        p->thread = std::thread(vorlo_prefaultThread, p);
        return true;
    } catch (...) {
        return false;
    }
}

void vorlo_startPrefault(t_vorlo_load *x, vorlo_count from)
{
    vorlo_count end = x->indexLimit;
    if (!vorlo_touchWrites || from < 0 || end - from < VORLO_PREFAULT_MIN_SAMPLES)
        return;
    _vorlo_prefault *p = new (std::nothrow) _vorlo_prefault;
    if (!p)
        return;
    p->touched.store(from, std::memory_order_relaxed);
    p->stop.store(false, std::memory_order_relaxed);
    p->end = end;
    p->load = x;
    t_buffer_obj *b;
    p->samples = vorlo_prefaultClaim(x, &b);
    p->offset = x->writeOffset;
    if (p->samples)
        vorlo_prefaultRelease(x, b);
    if (!p->samples || !vorlo_runPrefault(p)) {
        delete p;
        return;
    }
    x->prefault = p;
}

void vorlo_awaitPrefault(const t_vorlo_load *x, vorlo_count end)
{
    const _vorlo_prefault *p = x->prefault;
    if (!p)
        return;
    vorlo_count needed = end < p->end ? end : p->end;
    while (p->touched.load(std::memory_order_acquire) < needed)
        std::this_thread::yield();
}

void vorlo_stopPrefault(t_vorlo_load *x)
{
    _vorlo_prefault *p = x->prefault;
    if (!p)
        return;
    p->stop.store(true, std::memory_order_relaxed);
    p->thread.join();
    delete p;
    x->prefault = nullptr;
}

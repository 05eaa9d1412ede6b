// The target buffer~ before and after writing: a buffer~ may be resized only on the main
// thread, so the loader asks for the size it needs and waits, unless the buffer~ already
// has it; then it holds the samples locked for the whole of the decoding.
#include "loader.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>

static const std::chrono::milliseconds VORLO_RESIZE_TIMEOUT(30000);

// The loader sleeps until the main thread has resized the buffer~ or the load is stopped.
struct _vorlo_resizeWakeup {
    std::mutex mutex;
    std::condition_variable changed;
};

bool vorlo_makeResizeWakeup(t_vorlo *x)
{
    x->resizeWakeup = new (std::nothrow) _vorlo_resizeWakeup;
    return x->resizeWakeup != nullptr;
}

void vorlo_freeResizeWakeup(t_vorlo *x)
{
    delete x->resizeWakeup;
    x->resizeWakeup = nullptr;
}

// Taking the mutex after the change orders it before the loader's test or after its
// sleep began, so that the notification is never lost between the two. A mutex that fails
// (the system's error) leaves the loader to its 30 s wait rather than end the host.
void vorlo_wakeResizeWait(t_vorlo *x)
{
    if (!x->resizeWakeup)
        return;
    try {
        std::lock_guard<std::mutex> lock(x->resizeWakeup->mutex);
    } catch (...) {
    }
    x->resizeWakeup->changed.notify_all();
}

static void vorlo_setResizeDone(t_vorlo *x, int32_t done)
{
    x->resize_done = done;
    vorlo_wakeResizeWait(x);
}

// A snapshot that is not a number differs from every rate.
static bool vorlo_rateFits(const t_vorlo *x)
{
    return x->targetSr == (double)x->resultSampleRate;
}

static bool vorlo_sizeFits(const t_vorlo *x)
{
    return x->targetFrames == x->indexLimit / x->resultChannels && x->targetChannels == x->resultChannels;
}

static void vorlo_setTargetRate(t_vorlo *x, t_buffer_obj *b)
{
    if (vorlo_rateFits(x)) {
        if (x->attrs.debug)
            object_post(&x->ob, "buffer already has the correct sr (%i)", (int)x->targetSr);
        return;
    }
    t_atom rate;
    atom_setfloat(&rate, (float)x->resultSampleRate);
    typedmess(b, symsr, 1, &rate);
    if (x->attrs.debug)
        object_post(&x->ob, "setting buffer sr (%i)", x->resultSampleRate);
}

static void vorlo_setTargetSize(t_vorlo *x, t_buffer_obj *b)
{
    vorlo_count frames = x->indexLimit / x->resultChannels;
    if (vorlo_sizeFits(x)) {
        if (x->attrs.debug)
            object_post(&x->ob, "buffer already has the correct size (frames: %lld ch: %i)",
                        (long long)x->targetFrames, x->resultChannels);
        return;
    }
    t_atom size[2];
    atom_setlong(&size[0], (t_atom_long)frames);
    atom_setlong(&size[1], x->resultChannels);
    typedmess(b, symsizeinsamps, 2, size);
    if (x->attrs.debug)
        object_post(&x->ob, "setting buffer size (frames: %lld ch: %i)", (long long)frames, x->resultChannels);
}

// The rate before the size, then the loader may go on.
static void vorlo_applyTargetFormat(t_vorlo *x, t_buffer_obj *b)
{
    vorlo_setTargetRate(x, b);
    vorlo_setTargetSize(x, b);
    vorlo_setResizeDone(x, 1);
}

// Main thread. A loader that gave up waiting has ended and let go of its target: nothing
// waits for the resize any more.
void vorlo_loadExitNotify(t_vorlo *x)
{
    x->raised &= ~VORLO_NOTE_LOADEXIT;
    systhread_mutex_lock(x->mutex);
    t_buffer_obj *target = x->buffer_obj;
    systhread_mutex_unlock(x->mutex);
    if (target)
        vorlo_applyTargetFormat(x, target);
}

// The rate and size that the request found on the buffer~ are the result's, and the patch has
// not changed them since.
static bool vorlo_targetFits(const t_vorlo *x)
{
    t_buffer_obj *b = x->buffer_obj;
    return vorlo_rateFits(x) && vorlo_sizeFits(x) && buffer_getsamplerate(b) == x->targetSr &&
           buffer_getchannelcount(b) == x->targetChannels && buffer_getframecount(b) == x->targetFrames;
}

// A buffer~ that fits is sent nothing, so the loader settles it itself rather than wait
// for the main thread's next turn.
int vorlo_resizeTarget(t_vorlo *x)
{
    // Cleared before the request goes out, so that a flag left by an earlier load cannot
    // end this wait.
    vorlo_setResizeDone(x, 0);
    if (vorlo_targetFits(x))
        vorlo_applyTargetFormat(x, x->buffer_obj);
    else
        vorlo_raise(x, VORLO_NOTE_LOADEXIT);
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    bool settled;
    {
        std::unique_lock<std::mutex> lock(x->resizeWakeup->mutex);
        settled = x->resizeWakeup->changed.wait_until(lock, start + VORLO_RESIZE_TIMEOUT, [x] {
            return x->resize_done == 1 || x->abort_request != 0;
        });
    }
    if (x->abort_request != 0)
        return VORLO_RESIZE_ABORTED;
    if (!settled) {
        object_error(&x->ob, "FATAL ERROR: the resize function timed out (>30sec)");
        return VORLO_RESIZE_TIMEDOUT;
    }
    if (x->attrs.debug) {
        std::chrono::steady_clock::duration waited = std::chrono::steady_clock::now() - start;
        object_post(&x->ob, "buffer resize done in %i ms",
                    (int)std::chrono::duration_cast<std::chrono::milliseconds>(waited).count());
    }
    return VORLO_RESIZE_DONE;
}

// The host may not have honoured the resize: the buffer as it is decides how far the
// writer may go, and a buffer with another channel count cannot take the result's rows.
// The claim is let go at once: the writer claims the samples for each frame it writes.
bool vorlo_lockTarget(t_vorlo *x)
{
    x->targetSamples = x->buffer_obj ? buffer_locksamples(x->buffer_obj) : nullptr;
    if (!x->targetSamples) {
        object_error(&x->ob, "the samples of the target buffer~ could not be locked: nothing was written");
        return false;
    }
    x->claimFrames = buffer_getframecount(x->buffer_obj);
    x->claimChannels = buffer_getchannelcount(x->buffer_obj);
    vorlo_unlockTarget(x);
    if (x->claimChannels != x->resultChannels) {
        object_error(&x->ob, "the target buffer~ has %lld channels instead of %i: nothing was written",
                     (long long)x->claimChannels, x->resultChannels);
        return false;
    }
    vorlo_count room = x->claimFrames * x->claimChannels - x->writeOffset;
    if (room < x->indexLimit) {
        object_warn(&x->ob, "the target buffer~ holds only %lld frames of %lld: the rest is not written",
                    (long long)x->claimFrames, (long long)((x->writeOffset + x->indexLimit) / x->resultChannels));
        x->indexLimit = room > 0 ? room : 0;
    }
    return true;
}

// An edit of a buffer~ from the patch (a resize, a read) waits for the claims on its samples
// to end, so the loader claims them for one packet or block at a time. A claim refused while
// an edit runs is tried again after it; a size other than the one the load measured ends the
// load with the error bang, keeping what it wrote, since its rows no longer fit. False when
// nothing may be touched.
bool vorlo_claimSamples(t_vorlo *x, t_buffer_obj *b, vorlo_count frames, vorlo_count channels, const char *role,
                        const t_symbol *name, float **samples)
{
    while (vorlo_going(x) && !x->writeFailed) {
        *samples = buffer_locksamples(b);
        bool kept = buffer_getframecount(b) == frames && buffer_getchannelcount(b) == channels;
        if (*samples && kept)
            return true;
        if (*samples)
            buffer_unlocksamples(b);
        *samples = nullptr;
        if (!kept) {
            object_error(&x->ob, "the %s buffer~ %s was resized during the load: the load stopped", role,
                         name ? name->s_name : "");
            x->writeFailed = 1;
        } else {
            systhread_sleep(1);
        }
    }
    return false;
}

bool vorlo_claimTarget(t_vorlo *x)
{
    return vorlo_claimSamples(x, x->buffer_obj, x->claimFrames, x->claimChannels, "target", x->viewName,
                              &x->targetSamples);
}

void vorlo_unlockTarget(t_vorlo *x)
{
    if (!x->targetSamples)
        return;
    buffer_unlocksamples(x->buffer_obj);
    x->targetSamples = nullptr;
}

// The target buffer~ before and while writing: a buffer~ may be resized only on the main
// thread, so the loader asks for the size it needs and waits, unless the buffer~ already
// has it; then it claims the samples for one packet at a time, through the load's gate and
// the instance's reference, never through a pointer kept from before.
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

bool vorlo_makeResizeWakeup(t_vorlo_load *x)
{
    x->resizeWakeup = new (std::nothrow) _vorlo_resizeWakeup;
    return x->resizeWakeup != nullptr;
}

void vorlo_freeResizeWakeup(t_vorlo_load *x)
{
    delete x->resizeWakeup;
    x->resizeWakeup = nullptr;
}

// Taking the mutex after the change orders it before the loader's test or after its
// sleep began, so that the notification is never lost between the two. A mutex that fails
// (the system's error) leaves the loader to its 30 s wait rather than end the host.
void vorlo_wakeResizeWait(t_vorlo_load *x)
{
    if (!x->resizeWakeup)
        return;
    try {
        std::lock_guard<std::mutex> lock(x->resizeWakeup->mutex);
    } catch (...) {
    }
    x->resizeWakeup->changed.notify_all();
}

static void vorlo_setResizeDone(t_vorlo_load *x, int32_t done)
{
    x->resize_done = done;
    vorlo_wakeResizeWait(x);
}

// A snapshot that is not a number differs from every rate.
static bool vorlo_rateFits(const t_vorlo_load *x)
{
    return x->targetSr == (double)x->resultSampleRate;
}

static bool vorlo_sizeFits(const t_vorlo_load *x)
{
    return x->targetFrames == x->indexLimit / x->resultChannels && x->targetChannels == x->resultChannels;
}

static void vorlo_setTargetRate(t_vorlo_load *x, t_buffer_obj *b)
{
    if (vorlo_rateFits(x)) {
        if (x->request.attrs.debug)
            vorlo_post(x, "buffer already has the correct sr (%i)", (int)x->targetSr);
        return;
    }
    t_atom rate;
    atom_setfloat(&rate, (float)x->resultSampleRate);
    typedmess(b, symsr, 1, &rate);
    if (x->request.attrs.debug)
        vorlo_post(x, "setting buffer sr (%i)", x->resultSampleRate);
}

static void vorlo_setTargetSize(t_vorlo_load *x, t_buffer_obj *b)
{
    vorlo_count frames = x->indexLimit / x->resultChannels;
    if (vorlo_sizeFits(x)) {
        if (x->request.attrs.debug)
            vorlo_post(x, "buffer already has the correct size (frames: %lld ch: %i)",
                        (long long)x->targetFrames, x->resultChannels);
        return;
    }
    t_atom size[2];
    atom_setlong(&size[0], (t_atom_long)frames);
    atom_setlong(&size[1], x->resultChannels);
    typedmess(b, symsizeinsamps, 2, size);
    if (x->request.attrs.debug)
        vorlo_post(x, "setting buffer size (frames: %lld ch: %i)", (long long)frames, x->resultChannels);
}

// The size before the rate: a buffer~ that does not take the size (its memory cannot be
// had) keeps its samples and its rate, and the load ends with the error bang.
void vorlo_applyTargetFormat(t_vorlo_load *x, t_buffer_obj *b)
{
    vorlo_setTargetSize(x, b);
    x->heldFrames = buffer_getframecount(b);
    x->heldChannels = buffer_getchannelcount(b);
    if (x->heldFrames != x->indexLimit / x->resultChannels || x->heldChannels != x->resultChannels) {
        vorlo_setResizeDone(x, VORLO_RESIZE_REFUSED);
        return;
    }
    vorlo_setTargetRate(x, b);
    vorlo_setResizeDone(x, 1);
}

// The rate and size that the request found on the buffer~ are the result's, and the patch has
// not changed them since. A buffer~ that fits is sent nothing, so the loader settles it itself
// rather than wait for the main thread's next turn.
static bool vorlo_settleFittingTarget(t_vorlo_load *x)
{
    if (!vorlo_rateFits(x) || !vorlo_sizeFits(x) || !vorlo_enterGate(x))
        return false;
    t_buffer_obj *b = buffer_ref_getobject(x->targetRef);
    bool fits = b && buffer_getsamplerate(b) == x->targetSr && buffer_getchannelcount(b) == x->targetChannels &&
                buffer_getframecount(b) == x->targetFrames;
    if (fits)
        vorlo_applyTargetFormat(x, b);
    vorlo_leaveGate(x);
    return fits;
}

int vorlo_resizeTarget(t_vorlo_load *x)
{
    // Cleared before the request goes out, so that a flag left by an earlier attempt cannot
    // end this wait.
    vorlo_setResizeDone(x, 0);
    if (!vorlo_settleFittingTarget(x))
        vorlo_raise(x, VORLO_NOTE_LOADEXIT);
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    bool settled;
    {
        std::unique_lock<std::mutex> lock(x->resizeWakeup->mutex);
        settled = x->resizeWakeup->changed.wait_until(lock, start + VORLO_RESIZE_TIMEOUT, [x] {
            return x->resize_done != 0 || x->abort_request != 0;
        });
    }
    if (x->abort_request != 0)
        return VORLO_RESIZE_ABORTED;
    if (x->resize_done == VORLO_RESIZE_REFUSED) {
        vorlo_error(x, "the buffer~ %s did not take the size asked for (%lld frames of %i channels): it keeps its "
                       "%lld frames of %lld channels and its rate, nothing was written",
                    x->request.targetName->s_name, (long long)(x->indexLimit / x->resultChannels),
                    (int)x->resultChannels, (long long)x->heldFrames, (long long)x->heldChannels);
        return VORLO_RESIZE_REFUSED;
    }
    if (!settled) {
        vorlo_error(x, "FATAL ERROR: the resize function timed out (>30sec)");
        return VORLO_RESIZE_TIMEDOUT;
    }
    if (x->request.attrs.debug) {
        std::chrono::steady_clock::duration waited = std::chrono::steady_clock::now() - start;
        vorlo_post(x, "buffer resize done in %i ms",
                   (int)std::chrono::duration_cast<std::chrono::milliseconds>(waited).count());
    }
    return VORLO_RESIZE_DONE;
}

// A buffer~ refuses claims while it is edited, and for good while it is left invalid: a
// refused claim is tried again every millisecond, for this long at most.
static const std::chrono::seconds VORLO_CLAIM_PATIENCE(5);

static void vorlo_reportUnclaimable(t_vorlo_load *x, const char *role, const t_symbol *name)
{
    vorlo_error(x, "the samples of the %s buffer~ %s could not be claimed for %i seconds: nothing more is written",
                role, name ? name->s_name : "", (int)VORLO_CLAIM_PATIENCE.count());
}

// The target's size under a claim that is let go at once, tried as the writer's claims are;
// false after its error (the target is gone, stays unclaimable, or the load was stopped).
static bool vorlo_lookAtTarget(t_vorlo_load *x, vorlo_count *frames, vorlo_count *channels)
{
    std::chrono::steady_clock::time_point until = std::chrono::steady_clock::now() + VORLO_CLAIM_PATIENCE;
    while (vorlo_going(x)) {
        if (!vorlo_enterGate(x))
            return false;
        t_buffer_obj *b = buffer_ref_getobject(x->targetRef);
        float *samples = b ? buffer_locksamples(b) : nullptr;
        if (samples) {
            *frames = buffer_getframecount(b);
            *channels = buffer_getchannelcount(b);
            buffer_unlocksamples(b);
        }
        vorlo_leaveGate(x);
        if (samples)
            return true;
        if (!b || std::chrono::steady_clock::now() >= until)
            break;
        systhread_sleep(1);
    }
    if (vorlo_going(x))
        vorlo_error(x, "the samples of the target buffer~ could not be locked: nothing was written");
    return false;
}

// A target that holds samples is claimed once before it is resized: one that refuses its
// claims (left invalid) would otherwise lose its content to a load that then cannot write.
bool vorlo_checkTargetClaimable(t_vorlo_load *x)
{
    vorlo_count frames, channels;
    return x->targetFrames <= 0 || vorlo_lookAtTarget(x, &frames, &channels);
}

// The host may not have honoured the resize: the buffer as it is decides how far the
// writer may go, and a buffer with another channel count cannot take the result's rows.
// The claim is let go at once: the writer claims the samples for each frame it writes.
bool vorlo_lockTarget(t_vorlo_load *x)
{
    if (!vorlo_lookAtTarget(x, &x->claimFrames, &x->claimChannels))
        return false;
    if (x->claimChannels != x->resultChannels) {
        vorlo_error(x, "the target buffer~ has %lld channels instead of %i: nothing was written",
                    (long long)x->claimChannels, x->resultChannels);
        return false;
    }
    vorlo_count room = x->claimFrames * x->claimChannels - x->writeOffset;
    if (room < x->indexLimit) {
        vorlo_warn(x, "the target buffer~ holds only %lld frames of %lld: the rest is not written",
                   (long long)x->claimFrames, (long long)((x->writeOffset + x->indexLimit) / x->resultChannels));
        x->indexLimit = room > 0 ? room : 0;
    }
    return true;
}

// One try at the samples of the buffer~ that `ref` names, inside the gate: 1 claimed, 0
// refused (an edit runs), -1 resized or gone.
static int vorlo_trySamples(t_buffer_ref *ref, vorlo_count frames, vorlo_count channels, t_buffer_obj **b,
                            float **samples)
{
    *b = buffer_ref_getobject(ref);
    *samples = *b ? buffer_locksamples(*b) : nullptr;
    bool kept = *b && buffer_getframecount(*b) == frames && buffer_getchannelcount(*b) == channels;
    if (*samples && kept)
        return 1;
    if (*samples)
        buffer_unlocksamples(*b);
    *samples = nullptr;
    return kept ? 0 : -1;
}

// An edit of a buffer~ from the patch (a resize, a read) waits for the claims on its samples
// to end, so the loader claims them for one packet or block at a time, inside the gate: a
// stop waits for that much and no more. A claim refused while an edit runs is tried again
// after it, for VORLO_CLAIM_PATIENCE at most; a size other than the one the load measured,
// or a buffer~ that stays unclaimable, ends the load with the error bang, keeping what it
// wrote. False when nothing may be touched.
bool vorlo_claimSamples(t_vorlo_load *x, t_buffer_ref *ref, vorlo_count frames, vorlo_count channels,
                        const char *role, const t_symbol *name, t_buffer_obj **b, float **samples)
{
    *samples = nullptr;
    std::chrono::steady_clock::time_point until = std::chrono::steady_clock::now() + VORLO_CLAIM_PATIENCE;
    while (vorlo_going(x) && !x->writeFailed) {
        if (std::chrono::steady_clock::now() >= until) {
            if (vorlo_failsFirst(x))
                vorlo_reportUnclaimable(x, role, name);
            x->writeFailed = 1;
            return false;
        }
        if (!vorlo_enterGate(x))
            return false;
        int claim = vorlo_trySamples(ref, frames, channels, b, samples);
        if (claim > 0)
            return true;
        if (claim < 0 && vorlo_failsFirst(x))
            vorlo_error(x, "the %s buffer~ %s was resized during the load: the load stopped", role,
                        name ? name->s_name : "");
        if (claim < 0)
            x->writeFailed = 1;
        vorlo_leaveGate(x);
        if (claim == 0)
            systhread_sleep(1);
    }
    return false;
}

void vorlo_releaseSamples(t_vorlo_load *x, t_buffer_obj *b)
{
    buffer_unlocksamples(b);
    vorlo_leaveGate(x);
}

bool vorlo_claimTarget(t_vorlo_load *x)
{
    if (!vorlo_claimSamples(x, x->targetRef, x->claimFrames, x->claimChannels, "target", x->request.targetName,
                            &x->claimed, &x->targetSamples))
        return false;
    x->wrote = 1;
    return true;
}

void vorlo_unlockTarget(t_vorlo_load *x)
{
    if (!x->targetSamples)
        return;
    x->targetSamples = nullptr;
    vorlo_releaseSamples(x, x->claimed);
    x->claimed = nullptr;
}

void vorlo_setTargetDirty(t_vorlo_load *x)
{
    if (!vorlo_enterGate(x))
        return;
    t_buffer_obj *b = buffer_ref_getobject(x->targetRef);
    if (b)
        buffer_setdirty(b);
    vorlo_leaveGate(x);
}

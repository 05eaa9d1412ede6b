// A load's life: made on the main thread from the instance's request, held by the instance
// and by its thread, and freed by whichever lets go last. The instance may stop it at any
// moment without waiting for a read that blocks: the gate tells the loader, at each touch
// of the instance, the patch or a buffer~, whether it may still make it.
#include "loader.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <condition_variable>
#include <mutex>
#include <new>

struct _vorlo_gate {
    std::mutex mutex;
    std::condition_variable left;
    int users;    // touches under way
    bool closed;
};

// What the loader may make of its own: frames, the packet, the gate and the resize's
// wake-up. The request's path moves into the load.
static bool vorlo_makeLoadParts(t_vorlo_load *x)
{
    vorlo_ff_init_packet(&x->packet);
    x->frame = av_frame_alloc();
    x->resampledFrame = av_frame_alloc();
    x->gate = new (std::nothrow) _vorlo_gate();
    return x->frame && x->resampledFrame && x->gate && vorlo_makeResizeWakeup(x);
}

static void vorlo_freeLoad(t_vorlo_load *x)
{
    av_packet_unref(&x->packet);
    av_frame_free(&x->frame);
    av_frame_free(&x->resampledFrame);
    swr_free(&x->swrCtx);
    vorlo_freeResizeWakeup(x);
    delete x->gate;
    free(x->request.sourcePath);
    delete x;
}

t_vorlo_load *vorlo_newLoad(t_vorlo *x)
{
    t_vorlo_load *load = new (std::nothrow) t_vorlo_load();
    if (!load)
        return nullptr;
    load->request = x->request;
    x->request.sourcePath = nullptr;
    load->holders = 1;
    if (!vorlo_makeLoadParts(load)) {
        vorlo_freeLoad(load);
        return nullptr;
    }
    load->owner = x;
    load->targetRef = x->buffer_ref;
    load->sourceRef = x->source_buffer_ref;
    load->metadata = x->metadata;
    load->targetSr = load->request.targetSr;
    load->targetFrames = load->request.targetFrames;
    load->targetChannels = load->request.targetChannels;
    memcpy(load->routeList, load->request.routeList, sizeof load->routeList);
    load->requestedChannels = load->request.requestedChannels;
    load->shortenedFadein = -1.0f;
    load->shortenedFadeout = -1.0f;
    load->streamIndex = -1;
    return load;
}

void vorlo_dropLoad(t_vorlo_load *x)
{
    if (x && x->holders.fetch_sub(1, std::memory_order_acq_rel) == 1)
        vorlo_freeLoad(x);
}

// A mutex that fails (the system's error) counts as a closed gate: the loader then touches
// nothing rather than end the host.
bool vorlo_enterGate(t_vorlo_load *x)
{
    try {
        std::lock_guard<std::mutex> lock(x->gate->mutex);
        if (x->gate->closed)
            return false;
        x->gate->users++;
        return true;
    } catch (...) {
        return false;
    }
}

void vorlo_leaveGate(t_vorlo_load *x)
{
    try {
        std::lock_guard<std::mutex> lock(x->gate->mutex);
        if (--x->gate->users == 0)
            x->gate->left.notify_all();
    } catch (...) {
    }
}

// A touch lasts at most one packet's writing: the main thread waits for nothing longer. The
// gate is closed before the stop is asked for, so that a loader that sees the stop finds the
// gate closed too.
void vorlo_closeGate(t_vorlo_load *x)
{
    try {
        {
            std::lock_guard<std::mutex> lock(x->gate->mutex);
            x->gate->closed = true;
            x->abort_request = 1;
        }
        vorlo_wakeResizeWait(x);
        std::unique_lock<std::mutex> lock(x->gate->mutex);
        x->gate->left.wait(lock, [x] { return x->gate->users == 0; });
    } catch (...) {
        x->abort_request = 1;
    }
}

enum { VORLO_LINE_CHARS = MAX_PATH_CHARS + 1024 };

// The host's console functions take a format; the text is made here, where the arguments are.
static void vorlo_console(t_vorlo_load *x, void (*sink)(t_object *, const char *, ...), bool ofObject,
                          const char *fmt, va_list ap)
{
    char text[VORLO_LINE_CHARS];
    vsnprintf(text, sizeof text, fmt, ap);
    if (!vorlo_enterGate(x))
        return;
    sink(ofObject ? &x->owner->ob : nullptr, "%s", text);
    vorlo_leaveGate(x);
}

void vorlo_error(t_vorlo_load *x, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    vorlo_console(x, object_error, true, fmt, ap);
    va_end(ap);
}

void vorlo_warn(t_vorlo_load *x, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    vorlo_console(x, object_warn, true, fmt, ap);
    va_end(ap);
}

void vorlo_post(t_vorlo_load *x, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    vorlo_console(x, object_post, true, fmt, ap);
    va_end(ap);
}

void vorlo_errorPlain(t_vorlo_load *x, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    vorlo_console(x, object_error, false, fmt, ap);
    va_end(ap);
}

void vorlo_postPlain(t_vorlo_load *x, const char *text)
{
    if (!vorlo_enterGate(x))
        return;
    post("%s", text);
    vorlo_leaveGate(x);
}

void vorlo_postPiece(t_vorlo_load *x, long flags, const char *piece)
{
    char text[64];
    snprintf(text, sizeof text, "%s", piece);
    if (!vorlo_enterGate(x))
        return;
    object_poststring(&x->owner->ob, 0, flags, text);
    vorlo_leaveGate(x);
}

// The bit goes into `raised` before the queue element is set, so that the main thread's stop,
// which closes the gate first, finds every notification the loader set.
void vorlo_raise(t_vorlo_load *x, int32_t note)
{
    if (!vorlo_enterGate(x))
        return;
    x->raised |= note;
    switch (note) {
    case VORLO_NOTE_LOADEXIT: qelem_set(x->owner->qelem_loadexit); break;
    case VORLO_NOTE_STARTREAD: qelem_set(x->owner->qelem_startread); break;
    case VORLO_NOTE_ERR: qelem_set(x->owner->qelem_err); break;
    case VORLO_NOTE_DONE: qelem_set(x->owner->qelem_done); break;
    default: break;
    }
    vorlo_leaveGate(x);
}

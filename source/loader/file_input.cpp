// What a path names, before FFmpeg reads it. A device is no audio file (one such as
// /dev/zero never ends), and a FIFO is read by a reader of the loader's own:
// FFmpeg's interrupt callback cannot end a read(2) that blocks in the kernel while the
// FIFO's writer is silent, and a stop must end the load at once all the same.
#include "loader.h"

#ifndef _WIN32
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifndef _WIN32

// How long the reader waits for data before it looks for a stop again.
static const int VORLO_FIFO_POLL_MS = 20;
static const int VORLO_FIFO_CHUNK = 32768;

typedef struct _vorlo_fifo {
    t_vorlo *x;
    int fd;
} t_vorlo_fifo;

const char *vorlo_refuseInput(const char *path)
{
    struct stat st;
    // What cannot be looked at (no such file, a URL, a symlink loop) and a folder are
    // FFmpeg's to report.
    if (stat(path, &st) != 0)
        return nullptr;
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return "it is a device, not a file";
    return nullptr;
}

// A FIFO opened without blocking has no writer yet or a silent one: poll says when there is
// something to read, or that the writer has gone (then read gives the end).
static int vorlo_readFifo(void *opaque, uint8_t *buf, int size)
{
    t_vorlo_fifo *fifo = (t_vorlo_fifo *)opaque;
    for (;;) {
        if (!vorlo_going(fifo->x))
            return AVERROR_EXIT;
        struct pollfd ready = {fifo->fd, POLLIN, 0};
        int polled = poll(&ready, 1, VORLO_FIFO_POLL_MS);
        if (polled < 0 && errno != EINTR)
            return AVERROR(errno);
        if (polled <= 0)
            continue;
        ssize_t n = read(fifo->fd, buf, (size_t)size);
        if (n > 0)
            return (int)n;
        if (n == 0)
            return AVERROR_EOF;
        if (errno != EAGAIN && errno != EINTR)
            return AVERROR(errno);
    }
}

static bool vorlo_isFifo(const char *path)
{
    struct stat st;
    return stat(path, &st) == 0 && S_ISFIFO(st.st_mode);
}

int vorlo_openFifoReader(t_vorlo *x, const char *path, AVIOContext **pb)
{
    *pb = nullptr;
    if (!vorlo_isFifo(path))
        return 0;
    t_vorlo_fifo *fifo = (t_vorlo_fifo *)av_mallocz(sizeof *fifo);
    uint8_t *buffer = (uint8_t *)av_malloc(VORLO_FIFO_CHUNK);
    if (fifo && buffer) {
        fifo->x = x;
        fifo->fd = open(path, O_RDONLY | O_NONBLOCK);
    }
    if (!fifo || !buffer || fifo->fd < 0) {
        int err = fifo && buffer ? AVERROR(errno) : AVERROR(ENOMEM);
        av_free(fifo);
        av_free(buffer);
        return err;
    }
    *pb = avio_alloc_context(buffer, VORLO_FIFO_CHUNK, 0, fifo, vorlo_readFifo, nullptr, nullptr);
    if (!*pb) {
        close(fifo->fd);
        av_free(fifo);
        av_free(buffer);
        return AVERROR(ENOMEM);
    }
    return 0;
}

void vorlo_freeFifoReader(AVIOContext **pb)
{
    if (!*pb)
        return;
    t_vorlo_fifo *fifo = (t_vorlo_fifo *)(*pb)->opaque;
    close(fifo->fd);
    av_free(fifo);
    av_freep(&(*pb)->buffer);
    avio_context_free(pb);
}

#else

// Windows has no FIFOs or devices among its file names; FFmpeg reads every path as it is.
const char *vorlo_refuseInput(const char *)
{
    return nullptr;
}

int vorlo_openFifoReader(t_vorlo *, const char *, AVIOContext **pb)
{
    *pb = nullptr;
    return 0;
}

void vorlo_freeFifoReader(AVIOContext **pb)
{
    if (*pb)
        avio_context_free(pb);
}

#endif

void vorlo_closeInput(t_vorlo *x)
{
    AVIOContext *own = x->formatCtx && (x->formatCtx->flags & AVFMT_FLAG_CUSTOM_IO) ? x->formatCtx->pb : nullptr;
    avformat_close_input(&x->formatCtx);
    vorlo_freeFifoReader(&own);
}

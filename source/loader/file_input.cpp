// What a path names, before FFmpeg reads it. A device is no audio file (one such as
// /dev/zero never ends), and a FIFO is read by a thread of its own: a read that blocks in
// the kernel while the FIFO's writer is silent cannot be interrupted, so the loader takes
// that thread's data in short waits and leaves the thread behind on a stop. The thread
// ends when the writer writes or goes away.
#include "loader.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

// How long the loader waits for data before it looks for a stop again.
static const std::chrono::milliseconds VORLO_FIFO_WAIT{20};
static const size_t VORLO_FIFO_CHUNK = 32768;
// What the thread reads ahead of the loader at most.
static const size_t VORLO_FIFO_AHEAD = 1 << 20;

// Shared by the reading thread and the loader; the last of the two to let go frees it.
typedef struct _vorlo_fifo {
    std::mutex lock;
    std::condition_variable arrived;  // data, the end or an error
    std::condition_variable taken;    // room for more, or the loader let go
    std::vector<uint8_t> data;        // read, from `next` on not yet taken
    size_t next = 0;
    bool ended = false;
    int error = 0;                    // the read's failure, an FFmpeg error
    bool abandoned = false;           // the loader let go
    std::atomic<int> holders{2};
    std::string path;
    t_vorlo *x = nullptr;
} t_vorlo_fifo;

static std::filesystem::file_type vorlo_fileType(const char *path)
{
    std::error_code error;
    return std::filesystem::status(path, error).type();
}

const char *vorlo_refuseInput(const char *path)
{
    // What cannot be looked at (no such file, a URL, a symlink loop) and a folder are
    // FFmpeg's to report.
    std::filesystem::file_type type = vorlo_fileType(path);
    if (type == std::filesystem::file_type::character || type == std::filesystem::file_type::block)
        return "it is a device, not a file";
    return nullptr;
}

static void vorlo_letGoOfFifo(t_vorlo_fifo *fifo)
{
    if (--fifo->holders == 0)
        delete fifo;
}

// Adds what was read; false once the loader has let go.
static bool vorlo_handOver(t_vorlo_fifo *fifo, const uint8_t *chunk, size_t count, bool ended, int error)
{
    std::unique_lock<std::mutex> hold(fifo->lock);
    fifo->taken.wait(hold, [fifo] { return fifo->abandoned || fifo->data.size() - fifo->next < VORLO_FIFO_AHEAD; });
    if (fifo->abandoned)
        return false;
    fifo->data.insert(fifo->data.end(), chunk, chunk + count);
    fifo->ended = ended;
    fifo->error = error;
    fifo->arrived.notify_one();
    return true;
}

// Opening waits for a writer, reading for its data: both may block for ever.
static void vorlo_readFifoFile(t_vorlo_fifo *fifo)
{
    std::vector<uint8_t> chunk(VORLO_FIFO_CHUNK);
    FILE *file = std::fopen(fifo->path.c_str(), "rb");
    int error = file ? 0 : AVERROR(errno);
    for (bool ended = !file; !ended;) {
        size_t count = std::fread(chunk.data(), 1, chunk.size(), file);
        ended = count < chunk.size();
        if (ended && std::ferror(file))
            error = AVERROR(EIO);
        if (!vorlo_handOver(fifo, chunk.data(), count, ended, error))
            break;
    }
    if (!file)
        vorlo_handOver(fifo, nullptr, 0, true, error);
    else
        std::fclose(file);
}

// A read that runs out of memory ends the input with that error: nothing escapes the thread.
static void vorlo_readFifoThread(t_vorlo_fifo *fifo)
{
    try {
        vorlo_readFifoFile(fifo);
    } catch (...) {
        std::lock_guard<std::mutex> hold(fifo->lock);
        fifo->ended = true;
        fifo->error = AVERROR(ENOMEM);
        fifo->arrived.notify_one();
    }
    vorlo_letGoOfFifo(fifo);
}

// What the thread has read, the end, or AVERROR_EXIT as soon as a stop asks.
static int vorlo_takeFifoData(t_vorlo_fifo *fifo, uint8_t *buf, int size)
{
    std::unique_lock<std::mutex> hold(fifo->lock);
    while (fifo->next == fifo->data.size() && !fifo->ended) {
        if (!vorlo_going(fifo->x))
            return AVERROR_EXIT;
        fifo->arrived.wait_for(hold, VORLO_FIFO_WAIT);
    }
    size_t count = fifo->data.size() - fifo->next;
    if (count == 0)
        return fifo->error ? fifo->error : AVERROR_EOF;
    if (count > (size_t)size)
        count = (size_t)size;
    memcpy(buf, fifo->data.data() + fifo->next, count);
    fifo->next += count;
    if (fifo->next == fifo->data.size()) {
        fifo->data.clear();
        fifo->next = 0;
    }
    fifo->taken.notify_one();
    return (int)count;
}

// FFmpeg's read. FFmpeg is C: nothing may leave this function but its result.
static int vorlo_readFifo(void *opaque, uint8_t *buf, int size)
{
    try {
        return vorlo_takeFifoData((t_vorlo_fifo *)opaque, buf, size);
    } catch (...) {
        return AVERROR(EIO);
    }
}

static bool vorlo_startFifoThread(t_vorlo *x, t_vorlo_fifo *fifo, const char *path)
{
    try {
        fifo->path = path;
        std::thread(vorlo_readFifoThread, fifo).detach();
        return true;
    } catch (const std::exception &e) {
        object_error(&x->ob, "could not start a thread to read the FIFO: %s", e.what());
        return false;
    }
}

int vorlo_openFifoReader(t_vorlo *x, const char *path, AVIOContext **pb)
{
    *pb = nullptr;
    if (vorlo_fileType(path) != std::filesystem::file_type::fifo)
        return 0;
    t_vorlo_fifo *fifo = new (std::nothrow) t_vorlo_fifo;
    uint8_t *buffer = (uint8_t *)av_malloc(VORLO_FIFO_CHUNK);
    if (fifo && buffer)
        *pb = avio_alloc_context(buffer, VORLO_FIFO_CHUNK, 0, fifo, vorlo_readFifo, nullptr, nullptr);
    if (!*pb) {
        delete fifo;
        av_free(buffer);
        return AVERROR(ENOMEM);
    }
    fifo->x = x;
    if (vorlo_startFifoThread(x, fifo, path))
        return 0;
    delete fifo;
    av_freep(&(*pb)->buffer);
    avio_context_free(pb);
    return AVERROR(EAGAIN);
}

void vorlo_freeFifoReader(AVIOContext **pb)
{
    if (!*pb)
        return;
    t_vorlo_fifo *fifo = (t_vorlo_fifo *)(*pb)->opaque;
    {
        std::lock_guard<std::mutex> hold(fifo->lock);
        fifo->abandoned = true;
        fifo->taken.notify_one();
    }
    vorlo_letGoOfFifo(fifo);
    av_freep(&(*pb)->buffer);
    avio_context_free(pb);
}

void vorlo_closeInput(t_vorlo *x)
{
    AVIOContext *own = x->formatCtx && (x->formatCtx->flags & AVFMT_FLAG_CUSTOM_IO) ? x->formatCtx->pb : nullptr;
    avformat_close_input(&x->formatCtx);
    vorlo_freeFifoReader(&own);
}

// What a path names, before FFmpeg reads it, and how it is read.
// - A device is no audio file (one such as /dev/zero or NUL never ends), nor is a folder
//   (which each system's file reading reports in words of its own).
// - A FIFO is read by a thread of its own: a read that blocks in the kernel while the
//   FIFO's writer is silent cannot be interrupted, so the loader takes that thread's data in
//   short waits and leaves the thread behind on a stop. The thread ends when the writer
//   writes or goes away. A named pipe of Windows would block the same way without such a
//   thread, and is refused.
// - A file is read as it was when the load first opened it (open_file.h): every pass reads
//   the file first opened, whatever its name holds since, and reads end where it ended then.
//   FFmpeg's seeks and length measurements go wrong on a file that grows under them (a
//   recording still being written), and one of its parsers crashes there.
// Names are UTF-8 on every system, as the host hands them over; nothing here converts them
// through a locale or a code page (windows.h comes with the SDK's ext.h on Windows).
#include "loader.h"
#include "open_file.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <filesystem>
#endif

// How long the loader waits for data before it looks for a stop again.
static const std::chrono::milliseconds VORLO_FIFO_WAIT{20};
// What a reader asks for at a time: of a FIFO's thread, and FFmpeg of a reader of ours.
static const int VORLO_READ_CHUNK = 32768;
// What FFmpeg asks a file for at a time: the pieces of a load decoded at once take the
// file's one position in turn, each read copying this much under its lock.
static const int VORLO_FILE_CHUNK = 1 << 18;
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
    t_vorlo_load *x = nullptr;
} t_vorlo_fifo;

// One pass's reading of the load's file, as the load first found it.
typedef struct _vorlo_snapshot {
    t_vorlo_file *file;
    int64_t pos;
} t_vorlo_snapshot;

typedef enum {
    VORLO_INPUT_OTHER,  // missing, a URL: FFmpeg's to open and to report
    VORLO_INPUT_FILE,
    VORLO_INPUT_FOLDER,
    VORLO_INPUT_FIFO,
    VORLO_INPUT_DEVICE,
    VORLO_INPUT_PIPE,   // a named pipe of Windows
} t_vorlo_inputKind;

#ifdef _WIN32
// \\.\pipe\NAME, with either kind of slash. Opening one to look at it would connect to
// its server, so the name alone decides.
static bool vorlo_namesPipe(const char *path)
{
    static const char prefix[] = "//./pipe/";
    for (size_t i = 0; prefix[i]; i++) {
        char c = path[i] == '\\' ? '/' : (char)tolower((unsigned char)path[i]);
        if (c != prefix[i])
            return false;
    }
    return true;
}

static t_vorlo_inputKind vorlo_inputKind(const char *path)
{
    if (vorlo_namesPipe(path))
        return VORLO_INPUT_PIPE;
    wchar_t *name = vorlo_systemName(path);
    if (!name)
        return VORLO_INPUT_OTHER;
    // No access asked for: this looks at the object without reading it; the flag lets
    // folders open too.
    HANDLE handle = CreateFileW(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    free(name);
    if (handle == INVALID_HANDLE_VALUE)
        return VORLO_INPUT_OTHER;
    t_vorlo_inputKind kind = VORLO_INPUT_OTHER;
    BY_HANDLE_FILE_INFORMATION info;
    DWORD type = GetFileType(handle);
    if (type == FILE_TYPE_CHAR)
        kind = VORLO_INPUT_DEVICE;
    else if (type == FILE_TYPE_PIPE)
        kind = VORLO_INPUT_PIPE;
    else if (type == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info))
        kind = info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? VORLO_INPUT_FOLDER : VORLO_INPUT_FILE;
    CloseHandle(handle);
    return kind;
}
#else
// The name's bytes are the path here: nothing converts them.
static t_vorlo_inputKind vorlo_inputKind(const char *path)
{
    std::error_code error;
    switch (std::filesystem::status(path, error).type()) {
    case std::filesystem::file_type::regular:
        return VORLO_INPUT_FILE;
    case std::filesystem::file_type::directory:
        return VORLO_INPUT_FOLDER;
    case std::filesystem::file_type::fifo:
        return VORLO_INPUT_FIFO;
    case std::filesystem::file_type::character:
    case std::filesystem::file_type::block:
        return VORLO_INPUT_DEVICE;
    default:
        return VORLO_INPUT_OTHER;
    }
}
#endif

const char *vorlo_refuseInput(const char *path)
{
    switch (vorlo_inputKind(path)) {
    case VORLO_INPUT_DEVICE:
        return "it is a device, not a file";
    case VORLO_INPUT_FOLDER:
        return "it is a folder, not a file";
    case VORLO_INPUT_PIPE:
        return "it is a named pipe: on Windows vorlo~ reads files, not pipes";
    default:
        return nullptr;
    }
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
    std::vector<uint8_t> chunk(VORLO_READ_CHUNK);
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

static bool vorlo_startFifoThread(t_vorlo_load *x, t_vorlo_fifo *fifo, const char *path)
{
    try {
        fifo->path = path;
        std::thread(vorlo_readFifoThread, fifo).detach();
        return true;
    } catch (const std::exception &e) {
        vorlo_error(x, "could not start a thread to read the FIFO: %s", e.what());
        return false;
    }
}

static int vorlo_openFifoReader(t_vorlo_load *x, const char *path, AVIOContext **pb)
{
    t_vorlo_fifo *fifo = new (std::nothrow) t_vorlo_fifo;
    uint8_t *buffer = (uint8_t *)av_malloc(VORLO_READ_CHUNK);
    if (fifo && buffer)
        *pb = avio_alloc_context(buffer, VORLO_READ_CHUNK, 0, fifo, vorlo_readFifo, nullptr, nullptr);
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

static int vorlo_readSnapshot(void *opaque, uint8_t *buf, int size)
{
    t_vorlo_snapshot *snapshot = (t_vorlo_snapshot *)opaque;
    int64_t left = vorlo_fileSize(snapshot->file) - snapshot->pos;
    int ret = left > 0 ? vorlo_readFileAt(snapshot->file, snapshot->pos, buf, (int)FFMIN(left, (int64_t)size))
                       : 0;
    if (ret > 0)
        snapshot->pos += ret;
    return ret == 0 ? AVERROR_EOF : ret;
}

static int64_t vorlo_seekSnapshot(void *opaque, int64_t offset, int whence)
{
    t_vorlo_snapshot *snapshot = (t_vorlo_snapshot *)opaque;
    int64_t size = vorlo_fileSize(snapshot->file);
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return size;
    case SEEK_CUR:
        offset += snapshot->pos;
        break;
    case SEEK_END:
        offset += size;
        break;
    case SEEK_SET:
        break;
    default:
        return AVERROR(EINVAL);
    }
    if (offset < 0)
        return AVERROR(EINVAL);
    snapshot->pos = offset;
    return offset;
}

// Every pass of a load reads the file that its first opening found, from its beginning.
static int vorlo_openSnapshot(t_vorlo_load *x, AVIOContext **pb)
{
    int ret = x->file ? 0 : vorlo_openFile(x->path, &x->file);
    if (ret != 0)
        return ret;
    t_vorlo_snapshot *snapshot = (t_vorlo_snapshot *)av_mallocz(sizeof *snapshot);
    uint8_t *buffer = (uint8_t *)av_malloc(VORLO_FILE_CHUNK);
    if (snapshot && buffer) {
        snapshot->file = x->file;
        *pb = avio_alloc_context(buffer, VORLO_FILE_CHUNK, 0, snapshot, vorlo_readSnapshot, nullptr,
                                 vorlo_seekSnapshot);
    }
    if (*pb)
        return 0;
    av_free(snapshot);
    av_free(buffer);
    return AVERROR(ENOMEM);
}

int vorlo_openReader(t_vorlo_load *x, AVIOContext **pb)
{
    *pb = nullptr;
    switch (vorlo_inputKind(x->path)) {
    case VORLO_INPUT_FIFO:
        return vorlo_openFifoReader(x, x->path, pb);
    case VORLO_INPUT_FILE:
        return vorlo_openSnapshot(x, pb);
    default:
        return 0;
    }
}

static void vorlo_letGoOfFifoReader(t_vorlo_fifo *fifo)
{
    {
        std::lock_guard<std::mutex> hold(fifo->lock);
        fifo->abandoned = true;
        fifo->taken.notify_one();
    }
    vorlo_letGoOfFifo(fifo);
}

void vorlo_freeReader(AVIOContext **pb)
{
    if (!*pb)
        return;
    if ((*pb)->read_packet == vorlo_readFifo)
        vorlo_letGoOfFifoReader((t_vorlo_fifo *)(*pb)->opaque);
    else
        av_free((*pb)->opaque);
    av_freep(&(*pb)->buffer);
    avio_context_free(pb);
}

void vorlo_closeInput(t_vorlo_load *x)
{
    AVIOContext *own = x->formatCtx && (x->formatCtx->flags & AVFMT_FLAG_CUSTOM_IO) ? x->formatCtx->pb : nullptr;
    avformat_close_input(&x->formatCtx);
    vorlo_freeReader(&own);
}

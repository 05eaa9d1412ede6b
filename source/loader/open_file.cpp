#include "open_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

extern "C" {
#include <libavutil/error.h>
}

#ifdef _WIN32
// The SDK's ext.h brings windows.h: CreateFileW opens a file that others may still rename,
// replace or delete, which FFmpeg's own opening of files on Windows does not allow.
#include "ext.h"

struct _vorlo_file {
    HANDLE handle;
    int64_t size;
};
#else
extern "C" {
#include <libavformat/avio.h>
}

// FFmpeg's own reading of files: one opening, whose one position the passes take in turn.
struct _vorlo_file {
    AVIOContext *io = nullptr;
    std::mutex lock;
    int64_t size = 0;
};
#endif

int64_t vorlo_fileSize(const t_vorlo_file *file)
{
    return file->size;
}

#ifdef _WIN32
static wchar_t *vorlo_wideName(const char *path)
{
    int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
    wchar_t *wide = count > 0 ? (wchar_t *)malloc(count * sizeof(wchar_t)) : nullptr;
    if (wide && !MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide, count)) {
        free(wide);
        return nullptr;
    }
    return wide;
}

// \\?\ or \\.\: a name in a form of the system's own, which is taken as it stands.
static bool vorlo_systemForm(const wchar_t *name)
{
    return name[0] == L'\\' && name[1] == L'\\' && (name[2] == L'?' || name[2] == L'.') && name[3] == L'\\';
}

// The long form takes the path as it stands (no "..", no slashes): the full path is made
// first. A device (NUL, whose full path is \\.\NUL) keeps the form it has.
wchar_t *vorlo_systemName(const char *path)
{
    wchar_t *wide = vorlo_wideName(path);
    if (!wide || vorlo_systemForm(wide))
        return wide;
    DWORD count = GetFullPathNameW(wide, 0, nullptr, nullptr);
    wchar_t *full = count > 0 ? (wchar_t *)malloc(count * sizeof(wchar_t)) : nullptr;
    if (full && GetFullPathNameW(wide, count, full, nullptr) == 0) {
        free(full);
        full = nullptr;
    }
    free(wide);
    if (!full || vorlo_systemForm(full))
        return full;
    // \\server\share\... becomes \\?\UNC\server\share\...
    bool onShare = full[0] == L'\\' && full[1] == L'\\';
    const wchar_t *prefix = onShare ? L"\\\\?\\UNC" : L"\\\\?\\";
    const wchar_t *rest = onShare ? full + 1 : full;
    wchar_t *name = (wchar_t *)malloc((wcslen(prefix) + wcslen(rest) + 1) * sizeof(wchar_t));
    if (name) {
        wcscpy(name, prefix);
        wcscat(name, rest);
    }
    free(full);
    return name;
}

static int vorlo_systemError(void)
{
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return AVERROR(ENOENT);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return AVERROR(EACCES);
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return AVERROR(ENOMEM);
    default:
        return AVERROR(EIO);
    }
}

int vorlo_openFile(const char *path, t_vorlo_file **file)
{
    *file = nullptr;
    wchar_t *name = vorlo_systemName(path);
    if (!name)
        return AVERROR(EINVAL);
    HANDLE handle = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    free(name);
    if (handle == INVALID_HANDLE_VALUE)
        return vorlo_systemError();
    LARGE_INTEGER size;
    *file = (t_vorlo_file *)malloc(sizeof **file);
    if (!*file || !GetFileSizeEx(handle, &size)) {
        int ret = *file ? vorlo_systemError() : AVERROR(ENOMEM);
        CloseHandle(handle);
        free(*file);
        *file = nullptr;
        return ret;
    }
    (*file)->handle = handle;
    (*file)->size = size.QuadPart;
    return 0;
}

int vorlo_readFileAt(t_vorlo_file *file, int64_t pos, uint8_t *buf, int size)
{
    OVERLAPPED at = {};
    at.Offset = (DWORD)pos;
    at.OffsetHigh = (DWORD)(pos >> 32);
    DWORD count = 0;
    if (!ReadFile(file->handle, buf, (DWORD)size, &count, &at))
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : vorlo_systemError();
    return (int)count;
}

void vorlo_closeFile(t_vorlo_file **file)
{
    if (*file)
        CloseHandle((*file)->handle);
    free(*file);
    *file = nullptr;
}
#else
// The name's bytes are the path here: nothing converts them.
int vorlo_openFile(const char *path, t_vorlo_file **file)
{
    *file = new (std::nothrow) t_vorlo_file();
    if (!*file)
        return AVERROR(ENOMEM);
    int ret = avio_open2(&(*file)->io, path, AVIO_FLAG_READ, nullptr, nullptr);
    if (ret >= 0)
        (*file)->size = avio_size((*file)->io);
    if (ret >= 0 && (*file)->size < 0)
        ret = (int)(*file)->size;
    if (ret < 0)
        vorlo_closeFile(file);
    return ret;
}

// FFmpeg reads through this function, and FFmpeg is C: nothing may leave it but its result.
int vorlo_readFileAt(t_vorlo_file *file, int64_t pos, uint8_t *buf, int size)
{
    try {
        std::lock_guard<std::mutex> hold(file->lock);
        int64_t at = avio_seek(file->io, pos, SEEK_SET);
        if (at < 0)
            return (int)at;
        int ret = avio_read(file->io, buf, size);
        return ret == AVERROR_EOF ? 0 : ret;
    } catch (...) {
        return AVERROR(EIO);
    }
}

void vorlo_closeFile(t_vorlo_file **file)
{
    if (*file)
        avio_closep(&(*file)->io);
    delete *file;
    *file = nullptr;
}
#endif

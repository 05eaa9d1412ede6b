// The file a load reads: opened once by name, then read at positions, so that every pass of
// the load reads the same file even when its name is given to another one meanwhile (an
// editor or a DAW saves by renaming a new file over the old). Other programs may still
// rename, replace or delete it while it is open. Several passes may read it at once.
#ifndef VORLO_OPEN_FILE_H
#define VORLO_OPEN_FILE_H

#include <cstdint>

typedef struct _vorlo_file t_vorlo_file;

// 0, or an FFmpeg error code (AVERROR(errno) and the like). `path` is UTF-8.
int vorlo_openFile(const char *path, t_vorlo_file **file);
// The size when the file was opened: what the load reads at most.
int64_t vorlo_fileSize(const t_vorlo_file *file);
// Up to `size` bytes from `pos` on: the count read, 0 at the end, or an FFmpeg error code.
int vorlo_readFileAt(t_vorlo_file *file, int64_t pos, uint8_t *buf, int size);
void vorlo_closeFile(t_vorlo_file **file);

#ifdef _WIN32
// The name that opens the file whatever its length: its full path after \\?\ (\\?\UNC\ for
// a share), with backslashes. Names of 260 characters or more fail to open without it. Null
// when `path` is no UTF-8 or memory is short; free() it.
wchar_t *vorlo_systemName(const char *path);
#endif

#endif

// A file name that is not an absolute path is found as buffer~ finds it: in the host's
// search path (the File Preferences folders, the patcher's folder, the packages' folders).
//
// The search runs where the request is taken apart, on the main thread: the host's file
// functions keep no promise for other threads, and a load message that arrives on the
// scheduler thread is deferred before it gets here.
#include "object_record.h"

#include <string.h>

// Absolute: a leading slash or backslash ("/Users/...", "\\server\share"), or a colon before
// the first separator: a drive letter ("C:/..."), a volume name ("Macintosh HD:/...") or a
// URL's scheme ("http://..."), none of which a search could improve on.
static bool vorlo_isAbsolutePath(const char *path)
{
    if (path[0] == '/' || path[0] == '\\')
        return true;
    size_t head = strcspn(path, "/\\");
    const char *colon = strchr(path, ':');
    return colon && (size_t)(colon - path) < head;
}

void vorlo_searchSource(t_vorlo *x)
{
    const char *source = x->request.sourcePath ? x->request.sourcePath : x->request.sourceSym->s_name;
    size_t length = strlen(source);
    // A path too long for the host's buffers is refused when it is conformed.
    if (length == 0 || length >= MAX_PATH_CHARS || vorlo_isAbsolutePath(source))
        return;
    // locatefile_extended may rewrite the name it is given: it gets a copy.
    char name[MAX_PATH_CHARS];
    memcpy(name, source, length + 1);
    short folder = 0;
    t_fourcc type = 0;
    char found[MAX_PATH_CHARS];
    if (locatefile_extended(name, &folder, &type, nullptr, 0) != 0 ||
        path_toabsolutesystempath(folder, name, found) != MAX_ERR_NONE) {
        x->request.notInSearchPath = 1;
        if (x->debug)
            object_post(&x->ob, "not in the search path: %s", source);
        return;
    }
    if (!vorlo_setSourcePath(&x->request, "", found)) {
        object_error(&x->ob, "out of memory for the path found in the search path");
        return;
    }
    if (x->debug)
        object_post(&x->ob, "found in the search path: %s", found);
}

// File paths.
#ifndef EXT_PATH_H
#define EXT_PATH_H

#include "ext_mess.h"

#define MAX_PATH_CHARS 2048
#define MAX_FILENAME_CHARS 512

enum { PATH_STYLE_MAX = 0, PATH_STYLE_NATIVE = 1 };
enum { PATH_TYPE_IGNORE = 0, PATH_TYPE_ABSOLUTE = 1, PATH_TYPE_RELATIVE = 2, PATH_TYPE_BOOT = 3 };

BEGIN_USING_C_LINKAGE

short path_nameconform(const char *src, char *dst, long style, long type);

END_USING_C_LINKAGE

#endif

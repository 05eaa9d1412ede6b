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
// 0 when NAME is found (in the search path unless it is absolute): OUTVOL gets its folder's
// path id, OUTTYPE its type, NAME may be rewritten to the file's own name in that folder.
short locatefile_extended(char *name, short *outvol, t_fourcc *outtype, const t_fourcc *filetypelist, short numtypes);
// The absolute path of IN_FILENAME in folder IN_PATH ("" for the folder), MAX_PATH_CHARS long.
t_max_err path_toabsolutesystempath(const short in_path, const char *in_filename, char *out_filepath);

END_USING_C_LINKAGE

#endif

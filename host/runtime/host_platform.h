// What differs between the platforms that the host runs on: an external's file name and how
// it is loaded, files opened by their UTF-8 names, a path's native form, and the program's
// arguments. Everything else of the host is the same code on Linux and on Windows.
#ifndef HOST_PLATFORM_H
#define HOST_PLATFORM_H

#include <pthread.h>
#include <stdio.h>
#include <string>
#include <vector>

#ifndef PTHREAD_STACK_MIN
#define PTHREAD_STACK_MIN 16384   // winpthreads sets no minimum
#endif

// The file of an external of this class: CLASS.mxl_<processor> on Linux, CLASS.mxe64 on
// Windows, as the SDK's scripts name them.
std::string host_external_file(const std::string &classname);
// The folders that environment variable `name` lists, in UTF-8, without empty ones: they are
// separated by ':' on Linux, by ';' on Windows (C:/ has a colon).
std::vector<std::string> host_folder_list(const char *name);
// Loads the external at `path` and gives its ext_main and the module's handle (which
// ext_main receives); null with `error` set when it cannot. On Windows the DLLs that it imports are also looked for in the support folder
// beside its externals folder, as Max does for a package.
typedef void (*host_ext_main_fn)(void *);
host_ext_main_fn host_load_module(const std::string &path, void **module, std::string *error);

bool host_is_file(const std::string &path);
// The absolute form of a folder, with forward slashes; "" when `path` names no folder.
std::string host_folder(const std::string &path);
// A path from the root (/ on Linux; a drive letter, or a slash or backslash, on Windows).
bool host_is_absolute(const char *path);
// fopen of a UTF-8 path (Windows takes the wide form; its narrow form is the ANSI code page).
FILE *host_fopen(const std::string &path, const char *mode);
// Renames a file over another one that may exist; "" or the reason why not.
std::string host_rename(const std::string &from, const std::string &to);
int host_remove(const std::string &path);
// A path in the native form that path_nameconform gives: backslashes on Windows.
std::string host_native_path(const std::string &path);

// The program's arguments in UTF-8, with the standard output and error in binary mode (no
// CR before each LF on Windows). Called first in main.
void host_program_start(int *argc, char ***argv);
bool host_stderr_is_terminal();

#endif

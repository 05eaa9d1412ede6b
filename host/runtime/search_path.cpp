// The search path and the folders' path ids. Max gives every folder it knows a path id
// and finds a file name that is not absolute in the folders of its search path, in order.
// The host's search path is what a script sets; the host knows no file types.
#include "host_internal.h"
#include "headless_host.h"
#include "host_platform.h"

#include <cstring>

namespace {

std::vector<std::string> folders;   // path id N is folders[N - 1]
std::vector<short> search_path;     // path ids, in the order they are searched

short folder_id(const std::string &folder)
{
    for (size_t i = 0; i < folders.size(); i++)
        if (folders[i] == folder)
            return (short)(i + 1);
    folders.push_back(folder);
    return (short)folders.size();
}

// A file that exists: its folder's path id, and NAME rewritten to the file's own name.
short take_found(const std::string &path, char *name, short *outvol, t_fourcc *outtype)
{
    size_t slash = path.find_last_of("/\\");
    *outvol = folder_id(slash == 0 ? "/" : path.substr(0, slash));
    *outtype = 0;
    memmove(name, path.c_str() + slash + 1, path.size() - slash);
    return 0;
}

void expect_main_thread(const char *call)
{
    if (!host_on_main_thread())
        host_rule_broken("files on main thread", "%s was called on another thread than the main thread", call);
}

} // namespace

bool host_search_path_add(const std::string &dir, std::string *error)
{
    expect_main_thread("a change of the search path");
    std::string folder = host_folder(dir);
    if (folder.empty()) {
        *error = dir + " is no folder";
        return false;
    }
    search_path.push_back(folder_id(folder));
    return true;
}

extern "C" {

short locatefile_extended(char *name, short *outvol, t_fourcc *outtype, const t_fourcc *filetypelist, short numtypes)
{
    expect_main_thread("locatefile_extended");
    (void)filetypelist;
    if (numtypes != 0)
        host_rule_broken("file types", "locatefile_extended was given %d file type(s); the headless host knows "
                                       "no file types and finds a file of any type (numtypes 0)", (int)numtypes);
    if (!name || !outvol || !outtype || !name[0])
        return 1;
    if (host_is_absolute(name))
        return host_is_file(name) ? take_found(name, name, outvol, outtype) : 1;
    for (short id : search_path) {
        std::string path = folders[(size_t)id - 1] + "/" + name;
        if (host_is_file(path))
            return take_found(path, name, outvol, outtype);
    }
    return 1;
}

t_max_err path_toabsolutesystempath(const short in_path, const char *in_filename, char *out_filepath)
{
    expect_main_thread("path_toabsolutesystempath");
    if (!out_filepath)
        return MAX_ERR_GENERIC;
    out_filepath[0] = '\0';
    if (in_path < 1 || (size_t)in_path > folders.size() || !in_filename)
        return MAX_ERR_GENERIC;
    const std::string &folder = folders[(size_t)in_path - 1];
    std::string path = !in_filename[0] ? folder : folder == "/" ? "/" + std::string(in_filename)
                                                                : folder + "/" + in_filename;
    if (path.size() >= MAX_PATH_CHARS)
        return MAX_ERR_GENERIC;
    memcpy(out_filepath, path.c_str(), path.size() + 1);
    return MAX_ERR_NONE;
}

} // extern "C"

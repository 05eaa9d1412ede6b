// Loading externals: CLASS.mxl_<processor> from the folders of VORLO_PATH, then from the
// folder where the build puts them.
#include "host_internal.h"
#include "headless_host.h"

#include <cstdlib>
#include <dlfcn.h>
#include <mutex>
#include <set>
#include <sys/stat.h>

#ifndef VORLO_PROCESSOR
#if defined(__x86_64__)
#define VORLO_PROCESSOR "x86_64"
#elif defined(__aarch64__)
#define VORLO_PROCESSOR "aarch64"
#else
#error "name this processor as CMAKE_SYSTEM_PROCESSOR does"
#endif
#endif

namespace {

std::mutex externals_mutex;
std::string externals_dir;
std::set<std::string> loaded_files;   // each file's ext_main runs once per process

typedef void (*ext_main_fn)(void *);

bool is_file(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::vector<std::string> search_folders(const char *fallback_dir)
{
    std::vector<std::string> folders;
    if (const char *path = getenv("VORLO_PATH")) {
        std::string list = path;
        size_t start = 0;
        for (;;) {
            size_t end = list.find(':', start);
            std::string folder = list.substr(start, end - start);
            if (!folder.empty())
                folders.push_back(folder);
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    }
    if (fallback_dir && *fallback_dir)
        folders.push_back(fallback_dir);
    return folders;
}

} // namespace

void host_set_externals_dir(const char *dir)
{
    std::lock_guard<std::mutex> lock(externals_mutex);
    externals_dir = dir ? dir : "";
}

const char *host_externals_dir()
{
    std::lock_guard<std::mutex> lock(externals_mutex);
    return externals_dir.c_str();
}

int host_load_external(const char *classname, const char *fallback_dir)
{
    std::string file = std::string(classname) + ".mxl_" VORLO_PROCESSOR;
    std::string path;
    for (const std::string &folder : search_folders(fallback_dir))
        if (is_file(folder + "/" + file)) {
            path = folder + "/" + file;
            break;
        }
    if (path.empty()) {
        host_script_error("no external " + file + " in VORLO_PATH" +
                          (fallback_dir && *fallback_dir ? std::string(" or ") + fallback_dir : std::string()));
        return -1;
    }
    {
        std::lock_guard<std::mutex> lock(externals_mutex);
        if (!loaded_files.insert(path).second) {
            host_script_error(path + " was loaded already and registered no class " + classname);
            return -1;
        }
    }
    void *module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        host_script_error(std::string("cannot load ") + path + ": " + dlerror());
        return -1;
    }
    ext_main_fn entry = (ext_main_fn)dlsym(module, "ext_main");
    if (!entry) {
        host_script_error(path + " has no ext_main");
        return -1;
    }
    entry(module);
    return 0;
}

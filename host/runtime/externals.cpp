// Loading externals: the class's file (host_external_file) from the folders of VORLO_PATH,
// then from the folder where the build puts them.
#include "host_internal.h"
#include "headless_host.h"
#include "host_platform.h"

#include <cstdlib>
#include <mutex>
#include <set>

namespace {

std::mutex externals_mutex;
std::string externals_dir;
std::set<std::string> loaded_files;   // each file's ext_main runs once per process

std::vector<std::string> search_folders(const char *fallback_dir)
{
    std::vector<std::string> folders = host_folder_list("VORLO_PATH");
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
    std::string file = host_external_file(classname);
    std::string path;
    for (const std::string &folder : search_folders(fallback_dir))
        if (host_is_file(folder + "/" + file)) {
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
    std::string error;
    void *module = nullptr;
    host_ext_main_fn entry = host_load_module(path, &module, &error);
    if (!entry) {
        host_script_error("cannot load " + path + ": " + error);
        return -1;
    }
    entry(module);
    return 0;
}

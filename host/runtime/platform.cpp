// The platform's part of the host: see host_platform.h.
#include "host_platform.h"

#include <algorithm>

static std::vector<std::string> split_folders(const std::string &list, char separator)
{
    std::vector<std::string> folders;
    for (size_t start = 0; start <= list.size();) {
        size_t end = std::min(list.find(separator, start), list.size());
        if (end > start)
            folders.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return folders;
}

#ifdef _WIN32

#include <windows.h>   // before shellapi.h, which needs its types

#include <cctype>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <vector>

namespace {

std::wstring wide(const std::string &utf8)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), nullptr, 0);
    std::wstring text((size_t)n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), &text[0], n);
    return text;
}

std::string utf8(const wchar_t *text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out((size_t)(n > 0 ? n - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
    return out;
}

std::string last_error_text()
{
    wchar_t *text = nullptr;
    DWORD code = GetLastError();
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, (wchar_t *)&text, 0, nullptr);
    std::string message = text ? utf8(text) : "error " + std::to_string(code);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    return message;
}

} // namespace

std::string host_external_file(const std::string &classname) { return classname + ".mxe64"; }

std::vector<std::string> host_folder_list(const char *name)
{
    const wchar_t *value = _wgetenv(wide(name).c_str());
    return split_folders(value ? utf8(value) : "", ';');
}

host_ext_main_fn host_load_module(const std::string &path, void **module, std::string *error)
{
    std::wstring file = wide(host_native_path(path));
    size_t slash = file.find_last_of(L'\\');
    std::wstring package = slash == std::wstring::npos ? L".." : file.substr(0, slash) + L"\\..";
    std::wstring support = package + L"\\support";
    DWORD attributes = GetFileAttributesW(support.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        AddDllDirectory(support.c_str());
    HMODULE handle = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (!handle) {
        *error = last_error_text();
        return nullptr;
    }
    *module = handle;
    host_ext_main_fn entry = (host_ext_main_fn)(void *)GetProcAddress(handle, "ext_main");
    if (!entry)
        *error = "no ext_main";
    return entry;
}

bool host_is_file(const std::string &path)
{
    DWORD attributes = GetFileAttributesW(wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string host_folder(const std::string &path)
{
    wchar_t full[32768];
    DWORD length = GetFullPathNameW(wide(path).c_str(), 32768, full, nullptr);
    DWORD attributes = length > 0 && length < 32768 ? GetFileAttributesW(full) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return "";
    std::string folder = utf8(full);
    for (char &c : folder)
        if (c == '\\')
            c = '/';
    if (folder.size() > 3 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

bool host_is_absolute(const char *path)
{
    return path[0] == '/' || path[0] == '\\' || (isalpha((unsigned char)path[0]) && path[1] == ':');
}

FILE *host_fopen(const std::string &path, const char *mode)
{
    return _wfopen(wide(path).c_str(), wide(mode).c_str());
}

std::string host_rename(const std::string &from, const std::string &to)
{
    if (MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING))
        return "";
    return last_error_text();
}

int host_remove(const std::string &path) { return _wremove(wide(path).c_str()); }

std::string host_native_path(const std::string &path)
{
    std::string native = path;
    for (char &c : native)
        if (c == '/')
            c = '\\';
    return native;
}

void host_program_start(int *argc, char ***argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    int count = 0;
    wchar_t **words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!words)
        return;
    // Kept for the whole run, as the C runtime's own argv is.
    static std::vector<std::string> texts;
    static std::vector<char *> pointers;
    for (int i = 0; i < count; i++)
        texts.push_back(utf8(words[i]));
    LocalFree(words);
    for (std::string &text : texts)
        pointers.push_back(&text[0]);
    pointers.push_back(nullptr);
    *argc = count;
    *argv = pointers.data();
}

bool host_stderr_is_terminal() { return _isatty(_fileno(stderr)) != 0; }

#else

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef VORLO_PROCESSOR
#if defined(__x86_64__)
#define VORLO_PROCESSOR "x86_64"
#elif defined(__aarch64__)
#define VORLO_PROCESSOR "aarch64"
#else
#error "name this processor as CMAKE_SYSTEM_PROCESSOR does"
#endif
#endif

std::string host_external_file(const std::string &classname) { return classname + ".mxl_" VORLO_PROCESSOR; }

std::vector<std::string> host_folder_list(const char *name)
{
    const char *value = getenv(name);
    return split_folders(value ? value : "", ':');
}

host_ext_main_fn host_load_module(const std::string &path, void **module, std::string *error)
{
    *module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!*module) {
        *error = dlerror();
        return nullptr;
    }
    host_ext_main_fn entry = (host_ext_main_fn)dlsym(*module, "ext_main");
    if (!entry)
        *error = "no ext_main";
    return entry;
}

bool host_is_file(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string host_folder(const std::string &path)
{
    char resolved[PATH_MAX];
    struct stat st;
    if (!realpath(path.c_str(), resolved) || stat(resolved, &st) != 0 || !S_ISDIR(st.st_mode))
        return "";
    return resolved;
}

bool host_is_absolute(const char *path) { return path[0] == '/'; }

FILE *host_fopen(const std::string &path, const char *mode) { return fopen(path.c_str(), mode); }

std::string host_rename(const std::string &from, const std::string &to)
{
    return rename(from.c_str(), to.c_str()) == 0 ? "" : strerror(errno);
}

int host_remove(const std::string &path) { return remove(path.c_str()); }

std::string host_native_path(const std::string &path) { return path; }

void host_program_start(int *, char ***) {}

bool host_stderr_is_terminal() { return isatty(STDERR_FILENO) != 0; }

#endif

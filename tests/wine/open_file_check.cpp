// Run under Wine by wine_loads: how the Windows external names and opens the file a load
// reads. Wine opens names of any length, so a load alone cannot show that a long one would
// open on Windows; the name handed to the system is checked here instead. Prints each
// failure and exits with 1 after any.
//   open_file_check.exe FOLDER    (FOLDER: an empty folder to work in, as Z:/...)
#include "open_file.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int failures = 0;

void fail(const std::string &what)
{
    printf("FAILED: %s\n", what.c_str());
    failures++;
}

std::wstring wide(const std::string &utf8)
{
    std::wstring out(utf8.size() + 1, L'\0');
    out.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &out[0], (int)out.size()) - 1);
    return out;
}

std::string narrow(const wchar_t *text)
{
    std::string out(wcslen(text) * 4 + 1, '\0');
    out.resize(WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], (int)out.size(), nullptr, nullptr) - 1);
    return out;
}

// What the name of a full path must be: \\?\ and the path with backslashes.
std::string long_form(const std::string &path)
{
    std::string out = "\\\\?\\" + path;
    for (char &ch : out)
        ch = ch == '/' ? '\\' : ch;
    return out;
}

struct NameCase {
    const char *path;
    const char *name;  // nullptr: no name
};

void check_names(const std::string &longFolder)
{
    const NameCase cases[] = {
        {"Z:/tmp/a.flac", "\\\\?\\Z:\\tmp\\a.flac"},
        {"Z:\\tmp\\x\\..\\a b.flac", "\\\\?\\Z:\\tmp\\a b.flac"},
        {"//server/share/a.flac", "\\\\?\\UNC\\server\\share\\a.flac"},
        {"\\\\?\\Z:\\tmp\\a.flac", "\\\\?\\Z:\\tmp\\a.flac"},
        {"NUL", "\\\\.\\NUL"},
        {"Z:/tmp/Ordner \xc3\xa9 \xe9\x9f\xb3/a.flac", "\\\\?\\Z:\\tmp\\Ordner \xc3\xa9 \xe9\x9f\xb3\\a.flac"},
        {"Z:/tmp/\xff.flac", nullptr},
    };
    for (const NameCase &c : cases) {
        wchar_t *name = vorlo_systemName(c.path);
        std::string got = name ? narrow(name) : "(none)";
        if (got != (c.name ? c.name : "(none)"))
            fail(std::string("the name of ") + c.path + " is " + got);
        free(name);
    }
    wchar_t *name = vorlo_systemName((longFolder + "/a.flac").c_str());
    std::string expected = long_form(longFolder + "/a.flac");
    if (!name || narrow(name) != expected)
        fail("the name of a path of " + std::to_string(longFolder.size()) + " characters is " +
             (name ? narrow(name) : "(none)"));
    free(name);
}

bool write_file(const std::string &path, const char *text)
{
    FILE *file = _wfopen(wide(long_form(path)).c_str(), L"wb");
    bool written = file && fputs(text, file) >= 0;
    return file && fclose(file) == 0 && written;
}

std::string read_all(t_vorlo_file *file)
{
    char text[64] = {};
    int count = vorlo_readFileAt(file, 0, (uint8_t *)text, sizeof text - 1);
    return count >= 0 ? std::string(text, count) : "(error)";
}

// A file is saved anew while a load holds it open, as editors save on Windows: the old file is
// renamed aside, the new one takes its name, the old one is deleted. Each step succeeds, and
// the load goes on reading what it opened; in a folder of a path of more than 260
// characters too.
void check_sharing(const std::string &folder)
{
    std::string path = folder + "/\xc3\xa9 shared.flac", aside = folder + "/aside.flac", other = folder + "/other.flac";
    if (!write_file(path, "first") || !write_file(other, "second"))
        return fail("could not write the files in " + folder);
    t_vorlo_file *file = nullptr;
    if (vorlo_openFile(path.c_str(), &file) != 0)
        return fail("could not open " + path);
    if (!MoveFileExW(wide(long_form(path)).c_str(), wide(long_form(aside)).c_str(), 0))
        fail("the open file could not be renamed: error " + std::to_string(GetLastError()));
    if (!MoveFileExW(wide(long_form(other)).c_str(), wide(long_form(path)).c_str(), 0))
        fail("another file could not take its name: error " + std::to_string(GetLastError()));
    if (!DeleteFileW(wide(long_form(aside)).c_str()))
        fail("the open file could not be deleted: error " + std::to_string(GetLastError()));
    if (vorlo_fileSize(file) != 5 || read_all(file) != "first")
        fail("the open file reads " + read_all(file));
    vorlo_closeFile(&file);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: open_file_check.exe FOLDER\n");
        return 2;
    }
    std::string folder = argv[1];
    std::string longFolder = folder;
    while (longFolder.size() < 300) {
        longFolder += "/a folder with a long name of forty chars";
        CreateDirectoryW(wide(long_form(longFolder)).c_str(), nullptr);
    }
    check_names(longFolder);
    check_sharing(folder);
    check_sharing(longFolder);
    printf("%d failures\n", failures);
    return failures ? 1 : 0;
}

// vorlo-host: plays the part of a patcher for externals, from a script or for one load.
#include "headless_host.h"
#include "host_platform.h"
#include "load_command.h"

#include <cstdio>
#include <cstring>
#include <sstream>
#include <iostream>
#include <string>

namespace {

const char *const usage =
    "usage: vorlo-host [SCRIPT | -]\n"
    "       vorlo-host load [@ATTR VALUE...] FILE [-o OUT.wav] [--timeout SECONDS] [MESSAGE WORDS...]\n"
    "\n"
    "Runs SCRIPT (or the standard input) line by line:\n"
    "  buffer~ NAME [FRAMES [CHANNELS [RATE]]]   make or size a buffer~\n"
    "  fill NAME ramp | fill NAME value V          fill it (ramp: frame * 0.001 + channel)\n"
    "  refuse NAME SAMPLES                         it refuses sizes of more samples from now on\n"
    "  refuseclaims NAME SECONDS                   it refuses claims on its samples for SECONDS\n"
    "  dict NAME [KEY VALUE]...                    make and register a dictionary\n"
    "  new ID CLASS [ARGS...]                      make an instance as a box would\n"
    "  ID SELECTOR [ARGS...]                       send it a message\n"
    "  wait [SECONDS]                              pump until loads have finished (default 60)\n"
    "  idle MS                                     pump the main thread for MS milliseconds\n"
    "  hold MS                                     sleep the main thread for MS milliseconds\n"
    "                                              without running what is queued for it\n"
    "  stall PATH SECONDS                          every read of file PATH waits until SECONDS\n"
    "                                              have passed (0 ends it; not on Windows)\n"
    "  write NAME PATH                             write a buffer~ as a 32-bit float WAV file\n"
    "  print NAME                                  print NAME FRAMES CHANNELS RATE\n"
    "  dump NAME [PATH]                            a dictionary as JSON\n"
    "  get ID ATTR                                 print an attribute's value\n"
    "  free ID                                     free an instance\n"
    "  delete NAME                                 free a buffer~ as closing its patcher does\n"
    "  scheduler LINE...                           run a message, buffer~, fill or delete line on\n"
    "                                              the second thread, without waiting for it\n"
    "  searchpath DIR                              add DIR to the search path, where a file name\n"
    "                                              that is not absolute is looked for\n"
    "  on ID OUTLET LINE...                        a patch cord: each time the outlet fires, run\n"
    "                                              LINE inside the outlet call (not wait or idle)\n"
    "  on ID OUTLET                                remove the cords of that outlet\n"
    "  once ID OUTLET LINE...                      a cord that goes after it has fired once\n"
    "Outlets go to the standard output, the console to the standard error. Cords that\n"
    "fire while a cord's line runs are followed, up to a chain of 64.\n"
    "Exit status: 0 at the end, 1 at the end when a wait timed out on the way, 2 when a line\n"
    "(a cord's too) cannot be run or a chain of cords runs deeper than 64.\n"
    "\n"
    "load makes buffer~ snd and instance v of vorlo~ on it (the @ATTR VALUE words are its box\n"
    "arguments: @resample 7, @stream_nb 1, @debug 1), sends \"MESSAGE FILE WORDS...\" (\"replace\n"
    "FILE\" when no MESSAGE is given) and waits for the load's end, however long it takes, or\n"
    "for SECONDS. Only after the done bang does it write the buffer~ to OUT.wav (by default\n"
    "FILE's name without its extension followed by \".vorlo.wav\", in the current folder) and\n"
    "print \"snd FRAMES CHANNELS RATE\"; after an error bang, a refusal or a time-out it writes\n"
    "nothing. An info request writes nothing. One summary line on the standard error gives\n"
    "the size, the duration, the load's time and its speed; a load of more than a second\n"
    "shows its time on a terminal while it runs. -o and --timeout may also come after the\n"
    "message's words; --help anywhere prints this and nothing else. Its search path is the\n"
    "folders of VORLO_SEARCH_PATH (separated by colons; on Windows by semicolons).\n"
    "Exit status: 0 after the done bang (for info: after the file-properties list), 1 after\n"
    "an error bang, a refusal or a time-out, 2 for a usage error.\n"
    "\n"
    "Externals are found as CLASS.mxl_<processor> (on Windows CLASS.mxe64) in the folders of\n"
    "VORLO_PATH (separated by colons; on Windows by semicolons), then in " VORLO_EXTERNALS_DIR ".\n";

int run_script(std::istream &in, const std::string &name)
{
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        number++;
        if (host_run_line(line) != 0) {
            fprintf(stderr, "vorlo-host: %s: stopped at line %d\n", name.c_str(), number);
            host_free_all();
            return 2;
        }
    }
    host_free_all();
    return host_take_timeout() ? 1 : 0;
}

// The whole script file, read through the host so that a UTF-8 name opens on Windows too.
bool read_file(const std::string &path, std::string *text)
{
    FILE *f = host_fopen(path, "rb");
    if (!f)
        return false;
    char chunk[1 << 16];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
        text->append(chunk, n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    host_program_start(&argc, &argv);
    host_init();
    host_set_externals_dir(VORLO_EXTERNALS_DIR);
    for (int i = 1; i < argc; i++)
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            fputs(usage, stdout);
            return 0;
        }
    if (argc > 1 && strcmp(argv[1], "load") == 0)
        return load_command(argc - 2, argv + 2, usage);
    if (argc > 2) {
        fputs(usage, stderr);
        return 2;
    }
    if (argc < 2 || strcmp(argv[1], "-") == 0)
        return run_script(std::cin, "-");
    std::string text;
    if (!read_file(argv[1], &text)) {
        fprintf(stderr, "vorlo-host: cannot read %s\n", argv[1]);
        return 2;
    }
    std::istringstream in(text);
    return run_script(in, argv[1]);
}

// vorlo-host: plays the part of a patcher for externals, from a script or for one load.
#include "headless_host.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char *const usage =
    "usage: vorlo-host [SCRIPT | -]\n"
    "       vorlo-host load FILE [-o OUT.wav] [SELECTOR [ARGS...]]\n"
    "\n"
    "Runs SCRIPT (or the standard input) line by line:\n"
    "  buffer~ NAME [FRAMES [CHANNELS [RATE]]]   make or size a buffer~\n"
    "  fill NAME ramp | fill NAME value V          fill it (ramp: frame * 0.001 + channel)\n"
    "  dict NAME [KEY VALUE]...                    make and register a dictionary\n"
    "  new ID CLASS [ARGS...]                      make an instance as a box would\n"
    "  ID SELECTOR [ARGS...]                       send it a message\n"
    "  wait [SECONDS]                              pump until loads have finished (default 60)\n"
    "  idle MS                                     pump the main thread for MS milliseconds\n"
    "  write NAME PATH                             write a buffer~ as a 32-bit float WAV file\n"
    "  print NAME                                  print NAME FRAMES CHANNELS RATE\n"
    "  dump NAME [PATH]                            a dictionary as JSON\n"
    "  get ID ATTR                                 print an attribute's value\n"
    "  free ID                                     free an instance\n"
    "  on ID OUTLET LINE...                        a patch cord: each time the outlet fires, run\n"
    "                                              LINE inside the outlet call (not wait or idle)\n"
    "  on ID OUTLET                                remove the cords of that outlet\n"
    "  once ID OUTLET LINE...                      a cord that goes after it has fired once\n"
    "Outlets go to the standard output, the console to the standard error. Cords that\n"
    "fire while a cord's line runs are followed, up to a chain of 64.\n"
    "\n"
    "load makes buffer~ snd and instance v of vorlo~ on it, sends \"SELECTOR FILE ARGS...\"\n"
    "(\"replace FILE\" when no SELECTOR is given), waits, prints \"snd FRAMES CHANNELS RATE\"\n"
    "and writes the buffer~ to OUT.wav; by default to FILE's name without its extension\n"
    "followed by \".vorlo.wav\", in the current folder. An info request writes nothing.\n"
    "\n"
    "Externals are found as CLASS.mxl_<processor> in the folders of VORLO_PATH (separated by\n"
    "colons), then in " VORLO_EXTERNALS_DIR ".\n"
    "Exit status: 0 at the end, 1 when a load timed out, 2 when a line (a cord's too) cannot\n"
    "be run or a chain of cords runs deeper than 64.\n";

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
    return 0;
}

std::string default_output(const std::string &file)
{
    size_t slash = file.find_last_of('/');
    std::string base = slash == std::string::npos ? file : file.substr(slash + 1);
    size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        base.erase(dot);
    return base + ".vorlo.wav";
}

int run_load(int argc, char **argv)
{
    if (argc < 3) {
        fputs(usage, stderr);
        return 2;
    }
    std::string file = argv[2];
    std::string out = default_output(file);
    int next = 3;
    if (next + 1 < argc && strcmp(argv[next], "-o") == 0) {
        out = argv[next + 1];
        next += 2;
    }
    std::vector<t_atom> message(2);
    atom_setsym(&message[0], gensym(next < argc ? argv[next++] : "replace"));
    atom_setsym(&message[1], gensym(file.c_str()));
    for (; next < argc; next++) {
        std::vector<t_atom> word = host_parse_atoms(argv[next]);
        if (word.size() != 1) {
            word.resize(1);
            atom_setsym(&word[0], gensym(argv[next]));
        }
        message.push_back(word[0]);
    }

    host_buffer("snd", 0, 1, 44100.0);
    t_object *x = host_new("v", "vorlo~", host_parse_atoms("snd"));
    if (!x)
        return 2;
    host_send(x, message);
    bool finished = host_wait(60);
    if (!finished)
        puts("timeout");
    host_run_line("print snd");
    int status = finished ? 0 : 1;
    if (message[0].a_w.w_sym != gensym("info")) {
        std::string error;
        if (!host_write_wav("snd", out, &error)) {
            fprintf(stderr, "vorlo-host: %s\n", error.c_str());
            status = 2;
        }
    }
    host_free_all();
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    host_init();
    host_set_externals_dir(VORLO_EXTERNALS_DIR);
    if (argc > 1 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        fputs(usage, stdout);
        return 0;
    }
    if (argc > 1 && strcmp(argv[1], "load") == 0)
        return run_load(argc, argv);
    if (argc > 2) {
        fputs(usage, stderr);
        return 2;
    }
    if (argc < 2 || strcmp(argv[1], "-") == 0)
        return run_script(std::cin, "-");
    std::ifstream in(argv[1]);
    if (!in) {
        fprintf(stderr, "vorlo-host: cannot read %s\n", argv[1]);
        return 2;
    }
    return run_script(in, argv[1]);
}

// A thousand loads in one process: the resident memory after load 10 and after the last
// must be the same, give or take the allocator's pages. The loads alternate between
// codecs, requests and resampling, so that every path of the loader runs again and again.
//   soak_bench FILE... [-n LOADS]       (files made by bench/soak_bench.sh)
#include "ext.h"
#include "headless_host.h"

extern "C" {
#include <libavutil/log.h>
}

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

long resident_kib()
{
    FILE *f = fopen("/proc/self/statm", "r");
    long pages = 0, resident = 0;
    if (!f || fscanf(f, "%ld %ld", &pages, &resident) != 2)
        abort();
    fclose(f);
    return resident * 4;
}

const char *const kRequests[] = {"replace %s", "replace %s 0.5 sec", "importreplace %s 0.2 sec 0.5 sec",
                                 "import %s 0 sec 0.3 sec 0.1 sec", "info %s", "replace %s 0 sec 0 sec s_mono 0"};

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> files;
    long loads = 1000;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "-n") == 0 && i + 1 < argc)
            loads = atol(argv[++i]);
        else
            files.push_back(argv[i]);
    }
    if (files.empty()) {
        fprintf(stderr, "usage: soak_bench FILE... [-n LOADS]\n");
        return 2;
    }
    av_log_set_level(AV_LOG_QUIET);
    host_init();
    host_capture(true);
    ext_main(nullptr);
    host_buffer("soak", 44100, 2, 44100);
    host_run_line("new v vorlo~ soak");
    long atTen = 0, bangs = 0;
    char line[4096];
    for (long n = 1; n <= loads; n++) {
        const char *request = kRequests[n % (sizeof kRequests / sizeof *kRequests)];
        snprintf(line, sizeof line, request, files[n % files.size()].c_str());
        host_run_line("v resample " + std::to_string(n % 3 == 0 ? 7 : 0));
        host_run_line(std::string("v ") + line);
        if (!host_wait(120)) {
            fprintf(stderr, "load %ld did not end: %s\n", n, line);
            return 1;
        }
        for (const std::string &l : host_take_outlets())
            bangs += l == "v 1: bang" || l == "v 2: bang";
        host_take_console();
        if (n == 10)
            atTen = resident_kib();
    }
    long atEnd = resident_kib();
    host_free_all();
    printf("%ld loads (%ld bangs): resident %ld KiB after load 10, %ld KiB after load %ld (%+ld KiB); "
           "host objects alive after free: %ld\n",
           loads, bangs, atTen, atEnd, loads, atEnd - atTen, host_alive_count());
    return host_alive_count() == 0 ? 0 : 1;
}

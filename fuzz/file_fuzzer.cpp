// The file fuzzer: each input is a file for vorlo~ to load, in the headless host in this
// process. Its first eight bytes choose the request (replace, importreplace, info or
// import), positions and units, a channel option, the resample attribute and the target
// buffer's shape; the rest is the file. Every load must end within a bound with exactly
// one done or error bang (no done bang for info, nothing for a refused request), and the
// instance must release everything it made. The host itself aborts on a broken rule.
#include "ext.h"
#include "headless_host.h"
#include "object_record.h"

extern "C" {
#include <libavutil/log.h>
}

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

// Seconds a load of a small input may take, sanitizers and all.
const double kLoadBound = 10;
const size_t kOptionBytes = 8;

enum { KIND_REPLACE, KIND_IMPORTREPLACE, KIND_INFO, KIND_IMPORT };

struct Options {
    const uint8_t *b;
    int kind() const { return b[0] % 4; }
    int resample() const { return b[1] % 14; }
    long frames() const { return 1 + (b[7] & 0x0F) * 997; }
    long channels() const { return 1 + ((b[7] >> 4) & 3); }
};

void fail(const std::string &what, const std::vector<std::string> &outlets)
{
    fprintf(stderr, "file fuzzer: %s\n", what.c_str());
    for (const std::string &l : outlets)
        fprintf(stderr, "  %s\n", l.c_str());
    for (const std::string &l : host_take_console())
        fprintf(stderr, "  %s\n", l.c_str());
    abort();
}

// A position and its unit from one byte each: up to 2.55 s, 2550 ms or 100 percent.
std::string position(uint8_t value, int unit, bool bufpct)
{
    static const char *const units[] = {"sec", "ms", "pct", "bufpct"};
    unit %= bufpct ? 4 : 3;
    double amount = unit == 0 ? value / 100.0 : unit == 1 ? value * 10.0 : value / 2.55;
    return std::to_string(amount) + " " + units[unit];
}

std::string channel_option(const Options &o)
{
    static const char *const words[] = {"mono", "2chan", "s_mono", "s_stereo"};
    int choice = o.b[2] % 8;
    int track = o.b[3] % 4;
    if (choice < 4)
        return std::string(" ") + words[choice] + " " + std::to_string(track);
    if (choice == 4) {
        std::string route = " route";
        for (int i = 0; i < 1 + track; i++)
            route += " " + std::to_string((o.b[3] >> i) & 3) + " " + std::to_string((o.b[2] >> (i + 3)) & 3);
        return route;
    }
    return "";
}

std::string request(const Options &o, const std::string &path)
{
    static const char *const kinds[] = {"replace", "importreplace", "info", "import"};
    std::string line = std::string("f ") + kinds[o.kind()] + " " + path;
    if (o.kind() == KIND_INFO)
        return line;
    line += " " + position(o.b[4], o.b[5] & 3, false) + " " + position(o.b[6], (o.b[5] >> 2) & 3, true);
    if (o.kind() == KIND_IMPORT)
        line += " " + position(o.b[4] / 2, (o.b[5] >> 4) & 1, false);
    return line + channel_option(o);
}

long count(const std::vector<std::string> &lines, const std::string &line)
{
    long n = 0;
    for (const std::string &l : lines)
        n += l == line;
    return n;
}

void start_host()
{
    av_log_set_level(AV_LOG_QUIET);
    host_init();
    host_capture(true);
    ext_main(nullptr);
    host_take_console();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static bool started = (start_host(), true);
    static const std::string path = "/tmp/vorlo-file-fuzzer-" + std::to_string(getpid());
    (void)started;
    if (size < kOptionBytes)
        return 0;
    Options o = {data};
    FILE *file = fopen(path.c_str(), "wb");
    if (!file || fwrite(data + kOptionBytes, 1, size - kOptionBytes, file) != size - kOptionBytes)
        abort();
    fclose(file);

    host_buffer("fz", o.frames(), o.channels(), 44100);
    if (host_run_line("new f vorlo~ fz @resample " + std::to_string(o.resample())) != 0)
        fail("cannot make the instance", {});
    std::string line = request(o, path);
    host_run_line(line);
    bool loading = ((t_vorlo *)host_instance("f"))->loader_thread != nullptr;
    bool ended = host_wait(kLoadBound);
    std::vector<std::string> outlets = host_take_outlets();
    if (!ended)
        fail("the load did not end within the bound: " + line, outlets);
    long done = count(outlets, "f 1: bang"), errors = count(outlets, "f 2: bang");
    if (!loading && done + errors != 0)
        fail("a refused request banged: " + line, outlets);
    if (loading && o.kind() == KIND_INFO && (done != 0 || errors > 1))
        fail("info ended with a done bang or more than one error bang: " + line, outlets);
    if (loading && o.kind() != KIND_INFO && done + errors != 1)
        fail("the load did not end with exactly one bang: " + line, outlets);
    host_run_line("free f");
    if (host_alive_count() != 0)
        fail("the instance left host objects alive: " + line, outlets);
    host_take_console();
    return 0;
}

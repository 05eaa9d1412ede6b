#include "message_storm.h"

#include "ext.h"
#include "headless_host.h"

#include <math.h>

#include <string>
#include <vector>

extern "C" void ext_main(void *r);

namespace {

const int kInstances = 3;
// Seconds that the loads of one storm may take to end after its last message.
const double kEndBound = 60;

struct Bytes {
    const uint8_t *p;
    size_t size, at;
    bool more() const { return at < size; }
    uint8_t next() { return at < size ? p[at++] : 0; }
    uint8_t below(int n) { return (uint8_t)(next() % n); }
};

std::string id(int i)
{
    return "m" + std::to_string(i);
}

const char *const kBuffers[] = {"sa", "sb", "sc", "nobuffer", ""};
const char *const kWords[] = {"sec",  "ms",    "pct",      "bufpct", "samples", "mono", "2chan", "s_mono",
                              "s_stereo", "route", "buffer=sa", "buffer=nobuffer", "dict=da", "dict=nodict", "", "@"};
const char *const kAttributes[] = {"resample",    "metadatadict", "debug",   "stream_nb",   "import_mix",
                                   "import_gain", "fadein",       "fadein_exp", "fadeout", "fadeout_exp"};
const char *const kLoads[] = {"replace", "importreplace", "import", "info"};
const char *const kOthers[] = {"set", "break", "assist", "dblclick", "int", "float", "list", "bang", "nosuchmessage"};

t_atom long_atom(t_atom_long v)
{
    t_atom a;
    atom_setlong(&a, v);
    return a;
}

t_atom float_atom(double v)
{
    t_atom a;
    atom_setfloat(&a, v);
    return a;
}

t_atom sym_atom(const std::string &s)
{
    t_atom a;
    atom_setsym(&a, gensym(s.c_str()));
    return a;
}

// One argument of any type, often at an extreme.
t_atom random_atom(Bytes *b, const StormFiles &files)
{
    static const t_atom_long longs[] = {0, 1, -1, 2, 7, 13, 14, 127, 128, 255, 100000, INT32_MAX, INT64_MAX, INT64_MIN};
    static const double floats[] = {0.0, -0.0, 0.5, -1.5, 100.0, 1e300, -1e300, 1e-300, INFINITY, -INFINITY, NAN};
    switch (b->below(6)) {
    case 0: return long_atom(longs[b->below(sizeof longs / sizeof *longs)]);
    case 1: return long_atom((int8_t)b->next());
    case 2: return float_atom(floats[b->below(sizeof floats / sizeof *floats)]);
    case 3: return float_atom(b->next() / 10.0);
    case 4: return sym_atom(kWords[b->below(sizeof kWords / sizeof *kWords)]);
    default: {
        int which = b->below(5);
        return which == 0 ? sym_atom(files.wav)
               : which == 1 ? sym_atom(files.flac)
               : which == 2 ? sym_atom(std::string(3000, 'x'))
               : which == 3 ? sym_atom("/no/such/file.wav")
                            : sym_atom(kBuffers[b->below(5)]);
    }
    }
}

// A number of any size, NaN and infinities among them, often a small one.
t_atom number_atom(Bytes *b, const StormFiles &files)
{
    if (b->below(3))
        return float_atom(b->next() / 50.0);
    t_atom a = random_atom(b, files);
    return a.a_type == A_SYM ? long_atom(0) : a;
}

// Positions with units, well formed (the numbers may be anything), then perhaps a channel
// option and its channel.
void add_positions(Bytes *b, const StormFiles &files, bool import, std::vector<t_atom> *m)
{
    static const char *const units[] = {"sec", "ms", "pct", "bufpct"};
    for (int i = 0, n = import ? 3 : 2; i < n; i++) {
        m->push_back(number_atom(b, files));
        m->push_back(sym_atom(units[b->below(i == 1 ? 4 : 3)]));
    }
    static const char *const options[] = {"mono", "2chan", "s_mono", "s_stereo"};
    if (b->below(2)) {
        m->push_back(sym_atom(options[b->below(4)]));
        m->push_back(number_atom(b, files));
    }
}

// A load message: its source, then well-formed positions, arguments at random, or a route
// of hundreds of numbers.
std::vector<t_atom> load_message(Bytes *b, const StormFiles &files)
{
    int kind = b->below(4);
    std::vector<t_atom> m = {sym_atom(kLoads[kind])};
    static const char *const sources[] = {"buffer=sa", "buffer=sb", "buffer=nobuffer", "dict=da", "dict=nodict", ""};
    int source = b->below(9);
    m.push_back(source < 3 ? sym_atom(source == 0 ? files.wav : source == 1 ? files.flac : "/no/such.flac")
                           : sym_atom(sources[source - 3]));
    switch (b->below(4)) {
    case 0:
        for (int i = 0, n = b->below(12); i < n; i++)
            m.push_back(random_atom(b, files));
        break;
    case 1:
        add_positions(b, files, kind == 2, &m);
        m.resize(kind == 2 ? 8 : 6);
        m.push_back(sym_atom("route"));
        for (int i = 0, n = 100 + b->next() * 2, seed = b->next(); i < n; i++)
            m.push_back(long_atom((seed * 31 + i * 7) % 9 - 1));
        break;
    default:
        add_positions(b, files, kind == 2, &m);
        break;
    }
    return m;
}

std::vector<t_atom> attribute_message(Bytes *b, const StormFiles &files)
{
    std::vector<t_atom> m = {sym_atom(kAttributes[b->below(sizeof kAttributes / sizeof *kAttributes)])};
    for (int i = 0, n = b->below(4); i < n; i++)
        m.push_back(random_atom(b, files));
    return m;
}

std::vector<t_atom> other_message(Bytes *b, const StormFiles &files)
{
    std::vector<t_atom> m = {sym_atom(kOthers[b->below(sizeof kOthers / sizeof *kOthers)])};
    for (int i = 0, n = b->below(4); i < n; i++)
        m.push_back(random_atom(b, files));
    return m;
}

// A patch cord from an outlet of one instance to another (or the same): the line it runs.
std::string cord_line(Bytes *b, const StormFiles &files)
{
    std::string from = id(b->below(kInstances)), to = id(b->below(kInstances));
    std::string outlet = std::to_string(b->below(4));
    static const char *const answers[] = {"break", "set sb", "replace ", "info ", "importreplace buffer=sa 0 sec 0 sec",
                                          "resample 3", "import_gain -6."};
    int answer = b->below(sizeof answers / sizeof *answers);
    std::string line = to + " " + answers[answer];
    if (answer == 2 || answer == 3)
        line += b->below(2) ? files.wav : files.flac;
    return std::string(b->below(2) ? "on " : "once ") + from + " " + outlet + " " + line;
}

bool exists(int i)
{
    return host_instance(id(i)) != nullptr;
}

// Cords may start loads without end (a done bang that starts the next load): they go
// before the storm waits for its loads.
void remove_cords()
{
    for (int i = 0; i < kInstances; i++)
        for (int outlet = 0; outlet < 4 && exists(i); outlet++)
            host_run_line("on " + id(i) + " " + std::to_string(outlet));
}

void start_host()
{
    static bool started = [] {
        host_init();
        host_capture(true);
        ext_main(nullptr);
        return true;
    }();
    (void)started;
}

} // namespace

std::string run_message_storm(const uint8_t *data, size_t size, const StormFiles &files)
{
    start_host();
    host_buffer("sa", 2000, 2, 44100);
    host_buffer("sb", 500, 1, 48000);
    host_dictionary("da", {{"filename", files.wav.substr(files.wav.rfind('/') + 1)},
                           {"filepath", files.wav.substr(0, files.wav.rfind('/'))}});
    Bytes b = {data, size, 0};
    for (int i = 0; i < kInstances; i++)
        if (!exists(i))
            host_run_line("new " + id(i) + " vorlo~ " + kBuffers[i]);
    while (b.more()) {
        int op = b.below(12), i = b.below(kInstances);
        std::vector<t_atom> m;
        switch (op) {
        case 0:
            if (!exists(i))
                host_run_line("new " + id(i) + " vorlo~ " + kBuffers[b.below(5)] +
                              (b.below(2) ? " @resample " + std::to_string(b.below(16)) : ""));
            break;
        case 1:
            if (exists(i))
                host_run_line("free " + id(i));
            break;
        case 2:
            m = load_message(&b, files);
            break;
        case 3:
            // As a metro in Overdrive sends it: on the scheduler thread.
            host_run_line("scheduler " + id(i) + (b.below(2) ? " replace " + files.flac : " importreplace buffer=sa"));
            break;
        case 4: m = attribute_message(&b, files); break;
        case 5: m = other_message(&b, files); break;
        case 6:
            if (b.below(2))
                host_run_line("scheduler " + id(i) + " break");
            else
                m = {sym_atom("break")};
            break;
        case 7:
            if (b.below(4) == 0)
                host_buffer_delete(kBuffers[b.below(3)]);
            else
                host_buffer(kBuffers[b.below(3)], b.next() * 40, 1 + b.below(4), 8000 + b.next() * 1000);
            break;
        case 8: host_idle(b.below(4)); break;
        case 9: host_run_line(cord_line(&b, files)); break;
        case 10: host_dictionary("da", {{"filename", b.below(2) ? "nofile.wav" : ""}, {"filepath", "/"}}); break;
        default:
            remove_cords();
            if (!host_wait(kEndBound)) {
                host_free_all();
                return "the loads did not end within the bound";
            }
            break;
        }
        if (!m.empty() && exists(i))
            host_send(host_instance(id(i)), m);
        host_take_outlets();
        host_take_console();
    }
    remove_cords();
    bool ended = host_wait(kEndBound);
    host_free_all();
    host_take_console();
    host_take_outlets();
    if (!ended)
        return "the loads did not end within the bound";
    if (host_alive_count() != 0)
        return "freed instances left " + std::to_string(host_alive_count()) + " host objects alive";
    return "";
}

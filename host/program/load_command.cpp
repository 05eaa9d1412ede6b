// vorlo-host load: makes buffer~ snd and instance v of vorlo~ on it, sends one load message,
// waits for its end however long it takes, and writes the buffer~ as a WAV file only after
// the done bang, so that a failed load never touches an existing file.
#include "load_command.h"
#include "headless_host.h"
#include "host_platform.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

typedef std::chrono::steady_clock load_clock;

struct load_options {
    std::vector<std::pair<std::string, std::string>> attributes;   // @ATTR VALUE, in order
    std::string file;
    std::string out;
    double timeout = 0;                                             // 0: none
    std::vector<std::string> message;                               // selector and words
};

// What the outlets and the console said while the load ran.
struct load_outcome {
    bool finished = false;
    bool properties = false;
    bool done = false;
    bool error_bang = false;
    double seconds = 0;   // from the message to the last notification
};

// The pump's slice: how late a progress line and a time-out may be.
const double slice_seconds = 0.1;

bool is_number(const std::string &word)
{
    std::vector<t_atom> atoms = host_parse_atoms(word);
    return atoms.size() == 1 && (atoms[0].a_type == A_LONG || atoms[0].a_type == A_FLOAT);
}

// A word that starts with '-' and is not a number ("-1" is a channel in a route).
bool is_option(const std::string &word)
{
    return word.size() > 1 && word[0] == '-' && !is_number(word);
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

bool parse_timeout(const std::string &word, double *seconds)
{
    char *end = nullptr;
    double value = strtod(word.c_str(), &end);
    if (word.empty() || *end != '\0' || !std::isfinite(value) || value <= 0)
        return false;
    *seconds = value;
    return true;
}

// Reads the words after "load"; returns the empty text, or what is wrong with them.
std::string parse_words(const std::vector<std::string> &words, load_options *o)
{
    for (size_t i = 0; i < words.size(); i++) {
        const std::string &w = words[i];
        bool has_value = i + 1 < words.size();
        if (w == "-o" || w == "--timeout" || (w[0] == '@' && o->file.empty())) {
            if (!has_value)
                return w + " needs a value";
            const std::string &value = words[++i];
            if (w == "-o")
                o->out = value;
            else if (w == "--timeout" && !parse_timeout(value, &o->timeout))
                return "--timeout needs a number of seconds above 0, not " + value;
            else if (w[0] == '@')
                o->attributes.emplace_back(w.substr(1), value);
        } else if (is_option(w)) {
            return "unknown option " + w;
        } else if (w[0] == '@') {
            return "attributes go before FILE: " + w;
        } else if (o->file.empty()) {
            o->file = w;
        } else {
            o->message.push_back(w);
        }
    }
    if (o->file.empty())
        return "no FILE given";
    if (o->out.empty())
        o->out = default_output(o->file);
    if (o->message.empty())
        o->message.push_back("replace");
    return "";
}

t_atom word_atom(const std::string &word)
{
    std::vector<t_atom> atoms = host_parse_atoms(word);
    if (atoms.size() != 1) {
        atoms.resize(1);
        atom_setsym(&atoms[0], gensym(word.c_str()));
    }
    return atoms[0];
}

// The selector, the file, then the message's other words.
std::vector<t_atom> load_message(const load_options &o)
{
    std::vector<t_atom> message(2);
    atom_setsym(&message[0], gensym(o.message[0].c_str()));
    atom_setsym(&message[1], gensym(o.file.c_str()));
    for (size_t i = 1; i < o.message.size(); i++)
        message.push_back(word_atom(o.message[i]));
    return message;
}

std::vector<t_atom> box_arguments(const load_options &o)
{
    std::vector<t_atom> args(1);
    atom_setsym(&args[0], gensym("snd"));
    for (const auto &attribute : o.attributes) {
        t_atom name;
        atom_setsym(&name, gensym(("@" + attribute.first).c_str()));
        args.push_back(name);
        args.push_back(word_atom(attribute.second));
    }
    return args;
}

std::string unknown_attribute(const load_options &o)
{
    std::vector<std::string> known = host_attr_names("vorlo~");
    for (const auto &attribute : o.attributes) {
        bool found = false;
        for (const std::string &name : known)
            found = found || name == attribute.first;
        if (!found)
            return attribute.first;
    }
    return "";
}

bool same_value(const t_atom &given, const std::vector<t_atom> &stored)
{
    if (stored.size() != 1)
        return false;
    if (given.a_type == A_SYM || stored[0].a_type == A_SYM)
        return given.a_type == stored[0].a_type && given.a_w.w_sym == stored[0].a_w.w_sym;
    double a = atom_getfloat(&given), b = atom_getfloat(&stored[0]);
    return std::fabs(a - b) <= 1e-6 * std::fmax(1.0, std::fabs(a));
}

// An attribute may store something else than it was given (a clip, a narrow field):
// "@resample 48000" is not a rate but an index, and is stored as -128.
void warn_changed_attributes(t_object *x, const load_options &o)
{
    for (const auto &attribute : o.attributes) {
        std::vector<t_atom> stored;
        host_attr_value(x, attribute.first.c_str(), &stored);
        if (!same_value(word_atom(attribute.second), stored))
            fprintf(stderr, "vorlo-host: warning: @%s %s is stored as %s\n", attribute.first.c_str(),
                    attribute.second.c_str(), host_format_atoms((long)stored.size(), stored.data()).c_str());
    }
}

double seconds_since(load_clock::time_point start)
{
    return std::chrono::duration<double>(load_clock::now() - start).count();
}

struct progress_line {
    bool shown = false;

    void update(const std::string &file, double elapsed)
    {
        fprintf(stderr, "\rvorlo-host: loading %s: %.1f s", file.c_str(), elapsed);
        fflush(stderr);
        shown = true;
    }
    void clear()
    {
        if (shown)
            fputs("\r\033[K", stderr);
        shown = false;
    }
};

// Passes on what the host kept while it pumped, and notes the load's notifications.
void relay_output(load_outcome *r, progress_line *progress)
{
    std::vector<std::string> console = host_take_console();
    std::vector<std::string> outlets = host_take_outlets();
    if (!console.empty())
        progress->clear();
    for (const std::string &line : console)
        fprintf(stderr, "%s\n", line.c_str());
    for (const std::string &line : outlets) {
        r->properties = r->properties || line.compare(0, 5, "v 0: ") == 0;
        r->done = r->done || line == "v 1: bang";
        r->error_bang = r->error_bang || line == "v 2: bang";
        printf("%s\n", line.c_str());
    }
    fflush(stdout);
    fflush(stderr);
}

load_outcome run_load(t_object *x, const load_options &o)
{
    load_outcome r;
    progress_line progress;
    bool terminal = host_stderr_is_terminal();
    host_capture(true);
    load_clock::time_point start = load_clock::now();
    host_send(x, load_message(o));
    for (;;) {
        r.finished = host_wait(slice_seconds);
        r.seconds = seconds_since(start);
        relay_output(&r, &progress);
        if (r.finished || (o.timeout > 0 && r.seconds >= o.timeout))
            break;
        if (terminal && r.seconds > 1)
            progress.update(o.file, r.seconds);
    }
    progress.clear();
    host_capture(false);
    return r;
}

// Through a file beside OUT.wav, so that a write that fails half-way leaves OUT.wav as it was.
bool write_output(const std::string &out)
{
    std::string part = out + ".part" + std::to_string(getpid());
    std::string error;
    if (host_write_wav("snd", part, &error)) {
        std::string reason = host_rename(part, out);
        if (reason.empty())
            return true;
        error = "cannot rename " + part + " to " + out + ": " + reason;
    }
    host_remove(part);
    fprintf(stderr, "vorlo-host: %s; nothing written\n", error.c_str());
    return false;
}

int report_done(const load_options &o, const load_outcome &r)
{
    long frames = 0, channels = 0;
    double rate = 0;
    host_buffer_read("snd", &frames, &channels, &rate, nullptr);
    t_atom shown_rate;
    atom_setfloat(&shown_rate, rate);
    printf("snd %ld %ld %s\n", frames, channels, host_format_atoms(1, &shown_rate).c_str());
    fflush(stdout);
    bool written = write_output(o.out);
    double duration = rate > 0 ? frames / rate : 0;
    fprintf(stderr, "vorlo-host: %ld frames, %ld channel%s, %g Hz, %.3f s of audio, loaded in %.3f s (%.1fx real time)%s%s\n",
            frames, channels, channels == 1 ? "" : "s", rate, duration, r.seconds, duration / std::fmax(r.seconds, 1e-6),
            written ? "; wrote " : "", written ? o.out.c_str() : "");
    return written ? 0 : 1;
}

int report_outcome(const load_options &o, const load_outcome &r)
{
    bool info = o.message[0] == "info";
    if (r.done && !info)
        return report_done(o, r);
    char seconds[32];
    snprintf(seconds, sizeof seconds, "%.3f s", r.seconds);
    bool listed = info && r.properties && !r.error_bang;
    std::string what;
    if (listed)
        what = std::string("file properties after ") + seconds + "; info writes no WAV file";
    else if (r.error_bang)
        what = std::string("the load failed (error bang) after ") + seconds + "; nothing written";
    else if (!r.finished)
        what = std::string("no end after ") + seconds + ": the load was stopped; nothing written";
    else
        what = std::string("the request was refused (no load ran, ") + seconds + "); nothing written";
    fprintf(stderr, "vorlo-host: %s\n", what.c_str());
    return listed ? 0 : 1;
}

// The usage's first paragraph, the synopsis; --help gives the whole.
int usage_error(const std::string &problem, const char *usage)
{
    std::string synopsis(usage);
    synopsis.erase(synopsis.find("\n\n") + 1);
    fprintf(stderr, "vorlo-host: load: %s\n%s(vorlo-host --help tells more)\n", problem.c_str(), synopsis.c_str());
    return 2;
}

// The folders of VORLO_SEARCH_PATH, in order.
std::string take_search_path()
{
    std::string error;
    for (const std::string &folder : host_folder_list("VORLO_SEARCH_PATH"))
        if (!host_search_path_add(folder, &error))
            return "VORLO_SEARCH_PATH: " + error;
    return "";
}

} // namespace

int load_command(int count, char **words, const char *usage)
{
    load_options o;
    std::string problem = parse_words(std::vector<std::string>(words, words + count), &o);
    if (problem.empty())
        problem = take_search_path();
    if (!problem.empty())
        return usage_error(problem, usage);
    if (host_load_external("vorlo~", VORLO_EXTERNALS_DIR) != 0)
        return 1;
    std::string unknown = unknown_attribute(o);
    if (!unknown.empty())
        return usage_error("vorlo~ has no attribute " + unknown, usage);
    host_buffer("snd", 0, 1, 44100.0);
    t_object *x = host_new("v", "vorlo~", box_arguments(o));
    if (!x)
        return 1;
    warn_changed_attributes(x, o);
    load_outcome r = run_load(x, o);
    // Freeing the instance stops a load that ran out of time before anything is written.
    host_free_all();
    return report_outcome(o, r);
}

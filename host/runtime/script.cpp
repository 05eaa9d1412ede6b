// The script language of vorlo-host: one line, one command, run on the main thread.
#include "host_internal.h"
#include "headless_host.h"
#include "host_platform.h"

#include <cstdio>

namespace {

bool wait_timed_out = false;

struct script_line {
    std::vector<std::string> words;
    std::vector<bool> quoted;

    size_t size() const { return words.size(); }
    t_atom atom(size_t i) const { return host_word_atom(words[i], quoted[i]); }
    std::vector<t_atom> atoms_from(size_t first) const
    {
        std::vector<t_atom> atoms;
        for (size_t i = first; i < words.size(); i++)
            atoms.push_back(atom(i));
        return atoms;
    }
    // The words from `first` on, as a line that splits into the same words again.
    std::string text_from(size_t first) const
    {
        std::string text;
        for (size_t i = first; i < words.size(); i++)
            text += (i > first ? " " : "") + (quoted[i] ? "\"" + words[i] + "\"" : words[i]);
        return text;
    }
};

// A command returns what stops it from running, or the empty text.
typedef std::string (*command_fn)(const script_line &line);

bool number_word(const script_line &line, size_t i, double *value)
{
    t_atom a = line.atom(i);
    if (a.a_type != A_LONG && a.a_type != A_FLOAT)
        return false;
    *value = atom_getfloat(&a);
    return true;
}

bool long_word(const script_line &line, size_t i, long *value)
{
    t_atom a = line.atom(i);
    if (a.a_type != A_LONG)
        return false;
    *value = (long)a.a_w.w_long;
    return true;
}

std::string run_buffer(const script_line &line)
{
    if (line.size() < 2 || line.size() > 5)
        return "usage: buffer~ NAME [FRAMES [CHANNELS [RATE]]]";
    long frames = 0, channels = 1;
    double rate = 44100.0;
    if ((line.size() > 2 && (!long_word(line, 2, &frames) || frames < 0)) ||
        (line.size() > 3 && (!long_word(line, 3, &channels) || channels < 1)) ||
        (line.size() > 4 && (!number_word(line, 4, &rate) || rate <= 0)))
        return "bad size or rate";
    if (!host_buffer(line.words[1], frames, channels, rate))
        return "cannot make a buffer~ of that size";
    return "";
}

std::string run_fill(const script_line &line)
{
    double value = 0;
    std::function<float(long, long)> signal;
    if (line.size() == 3 && line.words[2] == "ramp")
        signal = [](long frame, long channel) { return (float)(frame * 0.001 + channel); };
    else if (line.size() == 4 && line.words[2] == "value" && number_word(line, 3, &value))
        signal = [value](long, long) { return (float)value; };
    else
        return "usage: fill NAME ramp | fill NAME value V";
    if (!host_buffer_fill(line.words[1], signal))
        return "unknown buffer~ " + line.words[1];
    return "";
}

std::string run_refuse(const script_line &line)
{
    double samples = 0;
    if (line.size() != 3 || !number_word(line, 2, &samples) || samples < 0)
        return "usage: refuse NAME SAMPLES";
    if (!host_buffer_refuse(line.words[1], (long long)samples))
        return "unknown buffer~ " + line.words[1];
    return "";
}

std::string run_refuseclaims(const script_line &line)
{
    double seconds = 0;
    if (line.size() != 3 || !number_word(line, 2, &seconds) || seconds < 0)
        return "usage: refuseclaims NAME SECONDS";
    if (!host_buffer_refuse_claims(line.words[1], seconds))
        return "unknown buffer~ " + line.words[1];
    return "";
}

std::string run_dict(const script_line &line)
{
    if (line.size() < 2 || line.size() % 2 != 0)
        return "usage: dict NAME [KEY VALUE]...";
    std::vector<std::pair<std::string, std::string>> entries;
    for (size_t i = 2; i + 1 < line.size(); i += 2)
        entries.emplace_back(line.words[i], line.words[i + 1]);
    host_dictionary(line.words[1], entries);
    return "";
}

std::string run_new(const script_line &line)
{
    if (line.size() < 3)
        return "usage: new ID CLASS [ARGS...]";
    if (!host_new(line.words[1], line.words[2], line.atoms_from(3)))
        return "cannot make " + line.words[1];
    return "";
}

std::string run_wait(const script_line &line)
{
    double seconds = 60;
    if (line.size() > 2 || (line.size() == 2 && !number_word(line, 1, &seconds)))
        return "usage: wait [SECONDS]";
    if (!host_wait(seconds)) {
        host_output_line("timeout");
        wait_timed_out = true;
    }
    return "";
}

// `idle MS` and `hold MS`: the main thread for so long, running its queue or not.
std::string run_for_ms(const script_line &line, void (*spend)(long))
{
    long ms = 0;
    if (line.size() != 2 || !long_word(line, 1, &ms))
        return "usage: " + line.words[0] + " MS";
    spend(ms);
    return "";
}

std::string run_idle(const script_line &line) { return run_for_ms(line, host_idle); }
std::string run_hold(const script_line &line) { return run_for_ms(line, host_hold); }

std::string run_stall(const script_line &line)
{
    double seconds = 0;
    if (line.size() != 3 || !number_word(line, 2, &seconds) || seconds < 0)
        return "usage: stall PATH SECONDS";
    std::string error;
    if (!host_stall(line.words[1], seconds, &error))
        return "cannot stall " + line.words[1] + ": " + error;
    return "";
}

std::string run_write(const script_line &line)
{
    if (line.size() != 3)
        return "usage: write NAME PATH";
    std::string error;
    if (!host_write_wav(line.words[1], line.words[2], &error))
        return error;
    return "";
}

std::string run_print(const script_line &line)
{
    if (line.size() != 2)
        return "usage: print NAME";
    long frames, channels;
    double rate;
    if (!host_buffer_read(line.words[1], &frames, &channels, &rate, nullptr))
        return "unknown buffer~ " + line.words[1];
    host_output_line(line.words[1] + " " + std::to_string(frames) + " " + std::to_string(channels) + " " +
                     host_format_float(rate));
    return "";
}

std::string run_dump(const script_line &line)
{
    if (line.size() < 2 || line.size() > 3)
        return "usage: dump NAME [PATH]";
    std::string json;
    if (!host_dictionary_json(line.words[1], &json))
        return "unknown dictionary " + line.words[1];
    if (line.size() == 3) {
        FILE *f = host_fopen(line.words[2], "w");
        if (!f)
            return "cannot open " + line.words[2];
        bool ok = fwrite(json.data(), 1, json.size(), f) == json.size();
        if (fclose(f) != 0 || !ok)
            return "cannot write " + line.words[2];
        return "";
    }
    size_t start = 0;
    while (start < json.size()) {
        size_t end = json.find('\n', start);
        host_output_line(json.substr(start, end - start));
        start = end + 1;
    }
    return "";
}

// An attribute that holds only the no-name symbol shows no value: "v metadatadict".
std::string run_get(const script_line &line)
{
    if (line.size() != 3)
        return "usage: get ID ATTR";
    t_object *x = host_instance(line.words[1]);
    if (!x)
        return "unknown instance " + line.words[1];
    std::vector<t_atom> value;
    if (!host_attr_value(x, line.words[2].c_str(), &value))
        return line.words[1] + " has no attribute " + line.words[2];
    bool nothing = value.empty() || (value.size() == 1 && atom_getsym(&value[0]) == gensym("") &&
                                     value[0].a_type == A_SYM);
    std::string text = nothing ? "" : " " + host_format_atoms((long)value.size(), value.data());
    host_output_line(line.words[1] + " " + line.words[2] + text);
    return "";
}

std::string run_free(const script_line &line)
{
    if (line.size() != 2)
        return "usage: free ID";
    t_object *x = host_instance(line.words[1]);
    if (!x)
        return "unknown instance " + line.words[1];
    // The instance's own code is still running below this line: the outlet call returns into it.
    if (host_cords_firing(x))
        return "cannot free " + line.words[1] + " while its outlet is firing";
    object_free(x);
    return "";
}

std::string run_delete(const script_line &line)
{
    if (line.size() != 2)
        return "usage: delete NAME";
    if (!host_buffer_delete(line.words[1]))
        return "unknown buffer~ " + line.words[1];
    return "";
}

std::string run_searchpath(const script_line &line)
{
    if (line.size() != 2)
        return "usage: searchpath DIR";
    std::string error;
    host_search_path_add(line.words[1], &error);
    return error;
}

std::string run_scheduler(const script_line &line)
{
    if (line.size() < 2)
        return "usage: scheduler LINE...";
    return host_scheduler_line(std::vector<std::string>(line.words.begin() + 1, line.words.end()), line.text_from(1));
}

// A cord's line runs inside an outlet call, where the main thread must not be pumped: the
// outlet may be firing from a queued function, which would then run others inside it.
std::string run_cord(const script_line &line, bool once)
{
    long outlet = 0;
    if (line.size() < (once ? 4u : 3u) || !long_word(line, 2, &outlet))
        return once ? "usage: once ID OUTLET LINE..." : "usage: on ID OUTLET [LINE...]";
    t_object *x = host_instance(line.words[1]);
    if (!x)
        return "unknown instance " + line.words[1];
    if (outlet < 0 || outlet >= host_outlet_count(x))
        return line.words[1] + " has no outlet " + line.words[2];
    if (line.size() == 3) {
        host_cords_remove(x, outlet);
        return "";
    }
    if (line.words[3] == "wait" || line.words[3] == "idle")
        return "a cord cannot run " + line.words[3];
    host_cord_add(x, outlet, line.text_from(3), once);
    return "";
}

std::string run_on(const script_line &line)
{
    return run_cord(line, false);
}

std::string run_once(const script_line &line)
{
    return run_cord(line, true);
}

struct command {
    const char *name;
    command_fn run;
};

const command commands[] = {
    {"buffer~", run_buffer}, {"fill", run_fill},   {"dict", run_dict},   {"new", run_new},
    {"wait", run_wait},      {"idle", run_idle},   {"write", run_write}, {"print", run_print},
    {"dump", run_dump},      {"get", run_get},     {"free", run_free},   {"on", run_on},
    {"once", run_once},      {"delete", run_delete}, {"scheduler", run_scheduler},
    {"searchpath", run_searchpath}, {"hold", run_hold},   {"stall", run_stall},
    {"refuse", run_refuse},          {"refuseclaims", run_refuseclaims},
};

std::string run_message(const script_line &line)
{
    t_object *x = host_instance(line.words[0]);
    if (!x)
        return "unknown command or instance " + line.words[0];
    if (line.size() < 2)
        return "no message for " + line.words[0];
    host_send(x, line.atoms_from(1));
    return "";
}

} // namespace

bool host_script_line(const std::string &text)
{
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos || text[first] == '#')
        return true;
    script_line line;
    line.words = host_split_words(text, &line.quoted);
    std::string error;
    const command *found = nullptr;
    for (const command &c : commands)
        if (line.words[0] == c.name)
            found = &c;
    error = found ? found->run(line) : run_message(line);
    if (error.empty())
        return true;
    std::string shown = text.substr(first);
    while (!shown.empty() && (shown.back() == '\r' || shown.back() == '\n'))
        shown.pop_back();
    host_script_error("cannot run \"" + shown + "\": " + error);
    return false;
}

bool host_take_timeout()
{
    bool timed_out = wait_timed_out;
    wait_timed_out = false;
    return timed_out;
}

// A cord that failed inside this line's outlet calls, or while the main thread was pumped
// since the last line, and an edit sent to the second thread that failed since the last
// line, stop the script as this line's own failure would.
int host_run_line(const std::string &text)
{
    bool ran = host_script_line(text);
    bool cords_stopped = host_cords_take_stop();
    bool scheduler_failed = host_scheduler_take_failure();
    return ran && !cords_stopped && !scheduler_failed ? 0 : 2;
}

// A small class that the host's tests make instances of: one attribute of each offset
// type, each field followed by a guard that must never change, three outlets, a queue
// element, messages that post to the console, defer calls and start a detached thread.
#ifndef HOST_PROBE_H
#define HOST_PROBE_H

#include "ext.h"
#include "ext_obex.h"
#include "ext_dictobj.h"
#include "z_dsp.h"
#include "headless_host.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

enum { PROBE_GUARD = 0x5A };

struct t_probe {
    t_object ob;
    char flag;
    char flag_guard;
    long count;
    long count_guard;
    float level;
    float level_guard;
    t_atom name;
    t_atom custom;
    void *out_left;
    void *out_middle;
    void *out_right;
    t_qelem *qelem;
    t_string *leaked;
};

static t_class *probe_class;

static void probe_say(t_probe *x, t_symbol *s, long argc, t_atom *argv)
{
    (void)s;
    outlet_list(x->out_left, nullptr, (short)argc, argv);
}

static void probe_fire(t_probe *x)
{
    outlet_bang(x->out_right);
    outlet_bang(x->out_middle);
    outlet_bang(x->out_left);
}

static void probe_console(t_probe *x)
{
    object_post(&x->ob, "plain");
    object_warn(&x->ob, "careful");
    object_error(&x->ob, "broken %d", 3);
    post("no object");
    object_error(nullptr, "no object either");
    object_post(&x->ob, "two\nlines\n");
    object_post(&x->ob, "trailing  ");
    object_poststring(&x->ob, 0, 6, (char *)"row: ");
    object_poststring(&x->ob, 0, 6, (char *)"1 ");
    object_poststring(&x->ob, 0, 7, (char *)"2");
}

static void probe_leak(t_probe *x)
{
    x->leaked = string_new("never released");
}

static void probe_later(t_probe *x)
{
    qelem_set(x->qelem);
}

static void probe_qfn(t_probe *x)
{
    outlet_bang(x->out_middle);
}

// A deferred call says its symbol on the left outlet.
static void probe_deferred(t_probe *x, t_symbol *s, short argc, t_atom *argv)
{
    (void)argc;
    (void)argv;
    t_atom said;
    atom_setsym(&said, s);
    outlet_list(x->out_left, nullptr, 1, &said);
}

// "defer WORD...": one deferred call per word, in their order; "defer_low WORD..." the same
// through defer_low.
static void probe_defer(t_probe *x, t_symbol *s, long argc, t_atom *argv)
{
    for (long i = 0; i < argc; i++)
        (s == gensym("defer_low") ? defer_low : defer)(x, (method)probe_deferred, atom_getsym(argv + i), 0, nullptr);
}

// The thread that "detach" starts runs until a test opens the gate.
static std::atomic<int> probe_gate{0};

static void *probe_gated(void *)
{
    while (!probe_gate)
        systhread_sleep(1);
    return nullptr;
}

static void probe_detach(t_probe *x)
{
    (void)x;
    t_systhread thread = nullptr;
    if (systhread_create((method)probe_gated, nullptr, 0, 0, 0, &thread) == 0)
        systhread_detach(thread);
}

static void probe_assist(t_probe *x, void *b, long direction, long index, char *text)
{
    (void)x;
    (void)b;
    snprintf_zero(text, ASSIST_MAX_STRING_LEN, "%s %ld", direction == ASSIST_INLET ? "in" : "out", index);
}

static t_max_err probe_setcustom(t_probe *x, void *attr, long argc, t_atom *argv)
{
    (void)attr;
    atom_setsym(&x->custom, argc && argv ? atom_getsym(argv) : gensym(""));
    return MAX_ERR_NONE;
}

static void *probe_new(t_symbol *s, long argc, t_atom *argv)
{
    (void)s;
    t_probe *x = (t_probe *)object_alloc(probe_class);
    x->out_right = bangout(x);
    x->out_middle = bangout(x);
    x->out_left = listout(x);
    x->qelem = qelem_new(x, (method)probe_qfn);
    x->flag_guard = PROBE_GUARD;
    x->count = -1;
    x->count_guard = PROBE_GUARD;
    x->level = 1.0f;
    x->level_guard = PROBE_GUARD;
    atom_setsym(&x->name, gensym(""));
    atom_setsym(&x->custom, gensym(""));
    attr_args_process(x, (short)argc, argv);
    return x;
}

static void probe_free(t_probe *x)
{
    qelem_free(x->qelem);
}

// Registers the class "probe" once per process.
static void probe_register()
{
    if (probe_class)
        return;
    common_symbols_init();
    t_class *c = class_new("probe", (method)probe_new, (method)probe_free, sizeof(t_probe), 0L, A_GIMME, 0);
    class_addmethod(c, (method)probe_say, "say", A_GIMME, 0);
    class_addmethod(c, (method)probe_fire, "fire", 0);
    class_addmethod(c, (method)probe_console, "console", 0);
    class_addmethod(c, (method)probe_leak, "leak", 0);
    class_addmethod(c, (method)probe_later, "later", 0);
    class_addmethod(c, (method)probe_defer, "defer", A_GIMME, 0);
    class_addmethod(c, (method)probe_defer, "defer_low", A_GIMME, 0);
    class_addmethod(c, (method)probe_detach, "detach", 0);
    class_addmethod(c, (method)probe_assist, "assist", A_CANT, 0);

    CLASS_ATTR_CHAR(c, "flag", 0, t_probe, flag);
    CLASS_ATTR_STYLE_LABEL(c, "flag", 0, "onoff", "Flag it");
    CLASS_ATTR_SAVE(c, "flag", 0);
    CLASS_ATTR_CATEGORY(c, "flag", 0, "Probe");

    CLASS_ATTR_LONG(c, "count", 0, t_probe, count);
    CLASS_ATTR_ENUMINDEX(c, "count", 0, "zero 1->one 2->two");

    CLASS_ATTR_FLOAT(c, "level", 0, t_probe, level);
    CLASS_ATTR_FILTER_MIN(c, "level", 0);

    CLASS_ATTR_ATOM(c, "name", 0, t_probe, name);

    CLASS_ATTR_ATOM(c, "custom", 0, t_probe, custom);
    CLASS_ATTR_ACCESSORS(c, "custom", nullptr, probe_setcustom);

    CLASS_ATTR_ORDER(c, "flag", 0, "2");
    class_register(CLASS_BOX, c);
    probe_class = c;
}

// What a run of script lines printed, and the status of the last line.
struct probe_run {
    int status;
    std::vector<std::string> out;
    std::vector<std::string> console;
};

static probe_run probe_script(const std::vector<std::string> &lines)
{
    probe_register();
    probe_run run{0, {}, {}};
    host_capture(true);
    for (const std::string &line : lines) {
        run.status = host_run_line(line);
        if (run.status != 0)
            break;
    }
    run.out = host_take_outlets();
    run.console = host_take_console();
    host_capture(false);
    return run;
}

#endif

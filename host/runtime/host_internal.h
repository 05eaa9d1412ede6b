// What the runtime's files share among themselves: the host's own structures, the main
// thread, the register of live objects, the output sinks and the rule checks.
#ifndef HOST_INTERNAL_H
#define HOST_INTERNAL_H

#include "ext.h"
#include "ext_buffer.h"
#include "ext_dictobj.h"

#include <pthread.h>
#include <string>
#include <vector>

// The magic number in the header of every live object the host made.
enum { HOST_MAGIC = 1758379419 };

// What a host object is; its class tells.
enum host_kind {
    HOST_INSTANCE,   // made from a class of an external
    HOST_ATTR,
    HOST_BUFFER,
    HOST_BUFFER_REF,
    HOST_STRING,
    HOST_DICTIONARY,
    HOST_QELEM,
    HOST_MUTEX,
    HOST_THREAD
};

struct host_method {
    t_symbol *name;
    method fn;
    std::vector<long> types;
};

struct host_subattr {
    t_symbol *name;
    t_symbol *type;
    std::vector<t_atom> value;
};

struct host_attr {
    t_object ob;
    t_symbol *name;
    t_symbol *type;     // "char", "long", "float32", "atom"
    long flags;
    method get;         // t_max_err get(x, attr, long *argc, t_atom **argv), or null
    method set;         // t_max_err set(x, attr, long argc, t_atom *argv), or null
    long offset;        // of the field in the instance record
    std::vector<host_subattr> subattrs;
    bool clip_min, clip_max;
    double min, max;
};

struct maxclass {
    std::string name;
    host_kind kind;
    method mnew;
    method mfree;
    long size;
    std::vector<long> new_types;
    std::vector<host_method> methods;
    std::vector<host_attr *> attrs;
};

// Methods are kept as `method`; the host calls each with the signature that its
// registration promises.
template <typename F> F host_method_as(method m)
{
    return reinterpret_cast<F>(reinterpret_cast<void (*)(void)>(m));
}

// The class behind each kind of object the host makes itself.
t_class *host_class_of_kind(host_kind kind);
// Fills the header of an object the host made; the object is then live.
void host_object_init(t_object *x, host_kind kind);
// The kind of a live host object; breaks the rule "live host object" for anything else.
host_kind host_object_kind(const void *x, const char *call);
// Checks that x is a live host object of this kind (the rule "live host object").
void host_expect_kind(const void *x, host_kind kind, const char *call);
// Ends an object's life: its header no longer passes the checks.
void host_object_kill(t_object *x);

// Atom helpers.
t_atom_long host_atom_getlong(const t_atom *a);
std::string host_format_atom(const t_atom *a);
std::string host_format_float(double f);
// Words of a line: split at blanks, a word in double quotes may hold blanks.
std::vector<std::string> host_split_words(const std::string &text, std::vector<bool> *quoted);
// A word as a patcher reads it: long, float, or symbol (always a symbol when quoted).
t_atom host_word_atom(const std::string &word, bool quoted);

// The main thread, and the second thread on which script lines sent with `scheduler` run.
bool host_on_main_thread();
bool host_on_scheduler_thread();

// Objects that the host made for instances, counted while alive. The owner is the
// instance that the object was made for: named by the call, or the instance whose code
// runs on the calling thread (its constructor, a message, a queued function, its threads).
void host_alive_add(const void *object, host_kind kind, t_object *owner);
void host_alive_remove(const void *object, host_kind kind);
// The object stays counted, but as no instance's (a detached thread).
void host_alive_disown(const void *object, host_kind kind);
t_object *host_current_owner();
t_object *host_set_current_owner(t_object *owner);   // returns the previous owner
std::vector<host_kind> host_alive_owned_by(const t_object *owner);
const char *host_kind_name(host_kind kind);

// Output: standard output (outlets, print, get, dump) and the console (standard error).
void host_output_line(const std::string &line);
void host_console_text(const char *prefix, const std::string &text);
// Script failures: a console line of the host itself.
void host_script_error(const std::string &text);

// Script lines run from inside the host: a cord's line. False after a message naming the
// line when it cannot be run.
bool host_script_line(const std::string &text);

// Patch cords (main thread only): lines that run when an outlet fires, in the order they
// were made. host_cords_fire runs the cords of one outlet; a line that fails, or a chain
// deeper than the limit, stops the script: no cord runs until host_cords_take_stop.
void host_cord_add(const t_object *owner, long outlet, const std::string &line, bool once);
void host_cords_remove(const t_object *owner, long outlet);
void host_cords_forget(const t_object *owner);
void host_cords_fire(const t_object *owner, long outlet);
bool host_cords_firing(const t_object *x);   // an outlet call of x is running cords
bool host_cords_take_stop();                 // whether the script was stopped; clears it

// Instances: the script's name for an instance (or its class name), and its outlets.
std::string host_instance_label(const t_object *x);
void host_instance_forget(t_object *x);
void host_outlets_forget(t_object *x);
t_class *host_find_box_class(const char *name);
// Runs the class's constructor; what it makes belongs to the new instance.
t_object *host_construct(t_class *c, long argc, t_atom *argv);
t_max_err host_dispatch(t_object *x, t_symbol *s, long argc, t_atom *argv);
bool host_has_method(const t_object *x, const t_symbol *s);
const char *host_externals_dir();

// Attributes.
host_attr *host_find_attr(const t_object *x, t_symbol *name);
bool host_attr_read(t_object *x, host_attr *attr, std::vector<t_atom> *value);
void host_attr_setmethod(host_attr *attr, t_symbol *which, method fn);

// Buffers.
void *host_buffer_message(t_object *buffer, t_symbol *msg, long argc, t_atom *argv);
void host_buffer_check_thread_end();
void host_buffer_ref_free(t_object *ref);

// Strings.
void host_string_free(t_object *x);

// The second thread, on which Max delivers timed messages (Overdrive): script lines run
// there one at a time, in order. Idle when nothing is queued or running there.
// Queues LINE (its words too); what stops it from being sent, or "".
std::string host_scheduler_line(const std::vector<std::string> &words, const std::string &line);
bool host_scheduler_idle();
bool host_scheduler_take_failure();   // an edit sent there could not be run since the last call; clears it
// Sends a message to instance ID unless it has been freed; false when there is none, or no
// message. An instance is freed only between two such messages.
bool host_send_to(const std::string &id, const std::vector<t_atom> &message);
void host_hold_instances();
void host_release_instances();

// Threads.
bool host_threads_running();
// Wakes a pump waiting for work: something was queued or a thread ended.
void host_wake_main();
// Drops the deferred calls queued for an object that is being freed.
void host_queue_forget(const void *obj);

// The host's rules, each checked by one function; a breach prints
// "host rule broken: <rule>: <details>" on the standard error and aborts.
[[noreturn]] void host_rule_broken(const char *rule, const char *fmt, ...);
void host_rule_outlet_on_main_thread(const t_object *owner);
void host_rule_resize_on_main_thread(const char *buffer, const char *what);
void host_rule_resize_not_by_lock_holder(const char *buffer, const char *what, long held);
void host_rule_unlock_matches_lock(const char *buffer, long held);
void host_rule_no_lock_at_thread_end(const char *buffer, long held);
void host_rule_queue_on_main_thread(bool running, const char *what);
void host_rule_instance_objects_released(const t_object *instance);
void host_rule_join_once(bool live);
void host_rule_objects_on_main_thread(const char *call);
void host_rule_release_matches_retain(const char *dictionary, long retains);
void host_rule_notify_defined(const t_object *holder, bool defined);
void host_rule_reference_notified(const t_object *holder, const char *buffer, const char *message, bool told);
void host_rule_no_claim_at_free(const char *buffer, long claims);

#endif

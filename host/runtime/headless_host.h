// The headless host's own interface, beyond the SDK's: what vorlo-host and the tests use
// to play the part of a patcher. The object's code never includes this header.
#ifndef HEADLESS_HOST_H
#define HEADLESS_HOST_H

#include "ext.h"
#include "ext_buffer.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

// Makes the calling thread the host's main thread. Called once, before anything else;
// until then the thread that loaded the host library is the main thread.
void host_init();

// Finds CLASS.mxl_<processor> in VORLO_PATH, then in `fallback_dir`, loads it and calls its
// ext_main once. Returns 0, or -1 with a message on the standard error.
int host_load_external(const char *classname, const char *fallback_dir);
// The folder that `new` searches after VORLO_PATH for a class not registered yet.
void host_set_externals_dir(const char *dir);
// Adds a folder to the end of the search path in which locatefile_extended finds a name
// that is not absolute (main thread only); false with a reason when DIR is no folder.
bool host_search_path_add(const std::string &dir, std::string *error);

// Runs one script line (the language of vorlo-host). Returns 0, or 2 after printing a
// message naming the line when it cannot be run. Patch cords (`on`, `once`) run inside
// outlet calls, also those of a pump outside any line. A cord whose line fails, or a chain
// of cords too deep, stops the script: no cord runs any more, and the line during which it
// happened returns 2 (after a pump outside any line, the next line does).
int host_run_line(const std::string &line);
// Whether a `wait` line timed out since the last call; clears it.
bool host_take_timeout();

// Splits a line into atoms as a patcher does (long, float, symbol; quoted words).
std::vector<t_atom> host_parse_atoms(const std::string &text);
// Atoms as output lines show them: floats with six decimals and trailing zeros dropped
// ("44100.", "0.5"), symbols with blanks in double quotes.
std::string host_format_atoms(long argc, const t_atom *argv);

// The instance that a script line made with `new ID ...`, or null.
t_object *host_instance(const std::string &id);
// Makes instance ID of a class registered in the process (or loaded as an external) as a
// box with these arguments would; null after a message when that cannot be done.
t_object *host_new(const std::string &id, const std::string &classname, const std::vector<t_atom> &args);
// Sends a message as a patcher would: the first atom is the selector; a message that
// starts with a number is "int", "float" or "list".
t_max_err host_send(t_object *x, const std::vector<t_atom> &message);
// Frees every instance that the script made, the most recent first, then waits (pumping the
// main thread, for a minute at most) until every thread started through the host has ended,
// detached ones too, so that nothing of the host's runs when the script or the test ends.
void host_free_all();
// The number of outlets that an instance made.
long host_outlet_count(t_object *x);

// An attribute's current value, through its getter; false when the instance has none.
// A custom getter allocates the atoms with malloc; the host frees them.
bool host_attr_value(t_object *x, const char *attr, std::vector<t_atom> *value);
// A registered class's messages in the order they were added, with the host's type codes
// of their arguments (A_GIMME, A_CANT, ...; none for a message without arguments).
std::vector<std::pair<std::string, std::vector<long>>> host_method_list(const char *classname);
// A registered class's attributes in the order they were added, the sub-attributes of
// one of them in the order they were added, and one sub-attribute's value as text.
std::vector<std::string> host_attr_names(const char *classname);
// The type an attribute was made with ("char", "long", "float32", "atom"), or "".
std::string host_attr_type(const char *classname, const char *attr);
std::vector<std::string> host_attr_subattr_names(const char *classname, const char *attr);
bool host_attr_subattr(const char *classname, const char *attr, const char *subattr, std::string *text);

// Makes buffer~ NAME, or gives an existing one this size and rate (main thread only).
// Its samples start at 0.0.
t_object *host_buffer(const std::string &name, long frames, long channels, double rate);
// Frees buffer~ NAME as closing its patcher would: the holders of references to it are
// notified first; false when there is no such buffer (main thread only).
bool host_buffer_delete(const std::string &name);
// From now on buffer~ NAME refuses to be sized to more than `samples` samples (frames times
// channels), as a buffer~ whose memory cannot be had does: it keeps its size and says so.
// False when there is no such buffer.
bool host_buffer_refuse(const std::string &name, long long samples);
// For `seconds` from now, every buffer_locksamples of buffer~ NAME returns null at once, as
// the real buffer~ refuses claims while it is edited or left invalid; 0 ends it. False when
// there is no such buffer.
bool host_buffer_refuse_claims(const std::string &name, double seconds);
// The buffer~ object called NAME, or null.
t_object *host_buffer_find(const char *name);
// Sets every sample of buffer~ NAME (main thread only); false when there is no such buffer.
bool host_buffer_fill(const std::string &name, const std::function<float(long frame, long channel)> &sample);
// A buffer's size, rate and a copy of its samples; false when there is no such buffer.
bool host_buffer_read(const std::string &name, long *frames, long *channels, double *rate,
                      std::vector<float> *samples);
// Writes buffer~ NAME as a WAV file of 32-bit float samples; false with a reason.
bool host_write_wav(const std::string &name, const std::string &path, std::string *error);

// Makes and registers dictionary NAME holding these string entries (replacing what an
// existing one held), and its entries as JSON, keys in their order.
void host_dictionary(const std::string &name, const std::vector<std::pair<std::string, std::string>> &entries);
bool host_dictionary_json(const std::string &name, std::string *json);

// Pumps the main thread: runs deferred functions and queue elements for `ms` milliseconds.
void host_idle(long ms);
// Pumps until every thread started through the host has finished (detached or not) and
// nothing is queued; false on time-out.
bool host_wait(double seconds);
// Sleeps the main thread for `ms` milliseconds without running its queue: what other threads
// defer or set meanwhile waits for the next pump. A test times a call on the main thread
// with std::chrono around it.
void host_hold(long ms);

// From now until `seconds` have passed, every read of the file at `path` by the process
// (read, pread or readv on a descriptor of it, as FFmpeg's file protocol makes them) waits
// until that time has come, then goes on normally; reads of other files do not wait. The file
// is told by its device and inode. A new stall of the same file replaces the old one, also
// for reads already waiting; 0 s ends it. False with a reason when there is no such file, and
// on Windows, where reads cannot be stalled.
bool host_stall(const std::string &path, double seconds, std::string *error);

// Output lines: outlets ("ID OUTLET: ATOMS") and console ("vorlo~: error: TEXT"). While
// capture is on they are kept for host_take_* instead of going to stdout and stderr.
// Everything the script prints on stdout (outlets, print, get, dump) counts as outlets.
void host_capture(bool on);
std::vector<std::string> host_take_outlets();
std::vector<std::string> host_take_console();

// Host objects alive that were made for instances (buffer references, strings, retained
// dictionaries, queue elements, mutexes, threads); 0 when everything was released.
long host_alive_count();

// The priority last given to a thread that has not been joined yet.
int host_thread_priority(t_systhread thread);

// Messages received by buffer~ NAME ("sr 48000.", "sizeinsamps 100 2"), oldest first.
std::vector<std::string> host_buffer_messages(const std::string &name);
// How often buffer~ NAME was marked dirty, and asked to show its view.
long host_buffer_dirty_marks(const std::string &name);
long host_buffer_view_requests(const std::string &name);

#endif

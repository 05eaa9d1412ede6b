// The headless host's own interface, beyond the SDK's: what vorlo-host and the tests use
// to play the part of a patcher. The object's code never includes this header.
#ifndef HEADLESS_HOST_H
#define HEADLESS_HOST_H

#include "ext.h"
#include "ext_buffer.h"

#include <string>
#include <vector>

// Makes the calling thread the host's main thread. Called once, before anything else.
void host_init();

// Finds CLASS.mxl_<processor> in VORLO_PATH, then in `fallback_dir`, loads it and calls its
// ext_main once. Returns 0, or -1 with a message on the standard error.
int host_load_external(const char *classname, const char *fallback_dir);

// Runs one script line (the language of vorlo-host). Returns 0, or 2 after printing a
// message naming the line when it cannot be run.
int host_run_line(const std::string &line);

// Splits a line into atoms as a patcher does (long, float, symbol; quoted words).
std::vector<t_atom> host_parse_atoms(const std::string &text);

// The instance that a script line made with `new ID ...`, or null.
t_object *host_instance(const std::string &id);

// Makes buffer~ NAME, or gives an existing one this size and rate (main thread only).
t_object *host_buffer(const std::string &name, long frames, long channels, double rate);
// A buffer's size, rate and a copy of its samples; false when there is no such buffer.
bool host_buffer_read(const std::string &name, long *frames, long *channels, double *rate,
                      std::vector<float> *samples);

// Pumps the main thread: runs deferred functions and queue elements for `ms` milliseconds.
void host_idle(long ms);
// Pumps until every thread started through the host has finished and nothing is queued;
// false on time-out.
bool host_wait(double seconds);

// Output lines: outlets ("ID OUTLET: ATOMS") and console ("vorlo~: error: TEXT"). While
// capture is on they are kept for host_take_* instead of going to stdout and stderr.
void host_capture(bool on);
std::vector<std::string> host_take_outlets();
std::vector<std::string> host_take_console();

// Host objects alive that were made for instances (buffer references, strings, retained
// dictionaries, queue elements, mutexes, threads); 0 when everything was released.
long host_alive_count();

// Messages received by buffer~ NAME ("sr 48000.", "sizeinsamps 100 2"), oldest first.
std::vector<std::string> host_buffer_messages(const std::string &name);

#endif

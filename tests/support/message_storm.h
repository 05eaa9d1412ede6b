// A storm of messages at vorlo~ instances in the in-process host, read from bytes: every
// message and attribute with arguments of every type and of extreme values, sources that
// exist and that do not, new instances and frees, breaks, patch cords that answer outlets
// with messages, buffers resized, freed and made again and dictionaries replaced while loads
// run, breaks and loads sent on the scheduler thread. The libFuzzer
// message fuzzer and a seeded test both play it; it uses no test framework.
#ifndef VORLO_MESSAGE_STORM_H
#define VORLO_MESSAGE_STORM_H

#include <stddef.h>
#include <stdint.h>

#include <string>

// Audio files that the storm's messages name.
struct StormFiles {
    std::string wav;
    std::string flac;
};

// Starts the host and registers vorlo~ on the first call (the process must not have done so
// otherwise), plays the storm of `data` on the main thread, then waits for
// every load to end and frees every instance. Returns "" when the invariants held (every
// load ended within a bound, the freed instances left nothing alive), else what broke. A broken host rule aborts the process on the spot.
std::string run_message_storm(const uint8_t *data, size_t size, const StormFiles &files);

#endif

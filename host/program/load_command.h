// vorlo-host load: one file into a buffer~ and out as a WAV file.
#ifndef LOAD_COMMAND_H
#define LOAD_COMMAND_H

// Runs `vorlo-host load WORDS...` (`words` are the arguments after "load", --help no longer
// among them); prints the synopsis of `usage` with a usage error. Returns the exit status.
int load_command(int count, char **words, const char *usage);

#endif

// The message fuzzer: each input is a storm of messages at vorlo~ instances in the headless
// host in this process (tests/support/message_storm.h); the storm's invariants and the
// host's rules must hold through every one.
#include "message_storm.h"

extern "C" {
#include <libavutil/log.h>
}

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

namespace {

// Two short files for the storm's messages to name, made once by the ffmpeg program.
StormFiles make_files()
{
    std::string base = "/tmp/vorlo-message-fuzzer-" + std::to_string(getpid());
    StormFiles files = {base + ".wav", base + ".flac"};
    for (const std::string &path : {files.wav, files.flac}) {
        std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i anoisesrc=d=0.5:r=44100 -ac 2 " + path;
        if (system(command.c_str()) != 0)
            abort();
    }
    av_log_set_level(AV_LOG_QUIET);
    return files;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const StormFiles files = make_files();
    std::string broke = run_message_storm(data, size, files);
    if (!broke.empty()) {
        fprintf(stderr, "message fuzzer: %s\n", broke.c_str());
        abort();
    }
    return 0;
}

// A load whose buffer holds more than 2^31 interleaved samples: hours of silence and then a
// second of tone, loaded with replace. The tone must sit in the buffer's last second, past
// every 32-bit position, and nothing before it may be touched.
//   long_load_bench FILE TONE_FRAMES      (the file made by bench/long_load_bench.sh)
#include "ext.h"
#include "ext_buffer.h"
#include "headless_host.h"

extern "C" {
#include <libavutil/log.h>
}

#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <string>

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: long_load_bench FILE TONE_FRAMES\n");
        return 2;
    }
    long toneFrames = atol(argv[2]);
    av_log_set_level(AV_LOG_QUIET);
    host_init();
    host_capture(true);
    ext_main(nullptr);
    host_buffer("long", 0, 1, 44100);
    host_run_line("new v vorlo~ long");
    auto began = std::chrono::steady_clock::now();
    host_run_line(std::string("v replace ") + argv[1]);
    bool ended = host_wait(7200);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    for (const std::string &l : host_take_console())
        fprintf(stderr, "%s\n", l.c_str());
    bool done = false;
    for (const std::string &l : host_take_outlets())
        done = done || l == "v 1: bang";

    t_buffer_ref *ref = buffer_ref_new(nullptr, gensym("long"));
    t_buffer_obj *buffer = buffer_ref_getobject(ref);
    long long frames = buffer_getframecount(buffer), channels = buffer_getchannelcount(buffer);
    float *samples = buffer_locksamples(buffer);
    long long total = frames * channels, toneFrom = (frames - toneFrames) * channels;
    bool toneThere = false, silenceBefore = true;
    for (long long i = toneFrom; i < total && samples; i++)
        toneThere = toneThere || samples[i] != 0.0f;
    for (long long i = toneFrom - 4096 * channels; i < toneFrom && samples; i++)
        silenceBefore = silenceBefore && samples[i] == 0.0f;
    if (samples)
        buffer_unlocksamples(buffer);
    object_free(ref);
    host_free_all();
    printf("%lld frames x %lld channels = %lld samples (2^31 = %lld) in %.1f s: %s, tone in the last %ld frames "
           "%s, silence before it %s\n",
           frames, channels, total, 1LL << 31, seconds, ended && done ? "done bang" : "NO done bang", toneFrames,
           toneThere ? "yes" : "NO", silenceBefore ? "yes" : "NO");
    return ended && done && total > (1LL << 31) && toneThere && silenceBefore ? 0 : 1;
}

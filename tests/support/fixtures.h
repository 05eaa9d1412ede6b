// Test audio made at test time with the ffmpeg program, the ffmpeg program's own decoding
// of it as the reference, and an in-process host session that loads files into buffers.
#ifndef VORLO_TEST_FIXTURES_H
#define VORLO_TEST_FIXTURES_H

#include <string>
#include <vector>

// The path of the named fixture in VORLO_FIXTURE_DIR, made on first use (an empty string
// when it cannot be made). Names: "u8.wav" "s16.wav" "s24.wav" "s32.wav" "f32.wav"
// "f64.wav" "s16.aiff" "s16.flac" "long.flac" (20 s) "s24.flac" "alac.m4a" "wavpack.wv" "mp3.mp3" "aac.m4a"
// "opus.ogg" "vorbis.ogg" "video.mkv" "videoonly.mkv" "twostreams.mkv" "start.ts"
// "notaudio.txt", "ch1.wav" to "ch8.wav", and "sine.flac" "sine.mp3". Every channel carries
// noise of its own, so that every sample tells where it belongs; the "sine" fixtures carry
// a sine of its own frequency per channel, for comparisons that allow a sub-sample shift.
std::string fixture(const std::string &name);

// Interleaved float samples, as a buffer~ holds them.
struct Decoded {
    int rate = 0;
    int channels = 0;
    std::vector<float> samples;
    long frames() const { return channels ? (long)(samples.size() / channels) : 0; }
};

// The ffmpeg program's plain decoding of audio stream `stream` of `path`, in the decoder's
// own sample format converted to float as the object's writer converts it; with `rate` the
// decoding resampled to that rate, with `channels` mixed to that many channels.
Decoded reference_decode(const std::string &path, int stream = 0, int rate = 0, int channels = 0);

// The path that a file of this name has in the fixture folder, whether it exists or not.
std::string fixture_dir_path(const std::string &name);

// Where the first two samples that differ by more than `tolerance` are, for a failure
// message; "" when every sample of `expected` matches `actual` from `offset` on.
std::string first_difference(const std::vector<float> &actual, const std::vector<float> &expected,
                             long offset, float tolerance);

// Starts the in-process host on the calling (main) thread, with output captured, and
// registers vorlo~ once; returns what ext_main posted.
const std::vector<std::string> &start_vorlo();

// One vorlo~ instance in the in-process host, with its own buffer~. Made on the test's
// (main) thread; the host is started the first time.
struct HostSession {
    std::string id;      // instance id of the script lines
    std::string buffer;  // its buffer~
    HostSession(const std::string &attributes = "", long frames = 0, long channels = 1, double rate = 44100);
    ~HostSession();
    // Sends the instance a message ("replace /a/b.wav", "break").
    void send(const std::string &message) const;
    // Sends a load message and pumps the main thread until the load has ended.
    void load(const std::string &message) const;
    Decoded contents() const;
    // Loads, then takes what the load left: the buffer, outlet lines and console lines.
    struct Result {
        Decoded buffer;
        std::vector<std::string> outlets;
        std::vector<std::string> console;
    };
    Result run(const std::string &message) const;
};

// What came out since the last call: outlet lines ("v 1: bang") and console lines.
std::vector<std::string> take_outlets();
std::vector<std::string> take_console();
bool has_line(const std::vector<std::string> &lines, const std::string &text);
std::string joined(const std::vector<std::string> &lines);

#endif

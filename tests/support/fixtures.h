// Test audio made at test time with the ffmpeg program, the ffmpeg program's own decoding
// of it as the reference, and an in-process host session that loads files into buffers.
#ifndef VORLO_TEST_FIXTURES_H
#define VORLO_TEST_FIXTURES_H

#include <string>
#include <vector>

// The path of the named fixture in VORLO_FIXTURE_DIR, made on first use (an empty string
// when it cannot be made). Every channel carries noise of its own, so that every sample
// tells where it belongs; two seconds at 44.1 kHz unless the name says otherwise.
// - ffmpeg, one format each: "u8.wav" "s16.wav" "s24.wav" "s32.wav" "f32.wav" "f64.wav"
//   "s16.aiff" "s16.flac" "long.flac" (20 s, mono)
//   "long_stereo.flac" (50 s: more samples than a load faults in ahead of the writer on its own) "s24.flac" (48 kHz) "r22050.flac"
//   "flac.oga" "alac.m4a" "alac.caf" "wavpack.wv" "mp3.mp3" "aac.m4a" "opus.ogg" "vorbis.ogg",
//   "ch1.wav" to "ch8.wav" (that many channels);
// - ffmpeg, lossy files for lengths and seams, pink where the name says so: "lame4.mp3"
//   (4 s, with the LAME header) "cbr3.mp3" (3 s) "vbr_pink.mp3" (3 s) "vbr_noxing.mp3" (4 s,
//   VBR without a Xing header) "r22050.mp3" (mono) "r48000.mp3" "aac_pink.m4a" (3 s)
//   "adts.aac" (3 s) "aac_bursts.m4a" (3 s of noise in bursts) "aac_pns.m4a" (6 s at
//   64 kb/s, noise bands coded as noise) "aac6.m4a" (6 channels, 48 kHz) "opus_pink.opus" (3 s) "opus6.opus" (6 channels) "vorbis_pink.ogg" (3 s);
// - codecs that do not settle after a seek, 12 s: "gap_ac3.mp4" (48 kHz) "gap_eac3.mov" (noise,
//   silence and noise, a third each) "ima.mov" (ADPCM IMA QuickTime) "g722.wav" (mono, 16 kHz)
//   "ima.wav" "msadpcm.wav" (ADPCM IMA WAV and Microsoft ADPCM, whose seek the WAV demuxer
//   reckons by the byte rate);
//   "s64.wav" (pcm_s64le, 2 s);
// - every value of a sample, from the lowest on, each channel 1009 values ahead of the one
//   before: "every8.wav" (u8) "every16.wav" (s16) "every16.wv" (WavPack, three channels,
//   decoded as planar s16) "every24.wav" (mono, 381 s: the 2^24 values of 24 bits);
// - "dc.flac": 50 s of 0.5 in channel 0 and -0.25 in channel 1, for ratios that are exact;
// - 31 s at 48 kHz, pink (Vorbis: bursts), long enough for three pieces at once: "pieces.flac"
//   "pieces.wav" (24-bit) "pieces.aiff" "pieces.m4a" (ALAC) "pieces.wv" "pieces.mp3" (VBR)
//   "pieces.mp2" "pieces.ogg" "pieces.opus", and "pieces_damaged.m4a" (its packet 160, 13.7 s
//   in, undecodable);
// - joined end to end: "reset.ts" (MP2, 3 s and 10 s, each from 1.4 s) "jump.ts" (the second
//   from 60 s) "chain.ogg" (Vorbis, 3 s and 10 s); "damaged.opus" ("opus12.opus", 12 s, with
//   packet 300 undecodable) and "damaged.mp4" (its packets copied into MP4);
// - containers: "start.ts" (MP2 from 1.4 s) "mp2.ts" (MP2, 5 s) "video.mkv" "videoonly.mkv"
//   "twostreams.mkv" (stereo and mono, 2 s each) "twolengths.mkv" (stereo 2 s, mono 3 s);
// - written by other programs from 3 s of stereo noise in bursts: "pipe.flac" "pipe.mp3"
//   "pipe.wav" (ffmpeg into a pipe: no length in the header) "soxpipe.wav" (sox into a pipe)
//   "oggenc.ogg" "opusenc.opus" "lame.mp3" (VBR) "flaccli.flac" "sox.ogg" "sox24.wav" "sndfile.ogg" "sndfile.caf" (ALAC)
//   "sndfile_ima.wav" (IMA ADPCM, 12 s) (libsndfile);
// - whole, though the end or the beginning looks otherwise: "id3v1.flac" ("flaccli.flac"
//   with an ID3v1 tag appended) "captured.opus" ("opus12.opus" from 5 s on, its granule
//   positions as they were);
// - cut short, the first half of a whole file's bytes: "half.flac" "half.wav" (inside a
//   sample frame) "half.mp3"; 0.1 s short: "cut.wav";
// - tagged, one second: "tags.mkv" (video, stereo and mono audio, tags everywhere, the mono
//   stream the default) "tags.flac" "tags.mp3" "tags.ogg" "notags.wav" "manytags.flac" (3000 tags) "longkeys.mkv"
//   (stream tag keys at and past the dictionary's key limit) "manytags.flac" (3000 tags);
// - "notaudio.txt", and "sine.flac" "sine.mp3", which carry a sine of its own frequency per
//   channel, for comparisons that allow a sub-sample shift.
std::string fixture(const std::string &name);

// The programs as words of a shell command: the reference decoder is the ffmpeg (ffprobe) of
// the FFmpeg that the object is built against, or the command line that VORLO_REFERENCE_FFMPEG
// (VORLO_REFERENCE_FFPROBE) holds (another build's program, under Wine); fixtures are encoded
// by the ffmpeg on the PATH, which has the encoders that the recipes name.
std::string reference_ffmpeg();
std::string reference_ffprobe();
std::string fixture_ffmpeg();

// Interleaved float samples, as a buffer~ holds them.
struct Decoded {
    std::string codec;  // of the stream, for a reference decoding
    int rate = 0;
    int channels = 0;
    std::vector<float> samples;
    long frames() const { return channels ? (long)(samples.size() / channels) : 0; }
};

// The ffmpeg program's plain decoding of audio stream `stream` of `path`, in the decoder's
// own sample format converted to float as the object's writer converts it; with `rate` the
// decoding resampled to that rate, with `channels` mixed to that many channels, by
// reference_ffmpeg().
Decoded reference_decode(const std::string &path, int stream = 0, int rate = 0, int channels = 0);
// The same of a file's first audio stream as it is, decoded once for the whole test program.
const Decoded &reference_of(const std::string &path);

// The codec name of audio stream `stream` of `path`, as ffprobe gives it; "" when the file
// has no such stream or is no media file.
std::string audio_codec(const std::string &path, int stream = 0);

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

// Runs script lines in the in-process host, each of which must run, waits for what they
// started and forgets what they printed.
void prepare_lines(const std::vector<std::string> &lines);

// What came out since the last call: outlet lines ("v 1: bang") and console lines.
std::vector<std::string> take_outlets();
std::vector<std::string> take_console();
bool has_line(const std::vector<std::string> &lines, const std::string &text);
std::string joined(const std::vector<std::string> &lines);

#endif

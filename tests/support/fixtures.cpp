#include "fixtures.h"

#include "ext.h"
#include "headless_host.h"

#include <gtest/gtest.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

namespace {

struct Recipe {
    const char *name;
    int channels;
    int rate;
    const char *output;          // codec options of the audio output
    double seconds = 2;
    const char *signal = "white";  // anoisesrc's colour of noise, "bursts", "sine", "dc" or "everyN"
    double second = 0;           // seconds of a second audio stream (mono noise); 0: none
};

// Tag keys for the metadata dictionary, whose keys of stream tags ("STREAM_0_META_" and the
// tag's key) hold at most 511 characters: one key at that limit, one past it, and a long
// key of a file tag, which is taken as it stands.
const std::string kLongKeys = "-c:a flac -metadata:s:a:0 " + std::string(497, 'a') + "=fits -metadata:s:a:0 " +
                              std::string(498, 'b') + "=toolong -metadata:s:a:0 language=eng -metadata " +
                              std::string(600, 'c') + "=whole";

// Far more tags than the metadata dictionary takes.
std::string many_tags()
{
    std::string options = "-c:a flac";
    for (int i = 0; i < 3000; i++)
        options += " -metadata k" + std::to_string(i) + "=v";
    return options;
}
const std::string kManyTags = many_tags();

// Noise per channel, a sine per channel for the "sine" fixtures; the codec options decide
// the format. Pink noise gives a lossy encoder the uneven spectrum of real sound; bursts
// (white noise, loud for 10 ms every 0.21 s) give it the attacks that make it switch to
// short blocks, at places that drift against the pages of an Ogg file.
const Recipe kRecipes[] = {
    {"u8.wav", 2, 44100, "-c:a pcm_u8"},
    {"s16.wav", 2, 44100, "-c:a pcm_s16le"},
    {"s24.wav", 2, 44100, "-c:a pcm_s24le"},
    {"s32.wav", 2, 44100, "-c:a pcm_s32le"},
    {"f32.wav", 2, 44100, "-c:a pcm_f32le"},
    {"f64.wav", 2, 44100, "-c:a pcm_f64le"},
    {"s16.aiff", 2, 44100, "-c:a pcm_s16be"},
    {"s16.flac", 2, 44100, "-c:a flac"},
    {"long.flac", 1, 44100, "-c:a flac", 20},
    {"long_stereo.flac", 2, 44100, "-c:a flac", 50},
    {"s24.flac", 2, 48000, "-c:a flac -sample_fmt s32"},
    {"r22050.flac", 2, 22050, "-c:a flac"},
    {"flac.oga", 2, 44100, "-c:a flac"},
    {"alac.m4a", 2, 44100, "-c:a alac"},
    {"alac.caf", 2, 44100, "-c:a alac"},
    {"wavpack.wv", 2, 44100, "-c:a wavpack"},
    {"mp3.mp3", 2, 44100, "-c:a libmp3lame -b:a 192k"},
    {"lame4.mp3", 2, 44100, "-c:a libmp3lame -b:a 128k", 4},
    {"cbr3.mp3", 2, 44100, "-c:a libmp3lame -b:a 160k", 3},
    {"vbr_pink.mp3", 2, 44100, "-c:a libmp3lame -q:a 2", 3, "pink"},
    {"vbr_noxing.mp3", 2, 44100, "-c:a libmp3lame -q:a 4 -write_xing 0", 4, "pink"},
    {"r22050.mp3", 1, 22050, "-c:a libmp3lame -q:a 4", 3, "pink"},
    {"r48000.mp3", 2, 48000, "-c:a libmp3lame -b:a 192k"},
    {"aac.m4a", 2, 44100, "-c:a aac -aac_pns 0 -b:a 192k"},
    {"aac_pink.m4a", 2, 44100, "-c:a aac -aac_pns 0 -b:a 160k", 3, "pink"},
    {"aac_bursts.m4a", 2, 44100, "-c:a aac -aac_pns 0 -b:a 128k", 3, "bursts"},
    {"aac_pns.m4a", 2, 44100, "-c:a aac -b:a 64k", 6, "pink"},
    {"adts.aac", 2, 44100, "-c:a aac -aac_pns 0 -b:a 128k", 3},
    {"aac6.m4a", 6, 48000, "-c:a aac -aac_pns 0 -b:a 384k"},
    {"opus.ogg", 2, 48000, "-c:a libopus -b:a 128k"},
    {"opus_pink.opus", 2, 48000, "-c:a libopus -b:a 96k", 3, "pink"},
    {"opus6.opus", 6, 48000, "-c:a libopus -b:a 256k"},
    {"vorbis.ogg", 2, 44100, "-c:a libvorbis"},
    {"vorbis_pink.ogg", 2, 44100, "-c:a libvorbis -q:a 3", 3, "pink"},
    {"start.ts", 2, 44100, "-c:a mp2 -b:a 256k -output_ts_offset 1.4"},
    {"mp2.ts", 2, 44100, "-c:a mp2 -b:a 256k", 5},
    // codecs whose decoders do not settle after a seek: a dither or a predictor that runs on
    // from the first frame, and a demuxer's seek that lands elsewhere than it says
    {"gap_ac3.mp4", 2, 48000, "-c:a ac3", 12, "gap"},
    {"gap_eac3.mov", 2, 44100, "-c:a eac3", 12, "gap"},
    {"ima.mov", 2, 44100, "-c:a adpcm_ima_qt", 12},
    {"g722.wav", 1, 16000, "-c:a g722", 12},
    {"ima.wav", 2, 44100, "-c:a adpcm_ima_wav", 12},
    {"msadpcm.wav", 2, 44100, "-c:a adpcm_ms", 12},
    {"s64.wav", 2, 44100, "-c:a pcm_s64le"},
    // every value of an 8-, 16- or 24-bit sample, packed and planar; a constant per channel
    {"every8.wav", 2, 44100, "-c:a pcm_u8", 2, "every8"},
    {"every16.wav", 2, 44100, "-c:a pcm_s16le", 2, "every16"},
    {"every16.wv", 3, 44100, "-c:a wavpack -sample_fmt s16p", 2, "every16"},
    {"every24.wav", 1, 44100, "-c:a pcm_s24le", 381, "every24"},
    {"dc.flac", 2, 44100, "-c:a flac -sample_fmt s32", 50, "dc"},
    // long enough to be decoded in three pieces at once
    {"pieces.flac", 2, 48000, "-c:a flac", 31, "pink"},
    {"pieces.wav", 2, 48000, "-c:a pcm_s24le", 31, "pink"},
    {"pieces.aiff", 2, 48000, "-c:a pcm_s16be", 31, "pink"},
    {"pieces.m4a", 2, 48000, "-c:a alac", 31, "pink"},
    {"pieces.wv", 2, 48000, "-c:a wavpack", 31, "pink"},
    {"pieces.mp3", 2, 48000, "-c:a libmp3lame -q:a 2", 31, "pink"},
    {"pieces.mp2", 2, 48000, "-c:a mp2 -b:a 192k", 31, "pink"},
    {"pieces.ogg", 2, 48000, "-c:a libvorbis -q:a 3", 31, "bursts"},
    {"pieces.opus", 2, 48000, "-c:a libopus -b:a 96k", 31, "pink"},
    // the links of joined files: MP2 in MPEG-TS (the second from 60 s on), Vorbis in Ogg
    {"link_a.ts", 2, 48000, "-c:a mp2 -b:a 192k", 3},
    {"link_b.ts", 2, 48000, "-c:a mp2 -b:a 192k", 10, "pink"},
    {"link_b60.ts", 2, 48000, "-c:a mp2 -b:a 192k -output_ts_offset 60", 10, "pink"},
    {"link_a.ogg", 2, 44100, "-c:a libvorbis", 3},
    {"link_b.ogg", 2, 44100, "-c:a libvorbis", 10, "pink"},
    // and of joined files whose format changes: MP3s without a tag, so that the joined file
    // holds nothing but frames, a 5.1 ADTS stream after a stereo one, a mono Ogg link at
    // 48 kHz after a stereo one at 44.1 kHz
    {"link_s.mp3", 2, 44100, "-c:a libmp3lame -q:a 4 -id3v2_version 0", 3, "pink"},
    {"link_48.mp3", 2, 48000, "-c:a libmp3lame -q:a 4 -id3v2_version 0", 2, "pink"},
    {"link_mono.mp3", 1, 44100, "-c:a libmp3lame -q:a 4 -id3v2_version 0", 12, "pink"},
    {"link6.aac", 6, 44100, "-c:a aac -aac_pns 0 -b:a 256k", 3},
    {"link_m48.ogg", 1, 48000, "-c:a libvorbis", 3, "pink"},
    {"link_s48.mp3", 2, 48000, "-c:a libmp3lame -id3v2_version 0 -write_xing 0", 0.1},
    {"link_m44.mp3", 1, 44100, "-c:a libmp3lame -id3v2_version 0 -write_xing 0", 0.1},
    {"opus12.opus", 2, 48000, "-c:a libopus -b:a 96k", 12, "pink"},
    {"video.mkv", 2, 44100, "-c:a flac"},
    {"videoonly.mkv", 0, 0, ""},
    {"twostreams.mkv", 2, 44100, "-c:a flac", 2, "white", 2},
    {"twolengths.mkv", 2, 44100, "-c:a flac", 2, "white", 3},
    {"sine.flac", 2, 44100, "-c:a flac", 2, "sine"},
    {"sine.mp3", 2, 44100, "-c:a libmp3lame -b:a 192k", 2, "sine"},
    {"ch1.wav", 1, 44100, "-c:a pcm_s16le"},
    {"ch2.wav", 2, 44100, "-c:a pcm_s16le"},
    {"ch3.wav", 3, 44100, "-c:a pcm_s16le"},
    {"ch4.wav", 4, 44100, "-c:a pcm_s16le"},
    {"ch5.wav", 5, 44100, "-c:a pcm_s16le"},
    {"ch6.wav", 6, 44100, "-c:a pcm_s16le"},
    {"ch7.wav", 7, 44100, "-c:a pcm_s16le"},
    {"ch8.wav", 8, 44100, "-c:a pcm_s16le"},
    // tags of the file and of every stream; the second audio stream is marked as the default
    {"tags.mkv", 2, 44100,
     "-c:a flac -metadata title=\"Vorlo test\" -metadata artist=\"Zo\u00eb \u00d6lmann\" "
     "-metadata:s:v:0 title=\"Test pattern\" -metadata:s:a:0 language=ger -metadata:s:a:1 title=Commentary "
     "-metadata:s:a:1 language=eng -disposition:a:0 0 -disposition:a:1 default",
     1, "white", 1},
    {"tags.flac", 1, 44100, "-c:a flac -metadata title=\"Flac title\" -metadata date=2024", 1},
    {"tags.mp3", 1, 44100, "-c:a libmp3lame -b:a 128k -metadata title=\"Mp3 title\" -metadata album=Vorlo", 1},
    {"tags.ogg", 1, 44100, "-c:a libvorbis -metadata title=\"Ogg title\"", 1},
    {"notags.wav", 1, 44100, "-c:a pcm_s16le -fflags +bitexact -map_metadata -1", 1},
    {"longkeys.mkv", 1, 44100, kLongKeys.c_str(), 1},
    {"manytags.flac", 1, 44100, kManyTags.c_str(), 1},
};

// Files written the way other programs write them: the command turns {in}, a WAV file of
// three seconds (or `seconds`) of stereo bursts at 44.1 kHz, into {out} ({ffmpeg}: the
// fixtures' ffmpeg). A FLAC, MP3 or WAV written to a pipe (by ffmpeg, or sox) has no header
// that gives its length; libsndfile's Ogg Vorbis pages carry time stamps that jump at the
// short blocks, its IMA ADPCM WAV a byte rate that is rounded, and its CAF a duration of
// whole packets.
struct EncoderRecipe {
    const char *name;
    const char *command;
    double seconds = 3;
};

const Recipe kEncoderSource = {"source.wav", 2, 44100, "-c:a pcm_s16le -fflags +bitexact", 3, "bursts"};

const EncoderRecipe kEncoderRecipes[] = {
    {"pipe.flac", "{ffmpeg} -nostdin -v error -i {in} -c:a flac -f flac - > {out}"},
    {"pipe.mp3", "{ffmpeg} -nostdin -v error -i {in} -c:a libmp3lame -q:a 4 -f mp3 - > {out}"},
    {"pipe.wav", "{ffmpeg} -nostdin -v error -i {in} -f wav - > {out}"},
    {"soxpipe.wav", "sox {in} -t raw - | sox -t raw -r 44100 -e signed -b 16 -c 2 - -t wav - 2>/dev/null | cat > {out}"},
    {"oggenc.ogg", "oggenc -Q -q 4 -o {out} {in}"},
    {"opusenc.opus", "opusenc --quiet {in} {out}"},
    {"lame.mp3", "lame --quiet -V 4 {in} {out}"},
    {"flaccli.flac", "flac -s -f -o {out} {in}"},
    {"sox.ogg", "sox {in} {out}"},
    {"sndfile.ogg", "sndfile-convert -vorbis {in} {out}"},
    {"sox24.wav", "sox {in} -b 24 {out}"},
    {"sndfile.caf", "sndfile-convert -alac16 {in} {out}"},
    {"sndfile_ima.wav", "sndfile-convert -ima-adpcm {in} {out}", 12},
};

// Files that end before their header says: the first `keep` of the bytes of a whole one,
// less `drop` bytes.
struct CutRecipe {
    const char *name;
    const char *whole;
    double keep = 0.5;
    long drop = 0;
};

// Files joined end to end, as `cat` joins them: MPEG-TS whose time stamps start again or
// jump, a chained Ogg file; and streams whose format changes on the way, one of them twice
// (44.1 kHz, 48 kHz, 44.1 kHz again).
struct JoinRecipe {
    const char *name;
    const char *first;
    const char *second;
};

const JoinRecipe kJoinRecipes[] = {
    {"reset.ts", "link_a.ts", "link_b.ts"},
    {"jump.ts", "link_a.ts", "link_b60.ts"},
    {"chain.ogg", "link_a.ogg", "link_b.ogg"},
    {"mono.mp3", "link_s.mp3", "link_mono.mp3"},
    {"rate.mp3", "link_s.mp3", "link_48.mp3"},
    {"rates.mp3", "rate.mp3", "link_s.mp3"},
    {"layout.aac", "adts.aac", "link6.aac"},
    {"formats.ogg", "link_a.ogg", "link_m48.ogg"},
    // 64 stretches of 0.1 s of each format, one after the other: long enough to be counted
    {"alt2.mp3", "link_s48.mp3", "link_m44.mp3"},
    {"alt4.mp3", "alt2.mp3", "alt2.mp3"},
    {"alt8.mp3", "alt4.mp3", "alt4.mp3"},
    {"alt16.mp3", "alt8.mp3", "alt8.mp3"},
    {"alt32.mp3", "alt16.mp3", "alt16.mp3"},
    {"alt64.mp3", "alt32.mp3", "alt32.mp3"},
    {"id3v1.flac", "flaccli.flac", "id3v1.tag"},
};

// The 128 bytes of an ID3v1 tag, as taggers append them to a file.
std::string id3v1_tag()
{
    std::string tag = "TAG";
    for (const char *field : {"Title", "Artist", "Album"})
        tag += std::string(field) + std::string(30 - strlen(field), '\0');
    tag += "2024" + std::string(30, '\0') + "\x0c";
    return tag;
}

// A stream captured from the middle of a longer one, as a recording of a broadcast begins:
// the header pages, then the pages after the first one that ends at or past `seconds`, whose
// granule positions go on from there.
const char *const kCapturedName = "captured.opus";
const char *const kCapturedWhole = "opus12.opus";
const double kCapturedFrom = 5;

// A file with one damaged packet. An Opus packet in Ogg gets the table of contents of code 3
// with a frame count of 0, which no decoder takes, and its page a checksum that fits again.
struct DamageRecipe {
    const char *name;
    const char *whole;
    int packet;
};

const DamageRecipe kDamageRecipes[] = {
    {"damaged.opus", "opus12.opus", 300},
    // 13.7 s in, inside the second of three pieces: the packet of ALAC in MP4 begins with a
    // syntax element that no decoder takes
    {"pieces_damaged.m4a", "pieces.m4a", 160},
};

// The same stream in another container, copied packet for packet: MP4 times its packets
// without looking into them, so the damaged one reaches the decoder.
struct CopyRecipe {
    const char *name;
    const char *from;
};

const CopyRecipe kCopyRecipes[] = {
    {"damaged.mp4", "damaged.opus"},
};

const CutRecipe kCutRecipes[] = {
    {"half.flac", "flaccli.flac"},
    {"half.wav", "s16.wav"},
    {"half.mp3", "lame4.mp3"},
    // 0.1 s short
    {"cut.wav", "s16.wav", 1, 17640},
};

const char *kVideo = "-f lavfi -i testsrc=size=64x48:rate=10:duration=2";

// Files with a video stream before their audio.
bool with_video(const std::string &name)
{
    return name == "video.mkv" || name == "tags.mkv";
}

std::string fixture_dir()
{
    std::filesystem::create_directories(VORLO_FIXTURE_DIR);
    return VORLO_FIXTURE_DIR;
}

// A filter graph of `channels` sources merged into the output `label`: noise of the
// signal's colour, or for "sine" a sine of its own frequency per channel; "dc" holds 0.5 in
// channel 0, -0.25 in channel 1 and so on, halved and negated from channel to channel;
// "everyN" runs through every value of an N-bit sample, from the lowest on, each channel
// 1009 values ahead of the one before it.
std::string signal_graph(const std::string &signal, double seconds, int channels, int rate, int seed,
                         const std::string &label)
{
    std::ostringstream g;
    for (int c = 0; c < channels; c++) {
        if (signal == "sine")
            g << "sine=d=" << seconds << ":r=" << rate << ":f=" << 300 + 170 * c;
        else if (signal == "dc")
            g << "aevalsrc=exprs=" << (c % 2 ? -0.5 : 0.5) / (1 << c) << ":s=" << rate << ":d=" << seconds;
        else if (signal.compare(0, 5, "every") == 0) {
            long half = 1L << (atoi(signal.c_str() + 5) - 1);
            g << "aevalsrc=exprs=(mod(n+" << 1009 * c << "\\," << 2 * half << ")-" << half << ")/" << half
              << ":s=" << rate << ":d=" << seconds;
        } else if (signal == "gap")
            g << "anoisesrc=d=" << seconds << ":r=" << rate << ":a=0.5:seed=" << seed + c
              << ",aeval=val(0)*not(between(t\\," << seconds / 3 << "\\," << 2 * seconds / 3 << "))";
        else if (signal == "bursts")
            g << "anoisesrc=d=" << seconds << ":r=" << rate << ":a=0.5:seed=" << seed + c
              << ",aeval=val(0)*(0.05+0.95*lt(mod(t\\,0.21)\\,0.01))";
        else
            g << "anoisesrc=d=" << seconds << ":r=" << rate << ":a=0.5:c=" << signal << ":seed=" << seed + c;
        g << "[" << label << c << "];";
    }
    for (int c = 0; c < channels; c++)
        g << "[" << label << c << "]";
    if (channels > 1)
        g << "amerge=inputs=" << channels;
    else
        g << "anull";
    g << "[" << label << "]";
    return g.str();
}

std::string recipe_command(const Recipe &r, const std::string &out)
{
    std::string name = r.name;
    std::ostringstream cmd;
    cmd << fixture_ffmpeg() << " -nostdin -v error -y ";
    if (name == "videoonly.mkv") {
        cmd << kVideo << " -c:v mpeg4 " << out;
        return cmd.str();
    }
    std::string graph = signal_graph(r.signal, r.seconds, r.channels, r.rate, 1, "a");
    if (r.second > 0)
        graph += ";" + signal_graph("white", r.second, 1, r.rate, 101, "b");
    if (with_video(name))
        cmd << kVideo << " ";
    cmd << "-filter_complex \"" << graph << "\" ";
    if (with_video(name))
        cmd << "-map 0:v -c:v mpeg4 ";
    cmd << "-map \"[a]\" ";
    if (r.second > 0)
        cmd << "-map \"[b]\" ";
    cmd << r.output << " " << out;
    return cmd.str();
}

// An encoder's command line with its input and output in place; each appears once.
std::string encoder_command(std::string command, const std::string &in, const std::string &out)
{
    size_t program = command.find("{ffmpeg}");
    if (program != std::string::npos)
        command.replace(program, 8, fixture_ffmpeg());
    command.replace(command.find("{in}"), 4, in);
    command.replace(command.find("{out}"), 5, out);
    return command;
}

// Files are made under a name of this process and then renamed, so that test programs
// running side by side never see half a file.
std::string temporary_name(const std::string &dir, const std::string &name)
{
    static std::atomic<int> counter{0};
    return dir + "/.tmp-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + "-" + name;
}

bool publish(const std::string &tmp, const std::string &path)
{
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    return !ec;
}

std::string run_capture(const std::string &cmd, std::string *out)
{
    FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return "cannot run: " + cmd;
    char chunk[1 << 16];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, p)) > 0)
        out->append(chunk, n);
    int status = pclose(p);
    return status == 0 ? "" : "failed: " + cmd;
}

// A word for the shell that stands for `text` whatever characters it holds.
std::string shell_quoted(const std::string &text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

struct StreamInfo {
    std::string codec;
    std::string sample_fmt;
    int channels = 0;
    int rate = 0;
    long durationTs = 0;   // the stream's duration in its time base, 0 when none is given
    std::string format;    // the demuxer's name
    std::string failure;
};

// Runs a reference program. Under Wine (VORLO_REFERENCE_FFMPEG set) a failed run is told and
// run once more: Wine's own start of a program has failed once in a while on a loaded machine,
// and the reference is the oracle, not what is tested. A fault of the program fails twice.
std::string run_reference(const std::string &cmd, std::string *out)
{
    std::string failure = run_capture(cmd, out);
    const char *wine = getenv("VORLO_REFERENCE_FFMPEG");
    if (failure.empty() || !wine || !*wine)
        return failure;
    fprintf(stderr, "%s: running it once more\n", failure.c_str());
    out->clear();
    return run_capture(cmd, out);
}

// The stream's parameters, and the sample format and channels of its first decoded frame,
// which the ffmpeg program's output takes: the parameters can name another decoder's format,
// or the channels of a later part of a stream whose format changes.
StreamInfo probe_stream(const std::string &path, int stream)
{
    std::string text;
    std::string cmd = reference_ffprobe() + " -v error -select_streams a:" + std::to_string(stream) +
                      " -read_intervals %+#1 -show_entries stream=codec_name,sample_fmt,channels,sample_rate,duration_ts" +
                      ":frame=sample_fmt,channels:format=format_name -of flat " + shell_quoted(path) + " 2>/dev/null";
    StreamInfo info;
    info.failure = run_reference(cmd, &text);
    if (!info.failure.empty())
        return info;
    std::string frameFormat;
    int frameChannels = 0;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')   // a Windows program's text output
            line.pop_back();
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string name = line.substr(0, eq);
        std::string key = name.substr(name.rfind('.') + 1);
        std::string value = line.substr(eq + 1);
        if (value.size() >= 2 && value.front() == '"')
            value = value.substr(1, value.size() - 2);
        bool ofFrame = name.compare(0, 7, "frames.") == 0;
        if (ofFrame && key == "sample_fmt" && frameFormat.empty())
            frameFormat = value;
        else if (ofFrame && key == "channels" && frameChannels == 0)
            frameChannels = atoi(value.c_str());
        else if (ofFrame)
            continue;
        else if (key == "codec_name")
            info.codec = value;
        else if (key == "sample_fmt")
            info.sample_fmt = value;
        else if (key == "channels")
            info.channels = atoi(value.c_str());
        else if (key == "sample_rate")
            info.rate = atoi(value.c_str());
        else if (key == "duration_ts")
            info.durationTs = atol(value.c_str());
        else if (key == "format_name")
            info.format = value;
    }
    if (!frameFormat.empty())
        info.sample_fmt = frameFormat;
    if (frameChannels > 0)
        info.channels = frameChannels;
    return info;
}

// The raw format of the packed form of a decoder's sample format, and how the object's
// writer turns one of its samples into a float.
struct RawFormat {
    const char *muxer;
    int bytes;
    float (*convert)(const unsigned char *p);
};

float from_u8(const unsigned char *p) { return (float)((int64_t)p[0] - 128) / 127.0f; }
float from_s16(const unsigned char *p)
{
    int16_t v;
    memcpy(&v, p, 2);
    return (float)(int64_t)v / 32767.0f;
}
float from_s32(const unsigned char *p)
{
    int32_t v;
    memcpy(&v, p, 4);
    return (float)(int64_t)v / (float)2147483647;
}
float from_flt(const unsigned char *p)
{
    float v;
    memcpy(&v, p, 4);
    return v;
}
float from_dbl(const unsigned char *p)
{
    double v;
    memcpy(&v, p, 8);
    return (float)v;
}

bool raw_format(std::string fmt, RawFormat *raw)
{
    if (!fmt.empty() && fmt.back() == 'p')
        fmt.pop_back();
    static const std::map<std::string, RawFormat> formats = {
        {"u8", {"u8", 1, from_u8}},       {"s16", {"s16le", 2, from_s16}},
        {"s32", {"s32le", 4, from_s32}},  {"flt", {"f32le", 4, from_flt}},
        {"dbl", {"f64le", 8, from_dbl}},
        // The program's conversion of 64-bit integers to floats is the writer's.
        {"s64", {"f32le", 4, from_flt}},
    };
    auto it = formats.find(fmt);
    if (it == formats.end())
        return false;
    *raw = it->second;
    return true;
}

std::mutex g_fixture_lock;

// Runs the command that writes `tmp`, then gives it the fixture's name.
std::string make_with(const std::string &cmd, const std::string &tmp, const std::string &path)
{
    if (system(cmd.c_str()) != 0) {
        ADD_FAILURE() << "could not make fixture " << path << ": " << cmd;
        std::error_code ignored;
        std::filesystem::remove(tmp, ignored);
        return "";
    }
    return publish(tmp, path) ? path : "";
}

std::string make_encoded(const EncoderRecipe &r, const std::string &dir, const std::string &path)
{
    std::string wav = temporary_name(dir, kEncoderSource.name);
    std::string tmp = temporary_name(dir, r.name);
    Recipe source = kEncoderSource;
    source.seconds = r.seconds;
    std::string made = make_with(recipe_command(source, wav) + " && " + encoder_command(r.command, wav, tmp),
                                 tmp, path);
    std::error_code ignored;
    std::filesystem::remove(wav, ignored);
    return made;
}

std::string make_cut(const CutRecipe &r, const std::string &whole, const std::string &dir, const std::string &path)
{
    if (whole.empty())
        return "";
    std::ifstream in(whole, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string tmp = temporary_name(dir, r.name);
    std::ofstream(tmp, std::ios::binary).write(bytes.data(), (std::streamsize)(bytes.size() * r.keep) - r.drop);
    return publish(tmp, path) ? path : "";
}

std::string file_bytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string make_joined(const std::string &first, const std::string &second, const std::string &dir,
                        const std::string &path)
{
    if (first.empty() || second.empty())
        return "";
    std::string tmp = temporary_name(dir, "joined");
    std::ofstream(tmp, std::ios::binary) << file_bytes(first) << file_bytes(second);
    return publish(tmp, path) ? path : "";
}

// The CRC of an Ogg page: polynomial 0x04c11db7, not reflected, starting from 0.
uint32_t ogg_crc(const unsigned char *data, size_t size)
{
    uint32_t crc = 0;
    for (size_t i = 0; i < size; i++) {
        crc ^= (uint32_t)data[i] << 24;
        for (int bit = 0; bit < 8; bit++)
            crc = crc & 0x80000000u ? (crc << 1) ^ 0x04c11db7u : crc << 1;
    }
    return crc;
}

// Damages packet `target` of an Ogg Opus file (counted from its first header packet) in
// place; false when the file has no such packet.
bool damage_opus_packet(std::string &bytes, int target)
{
    unsigned char *d = (unsigned char *)&bytes[0];
    size_t page = 0;
    int packet = 0;
    while (page + 27 <= bytes.size() && memcmp(d + page, "OggS", 4) == 0) {
        int segments = d[page + 26];
        size_t body = page + 27 + segments;
        size_t start = body;
        size_t length = 0;
        size_t size = 0;
        for (int i = 0; i < segments; i++)
            size += d[page + 27 + i];
        for (int i = 0; i < segments; i++) {
            length += d[page + 27 + i];
            if (d[page + 27 + i] == 255)
                continue;
            if (packet++ == target && length >= 2) {
                d[start] |= 3;       // code 3: a frame count byte follows
                d[start + 1] &= 0xc0; // no frames
                memset(d + page + 22, 0, 4);
                uint32_t crc = ogg_crc(d + page, body + size - page);
                for (int b = 0; b < 4; b++)
                    d[page + 22 + b] = (unsigned char)(crc >> (8 * b));
                return true;
            }
            start += length;
            length = 0;
        }
        page = body + size;
    }
    return false;
}

// The pages of an Ogg file, each whole.
std::vector<std::string> ogg_pages(const std::string &bytes)
{
    std::vector<std::string> pages;
    const unsigned char *d = (const unsigned char *)bytes.data();
    size_t page = 0;
    while (page + 27 <= bytes.size() && memcmp(d + page, "OggS", 4) == 0) {
        size_t size = 27 + d[page + 26];
        for (int i = 0; i < d[page + 26] && page + 27 + i < bytes.size(); i++)
            size += d[page + 27 + i];
        pages.push_back(bytes.substr(page, size));
        page += size;
    }
    return pages;
}

int64_t ogg_granule(const std::string &page)
{
    int64_t granule = 0;
    for (int b = 7; b >= 0; b--)
        granule = granule << 8 | (unsigned char)page[6 + b];
    return granule;
}

// The two header pages of an Ogg Opus file, then its pages from the first one that begins a
// packet after a page ending at or past `granule`.
std::string ogg_captured(const std::string &bytes, int64_t granule)
{
    std::vector<std::string> pages = ogg_pages(bytes);
    std::string captured;
    bool reached = false;
    for (size_t i = 0; i < pages.size(); i++) {
        bool continued = pages[i][5] & 1;
        reached = reached || (i >= 2 && !continued && ogg_granule(pages[i - 1]) >= granule);
        if (i < 2 || reached)
            captured += pages[i];
    }
    return captured;
}

std::string make_captured(const std::string &whole, const std::string &dir, const std::string &path)
{
    if (whole.empty())
        return "";
    std::string tmp = temporary_name(dir, kCapturedName);
    std::ofstream(tmp, std::ios::binary) << ogg_captured(file_bytes(whole), (int64_t)(kCapturedFrom * 48000));
    return publish(tmp, path) ? path : "";
}

// An ALAC packet's first syntax element made a coupling channel element (2), found by its
// byte position as the ffprobe on the PATH gives it.
bool damage_alac_packet(const std::string &path, std::string &bytes, int target)
{
    std::string positions;
    std::string probe = "ffprobe -v error -select_streams a:0 -show_entries packet=pos -of csv=p=0 ";
    if (!run_capture(probe + shell_quoted(path), &positions).empty())
        return false;
    std::istringstream lines(positions);
    std::string line;
    // Lines of side data come between some packets' lines.
    for (int packet = 0; std::getline(lines, line);) {
        if (line.empty() || !isdigit((unsigned char)line[0]))
            continue;
        size_t pos = std::stoul(line);
        if (packet == target && pos + 2 <= bytes.size()) {
            bytes[pos] = (char)((bytes[pos] & 0x1f) | 0x40);
            return true;
        }
        packet++;
    }
    return false;
}

std::string make_damaged(const DamageRecipe &r, const std::string &whole, const std::string &dir,
                         const std::string &path)
{
    std::string bytes = whole.empty() ? "" : file_bytes(whole);
    bool ogg = bytes.compare(0, 4, "OggS") == 0;
    if (!(ogg ? damage_opus_packet(bytes, r.packet) : damage_alac_packet(whole, bytes, r.packet))) {
        ADD_FAILURE() << "no packet " << r.packet << " in " << whole;
        return "";
    }
    std::string tmp = temporary_name(dir, r.name);
    std::ofstream(tmp, std::ios::binary) << bytes;
    return publish(tmp, path) ? path : "";
}

// The fixture's path, made first when it is missing; the caller holds the fixture lock.
std::string made_fixture(const std::string &name)
{
    std::string dir = fixture_dir();
    std::string path = dir + "/" + name;
    if (std::filesystem::exists(path))
        return path;
    if (name == "notaudio.txt" || name == "id3v1.tag") {
        std::string tmp = temporary_name(dir, name);
        std::ofstream(tmp, std::ios::binary) << (name == "id3v1.tag" ? id3v1_tag() : "This is a text file and no audio at all.\n");
        return publish(tmp, path) ? path : "";
    }
    for (const Recipe &r : kRecipes)
        if (name == r.name) {
            std::string tmp = temporary_name(dir, name);
            return make_with(recipe_command(r, tmp), tmp, path);
        }
    for (const EncoderRecipe &r : kEncoderRecipes)
        if (name == r.name)
            return make_encoded(r, dir, path);
    for (const CutRecipe &r : kCutRecipes)
        if (name == r.name)
            return make_cut(r, made_fixture(r.whole), dir, path);
    for (const JoinRecipe &r : kJoinRecipes)
        if (name == r.name)
            return make_joined(made_fixture(r.first), made_fixture(r.second), dir, path);
    for (const DamageRecipe &r : kDamageRecipes)
        if (name == r.name)
            return make_damaged(r, made_fixture(r.whole), dir, path);
    if (name == kCapturedName)
        return make_captured(made_fixture(kCapturedWhole), dir, path);
    for (const CopyRecipe &r : kCopyRecipes)
        if (name == r.name) {
            std::string from = made_fixture(r.from);
            std::string tmp = temporary_name(dir, name);
            return from.empty() ? "" : make_with("ffmpeg -nostdin -v error -y -i " + from + " -c copy " + tmp, tmp, path);
        }
    ADD_FAILURE() << "no recipe for fixture " << name;
    return "";
}

} // namespace

// A command line in `variable` (another FFmpeg build's program run under Wine) before the
// program of the FFmpeg that the tests are built against.
static std::string reference_program(const char *variable, const char *built)
{
    const char *command = getenv(variable);
    return command && *command ? command : shell_quoted(built);
}

std::string reference_ffmpeg() { return reference_program("VORLO_REFERENCE_FFMPEG", VORLO_REFERENCE_FFMPEG); }
std::string reference_ffprobe() { return reference_program("VORLO_REFERENCE_FFPROBE", VORLO_REFERENCE_FFPROBE); }
std::string fixture_ffmpeg() { return shell_quoted(VORLO_FIXTURE_FFMPEG); }

std::string fixture(const std::string &name)
{
    std::lock_guard<std::mutex> guard(g_fixture_lock);
    return made_fixture(name);
}

std::string audio_codec(const std::string &path, int stream)
{
    return probe_stream(path, stream).codec;
}

std::string fixture_dir_path(const std::string &name)
{
    return fixture_dir() + "/" + name;
}

// FFmpeg 4 decodes an Ogg Vorbis stream's last packet whole, past the last granule position,
// where later releases (the fixtures' ffmpeg among them) and the object on every release end
// the stream: a reference that runs on past that end is cut there. The end is the stream's
// duration (Ogg's time base counts samples), where the fixtures' ffmpeg ends it; a chained
// file, whose links end each at its own granule, is left as it decodes.
void end_at_last_granule(const std::string &path, int stream, const StreamInfo &info, Decoded *d)
{
    if (info.format != "ogg" || info.codec != "vorbis" || info.durationTs <= 0 || d->frames() <= info.durationTs)
        return;
    std::string bytes;
    std::string cmd = fixture_ffmpeg() + " -nostdin -v error -i " + shell_quoted(path) + " -map 0:a:" +
                      std::to_string(stream) + " -ac 1 -f f32le -";
    if (run_capture(cmd, &bytes).empty() && (long)(bytes.size() / 4) == info.durationTs)
        d->samples.resize((size_t)info.durationTs * d->channels);
}

Decoded reference_decode(const std::string &path, int stream, int rate, int channels)
{
    Decoded d;
    StreamInfo info = probe_stream(path, stream);
    RawFormat raw;
    if (!info.failure.empty()) {
        ADD_FAILURE() << info.failure;
        return d;
    }
    if (!raw_format(info.sample_fmt, &raw)) {
        ADD_FAILURE() << "no raw form for sample format '" << info.sample_fmt << "' of " << path;
        return d;
    }
    d.codec = info.codec;
    d.rate = rate ? rate : info.rate;
    d.channels = channels ? channels : info.channels;
    std::ostringstream cmd;
    cmd << reference_ffmpeg() << " -nostdin -v error -i " << shell_quoted(path) << " -map 0:a:" << stream;
    if (rate)
        cmd << " -ar " << rate;
    if (channels)
        cmd << " -ac " << channels;
    cmd << " -f " << raw.muxer << " -";
    std::string bytes;
    std::string failure = run_reference(cmd.str(), &bytes);
    if (!failure.empty()) {
        ADD_FAILURE() << failure;
        return d;
    }
    d.samples.resize(bytes.size() / raw.bytes);
    const unsigned char *p = (const unsigned char *)bytes.data();
    for (size_t i = 0; i < d.samples.size(); i++)
        d.samples[i] = raw.convert(p + i * raw.bytes);
    if (!rate)
        end_at_last_granule(path, stream, info, &d);
    return d;
}

const Decoded &reference_of(const std::string &path)
{
    static std::map<std::string, Decoded> decoded;
    auto found = decoded.find(path);
    if (found == decoded.end())
        found = decoded.emplace(path, reference_decode(path)).first;
    return found->second;
}

std::string first_difference(const std::vector<float> &actual, const std::vector<float> &expected,
                             long offset, float tolerance)
{
    std::ostringstream out;
    int reported = 0;
    for (size_t i = 0; i < expected.size() && reported < 2; i++) {
        size_t at = (size_t)offset + i;
        bool missing = at >= actual.size();
        if (missing || !(std::fabs(actual[at] - expected[i]) <= tolerance)) {
            out << "sample " << at << ": got " << (missing ? NAN : actual[at]) << ", expected "
                << expected[i] << "; ";
            reported++;
        }
    }
    return out.str();
}

const std::vector<std::string> &start_vorlo()
{
    static std::vector<std::string> banner = [] {
        host_init();
        host_capture(true);
        ext_main(nullptr);
        return host_take_console();
    }();
    return banner;
}

HostSession::HostSession(const std::string &attributes, long frames, long channels, double rate)
{
    static int sessions = 0;
    start_vorlo();
    sessions++;
    id = "v" + std::to_string(sessions);
    buffer = "snd" + std::to_string(sessions);
    host_buffer(buffer, frames, channels, rate);
    EXPECT_EQ(host_run_line("new " + id + " vorlo~ " + buffer + " " + attributes), 0);
}

HostSession::~HostSession()
{
    host_run_line("free " + id);
}

void HostSession::send(const std::string &message) const
{
    EXPECT_EQ(host_run_line(id + " " + message), 0) << message;
}

void HostSession::load(const std::string &message) const
{
    send(message);
    EXPECT_TRUE(host_wait(120)) << "the load did not end: " << message;
}

Decoded HostSession::contents() const
{
    Decoded d;
    long frames = 0, channels = 0;
    double rate = 0;
    EXPECT_TRUE(host_buffer_read(buffer, &frames, &channels, &rate, &d.samples));
    d.rate = (int)rate;
    d.channels = (int)channels;
    return d;
}

HostSession::Result HostSession::run(const std::string &message) const
{
    load(message);
    return {contents(), host_take_outlets(), host_take_console()};
}

void prepare_lines(const std::vector<std::string> &lines)
{
    for (const std::string &line : lines)
        EXPECT_EQ(host_run_line(line), 0) << line;
    EXPECT_TRUE(host_wait(30));
    host_take_console();
    host_take_outlets();
}

std::vector<std::string> take_outlets() { return host_take_outlets(); }
std::vector<std::string> take_console() { return host_take_console(); }

bool has_line(const std::vector<std::string> &lines, const std::string &text)
{
    for (const std::string &l : lines)
        if (l == text)
            return true;
    return false;
}

std::string joined(const std::vector<std::string> &lines)
{
    std::string s;
    for (const std::string &l : lines)
        s += l + "\n";
    return s;
}

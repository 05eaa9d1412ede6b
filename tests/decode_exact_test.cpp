// Every load exact: a replace holds exactly the frames that the ffmpeg program decodes from
// the stream, and the list gives that length; a load that begins in the middle of a file,
// or a section of it, holds the same samples as the plain decoding at the same place.
#include "buffer_checks.h"
#include "fixtures.h"
#include "headless_host.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <filesystem>
#include <map>
#include <sstream>

namespace {

// Fixtures do not change while the tests run: each is decoded once.
const Decoded &reference_of(const std::string &path, int stream = 0)
{
    static std::map<std::pair<std::string, int>, Decoded> decoded;
    auto key = std::make_pair(path, stream);
    auto it = decoded.find(key);
    if (it == decoded.end())
        it = decoded.emplace(key, reference_decode(path, stream)).first;
    return it->second;
}

std::string seconds(double value)
{
    std::ostringstream text;
    text.precision(10);
    text << value << " sec";
    return text.str();
}

// A console warning that holds `word`.
bool has_warning(const std::vector<std::string> &console, const std::string &word = "")
{
    for (const std::string &line : console)
        if (line.find(": warning: ") != std::string::npos && line.find(word) != std::string::npos)
            return true;
    return false;
}

// A replace of the whole stream: exactly the reference's frames and samples, and that
// length in the list. From the beginning a lossy decoder decodes as the ffmpeg program does.
// Stream -1 leaves the choice to the object; the reference is then the first audio stream.
HostSession::Result expect_exact_replace(const std::string &path, int stream, const std::string &start,
                                         float tolerance)
{
    const Decoded &reference = reference_of(path, stream < 0 ? 0 : stream);
    EXPECT_GT(reference.frames(), 0);
    HostSession s("@stream_nb " + std::to_string(stream));
    HostSession::Result r = s.run("replace " + path + start);
    expect_done(s, r);
    expect_whole(r.buffer, reference, tolerance);
    EXPECT_TRUE(lists_length(s, r, reference.frames(), reference.rate))
        << joined(r.outlets) << "frames: " << reference.frames();
    return r;
}

class Lengths : public ::testing::TestWithParam<const char *> {};

TEST_P(Lengths, ReplaceHoldsExactlyTheDecodedFrames)
{
    std::string path = fixture(GetParam());
    ASSERT_FALSE(path.empty());
    HostSession::Result r = expect_exact_replace(path, -1, "", kExact);
    EXPECT_FALSE(has_warning(r.console)) << joined(r.console);
}

const char *const kWholeFiles[] = {
    "u8.wav",        "s16.wav",        "s24.wav",         "s32.wav",        "f32.wav",       "f64.wav",
    "s16.aiff",      "s16.flac",       "long.flac",       "s24.flac",       "r22050.flac",   "flac.oga",
    "alac.m4a",      "wavpack.wv",     "mp3.mp3",         "lame4.mp3",      "cbr3.mp3",      "vbr_pink.mp3",
    "vbr_noxing.mp3", "r22050.mp3",    "r48000.mp3",      "aac.m4a",        "aac_pink.m4a",  "adts.aac",
    "aac6.m4a",      "opus.ogg",       "opus_pink.opus",  "opus6.opus",     "vorbis.ogg",    "vorbis_pink.ogg",
    "start.ts",      "mp2.ts",         "video.mkv",       "twostreams.mkv", "sine.flac",     "sine.mp3",
    "ch1.wav",       "ch2.wav",        "ch3.wav",         "ch4.wav",        "ch5.wav",       "ch6.wav",
    "ch7.wav",       "ch8.wav",        "pipe.flac",       "pipe.mp3",       "oggenc.ogg",    "opusenc.opus",
    "lame.mp3",      "flaccli.flac",   "sox.ogg",         "sox24.wav",      "sndfile.ogg",   "aac_bursts.m4a",
    "reset.ts",      "jump.ts",        "chain.ogg",       "gap_ac3.mp4",    "gap_eac3.mov",  "ima.mov",
    "g722.wav",      "s64.wav",        "ima.wav",         "msadpcm.wav",
};

INSTANTIATE_TEST_SUITE_P(Files, Lengths, ::testing::ValuesIn(kWholeFiles),
                         [](const ::testing::TestParamInfo<const char *> &info) { return case_name(info.param); });

// A file that ends before its header says: what can be decoded is loaded, and a warning
// tells that the rest is missing (its wording is the loader's; it names what is missing).
class Truncated : public ::testing::TestWithParam<const char *> {};

TEST_P(Truncated, LoadsWhatCanBeDecodedAndWarns)
{
    std::string path = fixture(GetParam());
    ASSERT_FALSE(path.empty());
    HostSession::Result r = expect_exact_replace(path, -1, "", kExact);
    EXPECT_TRUE(has_warning(r.console, "missing")) << joined(r.console);
    EXPECT_TRUE(has_warning(r.console, "cut short")) << joined(r.console);
}

INSTANTIATE_TEST_SUITE_P(Files, Truncated, ::testing::Values("half.flac", "half.wav", "half.mp3"),
                         [](const ::testing::TestParamInfo<const char *> &info) { return case_name(info.param); });

// Each stream of a file whose streams end at different times has its own length.
TEST(StreamLengths, EachStreamHasItsOwnLength)
{
    std::string path = fixture("twolengths.mkv");
    for (int stream : {0, 1})
        for (const char *start : {"", " 1 sec"}) {
            SCOPED_TRACE("stream " + std::to_string(stream) + start);
            expect_exact_replace(path, stream, start, kExact);
        }
}

// A replace from `start`, or (length above 0) an importreplace of the section from `start`
// that long.
struct SeamCase {
    const char *fixture;
    double start;
    double length;
};

void PrintTo(const SeamCase &c, std::ostream *out)
{
    *out << c.fixture << " from " << c.start << " s";
    if (c.length > 0)
        *out << ", " << c.length << " s long";
}

std::string seam_message(const SeamCase &c, const std::string &path)
{
    if (c.length > 0)
        return "importreplace " + path + " " + seconds(c.start) + " " + seconds(c.length);
    return "replace " + path + " " + seconds(c.start);
}

// The frames of the plain decoding that an importreplace of the section holds: from the
// start rounded to a frame, the length rounded to frames, up to the decoding's end.
Span section_of(const Decoded &reference, double start, double length)
{
    long first = lround(start * reference.rate);
    long frames = std::min(lround(length * reference.rate), reference.frames() - first);
    return {0, first, frames};
}

class Seams : public ::testing::TestWithParam<SeamCase> {};

TEST_P(Seams, LoadEqualsThePlainDecoding)
{
    const SeamCase &c = GetParam();
    std::string path = fixture(c.fixture);
    ASSERT_FALSE(path.empty());
    const Decoded &reference = reference_of(path);
    ASSERT_GT(reference.frames(), 0);
    float tolerance = tolerance_after_seek(reference.codec);
    if (c.length <= 0) {
        expect_exact_replace(path, -1, " " + seconds(c.start), tolerance);
        return;
    }
    HostSession s;
    HostSession::Result r = s.run(seam_message(c, path));
    expect_done(s, r);
    Span span = section_of(reference, c.start, c.length);
    EXPECT_TRUE(lists_length(s, r, span.frames, reference.rate)) << joined(r.outlets) << "frames: " << span.frames;
    ASSERT_EQ(r.buffer.rate, reference.rate);
    ASSERT_EQ(r.buffer.frames(), span.frames);
    expect_span(r.buffer, reference, span, tolerance);
}

// Starts where a lossy decoder must have settled: after its pre-roll, between frames, near
// the end; sections that run past the end are cut there.
const SeamCase kSeams[] = {
    {"u8.wav", 1, 0},            {"u8.wav", 0.6, 0.9},          {"s16.wav", 1, 0},
    {"s16.wav", 0.6, 0.9},       {"s24.wav", 1, 0},             {"s24.wav", 0.6, 0.9},
    {"s32.wav", 1, 0},           {"s32.wav", 0.6, 0.9},         {"f32.wav", 1, 0},
    {"f32.wav", 0.6, 0.9},       {"f64.wav", 1, 0},             {"f64.wav", 0.6, 0.9},
    {"s16.aiff", 1, 0},          {"s16.aiff", 0.6, 0.9},        {"s16.flac", 1, 0},
    {"s16.flac", 0.6, 0.9},      {"long.flac", 13.3, 0},        {"long.flac", 17.5, 5},
    {"s24.flac", 0.77, 0},       {"s24.flac", 1.3, 0.5},        {"r22050.flac", 0.5, 0},
    {"r22050.flac", 1.1, 0.5},   {"flac.oga", 1, 0},            {"flac.oga", 0.6, 0.9},
    {"alac.m4a", 1, 0},          {"alac.m4a", 0.6, 0.9},        {"wavpack.wv", 1, 0},
    {"wavpack.wv", 0.6, 0.9},    {"video.mkv", 1, 0},           {"video.mkv", 0.6, 0.9},
    {"ch1.wav", 1, 0},           {"ch3.wav", 0.6, 0.9},         {"ch5.wav", 1, 0},
    {"ch8.wav", 0.6, 0.9},       {"pipe.flac", 1, 0},           {"pipe.flac", 0.6, 0.9},
    {"flaccli.flac", 1.9, 0},    {"sox24.wav", 0.2, 1.3},       {"mp3.mp3", 1, 0},
    {"mp3.mp3", 0.6, 0.9},       {"lame4.mp3", 2, 0},           {"lame4.mp3", 3.5, 1},
    {"cbr3.mp3", 1.3, 0},        {"cbr3.mp3", 0.7, 0.5},        {"cbr3.mp3", 1.2, 0.5},
    {"cbr3.mp3", 2.1, 0.5},      {"vbr_pink.mp3", 1, 0},        {"vbr_pink.mp3", 2.6, 0},
    {"vbr_pink.mp3", 0.5, 0.5},  {"vbr_pink.mp3", 1, 0.5},      {"vbr_pink.mp3", 1.7, 0.5},
    {"vbr_pink.mp3", 2.2, 0.5},  {"vbr_noxing.mp3", 2, 0},      {"vbr_noxing.mp3", 1.5, 1},
    {"r22050.mp3", 1.2, 0},      {"r22050.mp3", 0.4, 1},        {"r48000.mp3", 0.7, 0},
    {"pipe.mp3", 1.4, 0},        {"lame.mp3", 1.2, 0},          {"lame.mp3", 0.9, 0.5},
    {"aac.m4a", 1, 0},           {"aac.m4a", 0.6, 0.9},         {"aac_pink.m4a", 0.9, 0},
    {"aac_pink.m4a", 2.3, 0},    {"aac_pink.m4a", 0.45, 1},     {"aac_pink.m4a", 1.71, 0.6},
    {"adts.aac", 1.5, 0},        {"adts.aac", 1, 1},            {"aac6.m4a", 0.8, 0},
    {"aac6.m4a", 0.3, 0.6},      {"opus.ogg", 1, 0},            {"opus.ogg", 0.6, 0.9},
    {"opus_pink.opus", 1.37, 0}, {"opus_pink.opus", 0.61, 0.5}, {"opus_pink.opus", 2.2, 0.7},
    {"opus_pink.opus", 2.5, 1},  {"opus6.opus", 1.1, 0},        {"opusenc.opus", 0.9, 0},
    {"opusenc.opus", 1.33, 0.5}, {"vorbis.ogg", 1, 0},          {"vorbis.ogg", 0.6, 0.9},
    {"vorbis_pink.ogg", 1.1, 0}, {"vorbis_pink.ogg", 0.33, 1},  {"vorbis_pink.ogg", 2.05, 0.5},
    {"oggenc.ogg", 1.6, 0},      {"oggenc.ogg", 0.8, 0.4},      {"sox.ogg", 1.25, 0.5},
    {"sndfile.ogg", 1.1, 0},     {"sndfile.ogg", 1.2, 0.3},     {"sndfile.ogg", 2.4, 0.5},
    {"sndfile.ogg", 0.6, 0.5},   {"aac_bursts.m4a", 0.99, 0},   {"aac_bursts.m4a", 1.52, 0.4},
    {"aac_pns.m4a", 1.3, 0},     {"aac_pns.m4a", 0.7, 4.5},
    {"start.ts", 1, 0},          {"start.ts", 0.6, 0.9},        {"mp2.ts", 2.5, 0},
    {"mp2.ts", 3.3, 1},
    {"reset.ts", 6.2, 0},        {"reset.ts", 1.5, 4},          {"reset.ts", 8.3, 3},
    {"jump.ts", 6.2, 0},         {"jump.ts", 2.2, 3},           {"jump.ts", 9.1, 2},
    {"chain.ogg", 7.7, 0},       {"chain.ogg", 2.1, 3},         {"chain.ogg", 9.4, 2.5},
    {"gap_ac3.mp4", 5.1, 0},     {"gap_ac3.mp4", 9.3, 2},       {"gap_eac3.mov", 4.5, 0},
    {"gap_eac3.mov", 8.2, 2.5},  {"ima.mov", 6.3, 0},           {"ima.mov", 7.1, 3},
    {"g722.wav", 4.1, 0},        {"g722.wav", 5.2, 3},          {"s64.wav", 0.6, 0.9},
    {"ima.wav", 7.7, 0},         {"msadpcm.wav", 3.4, 2},
};

std::string seam_name(const ::testing::TestParamInfo<SeamCase> &info)
{
    const SeamCase &c = info.param;
    std::ostringstream name;
    name << c.fixture << (c.length > 0 ? "_section_" : "_replace_") << c.start;
    if (c.length > 0)
        name << "_" << c.length;
    return case_name(name.str());
}

INSTANTIATE_TEST_SUITE_P(Starts, Seams, ::testing::ValuesIn(kSeams), seam_name);

// A packet that cannot be decoded is skipped as the ffmpeg program skips it, and what
// follows closes up: the buffer~, filled before with 0.25 and as long as the decoding,
// holds the program's decoding and nothing of what it held, the list gives its length,
// and a warning tells of the packet where the load decodes it. From the beginning, in the
// middle, and in sections before and after the damage; in Ogg, whose packets show the
// damage, and in MP4, whose packets do not, so that only decoding finds it: the load then
// starts again, and its list goes out again with the length it now has. (A section of the
// MP4 file after the damage begins after a seek that never meets it, as the ffmpeg
// program's own -ss does.)
TEST(Damaged, LoadsEqualTheDecodingThatSkipsThePacket)
{
    const SeamCase cases[] = {{"damaged.opus", 0, 0}, {"damaged.opus", 7.3, 0}, {"damaged.opus", 2.1, 3},
                              {"damaged.opus", 8, 2}, {"damaged.mp4", 0, 0},   {"damaged.mp4", 7.3, 0},
                              {"damaged.mp4", 2.1, 3}};
    for (const SeamCase &c : cases) {
        std::string path = fixture(c.fixture);
        ASSERT_FALSE(path.empty());
        const Decoded &reference = reference_of(path);
        SCOPED_TRACE(seam_message(c, path));
        HostSession s("", reference.frames(), reference.channels, reference.rate);
        ASSERT_EQ(host_run_line("fill " + s.buffer + " value 0.25"), 0);
        HostSession::Result r = s.run(seam_message(c, path));
        expect_done(s, r);
        Span span = c.length > 0 ? section_of(reference, c.start, c.length) : Span{0, 0, reference.frames()};
        HostSession::Result last = r;
        auto list = std::find_if(r.outlets.rbegin(), r.outlets.rend(),
                                 [&](const std::string &line) { return line.find(s.id + " 0: ") == 0; });
        if (list != r.outlets.rend())
            last.outlets.assign(std::prev(list.base()), r.outlets.end());
        EXPECT_TRUE(lists_length(s, last, span.frames, reference.rate)) << joined(r.outlets);
        ASSERT_EQ(r.buffer.frames(), span.frames);
        expect_span(r.buffer, reference, span, c.start > 0 ? kSettled : kExact);
        if (c.length == 0) {
            EXPECT_TRUE(has_warning(r.console, "damaged")) << joined(r.console);
        }
    }
}

// --- files that nobody here made ---------------------------------------------------------

// One load of a corpus file and what it should hold.
struct CorpusLoad {
    const char *label;
    std::string message;
    Span span;        // of the reference; the buffer holds exactly this
    float tolerance;
};

// Starts and lengths are whole frames, so that the message and the expected span agree.
std::vector<CorpusLoad> corpus_loads(const std::string &path, const Decoded &reference, float afterSeek)
{
    long frames = reference.frames();
    double rate = reference.rate;
    std::string quoted = "\"" + path + "\"";
    std::vector<CorpusLoad> loads = {
        {"whole", "replace " + quoted, {0, 0, frames}, kExact},
        {"middle", "replace " + quoted + " " + seconds(frames / 2 / rate), {0, 0, frames}, afterSeek},
    };
    long length = frames / 4;
    for (long first : {frames / 4, frames * 2 / 3})
        if (length > 0 && first > 0)
            loads.push_back({"section",
                             "importreplace " + quoted + " " + seconds(first / rate) + " " + seconds(length / rate),
                             {0, first, std::min(length, frames - first)}, afterSeek});
    return loads;
}

// Loads the file in every way of corpus_loads; prints one line for it and fails where a
// load is not exact.
void check_corpus_file(const std::string &path)
{
    Decoded reference = reference_decode(path);
    if (reference.frames() == 0) {
        ADD_FAILURE() << "the ffmpeg program decodes nothing of " << path;
        return;
    }
    std::ostringstream line;
    line << path << " " << reference.codec << " " << reference.rate << " Hz " << reference.channels << " ch, "
         << reference.frames() << " frames:";
    bool exact = true;
    for (const CorpusLoad &load : corpus_loads(path, reference, tolerance_after_seek(reference.codec))) {
        HostSession s;
        HostSession::Result r = s.run(load.message);
        float worst = worst_error(r.buffer, reference, load.span);
        bool done = has_line(r.outlets, s.id + " 1: bang");
        bool listed = lists_length(s, r, load.span.frames, reference.rate);
        bool ok = done && listed && r.buffer.frames() == load.span.frames && r.buffer.channels == reference.channels &&
                  worst <= load.tolerance;
        line << " " << load.label << " " << r.buffer.frames() << "/" << load.span.frames << " worst " << worst
             << (done ? "" : " no done bang") << (listed ? "" : " wrong length listed") << (ok ? "" : " FAIL") << ";";
        exact = exact && ok;
    }
    printf("%s\n", line.str().c_str());
    fflush(stdout);
    EXPECT_TRUE(exact) << "a load of this file is not exact: see its line";
}

// VORLO_CORPUS names a folder: every file in it and below it that has an audio stream is
// loaded from its beginning, from its middle and in two sections, each compared with the
// ffmpeg program's decoding.
TEST(Corpus, EveryAudioFileLoadsExactly)
{
    const char *folder = getenv("VORLO_CORPUS");
    if (!folder || !*folder)
        GTEST_SKIP() << "VORLO_CORPUS names no folder of audio files";
    int files = 0;
    auto options = std::filesystem::directory_options::skip_permission_denied;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder, options)) {
        if (!entry.is_regular_file())
            continue;
        std::string path = entry.path().string();
        if (audio_codec(path).empty())
            continue;
        SCOPED_TRACE(path);
        check_corpus_file(path);
        files++;
    }
    printf("%d audio files in %s\n", files, folder);
    EXPECT_GT(files, 0) << "no audio file in " << folder;
}

} // namespace

// Every load exact: a replace holds exactly the frames that the ffmpeg program decodes from
// the stream, and the list gives that length; a load that begins in the middle of a file,
// or a section of it, holds the same samples as the plain decoding at the same place.
#include "buffer_checks.h"
#include "fixtures.h"
#include "load_cases.h"
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

INSTANTIATE_TEST_SUITE_P(Files, Lengths, ::testing::ValuesIn(kWholeFiles),
                         [](const ::testing::TestParamInfo<const char *> &info) { return case_name(info.param); });

// A file that ends before its header says: what can be decoded is loaded, and a warning
// tells how much of what the header announces is missing, in seconds and frames. The whole
// file that it was cut from is as long as the header says (for an MP3, whose Xing header
// counts whole frames, only the form is checked).
struct Cut {
    const char *fixture;
    const char *whole;
};

void PrintTo(const Cut &c, std::ostream *out) { *out << c.fixture; }

class Truncated : public ::testing::TestWithParam<Cut> {};

TEST_P(Truncated, LoadsWhatCanBeDecodedAndWarnsWhatIsMissing)
{
    std::string path = fixture(GetParam().fixture);
    ASSERT_FALSE(path.empty());
    HostSession::Result r = expect_exact_replace(path, -1, "", kExact);
    std::string told = "that the file announces are missing: it is cut short or damaged.-> " + path;
    if (GetParam().whole) {
        const Decoded &whole = reference_of(fixture(GetParam().whole));
        long missing = whole.frames() - reference_of(path).frames();
        char amount[128];
        snprintf(amount, sizeof amount, "%.3f sec (%ld frames) of the %.3f sec ", (double)missing / whole.rate, missing,
                 (double)whole.frames() / whole.rate);
        told = amount + told;
    }
    EXPECT_TRUE(has_warning(r.console, told)) << joined(r.console) << "expected: " << told;
}

INSTANTIATE_TEST_SUITE_P(Files, Truncated,
                         ::testing::Values(Cut{"half.flac", "flaccli.flac"}, Cut{"half.wav", "s16.wav"},
                                           Cut{"half.mp3", nullptr}, Cut{"cut.wav", "s16.wav"}),
                         [](const ::testing::TestParamInfo<Cut> &info) { return case_name(info.param.fixture); });

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

INSTANTIATE_TEST_SUITE_P(Starts, Seams, ::testing::ValuesIn(kSeams), seam_name);

// A long stream decoded in pieces at once holds what one decoder gives, sample for sample,
// for every message: each row loads with three decoders and with one, into a buffer~ of two
// channels at 48 kHz that a ramp fills first, and compares the two buffers and outlets. A
// row that stays in one piece says so.
struct PieceCase {
    const char *fixture;
    const char *words;       // after the message's path
    const char *message;
    const char *attributes;
    int pieces;              // the pieces it is decoded in
};

const PieceCase kPieces[] = {
    {"pieces.flac", "", "replace", "", 3},
    {"pieces.wav", "", "replace", "", 3},
    {"pieces.aiff", "", "replace", "", 3},
    {"pieces.m4a", "", "replace", "", 3},
    {"pieces.wv", "", "replace", "", 3},
    {"pieces.mp3", "", "replace", "", 3},
    {"pieces.ogg", "", "replace", "", 3},
    {"pieces.opus", "", "replace", "", 3},
    {"pieces.mp2", "", "replace", "", 1},
    {"pieces.mp3", "5 sec", "replace", "", 2},
    {"pieces.wav", "0.5 sec", "replace", "", 3},
    {"pieces.ogg", "2.5 sec 25 sec", "importreplace", "", 2},
    {"pieces.opus", "1 sec 0 sec mono", "importreplace", "", 3},
    {"pieces.flac", "0 sec 0 sec route 0 1 1 0", "replace", "", 3},
    {"pieces.m4a", "0.5 sec 29 sec s_mono", "importreplace", "", 2},
    {"pieces.mp3", "1 sec 25 sec 0.5 sec", "import", "@import_gain -6 @fadein 3000 @fadeout 4000", 2},
    {"pieces.wv", "0 sec 0 sec 0 sec route 1 0", "import", "@fadeout 10000 @fadeout_exp 2", 3},
    {"pieces.ogg", "3 sec 0 sec 0 sec", "import", "@import_gain 3 @fadein 500", 2},
    {"pieces.flac", "1 sec 25 sec 0.5 sec", "import", "@import_mix 1 @import_gain -6 @fadein 3000", 1},
    {"pieces.wav", "0 sec 0 sec 0 sec", "import", "@resample 6", 1},
    // a damaged packet stops the pieces: the stream is loaded again in one piece
    {"pieces_damaged.m4a", "", "replace", "", 3},
    {"pieces_damaged.m4a", "0.5 sec 25 sec 1 sec", "import", "@fadeout 1000", 2},
};

void PrintTo(const PieceCase &c, std::ostream *out)
{
    *out << c.message << " " << c.fixture << " " << c.words << " " << c.attributes;
}

class Pieces : public ::testing::TestWithParam<PieceCase> {};

TEST_P(Pieces, HoldWhatOneDecoderGives)
{
    const PieceCase &c = GetParam();
    std::string path = fixture(c.fixture);
    ASSERT_FALSE(path.empty());
    std::string message = std::string(c.message) + " " + path + " " + c.words;
    HostSession::Result results[2];
    for (int decoders : {1, 3}) {
        HostSession s(std::string(c.attributes) + " @debug 1 @decoders " + std::to_string(decoders), 48000 * 30, 2,
                      48000);
        prepare_lines({"fill " + s.buffer + " ramp"});
        HostSession::Result r = s.run(message);
        expect_done(s, r);
        std::string told = "decoding in " + std::to_string(c.pieces) + " pieces at once";
        bool split = joined(r.console).find(told) != std::string::npos;
        EXPECT_EQ(split, decoders > 1 && c.pieces > 1) << joined(r.console);
        // Outlet lines without the instance's id.
        for (std::string &line : r.outlets)
            line = line.substr(s.id.size());
        results[decoders > 1] = r;
    }
    ASSERT_EQ(results[0].buffer.frames(), results[1].buffer.frames());
    EXPECT_TRUE(results[0].buffer.samples == results[1].buffer.samples)
        << first_difference(results[1].buffer.samples, results[0].buffer.samples, 0, 0.0f);
    EXPECT_EQ(results[0].outlets, results[1].outlets);
    if (std::string(c.message) == "replace" && !*c.words)
        expect_whole(results[1].buffer, reference_of(path), 0.0f);
}

std::string piece_name(const ::testing::TestParamInfo<PieceCase> &info)
{
    return case_name(std::to_string(info.index) + "_" + info.param.message + "_" + info.param.fixture);
}

INSTANTIATE_TEST_SUITE_P(Messages, Pieces, ::testing::ValuesIn(kPieces), piece_name);

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

// What a load tells: the console's errors, the file-properties list, the info end, the
// messages that size the buffer~, and the debug trace.
#include "fixtures.h"
#include "headless_host.h"

#include <gtest/gtest.h>

namespace {

std::string quoted_lines(const std::vector<std::string> &lines)
{
    return "\n" + joined(lines);
}

// The lines appear in this order, others between them allowed.
void expect_in_order(const std::vector<std::string> &lines, const std::vector<std::string> &wanted)
{
    size_t at = 0;
    for (const std::string &line : lines)
        if (at < wanted.size() && line == wanted[at])
            at++;
    EXPECT_EQ(at, wanted.size()) << "missing from here on: " << (at < wanted.size() ? wanted[at] : "")
                                 << quoted_lines(lines);
}

struct ErrorCase {
    const char *name;
    const char *attributes;
    // the message; PATH stands for the fixture's path
    const char *message;
    const char *fixture;
    std::vector<std::string> console;  // PATH stands for the path
};

std::string with_path(std::string text, const std::string &path)
{
    size_t at = text.find("PATH");
    return at == std::string::npos ? text : text.replace(at, 4, path);
}

const std::string kLongName = "/" + std::string(3000, 'a');

const ErrorCase kErrors[] = {
    {"missing_file", "", "replace PATH", "",
     {"vorlo~: error: Error opening file.-> PATH", "vorlo~: error: No such file or directory"}},
    {"text_file", "", "replace PATH", "notaudio.txt",
     {"vorlo~: error: Error opening file.-> PATH", "vorlo~: error: Invalid data found when processing input"}},
    {"a_folder", "", "replace PATH", "",
     {"vorlo~: error: Error opening file.-> PATH", "vorlo~: error: it is a folder, not a file"}},
    {"no_audio_stream", "", "replace PATH", "videoonly.mkv",
     {"vorlo~: error: None of the available streams are audio streams.", "vorlo~: error: -> PATH"}},
    {"stream_nb_names_video", "@stream_nb 0", "replace PATH", "video.mkv",
     {"vorlo~: error: stream_nb 0 names a stream of type video, not an audio stream.", "vorlo~: error: -> PATH"}},
    {"stream_nb_names_nothing", "@stream_nb 7", "replace PATH", "video.mkv",
     {"vorlo~: error: stream_nb 7 names no stream: the file has 2 (numbered from 0).", "vorlo~: error: -> PATH"}},
    {"start_past_the_end", "", "importreplace PATH 5 sec", "s16.flac",
     {"vorlo~: error: requested start pos (5.000000 sec) > length of file (2.000000 sec)."}},
    {"start_at_the_end", "", "importreplace PATH 100 pct", "s16.flac",
     {"vorlo~: error: requested start pos (2.000000 sec) > length of file (2.000000 sec)."}},
    {"path_too_long", "", "replace PATH", "",
     {"vorlo~: error: the file path is too long: 3001 characters, at most 2047 are possible"}},
    {"buffer_source_missing", "", "importreplace buffer=PATH", "",
     {"vorlo~: error: the source buffer~ does not exist: PATH"}},
};

class Errors : public ::testing::TestWithParam<ErrorCase> {};

// Each failure names itself on the console, bangs the error outlet and nothing else, and
// leaves the buffer~ as it was.
TEST_P(Errors, ReportedAndBangedLeavingTheBufferAlone)
{
    const ErrorCase &c = GetParam();
    std::string name = c.name;
    std::string path = name == "missing_file"            ? fixture_dir_path("no-such-file.wav")
                       : name == "a_folder"              ? fixture_dir_path("")
                       : name == "path_too_long"         ? kLongName
                       : name == "buffer_source_missing" ? "nosuchsource"
                                                         : fixture(c.fixture);
    {
        HostSession s(c.attributes, 100, 2, 44100);
        HostSession::Result r = s.run(with_path(c.message, path));
        EXPECT_EQ(r.outlets, std::vector<std::string>{s.id + " 2: bang"}) << quoted_lines(r.console);
        std::vector<std::string> wanted;
        for (const std::string &line : c.console)
            wanted.push_back(with_path(line, path));
        expect_in_order(r.console, wanted);
        EXPECT_TRUE(host_buffer_messages(s.buffer).empty()) << joined(host_buffer_messages(s.buffer));
        EXPECT_EQ(r.buffer.frames(), 100);
        EXPECT_EQ(r.buffer.channels, 2);
    }
    EXPECT_EQ(host_alive_count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Failures, Errors, ::testing::ValuesIn(kErrors),
                         [](const ::testing::TestParamInfo<ErrorCase> &info) { return std::string(info.param.name); });

struct ListCase {
    const char *name;
    const char *message;  // PATH stands for the path
    const char *fixture;
    const char *list;     // after "ID 0: "; PATH stands for the path
};

const ListCase kLists[] = {
    {"replace", "replace PATH", "s16.flac", "44100. 2 2000. 0. \"FL FR\" flac PATH"},
    {"replace_from_1s", "replace PATH 1000 ms", "s16.flac", "44100. 2 2000. 1000. \"FL FR\" flac PATH"},
    {"importreplace", "importreplace PATH 25 pct 0.7 sec", "s16.flac", "44100. 2 700. 500. \"FL FR\" flac PATH"},
    {"importreplace_to_the_end", "importreplace PATH 1.5 sec", "s16.flac", "44100. 2 500. 1500. \"FL FR\" flac PATH"},
    {"six_channels", "replace PATH", "ch6.wav", "44100. 6 2000. 0. \"FL FR FC LFE BL BR\" pcm_s16le PATH"},
    {"no_layout", "replace PATH", "ch1.wav", "44100. 1 2000. 0. unspecified pcm_s16le PATH"},
    {"resampled_shows_the_file_rate", "replace PATH", "opus.ogg", "48000. 2 2000. 0. \"FL FR\" opus PATH"},
};

class Lists : public ::testing::TestWithParam<ListCase> {};

TEST_P(Lists, FilePropertiesListThenDone)
{
    const ListCase &c = GetParam();
    std::string path = fixture(c.fixture);
    HostSession s("@resample 6");
    HostSession::Result r = s.run(with_path(c.message, path));
    std::vector<std::string> wanted = {s.id + " 0: " + with_path(c.list, path), s.id + " 1: bang"};
    EXPECT_EQ(r.outlets, wanted) << quoted_lines(r.console);
}

INSTANTIATE_TEST_SUITE_P(Properties, Lists, ::testing::ValuesIn(kLists),
                         [](const ::testing::TestParamInfo<ListCase> &info) { return std::string(info.param.name); });

// A path taken from a dictionary is not shown; a fixed symbol stands in its place.
TEST(Dictionary, ListNamesTheDictionaryNotThePath)
{
    std::string path = fixture("s16.flac");
    std::string folder = path.substr(0, path.rfind('/') + 1);
    ASSERT_EQ(host_run_line("dict soundfile filename s16.flac filepath " + folder), 0);
    HostSession s;
    HostSession::Result r = s.run("replace dict=soundfile");
    std::vector<std::string> wanted = {s.id + " 0: 44100. 2 2000. 0. \"FL FR\" flac dictionary", s.id + " 1: bang"};
    EXPECT_EQ(r.outlets, wanted) << quoted_lines(r.console);
}

// info sends the list and nothing else: no bang, and the buffer~ is neither sized nor written.
TEST(Info, ListOnlyAndTheBufferUntouched)
{
    std::string path = fixture("s16.flac");
    {
        HostSession s("@debug 1", 10, 1, 22050);
        HostSession::Result r = s.run("info " + path);
        EXPECT_EQ(r.outlets, std::vector<std::string>{s.id + " 0: 44100. 2 2000. 0. \"FL FR\" flac " + path});
        EXPECT_TRUE(host_buffer_messages(s.buffer).empty());
        EXPECT_EQ(r.buffer.frames(), 10);
        EXPECT_EQ(r.buffer.rate, 22050);
        expect_in_order(r.console, {"vorlo~: codec name: flac", "vorlo~: SUCCESS", " "});
    }
    EXPECT_EQ(host_alive_count(), 0);
}

struct SizeCase {
    const char *name;
    const char *attributes;
    long frames, channels;
    double rate;
    std::vector<std::string> messages;
};

const SizeCase kSizes[] = {
    {"fits_already", "", 88200, 2, 44100, {}},
    {"size_only", "", 0, 1, 44100, {"sizeinsamps 88200 2"}},
    {"channels_only", "", 88200, 1, 44100, {"sizeinsamps 88200 2"}},
    {"size_before_rate", "", 10, 2, 48000, {"sizeinsamps 88200 2", "sr 44100."}},
    {"rate_only", "", 88200, 2, 22050, {"sr 44100."}},
    {"resampled", "@resample 7", 88200, 2, 44100, {"sizeinsamps 96000 2", "sr 48000."}},
    {"mixed_down", "", 88200, 2, 44100, {"sizeinsamps 88200 1"}},
};

class Sizes : public ::testing::TestWithParam<SizeCase> {};

// The buffer~ is sent only what it needs, the rate before the size.
TEST_P(Sizes, BufferGetsOnlyTheMessagesItNeeds)
{
    const SizeCase &c = GetParam();
    std::string options = std::string(c.name) == "mixed_down" ? " 0 sec 0 sec s_mono" : "";
    HostSession s(c.attributes, c.frames, c.channels, c.rate);
    HostSession::Result r = s.run("replace " + fixture("s16.flac") + options);
    EXPECT_EQ(host_buffer_messages(s.buffer), c.messages);
    EXPECT_TRUE(has_line(r.outlets, s.id + " 1: bang")) << quoted_lines(r.console);
}

INSTANTIATE_TEST_SUITE_P(Resize, Sizes, ::testing::ValuesIn(kSizes),
                         [](const ::testing::TestParamInfo<SizeCase> &info) { return std::string(info.param.name); });

// The trace of a replace that starts in the middle: opening, measuring, the hand-off, the
// first run placed where its frames' time stamps say, the second run from the beginning,
// which knows its place by counting, and the end.
TEST(Trace, ReplaceFromTheMiddle)
{
    std::string path = fixture("s16.flac");
    HostSession s("@debug 1", 88200, 2, 44100);
    HostSession::Result r = s.run("replace " + path + " 1 sec");
    expect_in_order(r.console, {
                                   "vorlo~: conformed Path: " + path,
                                   "vorlo~: -->using stream 0.  (1 available)",
                                   "vorlo~: codec name: flac",
                                   "vorlo~: seektimeInSec 0.950000  (1.000000 - 0.05 sec)",
                                   "vorlo~: buffer already has the correct size (frames: 88200 ch: 2)",
                                   "vorlo~: buffer already has the correct sr (44100)",
                                   "vorlo~: start time 0.940408",
                                   "vorlo~: start index 82944 (sr: 44100, ch: 2)",
                                   "vorlo~: Now we decode first half of file! (second run)",
                                   "vorlo~: Decoding done! (second run)",
                                   "vorlo~: SUCCESS",
                                   " ",
                               });
    bool resized = false;
    for (const std::string &line : r.console)
        resized = resized || line.rfind("vorlo~: buffer resize done in ", 0) == 0;
    EXPECT_TRUE(resized) << quoted_lines(r.console);
}

// The error exit's trace, and no trace at all without debug.
TEST(Trace, ErrorExit)
{
    std::string path = fixture_dir_path("no-such-file.wav");
    HostSession quiet;
    EXPECT_EQ(quiet.run("replace " + path).console,
              (std::vector<std::string>{"vorlo~: error: Error opening file.-> " + path,
                                        "vorlo~: error: No such file or directory"}));
    HostSession s("@debug 1");
    expect_in_order(s.run("replace " + path).console,
                    {"vorlo~: error: Error opening file.-> " + path, "vorlo~: aborting thread ! reason: -Error-", " "});
}

} // namespace
